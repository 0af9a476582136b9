#include "runtime/service/Tamrel_WinSvc.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Switch finder
// ---------------------------------------------------------------------------------------------

bool TamrelFindParameter(const std::wstring& Name, std::wstring& Value) {
    Value.clear();
    const int count = ParamCount();
    for (int i = 1; i <= count; ++i) {
        const std::wstring arg = ParamStr(i);
        if (arg.empty() || (arg[0] != L'-' && arg[0] != L'/')) continue;
        const std::wstring_view rest = std::wstring_view(arg).substr(1);
        if (rest.size() < Name.size()) continue;
        if (AnsiCompareText(rest.substr(0, Name.size()), Name) != 0) continue;
        const std::wstring_view tail = rest.substr(Name.size());
        if (tail.empty()) return true;
        if (tail[0] == L':' || tail[0] == L'=') {
            Value.assign(tail.substr(1));
            return true;
        }
    }
    return false;
}

bool TamrelFindCommand(const std::wstring& Name) {
    std::wstring value;
    return TamrelFindParameter(Name, value);
}

// ---------------------------------------------------------------------------------------------
// Unit state
// ---------------------------------------------------------------------------------------------

TRkSlots RkSlots;
TRkDebugExports RkDebugExports;

namespace {

// GetProcAddress answers a generic function pointer; void(*)() converts to any other function
// pointer type without a cast-function-type warning.
template <class F> F ProcCast(FARPROC p) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

// The loader's flags and lock are constant-initialised and never destroyed, so a wrapper that a
// late thread calls during process exit still finds them.
SRWLOCK GLoaderLock = SRWLOCK_INIT;
std::atomic<bool> GLoaderRan{false};  // set before the work: a failure is not retried
std::atomic<bool> GLoaderDone{false}; // set after it: callers that arrive meanwhile wait for it
std::atomic<HMODULE> GDebugLibrary{nullptr};

// Library handles owned for the life of the process. Members are destroyed in reverse order: the
// advapi32 reference goes first, the debug library last.
class TWinSvcUnit {
public:
    TWinSvcUnit() : FAdvApi(LoadLibraryW(L"AdvApi32.DLL")) {
        if (FAdvApi) {
            FBound.ChangeServiceConfig2W =
                ProcCast<TChangeServiceConfig2Proc>(GetProcAddress(FAdvApi.Get(), "ChangeServiceConfig2W"));
            FBound.RegisterServiceCtrlHandlerExW = ProcCast<TRegisterServiceCtrlHandlerExProc>(
                GetProcAddress(FAdvApi.Get(), "RegisterServiceCtrlHandlerExW"));
        }
    }
    ~TWinSvcUnit() {
        // Slots into a library about to be released must not be called any more.
        if (FDebugLibrary) {
            RkSlots = TRkSlots{};
            RkDebugExports = TRkDebugExports{};
            GDebugLibrary = nullptr;
        }
    }
    TWinSvcUnit(const TWinSvcUnit&) = delete;
    TWinSvcUnit& operator=(const TWinSvcUnit&) = delete;

