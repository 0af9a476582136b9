// The session components on a service module, in services started by Wine's manager (and, for
// the shutdown, by the debug library).
#include "tests/runtime/sessions/SessionsTestSupport.h"
#include "tests/support/DebugRunSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include "host/Handles.h"
#include "host/Registry.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const auto* const gDesktopFirst = ::testing::AddGlobalTestEnvironment(new TDesktopFirst);

bool Has(const std::string& line, const std::string& part) { return line.find(part) != std::string::npos; }

// The index of the first evidence line holding Part at or after From; -1 when none.
int Find(const std::vector<std::string>& lines, const std::string& part, int from = 0) {
    for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i)
        if (Has(lines[static_cast<size_t>(i)], part)) return i;
    return -1;
}

int CountBetween(const std::vector<std::string>& lines, const std::string& part, int from, int to) {
    int n = 0;
    for (int i = from; i < to && i < static_cast<int>(lines.size()); ++i) n += Has(lines[static_cast<size_t>(i)], part);
    return n;
}

// Waits until Count lines holding Part follow the first line holding After.
bool WaitAfter(const TServiceProgram& p, const std::string& after, const std::string& part, int count,
               DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    for (;;) {
        auto lines = p.EvidenceLines();
        int from = Find(lines, after);
        if (from >= 0 && CountBetween(lines, part, from + 1, static_cast<int>(lines.size())) >= count) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

std::string ThreadOf(const std::vector<std::string>& lines, const std::string& event) {
    int i = Find(lines, event + " thread=");
    return i < 0 ? "?" : lines[static_cast<size_t>(i)].substr(lines[static_cast<size_t>(i)].find("thread="));
}

void InstallAndStart(TServiceProgram& p) {
    auto r = p.Run(L"/install");
    ASSERT_EQ(0u, r.ExitCode) << r.Err;
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    ASSERT_TRUE(p.WaitEvidence("start thread="));
}

std::string Dump(const TServiceProgram& p) {
    std::string all;
    for (const auto& l : p.EvidenceLines()) all += l + "\n";
    return all;
}

DWORD Custom(TServiceProgram& p, DWORD code) { return TScm::Control(p.ServiceName(), code); }

std::string FileText(const std::wstring& path, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < timeoutMs) Sleep(20);
    return ReadFileBytes(path);
}

} // namespace

TEST(SessionsService, TimerTicksOnTheServiceThreadOnlyWhileTheServiceRuns) {
    TServiceProgram p(L"sessions_service.exe", L"timer");
    p.SetModule(1, L"Timer", L"100");
    p.Set(L"Program", L"MainTimer", L"50");
    InstallAndStart(p);
    ASSERT_TRUE(WaitAfter(p, "start thread=", "tick thread=", 3));
    ASSERT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_PAUSE));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_PAUSED));
    // Time passes on the main thread while the suspended service thread stays silent.
    ASSERT_TRUE(WaitAfter(p, "pause", "main tick", 5));
    ASSERT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_CONTINUE));
    ASSERT_TRUE(WaitAfter(p, "continue", "tick thread=", 2));
    ASSERT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_STOP));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_STOPPED));

    auto lines = p.EvidenceLines();
    int start = Find(lines, "start thread="), pause = Find(lines, "pause"), resume = Find(lines, "continue"),
        stop = Find(lines, "stop");
    ASSERT_TRUE(start >= 0 && pause > start && resume > pause && stop > resume);
    EXPECT_EQ(0, CountBetween(lines, "tick thread=", 0, start));
    EXPECT_EQ(0, CountBetween(lines, "tick thread=", pause, resume));
    EXPECT_EQ(0, CountBetween(lines, "tick thread=", stop, static_cast<int>(lines.size())));
    const std::string thread = ThreadOf(lines, "start");
    for (const auto& l : lines)
        if (Has(l, "tick thread=")) {
            EXPECT_EQ(thread, l.substr(l.find("thread="))) << l;
        }
}

