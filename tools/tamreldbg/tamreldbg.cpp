// tamreldbg: plays the service control manager for a service program started with /debug, so
// that its services run, and can be stepped through and driven, as an ordinary console process.
//
// The program's service layer binds the exports below instead of the real manager calls. The
// dispatcher runs every entry of the service table at once, each main routine on its own thread
// with the service name as argv[0]; it delivers control requests to the registered handlers on
// its own thread, one at a time, and returns when every service has stopped.
//
// Control requests come from the console (one command a line on stdin), from a named pipe whose
// name is in TAMRELDBG_PIPE ("\\.\pipe\name" or just "name"), and from Ctrl+C. End of input on
// stdin stops nothing. Commands (NAME = a service of the table, case ignored):
//
//   stop NAME | pause NAME | continue NAME | interrogate NAME | paramchange NAME
//   netbind NAME add|remove|enable|disable
//   power NAME TYPE                         a power event of event type TYPE (decimal or 0x hex);
//                                           needs the extended handler
//   shutdown [NAME] | preshutdown [NAME]    every running service that accepts it, or NAME
//   control NAME CODE                       CODE (decimal or 0x hex) as it is, accepted or not
//   quit                                    stop requests to every service, then the dispatcher
//                                           returns; a second quit (or Ctrl+C) returns at once
//   status [NAME]                           the last reported status
//   wait NAME STATE [MS]                    until NAME reports STATE (name or number); 10000 ms
//   help
//
// A named command for a control that the service has not accepted is refused with 1052, as the
// real manager does; a stopped service refuses with 1062, an unknown name with 1060, a service
// without a handler (or one stopping or starting) with 1061. `control` skips those acceptance
// checks. Ctrl+C (and Ctrl+Break, console close) acts as quit.
//
// The pipe answers each command line with one line: the outcome line of the log below, without
// the "tamreldbg: " prefix.
//
// Log: every line goes to stderr and, when TAMRELDBG_LOG names a file, is appended to that file
// (UTF-8, CR LF). Each line is "tamreldbg: " followed by a record; fields are key=value,
// separated by one blank; texts are double-quoted with \" \\ \r \n \t \xNN escapes, or nil;
// numbers flagged 0x are hexadecimal, the rest decimal. Records:
//
//   dispatcher start services=2 names="A,B" variant=full
//   dispatcher return result=ok|forced
//   dispatcher result=refused error=87|1056                (bad table, second dispatcher)
//   main NAME start argc=1 | main NAME returned | main NAME result=exception
//   main NAME result=running                               (5 s after the dispatcher ended)
//   register NAME handle=0x... [kind=extended] result=ok | register NAME result=refused error=1083
//   status NAME state=RUNNING(4) accepted=0x5 checkpoint=0 waithint=3000 win32exit=0 specificexit=0 type=0x10
//   status handle=0x... result=refused error=6|13|87
//   control NAME code=1(STOP) source=pipe|console|ctrl-c result=accepted|refused error=1052|exception
//   control NAME code=13(POWEREVENT) eventtype=4 source=pipe result=accepted   (a power event)
//       (logged when the handler has returned, after the status reports it made)
//   quit source=pipe result=accepted stopping=1 abandoned=0 | quit source=.. result=forced
//   shutdown source=pipe result=done delivered=2 refused=0   (also preshutdown)
//   abandon NAME state=START_PENDING(2)                      (refused the stop of a quit)
//   wait NAME state=RUNNING(4) result=reached | result=timeout error=1460 state=...
//   command source=pipe text="..." result=refused error=87   (unknown or malformed command)
//   input source=console result=closed
//   pipe name="\\\\.\\pipe\\x" result=listening|connected|disconnected|error error=N
//   openscmanager machine=nil database=nil access=0xF003F handle=0x... result=ok
//   createservice NAME display="..." access=0x... type=0x10 start=3 errorcontrol=1 path="..."
//       group=nil tag=0 dependencies="A,+G" account=nil password=yes|no handle=0x... result=ok
//   changeserviceconfig2 NAME form=W|A level=1 description="..." result=ok
//       (level=2 resetperiod=N rebootmsg=".." command=".." actions=TYPE:DELAY,...;
//        level=3 delayedautostart=0|1; level=4 failureactionsflag=0|1;
//        level=7 preshutdowntimeout=N; info=nil when no record was passed)
//   closeservicehandle handle=0x... kind=manager|service name=NAME result=ok
//   event send=checkpoint form=A|W text="..." data=N time=HH:MM:SS.mmm
//   event send=clear-to-checkpoint time=... | event send=clear-all time=...
//   event send=value form=A|W kind=info|warning|error text="..." value=I4:42 data=N time=...
//   event send=method-enter|method-leave form=A|W text="..." data=N time=...
//   event send=message form=A|W kind=info|warning|error text="..." data=N time=...
//
// Answers to status queries are not logged: they would read as status reports. Passwords are
// never logged.
//
// Values print as TYPE:TEXT (BSTR text quoted), EMPTY or NULL.
//
// Refused calls of the exports set the last error as the real functions do, and log the record
// with result=refused error=N.

#include <windows.h>
#include <oleauto.h>
#include <winsvc.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#ifndef TAMRELDBG_VARIANT
#define TAMRELDBG_VARIANT "full"
#endif

namespace {

enum TDebugEventKind { dekInfo, dekWarning, dekError };
using TDebugEventData = UINT_PTR;

// ---------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------

std::string Utf8(std::wstring_view s) {
    if (s.empty()) return {};
    int n =
        WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr);
    return r;
}

std::wstring Widen(std::string_view s, UINT codePage) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

std::string Quote(std::wstring_view s) {
    std::string r = "\"";
    for (char c : Utf8(s)) {
        switch (c) {
        case '"':
            r += "\\\"";
            break;
        case '\\':
            r += "\\\\";
            break;
        case '\r':
            r += "\\r";
            break;
        case '\n':
            r += "\\n";
            break;
        case '\t':
            r += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
                r += buf;
            } else {
                r.push_back(c);
            }
        }
    }
    return r + "\"";
}

std::string QuoteW(const wchar_t* s) {
    return s ? Quote(s) : "nil";
}
std::string QuoteA(const char* s) {
    return s ? Quote(Widen(s, CP_ACP)) : "nil";
}

