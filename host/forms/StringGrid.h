// The string grid: a grid that keeps a text per cell, draws it (beside OnDrawCell) and edits it in
// place.
//
// Editing needs goEditing in Options, which may be switched on and off as the selection moves
// (from OnSelectCell). With it, F2, Enter, a double click, a click on the selected cell or a typed
// character opens the in-place editor on the selected cell (a character replaces the text). Every
// change of the editor's text reaches SetEditText (Cells, then OnSetEditText). Enter or a move
// to another cell closes the editor; Esc closes it and puts the text it opened with back.
//
// While editing is possible, or when OnKeyDown is handled, Enter belongs to the grid, not to the
// form's default button.
//
// With goAlwaysShowEditor as well, the editor opens whenever the grid has the focus and follows
// the selection to each cell it may edit; Enter leaves it open, Esc puts the text back and leaves
// it open. A cell set from code while the editor shows it shows the new text (no SetEditText).
// While the focus is outside the grid, an open editor shows in the colours of the selection it
// lies over.
//
// The grid and its editor are one control to the rest of the form: the focus moving between
// them is no OnEnter or OnExit of the grid, the editor taking the focus from outside is the
// grid's OnEnter and the editor losing it to outside the grid's OnExit. Keys typed into the
// editor reach the grid's OnKeyPress first.
#pragma once

#include "host/Api.h"
#include "host/forms/Grids.h"
#include "host/forms/StdCtrls.h"

#include <map>
#include <string>
#include <utility>

namespace tamrel {

using TGetEditEvent = TMethod<void(TObject* Sender, int ACol, int ARow, std::wstring& Value)>;
using TSetEditEvent = TMethod<void(TObject* Sender, int ACol, int ARow, const std::wstring& Value)>;

class TStringGrid;

// The editor a string grid shows over the cell being edited.
class TAMREL_API TInplaceEdit : public TCustomEdit {
    TAMREL_CLASS(TInplaceEdit, TCustomEdit)
public:
    explicit TInplaceEdit(TComponent* owner);
    TStringGrid* Grid() const { return FGrid; }

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void KeyDown(WORD& key, TShiftState shift) override;
    void KeyPress(wchar_t& key) override;
    void Change() override;
    void WMGetDlgCode(TMessage& m);
    void CNCtlColorEdit(TMessage& m);

private:
    friend class TStringGrid;
    TStringGrid* FGrid = nullptr;
};

class TAMREL_API TStringGrid : public TDrawGrid {
    TAMREL_CLASS(TStringGrid, TDrawGrid)
public:
    explicit TStringGrid(TComponent* owner);
    ~TStringGrid() override;

    std::wstring Cells(int32_t col, int32_t row) const;
    void SetCells(int32_t col, int32_t row, const std::wstring& value);
    // Whether the grid draws each cell's text before OnDrawCell; without it OnDrawCell draws
    // alone and may call DefaultDrawCell for the cells it leaves to the grid.
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool value);
    // The grid's own drawing of a cell: its text at 2 pixels from the top-left corner.
    void DefaultDrawCell(int32_t col, int32_t row, RECT rect, TGridDrawState state);
    // Repaints one cell without erasing it first.
    void InvalidateCell(int32_t col, int32_t row);

    void SetOptions(TGridOptions value) override;
    bool EditorMode() const;
    void SetEditorMode(bool value);
    // Opens the editor on the selected cell (when goEditing allows it) / closes it.
    void ShowEditor();
    void HideEditor();
    // The editor, made on first use; null before.
    TInplaceEdit* InplaceEditor() const { return FEditor; }

    // The grid or its editor has the focus.
    bool FocusedWithin() const;
    void WndProc(TMessage& message) override;

    TGetEditEvent OnGetEditText() const { return FOnGetEditText; }
    void SetOnGetEditText(TGetEditEvent e) { FOnGetEditText = e; }
    TSetEditEvent OnSetEditText() const { return FOnSetEditText; }
    void SetOnSetEditText(TSetEditEvent e) { FOnSetEditText = e; }

protected:
    void DrawCell(int32_t ACol, int32_t ARow, RECT ARect, TGridDrawState AState) override;
    bool SelectCell(int32_t ACol, int32_t ARow) override;
    void TopLeftChanged() override;
    // The text the editor opens with: the cell's, then OnGetEditText.
    virtual std::wstring GetEditText(int32_t ACol, int32_t ARow);
    // Each change of the editor's text: the cell's, then OnSetEditText.
    virtual void SetEditText(int32_t ACol, int32_t ARow, const std::wstring& Value);
    // Whether the editor may open on the selected cell, beyond goEditing and the cell being one
    // of the grid's data cells.
    virtual bool CanEditShow() const { return true; }
    void SelectionMoved() override;
    void ColWidthsChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void KeyDown(WORD& key, TShiftState shift) override;
    void KeyPress(wchar_t& key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void DblClick() override;
    void WMGetDlgCode(TMessage& m);

private:
    friend class TInplaceEdit;
    bool CanEditCell() const;
    void OpenEditor(const std::wstring* text);
    // Closes the editor; Restore puts back the text it opened with.
    void CloseEditor(bool restore);
    // Puts back the text the editor opened with and leaves it open.
    void RestoreEditor();
    bool AlwaysShowEditor() const { return Options().Contains(goAlwaysShowEditor); }
    bool IsEditorWindow(HWND wnd) const;
    void PlaceEditor();

    std::map<std::pair<int32_t, int32_t>, std::wstring> FCells;
    bool FDefaultDrawing = true;
    TInplaceEdit* FEditor = nullptr; // owned by the grid as a component
    bool FEditing = false;
    bool FFilling = false; // the editor's text is being set by the grid
    int32_t FEditCol = -1, FEditRow = -1;
    std::wstring FEditOriginal;
    TGetEditEvent FOnGetEditText;
    TSetEditEvent FOnSetEditText;
};

} // namespace tamrel
