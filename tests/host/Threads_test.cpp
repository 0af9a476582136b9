#include "host/Threads.h"
#include "host/HiddenWindow.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>

using namespace tamrel;

namespace {

// A thread whose Execute is a function given by the test.
class TFuncThread : public TThread {
public:
    TFuncThread(bool createSuspended, std::function<void(TFuncThread&)> body)
        : TThread(createSuspended), FBody(std::move(body)) {}
    ~TFuncThread() override {
        TerminateAndWait(); // Execute uses FBody
        if (DestroyedFlag) *DestroyedFlag = true;
    }

    std::atomic<int> DoTerminateCalls{0};
    std::atomic<DWORD> DoTerminateThread{0};
    std::atomic<bool>* DestroyedFlag = nullptr;

    using TThread::SetReturnValue;
    using TThread::Terminated;

protected:
    void Execute() override { FBody(*this); }
    void DoTerminate() override {
        ++DoTerminateCalls;
        DoTerminateThread = GetCurrentThreadId();
        TThread::DoTerminate();
    }

private:
    std::function<void(TFuncThread&)> FBody;
};

struct TTerminateListener {
    std::atomic<int> Calls{0};
    std::atomic<TThread*> Sender{nullptr};
    std::atomic<DWORD> Thread{0};
    std::atomic<bool> SawFinished{false};
    void Handler(TThread* sender) {
        Sender = sender;
        Thread = GetCurrentThreadId();
        SawFinished = sender->Finished();
        ++Calls;
    }
};

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (TicksSince(start) > timeoutMs) return false;
        Sleep(1);
    }
    return true;
}

} // namespace

TEST(Thread, CreatedSuspendedRunsOnlyAfterStart) {
    std::atomic<bool> ran{false};
    TFuncThread thread(true, [&](TFuncThread&) { ran = true; });
    EXPECT_NE(nullptr, thread.Handle());
    EXPECT_NE(0u, thread.ThreadID());
    Sleep(50);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(thread.Started());
    EXPECT_FALSE(thread.Finished());
    thread.Start();
    EXPECT_EQ(0u, thread.WaitFor());
    EXPECT_TRUE(ran);
    EXPECT_TRUE(thread.Finished());
    EXPECT_THROW(thread.Start(), EThread);
}

TEST(Thread, NotSuspendedStartsOnceConstructed) {
    std::atomic<DWORD> executeThread{0};
    TFuncThread* thread = TThread::Create<TFuncThread>(false, [&](TFuncThread& self) {
        executeThread = GetCurrentThreadId();
        self.SetReturnValue(42);
    });
    EXPECT_TRUE(thread->Started());
    EXPECT_EQ(42u, thread->WaitFor());
    EXPECT_EQ(42, thread->ReturnValue());
    EXPECT_EQ(thread->ThreadID(), executeThread.load());
    thread->AfterConstruction(); // a second call does nothing
    delete thread;
}

TEST(Thread, TerminateEndsTheLoopAndWaitForAnswersTheReturnValue) {
    std::atomic<int> rounds{0};
    TFuncThread thread(false, [&](TFuncThread& self) {
        while (!self.Terminated()) {
            ++rounds;
            Sleep(1);
        }
        self.SetReturnValue(-5);
    });
    thread.AfterConstruction();
    ASSERT_TRUE(WaitUntil([&] { return rounds > 3; }));
    EXPECT_FALSE(thread.Finished());
    thread.Terminate();
    EXPECT_TRUE(thread.Terminated());
    EXPECT_EQ(static_cast<uint32_t>(-5), thread.WaitFor());
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(1, thread.DoTerminateCalls.load());
}

TEST(Thread, FreeOnTerminateDeletesItselfAfterOnTerminate) {
    TTerminateListener listener;
    std::atomic<bool> destroyed{false};
    std::atomic<bool> destroyedBeforeHandler{false};
    auto* thread = new TFuncThread(true, [](TFuncThread& self) { self.SetReturnValue(3); });
    thread->SetFreeOnTerminate(true);
    thread->DestroyedFlag = &destroyed;
    thread->OnTerminate = MakeMethod<&TTerminateListener::Handler>(&listener);
    // A thread that frees itself may be gone by the time WaitFor would look at it.
    EXPECT_THROW(thread->WaitFor(), EThread);
    DWORD id = thread->ThreadID();
    TKernelHandle handle(OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, id));
    ASSERT_TRUE(handle.Valid());
    thread->Start();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle.Get(), 10000));
    destroyedBeforeHandler = listener.Calls == 0;
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(destroyedBeforeHandler);
    EXPECT_EQ(1, listener.Calls.load());
    EXPECT_EQ(id, listener.Thread.load()); // on the ending thread: no hand-off in this layer
    EXPECT_TRUE(listener.SawFinished);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(handle.Get(), &code));
    EXPECT_EQ(3u, code); // the return value outlives the object
}

