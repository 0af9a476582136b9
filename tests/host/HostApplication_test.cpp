// The host application object: its window, the pump, hooks and exception handling. The tests
// work on the process's one host application, on the main thread (the window needs the display
// the test run provides). What a program without an exception handler shows is read from probe
// programs (tests/host/programs/HostAppProbe.cpp).
#include "host/HostApplication.h"
#include "host/HiddenWindow.h"
#include "host/SysUtils.h"
#include "host/Threads.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A main form: records what the application asks of it.
class THostTestForm : public TComponent, public IMainForm {
    TAMREL_CLASS(THostTestForm, TComponent)
public:
    explicit THostTestForm(TComponent* owner) : TComponent(owner) {}
    void ShowMainForm() override {
        ++Shown;
        if (OnShow) OnShow();
    }
    HWND FormHandle() const override { return nullptr; }

    int Shown = 0;
    std::function<void()> OnShow;
};

// A component that is no form.
class THostTestPlain : public TComponent {
    TAMREL_CLASS(THostTestPlain, TComponent)
public:
    explicit THostTestPlain(TComponent* owner) : TComponent(owner) {}
};

// A form whose construction fails.
class THostTestBrokenForm : public TComponent, public IMainForm {
    TAMREL_CLASS(THostTestBrokenForm, TComponent)
public:
    explicit THostTestBrokenForm(TComponent* owner) : TComponent(owner) { throw Exception(L"form refused"); }
    void ShowMainForm() override {}
    HWND FormHandle() const override { return nullptr; }
};

} // namespace

TAMREL_IMPLEMENT_CLASS(THostTestForm) {}
TAMREL_IMPLEMENT_CLASS(THostTestPlain) {}
TAMREL_IMPLEMENT_CLASS(THostTestBrokenForm) {}

namespace {

// A hook of the application window: records the application-range messages it sees (and one
// registered message), answers what Answer says. Unhooks itself at the end of the test.
struct THookRecorder {
    explicit THookRecorder(THostApplication* app, UINT registered = 0) : App(app), Registered(registered) {
        App->HookMainWindow(Method());
    }
    ~THookRecorder() { App->UnhookMainWindow(Method()); }
    THookRecorder(const THookRecorder&) = delete;
    THookRecorder& operator=(const THookRecorder&) = delete;

    bool Hook(TMessage& m) {
        if (m.Msg < WM_APP && m.Msg != Registered && m.Msg != WM_SETTEXT) return false;
        Seen.push_back(m.Msg);
        return Answer ? Answer(m) : false;
    }
    TWindowHook Method() { return MakeMethod<&THookRecorder::Hook>(this); }
    bool Saw(UINT msg) const {
        for (UINT s : Seen)
            if (s == msg) return true;
        return false;
    }

    THostApplication* App;
    UINT Registered;
    std::vector<UINT> Seen;
    std::function<bool(TMessage&)> Answer;
};

// Collects what reaches OnException.
struct TExceptionRecorder {
    struct TEntry {
        TObject* Sender;
        std::wstring ClassName;
        std::wstring Message;
    };
    void Handler(TObject* sender, Exception& e) { Entries.push_back({sender, e.ClassName(), e.Message()}); }
    TExceptionEvent Method() { return MakeMethod<&TExceptionRecorder::Handler>(this); }
    std::vector<TEntry> Entries;
};

// Runs a function on a thread of its own and joins it at the end of the scope.
class TBackground {
public:
    explicit TBackground(std::function<void()> body) : FThread(std::move(body)) {}
    ~TBackground() { Join(); }
    void Join() {
        if (FThread.joinable()) FThread.join();
    }

private:
    std::thread FThread;
};

class HostApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        App = HostApplication.Get();
        ASSERT_NE(nullptr, App);
        ASSERT_NE(nullptr, App->Handle()) << "the application window needs the display";
        Reset();
    }
    void TearDown() override {
        App->DestroyComponents();
        App->SetShowMainForm(true);
        Reset();
    }
    // Nothing left over from an earlier test: an empty queue, no quit pending, no handler.
    void Reset() {
        App->SetOnException(nullptr);
        App->ProcessMessages();
        App->SetTerminated(false);
    }
    THostApplication* App = nullptr;
};

} // namespace

