// The logon sessions of the machine: which appeared, which disappeared and which changed state
// since the last update. Updates run only when UpdateSessions is called (at creation, and by the
// application).
#pragma once

#include "host/Classes.h"

#include <windows.h>
#include <wtsapi32.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tamrel {

class TrkWtsSessionInfo : public TObject {
public:
    bool Exists = false; // found by the last update
    uint32_t SessionId = 0;
    std::wstring WinStaName;
    WTS_CONNECTSTATE_CLASS State = WTSActive;
    WTS_CONNECTSTATE_CLASS OldState = WTSActive; // the state before the last update
};

using TrkWtsSessionEvent = TMethod<void(TObject* Sender, TrkWtsSessionInfo* Session)>;

inline constexpr wchar_t SSessionsNotLocked[] = L"Call TrkWtsSessions.Lock first to lock sessions list";

// True when the Winlogon key of HKEY_LOCAL_MACHINE holds "AllowMultipleTSSessions" = 1.
TAMREL_API bool AllowMultipleTSSessions();

class TAMREL_API TrkWtsSessions : public TComponent {
    TAMREL_CLASS(TrkWtsSessions, TComponent)
public:
    // Updates once, unless the component is being designed.
    explicit TrkWtsSessions(TComponent* AOwner);
    ~TrkWtsSessions() override;

    // Published events; they run on the thread that called UpdateSessions or Unlock.
    TrkWtsSessionEvent SessionAfterAdd() const { return FSessionAfterAdd; }
    void SetSessionAfterAdd(TrkWtsSessionEvent E) { FSessionAfterAdd = E; }
    TrkWtsSessionEvent SessionBeforeDelete() const { return FSessionBeforeDelete; }
    void SetSessionBeforeDelete(TrkWtsSessionEvent E) { FSessionBeforeDelete = E; }
    TrkWtsSessionEvent SessionStateChanged() const { return FSessionStateChanged; }
    void SetSessionStateChanged(TrkWtsSessionEvent E) { FSessionStateChanged = E; }

    // The counter defers updates while readers hold it; it locks no thread. Unlock never goes
    // below 0 and runs an update that was deferred.
    void Lock() { ++FLockCount; }
    void Unlock();
    // Deferred while locked. Raises the OS error when the sessions cannot be enumerated, before
    // anything changes.
    void UpdateSessions();

    // Each raises SSessionsNotLocked while the list is not locked.
    int SessionCount() const;
    TrkWtsSessionInfo* Sessions(int Index) const;
    // Nil when the session is not listed.
    TrkWtsSessionInfo* SessionsById(uint32_t SessionId) const;

    // The user SID of "WinSta0" as hexadecimal text; empty while nobody is logged on there.
    const std::wstring& LogonSid() const { return FLastLogonSid; }

private:
    void CheckLocked() const;
    // Gives the counter back without running a deferred update.
    void Release() noexcept;
    TrkWtsSessionInfo* Find(uint32_t SessionId) const;
    void TerminalServicesUpdate();
    void WindowStationUpdate();
    // Runs Body with the list locked; a deferred update runs after it, outside any destructor.
    void WhileLocked(const std::function<void()>& Body);
    void Fire(const TrkWtsSessionEvent& Event, TrkWtsSessionInfo* Session);

    std::vector<std::unique_ptr<TrkWtsSessionInfo>> FSessions;
    int FLockCount = 0;
    bool FUpdateDeferred = false;
    std::wstring FLastLogonSid;
    TrkWtsSessionEvent FSessionAfterAdd;
    TrkWtsSessionEvent FSessionBeforeDelete;
    TrkWtsSessionEvent FSessionStateChanged;
};

} // namespace tamrel
