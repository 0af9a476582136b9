#include "host/forms/ListView.h"

#include "host/SysUtils.h"

#include <windowsx.h>

#include <algorithm>

namespace tamrel {

namespace {

// The state images of a list view with check boxes: 1 an empty box, 2 a checked one.
UINT CheckStateBits(bool checked) { return INDEXTOSTATEIMAGEMASK(checked ? 2 : 1); }
bool CheckedInWindow(HWND window, int index) {
    return (ListView_GetItemState(window, index, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) == CheckStateBits(true);
}

DWORD ViewStyleBits(TViewStyle style) {
    switch (style) {
    case vsIcon: return LVS_ICON;
    case vsSmallIcon: return LVS_SMALLICON;
    case vsList: return LVS_LIST;
    case vsReport: return LVS_REPORT;
    }
    return LVS_ICON;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Columns

TAMREL_IMPLEMENT_CLASS(TListColumn) {
    b.String(L"Caption", &TListColumn::Caption, &TListColumn::SetCaption);
    b.Integer(L"Width", &TListColumn::Width, &TListColumn::SetWidth, 50);
    b.Boolean(L"AutoSize", &TListColumn::AutoSize, &TListColumn::SetAutoSize, false);
}

TListColumn::TListColumn(TCollection* collection) : TCollectionItem(collection) {}

void TListColumn::SetCaption(const std::wstring& value) {
    FCaption = value;
    Changed(false);
}

void TListColumn::SetWidth(int32_t value) {
    FWidth = value;
    Changed(false);
}

void TListColumn::SetAutoSize(bool value) {
    FAutoSize = value;
    Changed(false);
}

TAMREL_IMPLEMENT_CLASS(TListColumns) {}

TListColumns::TListColumns(TCustomListView* owner)
    : TOwnedCollection(owner, TListColumn::StaticClassInfo()), FListView(owner) {}

void TListColumns::Update(TCollectionItem*) { FListView->UpdateColumnsWindow(); }

// ---------------------------------------------------------------------------------------------
// Items

TAMREL_IMPLEMENT_CLASS(TListItem) {}

TListItem::TListItem(TListItems* owner) : FOwner(owner), FSubItems(std::make_unique<TStringList>()) {
    FSubItems->SetOnChange(TNotifyEvent::Of<&TListItem::SubItemsChanged>(this));
}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const { return FOwner->Owner(); }

int TListItem::Index() const { return FOwner->IndexOf(this); }

void TListItem::SetCaption(const std::wstring& value) {
    FCaption = value;
    ListView()->UpdateItemWindow(this);
}

void TListItem::SetImageIndex(int32_t value) {
    FImageIndex = value;
    ListView()->UpdateItemWindow(this);
}

void TListItem::SubItemsChanged(TObject*) { ListView()->UpdateItemWindow(this); }

bool TListItem::Selected() const {
    TCustomListView* lv = ListView();
    if (!lv->Live()) return FSelected;
    return ListView_GetItemState(lv->Handle(), Index(), LVIS_SELECTED) != 0;
}

void TListItem::SetSelected(bool value) {
    FSelected = value;
    TCustomListView* lv = ListView();
    if (lv->Live()) ListView_SetItemState(lv->Handle(), Index(), value ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

bool TListItem::Focused() const {
    TCustomListView* lv = ListView();
    if (!lv->Live()) return FFocused;
    return ListView_GetItemState(lv->Handle(), Index(), LVIS_FOCUSED) != 0;
}

void TListItem::SetFocused(bool value) {
    FFocused = value;
    TCustomListView* lv = ListView();
    if (lv->Live()) ListView_SetItemState(lv->Handle(), Index(), value ? LVIS_FOCUSED : 0, LVIS_FOCUSED);
}

bool TListItem::Checked() const {
    TCustomListView* lv = ListView();
    if (!lv->LiveChecks()) return FChecked;
    return CheckedInWindow(lv->Handle(), Index());
}

void TListItem::SetChecked(bool value) {
    FChecked = value;
    TCustomListView* lv = ListView();
    if (lv->LiveChecks()) lv->ShowCheck(Index(), value);
}

bool TListItem::EditCaption() {
    TCustomListView* lv = ListView();
    if (lv->ReadOnly()) return false;
    if (!lv->Focused() && lv->CanFocus()) lv->SetFocus();
    return ListView_EditLabel(lv->Handle(), Index()) != nullptr;
}

RECT TListItem::DisplayRect(bool labelOnly) const {
    RECT r = {};
    TCustomListView* lv = ListView();
    ListView_GetItemRect(lv->Handle(), Index(), &r, labelOnly ? LVIR_LABEL : LVIR_BOUNDS);
    return r;
}

void TListItem::Delete() { FOwner->Delete(Index()); }

TAMREL_IMPLEMENT_CLASS(TListItems) {}

TListItems::TListItems(TCustomListView* owner) : FOwner(owner) {}

TListItems::~TListItems() { Clear(); }

TListItem* TListItems::Item(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    return FItems[static_cast<size_t>(index)];
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int index) {
    if (index < 0 || index > Count()) throw EListError(SListIndexError, index);
    auto* item = new TListItem(this);
    FItems.insert(FItems.begin() + index, item);
    FOwner->InsertItemWindow(index);
    return item;
}

void TListItems::Delete(int index) { FOwner->DeleteItem(Item(index)); }

void TListItems::Clear() {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    while (!FItems.empty()) FOwner->DeleteItem(FItems.back());
}

int TListItems::IndexOf(const TListItem* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TListItems::BeginUpdate() {
    if (FUpdateCount++ == 0 && FOwner->Live()) SendMessageW(FOwner->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListItems::EndUpdate() {
    if (FUpdateCount == 0 || --FUpdateCount > 0 || !FOwner->Live()) return;
    SendMessageW(FOwner->Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FOwner->Handle(), nullptr, TRUE);
}

// ---------------------------------------------------------------------------------------------
// TCustomListView

TAMREL_IMPLEMENT_CLASS(TCustomListView) {
    using T = TCustomListView;
    b.Object(L"Columns", &T::Columns, &T::SetColumns);
    b.Enum(L"ViewStyle", &T::ViewStyle, &T::SetViewStyle, vsIcon);
    b.Boolean(L"MultiSelect", &T::MultiSelect, &T::SetMultiSelect, false);
    b.Boolean(L"ReadOnly", &T::ReadOnly, &T::SetReadOnly, false);
    b.Boolean(L"HideSelection", &T::HideSelection, &T::SetHideSelection, true);
    b.Boolean(L"Checkboxes", &T::Checkboxes, &T::SetCheckboxes, false);
    b.Component(L"LargeImages", &T::LargeImages, &T::SetLargeImages);
    b.Component(L"SmallImages", &T::SmallImages, &T::SetSmallImages);
    b.Component(L"PopupMenu", &T::PopupMenu, &T::SetPopupMenu);
    b.Enum(L"DragMode", &T::DragMode, &T::SetDragMode, dmManual);
    b.Event(L"OnEditing", &T::OnEditing, &T::SetOnEditing);
    b.Event(L"OnEdited", &T::OnEdited, &T::SetOnEdited);
    b.Event(L"OnCancelEdit", &T::OnCancelEdit, &T::SetOnCancelEdit);
    b.Event(L"OnDeletion", &T::OnDeletion, &T::SetOnDeletion);
    b.Event(L"OnSelectItem", &T::OnSelectItem, &T::SetOnSelectItem);
    b.Event(L"OnChange", &T::OnChange, &T::SetOnChange);
    b.Event(L"OnDragOver", &T::OnDragOver, &T::SetOnDragOver);
    b.Event(L"OnDragDrop", &T::OnDragDrop, &T::SetOnDragDrop);
    b.Message<&T::CNNotify>(CN_NOTIFY);
    b.Message<&T::WMContextMenu>(WM_CONTEXTMENU);
}
TAMREL_IMPLEMENT_CLASS(TListView) {}

TCustomListView::TCustomListView(TComponent* owner)
    : TWinControl(owner), FColumns(std::make_unique<TListColumns>(this)), FItems(std::make_unique<TListItems>(this)) {
    FWidth = 250;
    FHeight = 150;
    SetTabStop(true);
}

TCustomListView::~TCustomListView() {
    // OnDeletion hears of every item while the list view is still whole.
    FClearing = true;
    FItems->Clear();
}

bool TCustomListView::Live() const { return HandleAllocated() && !FClearing; }

void TCustomListView::CreateParams(TCreateParams& params) {
    LoadCommonControlClasses(ICC_LISTVIEW_CLASSES);
    TWinControl::CreateParams(params);
    params.SysClassName = WC_LISTVIEWW;
    params.WinClassName = L"TamrelListView";
    params.Style |= WS_TABSTOP | LVS_SHAREIMAGELISTS | ViewStyleBits(FViewStyle);
    if (!FMultiSelect) params.Style |= LVS_SINGLESEL;
    if (!FReadOnly) params.Style |= LVS_EDITLABELS;
    if (!FHideSelection) params.Style |= LVS_SHOWSELALWAYS;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::CreateWnd() {
    TWinControl::CreateWnd();
    ListView_SetExtendedListViewStyle(Handle(), LVS_EX_FULLROWSELECT | (FCheckboxes ? LVS_EX_CHECKBOXES : 0));
    UpdateImageLists();
    UpdateColumnsWindow();
    for (int i = 0; i < FItems->Count(); ++i) InsertItemWindow(i);
    for (int i = 0; i < FItems->Count(); ++i) {
        TListItem* item = FItems->Item(i);
        UINT state = (item->FSelected ? LVIS_SELECTED : 0) | (item->FFocused ? LVIS_FOCUSED : 0);
        ListView_SetItemState(Handle(), i, state, LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void TCustomListView::KeepItemStates() {
    for (int i = 0; i < FItems->Count(); ++i) {
        TListItem* item = FItems->Item(i);
        item->FSelected = ListView_GetItemState(Handle(), i, LVIS_SELECTED) != 0;
        item->FFocused = ListView_GetItemState(Handle(), i, LVIS_FOCUSED) != 0;
        if (FCheckboxes) item->FChecked = CheckedInWindow(Handle(), i);
    }
}

void TCustomListView::DestroyWnd() {
    // The items keep what only the window knew.
    KeepItemStates();
    FEditingItem = nullptr;
    TWinControl::DestroyWnd();
}

void TCustomListView::ShowCheck(int index, bool checked) {
    ListView_SetItemState(Handle(), index, CheckStateBits(checked), LVIS_STATEIMAGEMASK);
}

void TCustomListView::InsertItemWindow(int index) {
    if (!Live()) return;
    TListItem* item = FItems->Item(index);
    LVITEMW lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    lvi.iItem = index;
    lvi.pszText = const_cast<wchar_t*>(item->FCaption.c_str());
    lvi.iImage = item->FImageIndex;
    lvi.lParam = reinterpret_cast<LPARAM>(item);
    SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi));
    // A list with check boxes takes every new item unchecked, whatever state comes with it.
    if (FCheckboxes && item->FChecked) ShowCheck(index, true);
    for (int s = 0; s < item->FSubItems->Count(); ++s) {
        std::wstring text = item->FSubItems->Get(s);
        ListView_SetItemText(Handle(), index, s + 1, text.data());
    }
}

void TCustomListView::UpdateItemWindow(TListItem* item) {
    if (!Live()) return;
    const int index = item->Index();
    if (index < 0) return;
    LVITEMW lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE;
    lvi.iItem = index;
    lvi.pszText = const_cast<wchar_t*>(item->FCaption.c_str());
    lvi.iImage = item->FImageIndex;
    SendMessageW(Handle(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&lvi));
    const int columns = std::max(FColumns->Count(), item->FSubItems->Count() + 1);
    for (int s = 1; s < columns; ++s) {
        std::wstring text = s - 1 < item->FSubItems->Count() ? item->FSubItems->Get(s - 1) : std::wstring();
        ListView_SetItemText(Handle(), index, s, text.data());
    }
}

void TCustomListView::UpdateColumnsWindow() {
    if (!Live()) return;
    while (ListView_DeleteColumn(Handle(), 0)) {
    }
    for (int i = 0; i < FColumns->Count(); ++i) {
        TListColumn* column = FColumns->Items(i);
        LVCOLUMNW c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.pszText = const_cast<wchar_t*>(column->Caption().c_str());
        c.cx = column->Width();
        c.iSubItem = i;
        SendMessageW(Handle(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
    }
    FitAutoSizeColumns();
}

void TCustomListView::FitAutoSizeColumns() {
    // Only a report shows the columns (a list's column width is that of its items).
    if (!Live() || FFitting || FViewStyle != vsReport) return;
    int autoSized = 0, others = 0;
    for (int i = 0; i < FColumns->Count(); ++i) {
        if (FColumns->Items(i)->AutoSize()) ++autoSized;
        else others += ListView_GetColumnWidth(Handle(), i); // as the user may have sized it
    }
    if (!autoSized) return;
    FFitting = true;
    TScopeExit fitted([this] { FFitting = false; });
    RECT client = {};
    GetClientRect(Handle(), &client);
    int left = std::max(0, RectWidth(client) - others);
    for (int i = 0; i < FColumns->Count(); ++i) {
        if (!FColumns->Items(i)->AutoSize()) continue;
        const int width = left / autoSized--;
        left -= width;
        if (ListView_GetColumnWidth(Handle(), i) != width) ListView_SetColumnWidth(Handle(), i, width);
    }
}

void TCustomListView::UpdateImageLists() {
    if (!Live()) return;
    ListView_SetImageList(Handle(), FLargeImages ? FLargeImages->Handle() : nullptr, LVSIL_NORMAL);
    ListView_SetImageList(Handle(), FSmallImages ? FSmallImages->Handle() : nullptr, LVSIL_SMALL);
}

void TCustomListView::DeleteItem(TListItem* item) {
    if (FOnDeletion) FOnDeletion(this, item);
    if (item == FEditingItem) FEditingItem = nullptr;
    const int index = FItems->IndexOf(item);
    if (index < 0) return; // the handler deleted it already
    FItems->FItems.erase(FItems->FItems.begin() + index);
    if (Live()) ListView_DeleteItem(Handle(), index);
    delete item;
}

void TCustomListView::SetViewStyle(TViewStyle value) {
    if (value == FViewStyle) return;
    FViewStyle = value;
    if (!HandleAllocated()) return;
    UpdateStyle(false, LVS_TYPEMASK, false);
    UpdateStyle(false, ViewStyleBits(value), true);
    FitAutoSizeColumns();
}

void TCustomListView::SetMultiSelect(bool value) {
    FMultiSelect = value;
    if (HandleAllocated()) UpdateStyle(false, LVS_SINGLESEL, !value);
}

void TCustomListView::SetReadOnly(bool value) {
    FReadOnly = value;
    if (HandleAllocated()) UpdateStyle(false, LVS_EDITLABELS, !value);
}

void TCustomListView::SetHideSelection(bool value) {
    FHideSelection = value;
    if (HandleAllocated()) UpdateStyle(false, LVS_SHOWSELALWAYS, !value);
}

void TCustomListView::SetCheckboxes(bool value) {
    if (value == FCheckboxes) return;
    // The marks the window held go back to the items before it stops holding them.
    if (LiveChecks()) KeepItemStates();
    FCheckboxes = value;
    if (!Live()) return;
    ListView_SetExtendedListViewStyleEx(Handle(), LVS_EX_CHECKBOXES, value ? LVS_EX_CHECKBOXES : 0);
    if (value)
        for (int i = 0; i < FItems->Count(); ++i) ShowCheck(i, FItems->Item(i)->FChecked);
}

void TCustomListView::SetLargeImages(TCustomImageList* value) {
    if (FLargeImages) FLargeImages->RemoveFreeNotification(this);
    FLargeImages = value;
    if (value) value->FreeNotification(this);
    UpdateImageLists();
}

void TCustomListView::SetSmallImages(TCustomImageList* value) {
    if (FSmallImages) FSmallImages->RemoveFreeNotification(this);
    FSmallImages = value;
    if (value) value->FreeNotification(this);
    UpdateImageLists();
}

void TCustomListView::SetPopupMenu(TPopupMenu* value) {
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = value;
    if (value) value->FreeNotification(this);
}

void TCustomListView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation != opRemove) return;
    if (component == FLargeImages) SetLargeImages(nullptr);
    if (component == FSmallImages) SetSmallImages(nullptr);
    if (component == FPopupMenu) FPopupMenu = nullptr;
}

TListItem* TCustomListView::Selected() const {
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Item(i)->Selected()) return FItems->Item(i);
    return nullptr;
}

int TCustomListView::SelCount() const {
    if (Live()) return static_cast<int>(ListView_GetSelectedCount(const_cast<TCustomListView*>(this)->Handle()));
    return static_cast<int>(std::count_if(FItems->FItems.begin(), FItems->FItems.end(), [](TListItem* i) { return i->FSelected; }));
}

TListItem* TCustomListView::ItemFocused() const {
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Item(i)->Focused()) return FItems->Item(i);
    return nullptr;
}

TListItem* TCustomListView::GetItemAt(int x, int y) {
    LVHITTESTINFO hit = {};
    hit.pt = POINT{x, y};
    const int index = ListView_HitTest(Handle(), &hit);
    return index >= 0 && index < FItems->Count() && (hit.flags & LVHT_ONITEM) ? FItems->Item(index) : nullptr;
}

bool TCustomListView::IsEditing() const { return FEditingItem != nullptr; }

HWND TCustomListView::EditorHandle() { return HandleAllocated() ? ListView_GetEditControl(Handle()) : nullptr; }

void TCustomListView::WndProc(TMessage& message) {
    if (HandleDragMessage(this, message)) return;
    TWinControl::WndProc(message);
    // Also when only a scroll bar came or went: the window keeps its size then.
    if (message.Msg == WM_SIZE) FitAutoSizeColumns();
}

void TCustomListView::CNNotify(TMessage& m) {
    const auto* header = reinterpret_cast<const NMHDR*>(m.LParam);
    m.Result = 0;
    auto itemOf = [this](LPARAM param) -> TListItem* {
        auto* item = reinterpret_cast<TListItem*>(param);
        return FItems->IndexOf(item) >= 0 ? item : nullptr;
    };
    switch (header->code) {
    case LVN_BEGINLABELEDITW: {
        const auto* info = reinterpret_cast<const NMLVDISPINFOW*>(header);
        TListItem* item = itemOf(info->item.lParam);
        bool allow = item && !FReadOnly;
        if (allow && FOnEditing) FOnEditing(this, item, allow);
        FEditingItem = allow ? item : nullptr;
        m.Result = allow ? FALSE : TRUE;
        return;
    }
    case LVN_ENDLABELEDITW: {
        const auto* info = reinterpret_cast<const NMLVDISPINFOW*>(header);
        TListItem* item = itemOf(info->item.lParam);
        FEditingItem = nullptr;
        if (!item) return;
        if (!info->item.pszText) {
            if (FOnCancelEdit) FOnCancelEdit(this, item);
            return;
        }
        std::wstring text = info->item.pszText;
        if (FOnEdited) FOnEdited(this, item, text);
        if (FItems->IndexOf(item) >= 0) item->SetCaption(text);
        return; // FALSE: the caption is set already
    }
    case LVN_ITEMCHANGED: {
        const auto* info = reinterpret_cast<const NMLISTVIEW*>(header);
        if (!(info->uChanged & LVIF_STATE) || info->iItem < 0 || info->iItem >= FItems->Count()) return;
        TListItem* item = FItems->Item(info->iItem);
        const bool was = (info->uOldState & LVIS_SELECTED) != 0, now = (info->uNewState & LVIS_SELECTED) != 0;
        if (was != now && FOnSelectItem) FOnSelectItem(this, item, now);
        if (FOnChange) FOnChange(this, item, ctState);
        return;
    }
    case LVN_BEGINDRAG:
        if (FDragMode == dmAutomatic) BeginAutoDrag(this);
        return;
    case NM_DBLCLK:
        // The system control takes the button messages itself: its notice is the double click.
        DblClick();
        return;
    default: return;
    }
}

void TCustomListView::WMContextMenu(TMessage& m) {
    if (!FPopupMenu) {
        DefaultHandler(m);
        return;
    }
    POINT p = {GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
    if (m.LParam == -1) p = ClientToScreen(POINT{0, 0}); // from the keyboard
    FPopupMenu->Popup(p.x, p.y);
    m.Result = 0;
}

bool TCustomListView::DragOver(TObject* source, int x, int y, TDragState state) {
    bool accept = false;
    if (FOnDragOver) FOnDragOver(this, source, x, y, state, accept);
    return accept;
}

void TCustomListView::DragDrop(TObject* source, int x, int y) {
    if (FOnDragDrop) FOnDragDrop(this, source, x, y);
}

} // namespace tamrel
