#include "runtime/service/base/Tamrel_EventLog.h"

#include "host/Handles.h"
#include "tests/support/EventLogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tamrel;
using namespace tamrel::test;

// Wine's event log keeps nothing that could be read back; these tests read the records from
// the trace Wine prints on the writing process's stderr (see EventLogCapture.h).

namespace {

TEventLogCapture RunProbe(const wchar_t* scenario) {
    TEventLogCapture c = RunAndCaptureEventLog(ProgramPath(L"eventlog_probe.exe") + L" " + scenario);
    EXPECT_EQ(0u, c.Process.ExitCode) << c.Process.Out << c.Process.Err;
    EXPECT_EQ("done", SplitLines(c.Process.Out).empty() ? "" : SplitLines(c.Process.Out)[0]);
    return c;
}

std::vector<TEventLogCall::TKind> Kinds(const TEventLogCapture& c) {
    std::vector<TEventLogCall::TKind> kinds;
    for (const auto& call : c.Calls) kinds.push_back(call.Kind);
    return kinds;
}

using Strings = std::vector<std::wstring>;

} // namespace

TEST(EventLog, EventTypesMapToWindowsTypes) {
    struct Case {
        TNTEventType type;
        WORD expected;
    } cases[] = {
        {etError, EVENTLOG_ERROR_TYPE},           {etWarning, EVENTLOG_WARNING_TYPE},
        {etInformation, EVENTLOG_INFORMATION_TYPE}, {etAuditSuccess, EVENTLOG_AUDIT_SUCCESS},
        {etAuditFailure, EVENTLOG_AUDIT_FAILURE},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, NTEventTypeToWindows(c.type)) << c.type;
}

TEST(EventLog, EveryTypeIsWrittenWithItsIdAndCategory) {
    TEventLogCapture c = RunProbe(L"types");
    using K = TEventLogCall;
    EXPECT_EQ((std::vector<K::TKind>{K::kRegister, K::kReport, K::kReport, K::kReport, K::kReport, K::kReport,
                                    K::kDeregister}),
              Kinds(c))
        << c.Process.Err;
    EXPECT_EQ(Strings{L"TamrelProbe"}, c.Registrations());
    struct Expected {
        uint32_t type, id, category;
        const wchar_t* text;
    } expected[] = {
        {EVENTLOG_ERROR_TYPE, 11, 1, L"error text"},
        {EVENTLOG_WARNING_TYPE, 12, 2, L"warning text"},
        {EVENTLOG_INFORMATION_TYPE, 13, 3, L"information text"},
        {EVENTLOG_AUDIT_SUCCESS, 14, 4, L"audit success text"},
        {EVENTLOG_AUDIT_FAILURE, 15, 5, L"audit failure text"},
    };
    ASSERT_EQ(std::size(expected), c.Records.size());
    for (size_t i = 0; i < c.Records.size(); ++i) {
        const auto& r = c.Records[i];
        EXPECT_EQ(expected[i].type, r.Type) << i;
        EXPECT_EQ(expected[i].id, r.Id) << i;
        EXPECT_EQ(expected[i].category, r.Category) << i;
        EXPECT_EQ(1u, r.StringCount) << i;
        EXPECT_EQ(Strings{expected[i].text}, r.Strings) << i;
        EXPECT_EQ(0u, r.DataSize) << i;
        EXPECT_FALSE(r.HasData) << i;
    }
}

