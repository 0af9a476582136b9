// The splitter: a bar aligned to one side of its parent that the user drags to resize the control
// aligned before it on the same side (the list on the left of a splitter aligned left). The
// control keeps at least MinSize pixels, and so does the space the splitter leaves.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

namespace tamrel {

class TAMREL_API TSplitter : public TCustomControl {
    TAMREL_CLASS(TSplitter, TCustomControl)
public:
    explicit TSplitter(TComponent* owner);
    int32_t MinSize() const { return FMinSize; }
    void SetMinSize(int32_t value) { FMinSize = value; }
    TNotifyEvent OnMoved() const { return FOnMoved; }
    void SetOnMoved(TNotifyEvent e) { FOnMoved = e; }
    // The control it resizes: the nearest one before it on its side, or null.
    TControl* ResizeControl() const;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    bool Horizontal() const { return Align() == alTop || Align() == alBottom; }
    int32_t FMinSize = 30;
    bool FSizing = false;
    POINT FDownAt{};
    int32_t FStartSize = 0;
    TNotifyEvent FOnMoved;
};

} // namespace tamrel
