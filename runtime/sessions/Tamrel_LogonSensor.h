// Logon sensing: whether an interactive user is logged on, judged by whether the configured
// shell process runs. One process-wide sensor thread polls for it (every 5 s while somebody is
// logged on, every second while not) and posts the change to every thread that subscribed a
// method; each such thread has a hidden window that calls that thread's methods. While no
// method is subscribed (every sensor freed) the thread sleeps and polls nothing.
//
// The sensor thread starts with the first subscription and ends with the program (an exit
// procedure stops it). The first change it sees is always a logon: nobody logged on at the start
// fires nothing.
#pragma once

#include "host/Classes.h"
#include "host/Messages.h"
#include "runtime/sessions/Tamrel_ServiceWindow.h"

namespace tamrel {

// Messages of the subscription windows and of the sensor component's window.
inline constexpr UINT WM_RK_LOGON = WM_USER + 1;
inline constexpr UINT WM_RK_LOGOFF = WM_USER + 2;

// Subscribe Event for the calling thread (once per method and kind); it runs on this thread,
// with Sender nil, whenever the sensor sees a logon / logoff. An unassigned method is ignored.
// The thread must serve its message queue.
TAMREL_API void AddOnLogonEvent(TNotifyEvent Event);
TAMREL_API void AddOnLogoffEvent(TNotifyEvent Event);
// Removes the method from every thread's subscription.
TAMREL_API void RemoveOnLogonEvent(TNotifyEvent Event);
TAMREL_API void RemoveOnLogoffEvent(TNotifyEvent Event);

// True when a process of the configured shell runs (the Winlogon "Shell" value, found through the
// search path). Raises when the Winlogon key cannot be opened or the shell cannot be found; a
// process list that cannot be taken answers False.
TAMREL_API bool IsLoggedOn();

inline constexpr wchar_t SCantOpenRegistryKey[] = L"Tamrel_LogonSensor: can't open registry key \"%s\"";

class TAMREL_API TrkLogonSensor : public TComponent {
    TAMREL_CLASS(TrkLogonSensor, TComponent)
public:
    explicit TrkLogonSensor(TComponent* AOwner);
    ~TrkLogonSensor() override;
    void AfterConstruction() override;

    // Published. On a service module they run on the service thread between its start and stop
    // (before the first start on the thread that made the sensor; after a stop they are lost
    // until the next start). Exceptions go to the host application's exception handler.
    TNotifyEvent OnLogon() const { return FOnLogon; }
    void SetOnLogon(TNotifyEvent E) { FOnLogon = E; }
    TNotifyEvent OnLogoff() const { return FOnLogoff; }
    void SetOnLogoff(TNotifyEvent E) { FOnLogoff = E; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void NotifyOnLogon(TObject* Sender);
    void NotifyOnLogoff(TObject* Sender);
    void WndProc(TMessage& Message);

    TNotifyEvent FOnLogon;
    TNotifyEvent FOnLogoff;
    TServiceWindow FWindow;
};

} // namespace tamrel
