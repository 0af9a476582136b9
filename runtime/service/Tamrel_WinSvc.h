// The layer between the service framework and the service control manager: one Rk wrapper per
// manager call, each with a redirection slot that the debug library fills when a program runs
// with /debug; the debug-event channel into that library; ANSI adapters for the extended service
// configuration; and the command-line switch finder every mode decision of the framework uses.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winsvc.h>

#include "host/Api.h"
#include "host/Handles.h"
#include "runtime/service/Tamrel_DebugInterface.h"

#include <string>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Command-line switches: "/name", "-name", "/name:value", "/name=value", names compared without
// regard to case. The process command line is read at each call.
// ---------------------------------------------------------------------------------------------

TAMREL_API bool TamrelFindParameter(const std::wstring& Name, std::wstring& Value);
TAMREL_API bool TamrelFindCommand(const std::wstring& Name);
// The value of a switch; empty when the switch is absent or has no value.
TAMREL_API std::wstring TamrelParameterValue(const std::wstring& Name);
// Any of the configure switches: install, uninstall, reinstall.
TAMREL_API bool TamrelConfigureCommandGiven();

// ---------------------------------------------------------------------------------------------
// Records of the extended configuration: SERVICE_DESCRIPTIONA/W, SERVICE_FAILURE_ACTIONSA/W,
// SC_ACTION, SERVICE_DELAYED_AUTO_START_INFO and SERVICE_PRESHUTDOWN_INFO are the ones of
// <winsvc.h>.
// ---------------------------------------------------------------------------------------------

using THandlerExFunction = LPHANDLER_FUNCTION_EX;

// ---------------------------------------------------------------------------------------------
// Redirection slots: one per redirectable wrapper, of the wrapped function's type; nil means the
// real function is called. The loader fills those that have a debug export; the types of those
// are the types of the debug library's exports (Tamrel_DebugInterface.h).
// ---------------------------------------------------------------------------------------------

using TControlServiceProc = BOOL(WINAPI*)(SC_HANDLE hService, DWORD dwControl,
                                          LPSERVICE_STATUS lpServiceStatus);
using TDeleteServiceProc = BOOL(WINAPI*)(SC_HANDLE hService);
using TEnumServicesStatusProc = BOOL(WINAPI*)(SC_HANDLE hSCManager, DWORD dwServiceType, DWORD dwServiceState,
                                              LPENUM_SERVICE_STATUSW lpServices, DWORD cbBufSize,
                                              LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned,
                                              LPDWORD lpResumeHandle);
using TGetServiceDisplayNameProc = BOOL(WINAPI*)(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                                 LPWSTR lpDisplayName, LPDWORD lpcchBuffer);
using TOpenServiceProc = SC_HANDLE(WINAPI*)(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                            DWORD dwDesiredAccess);
using TQueryServiceConfigProc = BOOL(WINAPI*)(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig,
                                              DWORD cbBufSize, LPDWORD pcbBytesNeeded);
using TChangeServiceConfigProc = BOOL(WINAPI*)(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                               DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                                               LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                               LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                               LPCWSTR lpPassword, LPCWSTR lpDisplayName);
using TQueryServiceStatusProc = BOOL(WINAPI*)(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
using TStartServiceProc = BOOL(WINAPI*)(SC_HANDLE hService, DWORD dwNumServiceArgs,
                                        LPCWSTR* lpServiceArgVectors);

// The slots themselves, and the guard through which tests fill them, are internal to the layer
// (runtime/service/internal/Tamrel_WinSvcInternal.h).

// The debug-event exports of the debug library; nil = not bound (the events go nowhere).
struct TRkDebugExports {
    TSendTextA SendCheckpointA = nullptr;
    TSendTextW SendCheckpointW = nullptr;
    TSendPlain SendClearToCheckpoint = nullptr;
    TSendPlain SendClearAll = nullptr;
    TSendValueA SendValueA = nullptr;
    TSendValueW SendValueW = nullptr;
    TSendTextA SendMethodEnterA = nullptr;
    TSendTextW SendMethodEnterW = nullptr;
    TSendTextA SendMethodLeaveA = nullptr;
    TSendTextW SendMethodLeaveW = nullptr;
    TSendMessageA SendMessageA = nullptr;
    TSendMessageW SendMessageW = nullptr;
};
extern TAMREL_API TRkDebugExports RkDebugExports;

// Runs the one-time loader (the wrappers that need it call it themselves). Raises EOSError when
// the library cannot be loaded and Exception("Error loading tamreldbg library") when a required
// export is missing; it never runs a second time, whatever happened the first time.
TAMREL_API void RkLoadDebugLibrary();
TAMREL_API bool RkDebugLoaderRan();
// The debug library's module handle, nil when it was not loaded.
TAMREL_API HMODULE RkDebugLibraryHandle();
inline bool RkDebugLibraryLoaded() {
    return RkDebugLibraryHandle() != nullptr;
}
// The debug library was loaded and takes the extended control handler (its optional export).
TAMREL_API bool RkDebugHandlerExAvailable();
// The address the loader bound for an export of RkDebugExportNames, nil when not bound (for
// diagnostics and tests).
TAMREL_API void* RkBoundDebugExport(int Index);

// ---------------------------------------------------------------------------------------------
// advapi32 functions bound at run time (older systems lack them)
// ---------------------------------------------------------------------------------------------

// (The bound pointers are internal to the layer, like the slots.)

// The unit's own versions of four advapi32 functions, under the system's names. They live in a
// namespace of their own: a program that writes `using namespace tamrel;` and calls
// ChangeServiceConfig2 or QueryServiceConfig2A must reach the system's function, not find two
// equal candidates. The wrapper layer calls them as winsvc::ChangeServiceConfig2W and so on.
namespace winsvc {

// The bound ChangeServiceConfig2W, or error 120 (ERROR_CALL_NOT_IMPLEMENTED) when it is absent.
// <winsvc.h> maps ChangeServiceConfig2 to this name.
TAMREL_API BOOL WINAPI ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
// The bound RegisterServiceCtrlHandlerExW, or error 120 and a zero handle. <winsvc.h> maps
// RegisterServiceCtrlHandlerEx to this name.
TAMREL_API SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName,
                                                           LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                           LPVOID lpContext);

// ANSI adapters over the wide functions. The text-free records (delayed auto-start, failure
// actions flag, service SID, preshutdown, preferred node) have one layout in both forms and are
// passed as they are.
TAMREL_API BOOL WINAPI ChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
TAMREL_API BOOL WINAPI QueryServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded);

} // namespace winsvc

