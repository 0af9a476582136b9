// The string grid: cells drawn by the grid or left to OnDrawCell, and editing in place driven by
// real keys (F2, typing, Enter, Esc, arrows) with editing switched per column from OnSelectCell.
#include "host/forms/StringGrid.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TGridEvents {
    std::vector<std::wstring> Sets; // "col,row=value"
    std::vector<std::pair<int, int>> Drawn;
    TStringGrid* Grid = nullptr;
    void SetEditText(TObject*, int c, int r, const std::wstring& v) {
        Sets.push_back(std::to_wstring(c) + L"," + std::to_wstring(r) + L"=" + v);
    }
    void DrawCell(TObject*, int c, int r, RECT, TGridDrawState) { Drawn.emplace_back(c, r); }
    // Editing only in column 2, as the bit grids have it.
    void SelectCell(TObject*, int c, int, bool&) {
        TGridOptions o = Grid->Options();
        if (c == 2) o.Include(goEditing);
        else o.Exclude(goEditing);
        Grid->SetOptions(o);
    }
};

class StringGridTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(60, 60, 420, 260);
        Grid = Create<TStringGrid>(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(8, 8, 390, 200);
        Grid->SetColCount(3);
        Grid->SetRowCount(6);
        Grid->SetFixedCols(0);
        Grid->SetDefaultColWidth(120);
        Events.Grid = Grid;
        Grid->SetOnSetEditText(TSetEditEvent::Of<&TGridEvents::SetEditText>(&Events));
        Grid->SetOnSelectCell(TSelectCellEvent::Of<&TGridEvents::SelectCell>(&Events));
        for (int r = 1; r < 6; ++r) Grid->SetCells(2, r, L"name" + std::to_wstring(r));
    }
    void ShowAt(int col, int row) {
        Form->Show();
        Grid->SetFocus();
        Grid->MoveTo(col, row);
        PumpPending();
    }
    TGridEvents Events; // outlives the form and its grid
    TOwned<TForm> Form;
    TStringGrid* Grid = nullptr;
};

// Whether a cell's rectangle holds a pixel of the text colour.
bool ShowsText(TStringGrid* grid, int col, int row) {
    grid->Repaint();
    std::unique_ptr<TBitmap> capture = CaptureControl(grid, false);
    RECT r = grid->CellRect(col, row);
    for (int y = r.top + 1; y < r.bottom - 1; ++y)
        for (int x = r.left + 1; x < r.right - 1; ++x)
            if (PixelOf(*capture, x, y) == 0) return true;
    return false;
}

TEST_F(StringGridTest, TheGridDrawsTheTextOnlyWithDefaultDrawingAndOnDrawCellStillRuns) {
    Grid->SetCells(1, 2, L"WWWW");
    Grid->SetOnDrawCell(TDrawCellEvent::Of<&TGridEvents::DrawCell>(&Events));
    Form->Show();
    EXPECT_TRUE(ShowsText(Grid, 1, 2));
    EXPECT_FALSE(ShowsText(Grid, 1, 3)); // an empty cell
    EXPECT_NE(std::find(Events.Drawn.begin(), Events.Drawn.end(), std::make_pair(1, 2)), Events.Drawn.end());
    Grid->SetDefaultDrawing(false);
    Events.Drawn.clear();
    EXPECT_FALSE(ShowsText(Grid, 1, 2));
    EXPECT_NE(std::find(Events.Drawn.begin(), Events.Drawn.end(), std::make_pair(1, 2)), Events.Drawn.end());
}

TEST_F(StringGridTest, F2EditsTheCellAndEachTypedChangeReachesOnSetEditText) {
    ShowAt(2, 1);
    PressKeys({VK_F2});
    ASSERT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->InplaceEditor()->GetText(), L"name1");
    TypeText(L"xy");
    PressKeys({VK_RETURN});
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Grid->Cells(2, 1), L"name1xy");
    EXPECT_EQ(Events.Sets, (std::vector<std::wstring>{L"2,1=name1x", L"2,1=name1xy"}));
    EXPECT_TRUE(Grid->Focused());
}