TEST(Thread, EscapingExceptionIsKeptAndDoTerminateStillRuns) {
    struct Case {
        const char* name;
        std::function<void()> raise;
        std::wstring message;
    } cases[] = {
        {"host exception", [] { throw EOSError(5, L"Access denied here"); }, L"Access denied here"},
        {"standard exception", [] { throw std::runtime_error("std failure \xC3\xA4"); }, L"std failure \u00E4"},
        {"anything else", [] { throw 42; }, L"Unknown exception"},
    };
    for (const auto& c : cases) {
        TTerminateListener listener;
        TFuncThread thread(true, [&](TFuncThread& self) {
            self.SetReturnValue(9);
            c.raise();
        });
        thread.OnTerminate = MakeMethod<&TTerminateListener::Handler>(&listener);
        EXPECT_EQ(nullptr, thread.FatalException()) << c.name;
        thread.Start();
        EXPECT_EQ(9u, thread.WaitFor()) << c.name;
        EXPECT_EQ(1, thread.DoTerminateCalls.load()) << c.name;
        EXPECT_EQ(thread.ThreadID(), thread.DoTerminateThread.load()) << c.name;
        EXPECT_EQ(1, listener.Calls.load()) << c.name;
        ASSERT_NE(nullptr, thread.FatalException()) << c.name;
        EXPECT_EQ(c.message, thread.FatalExceptionMessage()) << c.name;
    }
    // The kept exception is the thrown object itself.
    TFuncThread thread(true, [](TFuncThread&) { throw EOSError(87, L"bad parameter"); });
    thread.Start();
    thread.WaitFor();
    try {
        std::rethrow_exception(thread.FatalException());
    } catch (const EOSError& e) {
        EXPECT_EQ(87u, e.ErrorCode());
    }
}

TEST(Thread, ExceptionInOnTerminateDoesNotEscapeTheThread) {
    struct TThrowingListener {
        void Handler(TThread*) { throw Exception(L"from OnTerminate"); }
    } listener;
    TFuncThread thread(true, [](TFuncThread& self) { self.SetReturnValue(11); });
    thread.OnTerminate = MakeMethod<&TThrowingListener::Handler>(&listener);
    thread.Start();
    EXPECT_EQ(11u, thread.WaitFor());
    EXPECT_EQ(nullptr, thread.FatalException());
}

TEST(Thread, CreationFailureRaisesEThreadWithTheSystemMessage) {
    // A stack reserve larger than the address space can hold.
    size_t huge = sizeof(void*) == 8 ? static_cast<size_t>(1) << 46 : static_cast<size_t>(0xFFF00000u);
    struct THugeThread : TThread {
        explicit THugeThread(size_t size) : TThread(true, size) {}
        void Execute() override {}
    };
    try {
        THugeThread failing(huge);
        FAIL() << "the thread was made";
    } catch (const EThread& e) {
        EXPECT_EQ(0u, e.Message().find(L"Thread creation error: ")) << e.what();
        EXPECT_NE(std::wstring::npos, e.Message().find(SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)));
    }
}

TEST(Thread, WaitForOnItselfOrBeforeStartRaises) {
    std::atomic<bool> raised{false};
    TFuncThread thread(true, [&](TFuncThread& self) {
        try {
            self.WaitFor();
        } catch (const EThread&) {
            raised = true;
        }
    });
    EXPECT_THROW(thread.WaitFor(), EThread);
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(raised);
}

// The pause hand-off: the thread suspends itself, another thread wakes it.
TEST(Thread, SuspendsItselfAndIsResumedFromAnotherThread) {
    constexpr int kPauses = 200;
    std::atomic<int> resumed{0};
    TFuncThread thread(true, [&](TFuncThread& self) {
        for (int i = 0; i < kPauses; ++i) {
            self.Suspend();
            ++resumed;
        }
    });
    thread.Start();
    for (int i = 0; i < kPauses; ++i) {
        // Resume as soon as the suspension is announced: often before SuspendThread took
        // effect, the gap in which a plain flag-and-resume loses the wake-up.
        ASSERT_TRUE(WaitUntil([&] { return thread.Suspended(); })) << i;
        thread.Resume();
    }
    EXPECT_EQ(0u, thread.WaitFor());
    EXPECT_EQ(kPauses, resumed.load());
    EXPECT_FALSE(thread.Suspended());
}

namespace {

constexpr int kSelfPauses = 2000;
struct TSelfPauseShared {
    TSelfSuspension Gate;
    std::atomic<int> Rounds{0};
};
// A raw thread procedure: stdcall, as CreateThread calls it (the 32-bit build tells the difference).
DWORD WINAPI SelfPauseRounds(void* p) {
    auto* s = static_cast<TSelfPauseShared*>(p);
    for (int i = 0; i < kSelfPauses; ++i) {
        s->Gate.SuspendSelf();
        ++s->Rounds;
    }
    return 0;
}

} // namespace

