// The running side of a service module: the thunks the service manager calls, the main routine,
// the control handler, the request loop with its transitions, the self-stop thread, the console
// handler, and the synchronizer.
#include "runtime/service/Tamrel_NTService.h"

#include "host/HiddenWindow.h"
#include "host/Threads.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/base/Tamrel_WinVer.h"
#include "runtime/service/internal/Tamrel_NTServiceInternal.h"

#include <cstring>
#include <mutex>
#include <unordered_set>

namespace tamrel {

namespace {

std::atomic<long> gRequestsAlive{0};

void FreeRequest(TControlRequest* r) {
    if (!r) return;
    // The handler never attaches data today; whatever a future sender attaches is heap memory.
    free(r->Data);
    delete r;
    --gRequestsAlive;
}

struct TRequestFree {
    void operator()(TControlRequest* r) const { FreeRequest(r); }
};
// A request owned on its way from the handler to the request loop.
using TRequestPtr = std::unique_ptr<TControlRequest, TRequestFree>;

TRequestPtr NewRequest(DWORD eventType) {
    TRequestPtr r(new TControlRequest{eventType, nullptr});
    ++gRequestsAlive;
    return r;
}

// The address of one thunk of a module's block, as the procedure type the system calls.
template <class F> F ThunkAt(const TVirtualBlock& block, size_t offset) {
    return reinterpret_cast<F>(static_cast<unsigned char*>(block.Get()) + offset);
}

// ---------------------------------------------------------------------------------------------
// Thunks: a stdcall callback of the service manager becomes a call of a module's entry routine
// with the module as an extra first argument.

#if defined(_WIN64)
constexpr size_t kThunkSize = 56;
constexpr uint64_t kCodePlaceholder = 0x137219DBCAE643FFull;
constexpr uint64_t kObjectPlaceholder = 0x1E459248274AD0FFull;
// Opens a frame with the 32-byte shadow area, moves the first three integer arguments one
// register on, loads the object into rcx, calls the code and returns its result. A fourth
// argument is dropped; no register a callee must preserve is touched.
alignas(16) const unsigned char kThunkTemplate[kThunkSize] = {
    0x48, 0x83, 0xEC, 0x28,                                     // sub rsp, 28h
    0x4D, 0x89, 0xC1,                                           // mov r9, r8
    0x90,                                                       // nop
    0x48, 0xB8, 0xFF, 0x43, 0xE6, 0xCA, 0xDB, 0x19, 0x72, 0x13, // mov rax, code
    0x49, 0x89, 0xD0,                                           // mov r8, rdx
    0x48, 0x89, 0xCA,                                           // mov rdx, rcx
    0x0F, 0x1F, 0x80, 0x00, 0x00, 0x00, 0x00,                   // nop
    0x48, 0xB9, 0xFF, 0xD0, 0x4A, 0x27, 0x48, 0x92, 0x45, 0x1E, // mov rcx, object
    0xFF, 0xD0,                                                 // call rax
    0x48, 0x83, 0xC4, 0x28,                                     // add rsp, 28h
    0xC3,                                                       // ret
    0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};

void PatchPlaceholder(unsigned char* thunk, uint64_t placeholder, const void* value) {
    for (size_t i = 0; i + sizeof(uint64_t) <= kThunkSize; ++i) {
        uint64_t v;
        std::memcpy(&v, thunk + i, sizeof v);
        if (v == placeholder) {
            uint64_t p = reinterpret_cast<uintptr_t>(value);
            std::memcpy(thunk + i, &p, sizeof p);
            return;
        }
    }
}

void FillThunk(unsigned char* thunk, const void* object, const void* code) {
    std::memcpy(thunk, kThunkTemplate, kThunkSize);
    PatchPlaceholder(thunk, kCodePlaceholder, code);
    PatchPlaceholder(thunk, kObjectPlaceholder, object);
}
#else
constexpr size_t kThunkSize = 14;
#pragma pack(push, 1)
// pop eax; push object; push eax; mov eax, code; jmp eax
struct TProcedureOfObjectThunk {
    uint8_t PopEAX;
    uint8_t PushImm;
    const void* InstPtr;
    uint8_t PushEAX;
    uint8_t MovEAXImm;
    const void* ProcPtr;
    uint8_t JmpEAX[2];
};
#pragma pack(pop)
static_assert(sizeof(TProcedureOfObjectThunk) == kThunkSize);

void FillThunk(unsigned char* thunk, const void* object, const void* code) {
    TProcedureOfObjectThunk t{0x58, 0x68, object, 0x50, 0xB8, code, {0xFF, 0xE0}};
    std::memcpy(thunk, &t, sizeof t);
}
#endif

constexpr size_t kMainThunk = 0, kCtrlThunk = kThunkSize, kConsoleThunk = 2 * kThunkSize;
constexpr size_t kThunkBlockSize = 3 * kThunkSize;

} // namespace

UINT ControlMessage() {
    static const UINT id = RegisterWindowMessageW(L"TamrelServiceControlMessage");
    return id;
}

long ControlRequestsAlive() { return gRequestsAlive.load(); }

void TNtService::BuildThunks() {
    TVirtualBlock block(VirtualAlloc(nullptr, kThunkBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!block) RaiseLastOSError();
    auto* bytes = static_cast<unsigned char*>(block.Get());
    FillThunk(bytes + kMainThunk, this, reinterpret_cast<const void*>(&TNtService::MainEntry));
    FillThunk(bytes + kCtrlThunk, this, reinterpret_cast<const void*>(&TNtService::ControlEntry));
    FillThunk(bytes + kConsoleThunk, this, reinterpret_cast<const void*>(&TNtService::ConsoleEntry));
    DWORD old;
    if (!VirtualProtect(block.Get(), kThunkBlockSize, PAGE_EXECUTE, &old)) RaiseLastOSError();
    FlushInstructionCache(GetCurrentProcess(), block.Get(), kThunkBlockSize);
    FThunks = std::move(block);
}

LPSERVICE_MAIN_FUNCTIONW TNtService::MainThunk() const {
    return ThunkAt<LPSERVICE_MAIN_FUNCTIONW>(FThunks, kMainThunk);
}

PHANDLER_ROUTINE TNtService::ConsoleThunk() const { return ThunkAt<PHANDLER_ROUTINE>(FThunks, kConsoleThunk); }

bool TNtService::ServiceThreadEnded() const {
    if (FThread) {
        const DWORD wait = WaitForSingleObject(FThread.Get(), 0);
        if (wait != WAIT_FAILED) return wait == WAIT_OBJECT_0;
    }
    // No handle of the thread (its duplication failed): the end of the main routine is the best
    // sign there is.
    return !FInMain.load();
}

// ---------------------------------------------------------------------------------------------
// Entry points: no exception leaves them.

void WINAPI TNtService::MainEntry(TNtService* self, DWORD argc, LPWSTR* argv) { self->Main(argc, argv); }

void WINAPI TNtService::ControlEntry(TNtService* self, DWORD code) {
    CatchLog([&] { self->Controller(code, 0, nullptr); }, [self](const std::wstring& m) { self->LogError(m); });
}

DWORD WINAPI TNtService::ExtendedHandler(DWORD control, DWORD eventType, void* eventData, void* context) {
    auto* self = *static_cast<TNtService**>(context);
    CatchLog([&] { self->Controller(control, eventType, eventData); },
             [self](const std::wstring& m) { self->LogError(m); });
    return NO_ERROR;
}

BOOL WINAPI TNtService::ConsoleEntry(TNtService* self, DWORD ctrlType) {
    TrkConsoleEventType code;
    switch (ctrlType) {
    case CTRL_C_EVENT:
        code = ceCtrlC;
        break;
    case CTRL_BREAK_EVENT:
        code = ceCtrlBreak;
        break;
    case CTRL_CLOSE_EVENT:
        code = ceCtrlClose;
        break;
    case CTRL_LOGOFF_EVENT:
        code = ceCtrlLogoff;
        break;
    case CTRL_SHUTDOWN_EVENT:
        code = ceCtrlShutdown;
        break;
    default:
        return FALSE;
    }
    bool doNotHandleNext = false;
    CatchLog([&] { if (self->FOnConsoleEvent) self->FOnConsoleEvent(self, code, doNotHandleNext); },
             [self](const std::wstring& m) { self->LogError(m); });
    return doNotHandleNext ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------------------------
// Main routine

void TNtService::Main(DWORD argc, LPWSTR* argv) {
    auto logError = [this](const std::wstring& message) { LogError(message); };
    if (argc == static_cast<DWORD>(-1)) {
        CatchLog([this] { Install(); }, logError);
        return;
    }
    FInMain.store(true);
    // Requests go to this thread from now on, also those that arrive before Run sets ThreadID.
    FPostThreadID.store(GetCurrentThreadId());
    ++FRunSerial;
    CatchLog(
        [&] {
            BeginMain(argc, argv);
            RunLifecycle();
        },
        logError);
    EndMain();
}

void TNtService::BeginMain(DWORD argc, LPWSTR* argv) {
    FParams.clear();
    for (DWORD i = 0; i < argc; ++i) FParams.emplace_back(argv[i] ? argv[i] : L"");
    MSG probe;
    PeekMessageW(&probe, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // the thread gets its queue

    if (TamrelFindCommand(L"debug") && RkDebugHandlerExAvailable()) {
        // The debug library delivers event types too (power events): it gets the extended
        // handler, without the note the manager's registration writes.
        FStatusHandle = RkRegisterServiceCtrlHandlerEx(FServiceName.c_str(), &TNtService::ExtendedHandler, &FSelf);
    } else if (!IsWin2000() || TamrelFindCommand(L"debug")) {
        FStatusHandle = RkRegisterServiceCtrlHandler(FServiceName.c_str(), ThunkAt<LPHANDLER_FUNCTION>(FThunks, kCtrlThunk));
    } else {
        EventLog()->LogMessage(L"Extended handler is registered", etInformation, 0, 0);
        FStatusHandle = RkRegisterServiceCtrlHandlerEx(FServiceName.c_str(), &TNtService::ExtendedHandler, &FSelf);
    }
    if (!FStatusHandle) LogLastError();

    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), FThread.Put(),
                         THREAD_TERMINATE | THREAD_SUSPEND_RESUME | SYNCHRONIZE, FALSE, 0))
        LogLastError();
    FSuspension.SetThread(FThread.Get());
}

// Start, then Run; the service is stopped on every way out of Run.
void TNtService::RunLifecycle() {
    FStarted = Start();
    try {
        FThreadID.store(GetCurrentThreadId());
        Run();
    } catch (...) {
        Stop();
        FThreadID.store(0);
        throw;
    }
    Stop();
    FThreadID.store(0);
}

void TNtService::EndMain() {
    // Whichever way the run ended (a stop, a shutdown, a refused stop, an exception), the system
    // must not call the console thunk any more: it is freed with the module.
    SetConsoleCtrlHandler(ConsoleThunk(), FALSE);
    FPostThreadID.store(0);
    // Requests that arrived after the run ended are not processed by anyone: free them.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, ControlMessage(), ControlMessage(), PM_REMOVE))
        if (!msg.hwnd) FreeRequest(reinterpret_cast<TControlRequest*>(msg.lParam));
    FSuspension.SetThread(nullptr);
    FInMain.store(false);
}

// ---------------------------------------------------------------------------------------------
// Control handler (dispatcher thread)

bool TNtService::PostRequest(DWORD code, TControlRequest* request) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD thread = FPostThreadID.load();
        if (!thread) return false;
        if (PostThreadMessageW(thread, ControlMessage(), code, reinterpret_cast<LPARAM>(request))) return true;
        DWORD err = GetLastError();
        // A full queue drains once the service thread runs; anything else is final.
        if (err != ERROR_NOT_ENOUGH_QUOTA || TicksSince(start) > 10000) return false;
        FSuspension.Resume();
        Sleep(1);
    }
}

