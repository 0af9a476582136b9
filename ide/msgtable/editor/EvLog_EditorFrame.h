// The content of the add-in's page in the code editor: one message document, as a tree on the
// left ("Properties", "Categories" while the document uses them, "Messages" with one child per
// message block) and on the right the frame of the selected node: the document properties, the
// block list, or the messages of one block.
//
// Several editor windows may show one document at once. Every tree and block list therefore
// takes added and deleted blocks from the document's notices, whichever window made them; the
// frame's own actions only ask the document and select. A notice that names no block (changes
// of several blocks batched together) makes the block nodes anew.
#pragma once

#include "host/ActnList.h"
#include "host/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/ImgList.h"
#include "host/Menus.h"
#include "host/forms/Splitter.h"
#include "host/forms/StdCtrls.h"
#include "host/forms/ToolBar.h"
#include "host/forms/TreeView.h"
#include "ide/msgtable/model/EvLog_Document.h"

namespace tamrel::evlog {

class TMessageBlockFrame;
class TMessagesFrame;
class TPropertiesFrame;

// What a node of the tree shows on the right. Owned by its node, freed when the node goes.
class TTreeNodeData : public TObject {
    TAMREL_CLASS(TTreeNodeData, TObject)
public:
    explicit TTreeNodeData(TCustomFrame* RightFrame) : FRightFrame(RightFrame) {}
    TCustomFrame* RightFrame() const { return FRightFrame; }
    // Runs once the node's frame is the one shown.
    virtual void Activate() {}

private:
    TCustomFrame* FRightFrame;
};

// A node of one block (a block of messages, or the categories block): its frame edits the block.
class TMessageBlockNodeData : public TTreeNodeData {
    TAMREL_CLASS(TMessageBlockNodeData, TTreeNodeData)
public:
    TMessageBlockNodeData(TMessageBlockFrame* RightFrame, TMessageBlock* MessageBlock);
    TMessageBlock* MessageBlock() const { return FMessageBlock; }
    // Hands the block to the block frame.
    void Activate() override;

private:
    TMessageBlock* FMessageBlock;
};

class TEvLogEditorFrame : public TFrame {
    TAMREL_CLASS(TEvLogEditorFrame, TFrame)
public:
    explicit TEvLogEditorFrame(TComponent* AComponent);
    ~TEvLogEditorFrame() override;
    void BeforeDestruction() override;

    TEvLogDocument* Document() const { return FDocument; }
    // Leaves the former document's views, joins the new one's (the value must be assigned),
    // hands it to the right-hand frames, shows "Properties" and makes the block nodes anew.
    void SetDocument(TEvLogDocument* value);
    virtual void DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb);
    // The last frame of a modified document asks "Save changes to %s?": Yes writes the text and
    // the library (the answer is whether both were written), No closes without them, Cancel
    // keeps the window. Other frames, and frames of an unmodified document, close. Text typed
    // into a block frame and not yet taken goes into the document first.
    bool CloseQuery() override;
    // Lets the user choose the document's locales; OK sets them.
    void LocalesDialog();
    // Kept for the menu the frame offers; they do nothing.
    void AddBlock() {}
    void DeleteCurrentBlock() {}
    void AddMessage() {}
    void DeleteCurrentMessage() {}
    void UpdateRowHeight(int32_t) {}

    // Designed controls and components.
    TTreeView* TreeView = nullptr;
    TSplitter* Splitter = nullptr;
    TPanel* RightPanel = nullptr;
    TToolBar* ToolBar1 = nullptr;
    TImageList* Images = nullptr;
    TActionList* Actions = nullptr;
    TAction* aRefresh = nullptr;
    TAction* aBlockNew = nullptr;
    TAction* aBlockDelete = nullptr;
    // For merging into the environment's menu; nothing merges it, and its items do nothing.
    TMainMenu* VM = nullptr;

    // Handlers.
    void aBlockNewExecute(TObject* Sender);
    void aBlockDeleteExecute(TObject* Sender);
    void TreeViewChange(TObject* Sender, TTreeNode* Node);
    void TreeViewDeletion(TObject* Sender, TTreeNode* Node);

    // The nodes and the right-hand frames (each frame made on first use).
    TTreeNode* PropertiesNode() const { return FPropertiesNode; }
    TTreeNode* CategoriesNode() const { return FCategoriesNode; }
    TTreeNode* MessagesNode() const { return FMessagesNode; }
    TCustomFrame* ActiveFrame() const { return FActiveFrame; }
    TPropertiesFrame* PropertiesFrame() const { return FPropertiesFrame; }
    TMessagesFrame* MessagesFrame() const { return FMessagesFrame; }
    TMessageBlockFrame* MessageBlockFrame() const { return FMessageBlockFrame; }
    // The child of "Messages" that shows the block; null when none does.
    TTreeNode* BlockNode(const TMessageBlock* mb) const;

private:
    // The document keeps counted references to its views; the frame is a component, so a small
    // object stands in for it and forgets the frame when the frame goes.
    class TView : public TInterfaced<IEvLogDocumentView> {
    public:
        explicit TView(TEvLogEditorFrame* frame) : Frame(frame) {}
        void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override {
            if (Frame) Frame->DocumentChanged(changes, mb);
        }
        TEvLogEditorFrame* Frame;
    };
    friend class TView;

    void BuildControls();
    void BuildImages();
    void BuildMenu();
    TAction* MakeAction(const wchar_t* name, const wchar_t* caption, const wchar_t* hint, int32_t image);
    template <class TRight> TRight* MakeRightFrame();
    TPropertiesFrame* PropertiesFrameNeeded();
    TMessagesFrame* MessagesFrameNeeded();
    TMessageBlockFrame* MessageBlockFrameNeeded();
    void SetActiveFrame(TCustomFrame* frame);
    TTreeNode* AddBlockNode(TMessageBlock* mb);
    void RemoveBlockNode(TMessageBlock* mb);
    void RebuildBlockNodes();
    // "Categories" is shown while the document uses categories, for the block it has now.
    void UpdateCategoriesNode();
    // WholeBlock: the node's block when it is still whole (the block frame lets go of it then).
    void RemoveCategoriesNode(TMessageBlock* wholeBlock);
    void TakeBlockBack(TMessageBlock* mb);
    // Selects the node of the block; nothing when there is none.
    void SelectMessageBlock(TMessageBlock* mb);
    // Before a block node goes while it is selected: its next sibling, else the one before it,
    // else "Messages" is selected.
    void SelectNeighbourOf(TTreeNode* node);
    bool ShowsBlock(const TMessageBlock* mb) const;

    TComPtr<TView> FView;
    TEvLogDocument* FDocument = nullptr;
    bool FUpdatingFrame = false;
    TCustomFrame* FActiveFrame = nullptr;
    TTreeNode* FPropertiesNode = nullptr;
    TTreeNode* FCategoriesNode = nullptr;
    TTreeNode* FMessagesNode = nullptr;
    TMessageBlockFrame* FMessageBlockFrame = nullptr;
    TPropertiesFrame* FPropertiesFrame = nullptr;
    TMessagesFrame* FMessagesFrame = nullptr;
};

} // namespace tamrel::evlog
