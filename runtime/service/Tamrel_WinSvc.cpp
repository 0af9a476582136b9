#include "runtime/service/Tamrel_WinSvc.h"

#include "host/Handles.h"
#include "host/SizeProbe.h"
#include "host/SysUtils.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

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

std::wstring TamrelParameterValue(const std::wstring& Name) {
    std::wstring value;
    TamrelFindParameter(Name, value);
    return value;
}

bool TamrelConfigureCommandGiven() {
    return TamrelFindCommand(L"install") || TamrelFindCommand(L"reinstall") || TamrelFindCommand(L"uninstall");
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

// What the loader does for one export: fill its slot, and read the slot back for diagnostics.
struct TExportBinding {
    void (*Assign)(FARPROC);
    void* (*Read)();
};

template <auto& Table, auto Member> constexpr TExportBinding Binding() {
    return {[](FARPROC p) {
                auto& slot = Table.*Member;
                slot = ProcCast<std::remove_reference_t<decltype(slot)>>(p);
            },
            []() -> void* { return reinterpret_cast<void*>(Table.*Member); }};
}

// The slot of each export of RkDebugExportNames, in that order.
const TExportBinding GBindings[] = {
    Binding<RkSlots, &TRkSlots::RkRegisterServiceCtrlHandler>(),
    Binding<RkSlots, &TRkSlots::RkSetServiceStatus>(),
    Binding<RkSlots, &TRkSlots::RkStartServiceCtrlDispatcher>(),
    Binding<RkSlots, &TRkSlots::RkCreateService>(),
    Binding<RkSlots, &TRkSlots::RkOpenSCManager>(),
    Binding<RkSlots, &TRkSlots::RkChangeServiceConfig2>(),
    Binding<RkSlots, &TRkSlots::RkChangeServiceConfig2A>(),
    Binding<RkSlots, &TRkSlots::RkCloseServiceHandle>(),
    Binding<RkDebugExports, &TRkDebugExports::SendCheckpointA>(),
    Binding<RkDebugExports, &TRkDebugExports::SendCheckpointW>(),
    Binding<RkDebugExports, &TRkDebugExports::SendClearToCheckpoint>(),
    Binding<RkDebugExports, &TRkDebugExports::SendClearAll>(),
    Binding<RkDebugExports, &TRkDebugExports::SendValueA>(),
    Binding<RkDebugExports, &TRkDebugExports::SendValueW>(),
    Binding<RkDebugExports, &TRkDebugExports::SendMethodEnterA>(),
    Binding<RkDebugExports, &TRkDebugExports::SendMethodEnterW>(),
    Binding<RkDebugExports, &TRkDebugExports::SendMethodLeaveA>(),
    Binding<RkDebugExports, &TRkDebugExports::SendMethodLeaveW>(),
    Binding<RkDebugExports, &TRkDebugExports::SendMessageA>(),
    Binding<RkDebugExports, &TRkDebugExports::SendMessageW>(),
    Binding<RkSlots, &TRkSlots::RkRegisterServiceCtrlHandlerEx>(),
};

static_assert(sizeof(GBindings) / sizeof(GBindings[0]) == RkDebugExportCount);

void LoadDebugLibrary() {
    // Configuring always talks to the real manager.
    if (!TamrelFindCommand(L"debug") || TamrelConfigureCommandGiven()) return;

    HMODULE library = LoadLibraryW(RkDebugLibraryName);
    if (!library) RaiseLastOSError();
    Unit().AdoptDebugLibrary(library);
    // Each slot is filled as soon as its export is found: a stop leaves the earlier ones filled.
    for (int i = 0; i < RkDebugExportCount; ++i) {
        FARPROC p = GetProcAddress(library, RkDebugExportNames[i]);
        if (!p) {
            if (std::any_of(std::begin(RkOptionalDebugExports), std::end(RkOptionalDebugExports),
                            [&](const char* name) { return std::strcmp(RkDebugExportNames[i], name) == 0; }))
                continue;
            throw Exception(std::wstring(L"Error loading tamreldbg library"));
        }
        GBindings[i].Assign(p);
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

namespace winsvc {

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

} // namespace winsvc

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

BOOL WINAPI winsvc::ChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    BOOL ok;
    DWORD error;
    if (dwInfoLevel == SERVICE_CONFIG_DESCRIPTION && lpInfo) {
        const auto* a = static_cast<const SERVICE_DESCRIPTIONA*>(lpInfo);
        TOptionalWide description = WideOf(a->lpDescription);
        SERVICE_DESCRIPTIONW w{description.Get()};
        ok = winsvc::ChangeServiceConfig2W(hService, dwInfoLevel, &w);
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
        ok = winsvc::ChangeServiceConfig2W(hService, dwInfoLevel, &w);
        error = GetLastError();
    } else if (IsTextFreeLevel(dwInfoLevel)) {
        ok = winsvc::ChangeServiceConfig2W(hService, dwInfoLevel, lpInfo);
        error = GetLastError();
    } else {
        ok = winsvc::ChangeServiceConfig2W(hService, dwInfoLevel, nullptr);
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

BOOL WINAPI winsvc::QueryServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer,
                                         DWORD cbBufSize, LPDWORD pcbBytesNeeded) {
    DWORD localNeeded = 0;
    DWORD& needed = pcbBytesNeeded ? *pcbBytesNeeded : localNeeded;
    DWORD error;
    // A system-style function: out of memory is its error code, as for the real one.
    try {
        std::vector<BYTE> wide;
        DWORD wideSize = 0;
        error = CallWithSizeProbe(wide, wideSize, [&](BYTE* buffer, DWORD& size) {
            return ErrorOf(::QueryServiceConfig2W(hService, dwInfoLevel, buffer, size, &size));
        });
        if (error == ERROR_SUCCESS && !wide.empty())
            error = ServiceConfig2ToAnsi(dwInfoLevel, wide.data(), wideSize, lpBuffer, cbBufSize, needed);
        else if (wide.empty())
            needed = wideSize; // the probe's answer, as it came
    } catch (const std::bad_alloc&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Wrappers
// ---------------------------------------------------------------------------------------------

namespace {

// Every wrapper has this one shape: a filled slot takes the call, else the real function does.
template <auto Slot, class Real, class... A> auto Redirect(Real real, A... args) {
    if (auto slot = RkSlots.*Slot) return slot(args...);
    return real(args...);
}

// The wrappers whose slot the debug library may fill run the loader first.
template <auto Slot, class Real, class... A> auto RedirectAfterLoad(Real real, A... args) {
    RkLoadDebugLibrary();
    return Redirect<Slot>(real, args...);
}

// A debug event reaches its export when the library bound it, and goes nowhere otherwise.
template <auto Export, class... A> void Send(A... args) {
    RkLoadDebugLibrary();
    if (auto send = RkDebugExports.*Export) send(args...);
}

} // namespace

SC_HANDLE WINAPI RkOpenSCManager(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    return Redirect<&TRkSlots::RkOpenSCManager>(&::OpenSCManagerW, lpMachineName, lpDatabaseName, dwDesiredAccess);
}

SC_HANDLE WINAPI RkCreateService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                 DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                 DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                 LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                 LPCWSTR lpPassword) {
    return Redirect<&TRkSlots::RkCreateService>(&::CreateServiceW, hSCManager, lpServiceName, lpDisplayName,
                                                dwDesiredAccess, dwServiceType, dwStartType, dwErrorControl,
                                                lpBinaryPathName, lpLoadOrderGroup, lpdwTagId, lpDependencies,
                                                lpServiceStartName, lpPassword);
}

BOOL WINAPI RkCloseServiceHandle(SC_HANDLE hSCObject) {
    return Redirect<&TRkSlots::RkCloseServiceHandle>(&::CloseServiceHandle, hSCObject);
}

BOOL WINAPI RkChangeServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    return Redirect<&TRkSlots::RkChangeServiceConfig2>(&winsvc::ChangeServiceConfig2W, hService, dwInfoLevel, lpInfo);
}

BOOL WINAPI RkChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    return Redirect<&TRkSlots::RkChangeServiceConfig2A>(&winsvc::ChangeServiceConfig2A, hService, dwInfoLevel,
                                                        lpInfo);
}

SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandler(LPCWSTR lpServiceName,
                                                          LPHANDLER_FUNCTION lpHandlerProc) {
    return RedirectAfterLoad<&TRkSlots::RkRegisterServiceCtrlHandler>(&::RegisterServiceCtrlHandlerW,
                                                                      lpServiceName, lpHandlerProc);
}

SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandlerEx(LPCWSTR lpServiceName,
                                                            LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                            LPVOID lpContext) {
    return RedirectAfterLoad<&TRkSlots::RkRegisterServiceCtrlHandlerEx>(&winsvc::RegisterServiceCtrlHandlerExW,
                                                                        lpServiceName, lpHandlerProc, lpContext);
}

BOOL WINAPI RkSetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
    return RedirectAfterLoad<&TRkSlots::RkSetServiceStatus>(&::SetServiceStatus, hServiceStatus, lpServiceStatus);
}

BOOL WINAPI RkStartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
    return RedirectAfterLoad<&TRkSlots::RkStartServiceCtrlDispatcher>(&::StartServiceCtrlDispatcherW,
                                                                      lpServiceStartTable);
}

