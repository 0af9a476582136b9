#include "runtime/controls/Tamrel_ComboBox.h"

#include <algorithm>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TrkCustomComboBox) {
    b.Component(L"Images", &TrkCustomComboBox::Images, &TrkCustomComboBox::SetImages);
    b.Message<&TrkCustomComboBox::CMFontChanged>(CM_FONTCHANGED);
    b.Message<&TrkCustomComboBox::CNMeasureItem>(CN_MEASUREITEM);
    b.Message<&TrkCustomComboBox::CNDrawItem>(CN_DRAWITEM);
}

TrkCustomComboBox::TrkCustomComboBox(TComponent* AComponent) : TCustomComboBox(AComponent) {
    SetStyle(csDropDownList);
}

void TrkCustomComboBox::SetImages(TCustomImageList* Value) {
    if (!detail::LinkImages(this, FImages, Value)) return;
    ResetItemHeight();
    Invalidate();
}

void TrkCustomComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomComboBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

int TrkCustomComboBox::GlyphColumnWidth() { return FImages ? FImages->Width() : GetGlyphWidth(); }

void TrkCustomComboBox::ResetItemHeight() {
    const int height = detail::DisplayTextHeight(Font());
    if (height == 0) return; // no screen (a service without a display): the heights stay
    FDefaultTextHeight = height;
    FDefaultItemHeight = std::max(FDefaultTextHeight, FImages ? FImages->Height() : GetGlyphHeight());
}

void TrkCustomComboBox::CreateParams(TCreateParams& Params) {
    // Measured before the window is made: the window asks for the item height while it is made.
    ResetItemHeight();
    TCustomComboBox::CreateParams(Params);
    if (!(Params.Style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE))) Params.Style |= CBS_OWNERDRAWFIXED;
}

void TrkCustomComboBox::CreateWnd() {
    TCustomComboBox::CreateWnd();
    SetFieldHeight();
}

void TrkCustomComboBox::SetFieldHeight() {
    // The selection field takes the height measured while the window is made, but a font set
    // afterwards makes the system size it for the font's text alone: names and glyphs were cut
    // at the bottom. The field is given the items' height again.
    if (!HandleAllocated() || FDefaultItemHeight <= 0) return;
    SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), FDefaultItemHeight);
}

void TrkCustomComboBox::CMFontChanged(TMessage& Message) {
    InheritedDispatch(StaticClassInfo(), Message);
    ResetItemHeight();
    // The items measured for the new font, and the field with them.
    if (HandleAllocated() && FDefaultItemHeight > 0)
        SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, FDefaultItemHeight);
    SetFieldHeight();
}

void TrkCustomComboBox::CNMeasureItem(TMessage& Message) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
    int height = FDefaultItemHeight;
    if (Style() == csOwnerDrawVariable) MeasureItem(static_cast<int>(mis->itemID), height);
    mis->itemHeight = static_cast<UINT>(height);
    Message.Result = TRUE;
}

void TrkCustomComboBox::CNDrawItem(TMessage& Message) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    detail::NarrowItemRect(dis->rcItem, GlyphColumnWidth(), UseRightToLeftAlignment());
    InheritedDispatch(StaticClassInfo(), Message);
}

void TrkCustomComboBox::DrawItem(int Index, RECT Rect, TOwnerDrawState State) {
    detail::GreyWhenDisabled(Canvas(), this, State);
    if (Index < Items()->Count()) {
        RECT strip = detail::GlyphStrip(Rect, GlyphColumnWidth(), UseRightToLeftAlignment());
        if (FImages) FImages->Draw(Canvas(), strip.left, Rect.top, GetImageIndex(Index), GetAllowed(Index));
        else DrawGlyph(strip, Index);
    }
    if (OnDrawItem()) {
        OnDrawItem()(this, Index, Rect, State);
        return;
    }
    Canvas()->FillRect(Rect);
    if (Index >= 0 && Index < Items()->Count())
        Canvas()->TextOut(Rect.left + 2, Rect.top + (FDefaultItemHeight - FDefaultTextHeight) / 2, Items()->Get(Index));
}

void TrkCustomComboBox::Changed(int index) {
    if (ComponentState().Contains(csDestroying)) return;
    const int item = ItemIndex();
    TScopeExit restore([this, item] {
        if (ItemIndex() != item) SetItemIndex(item);
    });
    detail::RefreshItems(Items(), index, [this] { return GetCount(); }, [this](int i) { return GetStrings(i); });
}

} // namespace tamrel
