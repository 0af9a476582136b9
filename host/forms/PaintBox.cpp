#include "host/forms/PaintBox.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TPaintBox) { b.Event(L"OnPaint", &TPaintBox::OnPaint, &TPaintBox::SetOnPaint); }

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
    FWidth = 105;
    FHeight = 105;
    SetParentColor(true);
}

void TPaintBox::Paint() {
    Canvas()->SetFont(Font());
    Canvas()->Brush()->SetColor(Color());
    if (FOnPaint) FOnPaint(this);
}

} // namespace tamrel
