// A minimal service program that talks to the manager through the wrapper layer only: the
// dispatcher, the plain handler and status reports. WinSvc_test runs it with /debug (the debug
// library plays the manager) and under Wine's real manager.
//
//   /names:A,B        the services of its table (up to four; default TamrelTinySvc)
//   /accept:0x7,0x5   the controls its services accept once running, one mask per service
//                     of /names (the last one for the rest; default 0x7)
//   /evidence:FILE    where it writes what happened, one line each (a service started by the
//                     manager has no stdout or stderr)
//   /ctrlc            takes a console of its own and presses Ctrl+C in it once the manager has
//                     taken every service's running report
//
// Evidence lines: "dispatcher start", "main NAME argc=N argv0=NAME", "register NAME ok=1",
// "handler NAME code=N ondispatcher=0|1", "main NAME returns", "dispatcher returned ok=1 error=0".
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_WinSvc.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace tamrel;

namespace {

constexpr int KMaxServices = 4;

struct TTinyService {
    std::wstring Name;
    DWORD Accept = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
    SERVICE_STATUS_HANDLE StatusHandle = nullptr;
    SERVICE_STATUS Status{};
    DWORD Reported = 0; // the last state the manager took: it refuses a stop while starting
    HANDLE StopEvent = nullptr;
};

std::vector<TTinyService> GServices;

std::vector<std::wstring> SplitList(const std::wstring& text) {
    std::vector<std::wstring> items;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(L',', start);
        items.push_back(text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        if (comma == std::wstring::npos) return items;
        start = comma + 1;
    }
}
DWORD GDispatcherThread = 0;
std::wstring GEvidence;
CRITICAL_SECTION GLock;

void Evidence(const std::wstring& line) {
    EnterCriticalSection(&GLock);
    std::string bytes = WideToUtf8(line) + "\r\n";
    HANDLE f = CreateFileW(GEvidence.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD n;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(f);
    }
    LeaveCriticalSection(&GLock);
}

void Report(TTinyService& s, DWORD state, DWORD accepted, DWORD checkpoint) {
    EnterCriticalSection(&GLock);
    s.Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.Status.dwCurrentState = state;
    s.Status.dwControlsAccepted = accepted;
    s.Status.dwCheckPoint = checkpoint;
    s.Status.dwWaitHint =
        state == SERVICE_RUNNING || state == SERVICE_STOPPED || state == SERVICE_PAUSED ? 0 : 3000;
    SERVICE_STATUS copy = s.Status;
    LeaveCriticalSection(&GLock);
    if (!RkSetServiceStatus(s.StatusHandle, &copy)) {
        Evidence(L"status " + s.Name + L" failed error=" + IntToStr(GetLastError()));
        return;
    }
    EnterCriticalSection(&GLock);
    s.Reported = state;
    LeaveCriticalSection(&GLock);
}

void Handle(int index, DWORD code) {
    TTinyService& s = GServices[static_cast<size_t>(index)];
    Evidence(L"handler " + s.Name + L" code=" + IntToStr(code) + L" ondispatcher=" +
             (GetCurrentThreadId() == GDispatcherThread ? L"1" : L"0"));
    switch (code) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PRESHUTDOWN:
        Report(s, SERVICE_STOP_PENDING, 0, 1);
        SetEvent(s.StopEvent);
        break;
    case SERVICE_CONTROL_PAUSE:
        Report(s, SERVICE_PAUSED, s.Accept, 0);
        break;
    case SERVICE_CONTROL_CONTINUE:
        Report(s, SERVICE_RUNNING, s.Accept, 0);
        break;
    case SERVICE_CONTROL_INTERROGATE:
        Report(s, s.Status.dwCurrentState, s.Status.dwControlsAccepted, 0);
        break;
    default:
        break;
    }
}

