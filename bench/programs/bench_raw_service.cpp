// The yardstick of service_bench: a service written the plain Win32 way, without the library.
// The service main registers an extended handler, reports start pending and then running, and
// waits for its stop event; the handler answers every request on the dispatcher thread and
// reports the new status itself before it returns, a pause (and a continue) with the same two
// reports as the library, pending then done. service_bench installs it as TamrelBenchRaw.
#include "RawServiceStatus.h"

#include <windows.h>

namespace {

const wchar_t* const gName = L"TamrelBenchRaw";
SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
SERVICE_STATUS gStatus{};
HANDLE gStopEvent = nullptr;

// Called from the service main and from the handler; the manager serialises the handler, and the
// main thread only reports before the handler is registered and after the stop event fired.
void Report(DWORD state, DWORD checkpoint = 0) { ReportRawStatus(gStatusHandle, gStatus, state, checkpoint); }

DWORD WINAPI Handler(DWORD control, DWORD /*eventType*/, void* /*eventData*/, void* /*context*/) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        Report(SERVICE_STOP_PENDING, 1);
        SetEvent(gStopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
        Report(SERVICE_PAUSE_PENDING);
        Report(SERVICE_PAUSED);
        return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
        Report(SERVICE_CONTINUE_PENDING);
        Report(SERVICE_RUNNING);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        Report(gStatus.dwCurrentState);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) {
    gStatusHandle = RegisterServiceCtrlHandlerExW(gName, Handler, nullptr);
    if (!gStatusHandle) return;
    Report(SERVICE_START_PENDING, 1);
    gStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!gStopEvent) {
        gStatus.dwWin32ExitCode = GetLastError();
        gStatus.dwCurrentState = SERVICE_STOPPED;
        SetServiceStatus(gStatusHandle, &gStatus);
        return;
    }
    Report(SERVICE_RUNNING);
    WaitForSingleObject(gStopEvent, INFINITE);
    CloseHandle(gStopEvent);
    Report(SERVICE_STOPPED);
}

} // namespace

int wmain() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(gName), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
}
