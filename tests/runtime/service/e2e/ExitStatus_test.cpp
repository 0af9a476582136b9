// The exit status of a service program: 0 after a command that succeeded, the operating-system
// error code of a failure (else 1), in every mode, so that a script or an installer can tell; and
// a failure that the event log alone would keep from a person at a console is said on stderr too.
#include "tests/support/ServiceTestSupport.h"

#include "host/Handles.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ExitStatus, CommandsEndWithTheErrorCodeOfTheirFailure) {
    TServiceProgram p(L"test_service.exe", L"exitcode");
    const std::wstring name = p.ServiceName();
    struct Step {
        std::wstring args;
        DWORD exitCode;
        const char* shown; // in the message on stderr; nullptr: nothing on stderr
        DWORD thenState;   // the state the service reaches afterwards; 0: not looked at
    } steps[] = {
        {L"/install", 0, nullptr, SERVICE_STOPPED},
        {L"/install", ERROR_SERVICE_EXISTS, "Code: 1073", 0},
        {L"/start:TamrelNoSuchService", ERROR_SERVICE_DOES_NOT_EXIST, "Code: 1060", 0},
        {L"/start", 1, "no service was named and no service of the program has Tag 1", 0}, // none tagged
        {L"/stop:" + name, ERROR_SERVICE_NOT_ACTIVE, "Code: 1062", 0},
        {L"/start:" + name, 0, nullptr, SERVICE_RUNNING},
        {L"/start:" + name, ERROR_SERVICE_ALREADY_RUNNING, "Code: 1056", 0}, // a second start
        {L"/stop:" + name, 0, nullptr, SERVICE_STOPPED},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(ToUtf8(s.args));
        auto r = p.Run(s.args);
        EXPECT_EQ(s.exitCode, r.ExitCode) << r.Err;
        if (s.shown) {
            EXPECT_TRUE(Contains(r.Err, s.shown)) << r.Err;
        } else {
            EXPECT_TRUE(r.Err.empty()) << r.Err;
        }
        if (s.thenState) {
            ASSERT_TRUE(TScm::WaitState(name, s.thenState));
        }
    }
    EXPECT_EQ(0u, p.Run(L"/uninstall").ExitCode);
}

// Without the debug library beside it (nor in the current directory) a /debug run cannot start:
// the program says why on stderr and fails with the loader's error.
TEST(ExitStatus, DebugRunWithoutTheDebugLibrarySaysWhyAndFails) {
    TServiceProgram p(L"alone\\test_service_alone.exe", L"nodbglib");
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW((BinDir() + L"alone").c_str()));
    tamrel::TScopeExit restore([&] { SetCurrentDirectoryW(saved); });
    auto r = p.Run(L"/debug", {}, 30000);
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), r.ExitCode) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "tamreldbg64.dll")) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "Code: 126")) << r.Err;
}

// Started without a switch and outside the manager, the program runs in service mode and its
// dispatcher cannot connect (at once on Windows, after 10 s under Wine): 1063, said on stderr.
TEST(ExitStatus, ServiceRunOutsideTheManagerSaysWhyAndFails) {
    TServiceProgram p(L"test_service.exe", L"outside");
    auto r = p.Run(L"", {}, 60000);
    EXPECT_FALSE(r.TimedOut);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), r.ExitCode) << r.Err;
    EXPECT_FALSE(r.Err.empty());
}
