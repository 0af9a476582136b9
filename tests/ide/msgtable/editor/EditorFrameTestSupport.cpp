#include "tests/ide/msgtable/editor/EditorFrameTestSupport.h"

#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"
#include "ide/msgtable/editor/EvLog_MessagesFrame.h"
#include "tests/support/FormsTestSupport.h"

#include <set>

namespace tamrel::evlog::test {

using namespace tamrel::test;

std::vector<std::wstring> TreeText(TEvLogEditorFrame& frame) {
    std::vector<std::wstring> lines;
    TTreeNodes& items = *frame.TreeView->Items();
    for (int i = 0; i < items.Count(); ++i) {
        TTreeNode* node = items.Item(i);
        lines.push_back(std::wstring(static_cast<size_t>(node->Level()) * 2, L' ') + node->Text());
    }
    return lines;
}

TTreeNode* NodeWithText(TEvLogEditorFrame& frame, const std::wstring& text) {
    TTreeNodes& items = *frame.TreeView->Items();
    for (int i = 0; i < items.Count(); ++i)
        if (items.Item(i)->Text() == text) return items.Item(i);
    return nullptr;
}

::testing::AssertionResult RefersToLiveBlocksOnly(TEvLogEditorFrame& frame, TEvLogDocument& document,
                                                  bool withBlockFrame) {
    std::set<TMessageBlock*> live;
    for (int i = 0; i < document.MessageTable().BlockCount(); ++i) live.insert(document.MessageTable().Blocks(i));
    auto check = [&](TMessageBlock* mb, const char* where) -> ::testing::AssertionResult {
        if (live.count(mb)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << where << " keeps a block the document no longer has";
    };
    TTreeNodes& items = *frame.TreeView->Items();
    for (int i = 0; i < items.Count(); ++i)
        if (auto* data = dynamic_cast<TMessageBlockNodeData*>(static_cast<TObject*>(items.Item(i)->Data())))
            if (auto r = check(data->MessageBlock(), "the tree"); !r) return r;
    if (TMessagesFrame* list = frame.MessagesFrame())
        for (int i = 0; i < list->lvBlocks->Items()->Count(); ++i)
            if (auto r = check(static_cast<TMessageBlock*>(list->lvBlocks->Items()->Item(i)->Data()), "the block list"); !r)
                return r;
    if (TMessageBlockFrame* block = frame.MessageBlockFrame(); withBlockFrame && block && block->MessageBlock())
        return check(block->MessageBlock(), "the block frame");
    return ::testing::AssertionSuccess();
}

void ClickNode(TEvLogEditorFrame& frame, TTreeNode* node) {
    ASSERT_NE(node, nullptr);
    RECT r = node->DisplayRect(true);
    ClickAt(frame.TreeView->ClientToScreen(POINT{r.left + 3, (r.top + r.bottom) / 2}));
    ASSERT_TRUE(PumpUntil([&] { return frame.TreeView->Selected() == node; }, 3000)) << WideToUtf8(node->Text());
}

void ClickButtonOf(TEvLogEditorFrame& frame, TAction* action) {
    for (int i = 0; i < frame.ToolBar1->ButtonCount(); ++i)
        if (TToolButton* button = frame.ToolBar1->Buttons(i); button->Action() == action) {
            ClickAt(button->ClientToScreen(POINT{button->Width() / 2, button->Height() / 2}));
            PumpPending();
            return;
        }
    FAIL() << "no button for the action";
}

void ShowInFront(TEvLogEditorFrame& frame) {
    TCustomForm* form = GetParentForm(&frame);
    ASSERT_NE(form, nullptr);
    form->Show();
    SetForegroundWindow(form->Handle());
    PumpPending();
}

} // namespace tamrel::evlog::test
