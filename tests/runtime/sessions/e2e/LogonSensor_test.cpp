// The logon sensor against real processes: the Winlogon "Shell" value names a test program,
// whose start and end are a logon and a logoff. Wine itself ignores the value; the tests set it
// and restore it.
#include "runtime/sessions/Tamrel_LogonSensor.h"
#include "runtime/sessions/internal/Tamrel_LogonSensorInternal.h"
#include "runtime/sessions/internal/Tamrel_ProcessListInternal.h"
#include "tests/runtime/sessions/SessionsTestSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include "host/Handles.h"
#include "host/Registry.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

int Count(const std::wstring& file, const std::string& text) {
    int n = 0;
    for (const auto& l : SplitLines(ReadFileBytes(file))) n += l.find(text) != std::string::npos;
    return n;
}

bool WaitFor(const std::wstring& file, const std::string& text, int count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (Count(file, text) < count) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

std::string MainThreadOf(const std::wstring& file) {
    for (const auto& l : SplitLines(ReadFileBytes(file)))
        if (l.rfind("main thread=", 0) == 0) return l.substr(5);
    return "?";
}

// The probe program with a sensor, its evidence file and the file that ends it.
struct TSensorProgram {
    explicit TSensorProgram(const std::wstring& tag)
        : Evidence(TempFileName(tag)), Stop(TempFileName(tag + L"stop")),
          Probe(ProgramPath(L"sessions_probe.exe") + L" sensor \"" + Evidence + L"\" \"" + Stop + L"\"") {}
    ~TSensorProgram() {
        DeleteFileW(Evidence.c_str());
        DeleteFileW(Stop.c_str());
    }
    // Asks the program to end; answers whether it did within the time.
    bool End(DWORD timeoutMs) {
        WriteFileBytes(Stop, "");
        return Probe.WaitEnd(timeoutMs);
    }
    std::wstring Evidence, Stop;
    RunningProbe Probe;
};

} // namespace

TEST(LogonSensor, PlainProgramHearsTheShellStartAndEndOnItsMainThread) {
    TShellValue shell;
    // A shell that cannot be found first: the sensor thread lives on through it.
    shell.Set(L"C:\\no\\such\\shell.exe");
    TSensorProgram probe(L"sensor");
    const std::wstring& evidence = probe.Evidence;
    ASSERT_TRUE(WaitFor(evidence, "main thread=", 1, 10000));
    Sleep(1500); // at least one poll meets the missing shell
    shell.Set(BinDir() + L"sessions_child.exe");
    {
        TShell running(BinDir() + L"sessions_child.exe");
        EXPECT_TRUE(WaitFor(evidence, "sensor logon", 1, 2000));
        EXPECT_EQ(1, Count(evidence, "sensor logon " + MainThreadOf(evidence)));
        EXPECT_TRUE(WaitFor(evidence, "plain logon", 1, 1000));
        running.Kill();
        EXPECT_TRUE(WaitFor(evidence, "sensor logoff", 1, 7000));
        EXPECT_TRUE(WaitFor(evidence, "plain logoff", 1, 1000));
    }
    // Subscribed twice, the plain method ran once per change.
    EXPECT_EQ(1, Count(evidence, "plain logon"));
    EXPECT_EQ(1, Count(evidence, "plain logoff"));
    // The program ends promptly although the sensor thread was waiting out a poll.
    EXPECT_TRUE(probe.End(2000));
}

TEST(LogonSensor, BareShellNameIsFoundBesideTheProgram) {
    TShellValue shell;
    shell.Set(L"sessions_child.exe");
    TShell running(BinDir() + L"sessions_child.exe");
    TSensorProgram probe(L"sensorbare");
    EXPECT_TRUE(WaitFor(probe.Evidence, "sensor logon", 1, 5000));
    EXPECT_TRUE(probe.End(5000));
}

TEST(LogonSensor, OnlyProcessesNamedLikeTheShellCostAModuleSnapshot) {
    // A shell of a name no other process has, even a test running beside this one.
    TPrivateChild copy(L"shell");
    const std::wstring& exe = copy.Path();
    TShellValue shell;
    shell.Set(exe);
    uint64_t before = ModuleSnapshotsTaken();
    EXPECT_FALSE(IsLoggedOn());
    EXPECT_EQ(before, ModuleSnapshotsTaken());
    TShell running(exe);
    // A process just created may not list its modules yet: wait until the shell is seen.
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
        seen = IsLoggedOn();
        if (!seen) Sleep(50);
    }
    ASSERT_TRUE(seen) << "the shell was not seen within 5 s";
    before = ModuleSnapshotsTaken();
    EXPECT_TRUE(IsLoggedOn());
    EXPECT_EQ(before + 1, ModuleSnapshotsTaken());
    running.Kill();
}

TEST(LogonSensor, SensorThreadStopsPollingWhenTheLastSensorIsFreed) {
    // In this process, with a shell that cannot be found: the thread polls every second while a
    // sensor lives. Its subscription outlives the sensor; the thread must still go to sleep.
    TShellValue shell;
    shell.Set(L"C:\\no\\such\\shell.exe");
    TKernelHandle polled(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    TKernelHandle idle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    LogonSensorHooks().Poll = [&] { SetEvent(polled.Get()); };
    LogonSensorHooks().Idle = [&] { SetEvent(idle.Get()); };
    TScopeExit clear([] { LogonSensorHooks() = {}; });
    {
        TOwnedPtr<TrkLogonSensor> sensor(Create<TrkLogonSensor>(nullptr));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(polled.Get(), 10000));
        ResetEvent(idle.Get());
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(idle.Get(), 15000));
}
