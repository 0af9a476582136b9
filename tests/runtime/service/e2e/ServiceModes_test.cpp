// How a service program decides what its run is: configure, control, service or application mode,
// driven through its own command line against Wine's service manager.
#include "tests/support/EventLogCapture.h"
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {

bool HasRecord(const TEventLogCapture& c, uint32_t type, const std::wstring& text) {
    for (const auto& r : c.Records)
        if (r.Type == type)
            for (const auto& s : r.Strings)
                if (s.find(text) != std::wstring::npos) return true;
    return false;
}

// Service mode started by a user instead of the manager: the dispatcher cannot connect and says
// so in the application's event log; application mode writes only "Stopped".
bool RanInServiceMode(const TServiceProgram& p, const std::wstring& args) {
    auto c = RunAndCaptureEventLog(L"\"" + p.Exe() + L"\" " + args);
    EXPECT_TRUE(HasRecord(c, EVENTLOG_INFORMATION_TYPE, L"Stopped")) << c.Process.Err;
    return c.Records.size() > 1 && HasRecord(c, EVENTLOG_ERROR_TYPE, L"");
}

} // namespace

TEST(ServiceModes, ConfigureWinsOverControlAndDebug) {
    TServiceProgram p(L"test_service.exe", L"cfgwins");
    auto r = p.Run(L"/install /start");
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    ASSERT_TRUE(TScm::Exists(p.ServiceName()));
    Sleep(300);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), TScm::Query(p.ServiceName()).dwCurrentState);
    EXPECT_EQ(0, p.CountEvidence("Svc1 start"));

    TServiceProgram q(L"test_service.exe", L"dbginst");
    r = q.Run(L"/debug /install"); // installs with the real manager, no debug library involved
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_TRUE(TScm::Exists(q.ServiceName()));
    EXPECT_EQ(std::string::npos, r.Err.find("tamreldbg")) << r.Err;
}

TEST(ServiceModes, RefusedBeforeInstallEndsThePassWithoutError) {
    TServiceProgram p(L"test_service.exe", L"refuse");
    p.SetModules(2);
    p.SetModule(1, L"RefuseInstall", L"1");
    auto r = p.Run(L"/install");
    EXPECT_EQ(0u, r.ExitCode);
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    EXPECT_FALSE(TScm::Exists(p.ServiceName(1)));
    EXPECT_FALSE(TScm::Exists(p.ServiceName(2)));
    EXPECT_EQ(1, p.CountEvidence("Svc1 refuses install"));
}

TEST(ServiceModes, ReinstallIgnoresRemovalFailuresAndInstalls) {
    TServiceProgram p(L"test_service.exe", L"reinst");
    auto r = p.Run(L"/reinstall"); // nothing to remove yet
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_TRUE(TScm::Exists(p.ServiceName()));
    r = p.Run(L"/reinstall");
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_TRUE(TScm::Exists(p.ServiceName()));
    EXPECT_EQ(2, p.CountEvidence("Svc1 installed"));
    // Installing twice is an error the user sees.
    r = p.Run(L"/install");
    EXPECT_NE(std::string::npos, r.Err.find("Code: 1073")) << r.Err;
}

TEST(ServiceModes, ControlWithoutANameActsOnTaggedModulesOnly) {
    TServiceProgram p(L"test_service.exe", L"tag");
    p.SetModules(2);
    p.SetModule(1, L"Tag", L"1");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    auto r = p.Run(L"/start");
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(1), SERVICE_RUNNING));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), TScm::Query(p.ServiceName(2)).dwCurrentState);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName(2)));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(2), SERVICE_RUNNING));
    r = p.Run(L"/stop");
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(1), SERVICE_STOPPED)) << r.Err;
    Sleep(300);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), TScm::Query(p.ServiceName(2)).dwCurrentState);
    // The first control switch in the order start, stop, pause, restart, continue wins.
    r = p.Run(L"/continue:" + p.ServiceName(2) + L" /pause:" + p.ServiceName(2));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(2), SERVICE_PAUSED)) << r.Err;
}

TEST(ServiceModes, ControlFailuresAreReported) {
    TServiceProgram p(L"test_service.exe", L"ctlfail");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    auto r = p.Run(L"/start:TamrelNoSuchService");
    EXPECT_NE(std::string::npos, r.Err.find("EOSError")) << r.Err;
    EXPECT_NE(std::string::npos, r.Err.find("Code: 1060")) << r.Err;
    r = p.Run(L"/stop:" + p.ServiceName()); // not running
    EXPECT_NE(std::string::npos, r.Err.find("Code: 1062")) << r.Err;
    // Restart of a service that is not running just starts it.
    r = p.Run(L"/restart:" + p.ServiceName());
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    // Restart of a running one stops it and starts it again.
    r = p.Run(L"/restart:" + p.ServiceName());
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    EXPECT_EQ(2, p.CountEvidence("Svc1 start"));
    EXPECT_EQ(1, p.CountEvidence("Svc1 stop"));
}

TEST(ServiceModes, RestartOfAServiceThatNeverStopsGivesUpAndStillStarts) {
    TServiceProgram p(L"test_service.exe", L"restartstuck");
    p.SetModule(1, L"StopAnswer", L"0");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    DWORD start = GetTickCount();
    auto r = p.Run(L"/restart:" + p.ServiceName(), {}, 60000);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 10000u);
    // The start request still went out and was refused: the service is still running.
    EXPECT_NE(std::string::npos, r.Err.find("Code: 1056")) << r.Err;
}

TEST(ServiceModes, StartTokenDecidesBetweenServiceAndApplicationMode) {
    TServiceProgram stored(L"test_service_stored.exe", L"mode");
    EXPECT_FALSE(RanInServiceMode(stored, L""));
    EXPECT_TRUE(RanInServiceMode(stored, L"/startedbyscm:45f438c3-40e29052-svc1")); // any case
    EXPECT_FALSE(RanInServiceMode(stored, L"/startedbyscm:45F438C3-40E29052-Other"));
    stored.Set(L"Program", L"DualMode", L"0");
    EXPECT_TRUE(RanInServiceMode(stored, L""));
    // Without a stored token every run is a service run.
    TServiceProgram plain(L"test_service.exe", L"mode2");
    EXPECT_TRUE(RanInServiceMode(plain, L""));
}

TEST(ServiceModes, StoredTokenServiceRunsWhenTheManagerStartsIt) {
    TServiceProgram p(L"test_service_stored.exe", L"storedrun");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    EXPECT_TRUE(p.WaitEvidence("Svc1 start"));
    EXPECT_TRUE(p.WaitEvidence("/startedbyscm:45F438C3-40E29052-Svc1"));
}
