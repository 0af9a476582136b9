#include "runtime/service/base/Tamrel_WinVer.h"

#include "host/Handles.h"
#include "runtime/service/base/internal/Tamrel_WinVerInternal.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Wine answers GetVersionExW with the version set for the program's file name under
// HKCU\Software\Wine\AppDefaults\<name>.exe, value "Version"; the probe prints what the
// predicates make of it.
std::string ProbeUnder(const wchar_t* wineVersion) {
    const std::wstring key = L"Software\\Wine\\AppDefaults\\winver_probe.exe";
    std::wstring value = wineVersion;
    LSTATUS rc = RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, value.c_str(),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(ERROR_SUCCESS, rc);
    TScopeExit cleanup([&] { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); });
    TProcessResult r = RunProcess(ProgramPath(L"winver_probe.exe"));
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    std::vector<std::string> lines = SplitLines(r.Out);
    return lines.empty() ? std::string() : lines[0];
}

} // namespace

TEST(WinVer, PredicatesFollowTheReportedWindowsVersion) {
    struct Case {
        const wchar_t* wine;
        const char* expected;
    } cases[] = {
        // 4.10 makes the number 50, but the 9x platform is never NT, so never 2000 or later.
        {L"win98", "NT=0 2000=0 XP=0 Vista=0 Wow64=0 Version=50 Platform=1"},
        {L"nt40", "NT=1 2000=0 XP=0 Vista=0 Wow64=0 Version=40 Platform=2"},
        {L"win2k", "NT=1 2000=1 XP=0 Vista=0 Wow64=0 Version=50 Platform=2"},
        {L"winxp", "NT=1 2000=1 XP=1 Vista=0 Wow64=0 Version=51 Platform=2"},
        {L"winxp64", "NT=1 2000=1 XP=1 Vista=0 Wow64=0 Version=52 Platform=2"},
        {L"vista", "NT=1 2000=1 XP=1 Vista=1 Wow64=0 Version=60 Platform=2"},
        {L"win7", "NT=1 2000=1 XP=1 Vista=1 Wow64=0 Version=61 Platform=2"},
        {L"win10", "NT=1 2000=1 XP=1 Vista=1 Wow64=0 Version=62 Platform=2"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, ProbeUnder(c.wine)) << ToUtf8(c.wine);
}

TEST(WinVer, ReplacedPlatformHoldsForItsScopeOnly) {
    ASSERT_TRUE(IsWinNT());
    {
        TPlatformOverride older(VER_PLATFORM_WIN32_WINDOWS);
        EXPECT_FALSE(IsWinNT());
        EXPECT_FALSE(IsWin2000());
        EXPECT_FALSE(IsVista());
        {
            TPlatformOverride nt(VER_PLATFORM_WIN32_NT);
            EXPECT_TRUE(IsWinNT());
        }
        EXPECT_FALSE(IsWinNT());
    }
    EXPECT_TRUE(IsWinNT());
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), VersionRecord().dwPlatformId);
}

TEST(WinVer, RecordIsTheSystemsAnswer) {
    OSVERSIONINFOW direct{};
    direct.dwOSVersionInfoSize = sizeof direct;
    ASSERT_TRUE(GetVersionExW(&direct));
    const OSVERSIONINFOW& record = VersionRecord();
    EXPECT_EQ(sizeof(OSVERSIONINFOW), record.dwOSVersionInfoSize);
    EXPECT_EQ(direct.dwMajorVersion, record.dwMajorVersion);
    EXPECT_EQ(direct.dwMinorVersion, record.dwMinorVersion);
    EXPECT_EQ(direct.dwBuildNumber, record.dwBuildNumber);
    EXPECT_EQ(direct.dwPlatformId, record.dwPlatformId);
    EXPECT_EQ(std::wstring(direct.szCSDVersion), std::wstring(record.szCSDVersion));
    EXPECT_EQ(&record, &VersionRecord()) << "filled once per process";
}

TEST(WinVer, SixtyFourBitProcessIsNotWow64) {
    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, IsWow64());
    EXPECT_FALSE(IsWow64());
    EXPECT_FALSE(IsWow64()) << "cached answer";
}

// The cache and the look-up through the seam: a missing or failing IsWow64Process cannot be
// had on a system that has a working one.
namespace {

int gLookups = 0;
int gCalls = 0;
BOOL gResult = TRUE;
BOOL gWow64 = FALSE;

BOOL WINAPI FakeIsWow64Process(HANDLE process, PBOOL wow64) {
    ++gCalls;
    EXPECT_EQ(GetCurrentProcess(), process);
    if (!gResult) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *wow64 = gWow64;
    return TRUE;
}

detail::TIsWow64ProcessFn PresentLookup() {
    ++gLookups;
    return FakeIsWow64Process;
}

detail::TIsWow64ProcessFn MissingLookup() {
    ++gLookups;
    return nullptr;
}

void ResetFake(BOOL result, BOOL wow64) {
    gLookups = gCalls = 0;
    gResult = result;
    gWow64 = wow64;
}

} // namespace

TEST(WinVer, Wow64AnswerIsLookedUpOnceAndCached) {
    struct Case {
        const char* name;
        detail::TIsWow64Lookup lookup;
        BOOL wow64;
        bool expected;
        uint8_t cached;
        int calls; // calls of the system function over two questions
    } cases[] = {
        {"under WOW64", PresentLookup, TRUE, true, detail::kWow64Yes, 1},
        {"native", PresentLookup, FALSE, false, detail::kWow64No, 1},
        {"no such function", MissingLookup, TRUE, false, detail::kWow64No, 0},
    };
    for (const auto& c : cases) {
        ResetFake(TRUE, c.wow64);
        std::atomic<uint8_t> cache{detail::kWow64Unknown};
        EXPECT_EQ(c.expected, detail::Wow64Answer(cache, c.lookup)) << c.name;
        EXPECT_EQ(c.cached, cache.load()) << c.name;
        gWow64 = !c.wow64; // a second question must not reach the system
        EXPECT_EQ(c.expected, detail::Wow64Answer(cache, c.lookup)) << c.name;
        EXPECT_EQ(1, gLookups) << c.name;
        EXPECT_EQ(c.calls, gCalls) << c.name;
    }
}

TEST(WinVer, FailingWow64QueryIsAskedAgain) {
    ResetFake(FALSE, TRUE);
    std::atomic<uint8_t> cache{detail::kWow64Unknown};
    EXPECT_FALSE(detail::Wow64Answer(cache, PresentLookup));
    EXPECT_EQ(detail::kWow64Unknown, cache.load());
    gResult = TRUE;
    EXPECT_TRUE(detail::Wow64Answer(cache, PresentLookup));
    EXPECT_EQ(detail::kWow64Yes, cache.load());
    EXPECT_EQ(2, gCalls);
}
