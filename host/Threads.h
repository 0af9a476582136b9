// Threads of the host layer: a thread object with an abstract Execute, and the self-suspension
// hand-off that a paused service thread uses.
#pragma once

#include "host/Api.h"
#include "host/Closure.h"
#include "host/ExceptionBoundary.h"
#include "host/Handles.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// One thread suspends itself, any other thread wakes it. A wake-up that arrives after the
// thread announced its suspension but before SuspendThread took effect is not lost: the waker
// waits until the thread really is suspended and then resumes it. Nothing else is locked.
// ---------------------------------------------------------------------------------------------
class TAMREL_API TSelfSuspension {
public:
    TSelfSuspension() = default;
    // Thread: a handle of the thread that will suspend itself, with THREAD_SUSPEND_RESUME access
    // (and SYNCHRONIZE, so that a waker notices a thread that ended instead of suspending). Not
    // owned: the caller keeps it open while this object is used.
    explicit TSelfSuspension(HANDLE thread) : FThread(thread) {}
    TSelfSuspension(const TSelfSuspension&) = delete;
    TSelfSuspension& operator=(const TSelfSuspension&) = delete;

    void SetThread(HANDLE thread) { FThread = thread; }
    HANDLE Thread() const { return FThread; }

    // On the thread itself: announces the suspension and suspends; returns once another thread
    // has called Resume. Raises EThread when the thread cannot suspend itself.
    void SuspendSelf();
    // As SuspendSelf, but checks Pending after the announcement: when it answers true the
    // suspension is called off (unless a waker already claimed it, which then resumes us at
    // once). A waker that looked before the announcement thus cannot leave work behind.
    // Answers whether the thread was suspended.
    bool SuspendSelfUnless(const std::function<bool()>& Pending);
    // From another thread: when a suspension was announced, clears it and resumes the thread
    // (after waiting for it to be suspended). Answers whether there was a suspension to end.
    bool Resume();
    // A suspension is announced and has not been ended by Resume.
    bool Suspended() const { return FState.load(std::memory_order_acquire) != kRunning; }

private:
    enum : int { kRunning, kAnnounced, kWaking };
    HANDLE FThread = nullptr;
    std::atomic<int> FState{kRunning};
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Host text for a failing thread call: the system message and the error code.
inline constexpr wchar_t SThreadError[] = L"Thread Error: %s (%d)";
inline constexpr wchar_t SThreadCreateError[] = L"Thread creation error: %s";

// ---------------------------------------------------------------------------------------------
// TThread: a system thread that runs the virtual Execute once.
//
// Construction. The system thread is always made suspended, because the thread must not call
// Execute before the most derived constructor has finished. A thread constructed with
// CreateSuspended = true waits for Start. With CreateSuspended = false it starts in
// AfterConstruction, once the whole object exists: construct it with TThread::Create<T>(args),
// or, in a class that nothing derives from, call AfterConstruction() as the last statement of
// the constructor.
//
// End. Execute runs inside a guard: an exception that escapes it is kept as FatalException and
// the thread ends normally. DoTerminate runs after Execute in every case, on this thread (the
// host layer has no hand-off to a main thread, so an OnTerminate handler runs on the ending
// thread and must do its own hand-off when it needs one). A FreeOnTerminate thread deletes
// itself after DoTerminate (the flag is read then, so OnTerminate may still change it). No
// exception leaves the thread's entry routine.
//
// Destruction. Deleting a thread that has not ended terminates it, resumes it when it is
// suspended, and waits until it has ended. The base destructor runs after the derived parts are
// gone, so a derived class whose Execute uses its own members calls TerminateAndWait() at the
// start of its destructor. A thread that never started is not run at all by its destruction:
// neither Execute nor DoTerminate is called.
// ---------------------------------------------------------------------------------------------
class TAMREL_API TThread {
public:
    using TTerminateEvent = TMethod<void(TThread* Sender)>;

    // StackSize: the stack reserve in bytes, 0 for the program's default. Raises EThread with
    // the system message when the system thread cannot be made.
    explicit TThread(bool CreateSuspended, size_t StackSize = 0);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // new T(args...), then AfterConstruction: the way to make a thread that starts at once.
    template <class T, class... A> static T* Create(A&&... args) {
        T* thread = new T(std::forward<A>(args)...);
        thread->AfterConstruction();
        return thread;
    }
    // Starts a thread constructed with CreateSuspended = false; does nothing otherwise.
    void AfterConstruction();

    // Runs a thread that has not started yet. Raises EThread when it already started.
    void Start();
    // Ends one suspension (or starts a thread that has not started yet).
    void Resume();
    // Suspends the thread; called on the thread itself, it returns once another thread resumed
    // it, and a Resume that races with the suspension is not lost.
    void Suspend();
    // Asks Execute to end; Execute watches Terminated().
    void Terminate() { FTerminated.store(true, std::memory_order_release); }
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
    // Waits for the end of the thread and answers its exit code (the ReturnValue). Raises EThread
    // on a FreeOnTerminate thread (it may be gone already), on a thread that never started and
    // when called by the thread itself.
    uint32_t WaitFor();
    // Terminate, resume when suspended and wait for the end; does nothing on the thread itself
    // or on a thread that never started or already ended.
    void TerminateAndWait();

    bool FreeOnTerminate() const { return FFreeOnTerminate.load(std::memory_order_acquire); }
    void SetFreeOnTerminate(bool value) { FFreeOnTerminate.store(value, std::memory_order_release); }
    bool Suspended() const { return FSuspended.load(std::memory_order_acquire) || FSelfSuspension.Suspended(); }
    bool Started() const { return FStarted.load(std::memory_order_acquire); }
    // Execute has returned (DoTerminate may still run).
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }
    HANDLE Handle() const { return FHandle.Get(); }
    uint32_t ThreadID() const { return FThreadID; }
    int32_t ReturnValue() const { return FReturnValue.load(std::memory_order_acquire); }

    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority value);

    // The exception that escaped Execute, or null; read it after the thread has finished.
    std::exception_ptr FatalException() const;
    std::wstring FatalExceptionMessage() const { return ExceptionMessage(FatalException()); }

    TTerminateEvent OnTerminate;

protected:
    virtual void Execute() = 0;
    // Called on the ending thread after Execute; calls OnTerminate when assigned.
    virtual void DoTerminate();
    void SetReturnValue(int32_t value) { FReturnValue.store(value, std::memory_order_release); }

private:
    static DWORD WINAPI ThreadProc(void* parameter);
    bool OnOwnThread() const { return GetCurrentThreadId() == FThreadID; }
    void ResumeFully();

    TKernelHandle FHandle;
    DWORD FThreadID = 0;
    bool FCreateSuspended;
    std::atomic<bool> FStarted{false};
    std::atomic<bool> FSkipRun{false};
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FSuspended{false};
    std::atomic<bool> FFreeOnTerminate{false};
    std::atomic<int32_t> FReturnValue{0};
    std::exception_ptr FFatalException;
    TSelfSuspension FSelfSuspension;
};

} // namespace tamrel
