// The editor frame: the tree it shows of a document, the right-hand frame of each node, its
// actions through the tool bar, and how its tree follows the document's notices, also those made
// by another frame on the same document. Clicks and keys are real input, as a person gives it.
#include "ide/msgtable/editor/EvLog_EditorFrame.h"

#include "host/forms/Capture.h"
#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"
#include "ide/msgtable/editor/EvLog_MessagesFrame.h"
#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"
#include "tests/ide/msgtable/editor/EditorFrameTestSupport.h"
#include "tests/ide/msgtable/editor/FrameInputTestSupport.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::test;
using namespace tamrel::evlog::test;

namespace {

class EditorFrame : public ::testing::Test {
protected:
    TOwned<TForm> form{Create<TForm>(nullptr)};
    TEvLogDocument document{L"C:\\work\\Frame.elp"};
    TEvLogEditorFrame* frame = nullptr;

    void SetUp() override {
        form->SetBounds(20, 20, 900, 560);
        frame = MakeFrame(form.get());
    }
    TEvLogEditorFrame* MakeFrame(TWinControl* parent) {
        auto* f = Create<TEvLogEditorFrame>(form.get());
        f->SetParent(parent);
        f->SetAlign(alClient);
        return f;
    }
};

} // namespace

TEST_F(EditorFrame, ShowsPropertiesCategoriesWhileUsedAndTheBlocksButNeverTheCategoriesBlockAmongThem) {
    document.SetUseCategories(true);
    document.CategoriesBlock();
    document.AddBlock()->SetMessageNamePrefix(L"Disk");
    document.AddBlock();
    frame->SetDocument(&document);
    EXPECT_EQ(TreeText(*frame),
              (std::vector<std::wstring>{L"Properties", L"Categories", L"Messages", L"  Disk", L"  Block_0200"}));
    // Properties first, and every right-hand frame has the document.
    EXPECT_EQ(frame->TreeView->Selected(), frame->PropertiesNode());
    ASSERT_NE(frame->PropertiesFrame(), nullptr);
    EXPECT_EQ(frame->ActiveFrame(), frame->PropertiesFrame());
    EXPECT_EQ(frame->PropertiesFrame()->Document(), &document);
    EXPECT_EQ(frame->MessagesFrame()->Document(), &document);
    EXPECT_EQ(frame->MessageBlockFrame()->Document(), &document);
    EXPECT_EQ(frame->MessagesFrame()->lvBlocks->Items()->Count(), 2);

    // A block renamed elsewhere (the block properties dialog) renames its node.
    TMessageBlock* second = document.MessageTable().Blocks(2);
    second->SetMessageNamePrefix(L"Network");
    document.ModifyBlock(second);
    document.SetUseCategories(false);
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Disk", L"  Network"}));
    document.SetUseCategories(true);
    EXPECT_EQ(TreeText(*frame)[1], L"Categories");
    EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
}

TEST_F(EditorFrame, ClickedNodesShowTheirFramesAndOnlyABlockNodeMayBeDeleted) {
    document.SetUseCategories(true);
    TMessageBlock* block = document.AddBlock();
    frame->SetDocument(&document);
    ShowInFront(*frame);
    EXPECT_FALSE(frame->aBlockDelete->Enabled());

    ClickNode(*frame, frame->BlockNode(block));
    EXPECT_EQ(frame->ActiveFrame(), frame->MessageBlockFrame());
    EXPECT_TRUE(frame->MessageBlockFrame()->Visible());
    EXPECT_FALSE(frame->PropertiesFrame()->Visible());
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), block);
    EXPECT_TRUE(frame->aBlockDelete->Enabled());

    ClickNode(*frame, frame->CategoriesNode());
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), document.CategoriesBlock());
    EXPECT_FALSE(frame->aBlockDelete->Enabled());

    // The arrow keys move through the tree as clicks do.
    PressKeys({VK_DOWN});
    ASSERT_TRUE(PumpUntil([&] { return frame->TreeView->Selected() == frame->MessagesNode(); }, 3000));
    EXPECT_EQ(frame->ActiveFrame(), frame->MessagesFrame());
    EXPECT_FALSE(frame->MessageBlockFrame()->Visible());
    EXPECT_FALSE(frame->aBlockDelete->Enabled());
    PressKeys({VK_DOWN});
    ASSERT_TRUE(PumpUntil([&] { return frame->TreeView->Selected() == frame->BlockNode(block); }, 3000));
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), block);
}

