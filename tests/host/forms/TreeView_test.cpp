// The tree view: nodes and their order in the system control (also across a new window), node
// data and images, the selected node and OnChange for clicks, keys and code, and deletion events
// for every way a node goes (never for the window going, never a change to a deleted node).
#include "host/forms/TreeView.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TTreeEvents {
    std::vector<std::wstring> Log;
    TCustomTreeView* Tree = nullptr;
    void Change(TObject*, TTreeNode* node) { Log.push_back(L"change " + (node ? node->Text() : std::wstring(L"-"))); }
    void Deletion(TObject*, TTreeNode* node) {
        Log.push_back(L"delete " + node->Text());
        delete static_cast<std::wstring*>(node->Data());
    }
};

class TreeViewTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(40, 40, 420, 320);
        Tree = Create<TTreeView>(Form.get());
        Tree->SetParent(Form.get());
        Tree->SetBounds(8, 8, 300, 260);
        Tree->SetOnChange(TTVChangedEvent::Of<&TTreeEvents::Change>(&Events));
        Tree->SetOnDeletion(TTVChangedEvent::Of<&TTreeEvents::Deletion>(&Events));
    }
    // Shows the form in front, so that real input reaches it.
    void ShowInFront() {
        Form->Show();
        SetForegroundWindow(Form->Handle());
        PumpPending();
    }
    // What the system control shows: every item, indented by its level, fully expanded or not.
    std::vector<std::wstring> WindowItems() {
        std::vector<std::wstring> items;
        Walk(TreeView_GetRoot(Tree->Handle()), 0, items);
        return items;
    }
    void Walk(HTREEITEM item, int level, std::vector<std::wstring>& items) {
        for (; item; item = TreeView_GetNextSibling(Tree->Handle(), item)) {
            wchar_t text[128] = {};
            TVITEMW info = {};
            info.mask = TVIF_TEXT;
            info.hItem = item;
            info.pszText = text;
            info.cchTextMax = 128;
            SendMessageW(Tree->Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
            items.push_back(std::wstring(static_cast<size_t>(level) * 2, L' ') + text);
            Walk(TreeView_GetChild(Tree->Handle(), item), level + 1, items);
        }
    }
    POINT TextPoint(TTreeNode* node) {
        RECT r = node->DisplayRect(true);
        return Tree->ClientToScreen(POINT{r.left + 4, (r.top + r.bottom) / 2});
    }

    TTreeEvents Events; // outlives the form: its tree view reports the deletion of its nodes
    TOwned<TForm> Form;
    TTreeView* Tree = nullptr;
};

TEST_F(TreeViewTest, NodesMadeBeforeTheWindowAppearInOrderAndSurviveANewWindow) {
    TTreeNodes& items = *Tree->Items();
    TTreeNode* props = items.AddChild(nullptr, L"Properties");
    TTreeNode* messages = items.AddChild(nullptr, L"Messages");
    items.AddChild(messages, L"Block_0100");
    TTreeNode* second = items.AddChildObject(messages, L"Block_0200", new std::wstring(L"data"));
    // Inserted before a sibling, at its level.
    TTreeNode* categories = items.Insert(messages, L"Categories");
    messages->Expand(false);
    second->SetSelected(true);
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"change Block_0200"}); // from code, without a window

    Form->Show();
    const std::vector<std::wstring> shown = {L"Properties", L"Categories", L"Messages", L"  Block_0100", L"  Block_0200"};
    EXPECT_EQ(WindowItems(), shown);
    EXPECT_EQ(items.Count(), 5);
    EXPECT_EQ(items.Item(3)->Text(), L"Block_0100");
    EXPECT_EQ(categories->GetNextSibling(), messages);
    EXPECT_EQ(props->GetNextSibling(), categories);
    EXPECT_EQ(second->Parent(), messages);
    EXPECT_EQ(second->Level(), 1);
    EXPECT_EQ(Tree->Selected(), second);
    EXPECT_TRUE(messages->Expanded());

    second->SetText(L"Disk");
    Tree->SetRowSelect(true); // a new window
    EXPECT_EQ(WindowItems(), (std::vector<std::wstring>{L"Properties", L"Categories", L"Messages", L"  Block_0100",
                                                        L"  Disk"}));
    EXPECT_EQ(Tree->Selected(), second);
    EXPECT_TRUE(messages->Expanded());
    EXPECT_EQ(*static_cast<std::wstring*>(second->Data()), L"data");
    // Neither window's making nor its going is a change or a deletion of ours.
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"change Block_0200"});
}

TEST_F(TreeViewTest, ClicksKeysAndCodeSelectAndEachChangeIsToldOnce) {
    TTreeNode* a = Tree->Items()->AddChild(nullptr, L"alpha");
    TTreeNode* b = Tree->Items()->AddChild(nullptr, L"beta");
    TTreeNode* c = Tree->Items()->AddChild(nullptr, L"gamma");
    ShowInFront();
    Tree->SetSelected(a);
    Tree->SetSelected(a); // no change
    ClickAt(TextPoint(c));
    EXPECT_TRUE(PumpUntil([&] { return Tree->Selected() == c; }, 3000));
    PressKeys({VK_UP});
    EXPECT_TRUE(PumpUntil([&] { return Tree->Selected() == b; }, 3000));
    EXPECT_TRUE(b->Selected());
    b->SetSelected(false);
    EXPECT_EQ(Tree->Selected(), nullptr);
    EXPECT_EQ(Events.Log, (std::vector<std::wstring>{L"change alpha", L"change gamma", L"change beta", L"change -"}));
}

