// The tool bar: a strip of flat buttons laid out left to right in the order they were placed,
// each showing an image of the bar's image list, its hint as a tooltip, and running its action (or
// OnClick) when clicked. A separator button leaves a gap.
#pragma once

#include "host/ActnList.h"
#include "host/Api.h"
#include "host/forms/Controls.h"
#include "host/forms/ImgList.h"

namespace tamrel {

TAMREL_ENUM(TToolButtonStyle, tbsButton, tbsSeparator);

class TToolButton;

class TAMREL_API TToolBar : public TCustomControl {
    TAMREL_CLASS(TToolBar, TCustomControl)
public:
    explicit TToolBar(TComponent* owner);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    int32_t ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int32_t value);
    int32_t ButtonHeight() const { return FButtonHeight; }
    void SetButtonHeight(int32_t value);
    // The buttons in their order on the bar.
    int ButtonCount() const;
    TToolButton* Buttons(int index) const;
    // Places the buttons one after another.
    void ArrangeButtons();
    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;

protected:
    void Paint() override;

private:
    TCustomImageList* FImages = nullptr;
    bool FFlat = true;
    int32_t FButtonWidth = 23;
    int32_t FButtonHeight = 22;
};

class TAMREL_API TToolButton : public TCustomControl, public TActionClient {
    TAMREL_CLASS(TToolButton, TCustomControl)
public:
    explicit TToolButton(TComponent* owner);
    ~TToolButton() override;
    TToolBar* ToolBar() const;
    TToolButtonStyle Style() const { return FStyle; }
    void SetStyle(TToolButtonStyle value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t value);
    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* value);
    void SetParent(TWinControl* parent) override;
    void Click() override;
    void ActionChanged(TBasicAction* action) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void CMMouseLeave(TMessage& m);
    void WMMouseMove(TMessage& m);
    void PropertyChanged(UINT cm) override;

private:
    TToolButtonStyle FStyle = tbsButton;
    int32_t FImageIndex = -1;
    TBasicAction* FAction = nullptr;
    bool FDown = false;
    THotTracking FHotTracking;
};

} // namespace tamrel
