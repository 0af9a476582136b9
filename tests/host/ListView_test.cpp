// The list view: items and sub-items in the system control (also across a new window), selection,
// captions edited in place with real keys (accepted, changed by OnEdited, cancelled), deletion
// events for every way an item goes, the update bracket, and dragging with the mouse between two
// list views.
#include "host/ListView.h"

#include "host/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TListEvents {
    std::vector<std::wstring> Log;
    std::wstring Rename; // OnEdited sets S to this when not empty
    bool AllowEdit = true;
    void Editing(TObject*, TListItem* item, bool& allow) {
        Log.push_back(L"editing " + item->Caption());
        allow = AllowEdit;
    }
    void Edited(TObject*, TListItem* item, std::wstring& s) {
        Log.push_back(L"edited " + item->Caption() + L"->" + s);
        if (!Rename.empty()) s = Rename;
    }
    void CancelEdit(TObject*, TListItem* item) { Log.push_back(L"cancel " + item->Caption()); }
    void Deletion(TObject*, TListItem* item) { Log.push_back(L"delete " + item->Caption()); }
    void SelectItem(TObject*, TListItem* item, bool selected) {
        Log.push_back((selected ? L"select " : L"unselect ") + item->Caption());
    }
    void DragOver(TObject* sender, TObject* source, int, int, TDragState state, bool& accept) {
        if (state == dsDragEnter) Log.push_back(L"enter " + static_cast<TComponent*>(sender)->Name());
        accept = sender != source;
    }
    void DragDrop(TObject* sender, TObject* source, int, int) {
        Log.push_back(L"drop " + static_cast<TComponent*>(source)->Name() + L" on " + static_cast<TComponent*>(sender)->Name());
    }
};

class ListViewTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(40, 40, 560, 300);
        List = Make(L"Left", 8);
    }
    TListView* Make(const wchar_t* name, int left) {
        TListView* list = Create<TListView>(Form.get());
        list->SetName(name);
        list->SetParent(Form.get());
        list->SetBounds(left, 8, 250, 240);
        list->SetViewStyle(vsReport);
        list->SetMultiSelect(true);
        for (const wchar_t* caption : {L"Name", L"Type"}) {
            TListColumn* c = list->Columns()->Add();
            c->SetCaption(caption);
            c->SetWidth(100);
        }
        list->SetOnEditing(TLVEditingEvent::Of<&TListEvents::Editing>(&Events));
        list->SetOnEdited(TLVEditedEvent::Of<&TListEvents::Edited>(&Events));
        list->SetOnCancelEdit(TLVNotifyEvent::Of<&TListEvents::CancelEdit>(&Events));
        list->SetOnDeletion(TLVNotifyEvent::Of<&TListEvents::Deletion>(&Events));
        return list;
    }
    TListItem* Add(TListView* list, const std::wstring& caption, const std::wstring& sub = L"") {
        TListItem* item = list->Items()->Add();
        item->SetCaption(caption);
        if (!sub.empty()) item->SubItems()->Add(sub);
        return item;
    }
    static std::wstring WindowText(TListView* list, int index, int column) {
        wchar_t text[128] = {};
        ListView_GetItemText(list->Handle(), index, column, text, 128);
        return text;
    }
    TListEvents Events; // outlives the form: its list views report their items' deletion
    TOwned<TForm> Form;
    TListView* List = nullptr;
};

TEST_F(ListViewTest, ItemsAddedBeforeTheWindowAppearInItAndSurviveANewWindow) {
    int data = 7;
    Add(List, L"alpha", L"one")->SetData(&data);
    Add(List, L"beta", L"two");
    List->Items()->Item(1)->SetSelected(true);
    Form->Show();
    ASSERT_EQ(ListView_GetItemCount(List->Handle()), 2);
    EXPECT_EQ(WindowText(List, 0, 0), L"alpha");
    EXPECT_EQ(WindowText(List, 1, 1), L"two");
    List->Items()->Item(0)->SubItems()->Put(0, L"uno");
    EXPECT_EQ(WindowText(List, 0, 1), L"uno");
    EXPECT_EQ(List->Selected(), List->Items()->Item(1));
    List->RecreateWnd();
    ASSERT_EQ(ListView_GetItemCount(List->Handle()), 2);
    EXPECT_EQ(WindowText(List, 0, 1), L"uno");
    EXPECT_EQ(List->SelCount(), 1);
    EXPECT_EQ(List->Selected()->Caption(), L"beta");
    EXPECT_EQ(List->Items()->Item(0)->Data(), &data);
}