TEST(SelfSuspension, RawThreadSuspendsItselfManyTimesWithoutLosingAWakeUp) {
    constexpr int kPauses = kSelfPauses;
    TSelfPauseShared shared;
    DWORD id = 0;
    TKernelHandle thread(CreateThread(nullptr, 0, SelfPauseRounds, &shared, CREATE_SUSPENDED, &id));
    ASSERT_TRUE(thread.Valid());
    shared.Gate.SetThread(thread.Get());
    EXPECT_FALSE(shared.Gate.Resume()); // nothing announced: nothing done
    ResumeThread(thread.Get());
    int woken = 0;
    while (woken < kPauses) {
        if (shared.Gate.Resume())
            ++woken;
        else
            SwitchToThread();
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 30000));
    EXPECT_EQ(kPauses, shared.Rounds.load());
}

TEST(Thread, DestroyingARunningThreadTerminatesAndWaits) {
    std::atomic<bool> loopEnded{false};
    std::atomic<bool> started{false};
    auto* thread = new TFuncThread(true, [&](TFuncThread& self) {
        started = true;
        while (!self.Terminated()) Sleep(1);
        Sleep(50);
        loopEnded = true;
    });
    thread->Start();
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    delete thread;
    EXPECT_TRUE(loopEnded);
}

TEST(Thread, DestroyingASuspendedThreadResumesAndWaits) {
    struct Case {
        const char* name;
        bool selfSuspended;
    } cases[] = {{"suspended by another thread", false}, {"suspended itself", true}};
    for (const auto& c : cases) {
        std::atomic<bool> ended{false};
        std::atomic<bool> looping{false};
        auto* thread = new TFuncThread(true, [&](TFuncThread& self) {
            if (c.selfSuspended) self.Suspend();
            while (!self.Terminated()) {
                looping = true;
                Sleep(1);
            }
            ended = true;
        });
        thread->Start();
        if (c.selfSuspended) {
            ASSERT_TRUE(WaitUntil([&] { return thread->Suspended(); })) << c.name;
        } else {
            ASSERT_TRUE(WaitUntil([&] { return looping.load(); })) << c.name;
            thread->Suspend();
            EXPECT_TRUE(thread->Suspended()) << c.name;
        }
        delete thread;
        EXPECT_TRUE(ended) << c.name;
    }
}

TEST(Thread, DestroyingANeverStartedThreadRunsNothing) {
    std::atomic<bool> ran{false};
    TTerminateListener listener;
    auto* thread = new TFuncThread(true, [&](TFuncThread&) { ran = true; });
    thread->OnTerminate = MakeMethod<&TTerminateListener::Handler>(&listener);
    TKernelHandle handle(OpenThread(SYNCHRONIZE, FALSE, thread->ThreadID()));
    delete thread;
    EXPECT_FALSE(ran);
    EXPECT_EQ(0, listener.Calls.load());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle.Get(), 0)); // and the system thread ended
}

TEST(Thread, PriorityRoundTrips) {
    TFuncThread thread(true, [](TFuncThread&) {});
    EXPECT_EQ(tpNormal, thread.Priority());
    for (auto p : {tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical}) {
        thread.SetPriority(p);
        EXPECT_EQ(p, thread.Priority()) << p;
    }
    thread.SetPriority(tpNormal);
    thread.Start();
    thread.WaitFor();
}

// A thread that sends to a window of the thread waiting for it must not deadlock the wait.
TEST(Thread, WaitForServesMessagesSentByTheEndingThread) {
    struct TSink {
        std::atomic<DWORD> Thread{0};
        void WndProc(TMessage& m) {
            if (m.Msg == WM_APP + 7) {
                Thread = GetCurrentThreadId();
                m.Result = 77;
            }
        }
    } sink;
    HWND wnd = AllocateHWnd(MakeMethod<&TSink::WndProc>(&sink));
    TFuncThread thread(true, [wnd](TFuncThread& self) {
        self.SetReturnValue(static_cast<int32_t>(SendMessageW(wnd, WM_APP + 7, 0, 0)));
    });
    thread.Start();
    EXPECT_EQ(77u, thread.WaitFor());
    EXPECT_EQ(GetCurrentThreadId(), sink.Thread.load());
    DeallocateHWnd(wnd);
}

TEST(ExceptionMessage, NamesEachKind) {
    EXPECT_EQ(L"", ExceptionMessage(nullptr));
    EXPECT_EQ(L"abc", ExceptionMessage(std::make_exception_ptr(Exception(L"abc"))));
    EXPECT_EQ(L"xyz", ExceptionMessage(std::make_exception_ptr(std::logic_error("xyz"))));
    EXPECT_EQ(L"Unknown exception", ExceptionMessage(std::make_exception_ptr(3.5)));
}
