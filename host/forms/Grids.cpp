#include "host/forms/Grids.h"

#include <algorithm>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TCustomGrid) {
    b.Integer(L"ColCount", &TCustomGrid::ColCount, &TCustomGrid::SetColCount, 5);
    b.Integer(L"RowCount", &TCustomGrid::RowCount, &TCustomGrid::SetRowCount, 5);
    b.Integer(L"FixedCols", &TCustomGrid::FixedCols, &TCustomGrid::SetFixedCols, 1);
    b.Integer(L"FixedRows", &TCustomGrid::FixedRows, &TCustomGrid::SetFixedRows, 1);
    b.Integer(L"DefaultColWidth", &TCustomGrid::DefaultColWidth, &TCustomGrid::SetDefaultColWidth, 64);
    b.Integer(L"DefaultRowHeight", &TCustomGrid::DefaultRowHeight, &TCustomGrid::SetDefaultRowHeight, 24);
    b.Set(L"Options", &TCustomGrid::Options, &TCustomGrid::SetOptions, kDefaultGridOptions);
    b.Event(L"OnDrawCell", &TCustomGrid::OnDrawCell, &TCustomGrid::SetOnDrawCell);
    b.Event(L"OnSelectCell", &TCustomGrid::OnSelectCell, &TCustomGrid::SetOnSelectCell);
    b.Event(L"OnTopLeftChanged", &TCustomGrid::OnTopLeftChanged, &TCustomGrid::SetOnTopLeftChanged);
    b.Message<&TCustomGrid::WMGetDlgCode>(WM_GETDLGCODE);
    b.Message<&TCustomGrid::WMVScroll>(WM_VSCROLL);
    b.Message<&TCustomGrid::CMFocusChange>(CM_ENTER);
    b.Message<&TCustomGrid::CMFocusChange>(CM_EXIT);
    b.Message<&TCustomGrid::WMSetCursor>(WM_SETCURSOR);
    b.Message<&TCustomGrid::WMCaptureChanged>(WM_CAPTURECHANGED);
}
TAMREL_IMPLEMENT_CLASS(TDrawGrid) {}

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner), FColWidths(5, 64) {
    FWidth = 320;
    FHeight = 120;
    SetTabStop(true);
}

void TCustomGrid::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_VSCROLL;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomGrid::CreateWnd() {
    TCustomControl::CreateWnd();
    // The system gives a new window's scroll bar a range of its own, which says nothing of the rows.
    ClampTopRow();
    UpdateScrollBar();
}

void TCustomGrid::SetColCount(int32_t value) {
    value = std::max(value, 1);
    FColWidths.resize(static_cast<size_t>(value), FDefaultColWidth);
    FFixedCols = std::min(FFixedCols, value - 1);
    Invalidate();
    ColWidthsChanged();
}

void TCustomGrid::SetRowCount(int32_t value) {
    value = std::max(value, 1);
    if (value == FRowCount) return;
    FRowCount = value;
    FFixedRows = std::min(FFixedRows, value - 1);
    ClampTopRow();
    UpdateScrollBar();
    Invalidate();
}

void TCustomGrid::SetFixedCols(int32_t value) {
    FFixedCols = std::clamp(value, 0, ColCount() - 1);
    Invalidate();
}

void TCustomGrid::SetFixedRows(int32_t value) {
    FFixedRows = std::clamp(value, 0, FRowCount - 1);
    ClampTopRow();
    UpdateScrollBar();
    Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int32_t value) {
    FDefaultColWidth = std::max(value, 0);
    std::fill(FColWidths.begin(), FColWidths.end(), FDefaultColWidth);
    Invalidate();
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int32_t value) {
    FDefaultRowHeight = std::max(value, 1);
    UpdateScrollBar();
    Invalidate();
}

int32_t TCustomGrid::ColWidths(int index) const {
    if (index < 0 || index >= ColCount()) throw EListError(SListIndexError, index);
    return FColWidths[static_cast<size_t>(index)];
}

void TCustomGrid::SetColWidths(int index, int32_t value) {
    if (index < 0 || index >= ColCount()) throw EListError(SListIndexError, index);
    FColWidths[static_cast<size_t>(index)] = std::max(value, 0);
    Invalidate();
    ColWidthsChanged();
}

void TCustomGrid::SetOptions(TGridOptions value) {
    if (value == FOptions) return;
    FOptions = value;
    Invalidate();
}

void TCustomGrid::SetSelection(const TGridRect& value) {
    FSelection = value;
    Invalidate();
    SelectionMoved();
}

int32_t TCustomGrid::Row() const {
    int32_t r = FSelection.Top;
    return r >= FFixedRows && r < FRowCount ? r : -1;
}

int32_t TCustomGrid::Col() const {
    int32_t c = FSelection.Left;
    return c >= FFixedCols && c < ColCount() ? c : -1;
}

int32_t TCustomGrid::VisibleRowCount() {
    int fixed = FFixedRows * RowHeight();
    return std::max(0, (ClientHeight() - fixed) / RowHeight());
}

