#include "host/Threads.h"

#include "host/SysUtils.h"

namespace tamrel {

namespace {

[[noreturn]] void RaiseThreadError(DWORD code) {
    throw EThread(SThreadError, SysErrorMessage(code), static_cast<long long>(code));
}

// Waits for a kernel object and keeps serving messages that other threads send to this thread's
// windows meanwhile: a thread that ends by sending to a window of its waiter (a synchroniser,
// for one) would otherwise never end.
bool WaitServingSentMessages(HANDLE handle) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

constexpr int kPriorities[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                               THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                               THREAD_PRIORITY_TIME_CRITICAL};

} // namespace

// ---------------------------------------------------------------------------------------------
// TSelfSuspension

void TSelfSuspension::SuspendSelf() {
    FState.store(kAnnounced, std::memory_order_release);
    if (SuspendThread(GetCurrentThread()) == static_cast<DWORD>(-1)) {
        DWORD code = GetLastError();
        FState.store(kRunning, std::memory_order_release); // lets a waiting waker give up
        RaiseThreadError(code);
    }
}

bool TSelfSuspension::SuspendSelfUnless(const std::function<bool()>& Pending) {
    FState.store(kAnnounced, std::memory_order_seq_cst);
    if (Pending && Pending()) {
        int expected = kAnnounced;
        if (FState.compare_exchange_strong(expected, kRunning, std::memory_order_acq_rel)) return false;
        // A waker got there first and waits for the suspension it is about to end.
    }
    if (SuspendThread(GetCurrentThread()) == static_cast<DWORD>(-1)) {
        DWORD code = GetLastError();
        FState.store(kRunning, std::memory_order_release);
        RaiseThreadError(code);
    }
    return true;
}

bool TSelfSuspension::Resume() {
    int expected = kAnnounced;
    if (!FState.compare_exchange_strong(expected, kWaking, std::memory_order_acq_rel)) return false;
    for (int round = 0;; ++round) {
        DWORD previous = ResumeThread(FThread);
        if (previous != 0) {
            // The thread may already have run on and announced its next suspension: leave that.
            expected = kWaking;
            FState.compare_exchange_strong(expected, kRunning, std::memory_order_acq_rel);
            return previous != static_cast<DWORD>(-1);
        }
        // Announced but not suspended yet: wait for the suspension rather than lose the wake-up.
        if (FState.load(std::memory_order_acquire) != kWaking) return false;
        if (WaitForSingleObject(FThread, 0) == WAIT_OBJECT_0) {
            expected = kWaking;
            FState.compare_exchange_strong(expected, kRunning, std::memory_order_acq_rel);
            return false;
        }
        if (round < 64)
            SwitchToThread();
        else
            Sleep(1);
    }
}

// ---------------------------------------------------------------------------------------------
// TThread

TThread::TThread(bool CreateSuspended, size_t StackSize) : FCreateSuspended(CreateSuspended) {
    DWORD flags = CREATE_SUSPENDED;
    if (StackSize != 0) flags |= STACK_SIZE_PARAM_IS_A_RESERVATION;
    HANDLE handle = CreateThread(nullptr, StackSize, &ThreadProc, this, flags, &FThreadID);
    if (!handle) throw EThread(SThreadCreateError, SysErrorMessage(GetLastError()));
    FHandle.Reset(handle);
    FSelfSuspension.SetThread(handle);
}

TThread::~TThread() {
    if (!FHandle || OnOwnThread()) return; // a thread that frees itself: nothing to wait for
    SetFreeOnTerminate(false);              // this destruction owns the object now
    Terminate();
    if (!FStarted.exchange(true, std::memory_order_acq_rel)) {
        // Never started: the derived parts are gone already, so the thread only returns.
        FSkipRun.store(true, std::memory_order_release);
        ResumeThread(FHandle.Get());
    }
    ResumeFully();
    WaitServingSentMessages(FHandle.Get());
}

void TThread::AfterConstruction() {
    if (!FCreateSuspended && !Started()) Start();
}

void TThread::Start() {
    if (FStarted.exchange(true, std::memory_order_acq_rel))
        throw EThread(L"Cannot call Start on a running or suspended thread");
    if (ResumeThread(FHandle.Get()) == static_cast<DWORD>(-1)) {
        DWORD code = GetLastError();
        FStarted.store(false, std::memory_order_release);
        RaiseThreadError(code);
    }
}

void TThread::Resume() {
    if (!Started()) {
        Start();
        return;
    }
    if (FSelfSuspension.Resume()) return;
    DWORD previous = ResumeThread(FHandle.Get());
    if (previous == static_cast<DWORD>(-1)) RaiseThreadError(GetLastError());
    if (previous <= 1) FSuspended.store(false, std::memory_order_release);
}

void TThread::Suspend() {
    if (OnOwnThread()) {
        FSelfSuspension.SuspendSelf();
        return;
    }
    FSuspended.store(true, std::memory_order_release);
    if (SuspendThread(FHandle.Get()) == static_cast<DWORD>(-1)) {
        DWORD code = GetLastError();
        FSuspended.store(false, std::memory_order_release);
        RaiseThreadError(code);
    }
}

void TThread::ResumeFully() {
    FSelfSuspension.Resume();
    if (FSuspended.exchange(false, std::memory_order_acq_rel)) {
        for (;;) {
            DWORD previous = ResumeThread(FHandle.Get());
            if (previous == static_cast<DWORD>(-1) || previous <= 1) break;
        }
    }
}

uint32_t TThread::WaitFor() {
    if (FreeOnTerminate()) throw EThread(L"Cannot wait for a thread that frees itself");
    if (OnOwnThread()) throw EThread(L"A thread cannot wait for itself");
    if (!Started()) throw EThread(L"Cannot wait for a thread that has not started");
    if (!WaitServingSentMessages(FHandle.Get())) RaiseThreadError(GetLastError());
    DWORD code = 0;
    if (!GetExitCodeThread(FHandle.Get(), &code)) RaiseThreadError(GetLastError());
    return code;
}

void TThread::TerminateAndWait() {
    if (!FHandle || OnOwnThread() || !Started()) return;
    Terminate();
    ResumeFully();
    WaitServingSentMessages(FHandle.Get());
}

TThreadPriority TThread::Priority() const {
    int value = GetThreadPriority(FHandle.Get());
    if (value == THREAD_PRIORITY_ERROR_RETURN) RaiseThreadError(GetLastError());
    for (int i = 0; i < static_cast<int>(std::size(kPriorities)); ++i)
        if (kPriorities[i] == value) return static_cast<TThreadPriority>(i);
    return tpNormal;
}

void TThread::SetPriority(TThreadPriority value) {
    if (!SetThreadPriority(FHandle.Get(), kPriorities[value])) RaiseThreadError(GetLastError());
}

std::exception_ptr TThread::FatalException() const {
    if (!Finished()) return nullptr;
    return FFatalException;
}

void TThread::DoTerminate() {
    if (OnTerminate) OnTerminate(this);
}

DWORD WINAPI TThread::ThreadProc(void* parameter) {
    auto* thread = static_cast<TThread*>(parameter);
    if (thread->FSkipRun.load(std::memory_order_acquire)) {
        thread->FFinished.store(true, std::memory_order_release);
        return 0;
    }
    // Execute's exception is kept for the thread's owner; nothing leaves the entry routine.
    CatchLog([thread] { if (!thread->Terminated()) thread->Execute(); },
             [thread](const std::exception_ptr& error) { thread->FFatalException = error; });
    DWORD result = static_cast<DWORD>(thread->ReturnValue());
    thread->FFinished.store(true, std::memory_order_release);
    // Execute's exception, if any, stays the thread's; one of DoTerminate has nobody to go to.
    CatchLog([thread] { thread->DoTerminate(); },
             [](const std::wstring& message) { ReportToDebugger(L"Thread end failed: " + message); });
    // Read only now: a destructor running on another thread meanwhile has cleared it and owns
    // the object.
    if (thread->FreeOnTerminate()) delete thread;
    return result;
}

} // namespace tamrel
