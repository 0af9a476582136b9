#include "host/ExtCtrls.h"

#include "host/HiddenWindow.h"
#include "host/SysUtils.h"

namespace tamrel {

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    FWindowHandle = AllocateHWnd(TWndMethod::Of<&TTimer::WndProc>(this));
}

TTimer::~TTimer() {
    FEnabled = false;
    UpdateTimer();
    DeallocateHWnd(FWindowHandle);
}

void ArmWindowTimer(HWND Wnd, uint32_t Interval, bool Wanted) {
    KillTimer(Wnd, 1);
    if (Wanted && Interval != 0 && SetTimer(Wnd, 1, Interval, nullptr) == 0) throw EOutOfResources(SNoTimers);
}

void TTimer::UpdateTimer() { ArmWindowTimer(FWindowHandle, FInterval.load(), FEnabled.load() && FOnTimer); }

void TTimer::SetEnabled(bool Value) {
    if (FEnabled.exchange(Value) == Value) return;
    UpdateTimer();
}

void TTimer::SetInterval(uint32_t Value) {
    if (FInterval.exchange(Value) == Value) return;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
    FOnTimer = Value;
    UpdateTimer();
}

void TTimer::Timer() {
    if (FOnTimer) FOnTimer(this);
}

void TTimer::WndProc(TMessage& Message) {
    if (Message.Msg == WM_TIMER) {
        Timer();
        return;
    }
    CallDefWindowProc(FWindowHandle, Message);
}

TAMREL_IMPLEMENT_CLASS(TTimer) {
    b.Boolean(L"Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true);
    b.Cardinal(L"Interval", &TTimer::Interval, &TTimer::SetInterval, 1000);
    b.Event(L"OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
}

} // namespace tamrel
