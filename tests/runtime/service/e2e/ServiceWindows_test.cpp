// The windows of a service process: made when something needs them, never up front. The first
// window of a process is what its start would otherwise pay for. The test service reports the
// library's hidden windows of its process on request (custom code 202).
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {

::testing::AssertionResult InstallAndStart(TServiceProgram& p) {
    auto r = p.Run(L"/install");
    if (r.ExitCode != 0) return ::testing::AssertionFailure() << "install: " << r.Err;
    if (DWORD err = TScm::Start(p.ServiceName()); err != 0)
        return ::testing::AssertionFailure() << "start: error " << err;
    if (!TScm::WaitState(p.ServiceName(), SERVICE_RUNNING))
        return ::testing::AssertionFailure() << "state " << TScm::Query(p.ServiceName()).dwCurrentState;
    return ::testing::AssertionSuccess();
}

void StopAndUninstall(TServiceProgram& p) {
    EXPECT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_STOP));
    EXPECT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_STOPPED));
    EXPECT_TRUE(p.WaitEvidence("process end"));
    EXPECT_EQ(0u, p.Run(L"/uninstall").ExitCode);
}

} // namespace

TEST(ServiceWindows, NoneUntilAModuleSynchronizesThenOnlyTheSynchronizersOnTheMainThread) {
    TServiceProgram p(L"test_service.exe", L"nowindow");
    p.Set(L"Program", L"Messages", L"0");
    ASSERT_TRUE(InstallAndStart(p));
    const auto& name = p.ServiceName();
    EXPECT_EQ(0u, TScm::Control(name, 202));
    EXPECT_TRUE(p.WaitEvidence("Svc1 windows=0"));
    // The first Synchronize from the service thread has the main thread make the window.
    EXPECT_EQ(0u, TScm::Control(name, 203));
    EXPECT_TRUE(p.WaitEvidence("Svc1 synchronized main=1"));
    // Requests are served in turn: the second call has returned when the windows are counted.
    EXPECT_EQ(0u, TScm::Control(name, 203));
    EXPECT_EQ(0u, TScm::Control(name, 202));
    EXPECT_TRUE(p.WaitEvidence("Svc1 windows=1"));
    EXPECT_EQ(2, p.CountEvidence("Svc1 synchronized main=1"));
    // No main window: nothing is there to hand messages on.
    EXPECT_EQ(0u, TScm::Control(name, 204));
    EXPECT_TRUE(p.WaitEvidence("Svc1 no main window"));
    StopAndUninstall(p);
}

TEST(ServiceWindows, AModuleWithMessageMethodsGetsTheMainWindowAndItsMessages) {
    TServiceProgram p(L"test_service.exe", L"mainwindow");
    ASSERT_TRUE(InstallAndStart(p));
    const auto& name = p.ServiceName();
    EXPECT_EQ(0u, TScm::Control(name, 202));
    EXPECT_TRUE(p.WaitEvidence("Svc1 windows=1"));
    // A message to the main window reaches the running module's message method.
    EXPECT_EQ(0u, TScm::Control(name, 204));
    EXPECT_TRUE(p.WaitEvidence("Svc1 posted to the main window"));
    EXPECT_TRUE(p.WaitEvidence("Svc1 message 9"));
    StopAndUninstall(p);
}
