#include "runtime/sessions/Tamrel_LaunchFrontEnd.h"
#include "runtime/sessions/internal/Tamrel_LaunchFrontEndInternal.h"
#include "tests/runtime/sessions/SessionsTestSupport.h"

#include "host/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TRecorder {
    int Launched = 0, Errors = 0;
    void Launch(TObject*, TrkLaunchedProcess*) { ++Launched; }
    void Error(TObject*) { ++Errors; }
};

} // namespace

TEST(LaunchFrontEnd, CreationFlagsAlwaysAskForTheUnicodeEnvironment) {
    struct Case {
        TrkCreateProcessFlags flags;
        DWORD bits;
    } cases[] = {
        {{}, 0x400},
        {{cpfCreateUnicodeEnvironment}, 0x400},
        {{cpfDebugProcess, cpfCreateNewConsole}, 0x411},
        {{cpfCreateSepearateWowVdm, cpfCreateSharedWowVDM}, 0x1C00},
        {{cpfExtendedStartupInfoPresent, cpfCreateBreakawayFromJob}, 0x1080400},
        {{cpfCreateDefaulErrorMode}, 0x4000400},
        {{cpfCreatePreserveCodeAuthzLevel}, 0x2000400},
        {{cpfCreateNoWindow, cpfCreateSuspended, cpfDetachedProcess, cpfCreateNewProcessGroup, cpfDebugOnlyThisProcess},
         0x800060E},
    };
    for (const Case& c : cases) EXPECT_EQ(c.bits, DwCreateProcessFlags(c.flags)) << std::hex << c.bits;
}

TEST(LaunchFrontEnd, MissingProgramIsReportedAndTheEnvironmentIsTheUsersAgain) {
    TOwnedPtr<TrkLaunchFrontEnd> front(Create<TrkLaunchFrontEnd>(nullptr));
    TRecorder rec;
    front->SetOnProcessLaunch(TrkOnProcessNotify::Of<&TRecorder::Launch>(&rec));
    front->SetOnLaunchError(TNotifyEvent::Of<&TRecorder::Error>(&rec));
    front->SetCommandLine(L"C:\\no\\such\\program.exe");
    TStringList mine;
    mine.Add(L"SET_BY_THE_APPLICATION=1");
    front->SetEnvironment(&mine);
    EXPECT_NO_THROW(front->Launch(1));
    EXPECT_EQ(1, rec.Errors);
    EXPECT_EQ(0, rec.Launched);
    EXPECT_EQ(0, front->LaunchedProcessCount());
    // The application's value gave way to the user's own environment.
    EXPECT_EQ(-1, front->Environment()->IndexOf(L"SET_BY_THE_APPLICATION=1"));
    bool hasPath = false;
    for (int i = 0; i < front->Environment()->Count(); ++i)
        hasPath = hasPath || SameText(front->Environment()->Get(i).substr(0, 5), L"PATH=");
    EXPECT_TRUE(hasPath);
}

TEST(LaunchFrontEnd, EndedProcessIsReportedOnceAndStaysListedUntilFreed) {
    TOwnedPtr<TrkLaunchFrontEnd> front(Create<TrkLaunchFrontEnd>(nullptr));
    struct TEnds {
        int Count = 0;
        DWORD Thread = 0;
        void Ended(TObject*, TrkLaunchedProcess*) {
            ++Count;
            Thread = GetCurrentThreadId();
        }
    } ends;
    front->SetOnProcessTerminate(TrkOnProcessNotify::Of<&TEnds::Ended>(&ends));
    // Without a command line the application name alone starts the program.
    front->SetApplicationName(BinDir() + L"sessions_child.exe");
    front->Launch(1);
    ASSERT_EQ(1, front->LaunchedProcessCount());
    TrkLaunchedProcess* p = front->LaunchedProcess(0);
    EXPECT_TRUE(p->IsAlive());
    EXPECT_EQ(1u, p->SessionId());
    TerminateProcess(p->ProcessHandle(), 3);
    ASSERT_TRUE(PumpUntil([&] { return ends.Count > 0; }));
    EXPECT_EQ(GetCurrentThreadId(), ends.Thread);
    EXPECT_FALSE(p->IsAlive());
    EXPECT_EQ(1, front->LaunchedProcessCount()); // ended processes stay listed
    HANDLE process = p->ProcessHandle();
    Free(p);
    EXPECT_EQ(0, front->LaunchedProcessCount());
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(process, &flags));
}

