#include "host/HiddenWindow.h"

#include "host/ExceptionBoundary.h"
#include "host/Handles.h"
#include "host/SysUtils.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tamrel {

namespace {

constexpr wchar_t kClassName[] = L"TamrelHiddenWindow";

// What the window procedure knows of one window. The lock is held while the method runs, so
// that a DeallocateHWnd on another thread can wait for a running call to end.
struct TWindowRecord : std::enable_shared_from_this<TWindowRecord> {
    TWindowRecord(TWndMethod method, DWORD ownerThread) : Method(method), OwnerThread(ownerThread) {
        InitializeCriticalSection(&Lock);
    }
    ~TWindowRecord() { DeleteCriticalSection(&Lock); }
    TWindowRecord(const TWindowRecord&) = delete;
    TWindowRecord& operator=(const TWindowRecord&) = delete;

    CRITICAL_SECTION Lock; // recursive: the method may cause nested messages on its own thread
    TWndMethod Method;
    bool Detached = false; // under Lock
    const DWORD OwnerThread;
};

// The windows of this module, so that another thread can reach a window's record without racing
// its destruction. Never released: windows may still be destroyed during static destruction.
struct TWindowTable {
    std::mutex Lock;
    std::unordered_map<HWND, std::shared_ptr<TWindowRecord>> Records;
};

TWindowTable& Windows() {
    static auto* table = new TWindowTable;
    return *table;
}

std::shared_ptr<TWindowRecord> FindRecord(HWND wnd) {
    auto& table = Windows();
    std::lock_guard<std::mutex> guard(table.Lock);
    auto it = table.Records.find(wnd);
    return it == table.Records.end() ? nullptr : it->second;
}

void ForgetRecord(HWND wnd, const TWindowRecord* record) {
    auto& table = Windows();
    std::lock_guard<std::mutex> guard(table.Lock);
    auto it = table.Records.find(wnd);
    if (it != table.Records.end() && it->second.get() == record) table.Records.erase(it);
}

struct THandlerSlot {
    std::mutex Lock;
    THiddenWindowExceptionHandler Handler;
};

THandlerSlot& HandlerSlot() {
    static auto* slot = new THandlerSlot;
    return *slot;
}

// The report of the window procedure's boundary: the process-wide handler, or the debugger and
// stderr when there is none.
void ReportToHandler(const std::exception_ptr& error) {
    THiddenWindowExceptionHandler handler;
    {
        auto& slot = HandlerSlot();
        std::lock_guard<std::mutex> guard(slot.Lock);
        handler = slot.Handler;
    }
    if (handler) handler(error);
    else ReportToDebugger(L"Window method failed: " + ExceptionMessage(error));
}

} // namespace

void ReportWindowException(const std::exception_ptr& error) { ReportToHandler(error); }

namespace {

// Posted by DeallocateHWnd on another thread: the window's own thread destroys the window.
UINT DestroyRequestMessage() {
    static const UINT message = [] {
        UINT id = RegisterWindowMessageW(L"TamrelHiddenWindowDestroy");
        return id != 0 ? id : static_cast<UINT>(WM_APP + 0x3FFE);
    }();
    return message;
}

LRESULT CALLBACK HiddenWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* raw = reinterpret_cast<TWindowRecord*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!raw) return DefWindowProcW(wnd, msg, wParam, lParam); // while the window is being made
    // The table holds the record while the window lives; a nested DeallocateHWnd from inside the
    // method must not free it under this frame.
    std::shared_ptr<TWindowRecord> record = raw->weak_from_this().lock();
    if (!record) return DefWindowProcW(wnd, msg, wParam, lParam);

    if (msg == DestroyRequestMessage() && wParam == 0 && lParam == 0) {
        bool detached;
        EnterCriticalSection(&record->Lock);
        detached = record->Detached;
        LeaveCriticalSection(&record->Lock);
        if (detached) {
            DestroyWindow(wnd);
            return 0;
        }
    }

    TMessage message{msg, wParam, lParam, 0};
    bool handled = false;
    {
        EnterCriticalSection(&record->Lock);
        TScopeExit leave([&] { LeaveCriticalSection(&record->Lock); });
        if (!record->Detached && record->Method) {
            handled = true;
            CatchLog([&] { record->Method(message); }, ReportToHandler);
        }
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        ForgetRecord(wnd, record.get());
    }
    return handled ? message.Result : DefWindowProcW(wnd, msg, wParam, lParam);
}

