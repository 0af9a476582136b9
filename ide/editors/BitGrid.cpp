#include "ide/editors/BitGrid.h"

#include "host/SysUtils.h"
#include "runtime/controls/Tamrel_CtlRes.h"
#include "runtime/controls/Tamrel_ListBox.h"

namespace tamrel {

TBitGrid::TBitGrid(TStringGrid* grid, bool editable) : FGrid(grid), FEditable(editable) {
    FGrid->SetDefaultDrawing(false);
    FGrid->SetOnDrawCell(TDrawCellEvent::Of<&TBitGrid::DrawCell>(this));
    FGrid->SetOnSelectCell(TSelectCellEvent::Of<&TBitGrid::SelectCell>(this));
    if (!editable) return;
    FGrid->SetOnMouseDown(TMouseEvent::Of<&TBitGrid::MouseDown>(this));
    FGrid->SetOnKeyDown(TKeyEvent::Of<&TBitGrid::KeyDown>(this));
    FGrid->SetOnGetEditText(TGetEditEvent::Of<&TBitGrid::GetEditText>(this));
    FGrid->SetOnSetEditText(TSetEditEvent::Of<&TBitGrid::SetEditText>(this));
}

void TBitGrid::Prepare(TFont* font, int nameWidth) {
    FGrid->SetFont(font);
    FGrid->SetColCount(3);
    FGrid->SetColWidths(0, 39);
    FGrid->SetColWidths(1, 47);
    FGrid->SetColWidths(2, nameWidth);
    FGrid->SetRowCount(33);
    FGrid->SetFixedCols(0);
    FGrid->SetFixedRows(1);
    FGrid->SetDefaultRowHeight(FontTextHeight(font) + 4);
    FGrid->SetCells(0, 0, L"Bit");
    FGrid->SetCells(1, 0, L"Use bit");
    FGrid->SetCells(2, 0, L"Access right name");
    for (int i = 0; i < 32; ++i) FGrid->SetCells(0, i + 1, IntToStr(i));
    FGrid->MoveTo(2, 1);
}

void TBitGrid::Show(TrkAccessBits* bits) {
    FGrid->HideEditor();
    FBits = bits;
    for (int i = 0; i < 32; ++i) {
        FGrid->SetCells(1, i + 1, L"");
        FGrid->SetCells(2, i + 1, bits ? bits->MaskBit(i)->BitName() : std::wstring());
    }
    FGrid->Invalidate();
}

bool TBitGrid::Toggle(int index) {
    if (!FEditable || !FBits || index < 0 || index > 31) return false;
    TrkAccessBit* bit = FBits->MaskBit(index);
    if (!bit->CanBeUsed()) return false;
    bit->SetIsUsed(!bit->IsUsed());
    FGrid->InvalidateCell(1, index + 1);
    return true;
}

void TBitGrid::DrawCell(TObject*, int ACol, int ARow, RECT Rect, TGridDrawState State) {
    TCanvas* canvas = FGrid->Canvas();
    if (ACol == 2 && ARow > 0 && FBits) {
        // The name as it is stored: the cell keeps the text as it was typed, blanks and all.
        canvas->TextRect(Rect, Rect.left + 2, Rect.top + 2, FBits->MaskBit(ARow - 1)->BitName());
        return;
    }
    if (ARow == 0 || ACol == 2) {
        FGrid->DefaultDrawCell(ACol, ARow, Rect, State);
        return;
    }
    if (ACol == 0) {
        const std::wstring number = FGrid->Cells(0, ARow);
        canvas->TextRect(Rect, Rect.right - canvas->TextWidth(number) - 2, Rect.top + 2, number);
        return;
    }
    const TrkAccessBit* bit = FBits ? FBits->MaskBit(ARow - 1) : nullptr;
    TBitmap* glyph = RkGetGlyph(gkCheck, bit && bit->IsUsed() ? gsOn : gsOff, bit && bit->CanBeUsed());
    detail::DrawTransparentGlyph(canvas, Rect, glyph);
}

void TBitGrid::SelectCell(TObject*, int ACol, int, bool& CanSelect) {
    if (ACol == 0) {
        CanSelect = false;
        return;
    }
    TGridOptions options = FGrid->Options();
    if (ACol == 2 && FEditable && FBits) options.Include(goEditing);
    else options.Exclude(goEditing);
    FGrid->SetOptions(options);
}

void TBitGrid::MouseDown(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
    int32_t col, row;
    if (Button == mbLeft && FGrid->MouseToCell(X, Y, col, row) && col == 1 && row >= 1) Toggle(row - 1);
}

void TBitGrid::KeyDown(TObject*, WORD& Key, TShiftState) {
    if ((Key == VK_RETURN || Key == VK_SPACE) && FGrid->Col() == 1 && FGrid->Row() >= 1) {
        Toggle(FGrid->Row() - 1);
        Key = 0;
    }
}

void TBitGrid::GetEditText(TObject*, int ACol, int ARow, std::wstring& Value) {
    if (ACol == 2 && ARow >= 1 && FBits) Value = FBits->MaskBit(ARow - 1)->BitName();
}

void TBitGrid::SetEditText(TObject*, int ACol, int ARow, const std::wstring& Value) {
    if (ACol == 2 && ARow >= 1 && FBits) FBits->MaskBit(ARow - 1)->SetBitName(Trim(Value));
}

} // namespace tamrel
