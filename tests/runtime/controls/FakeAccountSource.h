// A scripted account source for the picker tests: each network call answers from a script and is
// counted, the server names passed are recorded. Names must be accounts the system knows (the
// SID center resolves them for real).
#pragma once

#include "runtime/controls/internal/Tamrel_AccountSourceInternal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tamrel::test {

struct TFakeNet {
    // Names handed out per call, one page each; the last page answers 0, earlier ones 234.
    std::vector<std::vector<std::wstring>> UserPages = {{L"root"}};
    std::vector<std::wstring> LocalGroups = {L"Administrators"};
    NET_API_STATUS GroupStatus = NERR_Success;
    std::vector<std::wstring> GlobalGroups;
    bool UsersAlwaysMoreData = false; // 234 without entries, forever
    // No test enumerates the users this often: a loop that does not end fails its test here and
    // is ended with an error answer, instead of hanging the program.
    static constexpr int UserCallBound = 1000;
    NET_API_STATUS ServerStatus = NERR_Success;
    std::vector<std::wstring> Domains;
    std::vector<std::wstring> ReachableDomains;
    std::wstring ComputerName = L"FAKEPC";
    bool LongNames = false; // the first look-up of each principal asks for more room
    int UserCalls = 0, LookupCalls = 0, Frees = 0, Allocs = 0;
    std::vector<DWORD> UserPreferred;
    std::vector<std::wstring> ServersSeen;

    static TFakeNet*& Current() {
        static TFakeNet* current = nullptr;
        return current;
    }
    static LPBYTE NameBuffer(const std::vector<std::wstring>& names, size_t stride) {
        size_t bytes = names.size() * stride;
        for (const auto& n : names) bytes += (n.size() + 1) * sizeof(wchar_t);
        auto* block = static_cast<LPBYTE>(std::calloc(1, bytes + stride));
        auto* text = reinterpret_cast<wchar_t*>(block + names.size() * stride);
        for (size_t i = 0; i < names.size(); ++i) {
            std::memcpy(text, names[i].c_str(), (names[i].size() + 1) * sizeof(wchar_t));
            *reinterpret_cast<wchar_t**>(block + i * stride + (stride == sizeof(SERVER_INFO_100) ? sizeof(LPWSTR) : 0)) = text;
            text += names[i].size() + 1;
        }
        ++Current()->Allocs;
        return block;
    }
    static void Seen(LPCWSTR server) { Current()->ServersSeen.push_back(server ? server : L"(nil)"); }

    static NET_API_STATUS WINAPI UserEnum(LPCWSTR server, DWORD, DWORD, LPBYTE* buf, DWORD pref, LPDWORD read,
                                          LPDWORD total, LPDWORD resume) {
        TFakeNet& f = *Current();
        Seen(server);
        ++f.UserCalls;
        f.UserPreferred.push_back(pref);
        *buf = nullptr;
        *read = *total = 0;
        if (f.UserCalls > UserCallBound) {
            ADD_FAILURE() << "the user enumeration called the source " << f.UserCalls << " times without ending";
            return ERROR_ACCESS_DENIED;
        }
        if (f.UsersAlwaysMoreData) return ERROR_MORE_DATA;
        size_t page = *resume;
        if (page >= f.UserPages.size()) return NERR_Success;
        *buf = NameBuffer(f.UserPages[page], sizeof(USER_INFO_0));
        *read = static_cast<DWORD>(f.UserPages[page].size());
        *resume = static_cast<DWORD>(page + 1);
        return page + 1 < f.UserPages.size() ? ERROR_MORE_DATA : NERR_Success;
    }
    static NET_API_STATUS WINAPI LocalGroupEnum(LPCWSTR server, DWORD, LPBYTE* buf, DWORD, LPDWORD read, LPDWORD total,
                                                PDWORD_PTR) {
        Seen(server);
        *buf = NameBuffer(Current()->LocalGroups, sizeof(LOCALGROUP_INFO_0));
        *read = *total = static_cast<DWORD>(Current()->LocalGroups.size());
        return NERR_Success;
    }
    static NET_API_STATUS WINAPI GroupEnum(LPCWSTR server, DWORD, LPBYTE* buf, DWORD, LPDWORD read, LPDWORD total,
                                           PDWORD_PTR) {
        Seen(server);
        *buf = nullptr;
        *read = *total = 0;
        if (Current()->GroupStatus != NERR_Success) return Current()->GroupStatus;
        *buf = NameBuffer(Current()->GlobalGroups, sizeof(GROUP_INFO_0));
        *read = *total = static_cast<DWORD>(Current()->GlobalGroups.size());
        return NERR_Success;
    }
    static NET_API_STATUS WINAPI ServerEnum(LMCSTR, DWORD, LPBYTE* buf, DWORD, LPDWORD read, LPDWORD total, DWORD,
                                            LMCSTR, LPDWORD) {
        *buf = nullptr;
        *read = *total = 0;
        if (Current()->ServerStatus != NERR_Success) return Current()->ServerStatus;
        *buf = NameBuffer(Current()->Domains, sizeof(SERVER_INFO_100));
        *read = *total = static_cast<DWORD>(Current()->Domains.size());
        return NERR_Success;
    }
    static NET_API_STATUS WINAPI GetAnyDCName(LPCWSTR, LPCWSTR domain, LPBYTE* buf) {
        for (const auto& d : Current()->ReachableDomains)
            if (d == domain) {
                std::wstring dc = L"\\\\DC-" + d;
                auto* block = static_cast<wchar_t*>(std::calloc(dc.size() + 1, sizeof(wchar_t)));
                std::memcpy(block, dc.c_str(), dc.size() * sizeof(wchar_t));
                *buf = reinterpret_cast<LPBYTE>(block);
                ++Current()->Allocs;
                return NERR_Success;
            }
        return 1355; // no such domain
    }
    static NET_API_STATUS WINAPI BufferFree(LPVOID p) {
        ++Current()->Frees;
        std::free(p);
        return NERR_Success;
    }
    static BOOL WINAPI ComputerNameW(LPWSTR buffer, LPDWORD size) {
        const std::wstring& name = Current()->ComputerName;
        if (*size <= name.size()) {
            *size = static_cast<DWORD>(name.size() + 1);
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return FALSE;
        }
        std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        *size = static_cast<DWORD>(name.size());
        return TRUE;
    }
    static BOOL WINAPI LookupSid(LPCWSTR server, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                                 LPDWORD domainSize, PSID_NAME_USE use) {
        TFakeNet& f = *Current();
        ++f.LookupCalls;
        if (f.LongNames && *nameSize < 100) {
            *nameSize = 100;
            *domainSize = 100;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        (void)server; // the real look-up of this computer
        return ::LookupAccountSidW(nullptr, sid, name, nameSize, domain, domainSize, use);
    }

    TrkAccountSource Former;
    TFakeNet() {
        Current() = this;
        TrkAccountSource s;
        s.NetUserEnum = &UserEnum;
        s.NetLocalGroupEnum = &LocalGroupEnum;
        s.NetGroupEnum = &GroupEnum;
        s.NetServerEnum = &ServerEnum;
        s.NetGetAnyDCName = &GetAnyDCName;
        s.NetApiBufferFree = &BufferFree;
        s.GetComputerNameW = &ComputerNameW;
        s.LookupAccountSidW = &LookupSid;
        Former = SetAccountSource(s);
    }
    ~TFakeNet() {
        SetAccountSource(Former);
        Current() = nullptr;
    }
};

} // namespace tamrel::test
