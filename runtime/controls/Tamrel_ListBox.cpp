#include "runtime/controls/Tamrel_ListBox.h"

#include <algorithm>

namespace tamrel {

namespace detail {

bool LinkImages(TComponent* control, TCustomImageList*& field, TCustomImageList* value) {
    if (value == field) return false;
    if (field) field->RemoveFreeNotification(control);
    field = value;
    if (field) field->FreeNotification(control);
    return true;
}

RECT GlyphStrip(const RECT& itemRect, int width, bool rightToLeft) {
    if (rightToLeft) return RECT{itemRect.right, itemRect.top, itemRect.right + width, itemRect.bottom};
    return RECT{itemRect.left - width, itemRect.top, itemRect.left, itemRect.bottom};
}

void DrawTransparentGlyph(TCanvas* canvas, const RECT& rect, TBitmap* bitmap) {
    if (!bitmap || bitmap->Empty()) return;
    const int w = bitmap->Width(), h = bitmap->Height();
    const int x = rect.left + (RectWidth(rect) - w) / 2;
    const int y = rect.top + (RectHeight(rect) - h) / 2;
    TBrush* brush = canvas->Brush();
    const TBrushStyle style = brush->Style();
    const TColor color = brush->Color();
    TScopeExit restore([brush, style, color] {
        brush->SetColor(color);
        brush->SetStyle(style);
    });
    brush->SetStyle(bsClear);
    canvas->BrushCopy(RECT{x, y, x + w, y + h}, bitmap, RECT{0, 0, w, h},
                      static_cast<TColor>(static_cast<uint32_t>(bitmap->TransparentColor()) & 0xFDFFFFFFu));
}

int DisplayTextHeight(TFont* font) {
    const TMemoryDc dc(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!dc) return 0;
    TCanvas canvas;
    TScopeExit release([&canvas] { canvas.SetHandle(nullptr); });
    canvas.SetHandle(dc.Get());
    canvas.SetFont(font);
    return canvas.TextHeight(L"Wg");
}

void NarrowItemRect(RECT& itemRect, int width, bool rightToLeft) {
    if (rightToLeft) itemRect.right -= width;
    else itemRect.left += width;
}

void GreyWhenDisabled(TCanvas* canvas, TWinControl* control, TOwnerDrawState state) {
    if (control->Enabled() && !state.Contains(odDisabled)) return;
    canvas->Font()->SetColor(clGrayText);
    if (state.Contains(odSelected)) canvas->Brush()->SetColor(control->Color());
}

void RefreshItems(TStrings* items, int index, const std::function<int()>& count,
                  const std::function<std::wstring(int)>& strings) {
    // An item the list does not hold yet (the source grew): the whole list is rebuilt.
    if (index < 0 || index >= items->Count()) {
        items->BeginUpdate();
        TScopeExit end([items] { items->EndUpdate(); });
        items->Clear();
        for (int i = 0, n = count(); i < n; ++i) items->Add(strings(i));
        return;
    }
    std::wstring s = strings(index);
    if (items->Get(index) != s) items->Put(index, s);
}

} // namespace detail

// ---------------------------------------------------------------------------------------------
// TrkCustomListBox

TAMREL_IMPLEMENT_CLASS(TrkCustomListBox) {
    b.Component(L"Images", &TrkCustomListBox::Images, &TrkCustomListBox::SetImages);
    b.Boolean(L"ReadOnly", &TrkCustomListBox::ReadOnly, &TrkCustomListBox::SetReadOnly, false);
    b.Message<&TrkCustomListBox::CMFontChanged>(CM_FONTCHANGED);
    b.Message<&TrkCustomListBox::CNDrawItem>(CN_DRAWITEM);
}

TrkCustomListBox::TrkCustomListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}

void TrkCustomListBox::SetReadOnly(bool Value) {
    if (Value == FReadOnly) return;
    FReadOnly = Value;
    Invalidate();
}

void TrkCustomListBox::SetImages(TCustomImageList* Value) {
    if (!detail::LinkImages(this, FImages, Value)) return;
    ResetItemHeight();
    Invalidate();
}

void TrkCustomListBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomListBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

void TrkCustomListBox::CreateParams(TCreateParams& Params) {
    TCustomListBox::CreateParams(Params);
    // Owner-drawn even in the standard style.
    if (!(Params.Style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))) Params.Style |= LBS_OWNERDRAWFIXED;
}

void TrkCustomListBox::CreateWnd() {
    TCustomListBox::CreateWnd();
    ResetItemHeight();
}

void TrkCustomListBox::CMFontChanged(TMessage& Message) {
    InheritedDispatch(StaticClassInfo(), Message);
    ResetItemHeight();
}

void TrkCustomListBox::ResetItemHeight() {
    if (!HandleAllocated() || Style() != lbStandard) return;
    int height = FontTextHeight(Font());
    FDefaultItemHeight = std::max(height, FImages ? FImages->Height() : GetGlyphHeight());
    SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, FDefaultItemHeight);
}

int TrkCustomListBox::GlyphColumnWidth() { return FImages ? FImages->Width() : GetGlyphWidth(); }

void TrkCustomListBox::CNDrawItem(TMessage& Message) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    detail::NarrowItemRect(dis->rcItem, GlyphColumnWidth(), UseRightToLeftAlignment());
    InheritedDispatch(StaticClassInfo(), Message);
}

