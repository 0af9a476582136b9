// The power-event and network-binding handler components on a running module: each control
// reaches its event, on the service thread, and what maps to no event calls nothing.
#include "runtime/service/Tamrel_NetBindEvents.h"
#include "runtime/service/Tamrel_PowerEvents.h"
#include "tests/runtime/service/ServiceRunSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A module whose handler components record which event ran on which thread.
class THandlerModule : public TNtService {
    TAMREL_CLASS(THandlerModule, TNtService)
public:
    using TNtService::TNtService;

    struct TCall {
        std::wstring Event;
        DWORD Thread;
        TObject* Sender;
    };
    std::vector<TCall> Calls() {
        std::lock_guard<std::mutex> l(FLock);
        return FCalls;
    }
    // Waits for Count calls.
    bool WaitCalls(size_t count) {
        for (int i = 0; i < 500; ++i) {
            if (Calls().size() >= count) return true;
            Sleep(10);
        }
        return false;
    }

    template <const wchar_t* Name> void Record(TObject* sender) {
        std::lock_guard<std::mutex> l(FLock);
        FCalls.push_back({Name, GetCurrentThreadId(), sender});
    }

private:
    std::mutex FLock;
    std::vector<TCall> FCalls;
};
TAMREL_IMPLEMENT_CLASS(THandlerModule) {}

constexpr wchar_t kQuerySuspend[] = L"QuerySuspend", kQuerySuspendFailed[] = L"QuerySuspendFailed",
                  kSuspend[] = L"Suspend", kResumeCritical[] = L"ResumeCritical", kResumeSuspend[] = L"ResumeSuspend",
                  kBatteryLow[] = L"BatteryLow", kPowerStatusChange[] = L"PowerStatusChange", kOemEvent[] = L"OemEvent",
                  kResumeAutomatic[] = L"ResumeAutomatic", kPowerSettingChange[] = L"PowerSettingChange",
                  kAdd[] = L"NetBindAdd", kRemove[] = L"NetBindRemove", kEnable[] = L"NetBindEnable",
                  kDisable[] = L"NetBindDisable";

struct HandlerEventsRun : ::testing::Test {
    TStatusLog log;
    TServiceSlots slots{&log};
    THandlerModule* module = Create<THandlerModule>(nullptr);
    TRkPowerEventHandler* power = nullptr;
    TRkNetBindEventHandler* netBind = nullptr;
    TServiceRun run{module};

    void SetUp() override {
        module->SetName(L"HandlerProbe");
        power = Create<TRkPowerEventHandler>(module);
        power->SetOnQuerySuspend(MakeMethod<&THandlerModule::Record<kQuerySuspend>>(module));
        power->SetOnQuerySuspendFailed(MakeMethod<&THandlerModule::Record<kQuerySuspendFailed>>(module));
        power->SetOnSuspend(MakeMethod<&THandlerModule::Record<kSuspend>>(module));
        power->SetOnResumeCritical(MakeMethod<&THandlerModule::Record<kResumeCritical>>(module));
        power->SetOnResumeSuspend(MakeMethod<&THandlerModule::Record<kResumeSuspend>>(module));
        power->SetOnBatteryLow(MakeMethod<&THandlerModule::Record<kBatteryLow>>(module));
        power->SetOnPowerStatusChange(MakeMethod<&THandlerModule::Record<kPowerStatusChange>>(module));
        power->SetOnOemEvent(MakeMethod<&THandlerModule::Record<kOemEvent>>(module));
        power->SetOnResumeAutomatic(MakeMethod<&THandlerModule::Record<kResumeAutomatic>>(module));
        power->SetOnPowerSettingChange(MakeMethod<&THandlerModule::Record<kPowerSettingChange>>(module));
        netBind = Create<TRkNetBindEventHandler>(module);
        netBind->SetOnNetBindAdd(MakeMethod<&THandlerModule::Record<kAdd>>(module));
        netBind->SetOnNetBindRemove(MakeMethod<&THandlerModule::Record<kRemove>>(module));
        netBind->SetOnNetBindEnable(MakeMethod<&THandlerModule::Record<kEnable>>(module));
        netBind->SetOnNetBindDisable(MakeMethod<&THandlerModule::Record<kDisable>>(module));
        run.Start();
        ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    }
    void TearDown() override {
        run.StopAndJoin();
        Free(module);
    }
};

} // namespace

TEST_F(HandlerEventsRun, EachPowerEventTypeCallsItsEventOnTheServiceThread) {
    const struct {
        DWORD Type;
        const wchar_t* Event; // nullptr: no event
    } cases[] = {{PBT_APMQUERYSUSPEND, kQuerySuspend}, {1, nullptr},
                 {PBT_APMQUERYSUSPENDFAILED, kQuerySuspendFailed}, {PBT_APMSUSPEND, kSuspend},
                 {PBT_APMRESUMECRITICAL, kResumeCritical}, {PBT_APMRESUMESUSPEND, kResumeSuspend},
                 {PBT_APMBATTERYLOW, kBatteryLow}, {PBT_APMPOWERSTATUSCHANGE, kPowerStatusChange},
                 {PBT_APMOEMEVENT, kOemEvent}, {PBT_APMRESUMEAUTOMATIC, kResumeAutomatic},
                 {0x8004, nullptr}, {PBT_POWERSETTINGCHANGE, kPowerSettingChange}};
    std::vector<std::wstring> expected;
    for (const auto& c : cases) {
        module->Controller(SERVICE_CONTROL_POWEREVENT, c.Type, nullptr);
        if (c.Event) expected.push_back(c.Event);
    }
    ASSERT_TRUE(module->WaitCalls(expected.size()));
    const DWORD serviceThread = module->ThreadID();
    std::vector<std::wstring> events;
    for (const auto& call : module->Calls()) {
        events.push_back(call.Event);
        EXPECT_EQ(serviceThread, call.Thread) << ToUtf8(call.Event);
        EXPECT_EQ(static_cast<TObject*>(power), call.Sender);
    }
    EXPECT_EQ(expected, events);
}

TEST_F(HandlerEventsRun, EachNetworkBindingCodeCallsItsEventOnTheServiceThread) {
    for (DWORD code : {SERVICE_CONTROL_NETBINDADD, SERVICE_CONTROL_NETBINDREMOVE, SERVICE_CONTROL_NETBINDENABLE,
                       SERVICE_CONTROL_NETBINDDISABLE})
        module->Controller(code, 0, nullptr);
    ASSERT_TRUE(module->WaitCalls(4));
    const std::vector<std::wstring> expected = {kAdd, kRemove, kEnable, kDisable};
    std::vector<std::wstring> events;
    for (const auto& call : module->Calls()) {
        events.push_back(call.Event);
        EXPECT_EQ(module->ThreadID(), call.Thread);
        EXPECT_EQ(static_cast<TObject*>(netBind), call.Sender);
    }
    EXPECT_EQ(expected, events);
}