TEST_F(HostApplicationTest, ApplicationWindowIsAHiddenTopLevelWindowThatGetsBroadcasts) {
    HWND wnd = App->Handle();
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_FALSE(IsWindowVisible(wnd));
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(wnd, GA_PARENT)); // not message-only
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(wnd, nullptr));
    App->Initialize(); // a second time keeps the window
    EXPECT_EQ(wnd, App->Handle());

    UINT broadcast = RegisterWindowMessageW(L"TamrelHostApplicationTestBroadcast");
    ASSERT_NE(0u, broadcast);
    THookRecorder hook(App, broadcast);
    ASSERT_TRUE(PostMessageW(HWND_BROADCAST, broadcast, 3, 4));
    App->ProcessMessages();
    EXPECT_TRUE(hook.Saw(broadcast));
}

TEST_F(HostApplicationTest, TitleNamesTheProgramAndIsTheWindowText) {
    EXPECT_EQ(L"host_tests", App->Title());
    wchar_t text[64] = {};
    GetWindowTextW(App->Handle(), text, 64);
    EXPECT_STREQ(L"host_tests", text);
    App->SetTitle(L"Other title");
    GetWindowTextW(App->Handle(), text, 64);
    EXPECT_STREQ(L"Other title", text);
    App->SetTitle(L"host_tests");
}

TEST_F(HostApplicationTest, CreateFormMakesTheFirstFormTheMainForm) {
    THostTestPlain* plain = nullptr;
    App->CreateForm(plain);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(App, plain->Owner());
    EXPECT_EQ(nullptr, App->MainForm()); // no form

    THostTestForm* first = nullptr;
    THostTestForm* second = nullptr;
    App->CreateForm(first);
    App->CreateForm(second);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first, App->MainForm());
    EXPECT_EQ(3, App->ComponentCount());

    // The main form going away leaves none (the second form does not move up).
    Free(first);
    EXPECT_EQ(nullptr, App->MainForm());
}

TEST_F(HostApplicationTest, CreateFormFailureLeavesTheReferenceNilAndPassesTheException) {
    THostTestBrokenForm* form = reinterpret_cast<THostTestBrokenForm*>(static_cast<uintptr_t>(0x10));
    try {
        App->CreateForm(form);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(L"form refused", e.Message());
    }
    EXPECT_EQ(nullptr, form);
    EXPECT_EQ(nullptr, App->MainForm());
    EXPECT_EQ(0, App->ComponentCount());
}

TEST_F(HostApplicationTest, RunReturnsAtOnceWithoutAMainForm) {
    THookRecorder hook(App);
    ASSERT_TRUE(PostMessageW(App->Handle(), WM_APP + 1, 0, 0));
    App->Run();
    EXPECT_FALSE(App->Terminated());
    EXPECT_TRUE(hook.Seen.empty()); // nothing was pumped
    App->ProcessMessages();
    EXPECT_TRUE(hook.Saw(WM_APP + 1));
}

TEST_F(HostApplicationTest, RunShowsTheMainFormAndPumpsUntilTerminate) {
    struct Case {
        bool showMainForm;
        int expectedShown;
    } cases[] = {{true, 1}, {false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.showMainForm ? "main form shown" : "main form not shown");
        Reset();
        App->SetShowMainForm(c.showMainForm);
        THostTestForm* form = nullptr;
        App->CreateForm(form);
        ASSERT_EQ(form, App->MainForm());

        // The message that ends the run arrives from another thread once Run is pumping: Run
        // must wait for it rather than return when the queue runs dry.
        std::atomic<bool> posted{false};
        HWND wnd = App->Handle();
        THookRecorder hook(App);
        hook.Answer = [&](TMessage& m) {
            if (m.Msg == WM_APP + 2) {
                App->Terminate();
                m.Result = 0;
                return true;
            }
            return false;
        };
        ASSERT_TRUE(PostMessageW(wnd, WM_APP + 1, 0, 0));
        TBackground poster([&] {
            Sleep(100);
            posted = true;
            PostMessageW(wnd, WM_APP + 2, 0, 0);
        });
        App->Run();
        EXPECT_TRUE(posted);
        EXPECT_TRUE(App->Terminated());
        EXPECT_EQ((std::vector<UINT>{WM_APP + 1, WM_APP + 2}), hook.Seen);
        EXPECT_EQ(c.expectedShown, form->Shown);
        // Terminated stays: a second Run returns at once.
        ASSERT_TRUE(PostMessageW(wnd, WM_APP + 3, 0, 0));
        App->Run();
        EXPECT_FALSE(hook.Saw(WM_APP + 3));
        App->DestroyComponents();
    }
}

