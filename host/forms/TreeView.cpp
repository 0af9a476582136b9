#include "host/forms/TreeView.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

// Every node below Nodes, a parent before its children.
template <class F> void EachNode(const std::vector<TTreeNode*>& nodes, const F& f) {
    for (TTreeNode* node : nodes) {
        f(node);
        std::vector<TTreeNode*> children;
        for (int i = 0; i < node->Count(); ++i) children.push_back(node->Item(i));
        EachNode(children, f);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TTreeNode

TAMREL_IMPLEMENT_CLASS(TTreeNode) {}

TTreeNode::TTreeNode(TTreeNodes* owner, TTreeNode* parent) : FOwner(owner), FParent(parent) {}

TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const { return FOwner->Owner(); }

std::vector<TTreeNode*>& TTreeNode::Siblings() const { return FParent ? FParent->FChildren : FOwner->FRoots; }

void TTreeNode::SetText(const std::wstring& value) {
    FText = value;
    TreeView()->UpdateNodeWindow(this);
}

void TTreeNode::SetImageIndex(int32_t value) {
    FImageIndex = value;
    TreeView()->UpdateNodeWindow(this);
}

void TTreeNode::SetSelectedIndex(int32_t value) {
    FSelectedIndex = value;
    TreeView()->UpdateNodeWindow(this);
}

TTreeNode* TTreeNode::Item(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    return FChildren[static_cast<size_t>(index)];
}

int TTreeNode::Index() const {
    const auto& siblings = Siblings();
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& siblings = Siblings();
    const size_t next = static_cast<size_t>(Index()) + 1;
    return next < siblings.size() ? siblings[next] : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
    const int index = Index();
    return index > 0 ? Siblings()[static_cast<size_t>(index) - 1] : nullptr;
}

int TTreeNode::Level() const {
    int level = 0;
    for (const TTreeNode* p = FParent; p; p = p->FParent) ++level;
    return level;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
    for (const TTreeNode* p = FParent; p; p = p->FParent)
        if (p == node) return true;
    return false;
}

bool TTreeNode::Selected() const { return TreeView()->Selected() == this; }

void TTreeNode::SetSelected(bool value) {
    if (value) TreeView()->SetSelected(this);
    else if (Selected()) TreeView()->SetSelected(nullptr);
}

bool TTreeNode::Expanded() const {
    TCustomTreeView* tv = TreeView();
    if (!tv->Live() || !FItem) return FExpanded;
    return (TreeView_GetItemState(tv->Handle(), FItem, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

void TTreeNode::SetExpanded(bool value) {
    FExpanded = value;
    TCustomTreeView* tv = TreeView();
    if (tv->Live() && FItem) TreeView_Expand(tv->Handle(), FItem, value ? TVE_EXPAND : TVE_COLLAPSE);
}

void TTreeNode::Expand(bool recurse) {
    SetExpanded(true);
    if (recurse)
        for (TTreeNode* child : FChildren) child->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
    SetExpanded(false);
    if (recurse)
        for (TTreeNode* child : FChildren) child->Collapse(true);
}

void TTreeNode::MakeVisible() {
    for (TTreeNode* p = FParent; p; p = p->FParent) p->FExpanded = true;
    TCustomTreeView* tv = TreeView();
    if (tv->Live() && FItem) TreeView_EnsureVisible(tv->Handle(), FItem);
}

RECT TTreeNode::DisplayRect(bool textOnly) const {
    RECT r = {};
    TCustomTreeView* tv = TreeView();
    if (tv->Live() && FItem && !TreeView_GetItemRect(tv->Handle(), FItem, &r, textOnly ? TRUE : FALSE)) r = RECT{};
    return r;
}

void TTreeNode::Delete() { FOwner->Delete(this); }

void TTreeNode::DeleteChildren() {
    while (!FChildren.empty()) FOwner->Delete(FChildren.back());
}

// ---------------------------------------------------------------------------------------------
// TTreeNodes

TAMREL_IMPLEMENT_CLASS(TTreeNodes) {}

TTreeNodes::TTreeNodes(TCustomTreeView* owner) : FOwner(owner) {}

TTreeNodes::~TTreeNodes() { Clear(); }

TTreeNode* TTreeNodes::Item(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    // A parent, then its children: walk down, then along, then up.
    TTreeNode* node = GetFirstNode();
    for (int i = 0; i < index; ++i) {
        if (node->HasChildren()) {
            node = node->GetFirstChild();
            continue;
        }
        while (!node->GetNextSibling()) node = node->Parent();
        node = node->GetNextSibling();
    }
    return node;
}

TTreeNode* TTreeNodes::Roots(int index) const {
    if (index < 0 || index >= RootCount()) throw EListError(SListIndexError, index);
    return FRoots[static_cast<size_t>(index)];
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* parent, size_t position, const std::wstring& text, void* data) {
    if (parent && !Contains(parent)) throw EInvalidOperation(L"The parent node is not a node of this tree");
    auto* node = new TTreeNode(this, parent);
    node->FText = text;
    node->FData = data;
    auto& siblings = parent ? parent->FChildren : FRoots;
    siblings.insert(siblings.begin() + static_cast<ptrdiff_t>(std::min(position, siblings.size())), node);
    FLive.insert(node);
    FOwner->InsertNodeWindow(node);
    return node;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const std::wstring& text) { return AddObject(sibling, text, nullptr); }

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const std::wstring& text, void* data) {
    TTreeNode* parent = sibling ? sibling->Parent() : nullptr;
    return AddChildObject(parent, text, data);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::wstring& text) {
    return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::wstring& text, void* data) {
    const size_t count = parent ? parent->FChildren.size() : FRoots.size();
    return InsertAt(parent, count, text, data);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const std::wstring& text) { return InsertObject(sibling, text, nullptr); }

TTreeNode* TTreeNodes::InsertObject(TTreeNode* sibling, const std::wstring& text, void* data) {
    if (!sibling) return InsertAt(nullptr, FRoots.size(), text, data);
    if (!Contains(sibling)) throw EInvalidOperation(L"The sibling node is not a node of this tree");
    return InsertAt(sibling->Parent(), static_cast<size_t>(sibling->Index()), text, data);
}

void TTreeNodes::Delete(TTreeNode* node) {
    if (Contains(node)) FOwner->DeleteNode(node);
}

void TTreeNodes::Clear() {
    ++FOwner->FClearing;
    TScopeExit done([this] { --FOwner->FClearing; });
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    while (!FRoots.empty()) FOwner->DeleteNode(FRoots.back());
}

void TTreeNodes::BeginUpdate() {
    if (FUpdateCount++ == 0 && FOwner->Live()) SendMessageW(FOwner->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TTreeNodes::EndUpdate() {
    if (FUpdateCount == 0 || --FUpdateCount > 0 || !FOwner->Live()) return;
    SendMessageW(FOwner->Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FOwner->Handle(), nullptr, TRUE);
}

// ---------------------------------------------------------------------------------------------
// TCustomTreeView

TAMREL_IMPLEMENT_CLASS(TCustomTreeView) {
    using T = TCustomTreeView;
    b.Component(L"Images", &T::Images, &T::SetImages);
    b.Boolean(L"RowSelect", &T::RowSelect, &T::SetRowSelect, false);
    b.Boolean(L"HideSelection", &T::HideSelection, &T::SetHideSelection, true);
    b.Boolean(L"ShowLines", &T::ShowLines, &T::SetShowLines, true);
    b.Boolean(L"ShowButtons", &T::ShowButtons, &T::SetShowButtons, true);
    b.Boolean(L"ShowRoot", &T::ShowRoot, &T::SetShowRoot, true);
    b.Event(L"OnChange", &T::OnChange, &T::SetOnChange);
    b.Event(L"OnDeletion", &T::OnDeletion, &T::SetOnDeletion);
    b.Message<&T::CNNotify>(CN_NOTIFY);
}
TAMREL_IMPLEMENT_CLASS(TTreeView) {}

TCustomTreeView::TCustomTreeView(TComponent* owner) : TWinControl(owner), FItems(std::make_unique<TTreeNodes>(this)) {
    FWidth = 121;
    FHeight = 97;
    SetTabStop(true);
}

TCustomTreeView::~TCustomTreeView() {
    // Normally the nodes went in BeforeDestruction; one deleted without Free still tells.
    ++FClearing;
    FItems->Clear();
}

void TCustomTreeView::BeforeDestruction() {
    // The window goes first (its notices are not ours), then OnDeletion hears of every node
    // while the tree view is still whole.
    TWinControl::BeforeDestruction();
    FItems->Clear();
}

bool TCustomTreeView::Live() const { return HandleAllocated() && !FQuiet; }

void TCustomTreeView::CreateParams(TCreateParams& params) {
    LoadCommonControlClasses(ICC_TREEVIEW_CLASSES);
    TWinControl::CreateParams(params);
    params.SysClassName = WC_TREEVIEWW;
    params.WinClassName = L"TamrelTreeView";
    params.Style |= WS_TABSTOP;
    if (FShowLines && !FRowSelect) params.Style |= TVS_HASLINES;
    if (FShowButtons) params.Style |= TVS_HASBUTTONS;
    if (FShowRoot) params.Style |= TVS_LINESATROOT;
    if (FRowSelect) params.Style |= TVS_FULLROWSELECT;
    if (!FHideSelection) params.Style |= TVS_SHOWSELALWAYS;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::CreateWnd() {
    TWinControl::CreateWnd();
    // Filling the window selects and expands: those notices tell nothing new.
    FQuiet = true;
    TScopeExit loud([this] { FQuiet = false; });
    TreeView_SetImageList(Handle(), FImages ? FImages->Handle() : nullptr, TVSIL_NORMAL);
    for (TTreeNode* root : FItems->FRoots) FillNodeWindow(root);
    EachNode(FItems->FRoots, [this](TTreeNode* node) {
        if (node->FExpanded) TreeView_Expand(Handle(), node->FItem, TVE_EXPAND);
    });
    if (FItems->Contains(FSelected)) TreeView_SelectItem(Handle(), FSelected->FItem);
}

void TCustomTreeView::DestroyWnd() {
    // The nodes keep what only the window knew; from here on its notices are not ours (the
    // system tells of every node's deletion while its window goes).
    FSelected = Selected();
    EachNode(FItems->FRoots, [](TTreeNode* node) { node->FExpanded = node->Expanded(); });
    FQuiet = true;
    EachNode(FItems->FRoots, [](TTreeNode* node) { node->FItem = nullptr; });
    TWinControl::DestroyWnd();
}

void TCustomTreeView::InsertNodeWindow(TTreeNode* node) {
    if (Live()) FillNodeWindow(node);
}

void TCustomTreeView::FillNodeWindow(TTreeNode* node) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = node->FParent ? node->FParent->FItem : TVI_ROOT;
    TTreeNode* before = node->GetPrevSibling();
    insert.hInsertAfter = before ? before->FItem : TVI_FIRST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(node->FText.c_str());
    insert.item.iImage = node->FImageIndex;
    insert.item.iSelectedImage = node->FSelectedIndex;
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    node->FItem = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!node->FItem) RaiseLastOSError();
    for (TTreeNode* child : node->FChildren) FillNodeWindow(child);
}

void TCustomTreeView::UpdateNodeWindow(TTreeNode* node) {
    if (!Live() || !node->FItem) return;
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = node->FItem;
    item.pszText = const_cast<wchar_t*>(node->FText.c_str());
    item.iImage = node->FImageIndex;
    item.iSelectedImage = node->FSelectedIndex;
    SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void TCustomTreeView::DeleteNode(TTreeNode* node) {
    while (!node->FChildren.empty()) DeleteNode(node->FChildren.back());
    if (FOnDeletion) FOnDeletion(this, node);
    if (!FItems->Contains(node)) return; // the handler deleted it already
    auto& siblings = node->Siblings();
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    FItems->FLive.erase(node);
    if (FSelected == node) FSelected = nullptr;
    // The system may select another node now, and tells so: the deleted one is no node of ours
    // by then.
    if (Live() && node->FItem) TreeView_DeleteItem(Handle(), node->FItem);
    delete node;
}

TTreeNode* TCustomTreeView::NodeOfItem(HTREEITEM item) const {
    if (!item || !HandleAllocated()) return nullptr;
    TVITEMW info = {};
    info.mask = TVIF_PARAM;
    info.hItem = item;
    if (!SendMessageW(const_cast<TCustomTreeView*>(this)->Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info)))
        return nullptr;
    auto* node = reinterpret_cast<TTreeNode*>(info.lParam);
    return FItems->Contains(node) ? node : nullptr;
}

TTreeNode* TCustomTreeView::Selected() const {
    if (!Live()) return FItems->Contains(FSelected) ? FSelected : nullptr;
    return NodeOfItem(TreeView_GetSelection(const_cast<TCustomTreeView*>(this)->Handle()));
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
    if (node && !FItems->Contains(node)) throw EInvalidOperation(L"The node is not a node of this tree");
    if (Live()) {
        // The system tells of the change, and OnChange follows from that.
        TreeView_SelectItem(Handle(), node ? node->FItem : nullptr);
        return;
    }
    if (node == FSelected) return;
    FSelected = node;
    Change(node);
}

void TCustomTreeView::Change(TTreeNode* node) {
    if (FClearing == 0 && FOnChange) FOnChange(this, node);
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) {
    TVHITTESTINFO hit = {};
    hit.pt = POINT{x, y};
    HTREEITEM item = TreeView_HitTest(Handle(), &hit);
    UINT on = TVHT_ONITEM;
    if (FRowSelect) on |= TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT;
    return item && (hit.flags & on) ? NodeOfItem(item) : nullptr;
}

void TCustomTreeView::SetImages(TCustomImageList* value) {
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (value) value->FreeNotification(this);
    if (Live()) TreeView_SetImageList(Handle(), value ? value->Handle() : nullptr, TVSIL_NORMAL);
}

void TCustomTreeView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == FImages) SetImages(nullptr);
}

void TCustomTreeView::StyleChanged() {
    // The system reads these styles when its window is made.
    RecreateWnd();
}

void TCustomTreeView::SetRowSelect(bool value) {
    if (value == FRowSelect) return;
    FRowSelect = value;
    StyleChanged();
}

void TCustomTreeView::SetHideSelection(bool value) {
    if (value == FHideSelection) return;
    FHideSelection = value;
    StyleChanged();
}

void TCustomTreeView::SetShowLines(bool value) {
    if (value == FShowLines) return;
    FShowLines = value;
    StyleChanged();
}

void TCustomTreeView::SetShowButtons(bool value) {
    if (value == FShowButtons) return;
    FShowButtons = value;
    StyleChanged();
}

void TCustomTreeView::SetShowRoot(bool value) {
    if (value == FShowRoot) return;
    FShowRoot = value;
    StyleChanged();
}

void TCustomTreeView::CNNotify(TMessage& m) {
    const auto* header = reinterpret_cast<const NMHDR*>(m.LParam);
    m.Result = 0;
    if (FQuiet) return;
    switch (header->code) {
    case TVN_SELCHANGEDW: {
        const auto* info = reinterpret_cast<const NMTREEVIEWW*>(header);
        // By item, not by the item's data: the data of a node being deleted is no node any more.
        Change(NodeOfItem(info->itemNew.hItem));
        return;
    }
    case TVN_ITEMEXPANDEDW: {
        const auto* info = reinterpret_cast<const NMTREEVIEWW*>(header);
        if (TTreeNode* node = NodeOfItem(info->itemNew.hItem)) node->FExpanded = (info->itemNew.state & TVIS_EXPANDED) != 0;
        return;
    }
    default: return;
    }
}

} // namespace tamrel
