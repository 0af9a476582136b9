#include "host/ExtCtrls.h"
#include "host/HostApplication.h"

#include <gtest/gtest.h>

#include <set>

using namespace tamrel;

namespace {

BOOL CALLBACK CollectWindow(HWND wnd, LPARAM p) {
    reinterpret_cast<std::set<HWND>*>(p)->insert(wnd);
    return TRUE;
}

std::set<HWND> ThreadWindows() {
    std::set<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The one window of this thread that is not in Before.
HWND NewWindow(const std::set<HWND>& before) {
    HWND found = nullptr;
    for (HWND w : ThreadWindows())
        if (!before.count(w)) {
            EXPECT_EQ(nullptr, found) << "more than one new window";
            found = w;
        }
    return found;
}

// A timer is set on the window exactly when KillTimer finds one; it is set again afterwards.
bool HasTimer(HWND wnd, UINT interval) {
    if (!KillTimer(wnd, 1)) return false;
    SetTimer(wnd, 1, interval, nullptr);
    return true;
}

struct TTicks {
    int Count = 0;
    DWORD Thread = 0;
    bool Throw = false;
    void Tick(TObject*) {
        ++Count;
        Thread = GetCurrentThreadId();
        if (Throw) throw Exception(L"tick failed");
    }
};

void PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < timeoutMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }
}

} // namespace

TEST(HostTimer, TicksOnItsThreadOnlyWithIntervalEnabledAndHandler) {
    auto before = ThreadWindows();
    TOwnedPtr<TTimer> timer(Create<TTimer>(nullptr));
    HWND wnd = NewWindow(before);
    ASSERT_NE(nullptr, wnd);
    EXPECT_FALSE(HasTimer(wnd, 1000)); // no handler yet
    TTicks ticks;
    timer->SetInterval(20);
    timer->SetOnTimer(TNotifyEvent::Of<&TTicks::Tick>(&ticks));
    EXPECT_TRUE(HasTimer(wnd, 20));
    PumpUntil([&] { return ticks.Count >= 3; });
    EXPECT_GE(ticks.Count, 3);
    EXPECT_EQ(GetCurrentThreadId(), ticks.Thread);

    timer->SetInterval(0);
    EXPECT_FALSE(HasTimer(wnd, 0));
    timer->SetInterval(20);
    timer->SetEnabled(false);
    EXPECT_FALSE(HasTimer(wnd, 20));
    timer->SetEnabled(true);
    timer->SetOnTimer(nullptr);
    EXPECT_FALSE(HasTimer(wnd, 20));

    timer.reset();
    EXPECT_FALSE(IsWindow(wnd));
}

TEST(HostTimer, HandlerExceptionGoesToTheApplication) {
    struct TSeen {
        std::wstring Message;
        void OnException(TObject*, Exception& e) { Message = e.Message(); }
    } seen;
    TExceptionEvent saved = HostApplication->OnException();
    HostApplication->SetOnException(TExceptionEvent::Of<&TSeen::OnException>(&seen));
    TOwnedPtr<TTimer> timer(Create<TTimer>(nullptr));
    TTicks ticks;
    ticks.Throw = true;
    timer->SetInterval(10);
    timer->SetOnTimer(TNotifyEvent::Of<&TTicks::Tick>(&ticks));
    PumpUntil([&] { return ticks.Count >= 2; });
    HostApplication->SetOnException(saved);
    EXPECT_GE(ticks.Count, 2); // the timer lives on after a failing tick
    EXPECT_EQ(L"tick failed", seen.Message);
}
