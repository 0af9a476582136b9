// The notification-area icon: an icon with a tip in the taskbar's notification area. The shell's
// callback messages become mouse and click events, a right click pops up a menu, a double click
// runs the menu's default item, and the icon comes back when the taskbar is made anew.
#pragma once

#include "host/forms/Controls.h"
#include "host/forms/Graphics.h"
#include "host/Menus.h"

#include <shellapi.h>

#include <memory>

namespace tamrel {

// The message the shell sends the icon's window for mouse actions on the icon.
inline constexpr UINT WM_TRAYICON_CALLBACK = 0xB05A;

class TAMREL_API TrkTrayIcon : public TComponent {
    TAMREL_CLASS(TrkTrayIcon, TComponent)
public:
    explicit TrkTrayIcon(TComponent* AOwner);
    ~TrkTrayIcon() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    // Owned; a change of it updates the icon shown.
    TIcon* Icon() const { return FIcon.get(); }
    void SetIcon(TIcon* Value) { FIcon->Assign(Value); }
    bool ShowDesignTime() const { return FShowDesignTime; }
    void SetShowDesignTime(bool Value);
    // Not owned; cleared when the menu goes first.
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);
    // At most 63 characters: a longer text is cut.
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& Value);
    TNotifyEvent OnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent e) { FOnClick = e; }
    TNotifyEvent OnDblClick() const { return FOnDblClick; }
    void SetOnDblClick(TNotifyEvent e) { FOnDblClick = e; }
    TMouseMoveEvent OnMouseMove() const { return FOnMouseMove; }
    void SetOnMouseMove(TMouseMoveEvent e) { FOnMouseMove = e; }
    TMouseEvent OnMouseDown() const { return FOnMouseDown; }
    void SetOnMouseDown(TMouseEvent e) { FOnMouseDown = e; }
    TMouseEvent OnMouseUp() const { return FOnMouseUp; }
    void SetOnMouseUp(TMouseEvent e) { FOnMouseUp = e; }

    // Between the two, changes of Icon and Hint reach the shell once, at the unlock.
    void LockUpdates() { FUpdating = true; }
    void UnlockUpdates();

    // The window the shell calls back, and the record handed to the shell.
    HWND IconWindow() const { return FIconHWND; }
    const NOTIFYICONDATAW& NotifyData() const { return *FNotifyData; }

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    virtual void PrepareNotifyIconData();
    virtual void ShowTrayIcon();
    virtual void HideTrayIcon();
    virtual void UpdateTrayIcon();
    virtual void Click();
    virtual void DblClick();

private:
    bool Designing() const { return ComponentState().Contains(csDesigning); }
    void Shell(DWORD Message);
    void IconChanged(TObject* Sender);
    void WndProc(TMessage& Message);
    void MouseMessage(UINT Mouse);

    std::unique_ptr<NOTIFYICONDATAW> FNotifyData;
    std::unique_ptr<TIcon> FIcon;
    HWND FIconHWND = nullptr;
    bool FActive = false;
    bool FShowDesignTime = false;
    TPopupMenu* FPopupMenu = nullptr;
    std::wstring FHint;
    unsigned FClicked = 0;
    bool FUpdating = false;
    TNotifyEvent FOnClick, FOnDblClick;
    TMouseMoveEvent FOnMouseMove;
    TMouseEvent FOnMouseDown, FOnMouseUp;
};

} // namespace tamrel
