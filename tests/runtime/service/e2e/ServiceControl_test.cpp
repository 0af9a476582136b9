// Control requests from Wine's real service manager to services built on the library.
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace tamrel::test;

namespace {

// Installs and starts the program's services; says which step failed.
::testing::AssertionResult InstallAndStart(TServiceProgram& p, int modules = 1) {
    auto r = p.Run(L"/install");
    if (r.ExitCode != 0) return ::testing::AssertionFailure() << "install: " << r.Err;
    for (int m = 1; m <= modules; ++m) {
        if (DWORD err = TScm::Start(p.ServiceName(m)); err != 0)
            return ::testing::AssertionFailure() << "start of module " << m << ": error " << err;
        if (!TScm::WaitState(p.ServiceName(m), SERVICE_RUNNING))
            return ::testing::AssertionFailure() << "module " << m << " state " << TScm::Query(p.ServiceName(m)).dwCurrentState;
    }
    return ::testing::AssertionSuccess();
}

int FieldOf(const std::string& line, const std::string& key) {
    size_t at = line.find(key + "=");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + key.size() + 1));
}

} // namespace

TEST(ServiceControl, PauseAndContinueWithAndWithoutSuspending) {
    for (const wchar_t* suspend : {L"1", L"0"}) {
        TServiceProgram p(L"test_service.exe", L"pause");
        p.SetModule(1, L"SuspendOnPause", suspend);
        ASSERT_TRUE(InstallAndStart(p));
        const auto& name = p.ServiceName();
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(0u, TScm::Control(name, SERVICE_CONTROL_PAUSE));
            ASSERT_TRUE(TScm::WaitState(name, SERVICE_PAUSED));
            // An interrogate while paused resumes the thread and leaves the service paused.
            SERVICE_STATUS st{};
            EXPECT_EQ(0u, TScm::Control(name, SERVICE_CONTROL_INTERROGATE, &st));
            Sleep(100);
            EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), TScm::Query(name).dwCurrentState);
            EXPECT_EQ(0u, TScm::Control(name, SERVICE_CONTROL_CONTINUE));
            ASSERT_TRUE(TScm::WaitState(name, SERVICE_RUNNING));
        }
        EXPECT_EQ(0u, TScm::Control(name, SERVICE_CONTROL_STOP));
        ASSERT_TRUE(TScm::WaitState(name, SERVICE_STOPPED));
        EXPECT_TRUE(p.WaitEvidence("Svc1 stop pauses=3 continues=3")) << "SuspendOnPause=" << ToUtf8(suspend);
    }
}

TEST(ServiceControl, CustomCodesReachTheModuleOnlyAfterAGoodStart) {
    TServiceProgram p(L"test_service.exe", L"custom");
    ASSERT_TRUE(InstallAndStart(p));
    for (DWORD code : {128u, 201u, 255u}) EXPECT_EQ(0u, TScm::Control(p.ServiceName(), code)) << code;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), TScm::Control(p.ServiceName(), 256));
    EXPECT_TRUE(p.WaitEvidence("Svc1 custom 128 status=3"));
    EXPECT_TRUE(p.WaitEvidence("Svc1 custom 255 status=3"));
    // Code 201 posts a thread message that the module's message method handles.
    EXPECT_TRUE(p.WaitEvidence("Svc1 message 7"));

    TServiceProgram q(L"test_service.exe", L"badstart");
    q.SetModule(1, L"StartAnswer", L"0");
    q.SetModule(1, L"WaitHint", L"500");
    ASSERT_EQ(0u, q.Run(L"/install").ExitCode);
    DWORD start = GetTickCount();
    ASSERT_EQ(0u, TScm::Start(q.ServiceName()));
    // Reported running although the start failed, then stopped after four wait hints.
    EXPECT_TRUE(TScm::WaitState(q.ServiceName(), SERVICE_RUNNING));
    EXPECT_EQ(0u, TScm::Control(q.ServiceName(), 150));
    EXPECT_TRUE(TScm::WaitState(q.ServiceName(), SERVICE_STOPPED, 10000));
    EXPECT_GE(GetTickCount() - start, 1800u);
    EXPECT_EQ(0, q.CountEvidence("custom 150"));
    EXPECT_EQ(0, q.CountEvidence("Svc1 stop")); // OnStop only after a start that answered True
}

TEST(ServiceControl, HandlerExceptionsFallBackToTheFormerState) {
    {
        TServiceProgram p(L"test_service.exe", L"throwpause");
        p.SetModule(1, L"Throw", L"pause");
        ASSERT_TRUE(InstallAndStart(p));
        EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_PAUSE));
        Sleep(300);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), TScm::Query(p.ServiceName()).dwCurrentState);
        // A failing custom handler leaves the service running too.
        p.SetModule(1, L"Throw", L"custom");
        EXPECT_EQ(0u, TScm::Control(p.ServiceName(), 140));
        Sleep(200);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), TScm::Query(p.ServiceName()).dwCurrentState);
    }
    {
        TServiceProgram p(L"test_service.exe", L"throwcont");
        p.SetModule(1, L"Throw", L"continue");
        ASSERT_TRUE(InstallAndStart(p));
        EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_PAUSE));
        ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_PAUSED));
        EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_CONTINUE));
        Sleep(300);
        EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), TScm::Query(p.ServiceName()).dwCurrentState);
    }
    {
        TServiceProgram p(L"test_service.exe", L"throwstart");
        p.SetModule(1, L"Throw", L"start");
        p.SetModule(1, L"WaitHint", L"250");
        ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
        ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
        EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_STOPPED, 10000)); // the self-stop
    }
}

