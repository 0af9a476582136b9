#include "runtime/sessions/Tamrel_TrayIcon.h"

#include "host/HiddenWindow.h"
#include "host/HostApplication.h"

namespace tamrel {

namespace {
// Sent to every top-level window when the taskbar is made anew (the shell restarted).
const UINT WM_TASKBARCREATED = RegisterWindowMessageW(L"TaskbarCreated");
// The icon's number among the window's icons: one icon per component and window.
constexpr UINT kIconId = 1;
constexpr size_t kHintLength = 63;
} // namespace

TAMREL_IMPLEMENT_CLASS(TrkTrayIcon) {
    using T = TrkTrayIcon;
    b.Boolean(L"Active", &T::Active, &T::SetActive, false);
    b.Object(L"Icon", &T::Icon);
    b.Boolean(L"ShowDesignTime", &T::ShowDesignTime, &T::SetShowDesignTime, false);
    b.Component(L"PopupMenu", &T::PopupMenu, &T::SetPopupMenu);
    b.String(L"Hint", &T::Hint, &T::SetHint);
    b.Event(L"OnClick", &T::OnClick, &T::SetOnClick);
    b.Event(L"OnDblClick", &T::OnDblClick, &T::SetOnDblClick);
    b.Event(L"OnMouseMove", &T::OnMouseMove, &T::SetOnMouseMove);
    b.Event(L"OnMouseDown", &T::OnMouseDown, &T::SetOnMouseDown);
    b.Event(L"OnMouseUp", &T::OnMouseUp, &T::SetOnMouseUp);
}

TrkTrayIcon::TrkTrayIcon(TComponent* AOwner)
    : TComponent(AOwner), FNotifyData(new NOTIFYICONDATAW{}), FIcon(new TIcon) {
    FNotifyData->uID = kIconId;
    FIcon->SetOnChange(TNotifyEvent::Of<&TrkTrayIcon::IconChanged>(this));
    FIconHWND = AllocateHWnd(TWndMethod::Of<&TrkTrayIcon::WndProc>(this));
}

TrkTrayIcon::~TrkTrayIcon() {
    if (FActive) HideTrayIcon();
    FIcon->SetOnChange(nullptr);
    DeallocateHWnd(FIconHWND);
}

void TrkTrayIcon::Shell(DWORD Message) {
    if (Designing() && !FShowDesignTime) return;
    // The shell's answer is not checked: changing an icon that is not shown does nothing.
    Shell_NotifyIconW(Message, FNotifyData.get());
}

void TrkTrayIcon::PrepareNotifyIconData() {
    NOTIFYICONDATAW& d = *FNotifyData;
    d.cbSize = sizeof(NOTIFYICONDATAW);
    d.hWnd = FIconHWND;
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = WM_TRAYICON_CALLBACK;
    d.hIcon = FIcon->Handle();
    const size_t n = std::min(FHint.size(), std::size(d.szTip) - 1);
    FHint.copy(d.szTip, n);
    d.szTip[n] = L'\0';
}

void TrkTrayIcon::ShowTrayIcon() {
    PrepareNotifyIconData();
    Shell(NIM_ADD);
}

void TrkTrayIcon::HideTrayIcon() { Shell(NIM_DELETE); }

void TrkTrayIcon::UpdateTrayIcon() {
    if (FUpdating) return;
    PrepareNotifyIconData();
    Shell(NIM_MODIFY);
}

void TrkTrayIcon::UnlockUpdates() {
    FUpdating = false;
    UpdateTrayIcon();
}

void TrkTrayIcon::IconChanged(TObject*) { UpdateTrayIcon(); }

void TrkTrayIcon::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (Value) ShowTrayIcon();
    else HideTrayIcon();
}

void TrkTrayIcon::SetShowDesignTime(bool Value) {
    if (!Value && FActive && Designing()) HideTrayIcon();
    FShowDesignTime = Value;
    if (Value && FActive) ShowTrayIcon();
}

void TrkTrayIcon::SetPopupMenu(TPopupMenu* Value) {
    if (Value == FPopupMenu) return;
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TrkTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TrkTrayIcon::SetHint(const std::wstring& Value) {
    FHint = Value.substr(0, kHintLength);
    UpdateTrayIcon();
}

void TrkTrayIcon::Click() {
    if (FOnClick) FOnClick(this);
}

void TrkTrayIcon::DblClick() {
    if (FPopupMenu && !Designing()) {
        TMenuItem* items = FPopupMenu->Items();
        for (int i = 0; i < items->Count(); ++i) {
            if (items->Items(i)->Default()) {
                items->Items(i)->Click();
                break;
            }
        }
    }
    if (FOnDblClick) FOnDblClick(this);
}

void TrkTrayIcon::MouseMessage(UINT Mouse) {
    POINT p = {};
    GetCursorPos(&p);
    const TShiftState shift = KeyboardShiftState();
    switch (Mouse) {
    case WM_MOUSEMOVE:
        if (FOnMouseMove) FOnMouseMove(this, shift, p.x, p.y);
        break;
    case WM_LBUTTONDOWN:
        FClicked |= 1;
        if (FOnMouseDown) FOnMouseDown(this, mbLeft, shift, p.x, p.y);
        break;
    case WM_LBUTTONUP:
        if (FClicked & 1) Click();
        FClicked &= ~1u;
        if (FOnMouseUp) FOnMouseUp(this, mbLeft, shift, p.x, p.y);
        break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        DblClick();
        break;
    case WM_RBUTTONDOWN:
        FClicked |= 2;
        if (FOnMouseDown) FOnMouseDown(this, mbRight, shift, p.x, p.y);
        break;
    case WM_RBUTTONUP:
        if ((FClicked & 2) && FPopupMenu) {
            // The menu closes when the user clicks elsewhere only if its owner is in front, and
            // the next one does so only once the owner has had a message after this one.
            const HWND front = HostApplication->Handle();
            if (front) SetForegroundWindow(front);
            HostApplication->ProcessMessages();
            FPopupMenu->Popup(p.x, p.y);
            if (front) PostMessageW(front, WM_NULL, 0, 0);
        }
        FClicked &= ~2u;
        if (FOnMouseUp) FOnMouseUp(this, mbRight, shift, p.x, p.y);
        break;
    default:
        break;
    }
}

void TrkTrayIcon::WndProc(TMessage& Message) {
    if (Message.Msg == WM_TASKBARCREATED) {
        if (FActive) ShowTrayIcon();
        return;
    }
    if (Message.Msg == WM_TRAYICON_CALLBACK) {
        MouseMessage(static_cast<UINT>(Message.LParam));
        return;
    }
    Message.Result = DefWindowProcW(FIconHWND, Message.Msg, Message.WParam, Message.LParam);
}

} // namespace tamrel
