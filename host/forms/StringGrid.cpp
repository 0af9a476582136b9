#include "host/forms/StringGrid.h"

#include "host/SysUtils.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TInplaceEdit

TAMREL_IMPLEMENT_CLASS(TInplaceEdit) {
    b.Message<&TInplaceEdit::WMGetDlgCode>(WM_GETDLGCODE);
    b.Message<&TInplaceEdit::CNCtlColorEdit>(CN_BASE + WM_CTLCOLOREDIT);
}

TInplaceEdit::TInplaceEdit(TComponent* owner) : TCustomEdit(owner) { SetVisible(false); }

void TInplaceEdit::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    params.ExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
    params.Style &= ~static_cast<DWORD>(WS_BORDER);
    params.Style |= ES_AUTOHSCROLL;
}

// Enter, Esc and the arrows are the editor's: it hands them to its grid.
void TInplaceEdit::WMGetDlgCode(TMessage& m) {
    DefaultHandler(m);
    m.Result |= DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
}

// An editor left open while the focus is elsewhere lies over the selected cell: it shows as the
// selection, so that the grid still tells which row is the current one.
void TInplaceEdit::CNCtlColorEdit(TMessage& m) {
    if (!FGrid || FGrid->FocusedWithin()) {
        CNCtlColor(m);
        return;
    }
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    SetTextColor(dc, ColorToRGB(clHighlightText));
    SetBkColor(dc, ColorToRGB(clHighlight));
    m.Result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_HIGHLIGHT));
}

void TInplaceEdit::WndProc(TMessage& m) {
    if (FGrid && (m.Msg == WM_SETFOCUS || m.Msg == WM_KILLFOCUS)) {
        const bool fromGrid = FGrid->HandleAllocated() && reinterpret_cast<HWND>(m.WParam) == FGrid->Handle();
        if (fromGrid) {
            // The focus stays within the grid.
            TControl::WndProc(m);
            if (m.Msg == WM_SETFOCUS)
                if (TWinControl* root = GetParentRoot(this))
                    root->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
            return;
        }
        TCustomEdit::WndProc(m);
        if (m.Msg == WM_SETFOCUS) FGrid->DoEnter();
        else FGrid->DoExit();
        return;
    }
    TCustomEdit::WndProc(m);
}

void TInplaceEdit::KeyPress(wchar_t& key) {
    TCustomEdit::KeyPress(key);
    if (FGrid && key) FGrid->KeyPress(key);
}

void TInplaceEdit::KeyDown(WORD& key, TShiftState shift) {
    TCustomEdit::KeyDown(key, shift);
    if (!FGrid || !key) return;
    switch (key) {
    case VK_ESCAPE:
        key = 0;
        if (FGrid->AlwaysShowEditor()) FGrid->RestoreEditor();
        else FGrid->CloseEditor(true);
        break;
    case VK_RETURN:
        key = 0;
        if (!FGrid->AlwaysShowEditor()) FGrid->CloseEditor(false);
        break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
        // Moving on closes the editor; the grid moves.
        WORD move = key;
        key = 0;
        FGrid->CloseEditor(false);
        FGrid->KeyDown(move, shift);
        break;
    }
    default: break;
    }
}

void TInplaceEdit::Change() {
    TCustomEdit::Change();
    if (FGrid && FGrid->FEditing && !FGrid->FFilling)
        FGrid->SetEditText(FGrid->FEditCol, FGrid->FEditRow, GetText());
}

// ---------------------------------------------------------------------------------------------
// TStringGrid

TAMREL_IMPLEMENT_CLASS(TStringGrid) {
    b.Boolean(L"DefaultDrawing", &TStringGrid::DefaultDrawing, &TStringGrid::SetDefaultDrawing, true);
    b.Event(L"OnGetEditText", &TStringGrid::OnGetEditText, &TStringGrid::SetOnGetEditText);
    b.Event(L"OnSetEditText", &TStringGrid::OnSetEditText, &TStringGrid::SetOnSetEditText);
    b.Message<&TStringGrid::WMGetDlgCode>(WM_GETDLGCODE);
}

TStringGrid::TStringGrid(TComponent* owner) : TDrawGrid(owner) {}

TStringGrid::~TStringGrid() = default;

std::wstring TStringGrid::Cells(int32_t col, int32_t row) const {
    auto it = FCells.find({col, row});
    return it == FCells.end() ? std::wstring() : it->second;
}

