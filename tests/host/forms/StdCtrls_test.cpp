// Standard controls: check boxes and radio buttons report their clicks (also when set from
// code), list items live in the window, memo lines, label size.
#include "host/forms/StdCtrls.h"

#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {


struct TClicks {
    std::vector<TObject*> Senders;
    void Click(TObject* s) { Senders.push_back(s); }
    TNotifyEvent Event() { return TNotifyEvent::Of<&TClicks::Click>(this); }
};

class StdCtrlsTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(100, 100, 400, 300);
    }
    template <class T> T* Add(int left, int top) {
        T* c = Create<T>(Form.get());
        c->SetLeft(left);
        c->SetTop(top);
        c->SetParent(Form.get());
        return c;
    }
    TOwned<TForm> Form;
};

TEST_F(StdCtrlsTest, CheckBoxReportsClicksFromCodeAndFromTheUser) {
    TClicks clicks;
    TCheckBox* box = Add<TCheckBox>(8, 8);
    box->SetOnClick(clicks.Event());
    Form->Show();
    box->SetChecked(true);
    EXPECT_EQ(clicks.Senders.size(), 1u);
    EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    box->SetChecked(true); // no change, no click
    EXPECT_EQ(clicks.Senders.size(), 1u);
    SendMessageW(box->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks.Senders.size(), 2u);
    box->SetAllowGrayed(true);
    SendMessageW(box->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(box->State(), cbGrayed);
    EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    SendMessageW(box->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(box->State(), cbChecked);
}

TEST_F(StdCtrlsTest, RadioButtonTurnsItsSiblingsOffAndReportsOnlyItsOwnClick) {
    TClicks clicks;
    TRadioButton* a = Add<TRadioButton>(8, 8);
    TRadioButton* b = Add<TRadioButton>(8, 30);
    TGroupBox* group = Add<TGroupBox>(150, 8);
    TRadioButton* c = Create<TRadioButton>(Form.get());
    c->SetParent(group);
    for (TRadioButton* r : {a, b, c}) r->SetOnClick(clicks.Event());
    Form->Show();
    a->SetChecked(true);
    c->SetChecked(true); // another parent: a stays
    SendMessageW(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(c->Checked());
    EXPECT_EQ(SendMessageW(a->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(clicks.Senders, (std::vector<TObject*>{a, c, b}));
}

TEST_F(StdCtrlsTest, ListItemsWaitForTheWindowAndSurviveItsRecreation) {
    TListBox* list = Add<TListBox>(8, 8);
    list->Items()->Add(L"one");
    list->Items()->Add(L"two");
    list->Items()->Add(L"three");
    list->SetItemIndex(2);
    EXPECT_FALSE(list->HandleAllocated());
    Form->Show();
    EXPECT_EQ(SendMessageW(list->Handle(), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(list->ItemIndex(), 2);
    list->Items()->Put(1, L"TWO");
    EXPECT_EQ(list->ItemIndex(), 2);
    HWND before = list->Handle();
    list->SetStyle(lbOwnerDrawFixed); // a new window
    EXPECT_NE(list->Handle(), before);
    EXPECT_EQ(list->Items()->ToVector(), (std::vector<std::wstring>{L"one", L"TWO", L"three"}));
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_THROW(list->Items()->Get(7), EListError);
}

TEST_F(StdCtrlsTest, ComboItemsAndSelectionChange) {
    TClicks changes;
    TComboBox* combo = Add<TComboBox>(8, 8);
    combo->SetStyle(csDropDownList);
    combo->Items()->AddStrings(std::vector<std::wstring>{L"alpha", L"beta"});
    combo->SetOnChange(changes.Event());
    Form->Show();
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 2);
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->GetText(), L"beta");
    EXPECT_TRUE(changes.Senders.empty()); // CB_SETCURSEL from code notifies nothing
}

TEST_F(StdCtrlsTest, MemoLinesAreTheTextsLines) {
    TMemo* memo = Add<TMemo>(8, 8);
    memo->Lines()->Add(L"first");
    memo->Lines()->Add(L"second");
    EXPECT_EQ(memo->GetText(), L"first\r\nsecond");
    Form->Show();
    memo->Lines()->Insert(1, L"middle");
    EXPECT_EQ(memo->Lines()->Count(), 3);
    EXPECT_EQ(memo->Lines()->Get(1), L"middle");
    wchar_t text[64] = {};
    GetWindowTextW(memo->Handle(), text, 64);
    EXPECT_STREQ(text, L"first\r\nmiddle\r\nsecond");
}

TEST_F(StdCtrlsTest, MemoLinesInsideAnUpdateBracketReachTheWindowOnceAtItsEnd) {
    TMemo* memo = Add<TMemo>(8, 8);
    memo->SetScrollBars(scBoth);
    memo->Lines()->Add(L"old");
    Form->Show();
    TClicks changes;
    memo->SetOnChange(changes.Event());
    memo->Lines()->BeginUpdate();
    memo->Lines()->Clear();
    for (const wchar_t* line : {L"one", L"two", L"three"}) memo->Lines()->Add(line);
    memo->Lines()->Delete(1);
    memo->Lines()->Put(0, L"first");
    // The lines are there for the code that fills them, the window still shows the old text.
    EXPECT_EQ(memo->Lines()->Count(), 2);
    EXPECT_EQ(memo->Lines()->Get(1), L"three");
    wchar_t text[64] = {};
    GetWindowTextW(memo->Handle(), text, 64);
    EXPECT_STREQ(text, L"old");
    EXPECT_TRUE(changes.Senders.empty());
    memo->Lines()->EndUpdate();
    GetWindowTextW(memo->Handle(), text, 64);
    EXPECT_STREQ(text, L"first\r\nthree");
    EXPECT_EQ(changes.Senders.size(), 1u); // one change for the whole bracket
    const LONG_PTR style = GetWindowLongPtrW(memo->Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
}

TEST_F(StdCtrlsTest, AltAndALabelsAcceleratorFocusItsFocusControl) {
    TEdit* start = Add<TEdit>(100, 8);
    TLabel* label = Add<TLabel>(8, 40);
    label->SetCaption(L"Na&me && more");
    TEdit* target = Add<TEdit>(100, 100);
    // The window after the label is another control: only FocusControl says where to go.
    TEdit* next = Add<TEdit>(100, 40);
    label->SetFocusControl(target);
    Form->Show();
    start->SetFocus();
    PumpPending();
    ASSERT_TRUE(PressKey('M', {VK_MENU}));
    EXPECT_TRUE(PumpUntil([&] { return target->Focused(); }));
    EXPECT_FALSE(next->Focused());
    // Without its control the label no longer takes the key; a freed control unlinks itself.
    Free(target);
    EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST_F(StdCtrlsTest, LabelTakesTheSizeOfItsText) {
    TLabel* label = Add<TLabel>(8, 8);
    label->SetCaption(L"x");
    int narrow = label->Width();
    label->SetCaption(L"a much longer caption");
    EXPECT_GT(label->Width(), narrow);
    EXPECT_GT(label->Height(), 0);
    // Word wrap keeps the width and grows the label downwards.
    const int oneLine = label->Height();
    label->SetWidth(60);
    label->SetWordWrap(true);
    EXPECT_EQ(label->Width(), 60);
    EXPECT_GT(label->Height(), oneLine);
}

} // namespace