TEST(ServiceControl, ExecuteHandlerServesRequestsItself) {
    TServiceProgram p(L"test_service.exe", L"execute");
    p.SetModule(1, L"UseExecute", L"1");
    ASSERT_TRUE(InstallAndStart(p));
    EXPECT_TRUE(p.WaitEvidence("Svc1 execute"));
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_PAUSE));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_PAUSED));
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_CONTINUE));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_STOP));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_STOPPED));
    EXPECT_TRUE(p.WaitEvidence("Svc1 execute done"));
}

TEST(ServiceControl, TwoModulesOfOneProgramRunAndStopIndependently) {
    TServiceProgram p(L"test_service.exe", L"two");
    p.SetModules(2);
    ASSERT_TRUE(InstallAndStart(p, 2));
    // Wine starts share-process services in processes of their own.
    EXPECT_TRUE(p.WaitEvidence("Svc1 start"));
    EXPECT_TRUE(p.WaitEvidence("Svc2 start"));
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(1), SERVICE_CONTROL_STOP));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(1), SERVICE_STOPPED));
    Sleep(200);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), TScm::Query(p.ServiceName(2)).dwCurrentState);
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(2), SERVICE_CONTROL_PAUSE));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(2), SERVICE_PAUSED));
}

TEST(ServiceControl, DispatcherOnTheMainThreadAndServiceSynchronizer) {
    TServiceProgram p(L"test_service.exe", L"unthreaded");
    p.Set(L"Program", L"Threaded", L"0");
    p.SetModule(1, L"UseSynchronizer", L"1");
    ASSERT_TRUE(InstallAndStart(p));
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_PAUSE));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_PAUSED));
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_STOP));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_STOPPED));
    EXPECT_TRUE(p.WaitEvidence("process end"));
}

TEST(ServiceControl, SurvivesTenThousandMixedRequests) {
    TServiceProgram p(L"test_service.exe", L"stress");
    p.SetModule(1, L"SuspendOnPause", L"1");
    ASSERT_TRUE(InstallAndStart(p));
    const auto& name = p.ServiceName();
    ASSERT_EQ(0u, TScm::Control(name, 200)); // memory baseline, taken in the service
    ASSERT_TRUE(p.WaitEvidence("Svc1 baseline"));

    TOpenService service(name);
    std::mt19937 rng(20261208);
    int pauses = 0, continues = 0, customs = 1, interrogates = 0, refused = 0;
    for (int i = 0; i < 10000; ++i) {
        DWORD code;
        switch (rng() % 4) {
        case 0:
            code = SERVICE_CONTROL_PAUSE;
            break;
        case 1:
            code = SERVICE_CONTROL_CONTINUE;
            break;
        case 2:
            code = SERVICE_CONTROL_INTERROGATE;
            break;
        default:
            code = 128 + rng() % 64;
        }
        DWORD err = service.Control(code);
        if (err != 0) {
            ++refused;
            continue;
        }
        if (code == SERVICE_CONTROL_PAUSE) ++pauses;
        else if (code == SERVICE_CONTROL_CONTINUE) ++continues;
        else if (code == SERVICE_CONTROL_INTERROGATE) ++interrogates;
        else ++customs;
    }
    ASSERT_EQ(0u, TScm::Control(name, SERVICE_CONTROL_CONTINUE));
    ++continues;
    ASSERT_TRUE(TScm::WaitState(name, SERVICE_RUNNING, 30000));
    ASSERT_EQ(0u, TScm::Control(name, SERVICE_CONTROL_STOP));
    ASSERT_TRUE(TScm::WaitState(name, SERVICE_STOPPED, 30000));
    ASSERT_TRUE(p.WaitEvidence("Svc1 stop"));
    std::string line;
    for (const auto& l : p.EvidenceLines())
        if (l.find("Svc1 stop") != std::string::npos) line = l;
    // Every request the manager accepted was processed...
    EXPECT_EQ(pauses, FieldOf(line, "pauses")) << line << " refused=" << refused;
    EXPECT_EQ(continues, FieldOf(line, "continues")) << line;
    EXPECT_EQ(customs, FieldOf(line, "customs")) << line;
    // ...every request record but the stop being served is freed...
    EXPECT_EQ(1, FieldOf(line, "requests-alive")) << line;
    // ...and the service's committed private memory grew by less than 1 MiB.
    EXPECT_LT(FieldOf(line, "memory-growth"), 1 << 20) << line;
    EXPECT_GT(interrogates, 1000);
}
