#include "host/forms/Hints.h"

#include <commctrl.h>

namespace tamrel {

namespace {

constexpr wchar_t kHintProperty[] = L"TamrelHints";

void AddTools(HWND tip, HWND owner, TWinControl* parent, bool rootShows) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* c = dynamic_cast<TWinControl*>(parent->Controls(i));
        if (!c) continue;
        if (!c->Hint().empty() && (c->ShowHint() || rootShows)) {
            TTTOOLINFOW tool = {};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = owner;
            tool.uId = reinterpret_cast<UINT_PTR>(c->Handle());
            std::wstring text = c->Hint();
            tool.lpszText = text.data(); // copied by the tooltip
            SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        AddTools(tip, owner, c, rootShows);
    }
}

} // namespace

HWND ShowControlHints(TWinControl* root) {
    HWND owner = root->Handle();
    auto tip = static_cast<HWND>(GetPropW(owner, kHintProperty));
    if (!tip || !IsWindow(tip)) {
        LoadCommonControlClasses(ICC_WIN95_CLASSES);
        tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr, nullptr);
        if (!tip) return nullptr;
        SetPropW(owner, kHintProperty, tip);
    }
    // Start again from no tools.
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    while (SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) {
        SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        tool = {};
        tool.cbSize = sizeof tool;
    }
    AddTools(tip, owner, root, root->ShowHint());
    return tip;
}

} // namespace tamrel