TEST_F(EditorFrame, NewBlockFromTheToolBarIsAddedAtTheNextRangeAndSelected) {
    document.AddBlock();
    frame->SetDocument(&document);
    ShowInFront(*frame);
    ClickButtonOf(*frame, frame->aBlockNew);
    ASSERT_EQ(document.MessageTable().BlockCount(), 2);
    TMessageBlock* added = document.MessageTable().Blocks(1);
    EXPECT_EQ(added->LowId(), 0x200u);
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0100", L"  Block_0200"}));
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(added));
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), added);
    EXPECT_EQ(frame->MessagesFrame()->lvBlocks->Items()->Count(), 2);
}

TEST_F(EditorFrame, CtrlNInTheTreeAddsABlockAndRefreshHasNothingToDo) {
    frame->SetDocument(&document);
    ShowInFront(*frame);
    ClickNode(*frame, frame->MessagesNode());
    PressKey('N', {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return document.MessageTable().BlockCount() == 1; }, 3000));
    TMessageBlock* added = document.MessageTable().Blocks(0);
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(added));
    // A plain N is no shortcut.
    PressKeys({'N'});
    PumpPending();
    EXPECT_EQ(document.MessageTable().BlockCount(), 1);

    // Refresh has no handler: its button is disabled and a click does nothing.
    EXPECT_FALSE(frame->aRefresh->Enabled());
    document.SetModified(false);
    ClickButtonOf(*frame, frame->aRefresh);
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(added));
}

TEST_F(EditorFrame, CtrlNAddsABlockWhereverTheFocusIsInTheFrame) {
    TMessageBlock* shown = document.AddBlock();
    frame->SetDocument(&document);
    ShowInFront(*frame);
    ClickNode(*frame, frame->BlockNode(shown));
    TMemo* memo = frame->MessageBlockFrame()->mMessageEditor;
    ClickControl(memo, POINT{40, 20});
    ASSERT_TRUE(PumpUntil([&] { return memo->Focused(); }, 3000));
    PressKey('N', {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return document.MessageTable().BlockCount() == 2; }, 3000));
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(document.MessageTable().Blocks(1)));
}

TEST_F(EditorFrame, DeletingABlockSelectsTheNextThenThePreviousThenMessages) {
    TMessageBlock* first = document.AddBlock();
    TMessageBlock* second = document.AddBlock();
    TMessageBlock* third = document.AddBlock();
    frame->SetDocument(&document);
    ShowInFront(*frame);
    struct TCase {
        TMessageBlock* Deleted;
        TMessageBlock* SelectedAfter; // null: "Messages"
    };
    for (const TCase& c : {TCase{second, third}, TCase{third, first}, TCase{first, nullptr}}) {
        SCOPED_TRACE(c.Deleted->MessageNamePrefix());
        ClickNode(*frame, frame->BlockNode(c.Deleted));
        ClickButtonOf(*frame, frame->aBlockDelete);
        EXPECT_EQ(frame->BlockNode(c.Deleted), nullptr);
        TTreeNode* expected = c.SelectedAfter ? frame->BlockNode(c.SelectedAfter) : frame->MessagesNode();
        EXPECT_EQ(frame->TreeView->Selected(), expected);
        if (c.SelectedAfter) EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), c.SelectedAfter);
        else EXPECT_EQ(frame->ActiveFrame(), frame->MessagesFrame());
        EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
    }
    EXPECT_EQ(document.MessageTable().BlockCount(), 0);
    EXPECT_FALSE(frame->aBlockDelete->Enabled());
}