std::string Dec(uint64_t v) {
    return std::to_string(v);
}

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string Ptr(const void* p) {
    return Hex(reinterpret_cast<uintptr_t>(p));
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

const char* StateName(DWORD state) {
    static const char* const names[] = {"STOPPED",          "START_PENDING", "STOP_PENDING", "RUNNING",
                                        "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    return state >= 1 && state <= 7 ? names[state - 1] : "UNKNOWN";
}

std::string StateText(DWORD state) {
    return std::string(StateName(state)) + "(" + Dec(state) + ")";
}

bool ParseState(const std::wstring& text, DWORD& state) {
    for (DWORD s = 1; s <= 7; ++s)
        if (SameName(text, Widen(StateName(s), CP_ACP))) {
            state = s;
            return true;
        }
    wchar_t* end = nullptr;
    unsigned long v = wcstoul(text.c_str(), &end, 0);
    if (text.empty() || *end || v < 1 || v > 7) return false;
    state = v;
    return true;
}

std::string ControlText(DWORD code) {
    const char* name;
    switch (code) {
    case SERVICE_CONTROL_STOP:
        name = "STOP";
        break;
    case SERVICE_CONTROL_PAUSE:
        name = "PAUSE";
        break;
    case SERVICE_CONTROL_CONTINUE:
        name = "CONTINUE";
        break;
    case SERVICE_CONTROL_INTERROGATE:
        name = "INTERROGATE";
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        name = "SHUTDOWN";
        break;
    case SERVICE_CONTROL_PARAMCHANGE:
        name = "PARAMCHANGE";
        break;
    case SERVICE_CONTROL_NETBINDADD:
        name = "NETBINDADD";
        break;
    case SERVICE_CONTROL_NETBINDREMOVE:
        name = "NETBINDREMOVE";
        break;
    case SERVICE_CONTROL_NETBINDENABLE:
        name = "NETBINDENABLE";
        break;
    case SERVICE_CONTROL_NETBINDDISABLE:
        name = "NETBINDDISABLE";
        break;
    case SERVICE_CONTROL_DEVICEEVENT:
        name = "DEVICEEVENT";
        break;
    case SERVICE_CONTROL_HARDWAREPROFILECHANGE:
        name = "HARDWAREPROFILECHANGE";
        break;
    case SERVICE_CONTROL_POWEREVENT:
        name = "POWEREVENT";
        break;
    case SERVICE_CONTROL_SESSIONCHANGE:
        name = "SESSIONCHANGE";
        break;
    case SERVICE_CONTROL_PRESHUTDOWN:
        name = "PRESHUTDOWN";
        break;
    default:
        name = code >= 128 && code <= 255 ? "CUSTOM" : "OTHER";
    }
    return Dec(code) + "(" + name + ")";
}

// The accept bit a named control needs; 0 = always deliverable (interrogate).
DWORD AcceptBitOf(DWORD code) {
    switch (code) {
    case SERVICE_CONTROL_STOP:
        return SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_SHUTDOWN:
        return SERVICE_ACCEPT_SHUTDOWN;
    case SERVICE_CONTROL_PARAMCHANGE:
        return SERVICE_ACCEPT_PARAMCHANGE;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return SERVICE_ACCEPT_NETBINDCHANGE;
    case SERVICE_CONTROL_PRESHUTDOWN:
        return SERVICE_ACCEPT_PRESHUTDOWN;
    case SERVICE_CONTROL_POWEREVENT:
        return SERVICE_ACCEPT_POWEREVENT;
    default:
        return 0;
    }
}

std::string NowText() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return buf;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

// ---------------------------------------------------------------------------------------------
// Log
// ---------------------------------------------------------------------------------------------

class TLog {
public:
    TLog() { InitializeCriticalSection(&FLock); }

    void Line(const std::string& record) {
        std::string line = "tamreldbg: " + record + "\r\n";
        EnterCriticalSection(&FLock);
        if (!FOpened) Open();
        DWORD n;
        HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        if (err && err != INVALID_HANDLE_VALUE) {
            DWORD mode;
            if (GetConsoleMode(err, &mode)) {
                std::wstring w = Widen(line, CP_UTF8);
                WriteConsoleW(err, w.data(), static_cast<DWORD>(w.size()), &n, nullptr);
            } else {
                WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
            }
        }
        if (FFile != INVALID_HANDLE_VALUE)
            WriteFile(FFile, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
        LeaveCriticalSection(&FLock);
    }

private:
    void Open() {
        FOpened = true;
        std::wstring path = EnvironmentValue(L"TAMRELDBG_LOG");
        if (path.empty()) return;
        FFile = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    CRITICAL_SECTION FLock;
    bool FOpened = false;
    HANDLE FFile = INVALID_HANDLE_VALUE;
};

// Never destroyed: threads of the library may still log while the process ends.
TLog& Log() {
    static TLog* log = new TLog;
    return *log;
}

// ---------------------------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------------------------

struct TService {
    std::wstring Name;
    LPSERVICE_MAIN_FUNCTIONW Main = nullptr;
    LPHANDLER_FUNCTION Handler = nullptr;
    // The extended handler and its context, when the service registered that one instead.
    LPHANDLER_FUNCTION_EX HandlerEx = nullptr;
    void* Context = nullptr;
    SERVICE_STATUS Status{};
    bool MainReturned = false;
    bool Abandoned = false;
    HANDLE Thread = nullptr;
    std::wstring ArgName; // argv[0] stays valid for the life of the process
    LPWSTR Argv[2] = {};

    bool Finished() const {
        return Status.dwCurrentState == SERVICE_STOPPED || Abandoned || (MainReturned && !HasHandler());
    }
    bool HasHandler() const { return Handler || HandlerEx; }
};

struct TRequest {
    enum TKind { rkControl, rkBroadcast, rkQuit } Kind = rkControl;
    std::wstring Name;
    DWORD Code = 0;
    bool Checked = true;
    bool WithEventType = false; // a power event: EventType goes to the extended handler
    DWORD EventType = 0;
    std::string Source;
    std::string Reply;
    HANDLE Done = nullptr;      // nil: nobody waits for the reply
    HANDLE ReplyPipe = nullptr; // the dispatcher writes the reply there itself
};

// One line to a pipe client.
void WriteReply(HANDLE pipe, const std::string& reply) {
    std::string line = reply + "\n";
    DWORD written;
    WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// What CreateService and friends were asked, kept for the log and for later calls.
struct TServiceRecord {
    std::wstring Name;
};

struct TScObject {
    enum TKind { okManager, okService } Kind;
    std::wstring Name;
};

struct TState {
    TState() {
        InitializeCriticalSection(&Lock);
        InitializeConditionVariable(&Changed);
    }
    CRITICAL_SECTION Lock;
    CONDITION_VARIABLE Changed; // a status, a main routine, the request queue or the run changed
    bool DispatcherRunning = false;
    bool Stopping = false;
    bool Forced = false;
    std::vector<std::unique_ptr<TService>> Services; // of every run; status handles stay valid
    std::vector<TService*> Current;
    std::deque<std::shared_ptr<TRequest>> Queue;
    bool ChannelsStarted = false;
    std::wstring PipeName;
    std::vector<std::unique_ptr<TScObject>> Objects;
    std::map<std::wstring, TServiceRecord> Records; // by lower-case name
    DWORD NextTag = 1;
};

// Never destroyed, like the log.
TState& State() {
    static TState* state = new TState;
    return *state;
}

class TLocked {
public:
    TLocked() { EnterCriticalSection(&State().Lock); }
    ~TLocked() { LeaveCriticalSection(&State().Lock); }
    TLocked(const TLocked&) = delete;
    TLocked& operator=(const TLocked&) = delete;
};

// Under the lock.
TService* FindCurrent(const std::wstring& name) {
    for (TService* s : State().Current)
        if (SameName(s->Name, name)) return s;
    return nullptr;
}

// Under the lock: the latest service of that name, of this run or an earlier one.
TService* FindLatest(const std::wstring& name) {
    auto& all = State().Services;
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (SameName((*it)->Name, name)) return it->get();
    return nullptr;
}

TService* FindByHandle(SERVICE_STATUS_HANDLE h) {
    for (auto& s : State().Services)
        if (reinterpret_cast<SERVICE_STATUS_HANDLE>(s.get()) == h) return s.get();
    return nullptr;
}

TScObject* FindObject(SC_HANDLE h) {
    for (auto& o : State().Objects)
        if (reinterpret_cast<SC_HANDLE>(o.get()) == h) return o.get();
    return nullptr;
}

std::string StatusRecord(const TService& s) {
    const SERVICE_STATUS& st = s.Status;
    return "status " + Utf8(s.Name) + " state=" + StateText(st.dwCurrentState) +
           " accepted=" + Hex(st.dwControlsAccepted) + " checkpoint=" + Dec(st.dwCheckPoint) +
           " waithint=" + Dec(st.dwWaitHint) + " win32exit=" + Dec(st.dwWin32ExitCode) +
           " specificexit=" + Dec(st.dwServiceSpecificExitCode) + " type=" + Hex(st.dwServiceType);
}

// Logs a record and answers it, for the pipe.
std::string Outcome(const std::string& record) {
    Log().Line(record);
    return record;
}

std::string Refused(const std::string& record, DWORD error) {
    return Outcome(record + " result=refused error=" + Dec(error));
}

// ---------------------------------------------------------------------------------------------
// Control delivery (dispatcher thread)
// ---------------------------------------------------------------------------------------------

// Delivers one control to one service, on the calling (dispatcher) thread. Error 0 = delivered.
std::string Deliver(const std::wstring& name, DWORD code, bool checked, const std::string& source,
                    DWORD* error, const DWORD* eventType = nullptr) {
    const std::string record = "control " + Utf8(name) + " code=" + ControlText(code) +
                               (eventType ? " eventtype=" + Dec(*eventType) : std::string()) + " source=" + source;
    LPHANDLER_FUNCTION handler = nullptr;
    LPHANDLER_FUNCTION_EX handlerEx = nullptr;
    void* context = nullptr;
    DWORD refusal = 0;
    {
        TLocked lock;
        TService* s = FindCurrent(name);
        if (!s) {
            refusal = ERROR_SERVICE_DOES_NOT_EXIST;
        } else if (s->Status.dwCurrentState == SERVICE_STOPPED) {
            refusal = ERROR_SERVICE_NOT_ACTIVE;
        } else if (!s->HasHandler()) {
            refusal = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        } else if (eventType && !s->HandlerEx) {
            // Only the extended handler receives an event type.
            refusal = ERROR_INVALID_SERVICE_CONTROL;
        } else if (checked) {
            DWORD bit = AcceptBitOf(code);
            DWORD state = s->Status.dwCurrentState;
            if (bit && !(s->Status.dwControlsAccepted & bit))
                refusal = ERROR_INVALID_SERVICE_CONTROL;
            else if (code != SERVICE_CONTROL_INTERROGATE &&
                     (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING))
                refusal = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        }
        if (s) {
            handler = s->Handler;
            handlerEx = s->HandlerEx;
            context = s->Context;
        }
    }
    if (error) *error = refusal;
    if (refusal) return Refused(record, refusal);
    try {
        if (handlerEx) handlerEx(code, eventType ? *eventType : 0, nullptr, context);
        else handler(code);
    } catch (...) {
        if (error) *error = ERROR_EXCEPTION_IN_SERVICE;
        return Outcome(record + " result=exception");
    }
    return Outcome(record + " result=accepted");
}

std::string Broadcast(const TRequest& r) {
    std::vector<std::wstring> targets;
    {
        TLocked lock;
        for (TService* s : State().Current)
            if (s->Status.dwCurrentState != SERVICE_STOPPED &&
                (s->Status.dwControlsAccepted & AcceptBitOf(r.Code)))
                targets.push_back(s->Name);
    }
    int delivered = 0, refused = 0;
    for (const auto& name : targets) {
        DWORD error = 0;
        Deliver(name, r.Code, true, r.Source, &error);
        (error ? refused : delivered)++;
    }
    const char* verb = r.Code == SERVICE_CONTROL_SHUTDOWN ? "shutdown" : "preshutdown";
    return Outcome(std::string(verb) + " source=" + r.Source + " result=done delivered=" + Dec(delivered) +
                   " refused=" + Dec(refused));
}

std::string Quit(const std::string& source) {
    std::vector<std::wstring> targets;
    {
        TLocked lock;
        if (State().Stopping) {
            State().Forced = true;
            return Outcome("quit source=" + source + " result=forced");
        }
        State().Stopping = true;
        for (TService* s : State().Current)
            if (!s->Finished()) targets.push_back(s->Name);
    }
    int abandoned = 0;
    for (const auto& name : targets) {
        DWORD error = 0;
        Deliver(name, SERVICE_CONTROL_STOP, true, source, &error);
        if (!error) continue;
        TLocked lock;
        if (TService* s = FindCurrent(name); s && !s->Finished()) {
            s->Abandoned = true;
            ++abandoned;
            Log().Line("abandon " + Utf8(name) + " state=" + StateText(s->Status.dwCurrentState));
        }
    }
    return Outcome("quit source=" + source + " result=accepted stopping=" + Dec(targets.size() - abandoned) +
                   " abandoned=" + Dec(abandoned));
}

std::string Execute(const TRequest& r) {
    switch (r.Kind) {
    case TRequest::rkControl:
        return Deliver(r.Name, r.Code, r.Checked, r.Source, nullptr, r.WithEventType ? &r.EventType : nullptr);
    case TRequest::rkBroadcast:
        return Broadcast(r);
    case TRequest::rkQuit:
        return Quit(r.Source);
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Commands (input threads)
// ---------------------------------------------------------------------------------------------

std::vector<std::wstring> Tokenize(const std::wstring& line) {
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && iswspace(line[i]))
            ++i;
        if (i >= line.size()) break;
        std::wstring word;
        if (line[i] == L'"') {
            ++i;
            while (i < line.size() && line[i] != L'"')
                word.push_back(line[i++]);
            ++i;
        } else {
            while (i < line.size() && !iswspace(line[i]))
                word.push_back(line[i++]);
        }
        words.push_back(word);
    }
    return words;
}

bool ParseCode(const std::wstring& text, DWORD& code) {
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long v = wcstoul(text.c_str(), &end, 0);
    if (text.empty() || *end || errno) return false;
    code = v;
    return true;
}

// Hands a request to the dispatcher; waits for the reply when asked to. A reply the dispatcher
// wrote to the request's pipe itself comes back empty.
std::string Submit(std::shared_ptr<TRequest> r, bool wait) {
    if (wait) r->Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        TLocked lock;
        if (!State().DispatcherRunning) {
            if (r->Done) CloseHandle(r->Done);
            std::string verb = r->Kind == TRequest::rkQuit ? "quit" : "control " + Utf8(r->Name);
            return Refused(verb + " source=" + r->Source, ERROR_SERVICE_NOT_ACTIVE);
        }
        State().Queue.push_back(r);
        WakeAllConditionVariable(&State().Changed);
    }
    if (!wait) return {};
    WaitForSingleObject(r->Done, INFINITE);
    CloseHandle(r->Done);
    TLocked lock;
    return r->ReplyPipe ? std::string() : r->Reply;
}

std::string StatusCommand(const std::vector<std::wstring>& w) {
    TLocked lock;
    if (w.size() < 2) {
        return "status services=" + Dec(State().Current.size()) +
               " dispatcher=" + (State().DispatcherRunning ? "running" : "idle");
    }
    TService* s = FindLatest(w[1]);
    if (!s) return "status " + Utf8(w[1]) + " result=refused error=" + Dec(ERROR_SERVICE_DOES_NOT_EXIST);
    return StatusRecord(*s);
}

std::string WaitCommand(const std::vector<std::wstring>& w, const std::string& source) {
    DWORD target = 0, timeout = 10000;
    if (w.size() < 3 || !ParseState(w[2], target) || (w.size() > 3 && !ParseCode(w[3], timeout))) return "";
    const std::string record = "wait " + Utf8(w[1]);
    const DWORD start = GetTickCount();
    TLocked lock;
    for (;;) {
        TService* s = FindLatest(w[1]);
        if (!s) return Refused(record + " source=" + source, ERROR_SERVICE_DOES_NOT_EXIST);
        const DWORD state = s->Status.dwCurrentState;
        if (state == target) return Outcome(record + " state=" + StateText(state) + " result=reached");
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout)
            return Outcome(record + " result=timeout error=" + Dec(ERROR_TIMEOUT) +
                           " state=" + StateText(state));
        SleepConditionVariableCS(&State().Changed, &State().Lock, timeout - elapsed);
    }
}

const char GHelp[] = "commands: stop|pause|continue|interrogate|paramchange NAME; netbind NAME "
                     "add|remove|enable|disable; power NAME TYPE; shutdown|preshutdown [NAME]; "
                     "control NAME CODE; quit; "
                     "status [NAME]; wait NAME STATE [MS]; help";

// Runs one command line; answers the outcome record ("" for a blank line, or when the dispatcher
// already wrote it to the pipe).
std::string Command(const std::wstring& line, const std::string& source, HANDLE pipe = nullptr) {
    std::vector<std::wstring> w = Tokenize(line);
    if (w.empty()) return {};
    const std::wstring verb = Lower(w[0]);
    const std::string invalid = "command source=" + source + " text=" + Quote(line);
    auto r = std::make_shared<TRequest>();
    r->Source = source;
    r->ReplyPipe = pipe;

    static const std::map<std::wstring, DWORD> named = {
        {L"stop", SERVICE_CONTROL_STOP},
        {L"pause", SERVICE_CONTROL_PAUSE},
        {L"continue", SERVICE_CONTROL_CONTINUE},
        {L"interrogate", SERVICE_CONTROL_INTERROGATE},
        {L"paramchange", SERVICE_CONTROL_PARAMCHANGE},
    };
    static const std::map<std::wstring, DWORD> netbind = {
        {L"add", SERVICE_CONTROL_NETBINDADD},
        {L"remove", SERVICE_CONTROL_NETBINDREMOVE},
        {L"enable", SERVICE_CONTROL_NETBINDENABLE},
        {L"disable", SERVICE_CONTROL_NETBINDDISABLE},
    };

    if (auto it = named.find(verb); it != named.end() && w.size() == 2) {
        r->Name = w[1];
        r->Code = it->second;
    } else if (verb == L"netbind" && w.size() == 3 && netbind.count(Lower(w[2]))) {
        r->Name = w[1];
        r->Code = netbind.at(Lower(w[2]));
    } else if (verb == L"power" && w.size() == 3 && ParseCode(w[2], r->EventType)) {
        r->Name = w[1];
        r->Code = SERVICE_CONTROL_POWEREVENT;
        r->WithEventType = true;
    } else if (verb == L"control" && w.size() == 3 && ParseCode(w[2], r->Code)) {
        r->Name = w[1];
        r->Checked = false;
    } else if ((verb == L"shutdown" || verb == L"preshutdown") && w.size() <= 2) {
        r->Code = verb == L"shutdown" ? SERVICE_CONTROL_SHUTDOWN : SERVICE_CONTROL_PRESHUTDOWN;
        if (w.size() == 2)
            r->Name = w[1];
        else
            r->Kind = TRequest::rkBroadcast;
    } else if (verb == L"quit" && w.size() == 1) {
        r->Kind = TRequest::rkQuit;
    } else if (verb == L"status" && w.size() <= 2) {
        return StatusCommand(w);
    } else if (verb == L"wait") {
        std::string reply = WaitCommand(w, source);
        if (reply.empty()) return Refused(invalid, ERROR_INVALID_PARAMETER);
        return reply;
    } else if (verb == L"help") {
        return GHelp;
    } else {
        return Refused(invalid, ERROR_INVALID_PARAMETER);
    }
    return Submit(r, true);
}

DWORD WINAPI ConsoleInputThread(LPVOID) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    const bool console = GetConsoleMode(in, &mode) != FALSE;
    std::string pending;   // bytes of an unfinished line (redirected input: UTF-8)
    std::wstring wpending; // characters of an unfinished line (console)
    for (;;) {
        if (console) {
            wchar_t buf[512];
            DWORD n = 0;
            if (!ReadConsoleW(in, buf, 512, &n, nullptr) || n == 0) break;
            wpending.append(buf, n);
            size_t eol;
            while ((eol = wpending.find(L'\n')) != std::wstring::npos) {
                std::wstring line = wpending.substr(0, eol);
                wpending.erase(0, eol + 1);
                if (!line.empty() && line.back() == L'\r') line.pop_back();
                Command(line, "console");
            }
        } else {
            char buf[512];
            DWORD n = 0;
            if (!ReadFile(in, buf, sizeof buf, &n, nullptr) || n == 0) break;
            pending.append(buf, n);
            size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                Command(Widen(line, CP_UTF8), "console");
            }
        }
    }
    if (!pending.empty()) Command(Widen(pending, CP_UTF8), "console");
    if (!wpending.empty()) Command(wpending, "console");
    // End of input stops nothing: under a test, stdin is the null device.
    Log().Line("input source=console result=closed");
    return 0;
}

struct TPipeStart {
    std::wstring Name;
    HANDLE Ready;
};

DWORD WINAPI PipeThread(LPVOID param) {
    auto* start = static_cast<TPipeStart*>(param);
    const std::wstring name = start->Name;
    const std::string quoted = Quote(name);
    HANDLE pipe =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                         4096, 4096, 0, nullptr);
    const DWORD error = GetLastError();
    SetEvent(start->Ready); // start is gone after this
    if (pipe == INVALID_HANDLE_VALUE) {
        Log().Line("pipe name=" + quoted + " result=error error=" + Dec(error));
        return 0;
    }
    Log().Line("pipe name=" + quoted + " result=listening");
    for (;;) {
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            Log().Line("pipe name=" + quoted + " result=error error=" + Dec(GetLastError()));
            Sleep(100);
            continue;
        }
        Log().Line("pipe name=" + quoted + " result=connected");
        std::string pending;
        char buf[1024];
        DWORD n = 0;
        while (ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0) {
            pending.append(buf, n);
            size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                std::string reply = Command(Widen(line, CP_UTF8), "pipe", pipe);
                if (!reply.empty()) WriteReply(pipe, reply);
            }
        }
        FlushFileBuffers(pipe);
        DisconnectNamedPipe(pipe);
        Log().Line("pipe name=" + quoted + " result=disconnected");
    }
}

