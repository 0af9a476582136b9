// The synchronizer: a method handed from any thread to the thread that made the synchronizer,
// its exception raised again in the caller. The making thread (here the test's main thread) must
// serve its messages for a call from another thread to complete, so the tests serve them while
// they wait for their callers.
#include "runtime/service/Tamrel_NTService.h"

#include "host/HostApplication.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace tamrel;

namespace {

// A method for the synchronizer: runs Body and records the threads it ran on.
struct TCall {
    explicit TCall(std::function<void()> body = {}) : Body(std::move(body)) {}
    void Run() {
        {
            std::lock_guard<std::mutex> guard(Lock);
            Threads.push_back(GetCurrentThreadId());
        }
        if (Body) Body();
    }
    TThreadMethod Method() { return MakeMethod<&TCall::Run>(this); }
    std::vector<DWORD> RanOn() {
        std::lock_guard<std::mutex> guard(Lock);
        return Threads;
    }

    std::function<void()> Body;
    std::mutex Lock;
    std::vector<DWORD> Threads;
};

// Serves this thread's messages until Done answers true; false after ten seconds.
bool ServeUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (TicksSince(start) > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

// Another thread that runs Body (which calls Execute) and keeps what escaped it. The end of the
// scope serves messages until the thread is done, so that a pending call can complete.
class TCaller {
public:
    explicit TCaller(std::function<void()> body)
        : FThread([this, body = std::move(body)] {
              try {
                  body();
              } catch (...) {
                  Error = std::current_exception();
              }
              Done = true;
          }) {}
    ~TCaller() { Finish(); }
    // Serves messages until the caller is done, then joins it.
    bool Finish() {
        bool done = ServeUntil([this] { return Done.load(); });
        if (FThread.joinable()) FThread.join();
        return done;
    }

    std::atomic<bool> Done{false};
    std::exception_ptr Error;

private:
    std::thread FThread;
};

std::wstring MessageOf(const std::exception_ptr& error) { return error ? ExceptionMessage(error) : L"(none)"; }

} // namespace

TEST(Synchronizer, WindowBelongsToTheCreatingThread) {
    TrkSynchronizer sync;
    ASSERT_TRUE(IsWindow(sync.WindowHandle()));
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(sync.WindowHandle(), nullptr));
    EXPECT_EQ(0x8FFFu, TrkSynchronizer::SynchronizeMessage);
    // Other messages get the default handling.
    EXPECT_TRUE(SetWindowTextW(sync.WindowHandle(), L"sync"));
    wchar_t text[16] = {};
    GetWindowTextW(sync.WindowHandle(), text, 16);
    EXPECT_STREQ(L"sync", text);
}

TEST(Synchronizer, ExecuteFromAnotherThreadRunsOnTheCreatingThreadWhileTheCallerWaits) {
    TrkSynchronizer sync;
    std::atomic<bool> callerReturned{false};
    std::atomic<bool> callerWaitedDuringTheCall{false};
    TCall call([&] {
        Sleep(20);
        callerWaitedDuringTheCall = !callerReturned;
    });
    std::atomic<bool> calling{false};
    std::atomic<size_t> runsSeenByTheCaller{0};
    TCaller caller([&] {
        calling = true;
        sync.Execute(call.Method());
        callerReturned = true;
        runsSeenByTheCaller = call.RanOn().size();
    });
    // Nothing happens while this thread does not serve its messages.
    while (!calling) Sleep(1);
    Sleep(50);
    EXPECT_TRUE(call.RanOn().empty());
    EXPECT_FALSE(callerReturned);

    ASSERT_TRUE(caller.Finish());
    EXPECT_EQ(MessageOf(nullptr), MessageOf(caller.Error));
    EXPECT_EQ((std::vector<DWORD>{GetCurrentThreadId()}), call.RanOn());
    EXPECT_TRUE(callerWaitedDuringTheCall);
    EXPECT_EQ(1u, runsSeenByTheCaller.load()); // the method had run when Execute returned
}