void TCustomGrid::ClampTopRow() {
    int32_t last = std::max(FFixedRows, FRowCount - std::max(1, HandleAllocated() ? VisibleRowCount() : 1));
    FTopRow = std::clamp(FTopRow, FFixedRows, std::max(FFixedRows, last));
}

void TCustomGrid::SetTopRow(int32_t value) {
    int32_t old = FTopRow;
    FTopRow = value;
    ClampTopRow();
    if (FTopRow == old) return;
    UpdateScrollBar();
    Invalidate();
    TopLeftChanged();
}

void TCustomGrid::TopLeftChanged() {
    if (FOnTopLeftChanged) FOnTopLeftChanged(this);
}

void TCustomGrid::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = std::max(0, ScrollableRows() - 1);
    si.nPage = static_cast<UINT>(std::max(1, VisibleRowCount()));
    si.nPos = FTopRow - FFixedRows;
    SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
}

void TCustomGrid::Resize() {
    TCustomControl::Resize();
    ClampTopRow();
    UpdateScrollBar();
}

RECT TCustomGrid::CellRect(int32_t col, int32_t row) {
    if (col < 0 || col >= ColCount() || row < 0 || row >= FRowCount) return RECT{};
    if (row >= FFixedRows && row < FTopRow) return RECT{};
    int x = 0;
    for (int c = 0; c < col; ++c) x += FColWidths[static_cast<size_t>(c)];
    int y = row < FFixedRows ? row * RowHeight() : (FFixedRows + row - FTopRow) * RowHeight();
    RECT r = {x, y, x + FColWidths[static_cast<size_t>(col)], y + RowHeight()};
    if (HandleAllocated() && r.top >= ClientHeight()) return RECT{};
    return r;
}

bool TCustomGrid::MouseToCell(int x, int y, int32_t& col, int32_t& row) {
    col = row = -1;
    for (int32_t r = 0; r < FRowCount; ++r)
        for (int32_t c = 0; c < ColCount(); ++c) {
            RECT cell = CellRect(c, r);
            POINT p = {x, y};
            if (RectWidth(cell) > 0 && PtInRect(&cell, p)) {
                col = c;
                row = r;
                return true;
            }
        }
    return false;
}

bool TCustomGrid::SelectCell(int32_t ACol, int32_t ARow) {
    bool can = true;
    if (FOnSelectCell) FOnSelectCell(this, ACol, ARow, can);
    return can;
}

void TCustomGrid::MoveTo(int32_t col, int32_t row) {
    col = std::clamp(col, FFixedCols, ColCount() - 1);
    row = std::clamp(row, FFixedRows, FRowCount - 1);
    const TGridRect before = FSelection;
    if (!SelectCell(col, row)) return;
    // SelectCell may have set the selection itself: then it stays.
    if (FSelection == before)
        FSelection = FOptions.Contains(goRowSelect) ? TGridRect{FFixedCols, row, ColCount() - 1, row}
                                                    : TGridRect{col, row, col, row};
    if (row < FTopRow) SetTopRow(row);
    else if (HandleAllocated() && row >= FTopRow + std::max(1, VisibleRowCount()))
        SetTopRow(row - std::max(1, VisibleRowCount()) + 1);
    Invalidate();
    SelectionMoved();
}

void TCustomGrid::Paint() {
    TCanvas* c = Canvas();
    RECT client = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(client);
    const bool focused = Focused();
    for (int32_t row = 0; row < FRowCount; ++row) {
        if (row >= FFixedRows && row < FTopRow) continue;
        for (int32_t col = 0; col < ColCount(); ++col) {
            RECT r = CellRect(col, row);
            if (RectWidth(r) <= 0) continue;
            const bool fixed = row < FFixedRows || col < FFixedCols;
            const bool vert = fixed ? FOptions.Contains(goFixedVertLine) : FOptions.Contains(goVertLine);
            const bool horz = fixed ? FOptions.Contains(goFixedHorzLine) : FOptions.Contains(goHorzLine);
            RECT inner = r;
            if (vert) --inner.right;
            if (horz) --inner.bottom;
            TGridDrawState state;
            if (fixed) state.Include(gdFixed);
            const bool inSelection = row >= FSelection.Top && row <= FSelection.Bottom && Row() >= 0 &&
                                     (FOptions.Contains(goRowSelect) || (col >= FSelection.Left && col <= FSelection.Right));
            if (!fixed && inSelection) state.Include(gdSelected);
            if (!fixed && focused && row == Row() && (col == Col() || FOptions.Contains(goRowSelect)))
                state.Include(gdFocused);
            c->Font()->Assign(Font());
            if (fixed) {
                c->Brush()->SetColor(clBtnFace);
            } else if (state.Contains(gdSelected)) {
                // Also without the focus: the selection is what tells which row the rest of the
                // form is showing.
                c->Brush()->SetColor(clHighlight);
                c->Font()->SetColor(clHighlightText);
            } else {
                c->Brush()->SetColor(Color());
            }
            c->FillRect(inner);
            if (vert || horz) {
                c->Pen()->SetColor(fixed ? clBtnShadow : clSilver);
                if (vert) {
                    c->MoveTo(r.right - 1, r.top);
                    c->LineTo(r.right - 1, r.bottom);
                }
                if (horz) {
                    c->MoveTo(r.left, r.bottom - 1);
                    c->LineTo(r.right, r.bottom - 1);
                }
            }
            DrawCell(col, row, inner, state);
        }
    }
}