TEST_F(HostApplicationTest, QuitPostedToTheApplicationWindowEndsRun) {
    THostTestForm* form = nullptr;
    App->CreateForm(form);
    HWND wnd = App->Handle();
    form->OnShow = [wnd] { PostMessageW(wnd, WM_QUIT, 0, 0); };
    App->Run();
    EXPECT_TRUE(App->Terminated());
    EXPECT_EQ(1, form->Shown);
}

// The way the service application ends its pump: the dispatcher's thread posts the quit to the
// application window, the main thread loops on HandleMessage until Terminated.
TEST_F(HostApplicationTest, QuitPostedFromAnotherThreadEndsTheHandleMessageLoop) {
    struct Case {
        const char* name;
        std::function<void(HWND, DWORD)> post;
    } cases[] = {
        {"to the application window", [](HWND wnd, DWORD) { PostMessageW(wnd, WM_QUIT, 0, 0); }},
        {"to the main thread", [](HWND, DWORD thread) { PostThreadMessageW(thread, WM_QUIT, 0, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        HWND wnd = App->Handle();
        DWORD thread = GetCurrentThreadId();
        TBackground poster([&] {
            Sleep(50);
            c.post(wnd, thread);
        });
        while (!App->Terminated()) App->HandleMessage();
        EXPECT_TRUE(App->Terminated());
    }
}

// The service application's exception handler terminates the host application; the exception
// may come from a window of any thread, so Terminate must end the run from any thread.
TEST_F(HostApplicationTest, TerminateFromAnotherThreadEndsRun) {
    THostTestForm* form = nullptr;
    App->CreateForm(form);
    // Should the quit go astray, a watchdog ends the run after a deadline and says so, instead of
    // the run hanging until the test program is killed.
    const DWORD runThread = GetCurrentThreadId();
    TKernelHandle terminated(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> rescued{false};
    TBackground terminator([&] {
        Sleep(50);
        App->Terminate();
        if (WaitForSingleObject(terminated.Get(), 10000) == WAIT_TIMEOUT) {
            rescued = true;
            PostThreadMessageW(runThread, WM_QUIT, 0, 0);
        }
    });
    App->Run();
    SetEvent(terminated.Get());
    EXPECT_FALSE(rescued.load()) << "Run did not end within 10 s of Terminate from another thread";
    EXPECT_TRUE(App->Terminated());
}

TEST_F(HostApplicationTest, HandleMessageHandlesOneMessageOrWaitsForOne) {
    THookRecorder hook(App);
    HWND wnd = App->Handle();
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 1, 0, 0));
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 2, 0, 0));
    App->HandleMessage();
    EXPECT_EQ((std::vector<UINT>{WM_APP + 1}), hook.Seen);
    App->HandleMessage();
    EXPECT_EQ((std::vector<UINT>{WM_APP + 1, WM_APP + 2}), hook.Seen);

    // An empty queue: it returns only once something arrived; the next call handles it.
    std::atomic<bool> posted{false};
    TBackground poster([&] {
        Sleep(100);
        posted = true;
        PostMessageW(wnd, WM_APP + 3, 0, 0);
    });
    App->HandleMessage();
    EXPECT_TRUE(posted);
    poster.Join();
    App->HandleMessage();
    EXPECT_TRUE(hook.Saw(WM_APP + 3));
    EXPECT_FALSE(App->Terminated());
}

TEST_F(HostApplicationTest, ProcessMessagesHandlesEverythingWaitingAndReturns) {
    THookRecorder hook(App);
    HWND wnd = App->Handle();
    for (UINT i = 1; i <= 5; ++i) ASSERT_TRUE(PostMessageW(wnd, WM_APP + i, 0, 0));
    App->ProcessMessages();
    EXPECT_EQ((std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3, WM_APP + 4, WM_APP + 5}), hook.Seen);
    App->ProcessMessages(); // nothing waiting: returns at once
    EXPECT_EQ(5u, hook.Seen.size());
    EXPECT_FALSE(App->Terminated());

    // A quit among them marks the application terminated; what follows is still handled.
    ASSERT_TRUE(PostMessageW(wnd, WM_QUIT, 0, 0));
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 6, 0, 0));
    App->ProcessMessages();
    EXPECT_TRUE(App->Terminated());
    EXPECT_TRUE(hook.Saw(WM_APP + 6));
}

