// The floor of the library's design, for service_bench: a raw Win32 service (no library) whose
// service thread waits on its own thread-message queue. The extended handler only posts each
// request to that thread and returns, as the library's handler does; the service thread reports
// the status, pause pending then paused, stop pending then stopped. No window is made. It needs
// user32 for the queue, as the library does. service_bench installs it as TamrelBenchRawQueue.
#include "RawServiceStatus.h"

#include <windows.h>

namespace {

const wchar_t* const gName = L"TamrelBenchRawQueue";
const UINT kRequest = WM_APP + 1; // WParam: the control code
SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
SERVICE_STATUS gStatus{};
DWORD gServiceThread = 0;

// Only the service thread reports.
void Report(DWORD state, DWORD checkpoint = 0) { ReportRawStatus(gStatusHandle, gStatus, state, checkpoint); }

DWORD WINAPI Handler(DWORD control, DWORD /*eventType*/, void* /*eventData*/, void* /*context*/) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_INTERROGATE:
        PostThreadMessageW(gServiceThread, kRequest, control, 0);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) {
    // The queue exists before the handler can post to it.
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    gServiceThread = GetCurrentThreadId();
    gStatusHandle = RegisterServiceCtrlHandlerExW(gName, Handler, nullptr);
    if (!gStatusHandle) return;
    Report(SERVICE_START_PENDING, 1);
    Report(SERVICE_RUNNING);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd || msg.message != kRequest) continue;
        switch (msg.wParam) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING, 1);
            Report(SERVICE_STOPPED);
            return;
        case SERVICE_CONTROL_PAUSE:
            Report(SERVICE_PAUSE_PENDING);
            Report(SERVICE_PAUSED);
            break;
        case SERVICE_CONTROL_CONTINUE:
            Report(SERVICE_CONTINUE_PENDING);
            Report(SERVICE_RUNNING);
            break;
        case SERVICE_CONTROL_INTERROGATE:
            Report(gStatus.dwCurrentState);
            break;
        }
    }
}

} // namespace

int wmain() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(gName), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
}
