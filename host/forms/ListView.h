// The list view over the system's list-view control: items with a caption, an image, sub-items
// (the texts of the columns after the first) and a pointer of the user's (Data), shown as large
// icons, small icons, a list or a report with columns; single or multiple selection; a check box
// before each item; captions edited in place; an update bracket; automatic dragging onto other
// list views; a popup menu.
//
// The items are the list view's: they live while the window is made anew (a style change) and
// OnDeletion hears of each one that goes, also when the list view itself goes. Their selection,
// focus and check marks live in the window while there is one, in the item while there is none.
//
// With Checkboxes, a click on an item's box or Space on the focused item toggles its check mark;
// every change of a mark, also one made from code, reaches OnChange (ctState).
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"
#include "host/forms/DragDrop.h"
#include "host/forms/ImgList.h"
#include "host/Menus.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace tamrel {

TAMREL_ENUM(TViewStyle, vsIcon, vsSmallIcon, vsList, vsReport);
TAMREL_ENUM(TItemChange, ctText, ctImage, ctState);

class TCustomListView;
class TListItems;
class TListItem;

using TLVNotifyEvent = TMethod<void(TObject* Sender, TListItem* Item)>;
using TLVEditingEvent = TMethod<void(TObject* Sender, TListItem* Item, bool& AllowEdit)>;
using TLVEditedEvent = TMethod<void(TObject* Sender, TListItem* Item, std::wstring& S)>;
using TLVSelectItemEvent = TMethod<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVChangeEvent = TMethod<void(TObject* Sender, TListItem* Item, TItemChange Change)>;

class TAMREL_API TListColumn : public TCollectionItem {
    TAMREL_CLASS(TListColumn, TCollectionItem)
public:
    explicit TListColumn(TCollection* collection);
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value);
    int32_t Width() const { return FWidth; }
    void SetWidth(int32_t value);
    // The column takes what the other columns leave of the list's client width (shared evenly
    // when several do), whatever its Width, and follows that width as the list or its scroll
    // bars change it: the report then ends at the list's edge, without sideways scrolling.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);

private:
    std::wstring FCaption;
    int32_t FWidth = 50;
    bool FAutoSize = false;
};

class TAMREL_API TListColumns : public TOwnedCollection {
    TAMREL_CLASS(TListColumns, TOwnedCollection)
public:
    explicit TListColumns(TCustomListView* owner);
    TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
    TListColumn* Items(int index) const { return static_cast<TListColumn*>(TCollection::Items(index)); }

protected:
    void Update(TCollectionItem* item) override;

private:
    TCustomListView* FListView;
};

class TAMREL_API TListItem : public TPersistent {
    TAMREL_CLASS(TListItem, TPersistent)
public:
    explicit TListItem(TListItems* owner);
    ~TListItem() override;

    TListItems* Owner() const { return FOwner; }
    TCustomListView* ListView() const;
    int Index() const;

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t value);
    // The texts of columns 1, 2...
    TStrings* SubItems() const { return FSubItems.get(); }
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }
    bool Selected() const;
    void SetSelected(bool value);
    bool Focused() const;
    void SetFocused(bool value);
    // The item's check mark; kept, but not shown, while the list view has no check boxes.
    bool Checked() const;
    void SetChecked(bool value);

    // Starts editing the caption in place; false when the list view is read-only or refused.
    bool EditCaption();
    // The item's rectangle (the whole item, or its label) in the list view's client coordinates.
    RECT DisplayRect(bool labelOnly = false) const;
    // Deletes the item (OnDeletion first).
    void Delete();

private:
    friend class TListItems;
    friend class TCustomListView;
    void SubItemsChanged(TObject* sender);
    TListItems* FOwner;
    std::wstring FCaption;
    int32_t FImageIndex = -1;
    std::unique_ptr<TStringList> FSubItems;
    void* FData = nullptr;
    bool FSelected = false; // while the list view has no window
    bool FFocused = false;
    bool FChecked = false;
};

class TAMREL_API TListItems : public TPersistent {
    TAMREL_CLASS(TListItems, TPersistent)
public:
    explicit TListItems(TCustomListView* owner);
    ~TListItems() override;

    TCustomListView* Owner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError for an index out of range.
    TListItem* Item(int index) const;
    TListItem* operator[](int index) const { return Item(index); }
    TListItem* Add();
    TListItem* Insert(int index);
    // OnDeletion, then the item goes.
    void Delete(int index);
    void Clear();
    int IndexOf(const TListItem* item) const;
    // One repaint at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TListItem;
    friend class TCustomListView;
    TCustomListView* FOwner;
    std::vector<TListItem*> FItems;
    int FUpdateCount = 0;
};

class TAMREL_API TCustomListView : public TWinControl, public TDragTarget {
    TAMREL_CLASS(TCustomListView, TWinControl)
public:
    explicit TCustomListView(TComponent* owner);
    ~TCustomListView() override;