TEST(SessionsService, WithoutSuspendOnPauseTheTimerTicksWhilePaused) {
    TServiceProgram p(L"sessions_service.exe", L"timernosusp");
    p.SetModule(1, L"Timer", L"100");
    p.SetModule(1, L"SuspendOnPause", L"0");
    InstallAndStart(p);
    ASSERT_EQ(0u, TScm::Control(p.ServiceName(), SERVICE_CONTROL_PAUSE));
    EXPECT_TRUE(WaitAfter(p, "pause", "tick thread=", 3));
}

TEST(SessionsService, FailingTimerHandlerEndsTheServiceProgram) {
    TServiceProgram p(L"sessions_service.exe", L"timerthrow");
    p.SetModule(1, L"Timer", L"100");
    p.SetModule(1, L"TimerThrows", L"1");
    InstallAndStart(p);
    // The host application's handler logs the exception and ends the program's run.
    EXPECT_TRUE(WaitAfter(p, "failing tick", "run ended", 1, 20000));
}

TEST(SessionsService, SensorOnAServiceModuleReportsOnTheServiceThread) {
    TShellValue shell;
    shell.Set(BinDir() + L"sessions_child.exe");
    TServiceProgram p(L"sessions_service.exe", L"sensor");
    p.SetModule(1, L"Sensor", L"1");
    InstallAndStart(p);
    {
        TShell running(BinDir() + L"sessions_child.exe");
        ASSERT_TRUE(p.WaitEvidence("logon thread=", 3000)) << Dump(p);
        running.Kill();
        ASSERT_TRUE(p.WaitEvidence("logoff thread=", 8000)) << Dump(p);
    }
    auto lines = p.EvidenceLines();
    const std::string thread = ThreadOf(lines, "start");
    EXPECT_EQ(thread, ThreadOf(lines, "logon"));
    EXPECT_EQ(thread, ThreadOf(lines, "logoff"));
    EXPECT_EQ(1, p.CountEvidence("logon thread="));
}

TEST(SessionsService, ComponentsFreedFromTheMainThreadLeaveNoWindowThatCallsThem) {
    TServiceProgram p(L"sessions_service.exe", L"free");
    p.SetModule(1, L"Timer", L"100");
    p.SetModule(1, L"Sensor", L"1");
    InstallAndStart(p);
    ASSERT_TRUE(WaitAfter(p, "start thread=", "tick thread=", 1));
    ASSERT_EQ(0u, Custom(p, 134));
    ASSERT_TRUE(p.WaitEvidence("windows="));
    ASSERT_EQ(0u, Custom(p, 133));
    ASSERT_TRUE(p.WaitEvidence("freed"));
    ASSERT_EQ(0u, Custom(p, 134));
    ASSERT_TRUE(WaitAfter(p, "freed", "windows=", 1));
    auto lines = p.EvidenceLines();
    int freed = Find(lines, "freed");
    int before = std::stoi(lines[static_cast<size_t>(Find(lines, "windows="))].substr(8));
    int after = std::stoi(lines[static_cast<size_t>(Find(lines, "windows=", freed))].substr(8));
    EXPECT_EQ(before - 2, after); // the timer's and the sensor's windows on the service thread
    // The messages posted to every window of the process after the free reached no component.
    EXPECT_EQ(0, CountBetween(lines, "tick thread=", freed, static_cast<int>(lines.size())));
    EXPECT_EQ(0, CountBetween(lines, "logon thread=", freed, static_cast<int>(lines.size())));
}

TEST(SessionsService, ShutdownLeavesTheTimerWithoutItsDeadWindow) {
    TServiceProgram p(L"sessions_service.exe", L"timershut");
    p.SetModule(1, L"Timer", L"100");
    TDebugSession run(L"\"" + p.Exe() + L"\" /debug");
    ASSERT_TRUE(run.Connect());
    const std::string n = ToUtf8(p.ServiceName());
    ASSERT_TRUE(Contains(run.Send("wait " + n + " RUNNING"), "result=reached"));
    ASSERT_TRUE(WaitAfter(p, "start thread=", "tick thread=", 1));
    EXPECT_TRUE(Contains(run.Send("shutdown " + n), "result=accepted"));
    run.Finish();
    EXPECT_EQ(0, p.CountEvidence("stop"));
    EXPECT_EQ(1, p.CountEvidence("after-run interval=ok"));
}