// One class per module (the DLL and a program that compiles the library in each have their
// own), registered on first use.
void RegisterHiddenWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &HiddenWindowProc;
        wc.hInstance = ThisModuleHandle();
        wc.lpszClassName = kClassName;
        if (!RegisterClassExW(&wc)) {
            DWORD code = GetLastError();
            // A module unloaded and loaded again at the same address finds its class still
            // registered; that class is fine as long as it calls this very procedure.
            WNDCLASSEXW existing{};
            existing.cbSize = sizeof(existing);
            if (code != ERROR_CLASS_ALREADY_EXISTS || !GetClassInfoExW(wc.hInstance, kClassName, &existing) ||
                existing.lpfnWndProc != &HiddenWindowProc)
                RaiseLastOSError(code);
        }
        return true;
    }();
    (void)registered;
}

// Waits until the record's lock is free, serving messages sent to this thread meanwhile: the
// method running on the window's thread may itself be waiting for this thread.
void EnterServingSentMessages(CRITICAL_SECTION& lock) {
    while (!TryEnterCriticalSection(&lock)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

} // namespace

HWND AllocateHWnd(TWndMethod Method) {
    RegisterHiddenWindowClass();
    TWindowHandle wnd(CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      ThisModuleHandle(), nullptr));
    if (!wnd) RaiseLastOSError();
    auto record = std::make_shared<TWindowRecord>(Method, GetCurrentThreadId());
    {
        auto& table = Windows();
        std::lock_guard<std::mutex> guard(table.Lock);
        table.Records[wnd.Get()] = record;
    }
    SetWindowLongPtrW(wnd.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record.get()));
    return wnd.Release();
}

void DeallocateHWnd(HWND Wnd) {
    if (!Wnd) return;
    std::shared_ptr<TWindowRecord> record = FindRecord(Wnd);
    if (!record) return;
    bool ownThread = GetCurrentThreadId() == record->OwnerThread;
    if (ownThread)
        EnterCriticalSection(&record->Lock);
    else
        EnterServingSentMessages(record->Lock);
    record->Detached = true;
    LeaveCriticalSection(&record->Lock);

    bool asked = ownThread ? DestroyWindow(Wnd) : PostMessageW(Wnd, DestroyRequestMessage(), 0, 0);
    // Already gone (its thread ended, or someone destroyed it without our procedure seeing
    // the end): only the record is left to drop. A window that still exists keeps its record.
    if (!asked && !IsWindow(Wnd)) ForgetRecord(Wnd, record.get());
}

// ---------------------------------------------------------------------------------------------
// TDeferredWindow

// Shared with the asynchronous procedure call that asks the owner thread for the window, which
// may run after the object is gone.
struct TDeferredWindow::TState {
    TWndMethod Method;
    DWORD Owner = GetCurrentThreadId();
    TKernelHandle OwnerThread; // for the call and for seeing the thread end
    std::atomic<HWND> Wnd{nullptr};
    std::mutex Lock;           // the fields below
    DWORD Error = 0;           // why the window could not be made
    bool Asked = false;        // a call is on its way to the owner thread
    bool Closed = false;       // the object is gone: no window is made any more
    TKernelHandle Settled;     // set once the window is made, could not be made, or is closed

