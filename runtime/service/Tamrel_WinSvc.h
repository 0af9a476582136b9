// The layer between the service framework and the service control manager: one Rk wrapper per
// manager call, each with a redirection slot that the debug library fills when a program runs
// with /debug; the debug-event channel into that library; ANSI adapters for the extended service
// configuration; and the command-line switch finder every mode decision of the framework uses.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winsvc.h>

#include "host/Handles.h"

#include <string>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Command-line switches: "/name", "-name", "/name:value", "/name=value", names compared without
// regard to case. The process command line is read at each call.
// ---------------------------------------------------------------------------------------------

bool TamrelFindParameter(const std::wstring& Name, std::wstring& Value);
bool TamrelFindCommand(const std::wstring& Name);

// ---------------------------------------------------------------------------------------------
// Records of the extended configuration: SERVICE_DESCRIPTIONA/W, SERVICE_FAILURE_ACTIONSA/W,
// SC_ACTION, SERVICE_DELAYED_AUTO_START_INFO and SERVICE_PRESHUTDOWN_INFO are the ones of
// <winsvc.h>.
// ---------------------------------------------------------------------------------------------

using THandlerExFunction = LPHANDLER_FUNCTION_EX;

enum TDebugEventKind { dekInfo, dekWarning, dekError };

// The last parameter of the debug events: 32 bits in the 32-bit build, pointer-sized in the
// 64-bit one.
using TDebugEventData = UINT_PTR;

// ---------------------------------------------------------------------------------------------
// Redirection slots: nil means the real function is called. The loader fills those that have a
// debug export; tests may put a recorder into any of them (and must empty it again).
// ---------------------------------------------------------------------------------------------

using TOpenSCManagerProc = SC_HANDLE(WINAPI*)(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                                              DWORD dwDesiredAccess);
using TCreateServiceProc = SC_HANDLE(WINAPI*)(SC_HANDLE hSCManager, LPCWSTR lpServiceName,
                                              LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                                              DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                                              LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                              LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                                              LPCWSTR lpServiceStartName, LPCWSTR lpPassword);
