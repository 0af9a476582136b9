#include "ide/msgtable/model/EvLog_Common.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;

namespace {

struct TChangeCounter {
    int Count = 0;
    void Changed(TObject*) { ++Count; }
};

} // namespace

TEST(ResIdText, KeepsOneFormAndRefusesToReadTheOther) {
    TResIdText id;
    EXPECT_FALSE(id.IsString());
    EXPECT_EQ(0u, id.ID());
    try {
        (void)id.Text();
        FAIL() << "a number read as text";
    } catch (const Exception& e) {
        EXPECT_EQ(L"IdText is saved as DWORD. Use ID instead of Text", e.Message());
    }
    id.SetText(L"EVLOG_NAMES");
    EXPECT_TRUE(id.IsString());
    EXPECT_EQ(L"EVLOG_NAMES", id.Text());
    try {
        (void)id.ID();
        FAIL() << "a string read as a number";
    } catch (const Exception& e) {
        EXPECT_EQ(L"IdText is saved as string. Use Text insted of ID", e.Message());
    }
    id.SetID(11);
    EXPECT_FALSE(id.IsString());
    EXPECT_EQ(11u, id.ID());
}

TEST(ResIdText, FiresOnChangeForEveryAssignmentAndCopiesEitherForm) {
    TChangeCounter counter;
    TResIdText id;
    id.SetOnChange(TNotifyEvent::Of<&TChangeCounter::Changed>(&counter));
    id.SetID(5);
    id.SetID(5);
    id.SetText(L"X");
    EXPECT_EQ(3, counter.Count);

    TResIdText copy;
    copy.Assign(id);
    EXPECT_EQ(L"X", copy.Text());
    id.SetID(0x10);
    copy.Assign(id);
    EXPECT_EQ(0x10u, copy.ID());
}

TEST(EvLogCommon, NamesTheJournals) {
    EXPECT_STREQ(L"Application", EventLogName(etApplication));
    EXPECT_STREQ(L"System", EventLogName(etSystem));
    EXPECT_STREQ(L"Security", EventLogName(etSecurity));
}

TEST(EvLogCommon, IsValidIdentifierTakesAsciiIdentifiersOnly) {
    struct Case {
        const wchar_t* text;
        bool valid;
    } cases[] = {{L"", false},        {L"A", true},         {L"_", true},         {L"msg_1", true},
                 {L"1msg", false},    {L"MSG OK", false},   {L"X = 1; Evil", false}, {L"Ünicode", false},
                 {L"a\u00e9", false}, {L"Block_0100_Message_103", true}, {L"a-b", false}};
    for (const auto& c : cases) EXPECT_EQ(c.valid, IsValidIdentifier(c.text)) << testing::PrintToString(std::wstring(c.text));
}
