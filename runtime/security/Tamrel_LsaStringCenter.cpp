#include "runtime/security/Tamrel_LsaStringCenter.h"

#include "host/SysUtils.h"

#include <cstring>

namespace tamrel {

namespace {

constexpr wchar_t SLsaStringTooLong[] =
    L"A text of %u characters is too long for an LSA string (at most %u characters)";

} // namespace

TrkLsaUnicodeStringCenter::TrkLsaUnicodeStringCenter(TComponent* AOwner) : TComponent(AOwner) {}

TrkLsaUnicodeStringCenter::~TrkLsaUnicodeStringCenter() {
    CleanLsaString();
    Cleanup();
}

void TrkLsaUnicodeStringCenter::Modified() {
    FIsText = false;
    FIsLsaString = false;
}

void TrkLsaUnicodeStringCenter::CleanLsaString() { FLsaUnicodeString.reset(); }

void TrkLsaUnicodeStringCenter::SetText(const std::wstring& S) {
    Modified();
    CleanLsaString();
    FText = S;
    FIsText = true;
}

std::wstring TrkLsaUnicodeStringCenter::GetText() {
    if (!FIsText) {
        auto* record = static_cast<PLSA_UNICODE_STRING>(FLsaUnicodeString.get());
        if (FIsLsaString && record && record->Buffer) FText.assign(record->Buffer, record->Length / 2);
        else FText.clear();
        FIsText = true;
    }
    return FText;
}

void TrkLsaUnicodeStringCenter::SetLsaUnicodeString(PLSA_UNICODE_STRING P) {
    uint32_t size = 0;
    TakeRecord(OwnedDuplicate<LSA_UNICODE_STRING>(
        [P](PLSA_UNICODE_STRING& p, uint32_t& s) { DuplicateLsaUnicodeString(P, p, s); }, size));
}

void TrkLsaUnicodeStringCenter::SetLsaBytes(PLSA_UNICODE_STRING P) {
    uint32_t size = 0;
    TakeRecord(OwnedDuplicate<LSA_UNICODE_STRING>(
        [P](PLSA_UNICODE_STRING& p, uint32_t& s) { DuplicateLsaBytes(P, p, s); }, size));
}

void TrkLsaUnicodeStringCenter::TakeRecord(TCenterBlock Copy) {
    Modified();
    FLsaUnicodeString = std::move(Copy);
    FIsLsaString = true;
}

PLSA_UNICODE_STRING TrkLsaUnicodeStringCenter::GetLsaUnicodeString() {
    if (!FIsLsaString) {
        // The text form is the valid one whenever the record is not.
        if (FText.size() > MaxLsaStringChars)
            throw Exception(SLsaStringTooLong, static_cast<unsigned>(FText.size()),
                            static_cast<unsigned>(MaxLsaStringChars));
        size_t bytes = FText.size() * sizeof(wchar_t);
        TCenterBlock block(CenterGetMem(sizeof(LSA_UNICODE_STRING) + bytes + sizeof(wchar_t)));
        auto* record = static_cast<PLSA_UNICODE_STRING>(block.get());
        record->Length = static_cast<USHORT>(bytes);
        record->MaximumLength = static_cast<USHORT>(bytes);
        record->Buffer = reinterpret_cast<PWSTR>(record + 1);
        std::memcpy(record->Buffer, FText.data(), bytes);
        record->Buffer[FText.size()] = L'\0';
        FLsaUnicodeString = std::move(block);
        FIsLsaString = true;
    }
    return static_cast<PLSA_UNICODE_STRING>(FLsaUnicodeString.get());
}

PLSA_UNICODE_STRING TrkLsaUnicodeStringCenter::GetLsaUnicodeStringCopy() {
    PLSA_UNICODE_STRING source = GetLsaUnicodeString();
    uint32_t size = 0;
    // The center's own record was checked when it was made or taken: copied as it stands, a
    // secret's value of odd length included.
    FList.push_back(OwnedDuplicate<LSA_UNICODE_STRING>(
        [source](PLSA_UNICODE_STRING& p, uint32_t& s) { DuplicateLsaBytes(source, p, s); }, size));
    return static_cast<PLSA_UNICODE_STRING>(FList.back().get());
}

void TrkLsaUnicodeStringCenter::Cleanup() { FList.clear(); }

TAMREL_IMPLEMENT_CLASS(TrkLsaUnicodeStringCenter) {
    b.String(L"Text", &TrkLsaUnicodeStringCenter::GetText, &TrkLsaUnicodeStringCenter::SetText);
}

} // namespace tamrel
