// The interface of the debug library (tamreldbg.dll / tamreldbg64.dll): its file name, its
// exports in the order the service layer binds them, the type of each export and the kinds of
// its debug events. The service layer binds the library through these types and the library
// checks its own definitions against them, so the two sides cannot drift apart. Self-contained:
// the library includes it without the rest of the run-time library.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <winsvc.h>

namespace tamrel {

enum TDebugEventKind { dekInfo, dekWarning, dekError };

// The last parameter of the debug events: 32 bits in the 32-bit build, pointer-sized in the
// 64-bit one.
using TDebugEventData = UINT_PTR;

// ---------------------------------------------------------------------------------------------
// The exports that replace a manager call: exactly the parameters, calling convention and result
// of the Windows function they stand for.
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
using TSetServiceStatusProc = BOOL(WINAPI*)(SERVICE_STATUS_HANDLE hServiceStatus,
                                            LPSERVICE_STATUS lpServiceStatus);
using TStartServiceCtrlDispatcherProc = BOOL(WINAPI*)(const SERVICE_TABLE_ENTRYW* lpServiceStartTable);
using TRegisterServiceCtrlHandlerExProc = SERVICE_STATUS_HANDLE(WINAPI*)(LPCWSTR lpServiceName,
                                                                         LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                                         LPVOID lpContext);

// ---------------------------------------------------------------------------------------------
// The debug-event exports. The values are the caller's: the library reads them, never clears them.
// ---------------------------------------------------------------------------------------------

using TSendTextA = void(WINAPI*)(const char* Text, TDebugEventData Data);
using TSendTextW = void(WINAPI*)(const wchar_t* Text, TDebugEventData Data);
using TSendPlain = void(WINAPI*)();
using TSendValueA = void(WINAPI*)(TDebugEventKind Kind, const char* Text, VARIANT Value,
                                  TDebugEventData Data);
using TSendValueW = void(WINAPI*)(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value,
                                  TDebugEventData Data);
using TSendMessageA = void(WINAPI*)(TDebugEventKind Kind, const char* Text, TDebugEventData Data);
using TSendMessageW = void(WINAPI*)(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data);

// The file name of the debug library for this processor.
#ifdef _WIN64
inline constexpr wchar_t RkDebugLibraryName[] = L"tamreldbg64.dll";
#else
inline constexpr wchar_t RkDebugLibraryName[] = L"tamreldbg.dll";
#endif

// The export names in the order the loader binds them (the library's .def lists them in the same
// order).
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

// The exports a library may lack: the loader binds the others without them. The first takes the
// ANSI records; with the second the library takes the extended control handler, so that a debug
// run can deliver controls with an event type (power events).
inline constexpr const char* RkOptionalDebugExports[] = {"DebugChangeServiceConfig2",
                                                         "DebugRegisterServiceCtrlHandlerExW"};

} // namespace tamrel
