// The exports that stand in for the manager's configuration calls: an in-memory record of what
// was asked, logged, answered like the real functions.
#include "ServiceTable.h"
#include "StatusLog.h"
#include "Text.h"
#include "runtime/service/Tamrel_DebugInterface.h"

#include <type_traits>

namespace tamreldbg {

namespace {

// The records of the extended configuration in both forms.
template <class Description, class FailureActions, class QuoteText>
std::string ConfigText(DWORD level, const void* info, QuoteText quote) {
    if (!info) return " info=nil";
    switch (level) {
    case SERVICE_CONFIG_DESCRIPTION:
        return " description=" + quote(static_cast<const Description*>(info)->lpDescription);
    case SERVICE_CONFIG_FAILURE_ACTIONS: {
        const auto* f = static_cast<const FailureActions*>(info);
        std::string actions;
        if (f->lpsaActions) {
            for (DWORD i = 0; i < f->cActions; ++i) {
                if (i) actions += ",";
                actions += Dec(f->lpsaActions[i].Type) + ":" + Dec(f->lpsaActions[i].Delay);
            }
        } else {
            actions = "nil";
        }
        return " resetperiod=" + Dec(f->dwResetPeriod) + " rebootmsg=" + quote(f->lpRebootMsg) +
               " command=" + quote(f->lpCommand) + " actions=" + actions;
    }
    case SERVICE_CONFIG_DELAYED_AUTO_START_INFO:
        return " delayedautostart=" +
               Dec(static_cast<const SERVICE_DELAYED_AUTO_START_INFO*>(info)->fDelayedAutostart ? 1 : 0);
    case SERVICE_CONFIG_FAILURE_ACTIONS_FLAG:
        return " failureactionsflag=" +
               Dec(static_cast<const SERVICE_FAILURE_ACTIONS_FLAG*>(info)->fFailureActionsOnNonCrashFailures ? 1
                                                                                                              : 0);
    case SERVICE_CONFIG_PRESHUTDOWN_INFO:
        return " preshutdowntimeout=" + Dec(static_cast<const SERVICE_PRESHUTDOWN_INFO*>(info)->dwPreshutdownTimeout);
    default:
        return {};
    }
}

bool KnownConfigLevel(DWORD level) {
    return level >= SERVICE_CONFIG_DESCRIPTION && level <= SERVICE_CONFIG_PREFERRED_NODE;
}

BOOL ChangeConfig2(SC_HANDLE h, DWORD level, LPVOID info, bool wide) {
    std::string record;
    DWORD error = 0;
    {
        TLocked lock;
        TScObject* o = FindObject(h);
        record = "changeserviceconfig2 " + (o ? Utf8(o->Name) : std::string("?")) + " form=" + (wide ? "W" : "A") +
                 " level=" + Dec(level);
        if (!o || o->Kind != TScObject::okService)
            error = ERROR_INVALID_HANDLE;
        else if (!KnownConfigLevel(level))
            error = ERROR_INVALID_LEVEL;
    }
    if (error) {
        RefuseCall(record + " handle=" + Ptr(h), error);
        return FALSE;
    }
    record += wide ? ConfigText<SERVICE_DESCRIPTIONW, SERVICE_FAILURE_ACTIONSW>(level, info, QuoteW)
                   : ConfigText<SERVICE_DESCRIPTIONA, SERVICE_FAILURE_ACTIONSA>(level, info, QuoteA);
    Outcome(record + " result=ok");
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// Under the lock: a new handle of the manager calls.
SC_HANDLE NewObject(TScObject::TKind kind, const std::wstring& name) {
    auto o = std::make_unique<TScObject>();
    o->Kind = kind;
    o->Name = name;
    auto h = reinterpret_cast<SC_HANDLE>(o.get());
    State().Objects.push_back(std::move(o));
    return h;
}

bool ValidServiceName(LPCWSTR name) {
    return name && *name && !wcschr(name, L'\\') && !wcschr(name, L'/');
}

} // namespace

} // namespace tamreldbg

using namespace tamreldbg;

extern "C" {

SC_HANDLE WINAPI DebugOpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    const std::string record = "openscmanager machine=" + QuoteW(lpMachineName) +
                               " database=" + QuoteW(lpDatabaseName) + " access=" + Hex(dwDesiredAccess);
    if (lpDatabaseName && _wcsicmp(lpDatabaseName, SERVICES_ACTIVE_DATABASEW) != 0) {
        RefuseCall(record, ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    SC_HANDLE h;
    {
        TLocked lock;
        h = NewObject(TScObject::okManager, L"");
    }
    Outcome(record + " handle=" + Ptr(h) + " result=ok");
    SetLastError(ERROR_SUCCESS);
    return h;
}

SC_HANDLE WINAPI DebugCreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                     DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                     DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                     LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                     LPCWSTR lpPassword) {
    std::string record = "createservice " + (lpServiceName ? Utf8(lpServiceName) : std::string("nil")) +
                         " display=" + QuoteW(lpDisplayName) + " access=" + Hex(dwDesiredAccess) +
                         " type=" + Hex(dwServiceType) + " start=" + Dec(dwStartType) +
                         " errorcontrol=" + Dec(dwErrorControl) + " path=" + QuoteW(lpBinaryPathName) +
                         " group=" + QuoteW(lpLoadOrderGroup);
    const bool hasGroup = lpLoadOrderGroup && *lpLoadOrderGroup;
    DWORD error = 0;
    SC_HANDLE h = nullptr;
    DWORD tag = 0;
    {
        TLocked lock;
        TScObject* manager = FindObject(hSCManager);
        if (!manager || manager->Kind != TScObject::okManager)
            error = ERROR_INVALID_HANDLE;
        else if (!ValidServiceName(lpServiceName))
            error = ERROR_INVALID_NAME;
        else if (!lpBinaryPathName || !*lpBinaryPathName || (lpdwTagId && !hasGroup))
            error = ERROR_INVALID_PARAMETER;
        else if (State().Records.count(Lower(lpServiceName)))
            error = ERROR_SERVICE_EXISTS;
        else {
            if (lpdwTagId) tag = State().NextTag++;
            State().Records[Lower(lpServiceName)] = lpServiceName;
            h = NewObject(TScObject::okService, lpServiceName);
        }
    }
    record += " tag=" + Dec(tag) + " dependencies=" + JoinMultiSz(lpDependencies) +
              " account=" + QuoteW(lpServiceStartName) + " password=" + (lpPassword && *lpPassword ? "yes" : "no");
    if (error) {
        RefuseCall(record, error);
        return nullptr;
    }
    if (lpdwTagId) *lpdwTagId = tag;
    Outcome(record + " handle=" + Ptr(h) + " result=ok");
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL WINAPI DebugChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    return ChangeConfig2(hService, dwInfoLevel, lpInfo, true);
}

// The ANSI records (SERVICE_DESCRIPTIONA, SERVICE_FAILURE_ACTIONSA).
BOOL WINAPI DebugChangeServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    return ChangeConfig2(hService, dwInfoLevel, lpInfo, false);
}

BOOL WINAPI DebugCloseServiceHandle(SC_HANDLE hSCObject) {
    std::string record = "closeservicehandle handle=" + Ptr(hSCObject);
    {
        TLocked lock;
        auto& objects = State().Objects;
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            if (reinterpret_cast<SC_HANDLE>(it->get()) != hSCObject) continue;
            record += std::string(" kind=") + ((*it)->Kind == TScObject::okManager ? "manager" : "service");
            if ((*it)->Kind == TScObject::okService) record += " name=" + Utf8((*it)->Name);
            objects.erase(it);
            LogLine(record + " result=ok");
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
    }
    RefuseCall(record, ERROR_INVALID_HANDLE);
    return FALSE;
}

} // extern "C"

static_assert(std::is_same_v<decltype(&DebugOpenSCManagerW), tamrel::TOpenSCManagerProc>);
static_assert(std::is_same_v<decltype(&DebugCreateServiceW), tamrel::TCreateServiceProc>);
static_assert(std::is_same_v<decltype(&DebugChangeServiceConfig2W), tamrel::TChangeServiceConfig2Proc>);
static_assert(std::is_same_v<decltype(&DebugChangeServiceConfig2), tamrel::TChangeServiceConfig2Proc>);
static_assert(std::is_same_v<decltype(&DebugCloseServiceHandle), tamrel::TCloseServiceHandleProc>);
