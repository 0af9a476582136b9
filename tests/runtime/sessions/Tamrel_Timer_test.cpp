#include "runtime/sessions/Tamrel_Timer.h"
#include "runtime/sessions/internal/Tamrel_TimerInternal.h"
#include "tests/runtime/sessions/SessionsTestSupport.h"

#include "host/ExtCtrls.h"
#include "runtime/service/Tamrel_NTService.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TTicks {
    std::atomic<int> Count{0};
    std::atomic<DWORD> Thread{0};
    void Tick(TObject*) {
        ++Count;
        Thread = GetCurrentThreadId();
    }
};

void RunQueue(TrkEventList* queue, TObject* sender) {
    for (int i = 0; i < queue->Count(); ++i) queue->CallItem(i, sender);
}

// Plays the service thread of a module: runs the start queue, serves messages until told to
// stop, then runs the stop queue (or, with Shutdown, just ends, as a shut-down service does).
class TServiceThread {
public:
    explicit TServiceThread(TNtService& module) : FModule(module) {
        FThread = std::thread([this] {
            FId = GetCurrentThreadId();
            RunQueue(FModule.OnStartQueue(), &FModule);
            FStarted = true;
            while (!FStop) PumpUntil([this] { return FStop.load(); }, 50);
            if (!FShutdown) RunQueue(FModule.OnStopQueue(), &FModule);
        });
        while (!FStarted) Sleep(1);
    }
    ~TServiceThread() { End(false); }
    void End(bool shutdown) {
        if (!FThread.joinable()) return;
        FShutdown = shutdown;
        FStop = true;
        FThread.join();
    }
    DWORD Id() const { return FId; }

private:
    TNtService& FModule;
    std::thread FThread;
    std::atomic<DWORD> FId{0};
    std::atomic<bool> FStarted{false}, FStop{false}, FShutdown{false};
};

using TModulePtr = TOwnedPtr<TNtService>;

// A timer of 20 ms on the module that counts its ticks.
TrkTimer* TickingTimer(TNtService& module, TTicks& ticks) {
    auto* timer = Create<TrkTimer>(&module);
    timer->SetInterval(20);
    timer->SetOnTimer(TNotifyEvent::Of<&TTicks::Tick>(&ticks));
    return timer;
}

HWND OnlyWindow(DWORD threadId) {
    auto windows = ThreadWindows(threadId);
    return windows.size() == 1 ? *windows.begin() : nullptr;
}

const auto* const gDesktopFirst = ::testing::AddGlobalTestEnvironment(new TDesktopFirst);

} // namespace

TEST(Timer, PlainTimerTicksOnItsThreadOnlyWithIntervalAndHandler) {
    auto before = ThreadWindows();
    TOwnedPtr<TrkTimer> timer(Create<TrkTimer>(nullptr));
    auto after = ThreadWindows();
    ASSERT_EQ(before.size() + 1, after.size());
    HWND wnd = nullptr;
    for (HWND w : after)
        if (!before.count(w)) wnd = w;
    EXPECT_FALSE(HasTimer(wnd, 1000)); // no handler
    TTicks ticks;
    timer->SetOnTimer(TNotifyEvent::Of<&TTicks::Tick>(&ticks));
    timer->SetInterval(20);
    EXPECT_TRUE(HasTimer(wnd, 20));
    EXPECT_TRUE(PumpUntil([&] { return ticks.Count >= 3; }));
    EXPECT_EQ(GetCurrentThreadId(), ticks.Thread.load());
    timer->SetInterval(0);
    EXPECT_FALSE(HasTimer(wnd, 0));
    timer.reset();
    EXPECT_FALSE(IsWindow(wnd));
}

TEST(Timer, OnAServiceItTicksOnlyOnTheServiceThreadBetweenStartAndStop) {
    TModulePtr module(Create<TNtService>(nullptr));
    auto before = ThreadWindows();
    TTicks ticks;
    TrkTimer* timer = TickingTimer(*module, ticks);
    EXPECT_EQ(before, ThreadWindows()); // no window on the creating thread
    EXPECT_EQ(1, module->OnStartQueue()->Count());
    EXPECT_EQ(1, module->OnStopQueue()->Count());

    TServiceThread service(*module);
    HWND wnd = OnlyWindow(service.Id());
    ASSERT_NE(nullptr, wnd);
    EXPECT_TRUE(PumpUntil([&] { return ticks.Count >= 3; }));
    EXPECT_EQ(service.Id(), ticks.Thread.load());

    // Setters on this thread act on the service thread's window.
    timer->SetEnabled(false);
    EXPECT_FALSE(HasTimer(wnd, 20));
    timer->SetEnabled(true);
    EXPECT_TRUE(HasTimer(wnd, 20));

    service.End(false);
    EXPECT_TRUE(ThreadWindows(service.Id()).empty());
    EXPECT_FALSE(IsWindow(wnd)); // the stop took the window away
}