using TCloseServiceHandleProc = BOOL(WINAPI*)(SC_HANDLE hSCObject);
using TChangeServiceConfig2Proc = BOOL(WINAPI*)(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
using TRegisterServiceCtrlHandlerProc = SERVICE_STATUS_HANDLE(WINAPI*)(LPCWSTR lpServiceName,
                                                                       LPHANDLER_FUNCTION lpHandlerProc);
using TRegisterServiceCtrlHandlerExProc = SERVICE_STATUS_HANDLE(WINAPI*)(LPCWSTR lpServiceName,
                                                                         LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                                         LPVOID lpContext);
using TSetServiceStatusProc = BOOL(WINAPI*)(SERVICE_STATUS_HANDLE hServiceStatus,
                                            LPSERVICE_STATUS lpServiceStatus);
using TStartServiceCtrlDispatcherProc = BOOL(WINAPI*)(const SERVICE_TABLE_ENTRYW* lpServiceStartTable);
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

struct TRkSlots {
    TOpenSCManagerProc RkOpenSCManager = nullptr;
    TCreateServiceProc RkCreateService = nullptr;
    TCloseServiceHandleProc RkCloseServiceHandle = nullptr;
    TChangeServiceConfig2Proc RkChangeServiceConfig2 = nullptr;
    // Takes the ANSI records (SERVICE_DESCRIPTIONA, SERVICE_FAILURE_ACTIONSA).
    TChangeServiceConfig2Proc RkChangeServiceConfig2A = nullptr;
    TRegisterServiceCtrlHandlerProc RkRegisterServiceCtrlHandler = nullptr;
    TRegisterServiceCtrlHandlerExProc RkRegisterServiceCtrlHandlerEx = nullptr;
    TSetServiceStatusProc RkSetServiceStatus = nullptr;
    TStartServiceCtrlDispatcherProc RkStartServiceCtrlDispatcher = nullptr;
    TControlServiceProc RkControlService = nullptr;
    TDeleteServiceProc RkDeleteService = nullptr;
    TEnumServicesStatusProc RkEnumServicesStatus = nullptr;
    TGetServiceDisplayNameProc RkGetServiceDisplayName = nullptr;
    TOpenServiceProc RkOpenService = nullptr;
    TQueryServiceConfigProc RkQueryServiceConfig = nullptr;
    TChangeServiceConfigProc RkChangeServiceConfig = nullptr;
    TQueryServiceStatusProc RkQueryServiceStatus = nullptr;
    TStartServiceProc RkStartService = nullptr;
};
extern TRkSlots RkSlots;

// The debug-event exports of the debug library; nil = not bound (the events go nowhere).
using TSendTextA = void(WINAPI*)(const char* Text, TDebugEventData Data);
using TSendTextW = void(WINAPI*)(const wchar_t* Text, TDebugEventData Data);
using TSendPlain = void(WINAPI*)();
using TSendValueA = void(WINAPI*)(TDebugEventKind Kind, const char* Text, VARIANT Value,
                                  TDebugEventData Data);
using TSendValueW = void(WINAPI*)(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value,
                                  TDebugEventData Data);
using TSendMessageA = void(WINAPI*)(TDebugEventKind Kind, const char* Text, TDebugEventData Data);
using TSendMessageW = void(WINAPI*)(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data);

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
extern TRkDebugExports RkDebugExports;

// The file name of the debug library for this processor.
#ifdef _WIN64
inline constexpr wchar_t RkDebugLibraryName[] = L"tamreldbg64.dll";
#else
inline constexpr wchar_t RkDebugLibraryName[] = L"tamreldbg.dll";
#endif

// The export names in the order the loader binds them.
inline constexpr const char* RkDebugExportNames[] = {"DebugRegisterServiceCtrlHandlerW",
                                                     "DebugSetServiceStatus",
                                                     "DebugStartServiceCtrlDispatcherW",
                                                     "DebugCreateServiceW",
                                                     "DebugOpenSCManagerW",
                                                     "DebugChangeServiceConfig2W",
                                                     "DebugChangeServiceConfig2",
                                                     "DebugCloseServiceHandle",
                                                     "SendCheckpoint",
                                                     "SendCheckpointW",
                                                     "SendClearToCheckpoint",
                                                     "SendClearAll",
                                                     "SendValue",
                                                     "SendValueW",
                                                     "SendMethodEnter",
                                                     "SendMethodEnterW",
                                                     "SendMethodLeave",
                                                     "SendMethodLeaveW",
                                                     "SendMessage",
                                                     "SendMessageW",
                                                     "DebugRegisterServiceCtrlHandlerExW"};
inline constexpr int RkDebugExportCount = sizeof(RkDebugExportNames) / sizeof(RkDebugExportNames[0]);

// Runs the one-time loader (the wrappers that need it call it themselves). Raises EOSError when
// the library cannot be loaded and Exception("Error loading tamreldbg library") when a required
// export is missing; it never runs a second time, whatever happened the first time.
void RkLoadDebugLibrary();
bool RkDebugLoaderRan();
// The debug library's module handle, nil when it was not loaded.
HMODULE RkDebugLibraryHandle();
inline bool RkDebugLibraryLoaded() {
    return RkDebugLibraryHandle() != nullptr;
}
// The debug library takes the extended control handler as well (an optional export): a debug
// run can then deliver controls with an event type, as power events need.
bool RkDebugHandlerExAvailable();
// The address the loader bound for an export of RkDebugExportNames, nil when not bound (for
// diagnostics and tests).
void* RkBoundDebugExport(int Index);

// ---------------------------------------------------------------------------------------------
// advapi32 functions bound at run time (older systems lack them)
// ---------------------------------------------------------------------------------------------

struct TRkAdvApi {
    TChangeServiceConfig2Proc ChangeServiceConfig2W = nullptr;
    TRegisterServiceCtrlHandlerExProc RegisterServiceCtrlHandlerExW = nullptr;
};
// The bound pointers (binding them on first use). Tests may replace one and must restore it.
TRkAdvApi& RkAdvApi();

// The bound ChangeServiceConfig2W, or error 120 (ERROR_CALL_NOT_IMPLEMENTED) when it is absent.
// <winsvc.h> maps ChangeServiceConfig2 to this name.
BOOL WINAPI ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
// The bound RegisterServiceCtrlHandlerExW, or error 120 and a zero handle. <winsvc.h> maps
// RegisterServiceCtrlHandlerEx to this name.
SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName,
                                                           LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                           LPVOID lpContext);

// ANSI adapters over the wide functions. The text-free records (delayed auto-start, failure
// actions flag, service SID, preshutdown, preferred node) have one layout in both forms and are
// passed as they are.
BOOL WINAPI ChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
BOOL WINAPI QueryServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded);

