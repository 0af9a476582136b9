#include "runtime/sessions/Tamrel_Timer.h"
#include "runtime/sessions/internal/Tamrel_TimerInternal.h"

#include "host/ExtCtrls.h"
#include "host/HiddenWindow.h"
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_NTService.h"

namespace tamrel {

TrkTimer::TrkTimer(TComponent* AOwner)
    : TComponent(AOwner), FWindow(this, TWndMethod::Of<&TrkTimer::WndProc>(this), [this] { UpdateTimer(); }, true) {
    // A timer on a service gets its window on the service thread at each start: a window made
    // here would never carry a timer.
    if (!detail::RunningInsideIde() && !ComponentState().Contains(csDesigning) && !dynamic_cast<TNtService*>(AOwner))
        FWindow.AllocateHere();
}

TrkTimer::~TrkTimer() {
    FWindow.Detach();
    FEnabled = false;
    UpdateTimer();
    FWindow.Drop();
}

bool TrkTimer::CountsAsStarted() const { return !dynamic_cast<TNtService*>(Owner()) || FWindow.Started(); }

TTimerHooks& TimerHooks() {
    static TTimerHooks hooks;
    return hooks;
}

void TrkTimer::UpdateTimer() {
    HWND wnd = FWindow.LiveHandle();
    if (!wnd) return;
    const bool wanted = FEnabled.load() && CountsAsStarted() && OnTimer();
    if (TimerHooks().Arming) TimerHooks().Arming(wnd);
    try {
        ArmWindowTimer(wnd, FInterval.load(), wanted);
    } catch (const EOutOfResources&) {
        // A setter on another thread races the service's stop, which takes the window away:
        // that is a stopped timer, not a shortage of timers.
        if (IsWindow(wnd)) throw;
    }
}

void TrkTimer::SetEnabled(bool Value) {
    if (FEnabled.exchange(Value) == Value) return;
    UpdateTimer();
}

void TrkTimer::SetInterval(uint32_t Value) {
    if (FInterval.exchange(Value) == Value) return;
    UpdateTimer();
}

TNotifyEvent TrkTimer::OnTimer() const {
    std::lock_guard<std::mutex> hold(FEventLock);
    return FOnTimer;
}

void TrkTimer::SetOnTimer(TNotifyEvent Value) {
    {
        std::lock_guard<std::mutex> hold(FEventLock);
        FOnTimer = Value;
    }
    UpdateTimer();
}

void TrkTimer::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    FWindow.Notification(AComponent, Operation);
}

void TrkTimer::WndProc(TMessage& Message) {
    HWND wnd = FWindow.Handle();
    switch (Message.Msg) {
    case WM_TIMER:
        if (TNotifyEvent handler = OnTimer()) handler(this);
        return;
    case WM_NCDESTROY:
        // The window went with its thread: a service that ended without a stop.
        FWindow.WindowDestroyed(wnd);
        break;
    }
    CallDefWindowProc(wnd, Message);
}

TAMREL_IMPLEMENT_CLASS(TrkTimer) {
    b.Boolean(L"Enabled", &TrkTimer::Enabled, &TrkTimer::SetEnabled, true);
    b.Cardinal(L"Interval", &TrkTimer::Interval, &TrkTimer::SetInterval, 1000);
    b.Event(L"OnTimer", &TrkTimer::OnTimer, &TrkTimer::SetOnTimer);
}

} // namespace tamrel
