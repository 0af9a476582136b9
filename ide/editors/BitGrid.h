// The grid of the 32 bits of an access-bits set, as the bits editor, the template manager and the
// template picker show it: a header row ("Bit", "Use bit", "Access right name"), then one row per
// bit with its number (right-aligned), the check glyph of IsUsed (enabled by CanBeUsed) and its
// name. The number column cannot be selected; the name column edits the name in place, and shows
// it and opens the editor on it as it is stored (trimmed); a click on a "Use bit" cell, or Enter
// or Space there, flips IsUsed when CanBeUsed allows it. Without a bit set the glyphs show off
// and disabled and nothing can be changed.
#pragma once

#include "ide/editors/EditorsApi.h"

#include "host/forms/StringGrid.h"
#include "runtime/controls/Tamrel_Masks.h"

namespace tamrel {

class TAMRELWIZ_API TBitGrid {
public:
    // Binds the grid's events; Editable false: a preview (no toggles, no names).
    TBitGrid(TStringGrid* grid, bool editable);
    TBitGrid(const TBitGrid&) = delete;
    TBitGrid& operator=(const TBitGrid&) = delete;

    // Columns (39, 47 and NameWidth wide), header, row height (the text height of Font + 4),
    // numbers, current column 2.
    void Prepare(TFont* font, int nameWidth);
    // Shows a set (not owned; null: none): names in column 2, the glyphs repainted.
    void Show(TrkAccessBits* bits);
    TrkAccessBits* Bits() const { return FBits; }
    TStringGrid* Grid() const { return FGrid; }
    // Flips IsUsed of bit Index when it can be used; false otherwise.
    bool Toggle(int index);

private:
    void DrawCell(TObject* Sender, int ACol, int ARow, RECT Rect, TGridDrawState State);
    void SelectCell(TObject* Sender, int ACol, int ARow, bool& CanSelect);
    void MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void GetEditText(TObject* Sender, int ACol, int ARow, std::wstring& Value);
    void SetEditText(TObject* Sender, int ACol, int ARow, const std::wstring& Value);

    TStringGrid* FGrid;
    bool FEditable;
    TrkAccessBits* FBits = nullptr;
};

} // namespace tamrel