TEST_F(TreeViewTest, WithRowSelectAClickRightOfTheTextSelectsItsNode) {
    Tree->SetRowSelect(true);
    Tree->Items()->AddChild(nullptr, L"first");
    TTreeNode* second = Tree->Items()->AddChild(nullptr, L"second");
    ShowInFront();
    // The system selects the first node when the tree takes the focus without a selection.
    Tree->SetFocus();
    PumpPending();
    Events.Log.clear();
    RECT text = second->DisplayRect(true);
    const POINT right = {text.right + 60, (text.top + text.bottom) / 2};
    EXPECT_EQ(Tree->GetNodeAt(right.x, right.y), second);
    ClickAt(Tree->ClientToScreen(right));
    EXPECT_TRUE(PumpUntil([&] { return Tree->Selected() == second; }, 3000));
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"change second"});
    EXPECT_EQ(Tree->GetNodeAt(text.right + 60, text.bottom + 100), nullptr); // below the last row
}

TEST_F(TreeViewTest, DeletingTheSelectedNodeTellsItsDeletionThenAChangeToALiveNode) {
    TTreeNode* parent = Tree->Items()->AddChild(nullptr, L"parent");
    Tree->Items()->AddChildObject(parent, L"child 1", new std::wstring);
    Tree->Items()->AddChildObject(parent, L"child 2", new std::wstring);
    TTreeNode* next = Tree->Items()->AddChild(nullptr, L"next");
    parent->Expand(true);
    Form->Show();
    Tree->SetSelected(parent);
    Events.Log.clear();
    parent->Delete();
    // Children first, each once; then the system selects the next node, which is told (the
    // deleted one is never named).
    EXPECT_EQ(Events.Log,
              (std::vector<std::wstring>{L"delete child 2", L"delete child 1", L"delete parent", L"change next"}));
    EXPECT_EQ(Tree->Selected(), next);
    EXPECT_EQ(Tree->Items()->Count(), 1);
    EXPECT_EQ(WindowItems(), std::vector<std::wstring>{L"next"});
    EXPECT_FALSE(Tree->Items()->Contains(parent));
    EXPECT_EQ(next->Index(), 0);
}

TEST_F(TreeViewTest, ClearAndTheTreeViewGoingTellEveryDeletionAndNoChange) {
    for (const wchar_t* text : {L"a", L"b"}) Tree->Items()->AddChildObject(nullptr, text, new std::wstring(text));
    TTreeNode* c = Tree->Items()->AddChild(nullptr, L"c");
    Tree->Items()->AddChildObject(c, L"c1", new std::wstring);
    Form->Show();
    Tree->SetSelected(c);
    Events.Log.clear();
    Tree->Items()->Clear();
    EXPECT_EQ(Events.Log, (std::vector<std::wstring>{L"delete c1", L"delete c", L"delete b", L"delete a"}));
    EXPECT_TRUE(WindowItems().empty());
    EXPECT_EQ(Tree->Selected(), nullptr);

    Tree->Items()->AddChildObject(nullptr, L"last", new std::wstring);
    Tree->SetSelected(Tree->Items()->GetFirstNode());
    Events.Log.clear();
    Free(Tree); // data freed by the handler: a leak or a second free shows under the checker
    Tree = nullptr;
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"delete last"});
}

TEST_F(TreeViewTest, EachNodeShowsItsImageAndItsSelectedImageWhenSelected) {
    TImageList* images = Create<TImageList>(Form.get());
    for (TColor colour : {clRed, clBlue}) {
        TBitmap picture;
        picture.SetSize(16, 16);
        picture.Canvas()->Brush()->SetColor(colour);
        picture.Canvas()->FillRect(RECT{0, 0, 16, 16});
        images->Add(&picture, nullptr);
    }
    Tree->SetImages(images);
    Tree->SetHideSelection(false);
    TTreeNode* node = Tree->Items()->AddChild(nullptr, L"node");
    node->SetImageIndex(0);
    node->SetSelectedIndex(1);
    TTreeNode* other = Tree->Items()->AddChild(nullptr, L"other");
    Form->Show();
    other->SetSelected(true);
    PumpPending();
    // The image sits left of the text, centred on its row.
    auto imageColour = [&] {
        RECT text = node->DisplayRect(true);
        std::unique_ptr<TBitmap> capture = CaptureControl(Tree);
        return PixelOf(*capture, text.left - 10, (text.top + text.bottom) / 2);
    };
    EXPECT_EQ(imageColour(), RGB(255, 0, 0));
    node->SetSelected(true);
    EXPECT_EQ(imageColour(), RGB(0, 0, 255));
    // The list going leaves the tree without images, and it still paints.
    Free(images);
    EXPECT_EQ(Tree->Images(), nullptr);
    PumpPending();
}

} // namespace