TEST_F(ListViewTest, ACaptionEditedWithKeysIsAcceptedAsOnEditedLeavesIt) {
    Add(List, L"old");
    Form->Show();
    Events.Rename = L"changed by the handler";
    ASSERT_TRUE(List->Items()->Item(0)->EditCaption());
    ASSERT_TRUE(List->IsEditing());
    HWND editor = List->EditorHandle();
    ASSERT_NE(editor, nullptr);
    SetWindowTextW(editor, L"");
    TypeText(L"new");
    PressKeys({VK_RETURN});
    EXPECT_FALSE(List->IsEditing());
    EXPECT_EQ(Events.Log, (std::vector<std::wstring>{L"editing old", L"edited old->new"}));
    EXPECT_EQ(List->Items()->Item(0)->Caption(), L"changed by the handler");
    EXPECT_EQ(WindowText(List, 0, 0), L"changed by the handler");
}

TEST_F(ListViewTest, EscCancelsTheEditAndTellsOnCancelEdit) {
    Add(List, L"keep");
    Form->Show();
    ASSERT_TRUE(List->Items()->Item(0)->EditCaption());
    TypeText(L"zzz");
    PressKeys({VK_ESCAPE});
    EXPECT_FALSE(List->IsEditing());
    EXPECT_EQ(Events.Log, (std::vector<std::wstring>{L"editing keep", L"cancel keep"}));
    EXPECT_EQ(List->Items()->Item(0)->Caption(), L"keep");
}

TEST_F(ListViewTest, OnEditingMayRefuseAndReadOnlyListsDoNotEdit) {
    Add(List, L"x");
    Form->Show();
    Events.AllowEdit = false;
    List->Items()->Item(0)->EditCaption();
    EXPECT_FALSE(List->IsEditing());
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"editing x"});
    List->SetReadOnly(true);
    EXPECT_FALSE(List->Items()->Item(0)->EditCaption());
}

TEST_F(ListViewTest, OnDeletionHearsOfEveryItemThatGoes) {
    for (const wchar_t* c : {L"a", L"b", L"c", L"d"}) Add(List, c);
    Form->Show();
    List->Items()->Item(1)->Delete();
    List->Items()->Delete(0);
    EXPECT_EQ(ListView_GetItemCount(List->Handle()), 2);
    Free(List); // the list view itself going
    List = nullptr;
    EXPECT_EQ(Events.Log, (std::vector<std::wstring>{L"delete b", L"delete a", L"delete d", L"delete c"}));
}

// The redraw switches the list view's window receives (the control keeps that state to itself).
std::vector<WPARAM> GRedraws;
WNDPROC GListProc = nullptr;
LRESULT CALLBACK RecordRedraw(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETREDRAW) GRedraws.push_back(wParam);
    return CallWindowProcW(GListProc, window, msg, wParam, lParam);
}

TEST_F(ListViewTest, TheUpdateBracketHoldsRedrawingUntilTheOutermostEnd) {
    Form->Show();
    GRedraws.clear();
    GListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(List->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordRedraw)));
    List->Items()->BeginUpdate();
    List->Items()->BeginUpdate();
    Add(List, L"one");
    EXPECT_EQ(GRedraws, std::vector<WPARAM>{FALSE});
    List->Items()->EndUpdate();
    EXPECT_EQ(GRedraws, std::vector<WPARAM>{FALSE});
    List->Items()->EndUpdate();
    EXPECT_EQ(GRedraws, (std::vector<WPARAM>{FALSE, TRUE}));
    SetWindowLongPtrW(List->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GListProc));
    EXPECT_EQ(ListView_GetItemCount(List->Handle()), 1);
}

TEST_F(ListViewTest, SelectionIsReportedAndMultipleItemsCanBeSelected) {
    Add(List, L"a");
    Add(List, L"b");
    Add(List, L"c");
    List->SetOnSelectItem(TLVSelectItemEvent::Of<&TListEvents::SelectItem>(&Events));
    Form->Show();
    List->Items()->Item(0)->SetSelected(true);
    List->Items()->Item(2)->SetSelected(true);
    EXPECT_EQ(List->SelCount(), 2);
    List->Items()->Item(0)->SetSelected(false);
    EXPECT_EQ(List->Selected()->Caption(), L"c");
    EXPECT_EQ(Events.Log, (std::vector<std::wstring>{L"select a", L"select c", L"unselect a"}));
}

