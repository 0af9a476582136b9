// Hidden windows need a display under Wine (outside service processes): the test run has one.
#include "host/HiddenWindow.h"
#include "host/SysUtils.h"
#include "host/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace tamrel;

namespace {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (TicksSince(start) > timeoutMs) return false;
        Sleep(1);
    }
    return true;
}

struct TSeen {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    DWORD Thread;
};

// Records the application-range messages and one registered message; everything else gets the
// default handling. Extra behaviour per message comes from OnMessage.
struct TReceiver {
    std::atomic<HWND> Wnd{nullptr};
    UINT Registered = 0;
    std::function<void(TMessage&)> OnMessage;

    void WndProc(TMessage& m) {
        if (m.Msg >= WM_APP || (Registered != 0 && m.Msg == Registered)) {
            {
                std::lock_guard<std::mutex> guard(FLock);
                FSeen.push_back({m.Msg, m.WParam, m.LParam, GetCurrentThreadId()});
            }
            if (OnMessage) OnMessage(m);
            return;
        }
        CallDefWindowProc(Wnd, m);
    }
    TWndMethod Method() { return MakeMethod<&TReceiver::WndProc>(this); }

    std::vector<TSeen> Seen() {
        std::lock_guard<std::mutex> guard(FLock);
        return FSeen;
    }
    bool Saw(UINT msg) {
        for (const auto& s : Seen())
            if (s.Msg == msg) return true;
        return false;
    }
    TSeen First(UINT msg) {
        for (const auto& s : Seen())
            if (s.Msg == msg) return s;
        return {};
    }

private:
    std::mutex FLock;
    std::vector<TSeen> FSeen;
};

// A thread that makes a hidden window for a receiver and serves its queue until Stop.
class TWindowThread final : public TThread {
public:
    TWindowThread(TReceiver& receiver, bool deallocateAtEnd)
        : TThread(true), FReceiver(receiver), FDeallocateAtEnd(deallocateAtEnd),
          FReady(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        Start();
        WaitForSingleObject(FReady.Get(), INFINITE);
    }
    ~TWindowThread() override { Stop(); }

    void Stop() {
        if (!Finished()) PostThreadMessageW(ThreadID(), WM_QUIT, 0, 0);
        TerminateAndWait();
    }
    HWND Wnd() const { return FReceiver.Wnd; }

protected:
    void Execute() override {
        MSG msg;
        {
            TScopeExit ready([this] { SetEvent(FReady.Get()); }); // also when AllocateHWnd fails
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);      // a queue before anyone posts to it
            FReceiver.Wnd = AllocateHWnd(FReceiver.Method());
        }
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        if (FDeallocateAtEnd) DeallocateHWnd(FReceiver.Wnd);
    }

private:
    TReceiver& FReceiver;
    bool FDeallocateAtEnd;
    TKernelHandle FReady;
};

std::wstring ClassNameOf(HWND wnd) {
    wchar_t name[64] = {};
    GetClassNameW(wnd, name, 64);
    return name;
}

// Restores the exception handler of the hidden windows at the end of a test.
struct THandlerScope {
    explicit THandlerScope(THiddenWindowExceptionHandler handler)
        : FPrevious(SetHiddenWindowExceptionHandler(std::move(handler))) {}
    ~THandlerScope() { SetHiddenWindowExceptionHandler(FPrevious); }
    THiddenWindowExceptionHandler FPrevious;
};

} // namespace

TEST(HiddenWindow, WorkerThreadWindowGetsPostedMessagesAndBroadcasts) {
    TReceiver receiver;
    receiver.Registered = RegisterWindowMessageW(L"TamrelHiddenWindowTestBroadcast");
    ASSERT_NE(0u, receiver.Registered);
    receiver.OnMessage = [](TMessage& m) {
        if (m.Msg == WM_APP + 2) m.Result = 0x1234;
    };
    TWindowThread thread(receiver, true);
    HWND wnd = thread.Wnd();
    ASSERT_TRUE(IsWindow(wnd));
    EXPECT_EQ(thread.ThreadID(), GetWindowThreadProcessId(wnd, nullptr));
    EXPECT_FALSE(IsWindowVisible(wnd));
    // Top-level (its parent is the desktop), not message-only: otherwise no broadcast reaches it.
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(wnd, GA_PARENT));
    EXPECT_EQ(L"TamrelHiddenWindow", ClassNameOf(wnd));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(ThisModuleHandle()), GetWindowLongPtrW(wnd, GWLP_HINSTANCE));

    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 1, 7, 9));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Saw(WM_APP + 1); }));
    TSeen posted = receiver.First(WM_APP + 1);
    EXPECT_EQ(7u, posted.WParam);
    EXPECT_EQ(9, posted.LParam);
    EXPECT_EQ(thread.ThreadID(), posted.Thread);

    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(HWND_BROADCAST, receiver.Registered, 11, 12, SMTO_ABORTIFHUNG, 5000, &answer));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Saw(receiver.Registered); }));
    TSeen broadcast = receiver.First(receiver.Registered);
    EXPECT_EQ(11u, broadcast.WParam);
    EXPECT_EQ(12, broadcast.LParam);
    EXPECT_EQ(thread.ThreadID(), broadcast.Thread);

    EXPECT_EQ(0x1234, SendMessageW(wnd, WM_APP + 2, 0, 0));

    thread.Stop(); // the thread releases its window itself
    EXPECT_FALSE(IsWindow(wnd));
}

