// Clicks and keys on the editor's frames as a person gives them (real input through the system's
// queue, the thread's messages handled afterwards): shared by the tests of each frame and by the
// tests that drive the frames together through the add-in.
#pragma once

#include "host/forms/Controls.h"
#include "host/forms/StdCtrls.h"
#include "host/forms/Grids.h"
#include "host/forms/Tabs.h"

#include <string>

namespace tamrel::test {

// A click at a point of the control's client area (the control must be windowed).
void ClickControl(TControl* control, POINT at);
// A click in the middle of the control.
void ClickCentre(TControl* control);
// A click in the middle of a cell of the grid.
void ClickCell(TCustomGrid* grid, int col, int row);
// A click on a tab of the tab set (it must be shown).
void ClickTab(TTabSet* tabs, int index);
// The whole text of the focused edit or memo selected and deleted.
void ClearFocusedText();
// The focused single-line edit's text selected, as typing then replaces it.
void SelectFocusedLine();
// The memo clicked, emptied and the text typed.
void RetypeMemo(TMemo* memo, const std::wstring& text);
// The edit focused, its text selected and replaced by typing (an empty text deletes it).
void RetypeEdit(TEdit* edit, const std::wstring& text);

} // namespace tamrel::test
