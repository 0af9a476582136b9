// Menus of the host framework: menu items with sub-items, and the popup menu that shows them
// with TrackPopupMenu. An item may show a check mark (a round one for a radio item: checking one
// unchecks the radio items of its group beside it) and may be linked to an action, whose caption,
// enabled and checked state it then shows and which it runs when clicked.
#pragma once

#include "host/ActnList.h"
#include "host/Classes.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrel {

class TAMREL_API TMenuItem : public TComponent, public TActionClient {
    TAMREL_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    // Published.
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value) { FCaption = Value; }
    // The item shown in bold; a double click on an owner such as a tray icon runs it.
    bool Default() const { return FDefault; }
    void SetDefault(bool Value) { FDefault = Value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }
    TNotifyEvent OnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent Value) { FOnClick = Value; }
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool Value) { FRadioItem = Value; }
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

private:
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
};

class TAMREL_API TPopupMenu : public TComponent {
    TAMREL_CLASS(TPopupMenu, TComponent)
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;

    // The top-level items are the sub-items of this root item.
    TMenuItem* Items() const { return FItems; }

    // Shows the menu at the screen point and waits until it closes; the chosen item's Click runs
    // afterwards, on this thread. The menu belongs to a hidden window of the calling thread.
    // OnPopup runs first, so that it can set the items up.
    virtual void Popup(int X, int Y);
    TNotifyEvent OnPopup() const { return FOnPopup; }
    void SetOnPopup(TNotifyEvent Value) { FOnPopup = Value; }

private:
    TMenuItem* FItems;
    TNotifyEvent FOnPopup;
};

} // namespace tamrel
