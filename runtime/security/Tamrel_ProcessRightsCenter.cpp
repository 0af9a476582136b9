#include "runtime/security/Tamrel_ProcessRightsCenter.h"

#include "host/SizeProbe.h"
#include "host/SysUtils.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

namespace tamrel {

namespace {

constexpr DWORD NameChars = 255;
// TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY.
constexpr DWORD TokenAccess = 0x28;

LUID ToLuid(int64_t value) {
    LUID luid;
    luid.LowPart = static_cast<DWORD>(value & 0xFFFFFFFF);
    luid.HighPart = static_cast<LONG>(value >> 32);
    return luid;
}

int64_t FromLuid(const LUID& luid) {
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(luid.HighPart)) << 32) | luid.LowPart);
}

// Every thread that looks an entry up first stores the same value; the atomics make that
// sharing well-defined.
std::atomic<int64_t> GLuids[PrivilegeCount];

bool FindPrivilege(int64_t luid, TrkPrivilege& P) {
    if (luid == 0) return false;
    for (int i = 0; i < PrivilegeCount; ++i) {
        if (PrivilegeToLuid(static_cast<TrkPrivilege>(i)) == luid) {
            P = static_cast<TrkPrivilege>(i);
            return true;
        }
    }
    return false;
}

// The token's privileges; a failure raises the OS error.
std::vector<BYTE> TokenPrivilegesOf(HANDLE token) {
    std::vector<BYTE> buffer;
    DWORD size = 0;
    DWORD error = CallWithSizeProbe(buffer, size, [token](BYTE* data, DWORD& bytes) {
        return ErrorOf(GetTokenInformation(token, TokenPrivileges, data, bytes, &bytes));
    });
    if (error != ERROR_SUCCESS) RaiseLastOSError(error);
    return buffer;
}

} // namespace

int64_t StringToLuid(const std::wstring& Name) {
    LUID luid{};
    // A failing look-up may still write to the LUID: only a success counts.
    if (!LookupPrivilegeValueW(nullptr, Name.c_str(), &luid)) return 0;
    return FromLuid(luid);
}

int64_t PrivilegeToLuid(TrkPrivilege P) {
    std::atomic<int64_t>& entry = GLuids[P];
    int64_t luid = entry.load(std::memory_order_relaxed);
    if (luid == 0) {
        luid = StringToLuid(PrivilegeToString(P));
        if (luid != 0) entry.store(luid, std::memory_order_relaxed);
    }
    return luid;
}

TrkPrivilege LuidToPrivilege(int64_t Luid) {
    TrkPrivilege p;
    if (!FindPrivilege(Luid, p)) Abort();
    return p;
}

std::wstring LuidToString(int64_t Luid) {
    LUID luid = ToLuid(Luid);
    wchar_t name[NameChars + 1] = {};
    DWORD size = NameChars;
    if (!LookupPrivilegeNameW(nullptr, &luid, name, &size)) RaiseLastOSError();
    return name;
}

std::wstring LuidToName(int64_t Luid) {
    std::wstring name = LuidToString(Luid);
    wchar_t display[NameChars + 1] = {};
    DWORD size = NameChars;
    DWORD language = 0;
    // Some systems keep no display names (or not for every privilege): the system name is
    // then the best name there is.
    if (!LookupPrivilegeDisplayNameW(nullptr, name.c_str(), display, &size, &language)) return name;
    return display;
}

std::wstring PrivilegeToName(TrkPrivilege P) {
    switch (P) {
    case spInteractiveLogon: return L"Logon interactive";
    case spNetworkLogon: return L"Network logon";
    case spBatchLogon: return L"Logon as a batch job";
    case spServiceLogon: return L"Logon as a service";
    default: return LuidToName(PrivilegeToLuid(P));
    }
}

// ---------------------------------------------------------------------------------------------
// TrkProcessRightsCenter

TrkProcessRightsCenter::TrkProcessRightsCenter(TComponent* AOwner) : TrkCustomRightsCenter(AOwner) {}

TrkProcessRightsCenter::~TrkProcessRightsCenter() { CloseToken(); }

void TrkProcessRightsCenter::OpenToken() {
    if (FProcessToken) return;
    if (!OpenProcessToken(GetCurrentProcess(), TokenAccess, FProcessToken.Put())) {
        FLastError = static_cast<int32_t>(GetLastError());
        Abort();
    }
}

void TrkProcessRightsCenter::CloseToken() { FProcessToken.Reset(); }

void TrkProcessRightsCenter::ReadCurrent() {
    if (FCurrentAvailable) return;
    ClearCurrent();
    try {
        OpenToken();
        std::vector<BYTE> buffer = TokenPrivilegesOf(FProcessToken.Get());
        const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        DWORD count = buffer.size() >= offsetof(TOKEN_PRIVILEGES, Privileges) ? privileges->PrivilegeCount : 0;
        for (DWORD i = 0; i < count; ++i) {
            const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
            // Only an enabled privilege is current: one that is enabled by default but was
            // switched off carries attributes too.
            if (!(entry.Attributes & SE_PRIVILEGE_ENABLED)) continue;
            int64_t luid = FromLuid(entry.Luid);
            TrkPrivilege p;
            if (FindPrivilege(luid, p)) FCurrentPrivileges.Include(p);
            else FCurrentAdditional.Add(LuidToString(luid));
        }
        FCurrentAvailable = true;
    } catch (const EOSError& e) {
        FLastError = static_cast<int32_t>(e.ErrorCode());
        ClearCurrent();
    } catch (const Exception&) {
        ClearCurrent();
    }
}

void TrkProcessRightsCenter::ApplyDifference() {
    FCurrentAvailable = false;
    std::vector<LUID_AND_ATTRIBUTES> entries;
    auto add = [&entries](int64_t luid, bool wanted) {
        // A name this system does not know has no LUID; 0 would name no privilege at all.
        if (luid != 0) entries.push_back({ToLuid(luid), wanted ? DWORD(SE_PRIVILEGE_ENABLED) : 0u});
    };
    ForEachChange([&](TrkPrivilege p, bool wanted) { add(PrivilegeToLuid(p), wanted); },
                         [&](const std::wstring& name, bool wanted) { add(StringToLuid(name), wanted); });
    try {
        OpenToken();
    } catch (const EAbort&) {
        return; // LastError holds the reason
    }
    TScopeExit close([this] { CloseToken(); });
    // The record with one entry per change (its declared array holds one).
    size_t entriesAt = offsetof(TOKEN_PRIVILEGES, Privileges);
    std::vector<BYTE> buffer(std::max(sizeof(TOKEN_PRIVILEGES), entriesAt + entries.size() * sizeof(LUID_AND_ATTRIBUTES)));
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    privileges->PrivilegeCount = static_cast<DWORD>(entries.size());
    if (!entries.empty()) std::memcpy(buffer.data() + entriesAt, entries.data(), entries.size() * sizeof(LUID_AND_ATTRIBUTES));
    // Success with ERROR_NOT_ALL_ASSIGNED means some privilege is not held: that stays visible.
    AdjustTokenPrivileges(FProcessToken.Get(), FALSE, privileges, 0, nullptr, nullptr);
    FLastError = static_cast<int32_t>(GetLastError());
}

TAMREL_IMPLEMENT_CLASS(TrkProcessRightsCenter) {}

} // namespace tamrel