// Lays out a record that QueryServiceConfig2W answered in its ANSI form into Buffer: the record
// first, then (failure actions) the action array, then the texts, every pointer pointing into
// Buffer, nil staying nil. Needed receives the ANSI size. Answers ERROR_SUCCESS,
// ERROR_INSUFFICIENT_BUFFER (Buffer too small, nothing copied), ERROR_INVALID_DATA (a text has no
// ANSI form) or ERROR_INVALID_LEVEL (a level whose records differ that this layer does not know).
// WideSize is the size of the wide answer, needed for the text-free levels only.
DWORD ServiceConfig2ToAnsi(DWORD InfoLevel, const void* WideRecord, DWORD WideSize, LPBYTE Buffer,
                           DWORD BufSize, DWORD& Needed);

// ---------------------------------------------------------------------------------------------
// The wrappers: parameters and results of the Windows functions.
// ---------------------------------------------------------------------------------------------

SC_HANDLE WINAPI RkOpenSCManager(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
SC_HANDLE WINAPI RkCreateService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                 DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                 DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                 LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                 LPCWSTR lpPassword);
BOOL WINAPI RkCloseServiceHandle(SC_HANDLE hSCObject);
namespace detail {
inline void RkCloseScHandle(SC_HANDLE h) { RkCloseServiceHandle(h); }
} // namespace detail
// A service-manager handle from the wrappers, closed through the wrappers (so that a redirected
// manager gets its own handles back).
using TRkScHandle = TUniqueHandle<SC_HANDLE, detail::RkCloseScHandle>;
BOOL WINAPI RkChangeServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
// The ANSI records; without the debug library it goes through ChangeServiceConfig2A.
BOOL WINAPI RkChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandler(LPCWSTR lpServiceName,
                                                          LPHANDLER_FUNCTION lpHandlerProc);
SERVICE_STATUS_HANDLE WINAPI RkRegisterServiceCtrlHandlerEx(LPCWSTR lpServiceName,
                                                            LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                            LPVOID lpContext);
BOOL WINAPI RkSetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus);
BOOL WINAPI RkStartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* lpServiceStartTable);
BOOL WINAPI RkControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);
BOOL WINAPI RkDeleteService(SC_HANDLE hService);
BOOL WINAPI RkEnumServicesStatus(SC_HANDLE hSCManager, DWORD dwServiceType, DWORD dwServiceState,
                                 LPENUM_SERVICE_STATUSW lpServices, DWORD cbBufSize, LPDWORD pcbBytesNeeded,
                                 LPDWORD lpServicesReturned, LPDWORD lpResumeHandle);
BOOL WINAPI RkGetServiceDisplayName(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPWSTR lpDisplayName,
                                    LPDWORD lpcchBuffer);
SC_HANDLE WINAPI RkOpenService(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
BOOL WINAPI RkQueryServiceConfig(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded);
BOOL WINAPI RkChangeServiceConfig(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType,
                                  DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                  LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                  LPCWSTR lpPassword, LPCWSTR lpDisplayName);
BOOL WINAPI RkQueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
BOOL WINAPI RkStartService(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors);
// Not redirectable: the debug library has no service records to query.
BOOL WINAPI RkQueryServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                  LPDWORD pcbBytesNeeded);

// ---------------------------------------------------------------------------------------------
// Debug-event channel: reaches the debug library only; returns at once without it.
// ---------------------------------------------------------------------------------------------

void WINAPI RkSendCheckpoint(const char* Text, TDebugEventData Data);
void WINAPI RkSendCheckpoint(const wchar_t* Text, TDebugEventData Data);
void WINAPI RkSendClearToCheckpoint();
void WINAPI RkSendClearAll();
void WINAPI RkSendValue(TDebugEventKind Kind, const char* Text, VARIANT Value, TDebugEventData Data);
void WINAPI RkSendValue(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value, TDebugEventData Data);
void WINAPI RkSendMethodEnter(const char* Text, TDebugEventData Data);
void WINAPI RkSendMethodEnter(const wchar_t* Text, TDebugEventData Data);
void WINAPI RkSendMethodLeave(const char* Text, TDebugEventData Data);
void WINAPI RkSendMethodLeave(const wchar_t* Text, TDebugEventData Data);
void WINAPI RkSendMessage(TDebugEventKind Kind, const char* Text, TDebugEventData Data);
void WINAPI RkSendMessage(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data);

} // namespace tamrel
