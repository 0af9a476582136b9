// The block-properties dialog: which start ids and prefixes it takes for a block among the other
// blocks of its table, and that its OK keeps it open (with a box) until the values fit.
#include "ide/msgtable/editor/EvLog_MessageBlockProperties.h"

#include "host/HostApplication.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::test;

namespace {

// A table with the categories block (1), a block of three at $100 (the edited one) and a block
// of two at $200.
class BlockProperties : public testing::Test {
protected:
    void SetUp() override {
        categories = table.Blocks(0);
        categories->SetLowId(1);
        categories->SetMessages(1033, 0, L"");
        edited = table.Blocks(1);
        edited->SetLowId(0x100);
        edited->SetMessages(1033, 2, L"");
        other = table.Blocks(2);
        other->SetLowId(0x200);
        other->SetMessages(1033, 1, L"");
        empty = table.Blocks(3);
        empty->SetLowId(0x300);
        dialog.reset(Create<TMessageBlockProperties>(HostApplication.Get()));
        dialog->SetMessageBlock(edited);
        dialog->edMessageNamePrefix->SetText(L"Disk");
    }
    std::wstring Check(const std::wstring& text, uint32_t* lowId = nullptr) {
        dialog->edLowId->SetText(text);
        uint32_t value = 0;
        std::wstring error = dialog->CheckValues(value);
        if (lowId) *lowId = value;
        return error;
    }

    TMessageTable table;
    TMessageBlock *categories = nullptr, *edited = nullptr, *other = nullptr, *empty = nullptr;
    TOwned<TMessageBlockProperties> dialog;
};

TEST_F(BlockProperties, TakesEveryStartIdThatFitsBesideTheOtherBlocks) {
    const struct {
        std::wstring Text;
        uint32_t LowId;
    } cases[] = {
        {L"00000100", 0x100},      // unchanged
        {L"2", 0x2},               // just after the categories block
        {L"FF", 0xFF},             // over its own former place
        {L"1FD", 0x1FD},           // ends at $1FF, just before the next block
        {L"202", 0x202},           // starts just after it
        {L"2FF", 0x2FF},           // over the empty block at $300: it holds no id
        {L" abc ", 0xABC},         // blanks around, lower case
        {L"FFFFFFFD", 0xFFFFFFFD}, // its last message is $FFFFFFFF
    };
    for (const auto& c : cases) {
        uint32_t lowId = 1;
        EXPECT_EQ(Check(c.Text, &lowId), L"") << ToUtf8(c.Text);
        EXPECT_EQ(lowId, c.LowId) << ToUtf8(c.Text);
    }
}

TEST_F(BlockProperties, RefusesWhatIsNoIdOrDoesNotFitAndSaysWhy) {
    const struct {
        std::wstring Text, Error;
    } cases[] = {
        {L"", L"\"\" is not a hexadecimal message ID"},
        {L"0x100", L"\"0x100\" is not a hexadecimal message ID"},
        {L"$100", L"\"$100\" is not a hexadecimal message ID"},
        {L"1 00", L"\"1 00\" is not a hexadecimal message ID"},
        {L"-1", L"\"-1\" is not a hexadecimal message ID"},
        {L"123456789", L"\"123456789\" is not a hexadecimal message ID"},
        {L"1", L"The ID 1 is kept for the categories block"},
        {L"0", L"The IDs 0000 - 0002 overlap the block Block_0001 (0001 - 0001)"},
        {L"1FE", L"The IDs 01FE - 0200 overlap the block Block_0200 (0200 - 0201)"},
        {L"201", L"The IDs 0201 - 0203 overlap the block Block_0200 (0200 - 0201)"},
        {L"FFFFFFFE", L"The 3 messages of the block starting at FFFFFFFE would pass the last message ID FFFFFFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(Check(c.Text), c.Error) << ToUtf8(c.Text);
}

TEST_F(BlockProperties, TheCategoriesBlockKeepsOneAndAPrefixMustBeAnIdentifier) {
    dialog->SetMessageBlock(categories);
    EXPECT_EQ(Check(L"1"), L"");
    dialog->SetMessageBlock(edited);
    for (const std::wstring prefix : {L"Disk Errors", L"9th", L"Plattenfehler\u00E4"}) {
        dialog->edMessageNamePrefix->SetText(prefix);
        EXPECT_EQ(Check(L"500"), L"\"" + prefix + L"\" is not a valid identifier");
    }
    dialog->edMessageNamePrefix->SetText(L""); // the default names then start with "_Message_"
    EXPECT_EQ(Check(L"500"), L"");
}

TEST_F(BlockProperties, RefusesAPrefixOrStartIdWhoseDefaultNameIsAnotherMessagesName) {
    other->SetNames(1, L"Disk_Message_501");
    EXPECT_EQ(Check(L"500"), L"Message $501 would be named Disk_Message_501, the name of message $201");
    dialog->edMessageNamePrefix->SetText(L"Net");
    EXPECT_EQ(Check(L"500"), L"");
    edited->SetNames(1, L"Kept");
    dialog->edMessageNamePrefix->SetText(L"Disk");
    EXPECT_EQ(Check(L"500"), L"") << "a message of its own name keeps it";
}

TEST_F(BlockProperties, OKStaysOpenWithABoxUntilTheValuesFit) {
    std::vector<std::wstring> boxes;
    TModalHookScope hook([&](const TModalWindow& m) {
        if (m.Kind == TModalKind::mkForm) {
            dialog->edLowId->SetText(L"1FE");
            SendMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
        } else if (m.Kind == TModalKind::mkMessageBox) {
            boxes.push_back(m.Text);
            ClickDialogButton(m.Window, IDOK);
            dialog->edLowId->SetText(L"400");
            PostMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
        }
    });
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_EQ(boxes, std::vector<std::wstring>{L"The IDs 01FE - 0200 overlap the block Block_0200 (0200 - 0201)"});
    EXPECT_EQ(dialog->LowId(), 0x400u);
}

TEST_F(BlockProperties, CancelTakesNothing) {
    TModalHookScope hook([&](const TModalWindow& m) {
        if (m.Kind != TModalKind::mkForm) return;
        dialog->edLowId->SetText(L"not hex");
        SendMessageW(dialog->btCancel->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    EXPECT_EQ(dialog->LowId(), 0u);
}

} // namespace
