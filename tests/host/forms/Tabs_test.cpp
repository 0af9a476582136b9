// The tab set: tabs along the bottom, a real click and an assignment from code both reported by
// OnChange (once each), the list's changes shown in the row, and the display area that the
// aligned controls fill above the tabs.
#include "host/forms/Tabs.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TChanges {
    std::vector<int32_t> Indexes; // TabIndex as each OnChange saw it
    TTabSet* Tabs = nullptr;
    void Change(TObject*) { Indexes.push_back(Tabs->TabIndex()); }
};

class TabSetTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(90, 90, 400, 240);
        Tabs = Create<TTabSet>(Form.get());
        Tabs->SetParent(Form.get());
        Tabs->SetBounds(8, 8, 370, 190);
        Memo = Create<TMemo>(Form.get());
        Memo->SetParent(Tabs);
        Memo->SetAlign(alClient);
        Tabs->Tabs()->AddObject(L"Comment", nullptr);
        Tabs->Tabs()->AddObject(L"English", reinterpret_cast<TObject*>(uintptr_t{1033}));
        Tabs->Tabs()->AddObject(L"German", reinterpret_cast<TObject*>(uintptr_t{1031}));
        Changes.Tabs = Tabs;
        Tabs->SetOnChange(TNotifyEvent::Of<&TChanges::Change>(&Changes));
        Form->Show();
        PumpPending();
    }
    int RowCount() { return static_cast<int>(SendMessageW(Tabs->Handle(), TCM_GETITEMCOUNT, 0, 0)); }

    TChanges Changes; // outlives the form
    TOwned<TForm> Form;
    TTabSet* Tabs = nullptr;
    TMemo* Memo = nullptr;
};

TEST_F(TabSetTest, AClickOnATabSelectsItAndReportsTheChangeOnce) {
    ASSERT_EQ(RowCount(), 3);
    const RECT tab = Tabs->TabRect(2);
    ASSERT_GT(RectWidth(tab), 0);
    ClickAt(Tabs->ClientToScreen(POINT{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2}));
    PumpPending();
    EXPECT_EQ(Tabs->TabIndex(), 2);
    EXPECT_EQ(Changes.Indexes, std::vector<int32_t>{2});
    EXPECT_EQ(reinterpret_cast<uintptr_t>(Tabs->Tabs()->Objects(Tabs->TabIndex())), 1031u);
}

TEST_F(TabSetTest, AnIndexSetFromCodeIsReportedAndShownAndTheSameIndexIsNot) {
    Tabs->SetTabIndex(1);
    Tabs->SetTabIndex(1);
    EXPECT_EQ(Changes.Indexes, std::vector<int32_t>{1});
    EXPECT_EQ(SendMessageW(Tabs->Handle(), TCM_GETCURSEL, 0, 0), 1);
    Tabs->SetTabIndex(7); // no such tab: none
    EXPECT_EQ(Tabs->TabIndex(), -1);
    EXPECT_EQ(Changes.Indexes, (std::vector<int32_t>{1, -1}));
}

TEST_F(TabSetTest, TheRowFollowsTheListAndAShorterListBringsTheIndexBackSilently) {
    Tabs->SetTabIndex(2);
    Changes.Indexes.clear();
    Tabs->Tabs()->Delete(2);
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Tabs->TabIndex(), 1);
    Tabs->Tabs()->Clear();
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(Tabs->TabIndex(), -1);
    EXPECT_TRUE(Changes.Indexes.empty());
}

TEST_F(TabSetTest, AnAlignedControlFillsTheAreaAboveTheTabs) {
    const RECT display = Tabs->DisplayRect();
    const RECT tab = Tabs->TabRect(0);
    EXPECT_LE(display.bottom, tab.top);
    EXPECT_EQ(Memo->Top(), display.top);
    EXPECT_EQ(Memo->Height(), RectHeight(display));
    EXPECT_EQ(Memo->Width(), RectWidth(display));
}

} // namespace