void TStringGrid::SetCells(int32_t col, int32_t row, const std::wstring& value) {
    if (value.empty()) FCells.erase({col, row});
    else FCells[{col, row}] = value;
    InvalidateCell(col, row);
    if (FEditing && col == FEditCol && row == FEditRow) {
        // The program's text replaces the one being edited, and Esc comes back to it.
        FEditOriginal = value;
        if (FEditor->GetText() != value) {
            FFilling = true;
            TScopeExit filled([this] { FFilling = false; });
            FEditor->SetText(value);
        }
    }
}

bool TStringGrid::IsEditorWindow(HWND wnd) const { return wnd && FEditor && FEditor->HandleAllocated() && FEditor->Handle() == wnd; }

bool TStringGrid::FocusedWithin() const {
    HWND focus = GetFocus();
    return focus && ((HandleAllocated() && focus == const_cast<TStringGrid*>(this)->Handle()) || IsEditorWindow(focus));
}

void TStringGrid::WndProc(TMessage& m) {
    if ((m.Msg == WM_SETFOCUS || m.Msg == WM_KILLFOCUS) && IsEditorWindow(reinterpret_cast<HWND>(m.WParam))) {
        // The focus stays within the grid: no enter or exit.
        TControl::WndProc(m);
        Invalidate();
        if (m.Msg == WM_SETFOCUS)
            if (TWinControl* root = GetParentRoot(this)) root->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
        return;
    }
    TDrawGrid::WndProc(m);
}

void TStringGrid::DoEnter() {
    TDrawGrid::DoEnter();
    if (FEditing) FEditor->Invalidate();
    if (AlwaysShowEditor()) ShowEditor();
}

void TStringGrid::DoExit() {
    TDrawGrid::DoExit();
    // Its colours follow the focus.
    if (FEditing) FEditor->Invalidate();
}

void TStringGrid::SelectionMoved() {
    TDrawGrid::SelectionMoved();
    if (FEditing && (Col() != FEditCol || Row() != FEditRow)) CloseEditor(false);
    if (AlwaysShowEditor() && !FEditing && FocusedWithin()) OpenEditor(nullptr);
}

void TStringGrid::ColWidthsChanged() {
    TDrawGrid::ColWidthsChanged();
    if (FEditing) PlaceEditor();
}

void TStringGrid::SetDefaultDrawing(bool value) {
    FDefaultDrawing = value;
    Invalidate();
}

void TStringGrid::InvalidateCell(int32_t col, int32_t row) {
    if (!HandleAllocated()) return;
    RECT r = CellRect(col, row);
    if (RectWidth(r) > 0) InvalidateRect(Handle(), &r, FALSE);
}

void TStringGrid::DefaultDrawCell(int32_t col, int32_t row, RECT rect, TGridDrawState) {
    Canvas()->TextRect(rect, rect.left + 2, rect.top + 2, Cells(col, row));
}

void TStringGrid::DrawCell(int32_t ACol, int32_t ARow, RECT ARect, TGridDrawState AState) {
    if (FDefaultDrawing) DefaultDrawCell(ACol, ARow, ARect, AState);
    TDrawGrid::DrawCell(ACol, ARow, ARect, AState);
}

void TStringGrid::SetOptions(TGridOptions value) {
    TDrawGrid::SetOptions(value);
    if (!value.Contains(goEditing) && FEditing) CloseEditor(false);
    if (AlwaysShowEditor() && !FEditing && FocusedWithin()) OpenEditor(nullptr);
}

bool TStringGrid::EditorMode() const { return FEditing; }

void TStringGrid::SetEditorMode(bool value) {
    if (value) ShowEditor();
    else HideEditor();
}

bool TStringGrid::CanEditCell() const {
    return Options().Contains(goEditing) && !Options().Contains(goRowSelect) && Row() >= 0 && Col() >= 0 &&
           CanEditShow();
}

void TStringGrid::ShowEditor() {
    if (!FEditing) OpenEditor(nullptr);
}

void TStringGrid::HideEditor() {
    if (FEditing) CloseEditor(false);
}

void TStringGrid::OpenEditor(const std::wstring* text) {
    if (!CanEditCell()) return;
    if (!FEditor) {
        FEditor = Create<TInplaceEdit>(this);
        FEditor->FGrid = this;
        FEditor->SetParent(this);
    }
    FEditCol = Col();
    FEditRow = Row();
    FEditOriginal = GetEditText(FEditCol, FEditRow);
    FEditing = true;
    FEditor->Font()->Assign(Font());
    {
        FFilling = true;
        TScopeExit filled([this] { FFilling = false; });
        FEditor->SetText(FEditOriginal);
    }
    PlaceEditor();
    FEditor->Show();
    FEditor->SetFocus();
    const int end = static_cast<int>(FEditOriginal.size());
    if (text) {
        // A typed character replaces the text, as a change of the user's.
        FEditor->SetText(*text);
        SendMessageW(FEditor->Handle(), EM_SETSEL, text->size(), static_cast<LPARAM>(text->size()));
    } else {
        SendMessageW(FEditor->Handle(), EM_SETSEL, static_cast<WPARAM>(end), end);
    }
}

