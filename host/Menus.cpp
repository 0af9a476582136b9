#include "host/Menus.h"

#include "host/Handles.h"
#include "host/HiddenWindow.h"
#include "host/SysUtils.h"

#include <algorithm>
#include <atomic>

namespace tamrel {

namespace {

void CloseMenu(HMENU m) { DestroyMenu(m); }
using TMenuHandle = TUniqueHandle<HMENU, CloseMenu>;

// Command ids lie above the ids of child controls (0x100..0x7EFF) and of the dialog keys, so
// that a form tells a menu's WM_COMMAND from theirs. One counter for the process: an item
// keeps its id when it moves to another menu.
UINT NextCommand() {
    static std::atomic<unsigned> next{0};
    return 0x8000 + next++ % 0x8000;
}

bool Contains(const TMenuItem& parent, const TMenuItem* item) {
    for (int i = 0; i < parent.Count(); ++i)
        if (parent.Items(i) == item || Contains(*parent.Items(i), item)) return true;
    return false;
}

template <class Pred> TMenuItem* FindItem(const TMenuItem& parent, const Pred& pred) {
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (pred(*item)) return item;
        if (TMenuItem* found = FindItem(*item, pred)) return found;
    }
    return nullptr;
}

bool IsDestroying(const TComponent& c) { return c.ComponentState().Contains(csDestroying); }

} // namespace

// ---------------------------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
    SetAction(nullptr);
    Clear();
    if (FParent) FParent->Remove(this);
}

void TMenuItem::SetCaption(const std::wstring& Value) {
    if (Value == FCaption) return;
    FCaption = Value;
    Changed(FParent);
}

void TMenuItem::SetDefault(bool Value) {
    if (Value == FDefault) return;
    FDefault = Value;
    Changed(FParent);
}

void TMenuItem::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Changed(FParent);
}

void TMenuItem::SetChecked(bool Value) {
    if (Value == FChecked) return;
    FChecked = Value;
    if (Value && FRadioItem && FParent)
        for (TMenuItem* other : FParent->FItems)
            if (other != this && other->FRadioItem && other->FGroupIndex == FGroupIndex) other->FChecked = false;
    Changed(FParent);
}

void TMenuItem::SetRadioItem(bool Value) {
    if (Value == FRadioItem) return;
    FRadioItem = Value;
    Changed(FParent);
}

void TMenuItem::SetAction(TBasicAction* Value) {
    LinkAction(FAction, Value);
}

void TMenuItem::ActionChanged(TBasicAction* Action) {
    if (!Action) {
        FAction = nullptr;
        return;
    }
    if (auto* action = dynamic_cast<TAction*>(Action)) {
        SetCaption(action->Caption());
        SetEnabled(action->Enabled());
        SetChecked(action->Checked());
    }
}

