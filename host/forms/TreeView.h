// The tree view over the system's tree-view control: nodes with a text, an image for the normal
// and for the selected state and a pointer of the user's (Data), each with its children in
// order; the selected node, and OnChange whenever it changes (a click, a key, or code); images
// from an image list; whole-row selection; the selection kept visible while the control has no
// focus; an update bracket. Captions are not edited in place.
//
// The nodes are the tree view's: they live while the window is made anew (a style change, the
// parent's window made again), and OnDeletion hears of each one that goes, children before their
// parent, also when the tree view itself goes. The system's own deletion notices are not passed
// on: it sends them for every node when its window goes, which is no deletion of ours.
#pragma once

#include "host/Api.h"
#include "host/forms/Controls.h"
#include "host/forms/ImgList.h"

#include <commctrl.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace tamrel {

class TCustomTreeView;
class TTreeNodes;
class TTreeNode;

using TTVChangedEvent = TMethod<void(TObject* Sender, TTreeNode* Node)>;

class TAMREL_API TTreeNode : public TPersistent {
    TAMREL_CLASS(TTreeNode, TPersistent)
public:
    TTreeNodes* Owner() const { return FOwner; }
    TCustomTreeView* TreeView() const;

    const std::wstring& Text() const { return FText; }
    void SetText(const std::wstring& value);
    int32_t ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int32_t value);
    // The image shown while the node is selected.
    int32_t SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int32_t value);
    void* Data() const { return FData; }
    void SetData(void* value) { FData = value; }

    // Null for a node at the top level.
    TTreeNode* Parent() const { return FParent; }
    int Count() const { return static_cast<int>(FChildren.size()); }
    bool HasChildren() const { return !FChildren.empty(); }
    // Raises EListError for an index out of range.
    TTreeNode* Item(int index) const;
    TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front(); }
    TTreeNode* GetLastChild() const { return FChildren.empty() ? nullptr : FChildren.back(); }
    // The node after or before this one under the same parent; null at the end.
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The place among its siblings; the depth (0 at the top level).
    int Index() const;
    int Level() const;
    // Whether Node is this node's parent, grandparent...
    bool HasAsParent(const TTreeNode* node) const;

    bool Selected() const;
    void SetSelected(bool value);
    bool Expanded() const;
    void SetExpanded(bool value);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    // Expands the parents and scrolls the node into view.
    void MakeVisible();
    // The node's row (or its text only) in the tree view's client coordinates; empty while the
    // node is not shown.
    RECT DisplayRect(bool textOnly) const;

    // Deletes the node and its children (OnDeletion for each, children first).
    void Delete();
    void DeleteChildren();

    // The system's item while the window exists, else null.
    HTREEITEM ItemId() const { return FItem; }

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    TTreeNode(TTreeNodes* owner, TTreeNode* parent);
    ~TTreeNode() override;
    std::vector<TTreeNode*>& Siblings() const;

    TTreeNodes* FOwner;
    TTreeNode* FParent;
    std::vector<TTreeNode*> FChildren;
    std::wstring FText;
    int32_t FImageIndex = -1;
    int32_t FSelectedIndex = -1;
    void* FData = nullptr;
    bool FExpanded = false; // while the tree view has no window
    HTREEITEM FItem = nullptr;
};

class TAMREL_API TTreeNodes : public TPersistent {
    TAMREL_CLASS(TTreeNodes, TPersistent)
public:
    explicit TTreeNodes(TCustomTreeView* owner);
    ~TTreeNodes() override;

    TCustomTreeView* Owner() const { return FOwner; }
    // All nodes, at every level.
    int Count() const { return static_cast<int>(FLive.size()); }
    // Node Index in the order the tree shows them fully expanded (a parent, then its children);
    // raises EListError for an index out of range.
    TTreeNode* Item(int index) const;
    TTreeNode* operator[](int index) const { return Item(index); }
    TTreeNode* GetFirstNode() const { return FRoots.empty() ? nullptr : FRoots.front(); }
    // The nodes at the top level.
    int RootCount() const { return static_cast<int>(FRoots.size()); }
    TTreeNode* Roots(int index) const;

