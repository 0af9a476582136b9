// Service programs built on the library, run by Wine's real service manager.
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel::test;


TEST(ServiceLifecycle, InstallsStartsPausesContinuesStopsAndUninstallsFromItsCommandLine) {
    TServiceProgram p(L"test_service.exe", L"life");
    const std::wstring name = p.ServiceName();
    auto r = p.Run(L"/install");
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    ASSERT_TRUE(TScm::Exists(name)) << r.Err;

    r = p.Run(L"/start:" + name);
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    ASSERT_TRUE(TScm::WaitState(name, SERVICE_RUNNING)) << TScm::Query(name).dwCurrentState;
    EXPECT_TRUE(p.WaitEvidence("Svc1 start"));

    r = p.Run(L"/pause:" + name);
    EXPECT_TRUE(TScm::WaitState(name, SERVICE_PAUSED)) << r.Err;
    r = p.Run(L"/continue:" + name);
    EXPECT_TRUE(TScm::WaitState(name, SERVICE_RUNNING)) << r.Err;
    r = p.Run(L"/stop:" + name);
    EXPECT_TRUE(TScm::WaitState(name, SERVICE_STOPPED)) << r.Err;
    EXPECT_TRUE(p.WaitEvidence("Svc1 stop pauses=1 continues=1"));

    r = p.Run(L"/uninstall");
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_TRUE(TScm::WaitGone(name));
}