TEST(SessionsService, FrontEndLaunchesIntoTheUserSessionAndReportsEachEndOnce) {
    const std::wstring marker = L"marker" + IntToStr(GetCurrentProcessId());
    TRegistry env;
    ASSERT_TRUE(env.OpenKey(L"Environment", true));
    env.WriteString(L"TAMREL_MARKER", marker);
    TScopeExit restore([&] { env.DeleteValue(L"TAMREL_MARKER"); });
    std::wstring first = TempFileName(L"child1"), second = TempFileName(L"child2");
    TScopeExit clean([&] {
        DeleteFileW(first.c_str());
        DeleteFileW(second.c_str());
    });
    TServiceProgram p(L"sessions_service.exe", L"frontend");
    // No quotes: the INI reader would drop a pair around the whole value (the paths hold no blank).
    std::wstring child = BinDir() + L"sessions_child.exe";
    ASSERT_EQ(std::wstring::npos, (child + first + second).find(L' '));
    p.SetModule(1, L"FrontEnd", child + L" record " + first);
    p.SetModule(1, L"FrontEnd2", child + L" stay " + second);
    InstallAndStart(p);

    ASSERT_EQ(0u, Custom(p, 130));
    ASSERT_TRUE(p.WaitEvidence("launched pid=")) << Dump(p);
    ASSERT_EQ(0u, Custom(p, 135));
    ASSERT_TRUE(WaitAfter(p, "launch done", "launched pid=", 1));
    std::string expected = "station=WinSta0\r\ndesktop=Default\r\nmarker=" + ToUtf8(marker) + "\r\n";
    EXPECT_EQ(expected, FileText(first));
    EXPECT_EQ(expected, FileText(second));

    auto lines = p.EvidenceLines();
    int one = Find(lines, "launched pid="), two = Find(lines, "launched pid=", one + 1);
    ASSERT_TRUE(one >= 0 && two > one);
    for (int i : {one, two}) EXPECT_TRUE(Has(lines[static_cast<size_t>(i)], "marker-in-environment=1"));
    std::string pidOne = lines[static_cast<size_t>(one)].substr(13, lines[static_cast<size_t>(one)].find(' ', 13) - 13);
    std::string pidTwo = lines[static_cast<size_t>(two)].substr(13, lines[static_cast<size_t>(two)].find(' ', 13) - 13);

    // The first child ended by itself; the second is terminated.
    ASSERT_TRUE(p.WaitEvidence("terminated pid=" + pidOne));
    TKernelHandle stay(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(std::stoul(pidTwo))));
    ASSERT_TRUE(stay);
    TerminateProcess(stay.Get(), 9);
    ASSERT_TRUE(p.WaitEvidence("terminated pid=" + pidTwo));
    // Two more ticks of the watch report nothing again.
    ASSERT_TRUE(WaitAfter(p, "terminated pid=" + pidTwo, "watch tick", 2));
    EXPECT_EQ(1, p.CountEvidence("terminated pid=" + pidOne));
    EXPECT_EQ(1, p.CountEvidence("terminated pid=" + pidTwo));

    // The watch runs while ended processes are listed, and stops once they are freed.
    ASSERT_EQ(0u, Custom(p, 132));
    ASSERT_TRUE(p.WaitEvidence("watch enabled=1"));
    ASSERT_EQ(0u, Custom(p, 131));
    ASSERT_TRUE(WaitAfter(p, "watch enabled=1", "closed process=", 2));
    EXPECT_EQ(2, p.CountEvidence("closed process=6 thread=6"));
    ASSERT_TRUE(WaitAfter(p, "closed process=", "watch tick", 1));
    ASSERT_EQ(0u, Custom(p, 132));
    EXPECT_TRUE(p.WaitEvidence("watch enabled=0"));

    // A program that cannot start is reported, and the launch raises nothing.
    ASSERT_EQ(0u, Custom(p, 137));
    EXPECT_TRUE(WaitAfter(p, "closed process=", "launch error", 1));
    EXPECT_TRUE(WaitAfter(p, "launch error", "launch done", 1));
}