void TMenuItem::Click() {
    if (!FEnabled) return;
    if (FAction) FAction->Execute();
    else if (FOnClick) FOnClick(this);
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
    Changed(this);
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    Item->FParent = nullptr;
    if (!IsDestroying(*this)) Changed(this);
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TMenuItem::Clear() {
    while (!FItems.empty()) Free(FItems.back()); // each one takes itself out
}

TMenu* TMenuItem::GetMenu() const {
    const TMenuItem* root = this;
    while (root->FParent) root = root->FParent;
    return root->FMenu;
}

TComponent* TMenuItem::GetParentComponent() const {
    if (FParent && FParent->FMenu) return FParent->FMenu;
    return FParent;
}

void TMenuItem::SetParentComponent(TComponent* AParent) {
    if (auto* menu = dynamic_cast<TMenu*>(AParent)) menu->Items()->Add(this);
    else if (auto* item = dynamic_cast<TMenuItem*>(AParent)) item->Add(this);
    else if (AParent) throw EInvalidOperation(L"Menu item '%s' cannot sit in '%s'", Name(), AParent->Name());
    else if (FParent) FParent->Remove(this);
}

void TMenuItem::Changed(TMenuItem* Parent) {
    if (!Parent) return;
    if (TMenu* menu = Parent->GetMenu()) menu->Refill(*Parent);
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
// TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(Create<TMenuItem>(nullptr)) { FItems->FMenu = this; }

TMenu::~TMenu() {
    DestroyHandle();
    FItems->FMenu = nullptr;
    Free(FItems);
}

HMENU TMenu::Handle() {
    if (FHandle) return FHandle;
    TMenuHandle menu(CreateMenuHandle());
    if (!menu) RaiseLastOSError();
    try {
        AppendEntries(menu.Get(), *FItems);
    } catch (...) {
        ForgetHandles(*FItems);
        throw;
    }
    FHandle = menu.Release();
    return FHandle;
}

void TMenu::DestroyHandle() {
    if (!FHandle) return;
    ForgetHandles(*FItems);
    DestroyMenu(FHandle);
    FHandle = nullptr;
}

void TMenu::ForgetHandles(TMenuItem& Parent) {
    for (TMenuItem* item : Parent.FItems) {
        item->FHandle = nullptr;
        ForgetHandles(*item);
    }
}

void TMenu::AppendEntries(HMENU Menu, TMenuItem& Parent) {
    for (int i = 0; i < Parent.Count(); ++i) {
        TMenuItem* item = Parent.Items(i);
        const UINT flags = item->Enabled() ? MF_ENABLED : MF_GRAYED;
        BOOL ok;
        if (item->Caption() == L"-") {
            ok = AppendMenuW(Menu, MF_SEPARATOR, 0, nullptr);
        } else if (item->Count() > 0) {
            TMenuHandle sub(CreatePopupMenu());
            if (!sub) RaiseLastOSError();
            AppendEntries(sub.Get(), *item);
            ok = AppendMenuW(Menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Get()), item->Caption().c_str());
            if (ok) item->FHandle = sub.Release(); // destroyed with its parent menu
        } else {
            if (!item->FCommand) item->FCommand = NextCommand();
            ok = AppendMenuW(Menu, flags | (item->Checked() ? MF_CHECKED : 0) | MF_STRING, item->FCommand,
                             item->Caption().c_str());
            if (ok && item->RadioItem()) {
                MENUITEMINFOW info = {};
                info.cbSize = sizeof info;
                info.fMask = MIIM_FTYPE;
                info.fType = MFT_STRING | MFT_RADIOCHECK;
                ok = SetMenuItemInfoW(Menu, item->FCommand, FALSE, &info);
            }
        }
        if (!ok) RaiseLastOSError();
        if (item->Default()) SetMenuDefaultItem(Menu, static_cast<UINT>(i), TRUE);
    }
}

void TMenu::Refill(TMenuItem& Parent) {
    if (!FHandle) return;
    // An item that turns from a command into a sub-menu, or back, changes its parent's entry.
    TMenuItem* parent = &Parent;
    while (parent != FItems && parent->FParent && (parent->FHandle == nullptr) != (parent->Count() == 0))
        parent = parent->FParent;
    HMENU menu = parent == FItems ? FHandle : parent->FHandle;
    if (!menu) return;
    ForgetHandles(*parent);
    while (GetMenuItemCount(menu) > 0)
        if (!DeleteMenu(menu, 0, MF_BYPOSITION)) RaiseLastOSError();
    AppendEntries(menu, *parent);
    if (parent == FItems) RootChanged();
}

bool TMenu::DispatchCommand(UINT Command) {
    TMenuItem* item = FindItem(*FItems, [Command](const TMenuItem& i) { return i.FCommand == Command && i.Count() == 0; });
    if (!item) return false;
    item->Click();
    return true;
}

bool TMenu::DispatchPopup(HMENU Menu) {
    if (!Menu) return false;
    TMenuItem* item = FindItem(*FItems, [Menu](const TMenuItem& i) { return i.FHandle == Menu; });
    if (!item) return false;
    item->Click();
    return true;
}

TAMREL_IMPLEMENT_CLASS(TMenu) {}

// ---------------------------------------------------------------------------------------------
// TMainMenu

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}

TMainMenu::~TMainMenu() {
    // A window destroys the menu it shows: take it back first.
    if (HandleAllocated() && FWindow && IsWindow(FWindow) && ::GetMenu(FWindow) == Handle()) ::SetMenu(FWindow, nullptr);
}

HMENU TMainMenu::CreateMenuHandle() { return CreateMenu(); }

void TMainMenu::RootChanged() {
    if (FWindow && IsWindow(FWindow)) DrawMenuBar(FWindow);
}

TAMREL_IMPLEMENT_CLASS(TMainMenu) {}

// ---------------------------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

HMENU TPopupMenu::CreateMenuHandle() { return CreatePopupMenu(); }

void TPopupMenu::OwnerMessage(TMessage& Message) {
    if (Message.Msg == WM_INITMENUPOPUP && !HIWORD(Message.LParam)) {
        DispatchPopup(reinterpret_cast<HMENU>(Message.WParam));
        Message.Result = 0;
        return;
    }
    CallDefWindowProc(FOwner, Message);
}

void TPopupMenu::Popup(int X, int Y) {
    if (FOnPopup) FOnPopup(this);
    HMENU menu = Handle();
    TAllocatedWindow owner(AllocateHWnd(TWndMethod::Of<&TPopupMenu::OwnerMessage>(this)));
    FOwner = owner.Get();
    TScopeExit forget([this] { FOwner = nullptr; });
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, X, Y, 0, owner.Get(), nullptr));
    // Messages served while the menu was up may have freed the item: it is looked up now.
    if (command) DispatchCommand(command);
}

TAMREL_IMPLEMENT_CLASS(TPopupMenu) { b.Event(L"OnPopup", &TPopupMenu::OnPopup, &TPopupMenu::SetOnPopup); }

} // namespace tamrel
