#include "host/SpeedButton.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TSpeedButton) {
    b.String(L"Caption", &TSpeedButton::GetText, &TSpeedButton::SetText);
    b.Boolean(L"Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false);
    b.Component(L"Action", &TSpeedButton::Action, &TSpeedButton::SetAction);
    b.Message<&TSpeedButton::WMMouseActivate>(WM_MOUSEACTIVATE);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TCustomControl(owner) {
    FWidth = 23;
    FHeight = 22;
    SetTabStop(false);
    SetParentColor(true);
}

TSpeedButton::~TSpeedButton() { SetAction(nullptr); }

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

void TSpeedButton::ActionChanged(TBasicAction* action) {
    if (!action) {
        FAction = nullptr;
        return;
    }
    if (auto* a = dynamic_cast<TAction*>(action)) {
        SetCaption(a->Caption());
        SetHint(a->Hint());
        SetEnabled(a->Enabled());
    }
}

void TSpeedButton::Click() {
    if (!Enabled()) return;
    if (FAction) FAction->Execute();
    else TCustomControl::Click();
}

// A click does not take the focus from where it is.
void TSpeedButton::WMMouseActivate(TMessage& m) { m.Result = MA_NOACTIVATE; }

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
    if (FDown) DrawEdge(c->Handle(), &r, EDGE_SUNKEN, BF_RECT);
    else if (!FFlat) DrawEdge(c->Handle(), &r, EDGE_RAISED, BF_RECT);
    if (FDown) OffsetRect(&r, 1, 1);
    SetBkMode(c->Handle(), TRANSPARENT);
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(Font());
    c->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
    c->DrawText(r, GetText(), DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

} // namespace tamrel