    TRkAdvApi& Bound() { return FBound; }
    void AdoptDebugLibrary(HMODULE h) {
        FDebugLibrary.Reset(h);
        GDebugLibrary = h;
    }

private:
    TModuleHandle FDebugLibrary;
    TModuleHandle FAdvApi;
    TRkAdvApi FBound;
};

TWinSvcUnit& Unit() {
    static TWinSvcUnit unit;
    return unit;
}

template <class F> void Bind(F& slot, FARPROC p) {
    slot = ProcCast<F>(p);
}

// One entry per export, in binding order; the slot is filled as soon as the export is found.
struct TExportBinding {
    const char* Name;
    bool Optional;
    void (*Assign)(FARPROC);
    void* (*Read)();
};

#define TAMREL_BIND(NAME, OPTIONAL, SLOT)                                                                    \
    TExportBinding {                                                                                         \
        NAME, OPTIONAL, [](FARPROC p) { Bind(SLOT, p); },                                                    \
            []() -> void* { return reinterpret_cast<void*>(SLOT); }                                          \
    }

const TExportBinding GBindings[] = {
    TAMREL_BIND("DebugRegisterServiceCtrlHandlerW", false, RkSlots.RkRegisterServiceCtrlHandler),
    TAMREL_BIND("DebugSetServiceStatus", false, RkSlots.RkSetServiceStatus),
    TAMREL_BIND("DebugStartServiceCtrlDispatcherW", false, RkSlots.RkStartServiceCtrlDispatcher),
    TAMREL_BIND("DebugCreateServiceW", false, RkSlots.RkCreateService),
    TAMREL_BIND("DebugOpenSCManagerW", false, RkSlots.RkOpenSCManager),
    TAMREL_BIND("DebugChangeServiceConfig2W", false, RkSlots.RkChangeServiceConfig2),
    TAMREL_BIND("DebugChangeServiceConfig2", true, RkSlots.RkChangeServiceConfig2A),
    TAMREL_BIND("DebugCloseServiceHandle", false, RkSlots.RkCloseServiceHandle),
    TAMREL_BIND("SendCheckpoint", false, RkDebugExports.SendCheckpointA),
    TAMREL_BIND("SendCheckpointW", false, RkDebugExports.SendCheckpointW),
    TAMREL_BIND("SendClearToCheckpoint", false, RkDebugExports.SendClearToCheckpoint),
    TAMREL_BIND("SendClearAll", false, RkDebugExports.SendClearAll),
    TAMREL_BIND("SendValue", false, RkDebugExports.SendValueA),
    TAMREL_BIND("SendValueW", false, RkDebugExports.SendValueW),
    TAMREL_BIND("SendMethodEnter", false, RkDebugExports.SendMethodEnterA),
    TAMREL_BIND("SendMethodEnterW", false, RkDebugExports.SendMethodEnterW),
    TAMREL_BIND("SendMethodLeave", false, RkDebugExports.SendMethodLeaveA),
    TAMREL_BIND("SendMethodLeaveW", false, RkDebugExports.SendMethodLeaveW),
    TAMREL_BIND("SendMessage", false, RkDebugExports.SendMessageA),
    TAMREL_BIND("SendMessageW", false, RkDebugExports.SendMessageW),
    TAMREL_BIND("DebugRegisterServiceCtrlHandlerExW", true, RkSlots.RkRegisterServiceCtrlHandlerEx),
};
#undef TAMREL_BIND

static_assert(sizeof(GBindings) / sizeof(GBindings[0]) == RkDebugExportCount);

void LoadDebugLibrary() {
    // Configuring always talks to the real manager.
    if (!TamrelFindCommand(L"debug")) return;
    if (TamrelFindCommand(L"install") || TamrelFindCommand(L"uninstall") || TamrelFindCommand(L"reinstall"))
        return;

    HMODULE library = LoadLibraryW(RkDebugLibraryName);
    if (!library) RaiseLastOSError();
    Unit().AdoptDebugLibrary(library);
    for (const TExportBinding& binding : GBindings) {
        FARPROC p = GetProcAddress(library, binding.Name);
        if (!p) {
            if (binding.Optional) continue;
            throw Exception(std::wstring(L"Error loading tamreldbg library"));
        }
        binding.Assign(p);
    }
}

} // namespace

void RkLoadDebugLibrary() {
    if (GLoaderDone.load(std::memory_order_acquire)) return;
    AcquireSRWLockExclusive(&GLoaderLock);
    TScopeExit unlock([] { ReleaseSRWLockExclusive(&GLoaderLock); });
    if (GLoaderRan.load(std::memory_order_relaxed)) return;
    GLoaderRan = true;
    TScopeExit done([] { GLoaderDone.store(true, std::memory_order_release); });
    LoadDebugLibrary();
}

bool RkDebugLoaderRan() {
    return GLoaderRan.load();
}

HMODULE RkDebugLibraryHandle() {
    return GDebugLibrary.load();
}

bool RkDebugHandlerExAvailable() {
    return RkDebugLibraryLoaded() && RkSlots.RkRegisterServiceCtrlHandlerEx;
}

void* RkBoundDebugExport(int Index) {
    if (Index < 0 || Index >= RkDebugExportCount) return nullptr;
    return GBindings[Index].Read();
}

// ---------------------------------------------------------------------------------------------
// advapi32 functions bound at run time
// ---------------------------------------------------------------------------------------------

