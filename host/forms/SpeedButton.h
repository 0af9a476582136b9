// The speed button: a small flat button that never takes the focus (so the focused control keeps
// its selection while the button acts on it), with an image of an image list or else a caption,
// and an action or OnClick. A flat button shows its edge only while the pointer is over it. A
// linked action gives its caption, hint, enabled state and image index.
#pragma once

#include "host/ActnList.h"
#include "host/Api.h"
#include "host/forms/Controls.h"
#include "host/forms/ImgList.h"

namespace tamrel {

class TAMREL_API TSpeedButton : public TCustomControl, public TActionClient {
    TAMREL_CLASS(TSpeedButton, TCustomControl)
public:
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* value);
    // The image shown (centred) when the list has it; not owned.
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t value);
    void Click() override;
    void ActionChanged(TBasicAction* action) override;
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void PropertyChanged(UINT cm) override;
    void WMMouseActivate(TMessage& m);
    void WMMouseMove(TMessage& m);
    void WMMouseLeave(TMessage& m);

private:
    bool FFlat = false;
    bool FDown = false;
    THotTracking FHotTracking;
    TBasicAction* FAction = nullptr;
    TCustomImageList* FImages = nullptr;
    int32_t FImageIndex = -1;
};

} // namespace tamrel
