// TrkTimer: a window-message timer that can live on a service module. On a TNtService it ticks
// on the service thread, only while the service is started: the start queue gives it a window
// made on the service thread, the stop queue takes that window away. On any other owner it is a
// plain timer on the creating thread.
#pragma once

#include "host/Classes.h"
#include "host/Messages.h"
#include "runtime/sessions/Tamrel_ServiceWindow.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tamrel {

class TAMREL_API TrkTimer : public TComponent {
    TAMREL_CLASS(TrkTimer, TComponent)
public:
    explicit TrkTimer(TComponent* AOwner);
    ~TrkTimer() override;

    // Published. Each change re-arms the timer; a failing SetTimer raises EOutOfResources
    // (SNoTimers). While the service runs, the setters may be called from any thread: they act
    // on the service thread's window (one that a stop takes away meanwhile leaves the timer
    // stopped, and raises nothing).
    bool Enabled() const { return FEnabled.load(); }
    void SetEnabled(bool Value);
    uint32_t Interval() const { return FInterval.load(); }
    void SetInterval(uint32_t Value);
    // Exceptions of the handler go to the host application's exception handler.
    TNotifyEvent OnTimer() const;
    void SetOnTimer(TNotifyEvent Value);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool CountsAsStarted() const;
    void UpdateTimer();
    void WndProc(TMessage& Message);

    std::atomic<bool> FEnabled{true};
    std::atomic<uint32_t> FInterval{1000};
    // The handler is set on one thread and called on the service thread.
    mutable std::mutex FEventLock;
    TNotifyEvent FOnTimer;
    TServiceWindow FWindow;
};

} // namespace tamrel