void TNtService::Controller(DWORD code, DWORD eventType, void* /*eventData*/) {
    TRequestPtr request = NewRequest(eventType);
    // Once posted, the request belongs to the request loop.
    if (PostRequest(code, request.get())) request.release();
    FSuspension.Resume();
}

// ---------------------------------------------------------------------------------------------
// Request loop (service thread)

void TNtService::ProcessRequests(bool waitForMessage) {
    const UINT controlMessage = ControlMessage();
    MSG msg;
    for (;;) {
        if (waitForMessage) {
            if (Terminated()) break;
            BOOL r = GetMessageW(&msg, nullptr, 0, 0);
            if (r == 0 || r == -1) break;
        } else {
            if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
            if (msg.message == WM_QUIT) break;
        }
        if (msg.hwnd) {
            if (!IsKeyMsg(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            continue;
        }
        if (controlMessage && msg.message == controlMessage) {
            TRequestPtr request(reinterpret_cast<TControlRequest*>(msg.lParam));
            CatchLog([&] { DispatchControl(static_cast<DWORD>(msg.wParam), request.get()); },
                     [this](const std::wstring& m) { LogExecutionFailure(m); });
            continue;
        }
        // Any other thread message goes to the module's own message methods.
        CatchLog(
            [&] {
                TMessage m{msg.message, msg.wParam, msg.lParam, 0};
                Dispatch(m);
            },
            [this](const std::wstring& m) { LogExecutionFailure(m); });
    }
}

void TNtService::DispatchControl(DWORD code, const TControlRequest* request) {
    switch (code) {
    case SERVICE_CONTROL_STOP:
        Stop();
        break;
    case SERVICE_CONTROL_PAUSE:
        Pause();
        break;
    case SERVICE_CONTROL_CONTINUE:
        Continue();
        break;
    case SERVICE_CONTROL_INTERROGATE:
        Interrogate();
        break;
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PRESHUTDOWN:
        Shutdown();
        break;
    case SERVICE_CONTROL_PARAMCHANGE:
        ParamChange();
        break;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        if (FNetBindEventHandler) FNetBindEventHandler->HandleNetBindEvent(code);
        break;
    case SERVICE_CONTROL_POWEREVENT:
        if (FPowerEventHandler)
            FPowerEventHandler->HandlePowerEvent(request ? request->EventType : 0, request ? request->Data : nullptr);
        break;
    case SERVICE_CONTROL_SESSIONCHANGE:
        EventLog()->LogMessage(L"SessionChange", etInformation, 0, 0);
        break;
    default:
        DoCustomControl(code);
    }
}

void TNtService::LogExecutionFailure(const std::wstring& message) {
    LogError(Format(L"Service execution failed : \"%s\"", message));
}

bool TNtService::IsKeyMsg(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    HWND target = GetCapture();
    if (target) {
        auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(target, GWLP_HINSTANCE));
        if (instance != ThisModuleHandle()) return false;
    } else {
        target = msg.hwnd;
    }
    return SendMessageW(target, msg.message + CN_BASE, msg.wParam, msg.lParam) != 0;
}

// ---------------------------------------------------------------------------------------------
// Transitions

void TNtService::CallQueue(TrkEventList* queue) {
    // A queue item's failure does not concern the service or the other items.
    for (int i = 0; i < queue->Count(); ++i) IgnoreFailure([&] { queue->CallItem(i, this); });
}

bool TNtService::RunActionEvent(const TNtServiceActionEvent& event, bool onlyWhenStarted,
                                const wchar_t* failureMessage, TrkEventList* queue) {
    bool doAction = true;
    if (event && (!onlyWhenStarted || FStarted)) {
        if (!CatchLog([&] { event(this, doAction); },
                      [&](const std::wstring& m) { LogError(Format(failureMessage, m)); }))
            doAction = false;
    }
    if (doAction) CallQueue(queue);
    return doAction;
}

bool TNtService::DoStart() {
    bool doAction = RunActionEvent(FOnStart, false, L"Service starting failed : \"%s\"", FOnStartQueue.get());
    if (doAction && FOnConsoleEvent)
        SetConsoleCtrlHandler(ThunkAt<PHANDLER_ROUTINE>(FThunks, kConsoleThunk), TRUE);
    return doAction;
}

bool TNtService::DoStop() {
    bool doAction = RunActionEvent(FOnStop, true, L"Service stopping failed : \"%s\"", FOnStopQueue.get());
    if (doAction)
        SetConsoleCtrlHandler(ThunkAt<PHANDLER_ROUTINE>(FThunks, kConsoleThunk), FALSE);
    return doAction;
}

bool TNtService::DoPause() {
    return RunActionEvent(FOnPause, true, L"Service pausing failed : \"%s\"", FOnPauseQueue.get());
}

bool TNtService::DoContinue() {
    return RunActionEvent(FOnContinue, true, L"Service continuing failed : \"%s\"", FOnContinueQueue.get());
}

bool TNtService::Start() {
    SetStatus(csStartPending);
    bool started = DoStart();
    SetStatus(csRunning);
    if (!started) StartSelfStop();
    else if (FUseSynchronizer) FSynchronizer = std::make_unique<TrkSynchronizer>();
    return started;
}

void TNtService::Stop() {
    TCurrentStatus old = FCurrentStatus.load();
    if (old == csStopped) return;
    SetStatus(csStopPending);
    if (DoStop()) {
        FSynchronizer.reset();
        SetStatus(csStopped);
        FStarted = false;
    } else {
        SetStatus(old);
    }
}

void TNtService::Pause() {
    TCurrentStatus old = FCurrentStatus.load();
    SetStatus(csPausePending);
    if (!DoPause()) {
        SetStatus(old);
        return;
    }
    SetStatus(csPaused);
    if (SuspendsThreadOnPause() && FThread) {
        // A request posted before the suspension was announced must wake us: do not suspend while
        // one waits in the queue. One posted afterwards resumes us through the handler.
        const UINT id = ControlMessage();
        FSuspension.SuspendSelfUnless([id] {
            MSG m;
            return PeekMessageW(&m, nullptr, id, id, PM_NOREMOVE) != FALSE;
        });
    }
}

void TNtService::Continue() {
    TCurrentStatus old = FCurrentStatus.load();
    SetStatus(csContinuePending);
    SetStatus(DoContinue() ? csRunning : old);
}

void TNtService::Interrogate() { ReportStatus(); }

void TNtService::Shutdown() {
    SetStatus(csStopPending);
    DoShutdown();
    SetStatus(csStopped);
}

void TNtService::DoShutdown() {
    if (FOnShutdown) FOnShutdown(this);
}

void TNtService::ParamChange() {
    if (FOnParamChange) FOnParamChange(this);
    for (int i = 0; i < FOnParamChangeQueue->Count(); ++i) FOnParamChangeQueue->CallItem(i, this);
}

void TNtService::DoCustomControl(uint32_t code) {
    if (FStarted && FOnCustomControl) FOnCustomControl(this, static_cast<int32_t>(code));
}

void TNtService::Run() {
    CatchLog(
        [this] {
            if (FStarted && FOnExecute) FOnExecute(this);
            else ProcessRequests(true);
        },
        [this](const std::wstring& m) { LogExecutionFailure(m); });
    ProcessRequests(false);
}

// ---------------------------------------------------------------------------------------------
// Self-stop: a service whose start answered False is reported running and then stops itself
// through its own request loop after four wait hints. The thread belongs to the run it was made
// for: a later run of the module is never stopped by it, and destroying the module ends it.

TSelfStopThread::TSelfStopThread(TNtService* service, uint32_t serial, DWORD delay)
    : TThread(true), FService(service), FSerial(serial), FDelay(delay),
      FCancel(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

TSelfStopThread::~TSelfStopThread() {
    Cancel();
    TerminateAndWait();
}

void TSelfStopThread::Cancel() {
    if (FCancel) SetEvent(FCancel.Get());
}

void TSelfStopThread::Execute() {
    if (WaitForSingleObject(FCancel.Get(), FDelay) != WAIT_TIMEOUT) return;
    if (FService->FRunSerial.load() != FSerial || FService->Terminated()) return;
    FService->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
}

void TNtService::StartSelfStop() {
    std::lock_guard<std::mutex> lock(FSelfStopLock);
    FSelfStop.reset();
    DWORD delay = FWaitHint > 0 ? static_cast<DWORD>(FWaitHint) * 4 : 0;
    FSelfStop = std::make_unique<TSelfStopThread>(this, FRunSerial.load(), delay);
    FSelfStop->Start();
}

void TNtService::EndSelfStop() {
    std::lock_guard<std::mutex> lock(FSelfStopLock);
    FSelfStop.reset();
}

// ---------------------------------------------------------------------------------------------
// Synchronizers

TrkSynchronizer* TNtService::Synchronizer() const {
    if (!FSynchronizer) throw Exception(L"Synchronizer is not available");
    return FSynchronizer.get();
}

void TNtService::Synchronize(TThreadMethod method) { Application->Synchronizer()->Execute(method); }

namespace {
// One call in flight: its method and what it raised. Each call carries its own record, so
// callers on several threads never see each other's method or exception.
struct TSynchronizeCall {
    const TrkSynchronizer* Owner;
    TThreadMethod Method;
    std::exception_ptr Error;
    bool Reached = false;
};

// The calls in flight. Any program can send the synchronizer's message number to its window,
// so the address a message carries is taken for a call only when it names one of these.
struct TSynchronizeCalls {
    std::mutex Lock;
    std::unordered_set<TSynchronizeCall*> Calls;
};

TSynchronizeCalls& SynchronizeCalls() {
    static auto* calls = new TSynchronizeCalls; // windows may still get messages during static destruction
    return *calls;
}

// Answers the call a message names when it is a call of Owner that has not been run yet, and
// marks it as reached.
TSynchronizeCall* ClaimCall(WPARAM address, const TrkSynchronizer* owner) {
    auto& calls = SynchronizeCalls();
    std::lock_guard<std::mutex> guard(calls.Lock);
    auto it = calls.Calls.find(reinterpret_cast<TSynchronizeCall*>(address));
    if (it == calls.Calls.end() || (*it)->Owner != owner || (*it)->Reached) return nullptr;
    (*it)->Reached = true;
    return *it;
}
} // namespace

TrkSynchronizer::TrkSynchronizer() : TrkSynchronizer(TOnFirstUse{}) { FWindowHandle.Require(); }

TrkSynchronizer::TrkSynchronizer(TOnFirstUse) : FWindowHandle(TWndMethod::Of<&TrkSynchronizer::WndProc>(this)) {}

TrkSynchronizer::~TrkSynchronizer() = default;

HWND TrkSynchronizer::WindowHandle() const {
    if (GetCurrentThreadId() != FWindowHandle.OwnerThread()) return FWindowHandle.Handle();
    try {
        return FWindowHandle.Require();
    } catch (const EOSError&) {
        return nullptr;
    }
}

void TrkSynchronizer::Execute(TThreadMethod method) {
    TSynchronizeCall call{this, method, nullptr};
    auto& calls = SynchronizeCalls();
    {
        std::lock_guard<std::mutex> guard(calls.Lock);
        calls.Calls.insert(&call);
    }
    TScopeExit forget([&] {
        std::lock_guard<std::mutex> guard(calls.Lock);
        calls.Calls.erase(&call);
    });
    HWND window = FWindowHandle.Require();
    SetLastError(ERROR_SUCCESS);
    SendMessageW(window, SynchronizeMessage, reinterpret_cast<WPARAM>(&call), 0);
    DWORD code = GetLastError();
    // The window is gone (its thread ended) or no longer serves the synchronizer: the method
    // never ran, which the caller must not take for success.
    if (!call.Reached) RaiseLastOSError(code != ERROR_SUCCESS ? code : ERROR_INVALID_WINDOW_HANDLE);
    if (call.Error) std::rethrow_exception(call.Error);
}

void TrkSynchronizer::WndProc(TMessage& message) {
    if (message.Msg == SynchronizeMessage) {
        message.Result = 0;
        TSynchronizeCall* call = ClaimCall(message.WParam, this);
        if (!call) return;
        // The method's exception goes back to the caller, which raises it again.
        CatchLog([call] { if (call->Method) call->Method(); },
                 [call](const std::exception_ptr& error) { call->Error = error; });
        return;
    }
    CallDefWindowProc(FWindowHandle.Handle(), message);
}

} // namespace tamrel
