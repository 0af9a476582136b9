// Bitmap buttons: push buttons (Default, Cancel, ModalResult as TButton) that show a glyph left of
// their caption when one is given.
#pragma once

#include "host/Api.h"
#include "host/forms/StdCtrls.h"

#include <memory>

namespace tamrel {

class TAMREL_API TBitBtn : public TButton {
    TAMREL_CLASS(TBitBtn, TButton)
public:
    explicit TBitBtn(TComponent* owner);
    ~TBitBtn() override;
    // The picture; its bottom-left pixel's colour is transparent. Empty: a plain push button.
    TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* value);
    void DefineProperties(TFiler& filer) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CNDrawItem(TMessage& m);

private:
    std::unique_ptr<TBitmap> FGlyph;
    std::unique_ptr<TCanvas> FCanvas;
};

} // namespace tamrel