TEST_F(StringGridTest, EscPutsTheTextBackThroughOnSetEditText) {
    ShowAt(2, 3);
    PressKeys({VK_F2});
    TypeText(L"q");
    PressKeys({VK_ESCAPE});
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Grid->Cells(2, 3), L"name3");
    EXPECT_EQ(Events.Sets, (std::vector<std::wstring>{L"2,3=name3q", L"2,3=name3"}));
}

TEST_F(StringGridTest, ATypedCharacterReplacesTheTextAndAnArrowClosesTheEditorAndMoves) {
    ShowAt(2, 2);
    TypeText(L"Z");
    ASSERT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->Cells(2, 2), L"Z");
    PressKeys({VK_DOWN});
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Grid->Row(), 3);
    EXPECT_EQ(Grid->Cells(2, 2), L"Z");
}

TEST_F(StringGridTest, ColumnsWithoutEditingIgnoreF2AndTyping) {
    ShowAt(1, 2);
    PressKeys({VK_F2});
    TypeText(L"a");
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_TRUE(Events.Sets.empty());
    // Moving to the name column switches editing on.
    PressKeys({VK_RIGHT, VK_F2});
    EXPECT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->Col(), 2);
}

TEST_F(StringGridTest, EnterBelongsToTheGridWhileItCanEditOrHandlesKeys) {
    Form->Show();
    MSG enter = {Grid->Handle(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    auto wantsEnter = [&] {
        return (SendMessageW(Grid->Handle(), WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                DLGC_WANTMESSAGE) != 0;
    };
    EXPECT_FALSE(wantsEnter());
    Grid->SetOptions(Grid->Options() + TGridOptions{goEditing});
    EXPECT_TRUE(wantsEnter());
    Grid->SetOptions(Grid->Options() - TGridOptions{goEditing});
    struct TKeys {
        void Down(TObject*, WORD&, TShiftState) {}
    } keys;
    Grid->SetOnKeyDown(TKeyEvent::Of<&TKeys::Down>(&keys));
    EXPECT_TRUE(wantsEnter());
}

// The vertical scroll bar says how much of the grid shows: its range is the scrollable rows and its
// page the rows that fit, from the moment the window is made; with everything shown it is
// disabled or gone.
TEST_F(StringGridTest, TheScrollBarTellsTheRowsShownFromTheStart) {
    auto scrollOf = [](TStringGrid* grid) {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        EXPECT_TRUE(GetScrollInfo(grid->Handle(), SB_VERT, &si));
        return si;
    };
    Form->SetBounds(60, 60, 640, 400);
    Grid->SetDefaultRowHeight(16);
    Grid->SetRowCount(32);
    Grid->SetClientHeight(19 * 16); // the title row and 18 rows
    TStringGrid* few = Create<TStringGrid>(Form.get());
    few->SetParent(Form.get());
    few->SetBounds(410, 8, 200, 200);
    few->SetRowCount(3);
    Form->Show();
    PumpPending();
    ASSERT_EQ(Grid->VisibleRowCount(), 18);
    SCROLLINFO many = scrollOf(Grid);
    EXPECT_EQ(many.nMax - many.nMin + 1, 31);
    EXPECT_EQ(many.nPage, 18u);
    EXPECT_EQ(many.nPos, 0);
    SCROLLINFO fits = scrollOf(few);
    EXPECT_EQ(fits.nMax - fits.nMin + 1, 2);
    EXPECT_GE(fits.nPage, 2u);
    SCROLLBARINFO bar = {};
    bar.cbSize = sizeof bar;
    ASSERT_TRUE(GetScrollBarInfo(few->Handle(), OBJID_VSCROLL, &bar));
    EXPECT_NE(bar.rgstate[0] & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE), 0u);
}

} // namespace