TRkAdvApi& RkAdvApi() {
    return Unit().Bound();
}

BOOL WINAPI ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    TChangeServiceConfig2Proc bound = RkAdvApi().ChangeServiceConfig2W;
    if (!bound) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return bound(hService, dwInfoLevel, lpInfo);
}

SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName,
                                                           LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                           LPVOID lpContext) {
    TRegisterServiceCtrlHandlerExProc bound = RkAdvApi().RegisterServiceCtrlHandlerExW;
    if (!bound) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    return bound(lpServiceName, lpHandlerProc, lpContext);
}

// ---------------------------------------------------------------------------------------------
// ANSI adapters
// ---------------------------------------------------------------------------------------------

namespace {

// Records that carry no text and therefore look the same in both forms.
bool IsTextFreeLevel(DWORD level) {
    switch (level) {
    case SERVICE_CONFIG_DELAYED_AUTO_START_INFO:
    case SERVICE_CONFIG_FAILURE_ACTIONS_FLAG:
    case SERVICE_CONFIG_SERVICE_SID_INFO:
    case SERVICE_CONFIG_PRESHUTDOWN_INFO:
    case SERVICE_CONFIG_PREFERRED_NODE:
        return true;
    default:
        return false;
    }
}

// nil stays nil: the optional holds the converted text only when there was one.
struct TOptionalWide {
    bool Present = false;
    std::wstring Text;
    LPWSTR Get() { return Present ? Text.data() : nullptr; }
};

TOptionalWide WideOf(const char* text) {
    TOptionalWide r;
    if (text) {
        r.Present = true;
        r.Text = AnsiToWide(text);
    }
    return r;
}

// The ANSI form of a wide text with its terminating NUL; false when it has none.
bool AnsiOf(const wchar_t* text, std::string& out) {
    out.clear();
    if (!text) return true;
    if (!*text) {
        out.push_back('\0');
        return true;
    }
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out.resize(static_cast<size_t>(n));
    return WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr) == n;
}

} // namespace

BOOL WINAPI ChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    BOOL ok;
    DWORD error;
    if (dwInfoLevel == SERVICE_CONFIG_DESCRIPTION && lpInfo) {
        const auto* a = static_cast<const SERVICE_DESCRIPTIONA*>(lpInfo);
        TOptionalWide description = WideOf(a->lpDescription);
        SERVICE_DESCRIPTIONW w{description.Get()};
        ok = tamrel::ChangeServiceConfig2W(hService, dwInfoLevel, &w);
        error = GetLastError();
    } else if (dwInfoLevel == SERVICE_CONFIG_FAILURE_ACTIONS && lpInfo) {
        const auto* a = static_cast<const SERVICE_FAILURE_ACTIONSA*>(lpInfo);
        TOptionalWide reboot = WideOf(a->lpRebootMsg);
        TOptionalWide command = WideOf(a->lpCommand);
        SERVICE_FAILURE_ACTIONSW w{};
        w.dwResetPeriod = a->dwResetPeriod;
        w.lpRebootMsg = reboot.Get();
        w.lpCommand = command.Get();
        w.cActions = a->cActions;
        w.lpsaActions = a->lpsaActions;
        ok = tamrel::ChangeServiceConfig2W(hService, dwInfoLevel, &w);
        error = GetLastError();
    } else if (IsTextFreeLevel(dwInfoLevel)) {
        ok = tamrel::ChangeServiceConfig2W(hService, dwInfoLevel, lpInfo);
        error = GetLastError();
    } else {
        ok = tamrel::ChangeServiceConfig2W(hService, dwInfoLevel, nullptr);
        error = GetLastError();
    }
    SetLastError(error);
    return ok;
}