TEST_F(HostApplicationTest, HooksSeeEachMessageFirstAndCanStopTheHostsHandling) {
    HWND wnd = App->Handle();
    std::vector<std::string> order;
    THookRecorder first(App);
    THookRecorder second(App);
    first.Answer = [&](TMessage& m) {
        order.push_back("first");
        if (m.Msg == WM_SETTEXT) {
            m.Result = TRUE;
            return true; // the window keeps its text
        }
        if (m.Msg == WM_APP + 7) {
            m.Result = 0x77;
            return true;
        }
        return false;
    };
    second.Answer = [&](TMessage& m) {
        order.push_back("second");
        m.Result = 0x22;
        return m.Msg == WM_APP + 8;
    };

    EXPECT_EQ(0x77, SendMessageW(wnd, WM_APP + 7, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"first"}), order); // the second never saw it
    order.clear();
    EXPECT_EQ(0x22, SendMessageW(wnd, WM_APP + 8, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), order);

    EXPECT_TRUE(SetWindowTextW(wnd, L"changed"));
    wchar_t text[64] = {};
    GetWindowTextW(wnd, text, 64);
    EXPECT_EQ(App->Title(), text);
    EXPECT_FALSE(second.Saw(WM_SETTEXT));
}

TEST_F(HostApplicationTest, HookingTwiceHooksOnceAndUnhookedHooksSeeNothing) {
    HWND wnd = App->Handle();
    THookRecorder hook(App);
    App->HookMainWindow(hook.Method()); // already hooked
    SendMessageW(wnd, WM_APP + 1, 0, 0);
    EXPECT_EQ((std::vector<UINT>{WM_APP + 1}), hook.Seen);

    App->UnhookMainWindow(hook.Method());
    SendMessageW(wnd, WM_APP + 2, 0, 0);
    EXPECT_FALSE(hook.Saw(WM_APP + 2));
    App->UnhookMainWindow(hook.Method()); // not hooked: ignored

    // Without a hook that stops it, the host hands the message to the default handling.
    EXPECT_TRUE(SetWindowTextW(wnd, L"default handling"));
    wchar_t text[64] = {};
    GetWindowTextW(wnd, text, 64);
    EXPECT_STREQ(L"default handling", text);
    App->SetTitle(L"host_tests");
}

TEST_F(HostApplicationTest, HookMayUnhookItselfWhileItRuns) {
    HWND wnd = App->Handle();
    THookRecorder leaver(App);
    THookRecorder stayer(App);
    leaver.Answer = [&](TMessage&) {
        App->UnhookMainWindow(leaver.Method());
        return false;
    };
    SendMessageW(wnd, WM_APP + 1, 0, 0);
    SendMessageW(wnd, WM_APP + 2, 0, 0);
    EXPECT_EQ((std::vector<UINT>{WM_APP + 1}), leaver.Seen);
    EXPECT_EQ((std::vector<UINT>{WM_APP + 1, WM_APP + 2}), stayer.Seen);
}

