// The list view: items and sub-items in the system control (also across a new window), selection,
// captions edited in place with real keys (accepted, changed by OnEdited, cancelled), deletion
// events for every way an item goes, the update bracket, dragging with the mouse between two
// list views, check boxes toggled by a click and by Space (kept across a new window and while
// the boxes are off), and the list style.
#include "host/forms/ListView.h"

#include "host/forms/Forms.h"
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
    void Change(TObject*, TListItem* item, TItemChange change) {
        if (change == ctState) Log.push_back(L"state " + item->Caption() + (item->Checked() ? L" checked" : L""));
    }
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
    void DblClick(TObject*) { Log.push_back(L"double click"); }
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

TEST_F(ListViewTest, ARealDoubleClickOnAnItemRaisesOnDblClickOnce) {
    Add(List, L"first");
    Add(List, L"second");
    List->SetOnDblClick(TNotifyEvent::Of<&TListEvents::DblClick>(&Events));
    Form->Show();
    SetForegroundWindow(Form->Handle());
    PumpPending();
    RECT r = List->Items()->Item(1)->DisplayRect(true);
    ClickScreen(List->ClientToScreen(POINT{r.left + 4, (r.top + r.bottom) / 2}), false, true);
    EXPECT_TRUE(PumpUntil([&] { return !Events.Log.empty(); }, 3000));
    PumpPending();
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"double click"});
    EXPECT_EQ(List->Selected(), List->Items()->Item(1));
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

// The marks the window shows, read from the window itself.
std::vector<bool> WindowChecks(TListView* list) {
    std::vector<bool> checks;
    for (int i = 0; i < ListView_GetItemCount(list->Handle()); ++i) checks.push_back(ListView_GetCheckState(list->Handle(), i) == 1);
    return checks;
}

std::vector<bool> ItemChecks(TListView* list) {
    std::vector<bool> checks;
    for (int i = 0; i < list->Items()->Count(); ++i) checks.push_back(list->Items()->Item(i)->Checked());
    return checks;
}

// The screen point of an item's check box, as the control's hit test finds it.
POINT CheckBoxPoint(TListView* list, int index) {
    RECT bounds = list->Items()->Item(index)->DisplayRect();
    LVHITTESTINFO hit = {};
    for (int x = bounds.left; x < bounds.left + 24; ++x) {
        hit.pt = POINT{x, (bounds.top + bounds.bottom) / 2};
        if (ListView_HitTest(list->Handle(), &hit) == index && (hit.flags & LVHT_ONITEMSTATEICON))
            return list->ClientToScreen(hit.pt);
    }
    ADD_FAILURE() << "no check box found beside item " << index;
    return list->ClientToScreen(POINT{bounds.left + 8, (bounds.top + bounds.bottom) / 2});
}

TEST_F(ListViewTest, ChecksSetBeforeTheWindowAppearInItAndSurviveANewWindow) {
    List->SetCheckboxes(true);
    Add(List, L"a")->SetChecked(true);
    Add(List, L"b");
    Add(List, L"c")->SetChecked(true);
    Form->Show();
    EXPECT_EQ(WindowChecks(List), (std::vector<bool>{true, false, true}));
    List->Items()->Item(0)->SetChecked(false);
    List->Items()->Item(1)->SetChecked(true);
    EXPECT_EQ(WindowChecks(List), (std::vector<bool>{false, true, true}));
    List->RecreateWnd();
    EXPECT_EQ(WindowChecks(List), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(ItemChecks(List), (std::vector<bool>{false, true, true}));
    // An item added to the shown list starts unchecked, or as it was set before it went in.
    Add(List, L"d");
    EXPECT_EQ(WindowChecks(List), (std::vector<bool>{false, true, true, false}));
}

TEST_F(ListViewTest, AClickOnTheBoxAndSpaceOnTheFocusedItemToggleItsMark) {
    List->SetCheckboxes(true);
    List->SetMultiSelect(false);
    Add(List, L"first");
    Add(List, L"second");
    List->SetOnChange(TLVChangeEvent::Of<&TListEvents::Change>(&Events));
    Form->Show();
    PumpPending();
    ClickAt(CheckBoxPoint(List, 1));
    PumpPending();
    EXPECT_EQ(ItemChecks(List), (std::vector<bool>{false, true}));
    EXPECT_NE(std::find(Events.Log.begin(), Events.Log.end(), L"state second checked"), Events.Log.end());
    // Each click on another item than the one before: two on one box in a row are a double click.
    ClickAt(CheckBoxPoint(List, 0));
    PumpPending();
    EXPECT_EQ(ItemChecks(List), (std::vector<bool>{true, true}));
    ClickAt(CheckBoxPoint(List, 1));
    PumpPending();
    EXPECT_EQ(ItemChecks(List), (std::vector<bool>{true, false}));
    // Space toggles the focused item.
    List->Items()->Item(0)->SetSelected(true);
    List->Items()->Item(0)->SetFocused(true);
    List->SetFocus();
    PressKeys({VK_SPACE});
    PumpPending();
    EXPECT_EQ(ItemChecks(List), (std::vector<bool>{false, false}));
}

TEST_F(ListViewTest, AMarkSetFromCodeReachesOnChange) {
    List->SetCheckboxes(true);
    Add(List, L"x");
    Form->Show();
    List->SetOnChange(TLVChangeEvent::Of<&TListEvents::Change>(&Events));
    List->Items()->Item(0)->SetChecked(true);
    EXPECT_EQ(Events.Log, std::vector<std::wstring>{L"state x checked"});
}

TEST_F(ListViewTest, MarksAreKeptWhileTheBoxesAreOffAndShownAgainWithThem) {
    List->SetCheckboxes(true);
    Add(List, L"a");
    Add(List, L"b");
    Form->Show();
    ClickAt(CheckBoxPoint(List, 0));
    PumpPending();
    ASSERT_EQ(ItemChecks(List), (std::vector<bool>{true, false}));
    List->SetCheckboxes(false);
    EXPECT_EQ(ListView_GetExtendedListViewStyle(List->Handle()) & LVS_EX_CHECKBOXES, 0u);
    EXPECT_EQ(ItemChecks(List), (std::vector<bool>{true, false}));
    List->Items()->Item(1)->SetChecked(true);
    List->SetCheckboxes(true);
    EXPECT_EQ(WindowChecks(List), (std::vector<bool>{true, true}));
}

TEST_F(ListViewTest, TheListStyleLaysItemsOutInColumnsAndFindsThemThere) {
    List->SetViewStyle(vsList);
    for (int i = 0; i < 20; ++i) Add(List, L"item " + std::to_wstring(i));
    Form->Show();
    PumpPending();
    EXPECT_EQ(GetWindowLongPtrW(List->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);
    // More items than one column holds: the later ones stand to the right of the first, high up.
    const RECT first = List->Items()->Item(0)->DisplayRect(true);
    const RECT last = List->Items()->Item(19)->DisplayRect(true);
    EXPECT_GT(last.left, first.left);
    EXPECT_LT(last.top, first.top + (List->ClientHeight() / 2));
    ASSERT_LT(last.right, List->ClientWidth());
    EXPECT_EQ(List->GetItemAt((last.left + last.right) / 2, (last.top + last.bottom) / 2), List->Items()->Item(19));
    // Back to a report and to the list again: the items stay.
    List->SetViewStyle(vsReport);
    EXPECT_EQ(GetWindowLongPtrW(List->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    List->SetViewStyle(vsList);
    EXPECT_EQ(ListView_GetItemCount(List->Handle()), 20);
    EXPECT_EQ(WindowText(List, 19, 0), L"item 19");
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