DWORD ServiceConfig2ToAnsi(DWORD InfoLevel, const void* WideRecord, DWORD WideSize, LPBYTE Buffer,
                           DWORD BufSize, DWORD& Needed) {
    Needed = 0;
    if (!Buffer) BufSize = 0;
    if (InfoLevel == SERVICE_CONFIG_DESCRIPTION) {
        const auto& w = *static_cast<const SERVICE_DESCRIPTIONW*>(WideRecord);
        std::string text;
        if (!AnsiOf(w.lpDescription, text)) return ERROR_INVALID_DATA;
        const uint64_t needed = sizeof(SERVICE_DESCRIPTIONA) + text.size();
        if (needed > MAXDWORD) return ERROR_INVALID_DATA;
        Needed = static_cast<DWORD>(needed);
        if (BufSize < Needed) return ERROR_INSUFFICIENT_BUFFER;
        auto* a = reinterpret_cast<SERVICE_DESCRIPTIONA*>(Buffer);
        char* textAt = reinterpret_cast<char*>(Buffer + sizeof(SERVICE_DESCRIPTIONA));
        if (w.lpDescription) std::memcpy(textAt, text.data(), text.size());
        a->lpDescription = w.lpDescription ? textAt : nullptr;
        return ERROR_SUCCESS;
    }
    if (InfoLevel == SERVICE_CONFIG_FAILURE_ACTIONS) {
        const auto& w = *static_cast<const SERVICE_FAILURE_ACTIONSW*>(WideRecord);
        std::string command, reboot;
        if (!AnsiOf(w.lpCommand, command) || !AnsiOf(w.lpRebootMsg, reboot)) return ERROR_INVALID_DATA;
        // The action array goes right behind the record, wherever the wide answer had it.
        const uint64_t actionBytes = w.lpsaActions ? uint64_t{sizeof(SC_ACTION)} * w.cActions : 0;
        const uint64_t needed =
            sizeof(SERVICE_FAILURE_ACTIONSA) + actionBytes + command.size() + reboot.size();
        if (needed > MAXDWORD) return ERROR_INVALID_DATA;
        Needed = static_cast<DWORD>(needed);
        if (BufSize < Needed) return ERROR_INSUFFICIENT_BUFFER;
        LPBYTE actionsAt = Buffer + sizeof(SERVICE_FAILURE_ACTIONSA);
        char* commandAt = reinterpret_cast<char*>(actionsAt + actionBytes);
        char* rebootAt = commandAt + command.size();
        if (actionBytes) std::memcpy(actionsAt, w.lpsaActions, static_cast<size_t>(actionBytes));
        if (!command.empty()) std::memcpy(commandAt, command.data(), command.size());
        if (!reboot.empty()) std::memcpy(rebootAt, reboot.data(), reboot.size());
        SERVICE_FAILURE_ACTIONSA a{};
        a.dwResetPeriod = w.dwResetPeriod;
        a.cActions = w.cActions;
        a.lpsaActions = w.lpsaActions ? reinterpret_cast<SC_ACTION*>(actionsAt) : nullptr;
        a.lpCommand = w.lpCommand ? commandAt : nullptr;
        a.lpRebootMsg = w.lpRebootMsg ? rebootAt : nullptr;
        std::memcpy(Buffer, &a, sizeof a);
        return ERROR_SUCCESS;
    }
    if (IsTextFreeLevel(InfoLevel)) {
        Needed = WideSize;
        if (BufSize < Needed) return ERROR_INSUFFICIENT_BUFFER;
        std::memcpy(Buffer, WideRecord, WideSize);
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_LEVEL;
}

BOOL WINAPI QueryServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded) {
    DWORD localNeeded = 0;
    DWORD& needed = pcbBytesNeeded ? *pcbBytesNeeded : localNeeded;
    DWORD wideSize = 0;
    BOOL ok = ::QueryServiceConfig2W(hService, dwInfoLevel, nullptr, 0, &wideSize);
    DWORD error = GetLastError();
    if (ok || error != ERROR_INSUFFICIENT_BUFFER) {
        needed = wideSize;
        SetLastError(error);
        return ok;
    }
    // 8-byte units keep the wide records aligned.
    std::unique_ptr<uint64_t[]> wide(new (std::nothrow) uint64_t[(wideSize + 7) / 8]);
    if (!wide) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    ok = ::QueryServiceConfig2W(hService, dwInfoLevel, reinterpret_cast<LPBYTE>(wide.get()), wideSize,
                                &wideSize);
    error = GetLastError();
    if (!ok) {
        SetLastError(error);
        return FALSE;
    }
    error = ServiceConfig2ToAnsi(dwInfoLevel, wide.get(), wideSize, lpBuffer, cbBufSize, needed);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Wrappers
// ---------------------------------------------------------------------------------------------

SC_HANDLE WINAPI RkOpenSCManager(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (auto slot = RkSlots.RkOpenSCManager) return slot(lpMachineName, lpDatabaseName, dwDesiredAccess);
    return ::OpenSCManagerW(lpMachineName, lpDatabaseName, dwDesiredAccess);
}

SC_HANDLE WINAPI RkCreateService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                 DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                 DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                 LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                 LPCWSTR lpPassword) {
    if (auto slot = RkSlots.RkCreateService)
        return slot(hSCManager, lpServiceName, lpDisplayName, dwDesiredAccess, dwServiceType, dwStartType,
                    dwErrorControl, lpBinaryPathName, lpLoadOrderGroup, lpdwTagId, lpDependencies,
                    lpServiceStartName, lpPassword);
    return ::CreateServiceW(hSCManager, lpServiceName, lpDisplayName, dwDesiredAccess, dwServiceType,
                            dwStartType, dwErrorControl, lpBinaryPathName, lpLoadOrderGroup, lpdwTagId,
                            lpDependencies, lpServiceStartName, lpPassword);
}

