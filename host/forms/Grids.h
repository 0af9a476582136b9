// Grids: a custom grid of rows and columns, with fixed rows and columns at the top and left,
// drawn cell by cell by DrawCell; selection by cell or by row, scrolling, keys and mouse.
//
// Selected cells show highlighted whether or not the grid has the focus: the selection also says
// which row the rest of a form is showing.
//
// There is no in-place editor. A selection that lies outside the cells (a row past the last)
// shows no selected cell and is never read as a cell: Row and Col then answer -1.
//
// With goColSizing a column's width follows the mouse when its right border in the fixed rows
// is dragged (the pointer shows the sizing cursor within 2 pixels of a border there).
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

#include <vector>

namespace tamrel {

TAMREL_ENUM(TGridOption, goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goDrawFocusSelected,
            goRowSizing, goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect, goAlwaysShowEditor,
            goThumbTracking);
using TGridOptions = TSet<TGridOption>;
TAMREL_ENUM(TGridDrawStateFlag, gdSelected, gdFocused, gdFixed);
using TGridDrawState = TSet<TGridDrawStateFlag>;

// Columns Left..Right and rows Top..Bottom, inclusive.
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

using TDrawCellEvent = TMethod<void(TObject* Sender, int ACol, int ARow, RECT Rect, TGridDrawState State)>;
using TSelectCellEvent = TMethod<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

inline constexpr TGridOptions kDefaultGridOptions = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine,
                                                     goRangeSelect};

class TAMREL_API TCustomGrid : public TCustomControl {
    TAMREL_CLASS(TCustomGrid, TCustomControl)
public:
    explicit TCustomGrid(TComponent* owner);

    int32_t ColCount() const { return static_cast<int32_t>(FColWidths.size()); }
    void SetColCount(int32_t value);
    int32_t RowCount() const { return FRowCount; }
    void SetRowCount(int32_t value);
    int32_t FixedCols() const { return FFixedCols; }
    void SetFixedCols(int32_t value);
    int32_t FixedRows() const { return FFixedRows; }
    void SetFixedRows(int32_t value);
    int32_t DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int32_t value);
    int32_t DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int32_t value);
    int32_t ColWidths(int index) const;
    void SetColWidths(int index, int32_t value);
    TGridOptions Options() const { return FOptions; }
    virtual void SetOptions(TGridOptions value);

    TGridRect Selection() const { return FSelection; }
    void SetSelection(const TGridRect& value);
    // The selected cell; -1 when the selection lies outside the cells.
    int32_t Row() const;
    int32_t Col() const;
    // Selects the cell (SelectCell may refuse) and scrolls it into view.
    void MoveTo(int32_t col, int32_t row);
    // The first scrollable row shown.
    int32_t TopRow() const { return FTopRow; }
    void SetTopRow(int32_t value);
    // Scrollable rows that fit the client area.
    int32_t VisibleRowCount();
    // A cell's rectangle in client coordinates; empty when the cell is not shown.
    RECT CellRect(int32_t col, int32_t row);
    // The cell under a client point; false when there is none.
    bool MouseToCell(int x, int y, int32_t& col, int32_t& row);

    TDrawCellEvent OnDrawCell() const { return FOnDrawCell; }
    void SetOnDrawCell(TDrawCellEvent e) { FOnDrawCell = e; }
    TSelectCellEvent OnSelectCell() const { return FOnSelectCell; }
    void SetOnSelectCell(TSelectCellEvent e) { FOnSelectCell = e; }
    TNotifyEvent OnTopLeftChanged() const { return FOnTopLeftChanged; }
    void SetOnTopLeftChanged(TNotifyEvent e) { FOnTopLeftChanged = e; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void Paint() override;
    // Draws one cell; the background is filled already (fixed, selected or plain) and the canvas
    // carries the colours of that state. Here: OnDrawCell.
    virtual void DrawCell(int32_t ACol, int32_t ARow, RECT ARect, TGridDrawState AState);
    // Whether the cell may become the selected one: OnSelectCell's answer.
    virtual bool SelectCell(int32_t ACol, int32_t ARow);
    virtual void TopLeftChanged();
    // Runs after MoveTo or SetSelection made another cell the selected one.
    virtual void SelectionMoved() {}
    // Runs after a column's width changed (ColWidths, DefaultColWidth, ColCount, sizing).
    virtual void ColWidthsChanged() {}
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(WORD& key, TShiftState shift) override;
    void Resize() override;
    void WMGetDlgCode(TMessage& m);
    void WMVScroll(TMessage& m);
    void CMFocusChange(TMessage& m);
    void WMSetCursor(TMessage& m);
    void WMCaptureChanged(TMessage& m);

private:
    int32_t RowHeight() const { return FDefaultRowHeight; }
    int32_t ScrollableRows() const { return std::max(0, FRowCount - FFixedRows); }
    void UpdateScrollBar();
    void ClampTopRow();
    // With goColSizing: the column whose right border in the fixed rows lies within 2 pixels of
    // the point; -1 when none.
    int32_t SizingColumnAt(int x, int y);

    std::vector<int32_t> FColWidths;
    int32_t FRowCount = 5;
    int32_t FFixedCols = 1;
    int32_t FFixedRows = 1;
    int32_t FDefaultColWidth = 64;
    int32_t FDefaultRowHeight = 24;
    TGridOptions FOptions = kDefaultGridOptions;
    TGridRect FSelection{1, 1, 1, 1};
    int32_t FTopRow = 1;
    int32_t FSizingCol = -1;   // the column being sized, -1 while none is
    int32_t FSizingOrigin = 0; // where the column starts, as the mouse sees it
    TDrawCellEvent FOnDrawCell;
    TSelectCellEvent FOnSelectCell;
    TNotifyEvent FOnTopLeftChanged;
};

class TAMREL_API TDrawGrid : public TCustomGrid {
    TAMREL_CLASS(TDrawGrid, TCustomGrid)
public:
    explicit TDrawGrid(TComponent* owner) : TCustomGrid(owner) {}
};

} // namespace tamrel
