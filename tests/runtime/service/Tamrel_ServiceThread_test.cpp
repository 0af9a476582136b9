// The running side of a service module in-process: the main routine runs on a thread of the test,
// the service manager's part is played by recorders in the wrapper layer's redirection slots, and
// control requests go through the module's control handler as the dispatcher thread would send
// them. This makes the races of the pause hand-off, early stop requests and the self-stop thread
// deterministic.
#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/internal/Tamrel_NTServiceInternal.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"
#include "tests/runtime/service/ServiceRunSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class TProbeService : public TNtService {
    TAMREL_CLASS(TProbeService, TNtService)
public:
    using TNtService::TNtService;
    std::function<void(TProbeService*, bool&)> StartFn, PauseFn;
    std::function<void(TProbeService*)> StopFn;
    std::atomic<int> Pauses{0}, Continues{0}, Stops{0}, Customs{0};

    void Wire() {
        SetOnStart(MakeMethod<&TProbeService::ServiceStart>(this));
        SetOnPause(MakeMethod<&TProbeService::ServicePause>(this));
        SetOnContinue(MakeMethod<&TProbeService::ServiceContinue>(this));
        SetOnStop(MakeMethod<&TProbeService::ServiceStop>(this));
        SetOnCustomControl(MakeMethod<&TProbeService::ServiceCustom>(this));
    }
    void ServiceStart(TNtService*, bool& d) {
        if (StartFn) StartFn(this, d);
    }
    void ServicePause(TNtService*, bool& d) {
        ++Pauses;
        if (PauseFn) PauseFn(this, d);
    }
    void ServiceContinue(TNtService*, bool&) { ++Continues; }
    void ServiceStop(TNtService*, bool&) {
        ++Stops;
        if (StopFn) StopFn(this);
    }
    void ServiceExecute(TObject*) {} // returns at once: the run ends without a stop request
    void ServiceCustom(TNtService*, int32_t) { ++Customs; }
};
TAMREL_IMPLEMENT_CLASS(TProbeService) {}

struct ServiceThreadTest : ::testing::Test {
    TStatusLog log;
    TServiceSlots slots{&log};
    TProbeService* service = nullptr;
    std::thread runner;

    void SetUp() override {
        service = Create<TProbeService>(nullptr);
        service->SetName(L"Probe");
        service->SetWaitHint(100);
        service->Wire();
    }
    void TearDown() override {
        if (runner.joinable()) {
            service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
            runner.join();
        }
        Free(service);
    }
    // The main routine, as the service manager would call it on a thread of its own.
    void RunMain() {
        runner = std::thread([this] {
            wchar_t name[] = L"Probe";
            LPWSTR argv[] = {name};
            service->Main(1, argv);
        });
    }
    void Join() {
        if (runner.joinable()) runner.join();
    }
};

} // namespace

TEST_F(ServiceThreadTest, RunsTheLifecycleOnItsOwnThreadAndFreesEveryRequest) {
    long before = ControlRequestsAlive();
    // ThreadID is set while Run executes, which begins after the running report: read it where
    // Run serves a request, on the thread that serves it.
    std::atomic<DWORD> idInPause{0}, threadOfPause{0};
    service->PauseFn = [&](TProbeService* s, bool&) {
        idInPause = s->ThreadID();
        threadOfPause = GetCurrentThreadId();
    };
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_PAUSED, 5000));
    EXPECT_NE(0u, idInPause.load());
    EXPECT_EQ(threadOfPause.load(), idInPause.load());
    EXPECT_NE(GetCurrentThreadId(), idInPause.load());
    EXPECT_EQ(idInPause.load(), service->ThreadID());
    const size_t pausedReports = log.Count(); // before the requests: their reports may come at once
    service->Controller(SERVICE_CONTROL_INTERROGATE, 0, nullptr); // resumes the suspended thread
    service->Controller(SERVICE_CONTROL_CONTINUE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, pausedReports + 1));
    service->Controller(200, 0, nullptr);
    service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    Join();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    EXPECT_EQ(0u, service->ThreadID());
    EXPECT_EQ(1, service->Pauses.load());
    EXPECT_EQ(1, service->Continues.load());
    EXPECT_EQ(1, service->Customs.load());
    EXPECT_EQ(1, service->Stops.load());
    EXPECT_EQ(before, ControlRequestsAlive());
}