void TrkCustomListBox::DrawItem(int Index, RECT Rect, TOwnerDrawState State) {
    detail::GreyWhenDisabled(Canvas(), this, State);
    if (Index < Items()->Count()) {
        const int w = GlyphColumnWidth();
        RECT strip = detail::GlyphStrip(Rect, w, UseRightToLeftAlignment());
        if (FImages) FImages->Draw(Canvas(), strip.left, Rect.top, GetImageIndex(Index), GetAllowed(Index));
        else DrawGlyph(strip, Index);
    }
    if (Style() != lbStandard) {
        TCustomListBox::DrawItem(Index, Rect, State);
        return;
    }
    // The user's handler is for the owner-draw styles only.
    TDrawItemEvent handler = OnDrawItem();
    SetOnDrawItem(nullptr);
    TScopeExit restore([this, handler] { SetOnDrawItem(handler); });
    TCustomListBox::DrawItem(Index, Rect, State);
}

void TrkCustomListBox::Changed(int index) {
    if (ComponentState().Contains(csDestroying)) return;
    const int top = TopIndex();
    const int item = ItemIndex();
    TScopeExit restore([this, top, item] {
        if (TopIndex() != top) SetTopIndex(top);
        if (ItemIndex() != item) SetItemIndex(item);
    });
    detail::RefreshItems(Items(), index, [this] { return GetCount(); }, [this](int i) { return GetStrings(i); });
    if (index >= 0) InvalidateGlyph(index);
}

void TrkCustomListBox::InvalidateGlyph(int index) {
    if (!HandleAllocated() || index < 0 || index >= Items()->Count()) return;
    RECT r = ItemRect(index);
    const int w = GlyphColumnWidth();
    if (UseRightToLeftAlignment()) r.left = r.right - w;
    else r.right = r.left + w;
    InvalidateRect(Handle(), &r, TRUE);
    UpdateWindow(Handle());
}

// ---------------------------------------------------------------------------------------------
// TrkCheckListBox

TAMREL_IMPLEMENT_CLASS(TrkCheckListBox) {
    b.Boolean(L"AllowGrayed", &TrkCheckListBox::AllowGrayed, &TrkCheckListBox::SetAllowGrayed, false);
    b.Enum(L"Kind", &TrkCheckListBox::Kind, &TrkCheckListBox::SetKind, gkCheck);
    b.Event(L"OnClickCheck", &TrkCheckListBox::OnClickCheck, &TrkCheckListBox::SetOnClickCheck);
}

TrkCheckListBox::TrkCheckListBox(TComponent* AOwner) : TrkCustomListBox(AOwner) {}

void TrkCheckListBox::SetKind(TrkGlyphKind K) {
    FKind = K;
    if (K == gkRadio) {
        bool found = false;
        for (int i = 0; i < GetCount(); ++i) {
            if (!GetChecked(i)) continue;
            if (found) SetChecked(i, false);
            found = true;
        }
    }
    Invalidate();
}

void TrkCheckListBox::SetSelectedIndex(int index) {
    if (FKind != gkRadio) return;
    const int old = FSelectedIndex;
    FSelectedIndex = index;
    SetState(old, gsOff);
    SetState(index, gsOn);
    InvalidateGlyph(old);
    InvalidateGlyph(index);
}

TrkGlyphState TrkCheckListBox::GetState(int Index) {
    return FKind == gkRadio && Index == FSelectedIndex ? gsOn : gsOff;
}

bool TrkCheckListBox::GetChecked(int index) {
    if (FKind == gkRadio) return index == FSelectedIndex;
    return GetState(index) == gsOn;
}

void TrkCheckListBox::SetChecked(int index, bool Value) { SetState(index, Value ? gsOn : gsOff); }

void TrkCheckListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TrkCustomListBox::MouseDown(Button, Shift, X, Y);
    // Any button: the glyph strip toggles.
    const int index = ItemAtPos(POINT{X, Y}, true);
    if (index < 0) return;
    RECT r = ItemRect(index);
    bool inStrip = UseRightToLeftAlignment() ? (r.right - CheckWidth < X && X < r.right) : (X - r.left < CheckWidth);
    if (inStrip) ToggleClickCheck(index);
}

void TrkCheckListBox::KeyPress(wchar_t& Key) {
    TrkCustomListBox::KeyPress(Key);
    if (Key == L' ') ToggleClickCheck(ItemIndex());
}

void TrkCheckListBox::ToggleClickCheck(int index) {
    if (index < 0 || index >= GetCount() || !GetAllowed(index)) return;
    if (FKind == gkRadio) {
        // A click on the selected radio item changes nothing and reports nothing.
        if (GetState(index) == gsOn) return;
        SetSelectedIndex(index);
    } else {
        TrkGlyphState next = GetState(index) == gsOn ? (FAllowGrayed ? gsGrayed : gsOff) : gsOn;
        SetState(index, next);
    }
    ClickCheck();
}

void TrkCheckListBox::ClickCheck() {
    if (FOnClickCheck) FOnClickCheck(this);
}

void TrkCheckListBox::DrawGlyph(RECT Rect, int index) { DrawCheck(Rect, GetState(index), GetAllowed(index)); }

void TrkCheckListBox::DrawCheck(RECT Rect, TrkGlyphState State, bool Enabled) {
    // A grayed radio item has no glyph: the strip stays empty.
    detail::DrawTransparentGlyph(Canvas(), Rect, RkGetGlyph(FKind, State, Enabled));
}

} // namespace tamrel