// The input threads live for the rest of the process, so the library must too.
void PinLibrary() {
    HMODULE self;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinLibrary), &self);
}

void StartChannels() {
    {
        TLocked lock;
        if (State().ChannelsStarted) return;
        State().ChannelsStarted = true;
    }
    PinLibrary();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in && in != INVALID_HANDLE_VALUE) {
        if (HANDLE t = CreateThread(nullptr, 0, ConsoleInputThread, nullptr, 0, nullptr)) CloseHandle(t);
    }
    std::wstring name = EnvironmentValue(L"TAMRELDBG_PIPE");
    if (name.empty()) return;
    if (name.rfind(L"\\\\", 0) != 0) name = L"\\\\.\\pipe\\" + name;
    TPipeStart start{name, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Services start only once the pipe exists, so a client that finds it misses nothing.
    if (HANDLE t = CreateThread(nullptr, 0, PipeThread, &start, 0, nullptr)) {
        WaitForSingleObject(start.Ready, INFINITE);
        CloseHandle(t);
    }
    CloseHandle(start.Ready);
}

BOOL WINAPI ConsoleCtrlHandler(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    auto r = std::make_shared<TRequest>();
    r->Kind = TRequest::rkQuit;
    r->Source = "ctrl-c";
    Submit(r, false);
    return TRUE;
}

