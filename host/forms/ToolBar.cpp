#include "host/forms/ToolBar.h"

#include <algorithm>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TToolBar

TAMREL_IMPLEMENT_CLASS(TToolBar) {
    b.Component(L"Images", &TToolBar::Images, &TToolBar::SetImages);
    b.Boolean(L"Flat", &TToolBar::Flat, &TToolBar::SetFlat, true);
    b.Integer(L"ButtonWidth", &TToolBar::ButtonWidth, &TToolBar::SetButtonWidth, 23);
    b.Integer(L"ButtonHeight", &TToolBar::ButtonHeight, &TToolBar::SetButtonHeight, 22);
}

TToolBar::TToolBar(TComponent* owner) : TCustomControl(owner) {
    FWidth = 150;
    FHeight = 29;
    SetColor(clBtnFace);
}

void TToolBar::SetImages(TCustomImageList* value) {
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (value) value->FreeNotification(this);
    Invalidate();
    for (int i = 0; i < ButtonCount(); ++i) Buttons(i)->Invalidate();
}

void TToolBar::SetFlat(bool value) {
    FFlat = value;
    Invalidate();
}

void TToolBar::SetButtonWidth(int32_t value) {
    FButtonWidth = std::max(value, 1);
    ArrangeButtons();
}

void TToolBar::SetButtonHeight(int32_t value) {
    FButtonHeight = std::max(value, 1);
    ArrangeButtons();
}

int TToolBar::ButtonCount() const {
    int n = 0;
    for (int i = 0; i < ControlCount(); ++i) n += dynamic_cast<TToolButton*>(Controls(i)) ? 1 : 0;
    return n;
}

TToolButton* TToolBar::Buttons(int index) const {
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(Controls(i)); b && index-- == 0) return b;
    throw EListError(SListIndexError, index);
}

void TToolBar::ArrangeButtons() {
    if (ComponentState().Contains(csLoading)) return;
    int x = 0;
    for (int i = 0; i < ControlCount(); ++i) {
        auto* b = dynamic_cast<TToolButton*>(Controls(i));
        if (!b) continue;
        const int w = b->Style() == tbsSeparator ? 8 : FButtonWidth;
        b->SetBounds(x, 2, w, FButtonHeight);
        x += w;
    }
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == opRemove && component == FImages) FImages = nullptr;
}

void TToolBar::Loaded() {
    TCustomControl::Loaded();
    ArrangeButtons();
}

void TToolBar::Paint() {
    TCanvas* c = Canvas();
    RECT r = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    if (!FFlat) DrawEdge(c->Handle(), &r, BDR_RAISEDINNER, BF_RECT);
}

// ---------------------------------------------------------------------------------------------
// TToolButton

TAMREL_IMPLEMENT_CLASS(TToolButton) {
    b.Enum(L"Style", &TToolButton::Style, &TToolButton::SetStyle, tbsButton);
    b.Integer(L"ImageIndex", &TToolButton::ImageIndex, &TToolButton::SetImageIndex, -1);
    b.Component(L"Action", &TToolButton::Action, &TToolButton::SetAction);
    b.Message<&TToolButton::WMMouseMove>(WM_MOUSEMOVE);
    b.Message<&TToolButton::CMMouseLeave>(WM_MOUSELEAVE);
}

TToolButton::TToolButton(TComponent* owner) : TCustomControl(owner) {
    FWidth = 23;
    FHeight = 22;
    SetTabStop(false);
    SetParentColor(true);
}

TToolButton::~TToolButton() { SetAction(nullptr); }

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(Parent()); }

void TToolButton::SetParent(TWinControl* parent) {
    TCustomControl::SetParent(parent);
    if (TToolBar* bar = ToolBar()) bar->ArrangeButtons();
}

void TToolButton::SetStyle(TToolButtonStyle value) {
    FStyle = value;
    if (TToolBar* bar = ToolBar()) bar->ArrangeButtons();
    Invalidate();
}

void TToolButton::SetImageIndex(int32_t value) {
    FImageIndex = value;
    Invalidate();
}

void TToolButton::SetAction(TBasicAction* value) {
    LinkAction(FAction, value);
}

void TToolButton::ActionChanged(TBasicAction* action) {
    if (!action) {
        FAction = nullptr;
        return;
    }
    if (auto* a = dynamic_cast<TAction*>(action)) {
        SetCaption(a->Caption());
        SetHint(a->Hint());
        SetEnabled(a->Enabled());
        FImageIndex = a->ImageIndex();
    }
    Invalidate();
}

void TToolButton::Click() {
    if (FStyle == tbsSeparator || !Enabled()) return;
    if (FAction) FAction->Execute();
    else TCustomControl::Click();
}

void TToolButton::PropertyChanged(UINT cm) {
    TCustomControl::PropertyChanged(cm);
    if (cm == CM_ENABLEDCHANGED || cm == CM_TEXTCHANGED) Invalidate();
}

void TToolButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && Enabled()) {
        FDown = true;
        Invalidate();
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TToolButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        FDown = false;
        Invalidate();
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

void TToolButton::WMMouseMove(TMessage& m) {
    FHotTracking.MouseMove(this);
    InheritedDispatch(TToolButton::StaticClassInfo(), m);
}

void TToolButton::CMMouseLeave(TMessage& m) { FHotTracking.MouseLeave(this, m); }

void TToolButton::Paint() {
    TCanvas* c = Canvas();
    RECT r = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    if (FStyle == tbsSeparator) {
        RECT line = {RectWidth(r) / 2 - 1, r.top + 2, RectWidth(r) / 2 + 1, r.bottom - 2};
        DrawEdge(c->Handle(), &line, EDGE_ETCHED, BF_LEFT);
        return;
    }
    const bool flat = ToolBar() ? ToolBar()->Flat() : true;
    if (FDown) DrawEdge(c->Handle(), &r, BDR_SUNKENOUTER, BF_RECT);
    else if (!flat || (FHotTracking.Hot() && Enabled())) DrawEdge(c->Handle(), &r, BDR_RAISEDINNER, BF_RECT);
    TCustomImageList* images = ToolBar() ? ToolBar()->Images() : nullptr;
    if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
        const int offset = FDown ? 1 : 0;
        images->Draw(c, (RectWidth(r) - images->Width()) / 2 + offset, (RectHeight(r) - images->Height()) / 2 + offset,
                     FImageIndex, Enabled());
    } else if (!GetText().empty()) {
        SetBkMode(c->Handle(), TRANSPARENT);
        c->Brush()->SetStyle(bsClear);
        c->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
        c->DrawText(r, GetText(), DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
}

} // namespace tamrel