TEST(Synchronizer, ExceptionIsRaisedAgainInTheCaller) {
    struct Case {
        const char* name;
        std::function<void()> raise;
        std::function<bool(const std::exception_ptr&)> sameKind;
        std::wstring message;
    } cases[] = {
        {"host exception", [] { throw Exception(L"synchronized failure"); },
         [](const std::exception_ptr& e) {
             try {
                 std::rethrow_exception(e);
             } catch (const Exception& x) {
                 return std::wstring(x.ClassName()) == L"Exception";
             } catch (...) {
                 return false;
             }
         },
         L"synchronized failure"},
        {"derived host exception", [] { throw EConvertError(L"bad number"); },
         [](const std::exception_ptr& e) {
             try {
                 std::rethrow_exception(e);
             } catch (const EConvertError&) {
                 return true;
             } catch (...) {
                 return false;
             }
         },
         L"bad number"},
        {"standard exception", [] { throw std::runtime_error("standard failure"); },
         [](const std::exception_ptr& e) {
             try {
                 std::rethrow_exception(e);
             } catch (const std::runtime_error&) {
                 return true;
             } catch (...) {
                 return false;
             }
         },
         L"standard failure"},
    };
    TrkSynchronizer sync;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TCall call(c.raise);
        // From another thread, and from the creating thread itself.
        TCaller caller([&] { sync.Execute(call.Method()); });
        ASSERT_TRUE(caller.Finish());
        ASSERT_TRUE(caller.Error);
        EXPECT_TRUE(c.sameKind(caller.Error));
        EXPECT_EQ(c.message, MessageOf(caller.Error));

        std::exception_ptr direct;
        try {
            sync.Execute(call.Method());
        } catch (...) {
            direct = std::current_exception();
        }
        ASSERT_TRUE(direct);
        EXPECT_TRUE(c.sameKind(direct));
        EXPECT_EQ(c.message, MessageOf(direct));
        EXPECT_EQ((std::vector<DWORD>{GetCurrentThreadId(), GetCurrentThreadId()}), call.RanOn());
    }
    // The synchronizer goes on working after exceptions.
    TCall quiet;
    sync.Execute(quiet.Method());
    EXPECT_EQ(1u, quiet.RanOn().size());
}

TEST(Synchronizer, ExecuteOnTheCreatingThreadRunsDirectly) {
    TrkSynchronizer sync;
    // No message is served here: the call must not need the queue.
    TCall inner;
    TCall outer([&] { sync.Execute(inner.Method()); }); // nested calls too
    sync.Execute(outer.Method());
    EXPECT_EQ((std::vector<DWORD>{GetCurrentThreadId()}), outer.RanOn());
    EXPECT_EQ((std::vector<DWORD>{GetCurrentThreadId()}), inner.RanOn());
    sync.Execute(nullptr); // no method: nothing to run
}

// The second caller's call arrives while the first one's method is running, and is served from
// inside it. Each caller must get its own method run and exactly its own exception.
TEST(Synchronizer, TwoCallersAtOnceEachGetTheirOwnMethodAndException) {
    struct Case {
        bool firstThrows;
        bool secondThrows;
    } cases[] = {{false, true}, {true, false}, {true, true}, {false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "first throws " << c.firstThrows << ", second throws " << c.secondThrows);
        TrkSynchronizer sync;
        std::atomic<bool> firstRunning{false};
        std::atomic<bool> secondRan{false};
        TCall second([&] {
            secondRan = true;
            if (c.secondThrows) throw Exception(L"second failure");
        });
        TCall first([&] {
            firstRunning = true;
            // Serve the second call from inside this one.
            DWORD start = GetTickCount();
            while (!secondRan && TicksSince(start) < 10000) {
                MSG msg;
                PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
                Sleep(1);
            }
            if (c.firstThrows) throw std::runtime_error("first failure");
        });
        TCaller firstCaller([&] { sync.Execute(first.Method()); });
        TCaller secondCaller([&] {
            while (!firstRunning) Sleep(1);
            sync.Execute(second.Method());
        });
        ASSERT_TRUE(firstCaller.Finish());
        ASSERT_TRUE(secondCaller.Finish());
        EXPECT_TRUE(secondRan);
        EXPECT_EQ(1u, first.RanOn().size());
        EXPECT_EQ(1u, second.RanOn().size());
        EXPECT_EQ(c.firstThrows ? L"first failure" : MessageOf(nullptr), MessageOf(firstCaller.Error));
        EXPECT_EQ(c.secondThrows ? L"second failure" : MessageOf(nullptr), MessageOf(secondCaller.Error));
    }
}

