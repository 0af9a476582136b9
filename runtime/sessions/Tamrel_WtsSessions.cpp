#include "runtime/sessions/Tamrel_WtsSessions.h"
#include "runtime/sessions/internal/Tamrel_WtsSessionsInternal.h"

#include "host/Handles.h"
#include "host/Registry.h"
#include "host/SysUtils.h"
#include "runtime/service/base/Tamrel_WinVer.h"

namespace tamrel {

namespace {

constexpr wchar_t WinlogonKey[] = L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

void CloseStation(HWINSTA h) { CloseWindowStation(h); }
using TWindowStationHandle = TUniqueHandle<HWINSTA, CloseStation>;
void FreeWtsMemory(void* p) { WTSFreeMemory(p); }
using TWtsMemory = TUniqueHandle<void*, FreeWtsMemory>;

std::vector<TWtsSessionRecord> EnumerateSystemSessions() {
    PWTS_SESSION_INFOW info = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &info, &count)) RaiseLastOSError();
    TWtsMemory owner(info);
    std::vector<TWtsSessionRecord> sessions;
    for (DWORD i = 0; i < count; ++i)
        sessions.push_back({info[i].SessionId, info[i].pWinStationName ? info[i].pWinStationName : L"", info[i].State});
    return sessions;
}

bool SystemStationUserSid(std::wstring& SidText) {
    SidText.clear();
    TWindowStationHandle station(OpenWindowStationW(L"WinSta0", FALSE, MAXIMUM_ALLOWED));
    if (!station) return false;
    DWORD needed = 0;
    if (GetUserObjectInformationW(station.Get(), UOI_USER_SID, nullptr, 0, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return true; // nobody is logged on there
    std::vector<BYTE> sid(needed);
    if (!GetUserObjectInformationW(station.Get(), UOI_USER_SID, sid.data(), needed, &needed)) return false;
    for (BYTE b : sid) SidText += IntToHex(b, 2);
    return true;
}

} // namespace

TWtsSessionSource SystemWtsSessionSource() { return {EnumerateSystemSessions, SystemStationUserSid}; }

TWtsSessionSource& WtsSessionSource() {
    static TWtsSessionSource source = SystemWtsSessionSource();
    return source;
}

bool AllowMultipleTSSessions() {
    TRegistry registry(KEY_READ);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKeyReadOnly(WinlogonKey)) return false;
    return registry.GetDataType(L"AllowMultipleTSSessions") == rdInteger &&
           registry.ReadInteger(L"AllowMultipleTSSessions") == 1;
}

// ---------------------------------------------------------------------------------------------
// TrkWtsSessions

TrkWtsSessions::TrkWtsSessions(TComponent* AOwner) : TComponent(AOwner) {
    if (!ComponentState().Contains(csDesigning)) UpdateSessions();
}

// The session objects go with the list.
TrkWtsSessions::~TrkWtsSessions() = default;

void TrkWtsSessions::Release() noexcept {
    if (FLockCount > 0) --FLockCount;
}

void TrkWtsSessions::Unlock() {
    Release();
    if (FUpdateDeferred) UpdateSessions();
}

void TrkWtsSessions::UpdateSessions() {
    if (FLockCount > 0) {
        FUpdateDeferred = true;
        return;
    }
    FUpdateDeferred = false;
    if (IsWinXP()) TerminalServicesUpdate();
    else WindowStationUpdate();
}

void TrkWtsSessions::CheckLocked() const {
    if (FLockCount == 0) throw Exception(SSessionsNotLocked);
}

int TrkWtsSessions::SessionCount() const {
    CheckLocked();
    return static_cast<int>(FSessions.size());
}

TrkWtsSessionInfo* TrkWtsSessions::Sessions(int Index) const {
    CheckLocked();
    if (Index < 0 || Index >= static_cast<int>(FSessions.size())) throw EListError(SListIndexError, Index);
    return FSessions[static_cast<size_t>(Index)].get();
}

