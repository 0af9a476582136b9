// The speed button: a small flat button that never takes the focus (so the focused control keeps
// its selection while the button acts on it), with a caption, and an action or OnClick.
#pragma once

#include "host/ActnList.h"
#include "host/Api.h"
#include "host/Controls.h"

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
    void Click() override;
    void ActionChanged(TBasicAction* action) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void PropertyChanged(UINT cm) override;
    void WMMouseActivate(TMessage& m);

private:
    bool FFlat = false;
    bool FDown = false;
    TBasicAction* FAction = nullptr;
};

} // namespace tamrel