TEST(EventLog, OverloadsPassStringsAndData) {
    TEventLogCapture c = RunProbe(L"overloads");
    struct Expected {
        uint32_t type, id, category;
        Strings strings;
        uint32_t dataSize;
    } expected[] = {
        {EVENTLOG_ERROR_TYPE, 1, 0, {L"one"}, 0},
        {EVENTLOG_WARNING_TYPE, 2, 7, {L"a", L"b", L"c"}, 0},
        {EVENTLOG_INFORMATION_TYPE, 3, 0, {L"with data"}, 5},
        {EVENTLOG_ERROR_TYPE, 4, 1, {L"x", L"y"}, 4},
        {EVENTLOG_ERROR_TYPE, 5, 0, {L"no buffer"}, 0}, // a size without a buffer is no data
        {EVENTLOG_ERROR_TYPE, 6, 0, {L"negative size"}, 0},
        {EVENTLOG_INFORMATION_TYPE, 7, 0, {}, 0},
    };
    ASSERT_EQ(std::size(expected), c.Records.size()) << c.Process.Err;
    for (size_t i = 0; i < c.Records.size(); ++i) {
        const auto& r = c.Records[i];
        EXPECT_EQ(expected[i].type, r.Type) << i;
        EXPECT_EQ(expected[i].id, r.Id) << i;
        EXPECT_EQ(expected[i].category, r.Category) << i;
        EXPECT_EQ(expected[i].strings.size(), r.StringCount) << i;
        EXPECT_EQ(expected[i].strings, r.Strings) << i;
        EXPECT_EQ(expected[i].dataSize, r.DataSize) << i;
        EXPECT_EQ(expected[i].dataSize != 0, r.HasData) << i;
    }
    EXPECT_EQ(1u, c.Registrations().size()) << "registered once for all records";
}

TEST(EventLog, EmptyMessageWritesOneEmptyString) {
    TEventLogCapture c = RunProbe(L"empty");
    ASSERT_EQ(1u, c.Records.size()) << c.Process.Err;
    EXPECT_EQ(1u, c.Records[0].StringCount);
    EXPECT_EQ(Strings{L""}, c.Records[0].Strings);
}

TEST(EventLog, TextIdAndCategoryArePassedUnchanged) {
    TEventLogCapture c = RunProbe(L"text");
    ASSERT_EQ(2u, c.Records.size()) << c.Process.Err;
    EXPECT_EQ(Strings{L"line one\r\nline \"two\"\tC:\\path caf\u00e9 \u4e2d"}, c.Records[0].Strings);
    EXPECT_EQ(0xFFFFFFFFu, c.Records[0].Id);
    EXPECT_EQ(0xFFFFu, c.Records[0].Category) << "the category is a WORD";
    // Wine cuts long strings in its trace; the record itself got all of it.
    ASSERT_EQ(1u, c.Records[1].Strings.size());
    EXPECT_TRUE(c.Records[1].Truncated);
    EXPECT_GT(c.Records[1].Strings[0].size(), 100u);
    EXPECT_EQ(std::wstring::npos, c.Records[1].Strings[0].find_first_not_of(L'x'));
}

TEST(EventLog, SourceIsRegisteredOnlyWhenARecordIsWritten) {
    TEventLogCapture c = RunProbe(L"unused");
    EXPECT_TRUE(c.Calls.empty()) << c.Process.Err;
}

TEST(EventLog, EachWriterRegistersItsOwnSourceAndDeregistersWhenDestroyed) {
    TEventLogCapture c = RunProbe(L"two");
    EXPECT_EQ((Strings{L"SourceA", L"SourceB"}), c.Registrations());
    ASSERT_EQ(4u, c.Records.size()) << c.Process.Err;
    Strings texts;
    for (const auto& r : c.Records) texts.push_back(r.Strings.empty() ? L"?" : r.Strings[0]);
    EXPECT_EQ((Strings{L"a1", L"b1", L"a2", L"b2"}), texts);
    EXPECT_EQ(2u, c.Deregistrations());
    // One deregistration before the probe reports SourceB gone, the other after.
    const std::string& err = c.Process.Err;
    size_t marker = err.find("probe: SourceB destroyed");
    ASSERT_NE(std::string::npos, marker);
    size_t first = err.find("DeregisterEventSource");
    size_t second = err.find("DeregisterEventSource", first + 1);
    EXPECT_LT(first, marker);
    EXPECT_GT(second, marker);
    EXPECT_NE(std::string::npos, second);
}

TEST(EventLog, WriterSharedByThreadsRegistersOnceAndLosesNothing) {
    TEventLogCapture c = RunProbe(L"threads");
    EXPECT_EQ(1u, c.Registrations().size());
    ASSERT_EQ(100u, c.Records.size());
    std::set<std::wstring> seen;
    for (const auto& r : c.Records) {
        ASSERT_EQ(1u, r.Strings.size());
        const std::wstring& s = r.Strings[0];
        EXPECT_EQ(L't', s[0]);
        EXPECT_EQ(static_cast<wchar_t>(L'0' + r.Id), s[1]) << "strings stay with their record";
        seen.insert(s);
    }
    EXPECT_EQ(100u, seen.size());
}