TrkWtsSessionInfo* TrkWtsSessions::SessionsById(uint32_t SessionId) const {
    CheckLocked();
    return Find(SessionId);
}

TrkWtsSessionInfo* TrkWtsSessions::Find(uint32_t SessionId) const {
    for (const auto& s : FSessions)
        if (s->SessionId == SessionId) return s.get();
    return nullptr;
}

void TrkWtsSessions::Fire(const TrkWtsSessionEvent& Event, TrkWtsSessionInfo* Session) {
    if (Event) Event(this, Session);
}

void TrkWtsSessions::WhileLocked(const std::function<void()>& Body) {
    Lock();
    {
        // Leaving on an exception gives the counter back and nothing more: an update that a
        // handler asked for would run inside this guard's destructor, where a failure of its own
        // ends the program. It stays due for the next Unlock or UpdateSessions.
        TScopeExit release([this] { Release(); });
        Body();
        release.Dismiss();
    }
    Unlock(); // runs a deferred update, whose failure reaches our caller
}

void TrkWtsSessions::TerminalServicesUpdate() {
    // A failing enumeration raises before anything changes.
    std::vector<TWtsSessionRecord> found = WtsSessionSource().Enumerate();
    WhileLocked([&] {
        bool multiple = AllowMultipleTSSessions();
        for (auto& s : FSessions) s->Exists = false;
        for (const TWtsSessionRecord& record : found) {
            TrkWtsSessionInfo* session = Find(record.SessionId);
            bool isNew = !session;
            if (isNew) {
                FSessions.push_back(std::make_unique<TrkWtsSessionInfo>());
                session = FSessions.back().get();
            }
            session->Exists = true;
            session->SessionId = record.SessionId;
            session->WinStaName = record.WinStationName;
            session->OldState = session->State;
            session->State = record.State;
            if (record.SessionId != 0 || multiple) {
                if (isNew) Fire(FSessionAfterAdd, session);
                else if (session->OldState != session->State) Fire(FSessionStateChanged, session);
            } else {
                // Session 0 of a machine without terminal-server sessions: who is logged on to the
                // interactive station decides.
                WindowStationUpdate();
            }
        }
        // The list is locked: an update asked for by a handler waits, so the indexes hold.
        for (size_t i = FSessions.size(); i-- > 0;) {
            if (FSessions[i]->Exists) continue;
            Fire(FSessionBeforeDelete, FSessions[i].get());
            FSessions.erase(FSessions.begin() + static_cast<std::ptrdiff_t>(i));
        }
    });
}

void TrkWtsSessions::WindowStationUpdate() {
    WhileLocked([this] {
        TrkWtsSessionInfo* session = Find(0);
        bool isNew = !session;
        if (isNew) {
            FSessions.push_back(std::make_unique<TrkWtsSessionInfo>());
            session = FSessions.back().get();
            session->SessionId = 0;
            session->WinStaName = L"WinSta0";
        }
        session->Exists = true;
        session->OldState = session->State;
        std::wstring sid;
        if (!WtsSessionSource().StationUserSid(sid)) return;
        session->State = sid.empty() ? WTSDisconnected : WTSActive;
        session->OldState = sid.empty() ? WTSActive : WTSDisconnected;
        if (sid == FLastLogonSid) return;
        FLastLogonSid = sid;
        Fire(isNew ? FSessionAfterAdd : FSessionStateChanged, session);
    });
}

TAMREL_IMPLEMENT_CLASS(TrkWtsSessions) {
    b.Event(L"SessionAfterAdd", &TrkWtsSessions::SessionAfterAdd, &TrkWtsSessions::SetSessionAfterAdd);
    b.Event(L"SessionBeforeDelete", &TrkWtsSessions::SessionBeforeDelete, &TrkWtsSessions::SetSessionBeforeDelete);
    b.Event(L"SessionStateChanged", &TrkWtsSessions::SessionStateChanged, &TrkWtsSessions::SetSessionStateChanged);
}

} // namespace tamrel
