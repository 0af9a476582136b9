// The network-binding and power-event handler components on a module: which controls reach
// which event, and on which thread. Network-binding codes go through Wine's real manager; Wine's
// manager refuses power events (code 13), so those go through the debug library, which calls the
// module's extended handler with the event type.
#include "tests/support/DebugRunSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {

// The thread=N of the first evidence line that contains Text ("" when none).
std::string ThreadOf(const TServiceProgram& p, const std::string& text) {
    for (const auto& line : p.EvidenceLines())
        if (Contains(line, text)) return Field(line, "thread");
    return {};
}

} // namespace

TEST(HandlerEvents, NetworkBindingCodesFromTheManagerReachTheirEventsOnTheServiceThread) {
    TServiceProgram p(L"test_service.exe", L"netbind");
    p.SetModule(1, L"NetBind", L"1");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    const struct {
        DWORD Code;
        const char* Event;
    } cases[] = {{SERVICE_CONTROL_NETBINDADD, "netbind add"},
                 {SERVICE_CONTROL_NETBINDREMOVE, "netbind remove"},
                 {SERVICE_CONTROL_NETBINDENABLE, "netbind enable"},
                 {SERVICE_CONTROL_NETBINDDISABLE, "netbind disable"}};
    for (const auto& c : cases) {
        EXPECT_EQ(0u, TScm::Control(p.ServiceName(), c.Code)) << c.Event;
        EXPECT_TRUE(p.WaitEvidence(std::string("Svc1 ") + c.Event)) << c.Event;
    }
    const std::string serviceThread = ThreadOf(p, "Svc1 start");
    ASSERT_FALSE(serviceThread.empty());
    for (const auto& c : cases) EXPECT_EQ(serviceThread, ThreadOf(p, c.Event)) << c.Event;
    EXPECT_EQ(1, p.CountEvidence("Svc1 netbind add"));
}

TEST(HandlerEvents, ModuleWithoutNetworkBindingHandlerRefusesTheCodes) {
    TServiceProgram p(L"test_service.exe", L"nonetbind");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL),
              TScm::Control(p.ServiceName(), SERVICE_CONTROL_NETBINDADD));
}

TEST(HandlerEvents, PowerEventsReachTheirEventsOnTheServiceThreadThroughTheDebugLibrary) {
    TServiceProgram p(L"test_service.exe", L"power");
    p.SetModule(1, L"Power", L"1");
    TDebugSession run(L"\"" + p.Exe() + L"\" /debug");
    ASSERT_TRUE(run.Connect());
    const std::string n = ToUtf8(p.ServiceName());
    ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("power " + n + " 4"), "eventtype=4 source=pipe result=accepted"));
    EXPECT_TRUE(Contains(run.Send("power " + n + " 0x12"), "eventtype=18 source=pipe result=accepted"));
    EXPECT_TRUE(p.WaitEvidence("Svc1 power suspend"));
    EXPECT_TRUE(p.WaitEvidence("Svc1 power resumeautomatic"));
    run.Send("stop " + n);
    run.Finish();
    const std::string serviceThread = ThreadOf(p, "Svc1 start");
    ASSERT_FALSE(serviceThread.empty());
    EXPECT_EQ(serviceThread, ThreadOf(p, "power suspend"));
    EXPECT_EQ(serviceThread, ThreadOf(p, "power resumeautomatic"));
    // The power component accepts power events for the module.
    auto statuses = LinesWith(run.Log(), "status " + n + " state=RUNNING");
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ("0x4F", Field(statuses.front(), "accepted"));
}

TEST(HandlerEvents, ModuleWithoutPowerHandlerDoesNotAcceptPowerEvents) {
    TServiceProgram p(L"test_service.exe", L"nopower");
    TDebugSession run(L"\"" + p.Exe() + L"\" /debug");
    ASSERT_TRUE(run.Connect());
    const std::string n = ToUtf8(p.ServiceName());
    ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("power " + n + " 4"), "result=refused error=1052"));
    run.Send("stop " + n);
    run.Finish();
}
