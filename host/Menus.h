// Menus of the host framework: menu items with sub-items, the main menu of a form and the
// popup menu that shows them with TrackPopupMenu. An item may show a check mark (a round one for
// a radio item: checking one unchecks the radio items of its group beside it) and may be linked
// to an action, whose caption, enabled and checked state it then shows and which it runs when
// clicked.
//
// A menu's window-side entries are made from its items when it is first shown and follow every
// later change of an item (caption, state, sub-items). Opening an item's sub-menu runs that
// item's Click first (WM_INITMENUPOPUP), so an OnClick there can set its sub-items' state before
// they show; choosing a command runs its Click.
#pragma once

#include "host/ActnList.h"
#include "host/Classes.h"
#include "host/Messages.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrel {

class TMenu;

class TAMREL_API TMenuItem : public TComponent, public TActionClient {
    TAMREL_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    // Published.
    // "-" makes the item a separator.
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value);
    // The item shown in bold; a double click on an owner such as a tray icon runs it.
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    TNotifyEvent OnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent Value) { FOnClick = Value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool Value);
    uint8_t GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(uint8_t Value) { FGroupIndex = Value; }
    TBasicAction* Action() const { return FAction; }
    void SetAction(TBasicAction* Value);

    // Runs the action, else OnClick, when the item is enabled.
    virtual void Click();
    void ActionChanged(TBasicAction* Action) override;

    // Sub-items, owned by this item: freeing the item frees them.
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError for an index out of range.
    TMenuItem* Items(int Index) const;
    TMenuItem* Parent() const { return FParent; }
    // Takes Item over (from its previous parent, if any).
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    // Takes Item out without freeing it.
    void Remove(TMenuItem* Item);
    int IndexOf(const TMenuItem* Item) const;
    void Clear();
    // The menu whose tree holds the item; null for an item outside a menu.
    TMenu* GetMenu() const;

    // A stored item names its parent item or its menu as its parent.
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* AParent) override;

private:
    friend class TMenu;
    // Tells the menu that the entries under Parent must be made again.
    void Changed(TMenuItem* Parent);

    std::wstring FCaption;
    bool FDefault = false;
    bool FEnabled = true;
    bool FChecked = false;
    bool FRadioItem = false;
    uint8_t FGroupIndex = 0;
    TBasicAction* FAction = nullptr;
    TNotifyEvent FOnClick;
    TMenuItem* FParent = nullptr;
    std::vector<TMenuItem*> FItems;
    TMenu* FMenu = nullptr;  // set on a menu's root item
    HMENU FHandle = nullptr; // the sub-menu while the menu's entries exist
    UINT FCommand = 0;       // the command id, given when the item first became an entry
};

// What main and popup menus share: the root item, the entries made from the items, and the
// dispatch of the window messages of an open menu.
class TAMREL_API TMenu : public TComponent {
    TAMREL_CLASS(TMenu, TComponent)
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;

    // The top-level items are the sub-items of this root item.
    TMenuItem* Items() const { return FItems; }
    // The menu's entries, made from the items on first need.
    HMENU Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    // WM_COMMAND of a menu entry: runs the item of that command id; false for another id.
    bool DispatchCommand(UINT Command);
    // WM_INITMENUPOPUP: runs the item whose sub-menu opens; false for a foreign menu.
    bool DispatchPopup(HMENU Menu);

protected:
    // The empty menu of the root: a menu bar or a popup menu.
    virtual HMENU CreateMenuHandle() = 0;
    // After the root's entries were made again.
    virtual void RootChanged() {}
    void DestroyHandle();

private:
    friend class TMenuItem;
    void Refill(TMenuItem& Parent);
    void AppendEntries(HMENU Menu, TMenuItem& Parent);
    void ForgetHandles(TMenuItem& Parent);

    TMenuItem* FItems;
    HMENU FHandle = nullptr;
    UINT FNextCommand;
};

// The menu bar of a form (the form's Menu).
class TAMREL_API TMainMenu : public TMenu {
    TAMREL_CLASS(TMainMenu, TMenu)
public:
    explicit TMainMenu(TComponent* AOwner);
    ~TMainMenu() override;
    // The window showing the bar, redrawn when the bar changes; set by the form.
    HWND Window() const { return FWindow; }
    void SetWindow(HWND Value) { FWindow = Value; }

protected:
    HMENU CreateMenuHandle() override;
    void RootChanged() override;

private:
    HWND FWindow = nullptr;
};

class TAMREL_API TPopupMenu : public TMenu {
    TAMREL_CLASS(TPopupMenu, TMenu)
public:
    explicit TPopupMenu(TComponent* AOwner);

    // Shows the menu at the screen point and waits until it closes; the chosen item's Click runs
    // afterwards, on this thread. The menu belongs to a hidden window of the calling thread.
    // OnPopup runs first, so that it can set the items up.
    virtual void Popup(int X, int Y);
    TNotifyEvent OnPopup() const { return FOnPopup; }
    void SetOnPopup(TNotifyEvent Value) { FOnPopup = Value; }

protected:
    HMENU CreateMenuHandle() override;

private:
    void OwnerMessage(TMessage& Message);
    HWND FOwner = nullptr;
    TNotifyEvent FOnPopup;
};

} // namespace tamrel
