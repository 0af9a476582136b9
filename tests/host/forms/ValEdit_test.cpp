// The key/value grid, driven by real clicks and keys: the lines and titles it shows, the editor
// that follows the selection, edits that reach the lines and end in OnValidate (Enter, another
// row, leaving the grid), values set back from code, Esc, one enter and exit for the grid and its
// editor, and a column sized with the mouse.
#include "host/forms/ValEdit.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// What the grid told, in order.
struct TGridLog {
    std::vector<std::wstring> Events;
    TValueListEditor* Grid = nullptr;
    // The value a validation puts back, when set.
    std::wstring SetBack;
    bool SetsBack = false;
    void Validate(TObject*, int c, int r, const std::wstring& key, const std::wstring& value) {
        Events.push_back(L"validate " + std::to_wstring(c) + L"," + std::to_wstring(r) + L" " + key + L"=" + value);
        if (SetsBack) Grid->SetValues(key, SetBack);
    }
    void SelectCell(TObject*, int c, int r, bool&) {
        Events.push_back(L"select " + std::to_wstring(c) + L"," + std::to_wstring(r));
    }
    void SetEditText(TObject*, int, int r, const std::wstring& v) {
        Events.push_back(L"set " + std::to_wstring(r) + L"=" + v);
    }
    void KeyPress(TObject*, wchar_t& key) {
        if (key == L'\r') Events.push_back(L"enter");
    }
    void Enter(TObject*) { Events.push_back(L"enter grid"); }
    void Exit(TObject*) { Events.push_back(L"exit grid"); }
    // Only the events of one kind.
    std::vector<std::wstring> Only(const std::wstring& prefix) const {
        std::vector<std::wstring> only;
        for (const std::wstring& e : Events)
            if (e.rfind(prefix, 0) == 0) only.push_back(e);
        return only;
    }
};

class ValueListEditorTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(80, 80, 460, 260);
        Other = Create<TEdit>(Form.get());
        Other->SetParent(Form.get());
        Other->SetBounds(8, 200, 120, 22);
        Grid = Create<TValueListEditor>(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(8, 8, 430, 180);
        Grid->TitleCaptions()->Clear();
        Grid->TitleCaptions()->Add(L"ID");
        Grid->TitleCaptions()->Add(L"Name");
        Grid->SetColWidths(0, 75);
        Grid->SetColWidths(1, 300);
        TStringList lines;
        lines.Add(L"$100=Start");
        lines.Add(L"$101=Stop");
        lines.Add(L"$102=Pause");
        Grid->SetStrings(&lines);
        Log.Grid = Grid;
        Grid->SetOnValidate(TOnValidateEvent::Of<&TGridLog::Validate>(&Log));
        Grid->SetOnSelectCell(TSelectCellEvent::Of<&TGridLog::SelectCell>(&Log));
        Grid->SetOnSetEditText(TSetEditEvent::Of<&TGridLog::SetEditText>(&Log));
        Grid->SetOnKeyPress(TKeyPressEvent::Of<&TGridLog::KeyPress>(&Log));
        Grid->SetOnEnter(TNotifyEvent::Of<&TGridLog::Enter>(&Log));
        Grid->SetOnExit(TNotifyEvent::Of<&TGridLog::Exit>(&Log));
        Form->Show();
        PumpPending();
    }
    // A click in the middle of a cell.
    void ClickCell(int col, int row) {
        RECT r = Grid->CellRect(col, row);
        ClickAt(Grid->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
        PumpPending();
    }
    std::wstring EditorText() { return Grid->InplaceEditor()->GetText(); }

    TGridLog Log; // outlives the form and its grid
    TOwned<TForm> Form;
    TEdit* Other = nullptr;
    TValueListEditor* Grid = nullptr;
};