    // On the owner thread.
    HWND Make() {
        if (HWND wnd = Wnd.load()) return wnd;
        {
            std::lock_guard<std::mutex> guard(Lock);
            if (Closed) RaiseLastOSError(ERROR_INVALID_WINDOW_HANDLE);
            if (Error) RaiseLastOSError(Error);
        }
        HWND wnd = nullptr;
        DWORD error = 0;
        try {
            wnd = AllocateHWnd(Method);
        } catch (const EOSError& e) {
            error = e.ErrorCode() ? e.ErrorCode() : static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE);
        }
        bool closed;
        {
            std::lock_guard<std::mutex> guard(Lock);
            closed = Closed;
            if (!closed) {
                Wnd.store(wnd);
                Error = error;
            }
            if (Settled) SetEvent(Settled.Get());
        }
        if (closed) {
            DeallocateHWnd(wnd);
            RaiseLastOSError(ERROR_INVALID_WINDOW_HANDLE);
        }
        if (error) RaiseLastOSError(error);
        return wnd;
    }

    static void CALLBACK MakeCall(ULONG_PTR parameter) {
        std::unique_ptr<std::shared_ptr<TState>> state(reinterpret_cast<std::shared_ptr<TState>*>(parameter));
        // The waiting thread reads the outcome from the state.
        try {
            (*state)->Make();
        } catch (...) {
        }
    }
};

TDeferredWindow::TDeferredWindow(TWndMethod Method) : FState(std::make_shared<TState>()) {
    FState->Method = Method;
    HANDLE thread = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread,
                        THREAD_SET_CONTEXT | SYNCHRONIZE, FALSE, 0))
        FState->OwnerThread.Reset(thread);
}

TDeferredWindow::~TDeferredWindow() {
    HWND wnd;
    {
        std::lock_guard<std::mutex> guard(FState->Lock);
        FState->Closed = true;
        wnd = FState->Wnd.exchange(nullptr);
        if (FState->Settled) SetEvent(FState->Settled.Get());
    }
    DeallocateHWnd(wnd);
}

HWND TDeferredWindow::Handle() const { return FState->Wnd.load(); }

DWORD TDeferredWindow::OwnerThread() const { return FState->Owner; }

HWND TDeferredWindow::Require() {
    if (HWND wnd = FState->Wnd.load()) return wnd;
    if (GetCurrentThreadId() == FState->Owner) return FState->Make();

    std::shared_ptr<TState> state = FState; // the outcome outlives this object
    HANDLE settled;
    {
        std::lock_guard<std::mutex> guard(state->Lock);
        if (HWND wnd = state->Wnd.load()) return wnd;
        if (state->Closed || !state->OwnerThread) RaiseLastOSError(ERROR_INVALID_WINDOW_HANDLE);
        if (state->Error) RaiseLastOSError(state->Error);
        if (!state->Settled) {
            state->Settled.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (!state->Settled) RaiseLastOSError();
        }
        if (!state->Asked) {
            auto parameter = std::make_unique<std::shared_ptr<TState>>(state);
            if (!QueueUserAPC(&TState::MakeCall, state->OwnerThread.Get(), reinterpret_cast<ULONG_PTR>(parameter.get()))) {
                const DWORD code = GetLastError();
                const bool ended = WaitForSingleObject(state->OwnerThread.Get(), 0) == WAIT_OBJECT_0;
                RaiseLastOSError(ended ? static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE) : code);
            }
            parameter.release(); // the call frees it
            state->Asked = true;
        }
        settled = state->Settled.Get();
    }
    // The owner thread may be sending to a window of this thread meanwhile: serve those.
    const HANDLE handles[] = {settled, state->OwnerThread.Get()};
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 || r == WAIT_OBJECT_0 + 1) break;
        if (r == WAIT_FAILED) RaiseLastOSError();
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    if (HWND wnd = state->Wnd.load()) return wnd;
    std::lock_guard<std::mutex> guard(state->Lock);
    RaiseLastOSError(state->Error ? state->Error : static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// ---------------------------------------------------------------------------------------------

LRESULT CallDefWindowProc(HWND Wnd, TMessage& Message) {
    Message.Result = DefWindowProcW(Wnd, Message.Msg, Message.WParam, Message.LParam);
    return Message.Result;
}

THiddenWindowExceptionHandler SetHiddenWindowExceptionHandler(THiddenWindowExceptionHandler Handler) {
    auto& slot = HandlerSlot();
    std::lock_guard<std::mutex> guard(slot.Lock);
    std::swap(slot.Handler, Handler);
    return Handler;
}

} // namespace tamrel