TEST_F(HostApplicationTest, HandleExceptionGivesOnExceptionAllButTheSilentAbort) {
    TExceptionRecorder recorder;
    App->SetOnException(recorder.Method());
    THostTestPlain* sender = nullptr;
    App->CreateForm(sender);

    struct Case {
        const char* name;
        std::function<void()> raise;
        bool reported;
        std::wstring className;
        std::wstring message;
    } cases[] = {
        {"host exception", [] { throw Exception(L"plain failure"); }, true, L"Exception", L"plain failure"},
        {"derived class keeps its name", [] { throw EConvertError(L"bad number"); }, true, L"EConvertError",
         L"bad number"},
        {"silent abort", [] { Abort(); }, false, L"", L""},
        {"derived from the silent abort", [] { throw EAbort(L"quiet"); }, false, L"", L""},
        {"standard exception is wrapped", [] { throw std::runtime_error("standard failure"); }, true, L"Exception",
         L"standard failure"},
        {"anything else is wrapped", [] { throw 42; }, true, L"Exception", L"Unknown exception"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.Entries.clear();
        try {
            c.raise();
        } catch (...) {
            App->HandleException(sender);
        }
        if (!c.reported) {
            EXPECT_TRUE(recorder.Entries.empty());
            continue;
        }
        ASSERT_EQ(1u, recorder.Entries.size());
        EXPECT_EQ(sender, recorder.Entries[0].Sender);
        EXPECT_EQ(c.className, recorder.Entries[0].ClassName);
        EXPECT_EQ(c.message, recorder.Entries[0].Message);
    }

    // Without a sender the application is the sender; outside a catch there is nothing to handle.
    recorder.Entries.clear();
    App->HandleException(nullptr, std::make_exception_ptr(Exception(L"no sender")));
    App->HandleException(nullptr);
    App->HandleException(sender, nullptr);
    ASSERT_EQ(1u, recorder.Entries.size());
    EXPECT_EQ(App, recorder.Entries[0].Sender);
}

TEST_F(HostApplicationTest, ExceptionInTheOnExceptionHandlerGoesNoFurther) {
    struct TThrower {
        int Calls = 0;
        void Handler(TObject*, Exception&) {
            ++Calls;
            throw Exception(L"handler failure");
        }
    } thrower;
    App->SetOnException(MakeMethod<&TThrower::Handler>(&thrower));
    EXPECT_NO_THROW(App->HandleException(nullptr, std::make_exception_ptr(Exception(L"first"))));
    EXPECT_NO_THROW(App->HandleException(nullptr, std::make_exception_ptr(std::runtime_error("second"))));
    EXPECT_EQ(2, thrower.Calls);
}

TEST_F(HostApplicationTest, ExceptionEscapingAHiddenWindowOnTheMainThreadReachesHandleException) {
    TExceptionRecorder recorder;
    App->SetOnException(recorder.Method());
    struct TFailingWindow {
        void WndProc(TMessage& m) {
            if (m.Msg == WM_APP + 1) throw Exception(L"window failure");
            if (m.Msg == WM_APP + 2) throw std::runtime_error("standard window failure");
            if (m.Msg == WM_APP + 3) Abort();
            m.Result = 0;
        }
    } failing;
    HWND wnd = AllocateHWnd(MakeMethod<&TFailingWindow::WndProc>(&failing));
    TScopeExit release([wnd] { DeallocateHWnd(wnd); });

    SendMessageW(wnd, WM_APP + 1, 0, 0);
    // Posted and pumped by the application, as in a running program.
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 2, 0, 0));
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 3, 0, 0));
    App->ProcessMessages();

    ASSERT_EQ(2u, recorder.Entries.size());
    EXPECT_EQ(L"window failure", recorder.Entries[0].Message);
    EXPECT_EQ(App, recorder.Entries[0].Sender);
    EXPECT_EQ(L"standard window failure", recorder.Entries[1].Message);
    EXPECT_EQ(L"Exception", recorder.Entries[1].ClassName);
}

TEST_F(HostApplicationTest, ConsoleProgramIsRecognised) {
    EXPECT_TRUE(THostApplication::IsConsole());
}

// ---------------------------------------------------------------------------------------------
// Programs without an exception handler, and the end of a program.

namespace {

std::vector<std::string> RunProbe(const wchar_t* program, const wchar_t* mode, std::string* out = nullptr) {
    TProcessResult r = RunProcess(ProgramPath(program) + L" " + mode, {}, 60000);
    EXPECT_FALSE(r.TimedOut) << "stdout:\n" << r.Out << "\nstderr:\n" << r.Err;
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    if (out) *out = r.Out;
    return SplitLines(r.Err);
}

// What every probe raises, in this order, and how each appears.
const std::vector<std::string> kShownMessages = {
    "Exception: Plain failure.",          // a dot is added
    "EConvertError: Ends with a dot.",    // but not a second one
    "Exception: standard failure.",       // wrapped standard exception
    "Exception: Unknown exception.",      // wrapped anything else
    "Exception: Window failure.",         // escaped a hidden window of the main thread
};

} // namespace

TEST(HostApplicationProgram, ConsoleProgramWritesTheMessageToStderrAndNeverTheSilentAbort) {
    std::string out;
    std::vector<std::string> err = RunProbe(L"hostapp_probe.exe", L"show", &out);
    EXPECT_EQ(kShownMessages, err);
    EXPECT_EQ((std::vector<std::string>{"console 1", "done"}), SplitLines(out));
}

