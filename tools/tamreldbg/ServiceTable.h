// The debug library's state: the services of every dispatcher run, the request queue between the
// input channels and the dispatcher, the manager objects handed out, and the one lock that guards
// them all.
#pragma once

#include "host/Handles.h"

#include <windows.h>
#include <winsvc.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tamreldbg {

// One entry of a dispatcher's table. Its address is the status handle, so services are never
// freed: a late status report of an earlier run must still find its record.
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
    tamrel::TKernelHandle Thread; // the main routine's thread while the dispatcher runs
    std::wstring ArgName;         // argv[0] stays valid for the life of the process
    LPWSTR Argv[2] = {};

    bool Finished() const {
        return Status.dwCurrentState == SERVICE_STOPPED || Abandoned || (MainReturned && !HasHandler());
    }
    bool HasHandler() const { return Handler || HandlerEx; }
};

// A command for the dispatcher thread.
struct TRequest {
    enum TKind { rkControl, rkBroadcast, rkQuit } Kind = rkControl;
    std::wstring Name;
    DWORD Code = 0;
    bool Checked = true; // false: delivered whether the service accepts it or not
    bool WithEventType = false; // a power event: EventType goes to the extended handler
    DWORD EventType = 0;
    std::string Source;
    std::string Reply;
    tamrel::TKernelHandle Done; // set when the reply is there; nil: nobody waits for it
    HANDLE ReplyPipe = nullptr; // the pipe thread's pipe: the dispatcher writes the reply there itself
};

// A handle of the manager calls: the manager itself or a service created through it.
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
    std::vector<std::unique_ptr<TScObject>> Objects;
    std::map<std::wstring, std::wstring> Records; // created services by lower-case name
    DWORD NextTag = 1;
};

// Never destroyed, like the log.
TState& State();

// Holds the state's lock for a scope.
class TLocked {
public:
    TLocked() { EnterCriticalSection(&State().Lock); }
    ~TLocked() { LeaveCriticalSection(&State().Lock); }
    TLocked(const TLocked&) = delete;
    TLocked& operator=(const TLocked&) = delete;
};

// Under the lock: a service of the current run.
TService* FindCurrent(const std::wstring& name);
// Under the lock: the latest service of that name, of this run or an earlier one.
TService* FindLatest(const std::wstring& name);
TService* FindByHandle(SERVICE_STATUS_HANDLE h);
TScObject* FindObject(SC_HANDLE h);

// The status record of the log.
std::string StatusRecord(const TService& s);

} // namespace tamreldbg