TEST_F(ServiceThreadTest, ARequestThatArrivesWhilePausingIsNotLost) {
    // The continue request is posted while OnPause still runs, before the thread announces its
    // suspension: the handler finds nothing to resume. The thread must see the waiting request
    // instead of suspending with nobody to wake it.
    std::atomic<bool> inPause{false};
    service->PauseFn = [&](TProbeService*, bool&) {
        inPause = true;
        Sleep(200);
    };
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    for (int round = 0; round < 5; ++round) {
        inPause = false;
        size_t reports = log.Count();
        service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
        while (!inPause) Sleep(1);
        service->Controller(SERVICE_CONTROL_CONTINUE, 0, nullptr);
        ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 3000, reports + 3)) << "round " << round;
    }
    EXPECT_EQ(5, service->Continues.load());
}

TEST_F(ServiceThreadTest, PauseAndContinueRacesNeverLoseAResume) {
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    for (int round = 0; round < 300; ++round) {
        size_t reports = log.Count();
        service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
        service->Controller(SERVICE_CONTROL_CONTINUE, 0, nullptr);
        // pause pending, paused, continue pending, running
        ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 3000, reports + 4)) << "round " << round;
    }
    EXPECT_EQ(300, service->Pauses.load());
    EXPECT_EQ(300, service->Continues.load());
}

TEST_F(ServiceThreadTest, AStopDuringStartIsQueuedNotLost) {
    // A stop that arrives before the request loop runs (here: sent from OnStart itself, before the
    // module's ThreadID is set) waits in the thread's queue and is served.
    long before = ControlRequestsAlive();
    service->StartFn = [](TProbeService* s, bool& d) {
        EXPECT_EQ(0u, s->ThreadID());
        s->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
        d = true;
    };
    RunMain();
    Join();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    EXPECT_EQ(1, service->Stops.load());
    EXPECT_EQ(before, ControlRequestsAlive());
}

TEST_F(ServiceThreadTest, RequestsAfterTheRunEndAreFreed) {
    long before = ControlRequestsAlive();
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    Join();
    for (int i = 0; i < 10; ++i) service->Controller(SERVICE_CONTROL_INTERROGATE, 0, nullptr);
    EXPECT_EQ(before, ControlRequestsAlive());
}

TEST_F(ServiceThreadTest, RequestsLeftInTheQueueWhenTheRunEndsAreFreed) {
    // OnExecute returns at once, so the run ends with the main routine's own stop; what OnStop
    // posts then reaches the queue of a thread whose request loop has finished.
    const long before = ControlRequestsAlive();
    service->SetOnExecute(MakeMethod<&TProbeService::ServiceExecute>(service));
    std::atomic<long> posted{0};
    service->StopFn = [&](TProbeService* s) {
        for (int i = 0; i < 5; ++i) s->Controller(SERVICE_CONTROL_INTERROGATE, 0, nullptr);
        posted = ControlRequestsAlive() - before;
    };
    RunMain();
    Join();
    EXPECT_EQ(1, service->Stops.load());
    EXPECT_EQ(5, posted.load()) << "the requests waited in the queue";
    EXPECT_EQ(before, ControlRequestsAlive());
}

TEST_F(ServiceThreadTest, ARefusedOrFailedPauseReportsTheFormerStateAgain) {
    struct Case {
        const char* name;
        std::function<void(TProbeService*, bool&)> pause;
    } cases[] = {
        {"refused", [](TProbeService*, bool& d) { d = false; }},
        {"raised", [](TProbeService*, bool&) { throw Exception(L"pause failure"); }},
    };
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service->PauseFn = c.pause;
        const size_t before = log.Count();
        service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
        ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, before + 2));
        {
            std::lock_guard<std::mutex> l(log.Lock);
            EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSE_PENDING), log.Reports[before].dwCurrentState);
        }
        EXPECT_EQ(csRunning, service->CurrentStatus());
    }
    EXPECT_EQ(2, service->Pauses.load());
}

TEST_F(ServiceThreadTest, FailedStartStopsItselfAfterFourWaitHints) {
    service->StartFn = [](TProbeService*, bool& d) { d = false; };
    DWORD start = GetTickCount();
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(150, 0, nullptr); // a custom code after a failed start reaches nothing
    Join();
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 380u); // 4 x 100 ms
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    EXPECT_EQ(0, service->Customs.load());
    EXPECT_EQ(0, service->Stops.load()); // OnStop runs only after a start that answered True
}

TEST_F(ServiceThreadTest, AStaleSelfStopNeverStopsALaterRun) {
    // Run 1 fails its start and arms the self-stop for 4 x 250 ms, then is stopped at once.
    service->SetWaitHint(250);
    int runs = 0;
    service->StartFn = [&](TProbeService*, bool& d) { d = ++runs > 1; };
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    Join();
    // Run 2 of the same module starts well: the first run's self-stop must leave it alone.
    const size_t firstRunReports = log.Count(); // before the run: its reports may come at once
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, firstRunReports + 1));
    Sleep(1500);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), log.Last());
}