void TCustomGrid::DrawCell(int32_t ACol, int32_t ARow, RECT ARect, TGridDrawState AState) {
    if (FOnDrawCell) FOnDrawCell(this, ACol, ARow, ARect, AState);
}

int32_t TCustomGrid::SizingColumnAt(int x, int y) {
    if (!FOptions.Contains(goColSizing) || y < 0 || y >= FFixedRows * RowHeight()) return -1;
    int border = 0;
    for (int32_t c = 0; c < ColCount(); ++c) {
        border += FColWidths[static_cast<size_t>(c)];
        if (x >= border - 2 && x <= border + 2) return c;
    }
    return -1;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && CanFocus() && !Focused()) SetFocus();
    if (button == mbLeft && !shift.Contains(ssDouble)) {
        if (const int32_t c = SizingColumnAt(x, y); c >= 0) {
            FSizingCol = c;
            FSizingOrigin = x - FColWidths[static_cast<size_t>(c)];
            SetCapture(Handle());
            TCustomControl::MouseDown(button, shift, x, y);
            return;
        }
    }
    int32_t col, row;
    if (button == mbLeft && MouseToCell(x, y, col, row) && row >= FFixedRows && col >= FFixedCols) MoveTo(col, row);
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
    // A column keeps a sliver, so that its border can still be taken.
    if (FSizingCol >= 0) SetColWidths(FSizingCol, std::max(x - FSizingOrigin, 3));
    TCustomControl::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && FSizingCol >= 0) {
        FSizingCol = -1;
        if (GetCapture() == Handle()) ReleaseCapture();
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomGrid::WMCaptureChanged(TMessage& m) {
    FSizingCol = -1;
    DefaultHandler(m);
}

void TCustomGrid::WMSetCursor(TMessage& m) {
    POINT p = {};
    GetCursorPos(&p);
    ::ScreenToClient(Handle(), &p);
    if (LOWORD(m.LParam) == HTCLIENT && (FSizingCol >= 0 || SizingColumnAt(p.x, p.y) >= 0)) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        m.Result = TRUE;
        return;
    }
    DefaultHandler(m);
}

void TCustomGrid::KeyDown(WORD& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (!key) return;
    // From a selection outside the cells, the first move lands on the first data row.
    int32_t row = Row() < 0 ? FFixedRows - 1 : Row();
    int32_t col = Col() < 0 ? FFixedCols : Col();
    const int32_t page = std::max(1, HandleAllocated() ? VisibleRowCount() : 1);
    switch (key) {
    case VK_UP: MoveTo(col, row - 1); break;
    case VK_DOWN: MoveTo(col, row + 1); break;
    case VK_PRIOR: MoveTo(col, row - page); break;
    case VK_NEXT: MoveTo(col, row + page); break;
    case VK_HOME: MoveTo(col, FFixedRows); break;
    case VK_END: MoveTo(col, FRowCount - 1); break;
    case VK_LEFT:
        if (!FOptions.Contains(goRowSelect)) MoveTo(col - 1, std::max(row, FFixedRows));
        break;
    case VK_RIGHT:
        if (!FOptions.Contains(goRowSelect)) MoveTo(col + 1, std::max(row, FFixedRows));
        break;
    default: return;
    }
    key = 0;
}

void TCustomGrid::WMGetDlgCode(TMessage& m) {
    m.Result = DLGC_WANTARROWS | (FOptions.Contains(goTabs) ? DLGC_WANTTAB : 0);
}

void TCustomGrid::WMVScroll(TMessage& m) {
    const int32_t page = std::max(1, VisibleRowCount());
    switch (LOWORD(m.WParam)) {
    case SB_LINEUP: SetTopRow(FTopRow - 1); break;
    case SB_LINEDOWN: SetTopRow(FTopRow + 1); break;
    case SB_PAGEUP: SetTopRow(FTopRow - page); break;
    case SB_PAGEDOWN: SetTopRow(FTopRow + page); break;
    case SB_TOP: SetTopRow(FFixedRows); break;
    case SB_BOTTOM: SetTopRow(FRowCount); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: SetTopRow(FFixedRows + static_cast<int32_t>(HIWORD(m.WParam))); break;
    default: break;
    }
    m.Result = 0;
}

void TCustomGrid::CMFocusChange(TMessage&) { Invalidate(); }

} // namespace tamrel
