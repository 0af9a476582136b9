#include "InputChannels.h"

#include "Commands.h"
#include "Dispatcher.h"
#include "StatusLog.h"
#include "Text.h"
#include "host/Handles.h"

#include <string>

namespace tamreldbg {

namespace {

using tamrel::TFileHandle;
using tamrel::TKernelHandle;

// Takes the complete lines out of Pending (without their line ends) and hands each to Use.
template <class Char, class Use> void TakeLines(std::basic_string<Char>& pending, Use use) {
    size_t eol;
    while ((eol = pending.find(Char('\n'))) != std::basic_string<Char>::npos) {
        std::basic_string<Char> line = pending.substr(0, eol);
        pending.erase(0, eol + 1);
        if (!line.empty() && line.back() == Char('\r')) line.pop_back();
        use(line);
    }
}

// ---------------------------------------------------------------------------------------------
// Console

void ConsoleCommand(const std::wstring& line) {
    RunCommand(line, "console");
}

void ConsoleCommandUtf8(const std::string& line) {
    RunCommand(Widen(line, CP_UTF8), "console");
}

DWORD WINAPI ConsoleInputThread(LPVOID) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    const bool console = GetConsoleMode(in, &mode) != FALSE;
    std::string pending;   // bytes of an unfinished line (redirected input: UTF-8)
    std::wstring wpending; // characters of an unfinished line (console)
    for (;;) {
        DWORD n = 0;
        if (console) {
            wchar_t buf[512];
            if (!ReadConsoleW(in, buf, 512, &n, nullptr) || n == 0) break;
            wpending.append(buf, n);
            TakeLines(wpending, ConsoleCommand);
        } else {
            char buf[512];
            if (!ReadFile(in, buf, sizeof buf, &n, nullptr) || n == 0) break;
            pending.append(buf, n);
            TakeLines(pending, ConsoleCommandUtf8);
        }
    }
    if (!pending.empty()) ConsoleCommandUtf8(pending);
    if (!wpending.empty()) ConsoleCommand(wpending);
    // End of input stops nothing: under a test, stdin is the null device.
    LogLine("input source=console result=closed");
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Pipe server: one client at a time, one reply line per command line.

struct TPipeStart {
    std::wstring Name;
    HANDLE Ready; // set once the pipe exists (or could not be made); the record is gone after it
};

void ServeClient(HANDLE pipe) {
    std::string pending;
    char buf[1024];
    DWORD n = 0;
    while (ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0) {
        pending.append(buf, n);
        TakeLines(pending, [pipe](const std::string& line) {
            std::string reply = RunCommand(Widen(line, CP_UTF8), "pipe", pipe);
            if (!reply.empty()) WriteReply(pipe, reply);
        });
    }
}

DWORD WINAPI PipeThread(LPVOID param) {
    auto* start = static_cast<TPipeStart*>(param);
    const std::wstring name = start->Name;
    const std::string record = "pipe name=" + Quote(name);
    TFileHandle pipe(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                      1, 4096, 4096, 0, nullptr));
    const DWORD error = GetLastError();
    SetEvent(start->Ready);
    if (!pipe) {
        LogLine(record + " result=error error=" + Dec(error));
        return 0;
    }
    LogLine(record + " result=listening");
    for (;;) {
        if (!ConnectNamedPipe(pipe.Get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            LogLine(record + " result=error error=" + Dec(GetLastError()));
            Sleep(100);
            continue;
        }
        LogLine(record + " result=connected");
        ServeClient(pipe.Get());
        FlushFileBuffers(pipe.Get());
        DisconnectNamedPipe(pipe.Get());
        LogLine(record + " result=disconnected");
    }
}

// The input threads live for the rest of the process, so the library must too.
void PinLibrary() {
    HMODULE self;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinLibrary), &self);
}

BOOL WINAPI ConsoleCtrlHandler(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    auto r = std::make_shared<TRequest>();
    r->Kind = TRequest::rkQuit;
    r->Source = "ctrl-c";
    Submit(r, false);
    return TRUE;
}

} // namespace

void StartChannels() {
    {
        TLocked lock;
        if (State().ChannelsStarted) return;
        State().ChannelsStarted = true;
    }
    PinLibrary();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in && in != INVALID_HANDLE_VALUE) {
        // The reader runs on for the life of the process; its handle is not needed.
        TKernelHandle reader(CreateThread(nullptr, 0, ConsoleInputThread, nullptr, 0, nullptr));
    }
    std::wstring name = EnvironmentValue(L"TAMRELDBG_PIPE");
    if (name.empty()) return;
    if (name.rfind(L"\\\\", 0) != 0) name = L"\\\\.\\pipe\\" + name;
    TKernelHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TPipeStart start{name, ready.Get()};
    // Services start only once the pipe exists, so a client that finds it misses nothing.
    if (TKernelHandle thread{CreateThread(nullptr, 0, PipeThread, &start, 0, nullptr)})
        WaitForSingleObject(ready.Get(), INFINITE);
}

TConsoleQuit::TConsoleQuit() {
    SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
}

TConsoleQuit::~TConsoleQuit() {
    SetConsoleCtrlHandler(ConsoleCtrlHandler, FALSE);
}

} // namespace tamreldbg