    TListColumns* Columns() const { return FColumns.get(); }
    void SetColumns(TListColumns* value) { FColumns->Assign(value); }
    TListItems* Items() const { return FItems.get(); }

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    // Without ReadOnly, captions can be edited in place.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    // A check box before each item (Checked of the items).
    bool Checkboxes() const { return FCheckboxes; }
    void SetCheckboxes(bool value);
    TCustomImageList* LargeImages() const { return FLargeImages; }
    void SetLargeImages(TCustomImageList* value);
    TCustomImageList* SmallImages() const { return FSmallImages; }
    void SetSmallImages(TCustomImageList* value);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* value);
    TDragMode DragMode() const { return FDragMode; }
    void SetDragMode(TDragMode value) { FDragMode = value; }

    // The first selected item, or null; the number selected.
    TListItem* Selected() const;
    int SelCount() const;
    TListItem* ItemFocused() const;
    // The item at a client point, or null.
    TListItem* GetItemAt(int x, int y);
    // Whether a caption is being edited; the editor's window, or null.
    bool IsEditing() const;
    HWND EditorHandle();
    // Ends an edit in place: accepted (as Enter) or cancelled (as Esc).
    void EndEditing(bool accept);

    TLVEditingEvent OnEditing() const { return FOnEditing; }
    void SetOnEditing(TLVEditingEvent e) { FOnEditing = e; }
    TLVEditedEvent OnEdited() const { return FOnEdited; }
    void SetOnEdited(TLVEditedEvent e) { FOnEdited = e; }
    // An edit in place that ended without a new caption (Esc, or the editor lost to a click).
    TLVNotifyEvent OnCancelEdit() const { return FOnCancelEdit; }
    void SetOnCancelEdit(TLVNotifyEvent e) { FOnCancelEdit = e; }
    TLVNotifyEvent OnDeletion() const { return FOnDeletion; }
    void SetOnDeletion(TLVNotifyEvent e) { FOnDeletion = e; }
    TLVSelectItemEvent OnSelectItem() const { return FOnSelectItem; }
    void SetOnSelectItem(TLVSelectItemEvent e) { FOnSelectItem = e; }
    TLVChangeEvent OnChange() const { return FOnChange; }
    void SetOnChange(TLVChangeEvent e) { FOnChange = e; }
    TDragOverEvent OnDragOver() const { return FOnDragOver; }
    void SetOnDragOver(TDragOverEvent e) { FOnDragOver = e; }
    TDragDropEvent OnDragDrop() const { return FOnDragDrop; }
    void SetOnDragDrop(TDragDropEvent e) { FOnDragDrop = e; }

    void Notification(TComponent* component, TOperation operation) override;
    void WndProc(TMessage& message) override;
    // TDragTarget: OnDragOver decides (no handler: nothing is taken); OnDragDrop drops.
    bool DragOver(TObject* source, int x, int y, TDragState state) override;
    void DragDrop(TObject* source, int x, int y) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void CNNotify(TMessage& m);
    void WMContextMenu(TMessage& m);

private:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumns;
    // Window updates for one item, or for all of them.
    void InsertItemWindow(int index);
    void UpdateItemWindow(TListItem* item);
    void UpdateColumnsWindow();
    // The AutoSize columns' widths from the client width now.
    void FitAutoSizeColumns();
    void UpdateImageLists();
    void DeleteItem(TListItem* item);
    bool Live() const;
    // Whether the window shows the items' check marks (and so holds them).
    bool LiveChecks() const { return FCheckboxes && Live(); }
    void ShowCheck(int index, bool checked);
    void KeepItemStates();

    std::unique_ptr<TListColumns> FColumns;
    std::unique_ptr<TListItems> FItems;
    TViewStyle FViewStyle = vsIcon;
    bool FMultiSelect = false;
    bool FReadOnly = false;
    bool FHideSelection = true;
    bool FCheckboxes = false;
    TCustomImageList* FLargeImages = nullptr;
    TCustomImageList* FSmallImages = nullptr;
    TPopupMenu* FPopupMenu = nullptr;
    TDragMode FDragMode = dmManual;
    TListItem* FEditingItem = nullptr;
    bool FClearing = false;
    bool FFitting = false; // a width set by FitAutoSizeColumns may size the client area again
    TLVEditingEvent FOnEditing;
    TLVEditedEvent FOnEdited;
    TLVNotifyEvent FOnCancelEdit, FOnDeletion;
    TLVSelectItemEvent FOnSelectItem;
    TLVChangeEvent FOnChange;
    TDragOverEvent FOnDragOver;
    TDragDropEvent FOnDragDrop;
};

class TAMREL_API TListView : public TCustomListView {
    TAMREL_CLASS(TListView, TCustomListView)
public:
    explicit TListView(TComponent* owner) : TCustomListView(owner) {}
};

} // namespace tamrel