TEST_F(EditorFrame, TwoFramesOnOneDocumentFollowEachOthersNewAndDeletedBlocks) {
    TOwned<TForm> otherForm(Create<TForm>(nullptr));
    otherForm->SetBounds(40, 80, 900, 560);
    auto* other = Create<TEvLogEditorFrame>(otherForm.get());
    other->SetParent(otherForm.get());
    other->SetAlign(alClient);
    TMessageBlock* kept = document.AddBlock();
    TMessageBlock* doomed = document.AddBlock();
    frame->SetDocument(&document);
    other->SetDocument(&document);
    otherForm->Show();
    // The other window shows the block this one deletes.
    other->TreeView->SetSelected(other->BlockNode(doomed));
    ASSERT_EQ(other->MessageBlockFrame()->MessageBlock(), doomed);

    ShowInFront(*frame);
    ClickButtonOf(*frame, frame->aBlockNew);
    TMessageBlock* added = document.MessageTable().Blocks(2);
    EXPECT_EQ(TreeText(*other), TreeText(*frame));
    EXPECT_NE(other->BlockNode(added), nullptr);
    EXPECT_EQ(other->MessagesFrame()->lvBlocks->Items()->Count(), 3);
    EXPECT_EQ(other->TreeView->Selected(), other->BlockNode(doomed)); // its selection stays its own

    ClickNode(*frame, frame->BlockNode(doomed));
    ClickButtonOf(*frame, frame->aBlockDelete);
    EXPECT_EQ(other->BlockNode(doomed), nullptr);
    EXPECT_EQ(TreeText(*other), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0100", L"  Block_0300"}));
    EXPECT_EQ(other->MessagesFrame()->lvBlocks->Items()->Count(), 2);
    EXPECT_EQ(other->TreeView->Selected(), other->BlockNode(added));
    EXPECT_EQ(other->MessageBlockFrame()->MessageBlock(), added);
    EXPECT_TRUE(RefersToLiveBlocksOnly(*other, document));
    EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
    (void)kept;
}

TEST_F(EditorFrame, ANoticeWithoutABlockMakesTheBlockNodesAnewAndDropsAGoneSelection) {
    TMessageBlock* kept = document.AddBlock();
    TMessageBlock* shown = document.AddBlock();
    frame->SetDocument(&document);
    frame->TreeView->SetSelected(frame->BlockNode(shown));
    // A batch of two blocks, the shown one deleted: its notice names no block.
    document.BeginUpdate();
    document.DeleteBlock(shown);
    kept->SetMessageNamePrefix(L"Kept");
    document.ModifyBlock(kept);
    document.EndUpdate();
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Kept"}));
    EXPECT_EQ(frame->TreeView->Selected(), frame->MessagesNode());
    EXPECT_EQ(frame->ActiveFrame(), frame->MessagesFrame());
    EXPECT_EQ(frame->MessagesFrame()->lvBlocks->Items()->Count(), 1);
    EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document, false));

    // A batch whose last change names no block: the blocks added in it still appear, and a
    // block still there stays selected.
    frame->TreeView->SetSelected(frame->BlockNode(kept));
    document.BeginUpdate();
    TMessageBlock* a = document.AddBlock();
    TMessageBlock* b = document.AddBlock();
    document.SetUseCategories(true);
    document.EndUpdate();
    EXPECT_NE(frame->BlockNode(a), nullptr);
    EXPECT_NE(frame->BlockNode(b), nullptr);
    EXPECT_NE(frame->CategoriesNode(), nullptr);
    EXPECT_EQ(frame->MessagesFrame()->lvBlocks->Items()->Count(), 3);
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(kept));
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), kept);
}

TEST_F(EditorFrame, TheCategoriesNodeGoesWithItsBlockAndWithTheirUse) {
    document.SetUseCategories(true);
    document.AddBlock();
    frame->SetDocument(&document);
    frame->TreeView->SetSelected(frame->CategoriesNode());
    document.SetUseCategories(false);
    EXPECT_EQ(frame->CategoriesNode(), nullptr);
    EXPECT_EQ(frame->TreeView->Selected(), frame->MessagesNode());
    // The categories block deleted with its last message: its node does not outlive it.
    document.SetUseCategories(true);
    frame->TreeView->SetSelected(frame->CategoriesNode());
    document.DeleteMessage(document.CategoriesBlock(), 0);
    EXPECT_EQ(frame->CategoriesNode(), nullptr);
    EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
}

TEST_F(EditorFrame, TheRightHandFrameFillsThePanelInsideItsBorder) {
    document.AddBlock();
    frame->SetDocument(&document);
    ShowInFront(*frame);
    ClickNode(*frame, frame->MessagesNode());
    TCustomFrame* shown = frame->ActiveFrame();
    ASSERT_EQ(shown, static_cast<TCustomFrame*>(frame->MessagesFrame()));
    EXPECT_EQ(shown->Parent(), frame->RightPanel);
    EXPECT_EQ(shown->Left(), 2);
    EXPECT_EQ(shown->Top(), 2);
    EXPECT_EQ(shown->Width(), frame->RightPanel->ClientWidth() - 4);
    EXPECT_EQ(shown->Height(), frame->RightPanel->ClientHeight() - 4);
}