TEST(LaunchFrontEnd, LaunchWhileTheWatchDecidesToStopIsStillWatched) {
    // The watch has just found its list empty when a launch comes in (the service thread's,
    // made here at the step between); the watch must not switch the timer off after it.
    TPrivateChild child;
    TOwnedPtr<TrkLaunchFrontEnd> front(Create<TrkLaunchFrontEnd>(nullptr));
    TScopeExit clear([] { LaunchWatchHooks() = {}; });
    int ends = 0;
    struct TEnds {
        int* Count;
        void Ended(TObject*, TrkLaunchedProcess*) { ++*Count; }
    } counter{&ends};
    front->SetOnProcessTerminate(TrkOnProcessNotify::Of<&TEnds::Ended>(&counter));
    front->SetApplicationName(child.Path());
    front->Launch(1);
    ASSERT_EQ(1, front->LaunchedProcessCount());
    TerminateProcess(front->LaunchedProcess(0)->ProcessHandle(), 3);
    ASSERT_TRUE(PumpUntil([&] { return ends == 1; }));
    Free(front->LaunchedProcess(0)); // the timer runs on with an empty list
    bool launched = false;
    LaunchWatchHooks().Deciding = [&] {
        if (launched) return;
        launched = true;
        front->Launch(1);
    };
    ASSERT_TRUE(PumpUntil([&] { return launched; }));
    ASSERT_EQ(1, front->LaunchedProcessCount());
    TerminateProcess(front->LaunchedProcess(0)->ProcessHandle(), 3);
    EXPECT_TRUE(PumpUntil([&] { return ends == 2; }));
}

TEST(LaunchFrontEnd, ProcessFreedOnAnotherThreadDuringItsReportGoesAfterTheHandler) {
    TPrivateChild child;
    TOwnedPtr<TrkLaunchFrontEnd> front(Create<TrkLaunchFrontEnd>(nullptr));
    TScopeExit clear([] { LaunchWatchHooks() = {}; });
    front->SetApplicationName(child.Path());
    front->Launch(1);
    ASSERT_EQ(1, front->LaunchedProcessCount());
    TrkLaunchedProcess* p = front->LaunchedProcess(0);
    const DWORD pid = p->ProcessId();
    TerminateProcess(p->ProcessHandle(), 3);
    // While the report is being made, another thread frees the process; the report goes on once
    // that free has either finished or stopped to wait.
    TKernelHandle step(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::atomic<bool> freed{false};
    std::thread freer;
    LaunchWatchHooks().Reporting = [&](TrkLaunchedProcess* q) {
        freer = std::thread([&, q] {
            Free(q);
            freed = true;
            SetEvent(step.Get());
        });
        WaitForSingleObject(step.Get(), 10000);
    };
    LaunchWatchHooks().FreeWaits = [&](TrkLaunchedProcess*) { SetEvent(step.Get()); };
    struct TEnds {
        std::atomic<bool>* Freed;
        int Count = 0;
        bool FreedFirst = false;
        DWORD Pid = 0;
        void Ended(TObject*, TrkLaunchedProcess* q) {
            ++Count;
            FreedFirst = Freed->load();
            if (!FreedFirst) Pid = q->ProcessId();
        }
    } ends{&freed};
    front->SetOnProcessTerminate(TrkOnProcessNotify::Of<&TEnds::Ended>(&ends));
    EXPECT_TRUE(PumpUntil([&] { return ends.Count > 0; }));
    if (freer.joinable()) freer.join();
    EXPECT_FALSE(ends.FreedFirst);
    EXPECT_EQ(pid, ends.Pid);
    EXPECT_TRUE(freed.load());
    EXPECT_EQ(0, front->LaunchedProcessCount());
}

TEST(LaunchFrontEnd, TokenOfAnInteractiveLogonIsNotFoundWhereTokensHaveNoSource) {
    // Wine answers no token source at all: the walk over every process finds nothing and says so.
    HANDLE token = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(QueryUserToken(token));
    EXPECT_EQ(nullptr, token);
}
