// The scroll box: a container with a sunken edge whose scroll bars reach the extent of its
// children. The range follows the children that are not aligned, as the box lays its children
// out (each time one of its graphic children moves or is resized, and when the box is resized);
// a scroll bar shows only while the children reach past the client area. Scrolling moves those
// children (their Left and Top go negative) and repaints the box.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"

namespace tamrel {

class TAMREL_API TScrollBox : public TWinControl {
    TAMREL_CLASS(TScrollBox, TWinControl)
public:
    explicit TScrollBox(TComponent* owner);

    // How far the content is scrolled, in pixels; each is kept within its range.
    int32_t HorzPosition() const { return FPos[0]; }
    void SetHorzPosition(int32_t value) { ScrollTo(0, value); }
    int32_t VertPosition() const { return FPos[1]; }
    void SetVertPosition(int32_t value) { ScrollTo(1, value); }
    // The width and height of the content: the farthest right and bottom edge of a child that
    // is not aligned, unscrolled.
    int32_t HorzRange() const { return FRange[0]; }
    int32_t VertRange() const { return FRange[1]; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void AlignControls(RECT& rect) override;
    void WMHScroll(TMessage& m);
    void WMVScroll(TMessage& m);

private:
    // Bar 0 is the horizontal one, 1 the vertical one.
    void ScrollTo(int bar, int32_t position);
    void Scroll(int bar, WPARAM code);
    void UpdateScrollBars();
    int32_t MaxPosition(int bar);

    int32_t FPos[2] = {0, 0};
    int32_t FRange[2] = {0, 0};
    bool FScrolling = false; // children move: their layout does not change the range
    bool FUpdating = false;
};

} // namespace tamrel
