#include "host/Menus.h"

#include "host/Handles.h"
#include "host/HiddenWindow.h"
#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

void CloseMenu(HMENU m) { DestroyMenu(m); }
using TMenuHandle = TUniqueHandle<HMENU, CloseMenu>;

// A menu of the item's sub-items; Commands gets the item of each command id (id = index + 1).
HMENU BuildMenu(const TMenuItem& parent, std::vector<TMenuItem*>& commands) {
    TMenuHandle menu(CreatePopupMenu());
    if (!menu) RaiseLastOSError();
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        UINT flags = item->Enabled() ? MF_ENABLED : MF_GRAYED;
        BOOL ok;
        if (item->Caption() == L"-") {
            ok = AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
        } else if (item->Count() > 0) {
            TMenuHandle sub(BuildMenu(*item, commands));
            ok = AppendMenuW(menu.Get(), flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Get()), item->Caption().c_str());
            if (ok) sub.Release(); // destroyed with its parent menu
        } else {
            commands.push_back(item);
            UINT id = static_cast<UINT>(commands.size());
            if (item->Checked()) flags |= MF_CHECKED;
            ok = AppendMenuW(menu.Get(), flags | MF_STRING, id, item->Caption().c_str());
            if (ok && item->Default()) SetMenuDefaultItem(menu.Get(), id, FALSE);
            if (ok && item->RadioItem()) {
                MENUITEMINFOW info = {};
                info.cbSize = sizeof info;
                info.fMask = MIIM_FTYPE;
                info.fType = MFT_STRING | MFT_RADIOCHECK;
                ok = SetMenuItemInfoW(menu.Get(), id, FALSE, &info);
            }
        }
        if (!ok) RaiseLastOSError();
    }
    return menu.Release();
}

bool Contains(const TMenuItem& parent, const TMenuItem* item) {
    for (int i = 0; i < parent.Count(); ++i)
        if (parent.Items(i) == item || Contains(*parent.Items(i), item)) return true;
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
    SetAction(nullptr);
    Clear();
    if (FParent) FParent->Remove(this);
}

void TMenuItem::Click() {
    if (!FEnabled) return;
    if (FAction) FAction->Execute();
    else if (FOnClick) FOnClick(this);
}

void TMenuItem::SetChecked(bool Value) {
    FChecked = Value;
    if (!Value || !FRadioItem || !FParent) return;
    for (TMenuItem* other : FParent->FItems)
        if (other != this && other->FRadioItem && other->FGroupIndex == FGroupIndex) other->FChecked = false;
}

void TMenuItem::SetAction(TBasicAction* Value) {
    if (Value == FAction) return;
    if (FAction) FAction->UnRegisterClient(this);
    FAction = Value;
    if (FAction) {
        FAction->RegisterClient(this);
        ActionChanged(FAction);
    }
}

void TMenuItem::ActionChanged(TBasicAction* Action) {
    if (!Action) {
        FAction = nullptr;
        return;
    }
    if (auto* action = dynamic_cast<TAction*>(Action)) {
        FCaption = action->Caption();
        FEnabled = action->Enabled();
        SetChecked(action->Checked());
    }
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(SListIndexError, Index);
    return FItems[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    if (Index < 0 || Index > Count()) throw EListError(SListIndexError, Index);
    if (Item == this || Contains(*Item, this)) throw EInvalidOperation(L"A menu item cannot hold itself");
    if (Item->FParent) Item->FParent->Remove(Item);
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    Item->FParent = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TMenuItem::Clear() {
    while (!FItems.empty()) Free(FItems.back()); // each one takes itself out
}

TAMREL_IMPLEMENT_CLASS(TMenuItem) {
    b.String(L"Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
    b.Boolean(L"Default", &TMenuItem::Default, &TMenuItem::SetDefault, false);
    b.Boolean(L"Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true);
    b.Event(L"OnClick", &TMenuItem::OnClick, &TMenuItem::SetOnClick);
    b.Boolean(L"Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false);
    b.Boolean(L"RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem, false);
    b.Integer(L"GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, 0);
    b.Component(L"Action", &TMenuItem::Action, &TMenuItem::SetAction);
}

// ---------------------------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), FItems(Create<TMenuItem>(nullptr)) {}

TPopupMenu::~TPopupMenu() { Free(FItems); }

void TPopupMenu::Popup(int X, int Y) {
    if (FOnPopup) FOnPopup(this);
    std::vector<TMenuItem*> commands;
    TMenuHandle menu(BuildMenu(*FItems, commands));
    HWND owner = AllocateHWnd(TWndMethod());
    TScopeExit dropOwner([owner] { DeallocateHWnd(owner); });
    UINT command = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                    X, Y, 0, owner, nullptr));
    if (command == 0 || command > commands.size()) return;
    // Messages served while the menu was up may have freed the item.
    TMenuItem* chosen = commands[command - 1];
    if (Contains(*FItems, chosen)) chosen->Click();
}

TAMREL_IMPLEMENT_CLASS(TPopupMenu) { b.Event(L"OnPopup", &TPopupMenu::OnPopup, &TPopupMenu::SetOnPopup); }

} // namespace tamrel
