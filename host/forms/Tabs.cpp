#include "host/forms/Tabs.h"

#include "host/SysUtils.h"

#include <commctrl.h>

#include <algorithm>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TTabSet) {
    b.Object(L"Tabs", &TTabSet::Tabs);
    b.Integer(L"TabIndex", &TTabSet::TabIndex, &TTabSet::SetTabIndex, -1);
    b.Event(L"OnChange", &TTabSet::OnChange, &TTabSet::SetOnChange);
    b.Message<&TTabSet::CNNotify>(CN_NOTIFY);
}

TTabSet::TTabSet(TComponent* owner) : TWinControl(owner), FTabs(new TStringList) {
    LoadCommonControlClasses(ICC_TAB_CLASSES);
    FWidth = 185;
    FHeight = 21;
    SetTabStop(true);
    FTabs->SetOnChange(TNotifyEvent::Of<&TTabSet::TabsChanged>(this));
}

TTabSet::~TTabSet() { FTabs->SetOnChange(nullptr); }

void TTabSet::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = WC_TABCONTROLW;
    params.WinClassName = L"TamrelTabSet";
    params.Style |= TCS_BOTTOM | WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TTabSet::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateTabs();
}

void TTabSet::SetTabIndex(int32_t value) {
    if (value < 0 || value >= FTabs->Count()) value = -1;
    if (value == FTabIndex) return;
    FTabIndex = value;
    if (HandleAllocated()) SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(FTabIndex), 0);
    Change();
}

void TTabSet::TabsChanged(TObject*) {
    if (FTabIndex >= FTabs->Count()) FTabIndex = FTabs->Count() - 1;
    UpdateTabs();
}

void TTabSet::UpdateTabs() {
    if (!HandleAllocated() || ComponentState().Contains(csDestroying)) return;
    HWND wnd = Handle();
    SendMessageW(wnd, TCM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < FTabs->Count(); ++i) {
        std::wstring caption = FTabs->Get(i);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        if (SendMessageW(wnd, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)) < 0)
            RaiseLastOSError();
    }
    SendMessageW(wnd, TCM_SETCURSEL, static_cast<WPARAM>(FTabIndex), 0);
    // The rows of tabs decide the display area.
    Realign();
}

RECT TTabSet::DisplayRect() {
    RECT r = ClientRect();
    if (HandleAllocated()) {
        SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    } else {
        // Until the row exists: one row of tabs of the font's height.
        r.bottom -= FontTextHeight(Font()) + 8;
        InflateRect(&r, -4, -4);
    }
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

RECT TTabSet::TabRect(int32_t index) {
    RECT r = {};
    if (!HandleAllocated() || !SendMessageW(Handle(), TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)))
        return RECT{};
    return r;
}

void TTabSet::AlignControls(RECT& rect) {
    rect = DisplayRect();
    TWinControl::AlignControls(rect);
}

void TTabSet::Change() {
    if (FOnChange) FOnChange(this);
}

void TTabSet::CNNotify(TMessage& m) {
    const auto* header = reinterpret_cast<const NMHDR*>(m.LParam);
    if (header->code != TCN_SELCHANGE) return;
    const int32_t index = static_cast<int32_t>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0));
    if (index == FTabIndex) return;
    FTabIndex = index;
    Change();
}

} // namespace tamrel