void TStringGrid::RestoreEditor() {
    if (!FEditing) return;
    const std::wstring original = FEditOriginal;
    if (FEditor->GetText() != original) {
        SetEditText(FEditCol, FEditRow, original);
        FFilling = true;
        TScopeExit filled([this] { FFilling = false; });
        FEditor->SetText(original);
    }
    FEditor->SelectAll();
}

void TStringGrid::CloseEditor(bool restore) {
    if (!FEditing) return;
    if (restore && FEditor->GetText() != FEditOriginal) SetEditText(FEditCol, FEditRow, FEditOriginal);
    FEditing = false;
    const bool hadFocus = FEditor->Focused();
    FEditor->Hide();
    InvalidateCell(FEditCol, FEditRow);
    if (hadFocus && CanFocus()) SetFocus();
}

void TStringGrid::PlaceEditor() {
    if (!FEditor) return;
    RECT r = CellRect(FEditCol, FEditRow);
    if (RectWidth(r) <= 0) {
        CloseEditor(false);
        return;
    }
    FEditor->SetBounds(r.left + 1, r.top + 1, RectWidth(r) - 2, RectHeight(r) - 2);
}

std::wstring TStringGrid::GetEditText(int32_t ACol, int32_t ARow) {
    std::wstring value = Cells(ACol, ARow);
    if (FOnGetEditText) FOnGetEditText(this, ACol, ARow, value);
    return value;
}

void TStringGrid::SetEditText(int32_t ACol, int32_t ARow, const std::wstring& Value) {
    FCells[{ACol, ARow}] = Value;
    if (FOnSetEditText) FOnSetEditText(this, ACol, ARow, Value);
}

bool TStringGrid::SelectCell(int32_t ACol, int32_t ARow) {
    if (FEditing && (ACol != FEditCol || ARow != FEditRow)) CloseEditor(false);
    return TDrawGrid::SelectCell(ACol, ARow);
}

void TStringGrid::TopLeftChanged() {
    TDrawGrid::TopLeftChanged();
    if (FEditing) PlaceEditor();
}

void TStringGrid::KeyDown(WORD& key, TShiftState shift) {
    if (key != VK_F2 && key != VK_RETURN) {
        TDrawGrid::KeyDown(key, shift);
        return;
    }
    TWinControl::KeyDown(key, shift); // OnKeyDown first; it may take the key
    if (!key || !CanEditCell()) return;
    if (FEditing && AlwaysShowEditor()) FEditor->SetFocus();
    else if (FEditing) CloseEditor(false);
    else OpenEditor(nullptr);
    key = 0;
}

void TStringGrid::KeyPress(wchar_t& key) {
    TDrawGrid::KeyPress(key);
    if (!key || key < L' ' || FEditing || !CanEditCell()) return;
    const std::wstring text(1, key);
    key = 0;
    OpenEditor(&text);
}

void TStringGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    const int32_t oldCol = Col(), oldRow = Row();
    TDrawGrid::MouseDown(button, shift, x, y);
    int32_t col, row;
    // A click on the cell that was selected already opens the editor.
    if (button == mbLeft && !shift.Contains(ssDouble) && MouseToCell(x, y, col, row) && col == oldCol &&
        row == oldRow && col == Col() && row == Row() && Focused())
        ShowEditor();
    // A click that took the focus for the grid without moving gives it back to the editor.
    if (AlwaysShowEditor() && Focused()) {
        if (FEditing) FEditor->SetFocus();
        else ShowEditor();
    }
}

void TStringGrid::DblClick() {
    TDrawGrid::DblClick();
    ShowEditor();
}

void TStringGrid::WMGetDlgCode(TMessage& m) {
    InheritedDispatch(TStringGrid::StaticClassInfo(), m);
    m.Result |= DLGC_WANTCHARS;
    const auto* msg = reinterpret_cast<const MSG*>(m.LParam);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && (Options().Contains(goEditing) || OnKeyDown()))
        m.Result |= DLGC_WANTMESSAGE;
}

} // namespace tamrel
