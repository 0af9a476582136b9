#include "runtime/security/Tamrel_SecretCenter.h"

#include "host/Registry.h"
#include "host/SysUtils.h"
#include "runtime/security/internal/Tamrel_LsaInternal.h"
#include "runtime/security/internal/Tamrel_SecretStoreInternal.h"
#include "runtime/service/base/Tamrel_WinVer.h"

#include <mutex>
#include <optional>
#include <random>
#include <vector>

namespace tamrel {

namespace {

// POLICY_CREATE_SECRET | POLICY_GET_PRIVATE_INFORMATION.
constexpr ACCESS_MASK SecretPolicyAccess = 0x24;
constexpr wchar_t SStoreKeyNotOpened[] = L"Failed to open the secret store key '%s'";

// The record's offsets, big-endian, each over four scattered bytes (most significant first).
constexpr int BeginBytes[4] = {0, 2, 7, 6};
constexpr int EndBytes[4] = {5, 1, 3, 4};
constexpr int HeaderBytes = 8;
// Only the first 31 key bytes take part in the scrambling.
constexpr int KeyCycle = 31;

uint8_t HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return static_cast<uint8_t>(c - L'0');
    if (c >= L'A' && c <= L'F') return static_cast<uint8_t>(c - L'A' + 10);
    if (c >= L'a' && c <= L'f') return static_cast<uint8_t>(c - L'a' + 10);
    throw EConvertError(L"'$" + std::wstring(1, c) + L"' is not a valid integer value");
}

// Byte i of a text written low digit first.
uint8_t TextByte(std::wstring_view text, size_t i) {
    return static_cast<uint8_t>(HexDigit(text[2 * i + 1]) * 16 + HexDigit(text[2 * i]));
}

void PutOffset(std::vector<uint8_t>& record, const int (&at)[4], int32_t value) {
    auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) record[at[i]] = static_cast<uint8_t>(bits >> (24 - 8 * i));
}

int32_t GetOffset(const std::vector<uint8_t>& record, const int (&at)[4]) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits = (bits << 8) | record[at[i]];
    return static_cast<int32_t>(bits);
}

uint8_t CycleKey(const detail::TSecretKey& key, size_t index) { return key[index % KeyCycle]; }

void OpenStore(TRegistry& registry) {
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKey(detail::SecretStoreKeyPath, true)) throw ERegistryException(SStoreKeyNotOpened, detail::SecretStoreKeyPath);
}

// The key table: made on the first use of the registry store, kept for the process.
struct TStoreKeyState {
    std::mutex Lock;
    std::optional<detail::TSecretKey> Key;
};

TStoreKeyState& StoreKeyState() {
    static TStoreKeyState state;
    return state;
}

detail::TSecretKey ReadStoreKey() {
    TRegistry registry;
    OpenStore(registry);
    std::wstring text = registry.ReadString(L"");
    if (text.size() != 64) {
        text = detail::NewSecretKeyText();
        registry.WriteString(L"", text);
    }
    return detail::SecretKeyFromText(text);
}

} // namespace

namespace detail {

uint32_t SecretRandom(uint32_t Range) {
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard<std::mutex> hold(lock);
    return std::uniform_int_distribution<uint32_t>(0, Range - 1)(generator);
}

TSecretKey SecretKeyFromText(std::wstring_view text) {
    TSecretKey key{};
    for (size_t i = 0; i < key.size() && 2 * i + 1 < text.size(); ++i) key[i] = TextByte(text, i);
    return key;
}

std::wstring NewSecretKeyText() {
    std::wstring text;
    for (int group = 0; group < 16; ++group) text += IntToHex(SecretRandom(65535), 4);
    return text;
}

std::wstring EncodeStoredSecret(std::wstring_view Value, const TSecretKey& Key) {
    int32_t begin = 9 + static_cast<int32_t>(SecretRandom(12));
    int32_t end = begin + static_cast<int32_t>(Value.size()) - 1;
    size_t length = static_cast<size_t>(end) + SecretRandom(12) + 2;
    std::vector<uint8_t> record(length);
    for (uint8_t& b : record) b = static_cast<uint8_t>(SecretRandom(255));
    PutOffset(record, BeginBytes, begin);
    PutOffset(record, EndBytes, end);
    for (size_t i = 0; i < Value.size(); ++i) record[begin + i] = static_cast<uint8_t>(Value[i] & 0xFF);
    for (size_t j = 0; j < length; ++j) record[j] ^= CycleKey(Key, j);
    for (size_t k = 0; k < length; ++k) {
        if (k % 3 == 2) record[k] = static_cast<uint8_t>(record[k] - CycleKey(Key, 3 * k + 16));
        if (k % 2 == 0) record[k] ^= CycleKey(Key, k + 21);
    }
    static constexpr wchar_t Digits[] = L"0123456789ABCDEF";
    std::wstring text(2 * length, L'0');
    for (size_t k = 0; k < length; ++k) {
        text[2 * k] = Digits[record[k] & 0xF];
        text[2 * k + 1] = Digits[record[k] >> 4];
    }
    return text;
}

bool DecodeStoredSecret(std::wstring_view Text, const TSecretKey& Key, std::wstring& Value) {
    Value.clear();
    size_t length = Text.size() / 2;
    std::vector<uint8_t> record(length);
    for (size_t i = 0; i < length; ++i) record[i] = TextByte(Text, i);
    for (size_t i = 0; i < length; ++i) {
        if (i % 2 == 0) record[i] ^= CycleKey(Key, i + 21);
        if (i % 3 == 2) record[i] = static_cast<uint8_t>(record[i] + CycleKey(Key, 3 * i + 16));
    }
    for (size_t j = 0; j < length; ++j) record[j] ^= CycleKey(Key, j);
    // The offsets come from the stored text itself: nothing outside the record may be read.
    if (length < HeaderBytes) return false;
    int32_t begin = GetOffset(record, BeginBytes);
    int32_t end = GetOffset(record, EndBytes);
    if (end < begin) return true;
    if (begin < 0 || static_cast<size_t>(end) >= length) return false;
    Value.reserve(static_cast<size_t>(end - begin) + 1);
    for (int32_t i = begin; i <= end; ++i) Value += static_cast<wchar_t>(record[i]);
    return true;
}

TSecretKey SecretStoreKey() {
    TStoreKeyState& state = StoreKeyState();
    std::lock_guard<std::mutex> hold(state.Lock);
    // A failed set-up is not kept: the next use tries again.
    if (!state.Key) state.Key = ReadStoreKey();
    return *state.Key;
}

void ReloadSecretStoreKey() {
    TStoreKeyState& state = StoreKeyState();
    std::lock_guard<std::mutex> hold(state.Lock);
    state.Key.reset();
    state.Key = ReadStoreKey();
}

} // namespace detail

