#include "host/MessageBox.h"

#include "host/ModalHook.h"

#include <atomic>

namespace tamrel {

namespace {
std::atomic<TMessageBoxFunc> gMessageBoxFunc{nullptr};
} // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    if (TMessageBoxFunc f = gMessageBoxFunc.load()) return f(owner, text, caption, flags);
    TModalWindow box;
    box.Kind = TModalKind::mkMessageBox;
    box.Text = text;
    box.Caption = caption;
    return static_cast<int>(RunSystemModal(box, [&] { return MessageBoxW(owner, text.c_str(), caption.c_str(), flags); }));
}

TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc f) { return gMessageBoxFunc.exchange(f); }

} // namespace tamrel
