#include "runtime/security/Tamrel_CenterUtils.h"

#include "host/SizeProbe.h"
#include "host/SysUtils.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tamrel {

void* CenterGetMem(size_t size) {
    // A zero-sized request still answers a distinct block, as the host allocator does.
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void CenterFreeMem(void* p) { std::free(p); }

namespace {

constexpr wchar_t SInvalidLsaString[] = L"Invalid LSA string (Length %u, MaximumLength %u)";

// A size probe of the descriptor conversions (several sizes at once, which CallWithSizeProbe does
// not take) must fail for want of room; any other outcome is a failed call.
void CheckSizeProbe(BOOL probeResult) {
    if (probeResult) RaiseLastOSError(ERROR_INVALID_PARAMETER);
    DWORD err = GetLastError();
    if (!AsksForRoom(err)) RaiseLastOSError(err);
}

} // namespace

void DuplicateSID(PSID Sid, void*& P, uint32_t& Size) {
    P = nullptr;
    Size = 0;
    if (!Sid) return;
    if (!IsValidSid(Sid)) {
        // IsValidSid leaves no last error on every system; the failed test is an invalid SID.
        DWORD err = GetLastError();
        RaiseLastOSError(err ? err : ERROR_INVALID_SID);
    }
    uint32_t size = GetLengthSid(Sid);
    P = CenterGetMem(size);
    std::memcpy(P, Sid, size);
    Size = size;
}

void DuplicatePACL(PACL Acl, PACL& P, uint32_t& Size) {
    P = nullptr;
    Size = 0;
    if (!Acl) return;
    ACL_SIZE_INFORMATION info{};
    if (!GetAclInformation(Acl, &info, sizeof(info), AclSizeInformation)) RaiseLastOSError();
    uint32_t size = info.AclBytesInUse + info.AclBytesFree;
    P = static_cast<PACL>(CenterGetMem(size));
    std::memcpy(P, Acl, size);
    Size = size;
}

void DuplicateSDRelativeToAbsolute(PSECURITY_DESCRIPTOR SD, void*& P, uint32_t& Size) {
    P = nullptr;
    Size = 0;
    DWORD sdSize = 0, daclSize = 0, saclSize = 0, ownerSize = 0, groupSize = 0;
    CheckSizeProbe(MakeAbsoluteSD(SD, nullptr, &sdSize, nullptr, &daclSize, nullptr, &saclSize, nullptr,
                                  &ownerSize, nullptr, &groupSize));
    uint32_t size = sdSize + daclSize + saclSize + ownerSize + groupSize;
    auto* block = static_cast<BYTE*>(CenterGetMem(size));
    std::memset(block, 0, size);
    P = block;
    Size = size;
    auto part = [block](DWORD offset, DWORD partSize) -> BYTE* { return partSize ? block + offset : nullptr; };
    auto dacl = reinterpret_cast<PACL>(part(sdSize, daclSize));
    auto sacl = reinterpret_cast<PACL>(part(sdSize + daclSize, saclSize));
    PSID owner = part(sdSize + daclSize + saclSize, ownerSize);
    PSID group = part(sdSize + daclSize + saclSize + ownerSize, groupSize);
    if (!MakeAbsoluteSD(SD, block, &sdSize, dacl, &daclSize, sacl, &saclSize, owner, &ownerSize, group, &groupSize))
        RaiseLastOSError();
}

void DuplicateSDAbsoluteToRelative(PSECURITY_DESCRIPTOR SD, void*& P, uint32_t& Size) {
    P = nullptr;
    Size = 0;
    DWORD size = 0;
    CheckSizeProbe(MakeSelfRelativeSD(SD, nullptr, &size));
    P = CenterGetMem(size);
    Size = size;
    DWORD written = size;
    if (!MakeSelfRelativeSD(SD, P, &written)) RaiseLastOSError();
}

namespace {

// A record that describes more than its storage holds, or text without a buffer, would have the
// copy read memory that is not the record's; half a character is refused for text only.
void CopyLsaRecord(PLSA_UNICODE_STRING S, PLSA_UNICODE_STRING& P, uint32_t& Size, bool WholeCharacters) {
    P = nullptr;
    Size = 0;
    if (!S) return;
    if (S->Length > S->MaximumLength || (WholeCharacters && S->Length % 2 != 0) || (S->Length && !S->Buffer))
        throw Exception(SInvalidLsaString, static_cast<unsigned>(S->Length), static_cast<unsigned>(S->MaximumLength));
    uint32_t size = sizeof(LSA_UNICODE_STRING) + S->MaximumLength;
    auto* copy = static_cast<PLSA_UNICODE_STRING>(CenterGetMem(size));
    copy->Length = S->Length;
    copy->MaximumLength = S->MaximumLength;
    copy->Buffer = reinterpret_cast<PWSTR>(reinterpret_cast<BYTE*>(copy) + sizeof(LSA_UNICODE_STRING));
    if (S->Length) std::memcpy(copy->Buffer, S->Buffer, S->Length);
    P = copy;
    Size = size;
}

} // namespace

void DuplicateLsaUnicodeString(PLSA_UNICODE_STRING S, PLSA_UNICODE_STRING& P, uint32_t& Size) {
    CopyLsaRecord(S, P, Size, true);
}

void DuplicateLsaBytes(PLSA_UNICODE_STRING S, PLSA_UNICODE_STRING& P, uint32_t& Size) {
    CopyLsaRecord(S, P, Size, false);
}

std::wstring RkLastWin32Error() { return OSErrorText(GetLastError()); }

} // namespace tamrel
