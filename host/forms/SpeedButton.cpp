#include "host/forms/SpeedButton.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TSpeedButton) {
    b.String(L"Caption", &TSpeedButton::GetText, &TSpeedButton::SetText);
    b.Boolean(L"Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false);
    b.Component(L"Action", &TSpeedButton::Action, &TSpeedButton::SetAction);
    b.Component(L"Images", &TSpeedButton::Images, &TSpeedButton::SetImages);
    b.Integer(L"ImageIndex", &TSpeedButton::ImageIndex, &TSpeedButton::SetImageIndex, -1);
    b.Message<&TSpeedButton::WMMouseActivate>(WM_MOUSEACTIVATE);
    b.Message<&TSpeedButton::WMMouseMove>(WM_MOUSEMOVE);
    b.Message<&TSpeedButton::WMMouseLeave>(WM_MOUSELEAVE);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TCustomControl(owner) {
    FWidth = 23;
    FHeight = 22;
    SetTabStop(false);
    SetParentColor(true);
}

TSpeedButton::~TSpeedButton() {
    SetAction(nullptr);
    SetImages(nullptr);
}

void TSpeedButton::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style &= ~static_cast<DWORD>(WS_TABSTOP);
}

void TSpeedButton::SetFlat(bool value) {
    FFlat = value;
    Invalidate();
}

void TSpeedButton::SetAction(TBasicAction* value) {
    LinkAction(FAction, value);
}

void TSpeedButton::SetImages(TCustomImageList* value) {
    if (value == FImages) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (FImages) FImages->FreeNotification(this);
    Invalidate();
}

void TSpeedButton::SetImageIndex(int32_t value) {
    if (value == FImageIndex) return;
    FImageIndex = value;
    Invalidate();
}

void TSpeedButton::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == opRemove && component == FImages) FImages = nullptr;
}

void TSpeedButton::ActionChanged(TBasicAction* action) {
    if (!action) {
        FAction = nullptr;
        return;
    }
    if (auto* a = dynamic_cast<TAction*>(action)) {
        SetCaption(a->Caption());
        SetHint(a->Hint());
        SetEnabled(a->Enabled());
        SetImageIndex(a->ImageIndex());
    }
}

void TSpeedButton::Click() {
    if (!Enabled()) return;
    if (FAction) FAction->Execute();
    else TCustomControl::Click();
}

// A click does not take the focus from where it is.
void TSpeedButton::WMMouseActivate(TMessage& m) { m.Result = MA_NOACTIVATE; }

void TSpeedButton::WMMouseMove(TMessage& m) {
    FHotTracking.MouseMove(this);
    InheritedDispatch(TSpeedButton::StaticClassInfo(), m);
}

void TSpeedButton::WMMouseLeave(TMessage& m) { FHotTracking.MouseLeave(this, m); }

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && Enabled()) {
        FDown = true;
        SetCapture(Handle());
        Invalidate();
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && FDown) {
        FDown = false;
        if (GetCapture() == Handle()) ReleaseCapture();
        Invalidate();
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::PropertyChanged(UINT cm) {
    TCustomControl::PropertyChanged(cm);
    if (cm == CM_ENABLEDCHANGED || cm == CM_TEXTCHANGED || cm == CM_FONTCHANGED) Invalidate();
}

void TSpeedButton::Paint() {
    TCanvas* c = Canvas();
    RECT r = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(r);
    if (FDown) DrawEdge(c->Handle(), &r, FFlat ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
    else if (!FFlat) DrawEdge(c->Handle(), &r, EDGE_RAISED, BF_RECT);
    else if (FHotTracking.Hot() && Enabled()) DrawEdge(c->Handle(), &r, BDR_RAISEDINNER, BF_RECT);
    if (FDown) OffsetRect(&r, 1, 1);
    if (FImages && FImageIndex >= 0 && FImageIndex < FImages->Count()) {
        FImages->Draw(c, r.left + (RectWidth(r) - FImages->Width()) / 2, r.top + (RectHeight(r) - FImages->Height()) / 2,
                      FImageIndex, Enabled());
        return;
    }
    SetBkMode(c->Handle(), TRANSPARENT);
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(Font());
    c->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
    c->DrawText(r, GetText(), DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

} // namespace tamrel