TEST(Timer, FreedWhileTheServiceRunsLeavesNeitherQueueEntryNorWindow) {
    TModulePtr module(Create<TNtService>(nullptr));
    TTicks ticks;
    TrkTimer* timer = TickingTimer(*module, ticks);
    TServiceThread service(*module);
    HWND wnd = OnlyWindow(service.Id());
    ASSERT_NE(nullptr, wnd);
    Free(timer);
    EXPECT_EQ(0, module->OnStartQueue()->Count());
    EXPECT_EQ(0, module->OnStopQueue()->Count());
    // The service thread destroys its window when it next serves its queue.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(wnd); }));
    EXPECT_TRUE(ThreadWindows().empty() || !ThreadWindows().count(wnd));
}

TEST(Timer, ServiceThreadEndingWithoutAStopLeavesNoDeadWindowBehind) {
    TModulePtr module(Create<TNtService>(nullptr));
    TTicks ticks;
    TrkTimer* timer = TickingTimer(*module, ticks);
    TServiceThread service(*module);
    EXPECT_TRUE(PumpUntil([&] { return ticks.Count >= 1; }));
    service.End(true); // a shutdown: no stop queue; the window goes with the thread
    // A setter must not try to arm a timer on the dead window.
    EXPECT_NO_THROW(timer->SetInterval(30));
    EXPECT_NO_THROW(timer->SetEnabled(false));
}

TEST(Timer, SetterRacingTheServiceStopFindsAStoppedTimer) {
    // The setter on this thread has found the service thread's window alive; the service stops
    // (and takes the window away) before the timer is armed on it.
    TModulePtr module(Create<TNtService>(nullptr));
    TTicks ticks;
    TrkTimer* timer = TickingTimer(*module, ticks);
    TServiceThread service(*module);
    const DWORD self = GetCurrentThreadId();
    bool stopped = false;
    TimerHooks().Arming = [&](HWND) {
        if (GetCurrentThreadId() != self || stopped) return;
        stopped = true;
        service.End(false);
    };
    TScopeExit clear([] { TimerHooks() = {}; });
    EXPECT_NO_THROW(timer->SetInterval(30));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(30u, timer->Interval());
}

TEST(Timer, DetachedFromARunningServiceItTicksOnTheCallersThreadAgain) {
    TModulePtr module(Create<TNtService>(nullptr));
    TTicks ticks;
    TrkTimer* timer = TickingTimer(*module, ticks);
    TServiceThread service(*module);
    HWND serviceWindow = OnlyWindow(service.Id());
    ASSERT_NE(nullptr, serviceWindow);
    TOwnedPtr<TComponent> other(Create<TComponent>(nullptr));
    other->InsertComponent(timer); // the service is no longer its owner
    EXPECT_EQ(0, module->OnStartQueue()->Count());
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(serviceWindow); }));
    ticks.Count = 0;
    EXPECT_TRUE(PumpUntil([&] { return ticks.Count >= 2; }));
    EXPECT_EQ(GetCurrentThreadId(), ticks.Thread.load());
}

TEST(Timer, InsideTheIdeNoWindowIsMade) {
    std::wstring bds = BinDir() + L"BDS.EXE";
    ASSERT_TRUE(CopyFileW((BinDir() + L"sessions_probe.exe").c_str(), bds.c_str(), FALSE));
    TScopeExit remove([&] { DeleteFileW(bds.c_str()); });
    auto inside = RunProcess(L"\"" + bds + L"\" windows");
    EXPECT_EQ("windows=0", SplitLines(inside.Out).front()) << inside.Err;
    auto outside = RunProcess(ProgramPath(L"sessions_probe.exe") + L" windows");
    EXPECT_EQ("windows=1", SplitLines(outside.Out).front()) << outside.Err;
}