    // A node after the last sibling of Sibling (at the top level when Sibling is null).
    TTreeNode* Add(TTreeNode* sibling, const std::wstring& text);
    TTreeNode* AddObject(TTreeNode* sibling, const std::wstring& text, void* data);
    // The last child of Parent (a top-level node when Parent is null).
    TTreeNode* AddChild(TTreeNode* parent, const std::wstring& text);
    TTreeNode* AddChildObject(TTreeNode* parent, const std::wstring& text, void* data);
    // A node just before Sibling, under its parent (the last top-level node when it is null).
    TTreeNode* Insert(TTreeNode* sibling, const std::wstring& text);
    TTreeNode* InsertObject(TTreeNode* sibling, const std::wstring& text, void* data);
    // OnDeletion for the node's children and the node, then they go.
    void Delete(TTreeNode* node);
    void Clear();
    // Whether Node is one of this tree's nodes now (not deleted).
    bool Contains(const TTreeNode* node) const { return node && FLive.count(node) != 0; }
    // One repaint at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TCustomTreeView;
    TTreeNode* InsertAt(TTreeNode* parent, size_t position, const std::wstring& text, void* data);

    TCustomTreeView* FOwner;
    std::vector<TTreeNode*> FRoots;
    std::unordered_set<const TTreeNode*> FLive;
    int FUpdateCount = 0;
};

class TAMREL_API TCustomTreeView : public TWinControl {
    TAMREL_CLASS(TCustomTreeView, TWinControl)
public:
    explicit TCustomTreeView(TComponent* owner);
    ~TCustomTreeView() override;
    void BeforeDestruction() override;

    TTreeNodes* Items() const { return FItems.get(); }

    // The selected node, or null. Selecting from code raises OnChange as a click does.
    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* node);

    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    // The whole row is selected and a click right of the text selects its node; the system
    // draws no lines then.
    bool RowSelect() const { return FRowSelect; }
    void SetRowSelect(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool value);
    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool value);
    bool ShowRoot() const { return FShowRoot; }
    void SetShowRoot(bool value);

    // The node at a client point (on its text or image, or anywhere in its row with RowSelect);
    // null when there is none.
    TTreeNode* GetNodeAt(int x, int y);

    TTVChangedEvent OnChange() const { return FOnChange; }
    void SetOnChange(TTVChangedEvent e) { FOnChange = e; }
    TTVChangedEvent OnDeletion() const { return FOnDeletion; }
    void SetOnDeletion(TTVChangedEvent e) { FOnDeletion = e; }

    void Notification(TComponent* component, TOperation operation) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    virtual void Change(TTreeNode* node);
    void CNNotify(TMessage& m);

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    bool Live() const;
    // Window updates of one node (and, when inserting, its children after it).
    void InsertNodeWindow(TTreeNode* node);
    void FillNodeWindow(TTreeNode* node);
    void UpdateNodeWindow(TTreeNode* node);
    void DeleteNode(TTreeNode* node);
    TTreeNode* NodeOfItem(HTREEITEM item) const;
    void StyleChanged();

    std::unique_ptr<TTreeNodes> FItems;
    TCustomImageList* FImages = nullptr;
    TTreeNode* FSelected = nullptr; // while there is no window
    bool FRowSelect = false;
    bool FHideSelection = true;
    bool FShowLines = true;
    bool FShowButtons = true;
    bool FShowRoot = true;
    int FClearing = 0;   // every node goes: OnDeletion, but no OnChange for the ones left
    bool FQuiet = false; // the window is made or goes: its notices are not ours
    TTVChangedEvent FOnChange, FOnDeletion;
};

class TAMREL_API TTreeView : public TCustomTreeView {
    TAMREL_CLASS(TTreeView, TCustomTreeView)
public:
    explicit TTreeView(TComponent* owner) : TCustomTreeView(owner) {}
};

} // namespace tamrel