TEST(HiddenWindow, ExceptionInTheMethodGoesToTheHandlerAndNoFurther) {
    std::mutex lock;
    std::vector<std::wstring> reported;
    DWORD reportThread = 0;
    THandlerScope scope([&](std::exception_ptr error) {
        std::lock_guard<std::mutex> guard(lock);
        reported.push_back(ExceptionMessage(error));
        reportThread = GetCurrentThreadId();
    });
    TReceiver receiver;
    receiver.OnMessage = [](TMessage& m) {
        if (m.Msg == WM_APP + 3) throw Exception(L"window failure");
        if (m.Msg == WM_APP + 4) throw 17;
        m.Result = 5;
    };
    TWindowThread thread(receiver, true);
    HWND wnd = thread.Wnd();
    SendMessageW(wnd, WM_APP + 3, 0, 0);
    SendMessageW(wnd, WM_APP + 4, 0, 0);
    EXPECT_EQ(5, SendMessageW(wnd, WM_APP + 5, 0, 0)); // the window goes on working
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ((std::vector<std::wstring>{L"window failure", L"Unknown exception"}), reported);
        EXPECT_EQ(thread.ThreadID(), reportThread);
    }
    // A handler that fails itself is dropped too; so is the exception without any handler.
    SetHiddenWindowExceptionHandler([](std::exception_ptr) { throw Exception(L"handler failure"); });
    SendMessageW(wnd, WM_APP + 3, 0, 0);
    SetHiddenWindowExceptionHandler(nullptr);
    SendMessageW(wnd, WM_APP + 3, 0, 0);
    EXPECT_EQ(5, SendMessageW(wnd, WM_APP + 5, 0, 0));
}

TEST(HiddenWindow, DefaultHandlingIsTheMethodsJob) {
    struct TSwallower {
        void WndProc(TMessage& m) { m.Result = 0; }
    } swallower;
    TReceiver passer; // passes everything below WM_APP to the default handling
    struct Case {
        const char* name;
        TWndMethod method;
        std::wstring expectedText;
    } cases[] = {
        {"passes to the default", passer.Method(), L"caption"},
        {"handles everything itself", MakeMethod<&TSwallower::WndProc>(&swallower), L""},
    };
    for (const auto& c : cases) {
        HWND wnd = AllocateHWnd(c.method);
        passer.Wnd = wnd;
        SetWindowTextW(wnd, L"caption");
        wchar_t text[32] = {};
        GetWindowTextW(wnd, text, 32);
        EXPECT_EQ(c.expectedText, text) << c.name;
        DeallocateHWnd(wnd);
        EXPECT_FALSE(IsWindow(wnd)) << c.name;
    }
    // No method at all: everything gets the default handling.
    HWND plain = AllocateHWnd(nullptr);
    SetWindowTextW(plain, L"plain");
    wchar_t text[32] = {};
    GetWindowTextW(plain, text, 32);
    EXPECT_STREQ(L"plain", text);
    DeallocateHWnd(plain);
}

TEST(HiddenWindow, DeallocateFromAnotherThreadStopsTheMethodAndTheOwnerDestroysTheWindow) {
    TReceiver receiver;
    TWindowThread thread(receiver, false);
    HWND wnd = thread.Wnd();
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 1, 0, 0));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Saw(WM_APP + 1); }));
    DeallocateHWnd(wnd); // from this thread, which may not destroy the window itself
    size_t seen = receiver.Seen().size();
    PostMessageW(wnd, WM_APP + 2, 0, 0);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(wnd, WM_APP + 3, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(wnd); }));
    EXPECT_EQ(seen, receiver.Seen().size());
    EXPECT_FALSE(thread.Finished());
}

