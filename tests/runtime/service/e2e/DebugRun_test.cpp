// Service programs run with /debug: the debug library plays the service manager in the program's
// own process, logs every status report and takes commands through its pipe. This is where
// shutdown, preshutdown and the session-change code are tested (Wine's manager never sends them),
// and where the event-log texts of a run can be read (a console process has the stderr that
// Wine's event-log trace goes to).
#include "tests/support/DebugRunSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {

std::string N(const TServiceProgram& p, int module = 1) { return ToUtf8(p.ServiceName(module)); }

std::wstring DebugCommand(const TServiceProgram& p) { return L"\"" + p.Exe() + L"\" /debug"; }

} // namespace

TEST(DebugRun, StatusSequenceOfAWholeRun) {
    TServiceProgram p(L"test_service.exe", L"dbgseq");
    TDebugSession run(DebugCommand(p));
    ASSERT_TRUE(run.Connect());
    const std::string n = N(p);
    EXPECT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("pause " + n), "result=accepted"));
    EXPECT_TRUE(Contains(run.Send("wait " + n + " PAUSED"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("continue " + n), "result=accepted"));
    EXPECT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("stop " + n), "result=accepted"));
    const auto& result = run.Finish();
    EXPECT_EQ(0u, result.ExitCode);
    auto log = run.Log();
    std::vector<std::string> expected = {"START_PENDING(2)",    "RUNNING(4)", "PAUSE_PENDING(6)", "PAUSED(7)",
                                         "CONTINUE_PENDING(5)", "RUNNING(4)", "STOP_PENDING(3)",  "STOPPED(1)"};
    EXPECT_EQ(expected, StatesOf(log, n));
    auto statuses = LinesWith(log, "status " + n + " ");
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ("0x0", Field(statuses.front(), "accepted")); // nothing accepted while starting
    EXPECT_EQ("0xF", Field(statuses[1], "accepted")); // stop, pause/continue, shutdown, parameter change
    EXPECT_EQ(1u, LinesWith(log, "dispatcher return").size());
}

TEST(DebugRun, ShutdownRunsOnShutdownButNotOnStop) {
    TServiceProgram p(L"test_service.exe", L"dbgshut");
    TDebugSession run(DebugCommand(p));
    ASSERT_TRUE(run.Connect());
    const std::string n = N(p);
    ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    // Preshutdown is accepted only with a preshutdown timeout.
    EXPECT_TRUE(Contains(run.Send("preshutdown " + n), "error=1052"));
    EXPECT_TRUE(Contains(run.Send("shutdown " + n), "result=accepted"));
    run.Finish();
    EXPECT_EQ((std::vector<std::string>{"START_PENDING(2)", "RUNNING(4)", "STOP_PENDING(3)", "STOPPED(1)"}),
              StatesOf(run.Log(), n));
    EXPECT_EQ(1, p.CountEvidence("Svc1 shutdown"));
    EXPECT_EQ(0, p.CountEvidence("Svc1 stop"));

    TServiceProgram q(L"test_service.exe", L"dbgpre");
    q.SetModule(1, L"PreshutdownTimeout", L"5000");
    TDebugSession run2(DebugCommand(q));
    ASSERT_TRUE(run2.Connect());
    const std::string m = N(q);
    ASSERT_TRUE(Contains(run2.Send("wait " + m + " RUNNING"), "result=reached"));
    EXPECT_TRUE(Contains(run2.Send("preshutdown " + m), "result=accepted"));
    run2.Finish();
    EXPECT_EQ(1, q.CountEvidence("Svc1 shutdown"));
    EXPECT_EQ(0, q.CountEvidence("Svc1 stop"));
    auto statuses = LinesWith(run2.Log(), "status " + m + " state=RUNNING");
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ("0x10F", Field(statuses.front(), "accepted"));
}

