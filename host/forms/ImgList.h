// Image lists: equally sized images in one system image list, drawn by index on a canvas,
// enabled or dimmed.
#pragma once

#include "host/Api.h"

#include "host/forms/Graphics.h"

#include <commctrl.h>

namespace tamrel {

class TAMREL_API TCustomImageList : public TComponent {
    TAMREL_CLASS(TCustomImageList, TComponent)
public:
    explicit TCustomImageList(TComponent* owner);
    ~TCustomImageList() override;

    int32_t Width() const { return FWidth; }
    void SetWidth(int32_t value);
    int32_t Height() const { return FHeight; }
    void SetHeight(int32_t value);
    // The images go when the size changes.
    void SetSize(int32_t width, int32_t height);
    int Count() const;

    // Adds an image with an optional mask (black shows, white is transparent); answers its index.
    int Add(TBitmap* image, TBitmap* mask);
    // Adds an image whose pixels of MaskColor are transparent.
    int AddMasked(TBitmap* image, TColor maskColor);
    void Delete(int index);
    void Clear();
    // Draws image Index with its top-left corner at (X, Y). A disabled image is drawn as its
    // shape in the shadow colour.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);

    HIMAGELIST Handle();
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

protected:
    void Change();

private:
    void FreeHandle();
    int32_t FWidth = 16, FHeight = 16;
    HIMAGELIST FHandle = nullptr;
    TNotifyEvent FOnChange;
};

class TAMREL_API TImageList : public TCustomImageList {
    TAMREL_CLASS(TImageList, TCustomImageList)
public:
    explicit TImageList(TComponent* owner) : TCustomImageList(owner) {}
};

} // namespace tamrel