TEST_F(ListViewTest, DraggingAnItemWithTheMouseDropsItOnTheOtherListOnly) {
    TListView* right = Make(L"Right", 290);
    for (TListView* l : {List, right}) {
        l->SetDragMode(dmAutomatic);
        l->SetOnDragOver(TDragOverEvent::Of<&TListEvents::DragOver>(&Events));
        l->SetOnDragDrop(TDragDropEvent::Of<&TListEvents::DragDrop>(&Events));
    }
    Add(List, L"dragged");
    Form->Show();
    PumpPending();
    RECT r = List->Items()->Item(0)->DisplayRect(true);
    POINT from = List->ClientToScreen(POINT{r.left + 5, (r.top + r.bottom) / 2});
    POINT to = right->ClientToScreen(POINT{60, 100});
    DragWithMouse(from, to);
    EXPECT_TRUE(PumpUntil([&] { return !Dragging(List); }, 3000));
    EXPECT_EQ(Events.Log.back(), L"drop Left on Right");
    EXPECT_NE(std::find(Events.Log.begin(), Events.Log.end(), L"enter Left"), Events.Log.end());
    // Back onto itself: the list does not take its own items.
    Events.Log.clear();
    DragWithMouse(from, List->ClientToScreen(POINT{60, 150}));
    PumpUntil([&] { return !Dragging(List); }, 3000);
    EXPECT_EQ(std::count_if(Events.Log.begin(), Events.Log.end(), [](const std::wstring& l) { return l.starts_with(L"drop"); }), 0);
}

// The item's image index in the window, as the list view shows it.
int WindowImage(TListView* list, int index) {
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    ListView_GetItem(list->Handle(), &item);
    return item.iImage;
}

TEST_F(ListViewTest, EachViewStyleShowsTheItemsWithTheImagesOfItsSize) {
    TImageList* large = Create<TImageList>(Form.get());
    TImageList* small = Create<TImageList>(Form.get());
    large->SetSize(32, 32);
    small->SetSize(16, 16);
    for (TImageList* images : {large, small})
        for (TColor color : {clRed, clBlue}) {
            TBitmap picture;
            picture.SetSize(images->Width(), images->Height());
            picture.Canvas()->Brush()->SetColor(color);
            picture.Canvas()->FillRect(RECT{0, 0, images->Width(), images->Height()});
            images->AddMasked(&picture, clFuchsia);
        }
    List->SetLargeImages(large);
    List->SetSmallImages(small);
    Add(List, L"first", L"sub")->SetImageIndex(1);
    Add(List, L"second");
    Form->Show();
    PumpPending();
    EXPECT_EQ(ListView_GetImageList(List->Handle(), LVSIL_NORMAL), large->Handle());
    EXPECT_EQ(ListView_GetImageList(List->Handle(), LVSIL_SMALL), small->Handle());
    struct TCase {
        TViewStyle Style;
        bool LargeIcons;
        bool Header;
    };
    for (const TCase& c : {TCase{vsIcon, true, false}, TCase{vsSmallIcon, false, false}, TCase{vsList, false, false},
                           TCase{vsReport, false, true}}) {
        List->SetViewStyle(c.Style);
        PumpPending();
        RECT icon = {};
        ASSERT_TRUE(ListView_GetItemRect(List->Handle(), 0, &icon, LVIR_ICON)) << c.Style;
        EXPECT_EQ(RectHeight(icon) >= 32, c.LargeIcons) << c.Style << " " << RectHeight(icon);
        EXPECT_EQ(WindowImage(List, 0), 1) << c.Style;
        EXPECT_EQ(IsWindowVisible(ListView_GetHeader(List->Handle())) != FALSE, c.Header) << c.Style;
        EXPECT_EQ(List->Items()->Count(), 2);
        EXPECT_EQ(ListView_GetItemCount(List->Handle()), 2) << c.Style;
    }
    EXPECT_EQ(WindowText(List, 0, 1), L"sub");
    Free(small); // the list view hears of it
    EXPECT_EQ(List->SmallImages(), nullptr);
    EXPECT_EQ(ListView_GetImageList(List->Handle(), LVSIL_SMALL), nullptr);
}

} // namespace
