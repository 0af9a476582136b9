#include "host/forms/Splitter.h"

#include <algorithm>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TSplitter) {
    b.Integer(L"MinSize", &TSplitter::MinSize, &TSplitter::SetMinSize, 30);
    b.Event(L"OnMoved", &TSplitter::OnMoved, &TSplitter::SetOnMoved);
}

TSplitter::TSplitter(TComponent* owner) : TCustomControl(owner) {
    FWidth = 3;
    FHeight = 100;
    SetAlign(alLeft);
    SetParentColor(true);
}

void TSplitter::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style &= ~static_cast<DWORD>(WS_TABSTOP);
}

TControl* TSplitter::ResizeControl() const {
    TWinControl* parent = Parent();
    if (!parent) return nullptr;
    TControl* best = nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == this || c->Align() != Align() || !c->Visible()) continue;
        // The control whose edge touches the splitter's edge on the side it is aligned to.
        bool touches = false;
        switch (Align()) {
        case alLeft: touches = c->Left() + c->Width() == Left(); break;
        case alRight: touches = c->Left() == Left() + Width(); break;
        case alTop: touches = c->Top() + c->Height() == Top(); break;
        case alBottom: touches = c->Top() == Top() + Height(); break;
        default: break;
        }
        if (touches) best = c;
    }
    return best;
}

void TSplitter::Paint() {
    TCanvas* c = Canvas();
    RECT r = ClientRect();
    c->Brush()->SetColor(Color());
    c->FillRect(r);
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    TControl* control = ResizeControl();
    if (button != mbLeft || !control) return;
    FSizing = true;
    GetCursorPos(&FDownAt);
    FStartSize = Horizontal() ? control->Height() : control->Width();
    SetCapture(Handle());
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    SetCursor(LoadCursorW(nullptr, Horizontal() ? IDC_SIZENS : IDC_SIZEWE));
    if (!FSizing) return;
    TControl* control = ResizeControl();
    TWinControl* parent = Parent();
    if (!control || !parent) return;
    POINT p = {};
    GetCursorPos(&p);
    int delta = Horizontal() ? p.y - FDownAt.y : p.x - FDownAt.x;
    if (Align() == alRight || Align() == alBottom) delta = -delta;
    // What the parent holds beside the control and the splitter must keep MinSize too.
    const int room = (Horizontal() ? parent->ClientHeight() : parent->ClientWidth()) - (Horizontal() ? Height() : Width());
    int others = 0;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c != control && c != this && c->Visible() && c->Align() == Align())
            others += Horizontal() ? c->Height() : c->Width();
    }
    const int size = std::clamp(FStartSize + delta, FMinSize, std::max(FMinSize, room - others - FMinSize));
    if (Horizontal()) control->SetHeight(size);
    else control->SetWidth(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (FSizing && button == mbLeft) {
        FSizing = false;
        if (GetCapture() == Handle()) ReleaseCapture();
        if (FOnMoved) FOnMoved(this);
    }
    TCustomControl::MouseUp(button, shift, x, y);
}

} // namespace tamrel