BOOL WINAPI RkCloseServiceHandle(SC_HANDLE hSCObject) {
    if (auto slot = RkSlots.RkCloseServiceHandle) return slot(hSCObject);
    return ::CloseServiceHandle(hSCObject);
}

BOOL WINAPI RkChangeServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    if (auto slot = RkSlots.RkChangeServiceConfig2) return slot(hService, dwInfoLevel, lpInfo);
    return tamrel::ChangeServiceConfig2W(hService, dwInfoLevel, lpInfo);
}

BOOL WINAPI RkChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    if (auto slot = RkSlots.RkChangeServiceConfig2A) return slot(hService, dwInfoLevel, lpInfo);
    return tamrel::ChangeServiceConfig2A(hService, dwInfoLevel, lpInfo);
}

SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandler(LPCWSTR lpServiceName,
                                                          LPHANDLER_FUNCTION lpHandlerProc) {
    RkLoadDebugLibrary();
    if (auto slot = RkSlots.RkRegisterServiceCtrlHandler) return slot(lpServiceName, lpHandlerProc);
    return ::RegisterServiceCtrlHandlerW(lpServiceName, lpHandlerProc);
}

SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandlerEx(LPCWSTR lpServiceName,
                                                            LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                            LPVOID lpContext) {
    RkLoadDebugLibrary();
    if (auto slot = RkSlots.RkRegisterServiceCtrlHandlerEx)
        return slot(lpServiceName, lpHandlerProc, lpContext);
    return tamrel::RegisterServiceCtrlHandlerExW(lpServiceName, lpHandlerProc, lpContext);
}

BOOL WINAPI RkSetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
    RkLoadDebugLibrary();
    if (auto slot = RkSlots.RkSetServiceStatus) return slot(hServiceStatus, lpServiceStatus);
    return ::SetServiceStatus(hServiceStatus, lpServiceStatus);
}

BOOL WINAPI RkStartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
    RkLoadDebugLibrary();
    if (auto slot = RkSlots.RkStartServiceCtrlDispatcher) return slot(lpServiceStartTable);
    return ::StartServiceCtrlDispatcherW(lpServiceStartTable);
}

BOOL WINAPI RkControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    if (auto slot = RkSlots.RkControlService) return slot(hService, dwControl, lpServiceStatus);
    return ::ControlService(hService, dwControl, lpServiceStatus);
}

BOOL WINAPI RkDeleteService(SC_HANDLE hService) {
    if (auto slot = RkSlots.RkDeleteService) return slot(hService);
    return ::DeleteService(hService);
}

BOOL WINAPI RkEnumServicesStatus(SC_HANDLE hSCManager, DWORD dwServiceType, DWORD dwServiceState,
                                 LPENUM_SERVICE_STATUSW lpServices, DWORD cbBufSize, LPDWORD pcbBytesNeeded,
                                 LPDWORD lpServicesReturned, LPDWORD lpResumeHandle) {
    if (auto slot = RkSlots.RkEnumServicesStatus)
        return slot(hSCManager, dwServiceType, dwServiceState, lpServices, cbBufSize, pcbBytesNeeded,
                    lpServicesReturned, lpResumeHandle);
    return ::EnumServicesStatusW(hSCManager, dwServiceType, dwServiceState, lpServices, cbBufSize,
                                 pcbBytesNeeded, lpServicesReturned, lpResumeHandle);
}