// A windowed program shows a message box, owned by the application window and titled with the
// application's title; the probe's watcher thread reads each box and closes it.
TEST(HostApplicationProgram, WindowedProgramShowsAMessageBoxAndNeverTheSilentAbort) {
    std::string out;
    std::vector<std::string> err = RunProbe(L"hostapp_probe_gui.exe", L"show-brief", &out);
    EXPECT_TRUE(err.empty()) << "stderr:\n" << (err.empty() ? "" : err[0]);
    EXPECT_EQ((std::vector<std::string>{"console 0", "box hostapp_probe_gui owned: Plain failure.",
                                        "box hostapp_probe_gui owned: Window failure.", "done"}),
              SplitLines(out));
}

// The exit procedures run at the end of the program while the application, its window and its
// forms are still there; the forms go afterwards, with the application.
TEST(HostApplicationProgram, ExitProceduresFindTheApplicationAlive) {
    std::string out;
    std::vector<std::string> err = RunProbe(L"hostapp_probe.exe", L"exit", &out);
    EXPECT_TRUE(err.empty());
    EXPECT_EQ((std::vector<std::string>{"main end", "exit proc: application 1 window 1 forms 1", "form destroyed"}),
              SplitLines(out));
}

// ---------------------------------------------------------------------------------------------
// The application window is made when first needed

namespace {
// Applications of their own, beside the process's one.
struct TFreeApplication {
    void operator()(THostApplication* app) const { Free(app); }
};
using THostApplicationPtr = std::unique_ptr<THostApplication, TFreeApplication>;

void CALLBACK SetFlag(ULONG_PTR flag) { reinterpret_cast<std::atomic<bool>*>(flag)->store(true); }
} // namespace

TEST(HostApplicationWindow, IsMadeAtTheFirstUseOnTheApplicationsThreadAndNeverByHooking) {
    THostApplicationPtr app(Create<THostApplication>(nullptr));
    app->Initialize();
    THookRecorder hook(app.get());
    EXPECT_FALSE(app->HandleAllocated());
    // Another thread cannot make a window for this one.
    HWND seen = reinterpret_cast<HWND>(1);
    std::thread([&] { seen = app->Handle(); }).join();
    EXPECT_EQ(nullptr, seen);
    EXPECT_FALSE(app->HandleAllocated());

    HWND wnd = app->Handle();
    ASSERT_NE(nullptr, wnd) << "the application window needs the display";
    EXPECT_TRUE(app->HandleAllocated());
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(wnd, nullptr));
    wchar_t text[64] = {};
    GetWindowTextW(wnd, text, 64);
    EXPECT_STREQ(L"host_tests", text); // the title set before the window existed
    std::thread([&] { seen = app->Handle(); }).join();
    EXPECT_EQ(wnd, seen);
    // The hook set before the window existed sees its messages.
    ASSERT_TRUE(PostMessageW(wnd, WM_APP + 3, 0, 0));
    app->ProcessMessages();
    EXPECT_TRUE(hook.Saw(WM_APP + 3));
}

TEST(HostApplicationWindow, RunMakesItBeforeTheMainFormShows) {
    THostApplicationPtr app(Create<THostApplication>(nullptr));
    THostTestForm* form = nullptr;
    app->CreateForm(form);
    ASSERT_NE(nullptr, form);
    bool madeBeforeShowing = false;
    form->OnShow = [&] {
        madeBeforeShowing = app->HandleAllocated();
        app->Terminate();
    };
    EXPECT_FALSE(app->HandleAllocated());
    app->Run();
    EXPECT_EQ(1, form->Shown);
    EXPECT_TRUE(madeBeforeShowing);
}

TEST_F(HostApplicationTest, HandleMessageRunsCallsQueuedToTheThreadWhileItWaits) {
    // Another thread's request for a window of this thread arrives this way (TDeferredWindow).
    HANDLE self = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self,
                                THREAD_SET_CONTEXT, FALSE, 0));
    TKernelHandle owner(self);
    std::atomic<bool> ran{false};
    ASSERT_TRUE(QueueUserAPC(&SetFlag, owner.Get(), reinterpret_cast<ULONG_PTR>(&ran)));
    // With an empty queue the wait ends with the call; a message that came first is handled first.
    for (int i = 0; i < 100 && !ran; ++i) App->HandleMessage();
    EXPECT_TRUE(ran);
}