TEST(HiddenWindow, DeallocateFromAnotherThreadWaitsForTheRunningCall) {
    TKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> finished{false};
    TReceiver receiver;
    receiver.OnMessage = [&](TMessage& m) {
        if (m.Msg != WM_APP + 5) return;
        SetEvent(entered.Get());
        Sleep(300);
        finished = true;
    };
    TWindowThread thread(receiver, false);
    ASSERT_TRUE(PostMessageW(thread.Wnd(), WM_APP + 5, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered.Get(), 10000));
    DeallocateHWnd(thread.Wnd());
    EXPECT_TRUE(finished); // the method's object could go now
}

// The running call waits for the thread that deallocates: that thread must go on serving the
// messages sent to it, or both wait for ever.
TEST(HiddenWindow, DeallocateFromAnotherThreadServesMessagesTheRunningCallSendsIt) {
    TReceiver mine;
    mine.OnMessage = [](TMessage& m) { m.Result = 99; };
    HWND myWnd = AllocateHWnd(mine.Method());
    mine.Wnd = myWnd;

    TKernelHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<LRESULT> answer{0};
    TReceiver receiver;
    receiver.OnMessage = [&](TMessage& m) {
        if (m.Msg != WM_APP + 6) return;
        SetEvent(entered.Get());
        Sleep(50);
        answer = SendMessageW(myWnd, WM_APP + 8, 0, 0);
    };
    TWindowThread thread(receiver, false);
    ASSERT_TRUE(PostMessageW(thread.Wnd(), WM_APP + 6, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered.Get(), 10000));
    DeallocateHWnd(thread.Wnd());
    EXPECT_EQ(99, answer.load());
    EXPECT_TRUE(mine.Saw(WM_APP + 8));
    DeallocateHWnd(myWnd);
}

TEST(HiddenWindow, DeallocateFromInsideTheMethod) {
    TReceiver receiver;
    receiver.OnMessage = [&](TMessage& m) {
        if (m.Msg != WM_APP + 9) return;
        DeallocateHWnd(receiver.Wnd);
        m.Result = IsWindow(receiver.Wnd) ? 1 : 2;
    };
    HWND wnd = AllocateHWnd(receiver.Method());
    receiver.Wnd = wnd;
    EXPECT_EQ(2, SendMessageW(wnd, WM_APP + 9, 0, 0));
    EXPECT_FALSE(IsWindow(wnd));
    DeallocateHWnd(wnd); // a second time: ignored
}

TEST(HiddenWindow, DeallocateAfterTheOwnerThreadEnded) {
    TReceiver receiver;
    TWindowThread thread(receiver, false);
    HWND wnd = thread.Wnd();
    thread.Stop();
    // The system took the window with its thread; what is left to do must not fail.
    EXPECT_FALSE(IsWindow(wnd));
    DeallocateHWnd(wnd);
    EXPECT_TRUE(receiver.Seen().empty());
}

TEST(HiddenWindow, NilAndForeignWindowsAreIgnored) {
    DeallocateHWnd(nullptr);
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, foreign);
    DeallocateHWnd(foreign);
    EXPECT_TRUE(IsWindow(foreign));
    DestroyWindow(foreign);
}

// The program's windows use the class of the program (the library compiled in); windows made by
// the run-time DLL in the same process use the DLL's own class of the same name.
TEST(HiddenWindow, OneClassPerModule) {
    HWND first = AllocateHWnd(nullptr);
    HWND second = AllocateHWnd(nullptr);
    EXPECT_EQ(GetClassLongPtrW(first, GCW_ATOM), GetClassLongPtrW(second, GCW_ATOM));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetModuleHandleW(nullptr)), GetWindowLongPtrW(second, GWLP_HINSTANCE));

    TModuleHandle probe(LoadLibraryW(L"host_probe_lib.dll"));
    ASSERT_TRUE(probe.Valid()) << GetLastError();
    auto allocate = reinterpret_cast<HWND (*)()>(reinterpret_cast<void*>(GetProcAddress(probe.Get(), "ProbeAllocateHWnd")));
    auto deallocate =
        reinterpret_cast<void (*)(HWND)>(reinterpret_cast<void*>(GetProcAddress(probe.Get(), "ProbeDeallocateHWnd")));
    ASSERT_TRUE(allocate && deallocate);
    HWND fromDll = allocate();
    ASSERT_TRUE(IsWindow(fromDll));
    HMODULE runtimeDll = GetModuleHandleW(sizeof(void*) == 8 ? L"tamrelrt64.dll" : L"tamrelrt.dll");
    ASSERT_NE(nullptr, runtimeDll);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(runtimeDll), GetWindowLongPtrW(fromDll, GWLP_HINSTANCE));
    EXPECT_EQ(L"TamrelHiddenWindow", ClassNameOf(fromDll));
    EXPECT_EQ(0x51, SendMessageW(fromDll, WM_APP, 0, 0)); // the DLL's procedure and method
    EXPECT_EQ(0, SendMessageW(second, WM_APP, 0, 0));
    deallocate(fromDll);
    EXPECT_FALSE(IsWindow(fromDll));
    // The program's windows are untouched by the DLL's.
    DeallocateHWnd(first);
    DeallocateHWnd(second);
    EXPECT_FALSE(IsWindow(second));
}