TEST(DebugRun, TwoModulesRunInOneProcessOnThreadsOfTheirOwn) {
    TServiceProgram p(L"test_service.exe", L"dbgtwo");
    p.SetModules(2);
    TDebugSession run(DebugCommand(p));
    ASSERT_TRUE(run.Connect());
    const std::string a = N(p, 1), b = N(p, 2);
    ASSERT_TRUE(Contains(run.Send("wait " + a + " RUNNING"), "result=reached"));
    ASSERT_TRUE(Contains(run.Send("wait " + b + " RUNNING"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("stop " + a), "result=accepted"));
    EXPECT_TRUE(Contains(run.Send("wait " + a + " STOPPED"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("status " + b), "RUNNING"));
    EXPECT_TRUE(Contains(run.Send("stop " + b), "result=accepted"));
    EXPECT_EQ(0u, run.Finish().ExitCode); // the process ends after the last one stops
    std::string pid1, pid2, thread1, thread2;
    for (const auto& l : p.EvidenceLines()) {
        if (l.rfind("Svc1 start", 0) == 0) pid1 = l.substr(l.find("pid=")), thread1 = l.substr(l.find("thread="));
        if (l.rfind("Svc2 start", 0) == 0) pid2 = l.substr(l.find("pid=")), thread2 = l.substr(l.find("thread="));
    }
    ASSERT_FALSE(pid1.empty());
    EXPECT_EQ(pid1, pid2);
    EXPECT_NE(thread1.substr(0, thread1.find(' ')), thread2.substr(0, thread2.find(' ')));
}

TEST(DebugRun, HandlerFailuresAreWrittenToTheServiceEventLog) {
    struct {
        const wchar_t* where;
        const char* command;
        const wchar_t* text;
    } cases[] = {
        {L"pause", "pause", L"Service pausing failed : \"pause went wrong\""},
        {L"continue", "continue", L"Service continuing failed : \"continue went wrong\""},
        {L"custom", "control %s 130", L"Service execution failed : \"custom went wrong\""},
        {L"stop", "stop", L"Service stopping failed : \"stop went wrong\""},
    };
    for (const auto& c : cases) {
        TServiceProgram p(L"test_service.exe", L"dbgthrow");
        p.SetModule(1, L"Throw", c.where);
        TDebugSession run(DebugCommand(p), {}, 60000, true);
        ASSERT_TRUE(run.Connect());
        const std::string n = N(p);
        ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
        if (std::wstring(c.where) == L"continue") {
            run.Send("pause " + n);
            run.Send("wait " + n + " PAUSED");
        }
        std::string command = c.command;
        if (command.find("%s") != std::string::npos) command.replace(command.find("%s"), 2, n);
        else command += " " + n;
        run.Send(command);
        run.Send("wait " + n + " STOPPED 500");
        run.Send("quit");
        run.Send("quit"); // a service that refuses to stop is abandoned
        run.Finish();
        EXPECT_TRUE(HasEventText(run.Events(), EVENTLOG_ERROR_TYPE, 1, c.text)) << ToUtf8(c.text);
        // In debug mode no note of the handler registration is written.
        EXPECT_FALSE(HasEventText(run.Events(), EVENTLOG_INFORMATION_TYPE, 0, L"Extended handler is registered"));
    }
}

TEST(DebugRun, StartFailureAndSessionChangeAreLogged) {
    TServiceProgram p(L"test_service.exe", L"dbgstart");
    p.SetModule(1, L"Throw", L"start");
    p.SetModule(1, L"WaitHint", L"200");
    TDebugSession run(DebugCommand(p), {}, 60000, true);
    ASSERT_TRUE(run.Connect());
    const std::string n = N(p);
    ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    // Session change is never accepted, but a code 14 that arrives anyway is logged.
    EXPECT_TRUE(Contains(run.Send("control " + n + " 14"), "result=accepted"));
    run.Finish(); // stops itself after 4 x 200 ms
    const auto& events = run.Events();
    EXPECT_TRUE(HasEventText(events, EVENTLOG_ERROR_TYPE, 1, L"Service starting failed : \"start went wrong\""));
    EXPECT_TRUE(HasEventText(events, EVENTLOG_INFORMATION_TYPE, 0, L"SessionChange"));
    EXPECT_TRUE(HasEventText(events, EVENTLOG_INFORMATION_TYPE, 0, L"Stopped"));
    EXPECT_EQ((std::vector<std::string>{"START_PENDING(2)", "RUNNING(4)", "STOP_PENDING(3)", "STOPPED(1)"}),
              StatesOf(run.Log(), n));
}

TEST(DebugRun, ABroadcastOfTheControlMessageNeverReachesAServiceThread) {
    // The application window's hook passes its messages on to the service threads. Anyone on the
    // desktop can broadcast the framework's registered control message; a copy of it with a bogus
    // request record must not be taken for a request (it would stop the service and free a wild
    // pointer).
    TServiceProgram p(L"test_service.exe", L"dbgbcast");
    TDebugSession run(DebugCommand(p));
    ASSERT_TRUE(run.Connect());
    const std::string n = N(p);
    ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    UINT id = RegisterWindowMessageW(L"TamrelServiceControlMessage");
    DWORD_PTR result;
    SendMessageTimeoutW(HWND_BROADCAST, id, SERVICE_CONTROL_STOP, 0x1234, SMTO_ABORTIFHUNG, 2000, &result);
    Sleep(300);
    EXPECT_TRUE(Contains(run.Send("status " + n), "RUNNING"));
    EXPECT_TRUE(Contains(run.Send("stop " + n), "result=accepted"));
    EXPECT_EQ(0u, run.Finish().ExitCode);
    EXPECT_EQ(1, p.CountEvidence("Svc1 stop"));
}
