#include "host/forms/Capture.h"

namespace tamrel {

std::unique_ptr<TBitmap> CaptureControl(TWinControl* control, bool wholeWindow) {
    HWND wnd = control->Handle();
    RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r = {};
    if (wholeWindow) GetWindowRect(wnd, &r);
    else GetClientRect(wnd, &r);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(RectWidth(r), RectHeight(r));
    if (bitmap->Empty()) return bitmap;
    TWindowDc dc(wnd, wholeWindow);
    if (!dc.Get()) RaiseLastOSError();
    if (!BitBlt(bitmap->Canvas()->Handle(), 0, 0, RectWidth(r), RectHeight(r), dc.Get(), 0, 0, SRCCOPY))
        RaiseLastOSError();
    return bitmap;
}

} // namespace tamrel