TEST_F(ServiceThreadTest, DestroyingAModuleEndsItsPendingSelfStop) {
    service->SetWaitHint(2000);
    service->StartFn = [](TProbeService*, bool& d) { d = false; };
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    Join();
    DWORD start = GetTickCount();
    Free(service); // the self-stop thread waits 8 s; destruction must end it, not wait for it
    service = Create<TProbeService>(nullptr);
    EXPECT_LT(GetTickCount() - start, 2000u);
}

TEST_F(ServiceThreadTest, SynchronizerOfTheServiceThreadAndCustomCodes) {
    service->SetUseSynchronizer(true);
    DWORD ranOn = 0;
    service->StartFn = [](TProbeService*, bool& d) { d = true; };
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    // The synchronizer is made right after the running report.
    for (int i = 0; i < 500 && service->ThreadID() == 0; ++i) Sleep(10);
    // Execute from this thread runs the method on the service thread, which serves the window.
    service->Synchronizer()->Execute(TThreadMethod::FromFunction(
        [](void* p) { *static_cast<DWORD*>(p) = GetCurrentThreadId(); }, &ranOn));
    EXPECT_EQ(service->ThreadID(), ranOn);
    for (DWORD code = 128; code <= 255; code += 31) service->Controller(code, 0, nullptr);
    service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    Join();
    EXPECT_EQ(5, service->Customs.load());
    EXPECT_THROW(service->Synchronizer(), Exception); // freed at stop
}

TEST_F(ServiceThreadTest, ConsoleEventsMapToTheModulesEvent) {
    struct TConsoleListener {
        std::vector<TrkConsoleEventType> Seen;
        bool Answer = false;
        void Handle(TNtService*, TrkConsoleEventType code, bool& doNotHandleNext) {
            Seen.push_back(code);
            doNotHandleNext = Answer;
        }
    } listener;
    service->SetOnConsoleEvent(TNtServiceConsoleCtrl::Of<&TConsoleListener::Handle>(&listener));
    const DWORD types[] = {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT};
    for (DWORD t : types) EXPECT_FALSE(TNtService::ConsoleEntry(service, t));
    EXPECT_EQ((std::vector<TrkConsoleEventType>{ceCtrlC, ceCtrlBreak, ceCtrlClose, ceCtrlLogoff, ceCtrlShutdown}),
              listener.Seen);
    listener.Answer = true;
    EXPECT_TRUE(TNtService::ConsoleEntry(service, CTRL_C_EVENT));
    // Unknown types are not the module's: answered False without calling it.
    EXPECT_FALSE(TNtService::ConsoleEntry(service, 3));
    EXPECT_EQ(6u, listener.Seen.size());
}

TEST_F(ServiceThreadTest, AShutdownLeavesNoConsoleHandlerBehind) {
    // The console thunk is freed with the module: it must not stay registered after the run.
    service->SetOnConsoleEvent(
        TNtServiceConsoleCtrl::FromFunction([](void*, TNtService*, TrkConsoleEventType, bool&) {}, nullptr));
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_SHUTDOWN, 0, nullptr);
    Join();
    EXPECT_FALSE(SetConsoleCtrlHandler(service->ConsoleThunk(), FALSE)) << "it was still registered";
}

TEST_F(ServiceThreadTest, AModuleWhoseThreadOutlivesItsStopIsNeverFreedUnderIt) {
    // OnExecute goes on after the stopped report (its own clean-up) until the test lets it end.
    TKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    service->SetOnExecute(TNotifyEvent::FromFunction(
        [](void* event, TObject* sender) {
            auto* s = static_cast<TProbeService*>(sender);
            while (!s->Terminated()) {
                MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
                s->ProcessRequests(false);
            }
            WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
        },
        release.Get()));
    std::unique_ptr<TNtServiceApplication, void (*)(TObject*)> app(Create<TNtServiceApplication>(nullptr), Free);
    app->InsertComponent(service);
    TScopeExit end([&] {
        SetEvent(release.Get());
        Join();
        if (service->Owner()) app->RemoveComponent(service); // the fixture frees it
    });
    RunMain();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    service->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_STOPPED, 5000)); // where the dispatcher returns
    EXPECT_FALSE(AwaitServiceThreads(*app, 100));
    EXPECT_EQ(nullptr, service->Owner()) << "the end of the program would free it under its thread";
}
