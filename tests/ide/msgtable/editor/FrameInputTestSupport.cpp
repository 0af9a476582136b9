#include "tests/ide/msgtable/editor/FrameInputTestSupport.h"

#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

namespace tamrel::test {

void ClickControl(TControl* control, POINT at) {
    auto* windowed = dynamic_cast<TWinControl*>(control);
    ASSERT_NE(windowed, nullptr);
    ClickAt(windowed->ClientToScreen(at));
    PumpPending();
}

void ClickCentre(TControl* control) { ClickControl(control, POINT{control->Width() / 2, control->Height() / 2}); }

void ClickCell(TCustomGrid* grid, int col, int row) {
    const RECT r = grid->CellRect(col, row);
    ASSERT_GT(r.right, r.left) << "cell " << col << "," << row << " is not shown";
    ClickControl(grid, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void ClickTab(TTabSet* tabs, int index) {
    const RECT r = tabs->TabRect(index);
    ASSERT_GT(r.right, r.left) << "tab " << index << " is not shown";
    ClickControl(tabs, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void ClearFocusedText() {
    PressKey(VK_HOME, {VK_CONTROL});
    PressKey(VK_END, {VK_CONTROL, VK_SHIFT});
    PressKeys({VK_DELETE});
}

void SelectFocusedLine() {
    PressKeys({VK_END});
    PressKey(VK_HOME, {VK_SHIFT});
    PumpPending();
}

void RetypeMemo(TMemo* memo, const std::wstring& text) {
    ClickControl(memo, POINT{40, 20});
    ClearFocusedText();
    TypeText(text);
    PumpPending();
}

void RetypeEdit(TEdit* edit, const std::wstring& text) {
    edit->SetFocus();
    SelectFocusedLine();
    if (text.empty()) PressKeys({VK_DELETE});
    else TypeText(text);
    PumpPending();
}

} // namespace tamrel::test