BOOL WINAPI RkControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    return Redirect<&TRkSlots::RkControlService>(&::ControlService, hService, dwControl, lpServiceStatus);
}

BOOL WINAPI RkDeleteService(SC_HANDLE hService) {
    return Redirect<&TRkSlots::RkDeleteService>(&::DeleteService, hService);
}

BOOL WINAPI RkEnumServicesStatus(SC_HANDLE hSCManager, DWORD dwServiceType, DWORD dwServiceState,
                                 LPENUM_SERVICE_STATUSW lpServices, DWORD cbBufSize, LPDWORD pcbBytesNeeded,
                                 LPDWORD lpServicesReturned, LPDWORD lpResumeHandle) {
    return Redirect<&TRkSlots::RkEnumServicesStatus>(&::EnumServicesStatusW, hSCManager, dwServiceType,
                                                     dwServiceState, lpServices, cbBufSize, pcbBytesNeeded,
                                                     lpServicesReturned, lpResumeHandle);
}

BOOL WINAPI RkGetServiceDisplayName(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPWSTR lpDisplayName,
                                    LPDWORD lpcchBuffer) {
    return Redirect<&TRkSlots::RkGetServiceDisplayName>(&::GetServiceDisplayNameW, hSCManager, lpServiceName,
                                                        lpDisplayName, lpcchBuffer);
}

