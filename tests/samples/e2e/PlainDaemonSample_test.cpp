// PlainDaemonSample end to end: its service record, and the event-log entries of every power
// event type. Wine's manager refuses power events, so the sample runs with /debug and the debug
// library sends them through the module's extended handler; the entries are read from Wine's
// event-log trace on the program's stderr.
#include "tests/support/DebugRunSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {
const std::wstring kService = L"SampleService13";
} // namespace

TEST(PlainDaemonSample, EachPowerEventTypeLogsItsTextAndOthersNothing) {
    TDebugSession run(ProgramPath(L"PlainDaemonSample.exe") + L" /debug", {}, 60000, true);
    ASSERT_TRUE(run.Connect());
    ASSERT_TRUE(Contains(run.Send("wait SampleService13 RUNNING"), "result=reached"));
    const struct {
        unsigned Type;
        const wchar_t* Text; // nullptr: nothing is logged
    } cases[] = {
        {0, L"PowerEventHandler: QuerySuspend"},
        {1, nullptr},
        {2, L"PowerEventHandler: QuerySuspendFailed"},
        {4, L"PowerEventHandler: HandlerSuspend"},
        {6, L"PowerEventHandler: ResumeCritical"},
        {7, L"PowerEventHandler: ResumeSuspend"},
        {9, L"PowerEventHandler: BatteryLow"},
        {10, L"PowerEventHandler: PowerStatusChange"},
        {11, L"PowerEventHandler: OemEvent"},
        {18, L"PowerEventHandler: ResumeAutomatic"},
        {0x8004, nullptr},
        {0x8013, L"PowerEventHandler: PowerSettingChange"},
    };
    std::vector<std::wstring> expected;
    for (const auto& c : cases) {
        EXPECT_TRUE(Contains(run.Send("power SampleService13 " + std::to_string(c.Type)), "result=accepted"))
            << c.Type;
        if (c.Text) expected.push_back(c.Text);
    }
    run.Send("stop SampleService13");
    EXPECT_EQ(0u, run.Finish().ExitCode);

    // Every power entry, in the order written: information, ID 0, category 0, one string.
    std::vector<std::wstring> logged;
    std::string writer;
    for (const auto& r : run.Events().Records) {
        if (r.Strings.size() != 1 || r.Strings[0].rfind(L"PowerEventHandler: ", 0) != 0) continue;
        EXPECT_EQ(static_cast<uint32_t>(EVENTLOG_INFORMATION_TYPE), r.Type);
        EXPECT_EQ(0u, r.Id);
        EXPECT_EQ(0u, r.Category);
        logged.push_back(r.Strings[0]);
        // One thread, the service's, writes them all.
        if (writer.empty()) writer = r.Thread;
        EXPECT_EQ(writer, r.Thread);
    }
    EXPECT_EQ(expected, logged);
}

TEST(PlainDaemonSample, AFailedCommandEndsWithTheSystemsErrorCode) {
    auto r = RunProcess(ProgramPath(L"PlainDaemonSample.exe") + L" /start:TamrelNoSuchService");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), r.ExitCode) << r.Err;
}

TEST(PlainDaemonSample, InstallsAManualServiceWithItsDescription) {
    const std::wstring exe = ProgramPath(L"PlainDaemonSample.exe");
    TScm::Remove(kService);
    ASSERT_EQ(0u, RunProcess(exe + L" /install").ExitCode);
    ASSERT_TRUE(TScm::Exists(kService));
    auto config = TScm::QueryConfig(kService);
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START),
              reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType);
    auto description = TScm::QueryConfig2(kService, SERVICE_CONFIG_DESCRIPTION);
    ASSERT_FALSE(description.empty());
    EXPECT_STREQ(L"This service is used as an example to show power events handling",
                 reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description.data())->lpDescription);
    EXPECT_EQ(0u, RunProcess(exe + L" /uninstall").ExitCode);
    EXPECT_FALSE(TScm::Exists(kService));
}

