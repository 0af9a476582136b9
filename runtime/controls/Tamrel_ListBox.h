// Owner-drawn list boxes with a glyph column in front of each item, whose items come from
// virtual operations (the item protocol) instead of stored strings, and the check list.
//
// Descendants answer GetCount, GetStrings, GetImageIndex, GetAllowed and the glyph size, and
// call Changed(-1) after their source changed as a whole or Changed(i) after item i changed;
// the host's item list is only a cache that Changed rebuilds.
#pragma once

#include "host/Api.h"

#include "host/forms/ImgList.h"
#include "host/forms/StdCtrls.h"
#include "runtime/controls/Tamrel_CtlRes.h"

#include <functional>

namespace tamrel {

class TAMREL_API TrkCustomListBox : public TCustomListBox {
    TAMREL_CLASS(TrkCustomListBox, TCustomListBox)
public:
    explicit TrkCustomListBox(TComponent* AOwner);

    bool ReadOnly() const { return FReadOnly; }
    // Not owned; cleared when the image list goes.
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    int32_t DefaultItemHeight() const { return FDefaultItemHeight; }
    bool Allowed(int index) { return GetAllowed(index); }
    void SetAllowedItem(int index, bool Value) { SetAllowed(index, Value); }
    int ImageIndex(int index) { return GetImageIndex(index); }

    // After the item source changed: Changed(-1) rebuilds the items, Changed(i) refreshes item
    // i (and repaints its glyph). The top and item index are kept, also when the rebuild fails.
    void Changed(int index);
    // Repaints the glyph strip of item Index at once.
    void InvalidateGlyph(int index);
    void ResetItemHeight();
    void Notification(TComponent* AComponent, TOperation Operation) override;

    virtual void SetReadOnly(bool Value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DrawItem(int Index, RECT Rect, TOwnerDrawState State) override;

    // The item protocol.
    virtual bool GetAllowed(int /*index*/) { return !FReadOnly; }
    virtual void SetAllowed(int /*index*/, bool /*Value*/) {}
    virtual int GetCount() { return 0; }
    virtual int GetImageIndex(int /*Index*/) { return -1; }
    virtual std::wstring GetStrings(int /*index*/) { return std::wstring(); }
    virtual int GetGlyphWidth() { return 0; }
    virtual int GetGlyphHeight() { return 0; }
    virtual void DrawGlyph(RECT /*Rect*/, int /*index*/) {}

    // The width of the glyph column: the image list's, else GetGlyphWidth.
    int GlyphColumnWidth();
    void CMFontChanged(TMessage& Message);
    void CNDrawItem(TMessage& Message);

private:
    bool FReadOnly = false;
    TCustomImageList* FImages = nullptr;
    int32_t FDefaultItemHeight = 0;
};

class TAMREL_API TrkCheckListBox : public TrkCustomListBox {
    TAMREL_CLASS(TrkCheckListBox, TrkCustomListBox)
public:
    explicit TrkCheckListBox(TComponent* AOwner);

    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
    TrkGlyphKind Kind() const { return FKind; }
    void SetKind(TrkGlyphKind K);
    TNotifyEvent OnClickCheck() const { return FOnClickCheck; }
    void SetOnClickCheck(TNotifyEvent e) { FOnClickCheck = e; }
    static constexpr int32_t CheckWidth = 17;
    static constexpr int32_t CheckHeight = 17;
    // The selected item of a radio list.
    int32_t SelectedIndex() const { return FSelectedIndex; }
    TrkGlyphState State(int Index) { return GetState(Index); }
    void SetStateItem(int Index, TrkGlyphState Value) { SetState(Index, Value); }
    bool Checked(int index) { return GetChecked(index); }
    void SetCheckedItem(int index, bool Value) { SetChecked(index, Value); }

    // Toggles item Index as a click on its glyph does.
    void ToggleClickCheck(int index);
    virtual void SetSelectedIndex(int index);

protected:
    int GetGlyphWidth() override { return CheckWidth; }
    int GetGlyphHeight() override { return CheckHeight; }
    void DrawGlyph(RECT Rect, int index) override;
    virtual bool GetChecked(int index);
    virtual void SetChecked(int index, bool Value);
    // Check lists that keep their states override both; here a radio list's selected item is
    // on and every other item off, and SetState does nothing.
    virtual TrkGlyphState GetState(int Index);
    virtual void SetState(int /*Index*/, TrkGlyphState /*Value*/) {}

    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyPress(wchar_t& Key) override;
    void ClickCheck();
    // Draws the glyph of State centred in Rect, transparently; nothing where there is no glyph.
    void DrawCheck(RECT Rect, TrkGlyphState State, bool Enabled);

private:
    bool FAllowGrayed = false;
    TrkGlyphKind FKind = gkCheck;
    int32_t FSelectedIndex = -1;
    TNotifyEvent FOnClickCheck;
};

namespace detail {
// Links an image list the control does not own, so that the control hears of its end; answers
// whether the link changed.
TAMREL_API bool LinkImages(TComponent* control, TCustomImageList*& field, TCustomImageList* value);
// The W-wide strip just before an item rectangle (after it, right to left).
TAMREL_API RECT GlyphStrip(const RECT& itemRect, int width, bool rightToLeft);
// Draws Bitmap centred in Rect with the canvas' transparent brush copy: the bitmap's transparent
// colour (and-ed with $FDFFFFFF) lets the background through; the brush is restored after. A nil
// or empty bitmap draws nothing.
TAMREL_API void DrawTransparentGlyph(TCanvas* canvas, const RECT& rect, TBitmap* bitmap);
// The height of "Wg" in Font on a device context made for "DISPLAY" (released afterwards, also on
// failure); 0 where there is no screen.
TAMREL_API int DisplayTextHeight(TFont* font);
// Narrows an item rectangle by the glyph column.
TAMREL_API void NarrowItemRect(RECT& itemRect, int width, bool rightToLeft);
// A disabled list draws its item texts grey, as its glyphs are; a selected item keeps the
// control's own background (grey cannot be read on the highlight colour).
TAMREL_API void GreyWhenDisabled(TCanvas* canvas, TWinControl* control, TOwnerDrawState state);
// The rebuild of Changed shared by the list and combo boxes: index -1 rebuilds Items from the
// source inside one update bracket; an index replaces that item when its text differs (an index
// the list does not hold yet rebuilds it).
TAMREL_API void RefreshItems(TStrings* items, int index, const std::function<int()>& count,
                  const std::function<std::wstring(int)>& strings);
} // namespace detail

} // namespace tamrel