// The plain handler carries no context: one entry point per table slot.
template <int I> void WINAPI Handler(DWORD code) {
    Handle(I, code);
}
const LPHANDLER_FUNCTION GHandlers[KMaxServices] = {Handler<0>, Handler<1>, Handler<2>, Handler<3>};

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
    std::wstring name = argc > 0 && argv && argv[0] ? argv[0] : L"";
    Evidence(L"main " + name + L" argc=" + IntToStr(argc) + L" argv0=" + name);
    int index = -1;
    for (size_t i = 0; i < GServices.size(); ++i)
        if (SameText(GServices[i].Name, name)) index = static_cast<int>(i);
    if (index < 0) return;
    TTinyService& s = GServices[static_cast<size_t>(index)];
    s.StatusHandle = RkRegisterServiceCtrlHandler(s.Name.c_str(), GHandlers[index]);
    Evidence(L"register " + s.Name + L" ok=" + (s.StatusHandle ? L"1" : L"0") + L" error=" +
             IntToStr(s.StatusHandle ? 0 : GetLastError()));
    if (!s.StatusHandle) return;
    Report(s, SERVICE_START_PENDING, 0, 1);
    Report(s, SERVICE_RUNNING, s.Accept, 0);
    WaitForSingleObject(s.StopEvent, INFINITE);
    Evidence(L"main " + s.Name + L" returns");
    Report(s, SERVICE_STOPPED, 0, 0);
}

DWORD WINAPI PressCtrlC(LPVOID) {
    for (;;) {
        bool running = true;
        EnterCriticalSection(&GLock);
        for (const auto& s : GServices)
            running = running && s.Reported == SERVICE_RUNNING;
        LeaveCriticalSection(&GLock);
        if (running) break;
        Sleep(20);
    }
    Evidence(L"ctrl-c pressed=" + IntToStr(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? 1 : 0));
    return 0;
}

} // namespace

int wmain() {
    InitializeCriticalSection(&GLock);
    GDispatcherThread = GetCurrentThreadId();
    TamrelFindParameter(L"evidence", GEvidence);
    if (GEvidence.empty()) GEvidence = L"NUL";
    std::wstring names, accept;
    if (!TamrelFindParameter(L"names", names) || names.empty()) names = L"TamrelTinySvc";
    std::vector<std::wstring> masks;
    if (TamrelFindParameter(L"accept", accept)) masks = SplitList(accept);
    for (const std::wstring& name : SplitList(names)) {
        if (GServices.size() == KMaxServices) break;
        TTinyService s;
        s.Name = name;
        if (!masks.empty())
            s.Accept = static_cast<DWORD>(StrToInt(masks[std::min(GServices.size(), masks.size() - 1)]));
        s.StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        GServices.push_back(s);
    }
    std::vector<SERVICE_TABLE_ENTRYW> table;
    for (auto& s : GServices)
        table.push_back({s.Name.data(), ServiceMain});
    table.push_back({nullptr, nullptr});

    if (TamrelFindCommand(L"ctrlc")) {
        // Ctrl+C goes to every process of a console: it needs one of our own. The tests start us
        // with a windowless console of our own; a console made here would be a window that comes
        // to the front of the test display, so one is made only when we were started without.
        if (GetConsoleCP() == 0) Evidence(L"console ok=" + IntToStr(AllocConsole() ? 1 : 0));
        CloseHandle(CreateThread(nullptr, 0, PressCtrlC, nullptr, 0, nullptr));
    }
    Evidence(L"dispatcher start");
    BOOL ok = FALSE;
    DWORD error = 0;
    try {
        ok = RkStartServiceCtrlDispatcher(table.data());
        error = ok ? 0 : GetLastError();
    } catch (const Exception& e) {
        Evidence(L"dispatcher exception [" + e.Message() + L"]");
        return 3;
    }
    Evidence(L"dispatcher returned ok=" + IntToStr(ok ? 1 : 0) + L" error=" + IntToStr(error));
    return ok ? 0 : 1;
}
