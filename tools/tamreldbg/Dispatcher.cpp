#include "Dispatcher.h"

#include "InputChannels.h"
#include "StatusLog.h"
#include "Text.h"
#include "runtime/service/Tamrel_DebugInterface.h"

#include <type_traits>

#ifndef TAMRELDBG_VARIANT
#define TAMRELDBG_VARIANT "full"
#endif

namespace tamreldbg {

namespace {

// ---------------------------------------------------------------------------------------------
// Control delivery (dispatcher thread)
// ---------------------------------------------------------------------------------------------

// Under the lock: why the manager would refuse this control to this service, 0 when it would not.
DWORD RefusalOf(const TService* s, DWORD code, bool checked, bool withEventType) {
    if (!s) return ERROR_SERVICE_DOES_NOT_EXIST;
    if (s->Status.dwCurrentState == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
    if (!s->HasHandler()) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    // Only the extended handler receives an event type.
    if (withEventType && !s->HandlerEx) return ERROR_INVALID_SERVICE_CONTROL;
    if (!checked) return 0;
    const DWORD bit = AcceptBitOf(code);
    const DWORD state = s->Status.dwCurrentState;
    if (bit && !(s->Status.dwControlsAccepted & bit)) return ERROR_INVALID_SERVICE_CONTROL;
    if (code != SERVICE_CONTROL_INTERROGATE && (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING))
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    return 0;
}

// Delivers one control to one service, on the calling (dispatcher) thread; a power event with
// its event type. Error 0 = delivered.
std::string Deliver(const std::wstring& name, DWORD code, bool checked, const std::string& source,
                    DWORD* error, const DWORD* eventType = nullptr) {
    const std::string record = "control " + Utf8(name) + " code=" + ControlText(code) +
                               (eventType ? " eventtype=" + Dec(*eventType) : std::string()) + " source=" + source;
    LPHANDLER_FUNCTION handler = nullptr;
    LPHANDLER_FUNCTION_EX handlerEx = nullptr;
    void* context = nullptr;
    DWORD refusal;
    {
        TLocked lock;
        TService* s = FindCurrent(name);
        refusal = RefusalOf(s, code, checked, eventType != nullptr);
        if (s) {
            handler = s->Handler;
            handlerEx = s->HandlerEx;
            context = s->Context;
        }
    }
    if (error) *error = refusal;
    if (refusal) return Refused(record, refusal);
    // The handler is the program's code: whatever it raises ends here, in the log.
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
            if (s->Status.dwCurrentState != SERVICE_STOPPED && (s->Status.dwControlsAccepted & AcceptBitOf(r.Code)))
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
            LogLine("abandon " + Utf8(name) + " state=" + StateText(s->Status.dwCurrentState));
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

// Under the lock: the reply for whoever waits for it.
void Answer(TRequest& r, const std::string& reply) {
    r.Reply = reply;
    if (r.Done) SetEvent(r.Done.Get());
}

// ---------------------------------------------------------------------------------------------
// A dispatcher run
// ---------------------------------------------------------------------------------------------

bool ValidTable(const SERVICE_TABLE_ENTRYW* table) {
    if (!table || !table->lpServiceName) return false;
    for (auto* e = table; e->lpServiceName; ++e)
        if (!e->lpServiceProc || !*e->lpServiceName) return false;
    return true;
}

// Under the lock: the services of the table become the current run. Answers their names.
std::wstring BeginRun(const SERVICE_TABLE_ENTRYW* table) {
    TState& st = State();
    st.DispatcherRunning = true;
    st.Stopping = st.Forced = false;
    st.Current.clear();
    std::wstring names;
    for (auto* e = table; e->lpServiceName; ++e) {
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
    return names;
}

DWORD WINAPI ServiceThread(LPVOID param) {
    auto* s = static_cast<TService*>(param);
    LogLine("main " + Utf8(s->Name) + " start argc=1");
    // The main routine is the program's code: whatever it raises ends here, in the log.
    try {
        s->Main(1, s->Argv);
        LogLine("main " + Utf8(s->Name) + " returned");
    } catch (...) {
        LogLine("main " + Utf8(s->Name) + " result=exception");
    }
    TLocked lock;
    s->MainReturned = true;
    WakeAllConditionVariable(&State().Changed);
    return 0;
}

void StartMainRoutines(const std::vector<TService*>& services) {
    for (TService* s : services) {
        s->Thread.Reset(CreateThread(nullptr, 0, ServiceThread, s, 0, nullptr));
        if (!s->Thread) {
            LogLine("main " + Utf8(s->Name) + " result=refused error=" + Dec(GetLastError()));
            TLocked lock;
            s->MainReturned = true;
        }
    }
}

// Runs the queued requests, here, one at a time, until every service has finished or a second
// quit forces the end; then refuses what is still queued. Under the lock.
void ServeRequests() {
    TState& st = State();
    for (;;) {
        bool done = true;
        for (TService* s : st.Current)
            done = done && s->Finished();
        if (done || st.Forced) break;
        if (st.Queue.empty()) {
            SleepConditionVariableCS(&st.Changed, &st.Lock, INFINITE);
            continue;
        }
        std::shared_ptr<TRequest> r = st.Queue.front();
        st.Queue.pop_front();
        LeaveCriticalSection(&st.Lock);
        std::string reply = Execute(*r);
        // Written before anything else happens: the process may end as soon as the dispatcher
        // returns.
        if (r->ReplyPipe) WriteReply(r->ReplyPipe, reply);
        EnterCriticalSection(&st.Lock);
        Answer(*r, reply);
    }
    st.DispatcherRunning = false;
    for (auto& r : st.Queue) {
        const std::string reply = "control " + Utf8(r->Name) + " source=" + r->Source +
                                  " result=refused error=" + Dec(ERROR_SERVICE_NOT_ACTIVE);
        if (r->ReplyPipe) WriteReply(r->ReplyPipe, reply);
        Answer(*r, reply);
    }
    st.Queue.clear();
}

// A main routine usually returns right after its last status report: give them all 5 s together
// to finish. One that refused to stop is left running.
void JoinMainRoutines(const std::vector<TService*>& services) {
    const DWORD start = GetTickCount();
    for (TService* s : services) {
        if (!s->Thread) continue;
        if (!s->Abandoned) {
            const DWORD elapsed = GetTickCount() - start;
            if (WaitForSingleObject(s->Thread.Get(), elapsed < 5000 ? 5000 - elapsed : 0) == WAIT_TIMEOUT)
                LogLine("main " + Utf8(s->Name) + " result=running");
        }
        s->Thread.Reset();
    }
}

} // namespace

std::string Submit(std::shared_ptr<TRequest> r, bool wait) {
    if (wait) r->Done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    {
        TLocked lock;
        if (!State().DispatcherRunning) {
            std::string verb = r->Kind == TRequest::rkQuit ? "quit" : "control " + Utf8(r->Name);
            return Refused(verb + " source=" + r->Source, ERROR_SERVICE_NOT_ACTIVE);
        }
        State().Queue.push_back(r);
        WakeAllConditionVariable(&State().Changed);
    }
    if (!wait) return {};
    WaitForSingleObject(r->Done.Get(), INFINITE);
    TLocked lock;
    return r->ReplyPipe ? std::string() : r->Reply;
}

void WriteReply(HANDLE pipe, const std::string& reply) {
    std::string line = reply + "\n";
    DWORD written;
    WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Records the handler of a service of the table (one of the two kinds).
SERVICE_STATUS_HANDLE RegisterHandler(LPCWSTR lpServiceName, LPHANDLER_FUNCTION handler,
                                      LPHANDLER_FUNCTION_EX handlerEx, void* context) {
    const std::string record = "register " + (lpServiceName ? Utf8(lpServiceName) : std::string("nil"));
    if (!lpServiceName || (!handler && !handlerEx)) {
        RefuseCall(record, ERROR_INVALID_PARAMETER);
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
        RefuseCall(record, ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    Outcome(record + " handle=" + Ptr(s) + (handlerEx ? " kind=extended" : "") + " result=ok");
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(s);
}

} // namespace tamreldbg

// ---------------------------------------------------------------------------------------------
// Exports
// ---------------------------------------------------------------------------------------------

using namespace tamreldbg;

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
        else if (lpServiceStatus->dwCurrentState < SERVICE_STOPPED || lpServiceStatus->dwCurrentState > SERVICE_PAUSED)
            error = ERROR_INVALID_DATA;
        else {
            s->Status = *lpServiceStatus;
            // Logged under the lock so that the log shows the states in the order they were set.
            LogLine(StatusRecord(*s));
            WakeAllConditionVariable(&State().Changed);
        }
    }
    if (error) {
        RefuseCall("status handle=" + Ptr(hServiceStatus), error);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI DebugStartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
    if (!ValidTable(lpServiceStartTable)) {
        RefuseCall("dispatcher", ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring names;
    {
        TLocked lock;
        if (State().DispatcherRunning) {
            RefuseCall("dispatcher", ERROR_SERVICE_ALREADY_RUNNING);
            return FALSE;
        }
        names = BeginRun(lpServiceStartTable);
    }
    const std::vector<TService*> services = State().Current;
    LogLine(std::string("dispatcher start services=") + Dec(services.size()) + " names=" + Quote(names) +
            " variant=" TAMRELDBG_VARIANT);
    StartChannels();
    {
        TConsoleQuit consoleQuit; // Ctrl+C acts as quit while the dispatcher runs
        StartMainRoutines(services);
        TLocked lock;
        ServeRequests();
    }
    JoinMainRoutines(services);
    bool forced;
    {
        TLocked lock;
        forced = State().Forced;
    }
    LogLine(std::string("dispatcher return result=") + (forced ? "forced" : "ok"));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // extern "C"

static_assert(std::is_same_v<decltype(&DebugRegisterServiceCtrlHandlerW), tamrel::TRegisterServiceCtrlHandlerProc>);
static_assert(std::is_same_v<decltype(&DebugRegisterServiceCtrlHandlerExW), tamrel::TRegisterServiceCtrlHandlerExProc>);
static_assert(std::is_same_v<decltype(&DebugSetServiceStatus), tamrel::TSetServiceStatusProc>);
static_assert(std::is_same_v<decltype(&DebugStartServiceCtrlDispatcherW), tamrel::TStartServiceCtrlDispatcherProc>);