TEST_F(ValueListEditorTest, ShowsTitlesKeysAndValuesAndAnswersValuesByKey) {
    EXPECT_EQ(Grid->RowCount(), 4);
    EXPECT_EQ(Grid->Cells(0, 0), L"ID");
    EXPECT_EQ(Grid->Cells(1, 0), L"Name");
    EXPECT_EQ(Grid->Cells(0, 2), L"$101");
    EXPECT_EQ(Grid->Cells(1, 2), L"Stop");
    EXPECT_EQ(Grid->Keys(3), L"$102");
    EXPECT_EQ(Grid->Values(L"$102"), L"Pause");
    int32_t row = 0;
    EXPECT_TRUE(Grid->FindRow(L"$101", row));
    EXPECT_EQ(row, 2);
    EXPECT_FALSE(Grid->FindRow(L"$1FF", row));
    // An empty value keeps its row; an unknown key gets one.
    Grid->SetValues(L"$101", L"");
    Grid->SetValues(L"$103", L"Resume");
    EXPECT_EQ(Grid->Strings()->ToVector(),
              (std::vector<std::wstring>{L"$100=Start", L"$101=", L"$102=Pause", L"$103=Resume"}));
    EXPECT_EQ(Grid->Cells(1, 4), L"Resume");
    Grid->DeleteRow(1);
    EXPECT_EQ(Grid->RowCount(), 4);
    EXPECT_EQ(Grid->Cells(0, 1), L"$101");
}

TEST_F(ValueListEditorTest, TheEditorShowsWithTheFocusAndFollowsTheSelection) {
    EXPECT_FALSE(Grid->EditorMode()); // not focused yet
    ClickCell(1, 2);
    ASSERT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->Row(), 2);
    EXPECT_EQ(EditorText(), L"Stop");
    PressKeys({VK_DOWN});
    ASSERT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->Row(), 3);
    EXPECT_EQ(EditorText(), L"Pause");
    // A click on a key selects the row's value.
    ClickCell(0, 1);
    EXPECT_EQ(Grid->Row(), 1);
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(EditorText(), L"Start");
    EXPECT_TRUE(Grid->InplaceEditor()->Focused());
}

TEST_F(ValueListEditorTest, TypingReachesTheLinesAndEnterValidatesAndKeepsTheEditorOpen) {
    ClickCell(1, 2);
    Log.Events.clear();
    PressKeys({VK_END});
    TypeText(L"ped");
    EXPECT_EQ(Grid->Values(L"$101"), L"Stopped");
    EXPECT_EQ(Log.Only(L"set"), (std::vector<std::wstring>{L"set 2=Stopp", L"set 2=Stoppe", L"set 2=Stopped"}));
    PressKeys({VK_RETURN});
    EXPECT_TRUE(Grid->EditorMode());
    // The grid validates first, then OnKeyPress sees the key.
    EXPECT_EQ(Log.Only(L"validate").size(), 1u);
    EXPECT_EQ(Log.Events.back(), L"enter");
    EXPECT_EQ(Log.Only(L"validate"), std::vector<std::wstring>{L"validate 1,2 $101=Stopped"});
    // Nothing changed since: another row is selected without a second validation.
    PressKeys({VK_DOWN});
    EXPECT_EQ(Log.Only(L"validate").size(), 1u);
}

TEST_F(ValueListEditorTest, LeavingAnEditedRowValidatesItBeforeTheNewRowIsSelected) {
    ClickCell(1, 1);
    Log.Events.clear();
    TypeText(L"Go");
    ClickCell(1, 3);
    const std::vector<std::wstring> order = {Log.Only(L"validate").at(0), Log.Only(L"select").at(0)};
    EXPECT_EQ(order, (std::vector<std::wstring>{L"validate 1,1 $100=StartGo", L"select 1,3"}));
    EXPECT_LT(std::find(Log.Events.begin(), Log.Events.end(), order[0]),
              std::find(Log.Events.begin(), Log.Events.end(), order[1]));
    EXPECT_EQ(EditorText(), L"Pause");
}

TEST_F(ValueListEditorTest, AValueSetBackByTheValidationShowsInTheGridAndItsEditor) {
    Log.SetsBack = true;
    Log.SetBack = L"Start";
    ClickCell(1, 1);
    TypeText(L"9 bad");
    PressKeys({VK_RETURN});
    EXPECT_EQ(Grid->Values(L"$100"), L"Start");
    EXPECT_EQ(Grid->Cells(1, 1), L"Start");
    EXPECT_EQ(EditorText(), L"Start");
    // The value shown is the program's again: moving on validates nothing more.
    Log.Events.clear();
    PressKeys({VK_DOWN});
    EXPECT_TRUE(Log.Only(L"validate").empty());
}