TEST(Synchronizer, ManyCallersAtOnceNeverMixTheirCalls) {
    constexpr int kCallers = 4;
    constexpr int kCalls = 40;
    TrkSynchronizer sync;
    std::atomic<int> wrongThread{0};
    std::atomic<int> wrongOutcome{0};
    std::atomic<int> ran{0};
    std::vector<std::unique_ptr<TCaller>> callers;
    DWORD mainThread = GetCurrentThreadId();
    for (int w = 0; w < kCallers; ++w) {
        callers.push_back(std::make_unique<TCaller>([&, w] {
            for (int i = 0; i < kCalls; ++i) {
                bool throws = (i + w) % 2 == 1;
                TCall call([&, w, i, throws] {
                    ++ran;
                    if (GetCurrentThreadId() != mainThread) ++wrongThread;
                    if (throws) throw Exception(L"caller %d call %d", w, i);
                });
                std::wstring got = L"(none)";
                try {
                    sync.Execute(call.Method());
                } catch (const Exception& e) {
                    got = e.Message();
                }
                std::wstring expected = throws ? Format(L"caller %d call %d", w, i) : L"(none)";
                if (got != expected || call.RanOn().size() != 1) ++wrongOutcome;
            }
        }));
    }
    for (auto& caller : callers) {
        EXPECT_TRUE(caller->Finish());
        EXPECT_EQ(MessageOf(nullptr), MessageOf(caller->Error));
    }
    EXPECT_EQ(kCallers * kCalls, ran.load());
    EXPECT_EQ(0, wrongThread.load());
    EXPECT_EQ(0, wrongOutcome.load());
}

// The way the service application waits: the main thread pumps the host application's messages
// until the dispatcher's thread posts the quit; calls from other threads complete meanwhile.
TEST(Synchronizer, CallsCompleteWhileTheHostApplicationPumps) {
    THostApplication* app = HostApplication.Get();
    ASSERT_NE(nullptr, app->Handle());
    app->ProcessMessages();
    app->SetTerminated(false);
    TrkSynchronizer sync;
    TCall call;
    std::atomic<int> failures{0};
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            try {
                sync.Execute(call.Method());
            } catch (...) {
                ++failures;
            }
        }
        PostMessageW(app->Handle(), WM_QUIT, 0, 0);
    });
    while (!app->Terminated()) app->HandleMessage();
    worker.join();
    app->SetTerminated(false);
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ((std::vector<DWORD>{GetCurrentThreadId(), GetCurrentThreadId(), GetCurrentThreadId()}), call.RanOn());
}

// The message travels with the address of the call; a message with the same number that some
// other sender made up must not be taken for one.
TEST(Synchronizer, MessageThatCarriesNoCallIsIgnored) {
    TrkSynchronizer sync;
    HWND wnd = sync.WindowHandle();
    EXPECT_EQ(0, SendMessageW(wnd, TrkSynchronizer::SynchronizeMessage, 0x1234, 0));
    EXPECT_EQ(0, SendMessageW(wnd, TrkSynchronizer::SynchronizeMessage, 0, 0));
    ASSERT_TRUE(PostMessageW(wnd, TrkSynchronizer::SynchronizeMessage, 0x5678, 0));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    TCall real;
    sync.Execute(real.Method());
    EXPECT_EQ(1u, real.RanOn().size());
}

// A synchronizer whose thread has ended has no window left: the call cannot run, and the caller
// must hear of it rather than believe it ran.
TEST(Synchronizer, ExecuteAfterTheCreatingThreadEndedRaises) {
    std::unique_ptr<TrkSynchronizer> sync;
    std::thread maker([&] { sync = std::make_unique<TrkSynchronizer>(); });
    maker.join();
    ASSERT_TRUE(sync);
    EXPECT_FALSE(IsWindow(sync->WindowHandle()));
    TCall call;
    try {
        sync->Execute(call.Method());
        ADD_FAILURE() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), e.ErrorCode());
    }
    EXPECT_TRUE(call.RanOn().empty());
    sync.reset(); // released from another thread than its own: must not fail
}
