// The block list: what it shows of a document and how it follows the document's notices.
#include "ide/msgtable/editor/EvLog_MessagesFrame.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;

namespace {

// One row a line: "prefix | range | comment".
std::vector<std::wstring> Rows(const TMessagesFrame& frame) {
    std::vector<std::wstring> rows;
    TListItems& items = *frame.lvBlocks->Items();
    for (int i = 0; i < items.Count(); ++i) {
        TListItem* item = items.Item(i);
        rows.push_back(item->Caption() + L" | " + item->SubItems()->Strings(0) + L" | " + item->SubItems()->Strings(1));
    }
    return rows;
}

struct TSelected {
    TMessageBlock* Block = nullptr;
    void Select(TMessageBlock* mb) { Block = mb; }
};

class MessagesFrame : public ::testing::Test {
protected:
    TOwnedPtr<TForm> form{Create<TForm>(nullptr)};
    TMessagesFrame* frame = nullptr;
    TEvLogDocument document{L"Frame.elp"};

    void SetUp() override {
        frame = Create<TMessagesFrame>(form.get());
        frame->SetParent(form.get());
    }
};

} // namespace

TEST_F(MessagesFrame, ShowsEveryBlockButTheCategoriesWithFourDigitRanges) {
    document.SetUseCategories(true);
    document.CategoriesBlock();
    TMessageBlock* first = document.AddBlock();
    first->SetComment(L"Start-up");
    TMessageBlock* second = document.AddBlock();
    document.AddMessage(second);
    frame->SetDocument(&document);
    EXPECT_EQ(Rows(*frame), (std::vector<std::wstring>{L"Block_0100 | 0100 - 0100 | Start-up",
                                                       L"Block_0200 | 0200 - 0201 | "}));
}

TEST_F(MessagesFrame, FollowsAddedModifiedAndDeletedBlocks) {
    frame->SetDocument(&document);
    TMessageBlock* added = document.AddBlock();
    EXPECT_EQ(Rows(*frame), std::vector<std::wstring>{L"Block_0100 | 0100 - 0100 | "});
    added->SetMessageNamePrefix(L"Disk");
    document.ModifyBlock(added);
    EXPECT_EQ(Rows(*frame), std::vector<std::wstring>{L"Disk | 0100 - 0100 | "});
    document.DeleteBlock(added);
    EXPECT_TRUE(Rows(*frame).empty());
}

TEST_F(MessagesFrame, ANoticeThatNamesNoBlockFillsTheListAnew) {
    TMessageBlock* gone = document.AddBlock();
    frame->SetDocument(&document);
    // The block added last in the batch is not named: a change without a block came after it.
    document.BeginUpdate();
    document.DeleteBlock(gone);
    document.AddBlock()->SetComment(L"new");
    document.SetEventSource(L"App");
    document.EndUpdate();
    EXPECT_EQ(Rows(*frame), std::vector<std::wstring>{L"Block_0100 | 0100 - 0100 | new"});
    document.BeginUpdate();
    document.AddBlock();
    document.SetUseCategories(true);
    document.EndUpdate();
    EXPECT_EQ(Rows(*frame).size(), 2u);
}

TEST_F(MessagesFrame, DoubleClickSelectsTheBlockOfTheSelectedRowAndNothingWithoutOne) {
    TMessageBlock* block = document.AddBlock();
    frame->SetDocument(&document);
    TSelected selected;
    frame->SetOnSelectMessageBlock(TSelectMessageBlockEvent::Of<&TSelected::Select>(&selected));
    frame->lvBlocksDblClick(nullptr);
    EXPECT_EQ(selected.Block, nullptr);
    frame->lvBlocks->Items()->Item(0)->SetSelected(true);
    frame->lvBlocksDblClick(nullptr);
    EXPECT_EQ(selected.Block, block);
}

TEST_F(MessagesFrame, AFreedFrameIsNoLongerAViewOfItsDocument) {
    const int views = document.ViewCount();
    frame->SetDocument(&document);
    EXPECT_EQ(document.ViewCount(), views + 1);
    Free(frame);
    EXPECT_EQ(document.ViewCount(), views);
    document.AddBlock(); // would reach the freed frame
}