BOOL WINAPI RkGetServiceDisplayName(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPWSTR lpDisplayName,
                                    LPDWORD lpcchBuffer) {
    if (auto slot = RkSlots.RkGetServiceDisplayName)
        return slot(hSCManager, lpServiceName, lpDisplayName, lpcchBuffer);
    return ::GetServiceDisplayNameW(hSCManager, lpServiceName, lpDisplayName, lpcchBuffer);
}

SC_HANDLE WINAPI RkOpenService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
    if (auto slot = RkSlots.RkOpenService) return slot(hSCManager, lpServiceName, dwDesiredAccess);
    return ::OpenServiceW(hSCManager, lpServiceName, dwDesiredAccess);
}

BOOL WINAPI RkQueryServiceConfig(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded) {
    if (auto slot = RkSlots.RkQueryServiceConfig)
        return slot(hService, lpServiceConfig, cbBufSize, pcbBytesNeeded);
    return ::QueryServiceConfigW(hService, lpServiceConfig, cbBufSize, pcbBytesNeeded);
}

BOOL WINAPI RkChangeServiceConfig(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                  DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                  LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                  LPCWSTR lpPassword, LPCWSTR lpDisplayName) {
    if (auto slot = RkSlots.RkChangeServiceConfig)
        return slot(hService, dwServiceType, dwStartType, dwErrorControl, lpBinaryPathName, lpLoadOrderGroup,
                    lpdwTagId, lpDependencies, lpServiceStartName, lpPassword, lpDisplayName);
    return ::ChangeServiceConfigW(hService, dwServiceType, dwStartType, dwErrorControl, lpBinaryPathName,
                                  lpLoadOrderGroup, lpdwTagId, lpDependencies, lpServiceStartName, lpPassword,
                                  lpDisplayName);
}

BOOL WINAPI RkQueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    if (auto slot = RkSlots.RkQueryServiceStatus) return slot(hService, lpServiceStatus);
    return ::QueryServiceStatus(hService, lpServiceStatus);
}

BOOL WINAPI RkStartService(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors) {
    if (auto slot = RkSlots.RkStartService) return slot(hService, dwNumServiceArgs, lpServiceArgVectors);
    return ::StartServiceW(hService, dwNumServiceArgs, lpServiceArgVectors);
}

BOOL WINAPI RkQueryServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                  LPDWORD pcbBytesNeeded) {
    return ::QueryServiceConfig2W(hService, dwInfoLevel, lpBuffer, cbBufSize, pcbBytesNeeded);
}

// ---------------------------------------------------------------------------------------------
// Debug-event channel
// ---------------------------------------------------------------------------------------------

void WINAPI RkSendCheckpoint(const char* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendCheckpointA) send(Text, Data);
}

void WINAPI RkSendCheckpoint(const wchar_t* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendCheckpointW) send(Text, Data);
}

void WINAPI RkSendClearToCheckpoint() {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendClearToCheckpoint) send();
}

void WINAPI RkSendClearAll() {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendClearAll) send();
}

void WINAPI RkSendValue(TDebugEventKind Kind, const char* Text, VARIANT Value, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendValueA) send(Kind, Text, Value, Data);
}

void WINAPI RkSendValue(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendValueW) send(Kind, Text, Value, Data);
}

void WINAPI RkSendMethodEnter(const char* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendMethodEnterA) send(Text, Data);
}

void WINAPI RkSendMethodEnter(const wchar_t* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendMethodEnterW) send(Text, Data);
}

void WINAPI RkSendMethodLeave(const char* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendMethodLeaveA) send(Text, Data);
}

void WINAPI RkSendMethodLeave(const wchar_t* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendMethodLeaveW) send(Text, Data);
}

void WINAPI RkSendMessage(TDebugEventKind Kind, const char* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendMessageA) send(Kind, Text, Data);
}

void WINAPI RkSendMessage(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.SendMessageW) send(Kind, Text, Data);
}

} // namespace tamrel