TEST_F(ValueListEditorTest, LeavingTheGridValidatesOnceTheFocusHasSettledAndIsOneExit) {
    Other->SetFocus();
    PumpPending();
    Log.Events.clear();
    ClickCell(1, 2);
    TypeText(L"X");
    Other->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return !Log.Only(L"validate").empty(); }));
    EXPECT_TRUE(Other->Focused());
    // The grid and its editor entered and left once, although the focus went grid, editor, edit.
    EXPECT_EQ(Log.Only(L"enter grid").size(), 1u);
    EXPECT_EQ(Log.Only(L"exit grid").size(), 1u);
    EXPECT_EQ(Log.Only(L"validate"), std::vector<std::wstring>{L"validate 1,2 $101=StopX"});
}

TEST_F(ValueListEditorTest, EscPutsTheValueBackAndTheEditorStaysOpen) {
    ClickCell(1, 3);
    PressKeys({VK_END});
    TypeText(L"d");
    PressKeys({VK_ESCAPE});
    EXPECT_TRUE(Grid->EditorMode());
    EXPECT_EQ(EditorText(), L"Pause");
    EXPECT_EQ(Grid->Values(L"$102"), L"Pause");
}

TEST_F(ValueListEditorTest, AValueSetFromCodeShowsInTheOpenEditorWithoutOnSetEditText) {
    ClickCell(1, 2);
    Log.Events.clear();
    Grid->SetValues(L"$101", L"Halt");
    EXPECT_EQ(EditorText(), L"Halt");
    EXPECT_TRUE(Log.Only(L"set").empty());
}

TEST_F(ValueListEditorTest, AnEmptyListShowsOneRowThatIsNotEdited) {
    Grid->Strings()->Clear();
    EXPECT_EQ(Grid->RowCount(), 2);
    ClickCell(1, 1);
    EXPECT_FALSE(Grid->EditorMode());
    TypeText(L"a");
    EXPECT_EQ(Grid->Strings()->Count(), 0);
}

TEST_F(ValueListEditorTest, DraggingATitleBorderSizesTheColumnAndTheEditorFollows) {
    ClickCell(1, 1);
    const RECT title = Grid->CellRect(0, 0);
    const POINT from = Grid->ClientToScreen(POINT{title.right - 1, (title.top + title.bottom) / 2});
    DragWithMouse(from, POINT{from.x + 40, from.y});
    PumpPending();
    EXPECT_NEAR(Grid->ColWidths(0), 115, 2);
    EXPECT_EQ(Grid->Row(), 1); // a sizing drag selects nothing
    const RECT cell = Grid->CellRect(1, 1);
    EXPECT_NEAR(Grid->InplaceEditor()->Left(), cell.left + 1, 1);
}

// With the focus elsewhere (the memo that shows the selected message, say), the grid still shows
// which row is the current one: its value cell, editor and all, is drawn selected, the other rows
// are not; back in the grid, the editor has its own colours again.
TEST_F(ValueListEditorTest, TheCurrentRowShowsSelectedWithoutTheFocus) {
    ClickCell(1, 2);
    Other->SetFocus();
    PumpPending();
    std::unique_ptr<TBitmap> capture = CaptureControl(Grid);
    SaveCapture(*capture, L"ValueListEditorUnfocused");
    // Strips along the top of each value cell's right half, clear of the text and of the caret:
    // the cell's own first line (the editor lies one pixel inside the cell), and the editor's.
    auto stripIs = [&](int row, int below, COLORREF colour) {
        const RECT r = Grid->CellRect(1, row);
        for (int x = (r.left + r.right) / 2; x < r.right - 2; ++x)
            if (PixelOf(*capture, x, r.top + below) != colour) return false;
        return true;
    };
    for (int below : {0, 1}) {
        EXPECT_TRUE(stripIs(2, below, ColorToRGB(clHighlight))) << below;
        EXPECT_TRUE(stripIs(1, below, ColorToRGB(Grid->Color()))) << below;
        EXPECT_TRUE(stripIs(3, below, ColorToRGB(Grid->Color()))) << below;
    }
    ClickCell(1, 2);
    capture = CaptureControl(Grid);
    EXPECT_TRUE(stripIs(2, 1, ColorToRGB(Grid->InplaceEditor()->Color())));
}

} // namespace
