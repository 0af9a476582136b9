// The owner-drawn combo box with a glyph column, whose items come from the item protocol.
#pragma once

#include "host/Api.h"

#include "runtime/controls/Tamrel_ListBox.h"

namespace tamrel {

class TAMREL_API TrkCustomComboBox : public TCustomComboBox {
    TAMREL_CLASS(TrkCustomComboBox, TCustomComboBox)
public:
    // A drop-down list.
    explicit TrkCustomComboBox(TComponent* AComponent);

    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    int32_t DefaultItemHeight() const { return FDefaultItemHeight; }
    int32_t DefaultTextHeight() const { return FDefaultTextHeight; }
    bool Allowed(int index) { return GetAllowed(index); }
    void SetAllowedItem(int index, bool Value) { SetAllowed(index, Value); }
    int ImageIndex(int index) { return GetImageIndex(index); }

    // As for the list box: Changed(-1) rebuilds, Changed(i) refreshes item i.
    void Changed(int index);
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DrawItem(int Index, RECT Rect, TOwnerDrawState State) override;

    virtual bool GetAllowed(int /*index*/) { return true; }
    virtual void SetAllowed(int /*index*/, bool /*Value*/) {}
    virtual int GetCount() { return 0; }
    virtual int GetImageIndex(int /*Index*/) { return -1; }
    virtual std::wstring GetStrings(int /*index*/) { return std::wstring(); }
    virtual int GetGlyphWidth() { return 0; }
    virtual int GetGlyphHeight() { return 0; }
    virtual void DrawGlyph(RECT /*Rect*/, int /*index*/) {}

    int GlyphColumnWidth();
    // Measures "Wg" on the screen's own device context.
    void ResetItemHeight();
    void CMFontChanged(TMessage& Message);
    // The selection field as high as the items.
    void SetFieldHeight();
    void CNMeasureItem(TMessage& Message);
    void CNDrawItem(TMessage& Message);

private:
    TCustomImageList* FImages = nullptr;
    int32_t FDefaultItemHeight = 0;
    int32_t FDefaultTextHeight = 0;
};

} // namespace tamrel
