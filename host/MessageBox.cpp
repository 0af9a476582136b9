#include "host/MessageBox.h"

#include "host/ModalHook.h"

#include <atomic>

namespace tamrel {

namespace {

int SystemMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    TModalWindow box;
    box.Kind = TModalKind::mkMessageBox;
    box.Text = text;
    box.Caption = caption;
    return static_cast<int>(RunSystemModal(box, [&] { return MessageBoxW(owner, text.c_str(), caption.c_str(), flags); }));
}

std::atomic<TMessageBoxFunc> GMessageBoxFunc{SystemMessageBox};

} // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    return GMessageBoxFunc.load()(owner, text, caption, flags);
}

TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc f) { return GMessageBoxFunc.exchange(f ? f : SystemMessageBox); }

} // namespace tamrel
