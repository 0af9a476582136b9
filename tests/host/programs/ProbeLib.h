// The library side of the exit-procedure probes: built once as a DLL on top of the run-time DLL
// (a DLL of the library, as the run-time DLL itself is one) and once compiled into a program
// together with the static run-time library.
#pragma once

#include <windows.h>

#ifdef HOST_PROBE_LIB_DLL
#define HOST_PROBE_API extern "C" __declspec(dllexport)
#else
#define HOST_PROBE_API extern "C"
#endif

// Writes one line to stdout straight through the handle (the C run-time may be gone already).
HOST_PROBE_API void ProbeSay(const char* line);
// Makes the library global and adds two exit procedures: the first added checks that the
// global is still alive, the last added runs a thread and waits for it (which would hang under
// the loader lock).
HOST_PROBE_API void ProbeSetup();
HOST_PROBE_API void ProbeRunExitProcs();
// A hidden window made by the run-time library this probe is linked with, and its release.
HOST_PROBE_API HWND ProbeAllocateHWnd();
HOST_PROBE_API void ProbeDeallocateHWnd(HWND wnd);