TEST_F(EditorFrame, TheLocaleDialogGetsTheDocumentsLocalesAndOnlyItsOkSetsThem) {
    document.SetUsedLocales({DefaultLocale, 1049});
    frame->SetDocument(&document);
    int shown = 0;
    TModalResult answer = mrCancel;
    TModalHookScope hook([&](const TModalWindow& m) {
        if (m.Kind != TModalKind::mkForm) return;
        ++shown;
        auto* form = static_cast<TCustomForm*>(m.Form);
        EXPECT_EQ(form->Caption(), L"Select languages to be used");
        form->SetModalResult(answer);
    });
    document.SetModified(false);
    frame->LocalesDialog();
    ASSERT_EQ(shown, 1) << "the locale dialog never reached the modal hook";
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.UsedLocales(), (std::vector<uint32_t>{DefaultLocale, 1049}));
    // OK without a change sets the same locales again, in the dialog's order.
    answer = mrOk;
    frame->LocalesDialog();
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(document.Modified());
    std::vector<uint32_t> used = document.UsedLocales();
    std::sort(used.begin(), used.end());
    EXPECT_EQ(used, (std::vector<uint32_t>{DefaultLocale, 1049}));
}

TEST_F(EditorFrame, ADoubleClickInTheBlockListSelectsThatBlocksNode) {
    document.AddBlock();
    TMessageBlock* second = document.AddBlock();
    frame->SetDocument(&document);
    ShowInFront(*frame);
    ClickNode(*frame, frame->MessagesNode());
    TListView* list = frame->MessagesFrame()->lvBlocks;
    PumpPending();
    RECT r = list->Items()->Item(1)->DisplayRect(true);
    ClickScreen(list->ClientToScreen(POINT{r.left + 4, (r.top + r.bottom) / 2}), false, true);
    ASSERT_TRUE(PumpUntil([&] { return frame->TreeView->Selected() == frame->BlockNode(second); }, 3000));
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), second);
}

TEST_F(EditorFrame, AFrameThatGoesLeavesTheDocumentAndItsNodeDataWithIt) {
    const int views = document.ViewCount();
    document.SetUseCategories(true);
    document.AddBlock();
    frame->SetDocument(&document);
    EXPECT_EQ(document.ViewCount(), views + 3); // the frame, its block list and its block frame
    frame->SetDocument(&document); // shown again: no second set of views
    EXPECT_EQ(document.ViewCount(), views + 3);
    Free(frame);
    frame = nullptr;
    EXPECT_EQ(document.ViewCount(), views);
    document.AddBlock(); // would reach a freed frame
    document.DeleteBlock(document.MessageTable().Blocks(0));
}

TEST_F(EditorFrame, ATreeCaptureShowsEachNodesImage) {
    document.SetUseCategories(true);
    document.AddBlock()->SetMessageNamePrefix(L"Startup");
    frame->SetDocument(&document);
    ShowInFront(*frame);
    std::unique_ptr<TBitmap> capture = CaptureControl(frame->TreeView);
    SaveCapture(*capture, L"EditorFrame_Tree");
    // Each node shows its picture of the frame's image list just left of its text: the sheet
    // (navy lines), the tags (green), the stack (blue).
    auto coloursLeftOf = [&](TTreeNode* node) {
        std::set<COLORREF> colours;
        RECT text = node->DisplayRect(true);
        for (int y = text.top; y < text.bottom; ++y)
            for (int x = std::max(0, static_cast<int>(text.left) - 22); x < text.left; ++x) colours.insert(PixelOf(*capture, x, y));
        return colours;
    };
    EXPECT_TRUE(coloursLeftOf(frame->PropertiesNode()).count(RGB(0, 0, 128)));
    EXPECT_TRUE(coloursLeftOf(frame->CategoriesNode()).count(RGB(0, 128, 0)));
    EXPECT_TRUE(coloursLeftOf(frame->MessagesNode()).count(RGB(0, 0, 255)));
    EXPECT_FALSE(coloursLeftOf(frame->PropertiesNode()).count(RGB(0, 128, 0)));
}