TEST(EventLog, SystemWithoutNTEventLogWritesNothing) {
    const std::wstring key = L"Software\\Wine\\AppDefaults\\eventlog_probe.exe";
    const wchar_t version[] = L"win98";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, version, sizeof version));
    TScopeExit cleanup([&] { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); });
    for (const wchar_t* scenario : {L"types", L"overloads", L"threads"}) {
        TEventLogCapture c = RunProbe(scenario);
        EXPECT_TRUE(c.Calls.empty()) << ToUtf8(scenario) << "\n" << c.Process.Err;
    }
}

// The trace parser itself, on lines as Wine prints them.
TEST(EventLogCapture, DecodesWineQuoting) {
    struct Case {
        const char* quoted;
        bool ok;
        std::wstring text;
        bool truncated;
    } cases[] = {
        {R"(L"plain")", true, L"plain", false},
        {R"(L"")", true, L"", false},
        {R"((null))", true, L"", false},
        {R"(L"a\nb\rc\td\"e\\f")", true, L"a\nb\rc\td\"e\\f", false},
        {R"(L"caf\00e9 \4e2d \0001")", true, L"caf\u00e9 \u4e2d \u0001", false},
        {R"(L"xxx"...)", true, L"xxx", true},
        {R"(L"unterminated)", false, L"", false},
        {R"(L"bad \00g1")", false, L"", false},
        {R"("no prefix")", false, L"", false},
    };
    for (const auto& c : cases) {
        std::wstring text;
        bool truncated = false;
        EXPECT_EQ(c.ok, DecodeWineString(c.quoted, text, truncated)) << c.quoted;
        if (!c.ok) continue;
        EXPECT_EQ(c.text, text) << c.quoted;
        EXPECT_EQ(c.truncated, truncated) << c.quoted;
    }
}

TEST(EventLogCapture, AttachesStringsToTheRecordOfTheirThread) {
    const std::string trace =
        "0108:fixme:advapi:RegisterEventSourceW ((null),L\"Src\"): stub\n"
        "0108:fixme:advapi:ReportEventW (00000000CAFE4242,0x0001,0x0003,0x000003e9,0000000000000000,0x0002,"
        "0x00000000,000000000021FD10,0000000000000000): stub\n"
        "0110:fixme:advapi:ReportEventW (00000000CAFE4242,0x0004,0x0000,0x00000007,0000000000000000,0x0001,"
        "0x00000004,000000000021FD10,000000000021FD0C): stub\n"
        "0108:err:eventlog:ReportEventW L\"first\"\n"
        "0110:trace:eventlog:ReportEventW L\"other thread\"\n"
        "some line of the program itself\n"
        "0108:err:eventlog:ReportEventW L\"second\"\r\n"
        "0108:fixme:advapi:DeregisterEventSource (00000000CAFE4242) stub\n";
    TEventLogCapture c = ParseEventLogTrace(trace);
    using K = TEventLogCall;
    EXPECT_EQ((std::vector<K::TKind>{K::kRegister, K::kReport, K::kReport, K::kDeregister}), Kinds(c));
    EXPECT_EQ(Strings{L"Src"}, c.Registrations());
    ASSERT_EQ(2u, c.Records.size());
    EXPECT_EQ(1u, c.Records[0].Type);
    EXPECT_EQ(3u, c.Records[0].Category);
    EXPECT_EQ(1001u, c.Records[0].Id);
    EXPECT_EQ(2u, c.Records[0].StringCount);
    EXPECT_EQ((Strings{L"first", L"second"}), c.Records[0].Strings);
    EXPECT_FALSE(c.Records[0].HasData);
    EXPECT_EQ("0110", c.Records[1].Thread);
    EXPECT_EQ(4u, c.Records[1].DataSize);
    EXPECT_TRUE(c.Records[1].HasData);
    EXPECT_EQ(Strings{L"other thread"}, c.Records[1].Strings);
    EXPECT_EQ("00000000CAFE4242", c.Calls[3].Handle);
}