// Lays out a record that QueryServiceConfig2W answered in its ANSI form into Buffer: the record
// first, then (failure actions) the action array, then the texts, every pointer pointing into
// Buffer, nil staying nil. Needed receives the ANSI size. Answers ERROR_SUCCESS,
// ERROR_INSUFFICIENT_BUFFER (Buffer too small, nothing copied), ERROR_INVALID_DATA (a text has no
// ANSI form) or ERROR_INVALID_LEVEL (a level whose records differ that this layer does not know).
// WideSize is the size of the wide answer, needed for the text-free levels only.
TAMREL_API DWORD ServiceConfig2ToAnsi(DWORD InfoLevel, const void* WideRecord, DWORD WideSize, LPBYTE Buffer,
                           DWORD BufSize, DWORD& Needed);

// ---------------------------------------------------------------------------------------------
// The wrappers: parameters and results of the Windows functions.
// ---------------------------------------------------------------------------------------------

TAMREL_API SC_HANDLE WINAPI RkOpenSCManager(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
TAMREL_API SC_HANDLE WINAPI RkCreateService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                 DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                 DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                 LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                 LPCWSTR lpPassword);
TAMREL_API BOOL WINAPI RkCloseServiceHandle(SC_HANDLE hSCObject);
namespace detail {
inline void RkCloseScHandle(SC_HANDLE h) { RkCloseServiceHandle(h); }
} // namespace detail
// A service-manager handle from the wrappers, closed through the wrappers (so that a redirected
// manager gets its own handles back).
using TRkScHandle = TUniqueHandle<SC_HANDLE, detail::RkCloseScHandle>;
TAMREL_API BOOL WINAPI RkChangeServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
// The ANSI records; without the debug library it goes through winsvc::ChangeServiceConfig2A.
TAMREL_API BOOL WINAPI RkChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
TAMREL_API SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandler(LPCWSTR lpServiceName,
                                                          LPHANDLER_FUNCTION lpHandlerProc);
TAMREL_API SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandlerEx(LPCWSTR lpServiceName,
                                                            LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                            LPVOID lpContext);
TAMREL_API BOOL WINAPI RkSetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus);
TAMREL_API BOOL WINAPI RkStartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* lpServiceStartTable);
TAMREL_API BOOL WINAPI RkControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);
TAMREL_API BOOL WINAPI RkDeleteService(SC_HANDLE hService);
TAMREL_API BOOL WINAPI RkEnumServicesStatus(SC_HANDLE hSCManager, DWORD dwServiceType, DWORD dwServiceState,
                                 LPENUM_SERVICE_STATUSW lpServices, DWORD cbBufSize, LPDWORD pcbBytesNeeded,
                                 LPDWORD lpServicesReturned, LPDWORD lpResumeHandle);
TAMREL_API BOOL WINAPI RkGetServiceDisplayName(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPWSTR lpDisplayName,
                                    LPDWORD lpcchBuffer);
TAMREL_API SC_HANDLE WINAPI RkOpenService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
TAMREL_API BOOL WINAPI RkQueryServiceConfig(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded);
TAMREL_API BOOL WINAPI RkChangeServiceConfig(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                  DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                  LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                  LPCWSTR lpPassword, LPCWSTR lpDisplayName);
TAMREL_API BOOL WINAPI RkQueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
TAMREL_API BOOL WINAPI RkStartService(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors);
// Not redirectable: the debug library has no service records to query.
TAMREL_API BOOL WINAPI RkQueryServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                  LPDWORD pcbBytesNeeded);

// ---------------------------------------------------------------------------------------------
// Debug-event channel: reaches the debug library only; returns at once without it.
// ---------------------------------------------------------------------------------------------

TAMREL_API void WINAPI RkSendCheckpoint(const char* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendCheckpoint(const wchar_t* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendClearToCheckpoint();
TAMREL_API void WINAPI RkSendClearAll();
TAMREL_API void WINAPI RkSendValue(TDebugEventKind Kind, const char* Text, VARIANT Value, TDebugEventData Data);
TAMREL_API void WINAPI RkSendValue(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value, TDebugEventData Data);
TAMREL_API void WINAPI RkSendMethodEnter(const char* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendMethodEnter(const wchar_t* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendMethodLeave(const char* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendMethodLeave(const wchar_t* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendMessage(TDebugEventKind Kind, const char* Text, TDebugEventData Data);
TAMREL_API void WINAPI RkSendMessage(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data);

} // namespace tamrel