// ---------------------------------------------------------------------------------------------
// TrkSecretCenter

TrkSecretCenter::TrkSecretCenter(TComponent* AOwner)
    : TComponent(AOwner), FServer(Create<TrkLsaUnicodeStringCenter>(nullptr)),
      FSecretName(Create<TrkLsaUnicodeStringCenter>(nullptr)), FSecretValue(Create<TrkLsaUnicodeStringCenter>(nullptr)) {}

TrkSecretCenter::~TrkSecretCenter() { ClosePolicy(); }

void TrkSecretCenter::SetServer(const std::wstring& S) {
    ClosePolicy();
    FServer->SetText(S);
}

void TrkSecretCenter::OpenPolicy() {
    if (!IsWinNT() || FPolicyHandle) return;
    LsaCheckStatus(LsaOpenPolicyHandle(FServer->Text(), SecretPolicyAccess, FPolicyHandle));
}

void TrkSecretCenter::ClosePolicy() { FPolicyHandle.Reset(); }

bool TrkSecretCenter::Read() {
    if (!IsWinNT()) return ReadFromRegistry();
    OpenPolicy();
    PLSA_UNICODE_STRING data = nullptr;
    NTSTATUS status = RkLsaSlots().RetrievePrivateData(FPolicyHandle.Get(), FSecretName->GetLsaUnicodeString(), &data);
    TLsaMemory owner(data);
    DWORD code = LsaNtStatusToWinError(status);
    if (code == ERROR_FILE_NOT_FOUND) return false;
    if (code != 0) {
        SetLastError(code);
        RaiseLastOSError(code);
    }
    // A secret's value is bytes, of any length: it is kept as it stands, and written back so.
    FSecretValue->SetLsaBytes(data);
    return true;
}

void TrkSecretCenter::Write() {
    if (!IsWinNT()) {
        WriteToRegistry();
        return;
    }
    OpenPolicy();
    LsaCheckStatus(RkLsaSlots().StorePrivateData(FPolicyHandle.Get(), FSecretName->GetLsaUnicodeString(),
                                                 FSecretValue->GetLsaUnicodeString()));
}

bool TrkSecretCenter::ReadFromRegistry() {
    detail::TSecretKey key = detail::SecretStoreKey();
    TRegistry registry;
    OpenStore(registry);
    std::wstring name = FSecretName->Text();
    std::wstring value;
    bool found = registry.ValueExists(name) && detail::DecodeStoredSecret(registry.ReadString(name), key, value);
    FSecretValue->SetText(value);
    return found;
}

void TrkSecretCenter::WriteToRegistry() {
    detail::TSecretKey key = detail::SecretStoreKey();
    std::wstring text = detail::EncodeStoredSecret(FSecretValue->Text(), key);
    TRegistry registry;
    OpenStore(registry);
    registry.WriteString(FSecretName->Text(), text);
}

TAMREL_IMPLEMENT_CLASS(TrkSecretCenter) {
    b.String(L"Server", &TrkSecretCenter::Server, &TrkSecretCenter::SetServer);
    b.String(L"SecretName", &TrkSecretCenter::SecretName, &TrkSecretCenter::SetSecretName);
    b.String(L"SecretValue", &TrkSecretCenter::SecretValue, &TrkSecretCenter::SetSecretValue);
}

} // namespace tamrel
