// The status report of service_bench's raw services: the fields the library fills, so that the
// services differ only in where they report from.
#pragma once

#include <windows.h>

inline void ReportRawStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS& status, DWORD state, DWORD checkpoint = 0) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwCheckPoint = checkpoint;
    status.dwWaitHint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? 3000 : 0;
    SetServiceStatus(handle, &status);
}
