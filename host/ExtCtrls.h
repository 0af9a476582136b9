// TTimer: a window timer of the host framework. It ticks on the thread that made it, through a
// hidden window of its own, while it is enabled, has a non-zero interval and a handler.
#pragma once

#include "host/Classes.h"
#include "host/Messages.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace tamrel {

inline constexpr wchar_t SNoTimers[] = L"Not enough timers available";

// Timer 1 of a window: killed, then set with Interval when Wanted and Interval is not 0. A
// failing SetTimer raises EOutOfResources (SNoTimers).
TAMREL_API void ArmWindowTimer(HWND Wnd, uint32_t Interval, bool Wanted);

class TAMREL_API TTimer : public TComponent {
    TAMREL_CLASS(TTimer, TComponent)
public:
    // Makes the timer's window on the calling thread (raises EOSError when it cannot).
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    // Published. Each change re-arms the timer; SetTimer failing raises EOutOfResources
    // (SNoTimers). Enabled and Interval may be set from another thread: the timer calls act on
    // the window of the thread that made the timer.
    bool Enabled() const { return FEnabled.load(); }
    void SetEnabled(bool Value);
    uint32_t Interval() const { return FInterval.load(); }
    void SetInterval(uint32_t Value);
    TNotifyEvent OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent Value);

protected:
    // Calls OnTimer; an exception goes to the host application's handler (through the hidden
    // window), never out of the window procedure.
    virtual void Timer();

private:
    void UpdateTimer();
    void WndProc(TMessage& Message);

    HWND FWindowHandle = nullptr;
    std::atomic<bool> FEnabled{true};
    std::atomic<uint32_t> FInterval{1000};
    TNotifyEvent FOnTimer;
};

} // namespace tamrel