SC_HANDLE WINAPI RkOpenService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
    return Redirect<&TRkSlots::RkOpenService>(&::OpenServiceW, hSCManager, lpServiceName, dwDesiredAccess);
}

BOOL WINAPI RkQueryServiceConfig(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded) {
    return Redirect<&TRkSlots::RkQueryServiceConfig>(&::QueryServiceConfigW, hService, lpServiceConfig, cbBufSize,
                                                     pcbBytesNeeded);
}

BOOL WINAPI RkChangeServiceConfig(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                  DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                  LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                  LPCWSTR lpPassword, LPCWSTR lpDisplayName) {
    return Redirect<&TRkSlots::RkChangeServiceConfig>(&::ChangeServiceConfigW, hService, dwServiceType,
                                                      dwStartType, dwErrorControl, lpBinaryPathName,
                                                      lpLoadOrderGroup, lpdwTagId, lpDependencies,
                                                      lpServiceStartName, lpPassword, lpDisplayName);
}

BOOL WINAPI RkQueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    return Redirect<&TRkSlots::RkQueryServiceStatus>(&::QueryServiceStatus, hService, lpServiceStatus);
}

BOOL WINAPI RkStartService(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors) {
    return Redirect<&TRkSlots::RkStartService>(&::StartServiceW, hService, dwNumServiceArgs, lpServiceArgVectors);
}

BOOL WINAPI RkQueryServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                  LPDWORD pcbBytesNeeded) {
    return ::QueryServiceConfig2W(hService, dwInfoLevel, lpBuffer, cbBufSize, pcbBytesNeeded);
}

// ---------------------------------------------------------------------------------------------
// Debug-event channel
// ---------------------------------------------------------------------------------------------

void WINAPI RkSendCheckpoint(const char* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendCheckpointA>(Text, Data);
}

void WINAPI RkSendCheckpoint(const wchar_t* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendCheckpointW>(Text, Data);
}

void WINAPI RkSendClearToCheckpoint() { Send<&TRkDebugExports::SendClearToCheckpoint>(); }

void WINAPI RkSendClearAll() { Send<&TRkDebugExports::SendClearAll>(); }

void WINAPI RkSendValue(TDebugEventKind Kind, const char* Text, VARIANT Value, TDebugEventData Data) {
    Send<&TRkDebugExports::SendValueA>(Kind, Text, Value, Data);
}

void WINAPI RkSendValue(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value, TDebugEventData Data) {
    Send<&TRkDebugExports::SendValueW>(Kind, Text, Value, Data);
}

void WINAPI RkSendMethodEnter(const char* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendMethodEnterA>(Text, Data);
}

void WINAPI RkSendMethodEnter(const wchar_t* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendMethodEnterW>(Text, Data);
}

void WINAPI RkSendMethodLeave(const char* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendMethodLeaveA>(Text, Data);
}

void WINAPI RkSendMethodLeave(const wchar_t* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendMethodLeaveW>(Text, Data);
}

void WINAPI RkSendMessage(TDebugEventKind Kind, const char* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendMessageA>(Kind, Text, Data);
}

void WINAPI RkSendMessage(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data) {
    Send<&TRkDebugExports::SendMessageW>(Kind, Text, Data);
}

} // namespace tamrel