DWORD WINAPI ServiceThread(LPVOID param) {
    auto* s = static_cast<TService*>(param);
    Log().Line("main " + Utf8(s->Name) + " start argc=1");
    try {
        s->Main(1, s->Argv);
        Log().Line("main " + Utf8(s->Name) + " returned");
    } catch (...) {
        Log().Line("main " + Utf8(s->Name) + " result=exception");
    }
    TLocked lock;
    s->MainReturned = true;
    WakeAllConditionVariable(&State().Changed);
    return 0;
}

std::string JoinMultiSz(const wchar_t* p) {
    if (!p) return "nil";
    std::wstring joined;
    for (; *p; p += wcslen(p) + 1) {
        if (!joined.empty()) joined += L",";
        joined += p;
    }
    return Quote(joined);
}

// The records of the extended configuration in both forms.
template <class Description, class FailureActions, class QuoteText>
std::string ConfigText(DWORD level, const void* info, QuoteText quote) {
    if (!info) return " info=nil";
    switch (level) {
    case SERVICE_CONFIG_DESCRIPTION:
        return " description=" + quote(static_cast<const Description*>(info)->lpDescription);
    case SERVICE_CONFIG_FAILURE_ACTIONS: {
        const auto* f = static_cast<const FailureActions*>(info);
        std::string actions;
        if (f->lpsaActions) {
            for (DWORD i = 0; i < f->cActions; ++i) {
                if (i) actions += ",";
                actions += Dec(f->lpsaActions[i].Type) + ":" + Dec(f->lpsaActions[i].Delay);
            }
        } else {
            actions = "nil";
        }
        return " resetperiod=" + Dec(f->dwResetPeriod) + " rebootmsg=" + quote(f->lpRebootMsg) +
               " command=" + quote(f->lpCommand) + " actions=" + actions;
    }
    case SERVICE_CONFIG_DELAYED_AUTO_START_INFO:
        return " delayedautostart=" +
               Dec(static_cast<const SERVICE_DELAYED_AUTO_START_INFO*>(info)->fDelayedAutostart ? 1 : 0);
    case SERVICE_CONFIG_FAILURE_ACTIONS_FLAG:
        return " failureactionsflag=" +
               Dec(static_cast<const SERVICE_FAILURE_ACTIONS_FLAG*>(info)->fFailureActionsOnNonCrashFailures
                       ? 1
                       : 0);
    case SERVICE_CONFIG_PRESHUTDOWN_INFO:
        return " preshutdowntimeout=" +
               Dec(static_cast<const SERVICE_PRESHUTDOWN_INFO*>(info)->dwPreshutdownTimeout);
    default:
        return {};
    }
}

