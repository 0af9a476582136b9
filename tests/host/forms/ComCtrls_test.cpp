// The page control: tabs only for sheets that show theirs, the active page the one sheet shown,
// a real click on a tab and the arrow keys on the strip, and sheets that leave or move.
#include "host/forms/ComCtrls.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TChanges {
    int Count = 0;
    void Changed(TObject*) { ++Count; }
};

class PageControlTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(100, 100, 420, 320);
        Pages = Create<TPageControl>(Form.get());
        Pages->SetBounds(8, 8, 380, 260);
        Pages->SetParent(Form.get());
        Pages->SetOnChange(TNotifyEvent::Of<&TChanges::Changed>(&Changes));
        for (const wchar_t* caption : {L"&First", L"&Second", L"&Third"}) {
            TTabSheet* sheet = Create<TTabSheet>(Form.get());
            sheet->SetCaption(caption);
            sheet->SetPageControl(Pages);
            auto* edit = Create<TEdit>(Form.get());
            edit->SetBounds(8, 8, 120, 21);
            edit->SetParent(sheet);
            Sheets.push_back(sheet);
            Edits.push_back(edit);
        }
    }
    std::vector<std::wstring> TabTexts() {
        std::vector<std::wstring> texts;
        const int n = static_cast<int>(SendMessageW(Pages->Handle(), TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t text[64] = {};
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            SendMessageW(Pages->Handle(), TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            texts.push_back(text);
        }
        return texts;
    }
    int SelectedTab() { return static_cast<int>(SendMessageW(Pages->Handle(), TCM_GETCURSEL, 0, 0)); }
    std::vector<bool> ShownSheets() {
        std::vector<bool> shown;
        for (TTabSheet* s : Sheets) shown.push_back(IsWindowVisible(s->Handle()) != 0);
        return shown;
    }
    POINT TabCentre(int tab) {
        RECT r = {};
        SendMessageW(Pages->Handle(), TCM_GETITEMRECT, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&r));
        return Pages->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }

    TOwned<TForm> Form;
    TPageControl* Pages = nullptr;
    std::vector<TTabSheet*> Sheets;
    std::vector<TEdit*> Edits;
    TChanges Changes;
};

TEST_F(PageControlTest, OnlySheetsThatShowTheirTabHaveOneAndTheActivePageAloneShows) {
    EXPECT_EQ(Pages->ActivePage(), Sheets[0]); // the first page shows as soon as there is one
    Sheets[1]->SetTabVisible(false);
    Form->Show();
    EXPECT_EQ(TabTexts(), (std::vector<std::wstring>{L"&First", L"&Third"}));
    EXPECT_EQ(Pages->SheetOfTab(1), Sheets[2]);
    EXPECT_EQ(Pages->SheetOfTab(2), nullptr);
    EXPECT_EQ((std::vector<int>{Sheets[0]->TabIndex(), Sheets[1]->TabIndex(), Sheets[2]->TabIndex()}),
              (std::vector<int>{0, -1, 1}));
    EXPECT_EQ(ShownSheets(), (std::vector<bool>{true, false, false}));

    Pages->SetActivePage(Sheets[2]);
    EXPECT_EQ(SelectedTab(), 1);
    EXPECT_EQ(ShownSheets(), (std::vector<bool>{false, false, true}));
    // A sheet without a tab may still be the active page: no tab is selected then.
    Pages->SetActivePage(Sheets[1]);
    EXPECT_EQ(SelectedTab(), -1);
    EXPECT_EQ(ShownSheets(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Pages->ActivePageIndex(), 1);
    // Its tab back: selected, since its sheet is the active page.
    Sheets[1]->SetTabVisible(true);
    EXPECT_EQ(SelectedTab(), 1);
    Sheets[1]->SetCaption(L"Renamed");
    EXPECT_EQ(TabTexts()[1], L"Renamed");
    EXPECT_EQ(Changes.Count, 0); // changes from code are not reported

    // The sheet fills the display area below the tabs.
    RECT display = Pages->DisplayRect();
    EXPECT_EQ(Sheets[1]->Left(), display.left);
    EXPECT_EQ(Sheets[1]->Top(), display.top);
    EXPECT_EQ(Sheets[1]->Width(), RectWidth(display));
    EXPECT_GT(display.top, 10);
    SaveCapture(*CaptureControl(Form.get(), true), L"PageControl");
}

TEST_F(PageControlTest, ARealClickOnATabAndTheArrowKeysChangeThePageAndReportIt) {
    Form->Show();
    PumpPending();
    ASSERT_TRUE(ClickScreen(TabCentre(2)));
    ASSERT_TRUE(PumpUntil([&] { return Pages->ActivePage() == Sheets[2]; }));
    EXPECT_EQ(Changes.Count, 1);
    EXPECT_EQ(ShownSheets(), (std::vector<bool>{false, false, true}));
    // The strip has the focus after the click: Left moves one tab back.
    Pages->SetFocus();
    ASSERT_TRUE(PressKey(VK_LEFT));
    ASSERT_TRUE(PumpUntil([&] { return Pages->ActivePage() == Sheets[1]; }));
    EXPECT_EQ(Changes.Count, 2);
    // Tab walks into the shown sheet's control only.
    ASSERT_TRUE(PressKey(VK_TAB));
    EXPECT_TRUE(PumpUntil([&] { return Edits[1]->Focused(); }));
}

TEST_F(PageControlTest, FocusOnAPageThatGoesOutOfSightMovesToTheStrip) {
    Form->Show();
    Edits[0]->SetFocus();
    Pages->SetActivePage(Sheets[1]);
    EXPECT_TRUE(Pages->Focused());
}

TEST_F(PageControlTest, SheetsThatLeaveOrMoveKeepTheTabsInPageOrder) {
    Form->Show();
    Pages->SetActivePage(Sheets[1]);
    Sheets[2]->SetPageIndex(0);
    EXPECT_EQ(TabTexts(), (std::vector<std::wstring>{L"&Third", L"&First", L"&Second"}));
    EXPECT_EQ(Sheets[1]->PageIndex(), 2);
    EXPECT_EQ(SelectedTab(), 2);
    // The active page freed: the one that takes its place, else the one before it.
    Free(Sheets[1]);
    EXPECT_EQ(Pages->ActivePage(), Sheets[0]);
    EXPECT_TRUE(IsWindowVisible(Sheets[0]->Handle()));
    EXPECT_EQ(TabTexts(), (std::vector<std::wstring>{L"&Third", L"&First"}));
    Sheets[0]->SetPageControl(nullptr);
    EXPECT_EQ(Pages->PageCount(), 1);
    EXPECT_EQ(Pages->ActivePage(), Sheets[2]);
    EXPECT_EQ(Sheets[0]->Parent(), nullptr);
    EXPECT_THROW(Pages->SetActivePage(Sheets[0]), EInvalidOperation);
    EXPECT_THROW(Pages->Pages(1), EListError);
    EXPECT_THROW(Sheets[0]->SetParentComponent(Form.get()), EInvalidOperation);
    Free(Sheets[0]);
    // Freeing the page control takes its sheets with it.
    Free(Pages);
    EXPECT_EQ(Form->ControlCount(), 0);
}

} // namespace