// ---------------------------------------------------------------------------------------------
// Windows made when first needed

namespace {

// Serves this thread's queue in alertable waits until Done: the way the host application's pump
// serves another thread's request for a window of this thread.
bool ServeAlertably(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (TicksSince(start) > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_ALERTABLE | MWMO_INPUTAVAILABLE);
    }
    return true;
}

BOOL CALLBACK CountHiddenWindow(HWND wnd, LPARAM count) {
    if (ClassNameOf(wnd) == L"TamrelHiddenWindow") ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int HiddenWindowsOfThisThread() {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountHiddenWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

DWORD ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const EOSError& e) {
        return e.ErrorCode();
    }
    return 0;
}

} // namespace

TEST(DeferredWindow, IsMadeOnTheOwnerThreadAtTheFirstRequireOnly) {
    TReceiver receiver;
    TDeferredWindow window(receiver.Method());
    const int before = HiddenWindowsOfThisThread();
    EXPECT_EQ(nullptr, window.Handle());
    EXPECT_EQ(before, HiddenWindowsOfThisThread());

    HWND wnd = window.Require();
    receiver.Wnd = wnd;
    ASSERT_TRUE(IsWindow(wnd));
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(wnd, nullptr));
    EXPECT_EQ(wnd, window.Handle());
    EXPECT_EQ(wnd, window.Require());
    EXPECT_EQ(before + 1, HiddenWindowsOfThisThread());
    SendMessageW(wnd, WM_APP + 1, 0, 0);
    EXPECT_TRUE(receiver.Saw(WM_APP + 1));
}

TEST(DeferredWindow, OtherThreadsGetTheOneWindowTheOwnerMakesInItsAlertableWait) {
    TReceiver receiver;
    TDeferredWindow window(receiver.Method());
    std::atomic<int> done{0};
    HWND got[3] = {};
    DWORD errors[3] = {};
    std::vector<std::thread> requesters;
    for (int i = 0; i < 3; ++i)
        requesters.emplace_back([&, i] {
            errors[i] = ErrorOf([&] { got[i] = window.Require(); });
            ++done;
        });
    const bool served = ServeAlertably([&] { return done.load() == 3; });
    for (auto& t : requesters) t.join();
    ASSERT_TRUE(served);
    ASSERT_NE(nullptr, window.Handle());
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(window.Handle(), nullptr));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0u, errors[i]) << i;
        EXPECT_EQ(window.Handle(), got[i]) << i;
    }
}

TEST(DeferredWindow, ARequestAfterTheOwnerThreadEndedFails) {
    TReceiver receiver;
    std::unique_ptr<TDeferredWindow> window;
    std::thread([&] { window = std::make_unique<TDeferredWindow>(receiver.Method()); }).join();
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), ErrorOf([&] { window->Require(); }));
    EXPECT_EQ(nullptr, window->Handle());
}

TEST(DeferredWindow, GoingAwayWhileARequestWaitsFailsTheRequestAndMakesNoWindow) {
    TReceiver receiver;
    auto window = std::make_unique<TDeferredWindow>(receiver.Method());
    const int before = HiddenWindowsOfThisThread();
    // The requester serves messages sent to its own window while it waits in Require: once a
    // message sent to that window comes back, the request is on its way to this thread.
    TReceiver requesterReceiver;
    std::atomic<HWND> requesterWindow{nullptr};
    std::atomic<DWORD> error{0};
    std::atomic<bool> done{false};
    std::thread requester([&] {
        HWND own = AllocateHWnd(requesterReceiver.Method());
        requesterReceiver.Wnd = own;
        requesterWindow = own;
        error = ErrorOf([&] { window->Require(); });
        DeallocateHWnd(own);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return requesterWindow.load() != nullptr; }));
    SendMessageW(requesterWindow, WM_APP + 2, 0, 0);
    window.reset();
    requester.join();
    EXPECT_TRUE(requesterReceiver.Saw(WM_APP + 2));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), error.load());
    // The request reaches this thread now and finds the object gone.
    EXPECT_EQ(DWORD(WAIT_IO_COMPLETION), SleepEx(0, TRUE));
    EXPECT_EQ(before, HiddenWindowsOfThisThread());
}