bool KnownConfigLevel(DWORD level) {
    return level >= SERVICE_CONFIG_DESCRIPTION && level <= SERVICE_CONFIG_PREFERRED_NODE;
}

BOOL ChangeConfig2(SC_HANDLE h, DWORD level, LPVOID info, bool wide) {
    std::string record;
    DWORD error = 0;
    {
        TLocked lock;
        TScObject* o = FindObject(h);
        record = "changeserviceconfig2 " + (o ? Utf8(o->Name) : std::string("?")) +
                 " form=" + (wide ? "W" : "A") + " level=" + Dec(level);
        if (!o || o->Kind != TScObject::okService)
            error = ERROR_INVALID_HANDLE;
        else if (!KnownConfigLevel(level))
            error = ERROR_INVALID_LEVEL;
    }
    if (error) {
        Refused(record + " handle=" + Ptr(h), error);
        SetLastError(error);
        return FALSE;
    }
    record += wide ? ConfigText<SERVICE_DESCRIPTIONW, SERVICE_FAILURE_ACTIONSW>(level, info, QuoteW)
                   : ConfigText<SERVICE_DESCRIPTIONA, SERVICE_FAILURE_ACTIONSA>(level, info, QuoteA);
    Outcome(record + " result=ok");
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// Records the handler of a service of the table (one of the two kinds).
SERVICE_STATUS_HANDLE RegisterHandler(LPCWSTR lpServiceName, LPHANDLER_FUNCTION handler,
                                      LPHANDLER_FUNCTION_EX handlerEx, void* context) {
    const std::string record = "register " + (lpServiceName ? Utf8(lpServiceName) : std::string("nil"));
    if (!lpServiceName || (!handler && !handlerEx)) {
        Refused(record, ERROR_INVALID_PARAMETER);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    TService* s;
    {
        TLocked lock;
        s = FindCurrent(lpServiceName);
        if (s) {
            s->Handler = handler;
            s->HandlerEx = handlerEx;
            s->Context = context;
            WakeAllConditionVariable(&State().Changed);
        }
    }
    if (!s) {
        Refused(record, ERROR_SERVICE_NOT_IN_EXE);
        SetLastError(ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    Outcome(record + " handle=" + Ptr(s) + (handlerEx ? " kind=extended" : "") + " result=ok");
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(s);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Exports
// ---------------------------------------------------------------------------------------------

extern "C" {

SERVICE_STATUS_HANDLE WINAPI DebugRegisterServiceCtrlHandlerW(LPCWSTR lpServiceName,
                                                              LPHANDLER_FUNCTION lpHandlerProc) {
    return RegisterHandler(lpServiceName, lpHandlerProc, nullptr, nullptr);
}

SERVICE_STATUS_HANDLE WINAPI DebugRegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName,
                                                                LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                                LPVOID lpContext) {
    return RegisterHandler(lpServiceName, nullptr, lpHandlerProc, lpContext);
}

BOOL WINAPI DebugSetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
    DWORD error = 0;
    {
        TLocked lock;
        TService* s = FindByHandle(hServiceStatus);
        if (!s)
            error = ERROR_INVALID_HANDLE;
        else if (!lpServiceStatus)
            error = ERROR_INVALID_PARAMETER;
        else if (lpServiceStatus->dwCurrentState < SERVICE_STOPPED ||
                 lpServiceStatus->dwCurrentState > SERVICE_PAUSED)
            error = ERROR_INVALID_DATA;
        else {
            s->Status = *lpServiceStatus;
            // Logged under the lock so that the log shows the states in the order they were set.
            Log().Line(StatusRecord(*s));
            WakeAllConditionVariable(&State().Changed);
        }
    }
    if (error) {
        Refused("status handle=" + Ptr(hServiceStatus), error);
        SetLastError(error);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI DebugStartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
    TState& st = State();
    bool valid = lpServiceStartTable && lpServiceStartTable->lpServiceName;
    for (auto* e = lpServiceStartTable; valid && e->lpServiceName; ++e)
        if (!e->lpServiceProc || !*e->lpServiceName) valid = false;
    if (!valid) {
        Refused("dispatcher", ERROR_INVALID_PARAMETER);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring names;
    {
        TLocked lock;
        if (st.DispatcherRunning) {
            Refused("dispatcher", ERROR_SERVICE_ALREADY_RUNNING);
            SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
            return FALSE;
        }
        st.DispatcherRunning = true;
        st.Stopping = st.Forced = false;
        st.Current.clear();
        for (auto* e = lpServiceStartTable; e->lpServiceName; ++e) {
            auto s = std::make_unique<TService>();
            s->Name = e->lpServiceName;
            s->Main = e->lpServiceProc;
            s->ArgName = s->Name;
            s->Argv[0] = s->ArgName.data();
            // The manager reports a service as starting until it says otherwise.
            s->Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
            s->Status.dwCurrentState = SERVICE_START_PENDING;
            st.Current.push_back(s.get());
            st.Services.push_back(std::move(s));
            if (!names.empty()) names += L",";
            names += e->lpServiceName;
        }
    }
    Log().Line(std::string("dispatcher start services=") + Dec(st.Current.size()) + " names=" + Quote(names) +
               " variant=" TAMRELDBG_VARIANT);
    StartChannels();
    SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);

    std::vector<TService*> services = st.Current;
    for (TService* s : services) {
        s->Thread = CreateThread(nullptr, 0, ServiceThread, s, 0, nullptr);
        if (!s->Thread) {
            Log().Line("main " + Utf8(s->Name) + " result=refused error=" + Dec(GetLastError()));
            TLocked lock;
            s->MainReturned = true;
        }
    }

    // Controls run here, on the thread that called the dispatcher, one at a time.
    {
        TLocked lock;
        for (;;) {
            bool done = true;
            for (TService* s : st.Current)
                done = done && s->Finished();
            if (done || st.Forced) break;
            if (!st.Queue.empty()) {
                std::shared_ptr<TRequest> r = st.Queue.front();
                st.Queue.pop_front();
                LeaveCriticalSection(&st.Lock);
                std::string reply = Execute(*r);
                // Written before anything else happens: the process may end as soon as the
                // dispatcher returns.
                if (r->ReplyPipe) WriteReply(r->ReplyPipe, reply);
                EnterCriticalSection(&st.Lock);
                r->Reply = reply;
                if (r->Done) SetEvent(r->Done);
                continue;
            }
            SleepConditionVariableCS(&st.Changed, &st.Lock, INFINITE);
        }
        st.DispatcherRunning = false;
        for (auto& r : st.Queue) {
            r->Reply = "control " + Utf8(r->Name) + " source=" + r->Source +
                       " result=refused error=" + Dec(ERROR_SERVICE_NOT_ACTIVE);
            if (r->ReplyPipe) WriteReply(r->ReplyPipe, r->Reply);
            if (r->Done) SetEvent(r->Done);
        }
        st.Queue.clear();
    }
    SetConsoleCtrlHandler(ConsoleCtrlHandler, FALSE);

    // A main routine usually returns right after its last status report: let it finish. One
    // that refused to stop is left running.
    const DWORD start = GetTickCount();
    for (TService* s : services) {
        if (!s->Thread) continue;
        if (s->Abandoned) {
            CloseHandle(s->Thread);
            s->Thread = nullptr;
            continue;
        }
        DWORD elapsed = GetTickCount() - start;
        if (WaitForSingleObject(s->Thread, elapsed < 5000 ? 5000 - elapsed : 0) == WAIT_TIMEOUT)
            Log().Line("main " + Utf8(s->Name) + " result=running");
        CloseHandle(s->Thread);
        s->Thread = nullptr;
    }
    bool forced;
    {
        TLocked lock;
        forced = st.Forced;
    }
    Log().Line(std::string("dispatcher return result=") + (forced ? "forced" : "ok"));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

SC_HANDLE WINAPI DebugOpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    const std::string record = "openscmanager machine=" + QuoteW(lpMachineName) +
                               " database=" + QuoteW(lpDatabaseName) + " access=" + Hex(dwDesiredAccess);
    if (lpDatabaseName && _wcsicmp(lpDatabaseName, SERVICES_ACTIVE_DATABASEW) != 0) {
        Refused(record, ERROR_DATABASE_DOES_NOT_EXIST);
        SetLastError(ERROR_DATABASE_DOES_NOT_EXIST);
        return nullptr;
    }
    SC_HANDLE h;
    {
        TLocked lock;
        auto o = std::make_unique<TScObject>();
        o->Kind = TScObject::okManager;
        h = reinterpret_cast<SC_HANDLE>(o.get());
        State().Objects.push_back(std::move(o));
    }
    Outcome(record + " handle=" + Ptr(h) + " result=ok");
    SetLastError(ERROR_SUCCESS);
    return h;
}

SC_HANDLE WINAPI DebugCreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                     DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType,
                                     DWORD dwErrorControl, LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup,
                                     LPDWORD lpdwTagId, LPCWSTR lpDependencies, LPCWSTR lpServiceStartName,
                                     LPCWSTR lpPassword) {
    std::string record = "createservice " + (lpServiceName ? Utf8(lpServiceName) : std::string("nil")) +
                         " display=" + QuoteW(lpDisplayName) + " access=" + Hex(dwDesiredAccess) +
                         " type=" + Hex(dwServiceType) + " start=" + Dec(dwStartType) +
                         " errorcontrol=" + Dec(dwErrorControl) + " path=" + QuoteW(lpBinaryPathName) +
                         " group=" + QuoteW(lpLoadOrderGroup);
    const bool hasGroup = lpLoadOrderGroup && *lpLoadOrderGroup;
    DWORD error = 0;
    SC_HANDLE h = nullptr;
    DWORD tag = 0;
    {
        TLocked lock;
        TScObject* manager = FindObject(hSCManager);
        if (!manager || manager->Kind != TScObject::okManager)
            error = ERROR_INVALID_HANDLE;
        else if (!lpServiceName || !*lpServiceName || wcschr(lpServiceName, L'\\') ||
                 wcschr(lpServiceName, L'/'))
            error = ERROR_INVALID_NAME;
        else if (!lpBinaryPathName || !*lpBinaryPathName || (lpdwTagId && !hasGroup))
            error = ERROR_INVALID_PARAMETER;
        else if (State().Records.count(Lower(lpServiceName)))
            error = ERROR_SERVICE_EXISTS;
        else {
            if (lpdwTagId) tag = State().NextTag++;
            State().Records[Lower(lpServiceName)] = TServiceRecord{lpServiceName};
            auto o = std::make_unique<TScObject>();
            o->Kind = TScObject::okService;
            o->Name = lpServiceName;
            h = reinterpret_cast<SC_HANDLE>(o.get());
            State().Objects.push_back(std::move(o));
        }
    }
    record += " tag=" + Dec(tag) + " dependencies=" + JoinMultiSz(lpDependencies) +
              " account=" + QuoteW(lpServiceStartName) +
              " password=" + (lpPassword && *lpPassword ? "yes" : "no");
    if (error) {
        Refused(record, error);
        SetLastError(error);
        return nullptr;
    }
    if (lpdwTagId) *lpdwTagId = tag;
    Outcome(record + " handle=" + Ptr(h) + " result=ok");
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL WINAPI DebugChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    return ChangeConfig2(hService, dwInfoLevel, lpInfo, true);
}

// The ANSI records (SERVICE_DESCRIPTIONA, SERVICE_FAILURE_ACTIONSA).
BOOL WINAPI DebugChangeServiceConfig2(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
    return ChangeConfig2(hService, dwInfoLevel, lpInfo, false);
}

BOOL WINAPI DebugCloseServiceHandle(SC_HANDLE hSCObject) {
    std::string record = "closeservicehandle handle=" + Ptr(hSCObject);
    {
        TLocked lock;
        auto& objects = State().Objects;
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            if (reinterpret_cast<SC_HANDLE>(it->get()) != hSCObject) continue;
            record += std::string(" kind=") + ((*it)->Kind == TScObject::okManager ? "manager" : "service");
            if ((*it)->Kind == TScObject::okService) record += " name=" + Utf8((*it)->Name);
            objects.erase(it);
            Log().Line(record + " result=ok");
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
    }
    Refused(record, ERROR_INVALID_HANDLE);
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

// Debug events

namespace {

std::string KindText(int kind) {
    switch (kind) {
    case dekInfo:
        return "info";
    case dekWarning:
        return "warning";
    case dekError:
        return "error";
    default:
        return Dec(static_cast<unsigned>(kind));
    }
}

const char* VarTypeName(VARTYPE vt) {
    switch (vt) {
    case VT_EMPTY:
        return "EMPTY";
    case VT_NULL:
        return "NULL";
    case VT_I2:
        return "I2";
    case VT_I4:
        return "I4";
    case VT_R4:
        return "R4";
    case VT_R8:
        return "R8";
    case VT_CY:
        return "CY";
    case VT_DATE:
        return "DATE";
    case VT_BSTR:
        return "BSTR";
    case VT_DISPATCH:
        return "DISPATCH";
    case VT_ERROR:
        return "ERROR";
    case VT_BOOL:
        return "BOOL";
    case VT_UNKNOWN:
        return "UNKNOWN";
    case VT_DECIMAL:
        return "DECIMAL";
    case VT_I1:
        return "I1";
    case VT_UI1:
        return "UI1";
    case VT_UI2:
        return "UI2";
    case VT_UI4:
        return "UI4";
    case VT_I8:
        return "I8";
    case VT_UI8:
        return "UI8";
    case VT_INT:
        return "INT";
    case VT_UINT:
        return "UINT";
    default:
        return nullptr;
    }
}

// The caller keeps ownership of the value: it is read, never cleared.
std::string ValueText(const VARIANT& value) {
    const char* type = VarTypeName(value.vt);
    std::string name = type ? type : Hex(value.vt);
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) return name;
    VARIANT text;
    VariantInit(&text);
    VARIANT source = value; // a shallow copy: VariantChangeTypeEx only reads it
    std::string result = name + ":?";
    if (SUCCEEDED(VariantChangeTypeEx(&text, &source, LOCALE_INVARIANT, VARIANT_ALPHABOOL, VT_BSTR))) {
        std::wstring_view s(text.bstrVal, SysStringLen(text.bstrVal));
        result = name + ":" + (value.vt == VT_BSTR ? Quote(s) : Utf8(s));
    }
    VariantClear(&text);
    return result;
}

void Event(const std::string& fields) {
    Log().Line("event " + fields + " time=" + NowText());
}

std::string TextFields(const char* form, const std::string& text, TDebugEventData data) {
    return std::string("form=") + form + " text=" + text + " data=" + Dec(data);
}

} // namespace

void WINAPI SendCheckpoint(const char* Text, TDebugEventData Data) {
    Event("send=checkpoint " + TextFields("A", QuoteA(Text), Data));
}

void WINAPI SendCheckpointW(const wchar_t* Text, TDebugEventData Data) {
    Event("send=checkpoint " + TextFields("W", QuoteW(Text), Data));
}

void WINAPI SendClearToCheckpoint() {
    Event("send=clear-to-checkpoint");
}

void WINAPI SendClearAll() {
    Event("send=clear-all");
}

void WINAPI SendValue(TDebugEventKind Kind, const char* Text, VARIANT Value, TDebugEventData Data) {
    Event("send=value form=A kind=" + KindText(Kind) + " text=" + QuoteA(Text) +
          " value=" + ValueText(Value) + " data=" + Dec(Data));
}

void WINAPI SendValueW(TDebugEventKind Kind, const wchar_t* Text, VARIANT Value, TDebugEventData Data) {
    Event("send=value form=W kind=" + KindText(Kind) + " text=" + QuoteW(Text) +
          " value=" + ValueText(Value) + " data=" + Dec(Data));
}

void WINAPI SendMethodEnter(const char* Text, TDebugEventData Data) {
    Event("send=method-enter " + TextFields("A", QuoteA(Text), Data));
}

void WINAPI SendMethodEnterW(const wchar_t* Text, TDebugEventData Data) {
    Event("send=method-enter " + TextFields("W", QuoteW(Text), Data));
}

void WINAPI SendMethodLeave(const char* Text, TDebugEventData Data) {
    Event("send=method-leave " + TextFields("A", QuoteA(Text), Data));
}

void WINAPI SendMethodLeaveW(const wchar_t* Text, TDebugEventData Data) {
    Event("send=method-leave " + TextFields("W", QuoteW(Text), Data));
}

// Exported as SendMessage and SendMessageW (tamreldbg.def): <winuser.h> owns those names.
void WINAPI TamrelDbgSendMessageA(TDebugEventKind Kind, const char* Text, TDebugEventData Data) {
    Event("send=message form=A kind=" + KindText(Kind) + " text=" + QuoteA(Text) + " data=" + Dec(Data));
}

void WINAPI TamrelDbgSendMessageW(TDebugEventKind Kind, const wchar_t* Text, TDebugEventData Data) {
    Event("send=message form=W kind=" + KindText(Kind) + " text=" + QuoteW(Text) + " data=" + Dec(Data));
}

} // extern "C"
