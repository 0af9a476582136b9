#include "host/forms/ImgList.h"

#include <memory>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TCustomImageList) {
    b.Integer(L"Height", &TCustomImageList::Height, &TCustomImageList::SetHeight, 16);
    b.Integer(L"Width", &TCustomImageList::Width, &TCustomImageList::SetWidth, 16);
}
TAMREL_IMPLEMENT_CLASS(TImageList) {}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() { FreeHandle(); }

void TCustomImageList::FreeHandle() {
    if (FHandle) ImageList_Destroy(FHandle);
    FHandle = nullptr;
}

void TCustomImageList::Change() {
    if (FOnChange) FOnChange(this);
}

void TCustomImageList::SetWidth(int32_t value) { SetSize(value, FHeight); }
void TCustomImageList::SetHeight(int32_t value) { SetSize(FWidth, value); }

void TCustomImageList::SetSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) throw EInvalidOperation(L"Invalid image size");
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    FreeHandle();
    Change();
}

HIMAGELIST TCustomImageList::Handle() {
    if (!FHandle) {
        FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR24 | ILC_MASK, 4, 4);
        if (!FHandle) RaiseLastOSError();
    }
    return FHandle;
}

int TCustomImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
    if (!image || image->Empty()) throw EInvalidOperation(L"Invalid image");
    // The list copies the pixels; the bitmaps must not be selected into a device context.
    TBitmap img, msk;
    img.Assign(image);
    if (mask) msk.Assign(mask);
    int i = ImageList_Add(Handle(), img.Handle(), mask ? msk.Handle() : nullptr);
    if (i < 0) throw EInvalidOperation(L"Failed to add image");
    Change();
    return i;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
    if (!image || image->Empty()) throw EInvalidOperation(L"Invalid image");
    TBitmap img;
    img.Assign(image);
    int i = ImageList_AddMasked(Handle(), img.Handle(), ColorToRGB(maskColor));
    if (i < 0) throw EInvalidOperation(L"Failed to add image");
    Change();
    return i;
}

void TCustomImageList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    ImageList_Remove(FHandle, index);
    Change();
}

void TCustomImageList::Clear() {
    if (FHandle) ImageList_Remove(FHandle, -1);
    Change();
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
    if (!canvas || index < 0 || index >= Count()) return;
    HDC dc = canvas->Handle();
    if (enabled) {
        ImageList_Draw(FHandle, index, dc, x, y, ILD_TRANSPARENT);
        return;
    }
    // Disabled: the image's shape (its mask) in the shadow colour.
    TBitmap shape;
    shape.SetSize(FWidth, FHeight);
    ImageList_Draw(FHandle, index, shape.Canvas()->Handle(), 0, 0, ILD_MASK);
    const COLORREF shadow = ColorToRGB(clBtnShadow);
    for (int py = 0; py < FHeight; ++py)
        for (int px = 0; px < FWidth; ++px)
            if ((GetPixel(shape.Canvas()->Handle(), px, py) & 0xFFFFFF) == 0) SetPixelV(dc, x + px, y + py, shadow);
}

} // namespace tamrel
