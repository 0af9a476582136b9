// The paint box: a windowless area that OnPaint draws on. The canvas carries the box's font and,
// as its brush, the box's colour; the box erases nothing, so its parent's ground shows wherever
// OnPaint draws nothing.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

namespace tamrel {

class TAMREL_API TPaintBox : public TGraphicControl {
    TAMREL_CLASS(TPaintBox, TGraphicControl)
public:
    explicit TPaintBox(TComponent* owner);
    TNotifyEvent OnPaint() const { return FOnPaint; }
    void SetOnPaint(TNotifyEvent e) { FOnPaint = e; }

protected:
    void Paint() override;

private:
    TNotifyEvent FOnPaint;
};

} // namespace tamrel
