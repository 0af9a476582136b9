#include "host/forms/Buttons.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TBitBtn) { b.Message<&TBitBtn::CNDrawItem>(CN_DRAWITEM); }

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), FGlyph(new TBitmap), FCanvas(new TCanvas) {}

TBitBtn::~TBitBtn() = default;

void TBitBtn::SetGlyph(TBitmap* value) {
    bool had = !FGlyph->Empty();
    FGlyph->Assign(value);
    if (had != !FGlyph->Empty()) RecreateWnd();
    else Invalidate();
}

void TBitBtn::DefineProperties(TFiler& filer) {
    TButton::DefineProperties(filer);
    // The glyph travels in the stored form as the bytes of a .bmp file.
    filer.DefineBinaryProperty(
        L"GlyphData",
        [this](const std::vector<uint8_t>& data) {
            TBitmap b;
            b.LoadFromBytes(std::string(data.begin(), data.end()));
            SetGlyph(&b);
        },
        [this] {
            std::string bytes = FGlyph->SaveToBytes();
            return std::vector<uint8_t>(bytes.begin(), bytes.end());
        },
        !FGlyph->Empty());
}

void TBitBtn::CreateParams(TCreateParams& params) {
    TButton::CreateParams(params);
    if (!FGlyph->Empty()) params.Style = (params.Style & ~static_cast<DWORD>(0xF)) | BS_OWNERDRAW;
}

void TBitBtn::CNDrawItem(TMessage& m) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
    RECT r = dis->rcItem;
    const bool pressed = dis->itemState & ODS_SELECTED;
    const bool enabled = !(dis->itemState & ODS_DISABLED);
    DrawFrameControl(dis->hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    FCanvas->SetHandle(dis->hDC);
    TScopeExit release([this] { FCanvas->SetHandle(nullptr); });
    FCanvas->SetFont(Font());
    if (!enabled) FCanvas->Font()->SetColor(clGrayText);
    std::wstring text = GetText();
    const int gap = 4;
    SIZE t = FCanvas->TextExtent(text);
    const int total = FGlyph->Width() + (text.empty() ? 0 : gap + t.cx);
    int x = r.left + (RectWidth(r) - total) / 2 + (pressed ? 1 : 0);
    const int y = r.top + (RectHeight(r) - FGlyph->Height()) / 2 + (pressed ? 1 : 0);
    FCanvas->Brush()->SetStyle(bsClear);
    FCanvas->BrushCopy(RECT{x, y, x + FGlyph->Width(), y + FGlyph->Height()}, FGlyph.get(),
                       RECT{0, 0, FGlyph->Width(), FGlyph->Height()}, FGlyph->TransparentColor());
    x += FGlyph->Width() + gap;
    RECT tr = {x, r.top, r.right, r.bottom};
    FCanvas->DrawText(tr, text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (dis->itemState & ODS_FOCUS) {
        RECT f = r;
        InflateRect(&f, -4, -4);
        DrawFocusRect(dis->hDC, &f);
    }
    m.Result = TRUE;
}

} // namespace tamrel
