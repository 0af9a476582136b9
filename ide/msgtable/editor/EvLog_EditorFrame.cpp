#include "ide/msgtable/editor/EvLog_EditorFrame.h"

#include "host/Handles.h"
#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_Expert.h"
#include "ide/msgtable/editor/EvLog_LocalesForm.h"
#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"
#include "ide/msgtable/editor/EvLog_MessagesFrame.h"
#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"

namespace tamrel::evlog {

namespace {

// The images of the tree and the tool bar, by their place in the image list.
enum : int32_t { imProperties, imMessages, imCategories, imRefresh, imBlock, imDeleteBlock };

constexpr wchar_t SPropertiesNode[] = L"Properties";
constexpr wchar_t SCategoriesNode[] = L"Categories";
constexpr wchar_t SMessagesNode[] = L"Messages";
constexpr wchar_t SSaveChanges[] = L"Save changes to %s?";

// The categories block has its own node; "Messages" shows the other blocks.
bool IsMessagesBlock(const TMessageBlock& mb) { return mb.LowId() != 1; }

TTreeNodeData* DataOf(const TTreeNode* node) { return node ? static_cast<TTreeNodeData*>(node->Data()) : nullptr; }

void SetNodeImage(TTreeNode* node, int32_t image) {
    node->SetImageIndex(image);
    node->SetSelectedIndex(image);
}

// One 16 x 16 picture of the image list; fuchsia is transparent.
void DrawImage(TCanvas& c, int32_t image) {
    auto fill = [&c](TColor colour, RECT r) {
        c.Brush()->SetColor(colour);
        c.FillRect(r);
    };
    switch (image) {
    case imProperties: // a sheet with lines
        fill(clGray, RECT{2, 1, 14, 15});
        fill(clWhite, RECT{3, 2, 13, 14});
        for (int y = 4; y < 13; y += 3) fill(clNavy, RECT{5, y, 11, y + 1});
        break;
    case imMessages: // a stack of blocks
        fill(clNavy, RECT{1, 2, 12, 8});
        fill(clBlue, RECT{4, 8, 15, 14});
        break;
    case imCategories: // two tags
        fill(clGreen, RECT{1, 2, 9, 9});
        fill(clOlive, RECT{6, 7, 15, 14});
        break;
    case imRefresh: // a ring with a gap
        fill(clTeal, RECT{2, 2, 14, 14});
        fill(clFuchsia, RECT{5, 5, 11, 11});
        fill(clFuchsia, RECT{10, 2, 14, 6});
        break;
    case imBlock: // one block of lines
        fill(clNavy, RECT{2, 2, 14, 14});
        for (int y = 4; y < 13; y += 3) fill(clAqua, RECT{4, y, 12, y + 1});
        break;
    case imDeleteBlock: // a cross
        for (int i = 2; i < 14; ++i) {
            fill(clRed, RECT{i, i, i + 2, i + 2});
            fill(clRed, RECT{15 - i, i, 17 - i, i + 2});
        }
        break;
    default: break;
    }
}

// The right-hand panel: its frames keep a border of two pixels inside its bevel.
class TEvLogRightPanel : public TPanel {
    TAMREL_CLASS(TEvLogRightPanel, TPanel)
public:
    explicit TEvLogRightPanel(TComponent* owner) : TPanel(owner) {}

protected:
    void AlignControls(RECT& rect) override {
        InflateRect(&rect, -BorderWidth, -BorderWidth);
        TPanel::AlignControls(rect);
    }

private:
    static constexpr int BorderWidth = 2;
};
TAMREL_IMPLEMENT_CLASS(TEvLogRightPanel) {}

} // namespace

// ---------------------------------------------------------------------------------------------
// Node data

TAMREL_IMPLEMENT_CLASS(TTreeNodeData) {}
TAMREL_IMPLEMENT_CLASS(TMessageBlockNodeData) {}

TMessageBlockNodeData::TMessageBlockNodeData(TMessageBlockFrame* RightFrame, TMessageBlock* MessageBlock)
    : TTreeNodeData(RightFrame), FMessageBlock(MessageBlock) {}

void TMessageBlockNodeData::Activate() {
    TTreeNodeData::Activate();
    static_cast<TMessageBlockFrame*>(RightFrame())->SetMessageBlock(FMessageBlock);
}

// ---------------------------------------------------------------------------------------------
// TEvLogEditorFrame

TAMREL_IMPLEMENT_CLASS(TEvLogEditorFrame) {
    using T = TEvLogEditorFrame;
    b.Method<&T::aBlockNewExecute>(L"aBlockNewExecute");
    b.Method<&T::aBlockDeleteExecute>(L"aBlockDeleteExecute");
    b.Method<&T::TreeViewChange>(L"TreeViewChange");
    b.Method<&T::TreeViewDeletion>(L"TreeViewDeletion");
}

TEvLogEditorFrame::TEvLogEditorFrame(TComponent* AComponent)
    : TFrame(AComponent), FView(MakeInterfaced<TView>(this)) {
    BuildImages();
    BuildControls();
    BuildMenu();
}

TEvLogEditorFrame::~TEvLogEditorFrame() { FView->Frame = nullptr; }

void TEvLogEditorFrame::BeforeDestruction() {
    // The document outlives the editor windows: it must never reach a frame that is gone. The
    // tree's own going then frees the node data, and no selection of it shows a frame again.
    if (FDocument) FDocument->RemoveView(FView.Get());
    FDocument = nullptr;
    FView->Frame = nullptr;
    TreeView->SetOnChange({});
    TFrame::BeforeDestruction();
}

void TEvLogEditorFrame::BuildImages() {
    Images = Create<TImageList>(this);
    Images->SetName(L"Images");
    for (int32_t image = imProperties; image <= imDeleteBlock; ++image) {
        TBitmap picture;
        picture.SetSize(Images->Width(), Images->Height());
        picture.Canvas()->Brush()->SetColor(clFuchsia);
        picture.Canvas()->FillRect(RECT{0, 0, Images->Width(), Images->Height()});
        DrawImage(*picture.Canvas(), image);
        Images->AddMasked(&picture, clFuchsia);
    }
}

TAction* TEvLogEditorFrame::MakeAction(const wchar_t* name, const wchar_t* caption, const wchar_t* hint, int32_t image) {
    auto* action = Create<TAction>(this);
    action->SetActionList(Actions);
    action->SetName(name);
    action->SetCaption(caption);
    action->SetHint(hint);
    action->SetImageIndex(image);
    return action;
}

void TEvLogEditorFrame::BuildControls() {
    Actions = Create<TActionList>(this);
    Actions->SetName(L"Actions");
    // Without a handler the list keeps it disabled: nothing needs refreshing, the frames follow
    // the document's notices.
    aRefresh = MakeAction(L"aRefresh", L"Refresh", L"", imRefresh);
    aBlockNew = MakeAction(L"aBlockNew", L"New block", L"Append new messages block", imBlock);
    aBlockNew->SetOnExecute(TNotifyEvent::Of<&TEvLogEditorFrame::aBlockNewExecute>(this));
    aBlockNew->SetShortCut(scCtrl | 'N');
    aBlockDelete = MakeAction(L"aBlockDelete", L"Delete block", L"Delete current messages block", imDeleteBlock);
    aBlockDelete->SetOnExecute(TNotifyEvent::Of<&TEvLogEditorFrame::aBlockDeleteExecute>(this));
    aBlockDelete->SetEnabled(false);

    ToolBar1 = Create<TToolBar>(this);
    ToolBar1->SetName(L"ToolBar1");
    ToolBar1->SetParent(this);
    ToolBar1->SetAlign(alTop);
    ToolBar1->SetHeight(ToolBar1->ButtonHeight() + 4);
    ToolBar1->SetImages(Images);
    for (TAction* action : {aBlockNew, aBlockDelete, static_cast<TAction*>(nullptr), aRefresh}) {
        auto* button = Create<TToolButton>(this);
        button->SetParent(ToolBar1);
        if (action) {
            button->SetAction(action);
            button->SetShowHint(true);
        } else {
            button->SetStyle(tbsSeparator);
        }
    }

    TreeView = Create<TTreeView>(this);
    TreeView->SetName(L"TreeView");
    TreeView->SetParent(this);
    TreeView->SetAlign(alLeft);
    TreeView->SetWidth(289);
    TreeView->SetRowSelect(true);
    TreeView->SetHideSelection(false);
    TreeView->SetImages(Images);
    TreeView->SetOnChange(TTVChangedEvent::Of<&TEvLogEditorFrame::TreeViewChange>(this));
    TreeView->SetOnDeletion(TTVChangedEvent::Of<&TEvLogEditorFrame::TreeViewDeletion>(this));

    Splitter = Create<TSplitter>(this);
    Splitter->SetName(L"Splitter");
    Splitter->SetParent(this);
    Splitter->SetAlign(alLeft);
    Splitter->SetLeft(TreeView->Width());

    RightPanel = Create<TEvLogRightPanel>(this);
    RightPanel->SetName(L"RightPanel");
    RightPanel->SetParent(this);
    RightPanel->SetAlign(alClient);
    RightPanel->SetBevelOuter(bvLowered);
    RightPanel->SetCaption(L"");
}

void TEvLogEditorFrame::BuildMenu() {
    VM = Create<TMainMenu>(this);
    VM->SetName(L"VM");
    auto add = [this](TMenuItem* parent, const wchar_t* name, const wchar_t* caption) {
        auto* item = Create<TMenuItem>(this);
        item->SetName(name);
        item->SetCaption(caption);
        parent->Add(item);
        return item;
    };
    TMenuItem* view = add(VM->Items(), L"VM_View", L"&View");
    add(view, L"VM_View_Separator", L"-");
    add(view, L"VM_View_NewEditWindow", L"");
    TMenuItem* messages = add(VM->Items(), L"VM_Messages", L"&Messages");
    add(messages, L"VM_Messages_AddBlock", L"");
    add(messages, L"VM_Messages_DeleteBlock", L"");
    add(messages, L"VM_Messages_BlockSeparator", L"-");
    add(messages, L"VM_Messages_LocalesDialog", L"");
    TMenuItem* project = add(VM->Items(), L"VM_Project", L"&Project");
    add(project, L"VM_Project_Build", L"");
    add(project, L"VM_Project_Install", L"");
    add(project, L"VM_Project_Uninstall", L"");
    add(project, L"VM_Project_Separator", L"-");
    add(project, L"VM_Project_Options", L"");
}

template <class TRight> TRight* TEvLogEditorFrame::MakeRightFrame() {
    auto* frame = Create<TRight>(this);
    frame->SetParent(RightPanel);
    frame->SetAlign(alClient);
    frame->Hide();
    return frame;
}

TPropertiesFrame* TEvLogEditorFrame::PropertiesFrameNeeded() {
    if (!FPropertiesFrame) FPropertiesFrame = MakeRightFrame<TPropertiesFrame>();
    return FPropertiesFrame;
}

TMessagesFrame* TEvLogEditorFrame::MessagesFrameNeeded() {
    if (!FMessagesFrame) {
        FMessagesFrame = MakeRightFrame<TMessagesFrame>();
        FMessagesFrame->SetOnSelectMessageBlock(
            TSelectMessageBlockEvent::Of<&TEvLogEditorFrame::SelectMessageBlock>(this));
    }
    return FMessagesFrame;
}

TMessageBlockFrame* TEvLogEditorFrame::MessageBlockFrameNeeded() {
    if (!FMessageBlockFrame) {
        FMessageBlockFrame = MakeRightFrame<TMessageBlockFrame>();
        FMessageBlockFrame->SetDoDeleteBlock(TNotifyEvent::Of<&TEvLogEditorFrame::aBlockDeleteExecute>(this));
    }
    return FMessageBlockFrame;
}

void TEvLogEditorFrame::SetActiveFrame(TCustomFrame* frame) {
    if (FActiveFrame && FActiveFrame != frame) FActiveFrame->Hide();
    FActiveFrame = frame;
    if (frame) frame->Show();
}

void TEvLogEditorFrame::SetDocument(TEvLogDocument* value) {
    if (!value) throw EInvalidOperation(L"The editor frame needs a document");
    if (FCategoriesNode) {
        TTreeNode* categories = std::exchange(FCategoriesNode, nullptr);
        categories->Delete();
    }
    if (FDocument != value) {
        if (FDocument) FDocument->RemoveView(FView.Get());
        FDocument = value;
        FDocument->AddView(FView.Get());
    }
    {
        TTreeNodes& items = *TreeView->Items();
        items.BeginUpdate();
        TScopeExit endUpdate([&items] { items.EndUpdate(); });
        if (!FPropertiesNode) {
            FPropertiesNode = items.AddChildObject(nullptr, SPropertiesNode, new TTreeNodeData(PropertiesFrameNeeded()));
            SetNodeImage(FPropertiesNode, imProperties);
        }
        if (!FMessagesNode) {
            FMessagesNode = items.AddChildObject(nullptr, SMessagesNode, new TTreeNodeData(MessagesFrameNeeded()));
            SetNodeImage(FMessagesNode, imMessages);
        }
        MessagesFrameNeeded()->SetDocument(FDocument);
        PropertiesFrameNeeded()->SetDocument(FDocument);
        MessageBlockFrameNeeded()->SetDocument(FDocument);
        TreeView->SetSelected(FPropertiesNode);
        SetActiveFrame(FPropertiesFrame);
    }
    DocumentChanged(TEvLogDocumentChanges{eldcUseCategories}, nullptr);
    RebuildBlockNodes();
}

TTreeNode* TEvLogEditorFrame::BlockNode(const TMessageBlock* mb) const {
    if (!FMessagesNode || !mb) return nullptr;
    for (TTreeNode* node = FMessagesNode->GetFirstChild(); node; node = node->GetNextSibling())
        if (auto* data = dynamic_cast<TMessageBlockNodeData*>(DataOf(node)); data && data->MessageBlock() == mb) return node;
    return nullptr;
}

TTreeNode* TEvLogEditorFrame::AddBlockNode(TMessageBlock* mb) {
    TTreeNode* node = TreeView->Items()->AddChildObject(FMessagesNode, mb->MessageNamePrefix(),
                                                        new TMessageBlockNodeData(MessageBlockFrameNeeded(), mb));
    SetNodeImage(node, imBlock);
    FMessagesNode->Expand(false);
    return node;
}

void TEvLogEditorFrame::SelectNeighbourOf(TTreeNode* node) {
    if (!node->Selected()) return;
    TTreeNode* next = node->GetNextSibling();
    if (!next) next = node->GetPrevSibling();
    if (!next) next = node->Parent();
    TreeView->SetSelected(next);
}

void TEvLogEditorFrame::TakeBlockBack(TMessageBlock* mb) {
    // Only a block that is still whole: letting go of it may write the block frame's typed text
    // into it.
    if (FMessageBlockFrame && mb && FMessageBlockFrame->MessageBlock() == mb) FMessageBlockFrame->SetMessageBlock(nullptr);
}

void TEvLogEditorFrame::RemoveBlockNode(TMessageBlock* mb) {
    // The block goes once its views have heard of it: nothing may show it then.
    if (TTreeNode* node = BlockNode(mb)) {
        SelectNeighbourOf(node);
        node->Delete();
    }
    TakeBlockBack(mb);
}

bool TEvLogEditorFrame::ShowsBlock(const TMessageBlock* mb) const {
    TMessageTable& table = FDocument->MessageTable();
    for (int i = 0; i < table.BlockCount(); ++i)
        if (table.Blocks(i) == mb) return true;
    return false;
}

void TEvLogEditorFrame::RebuildBlockNodes() {
    if (!FMessagesNode || !FDocument) return;
    // The selection leaves the old nodes first: the system would otherwise select one whose
    // block may be gone already.
    TTreeNode* selected = TreeView->Selected();
    TMessageBlock* selectedBlock = nullptr;
    if (selected && selected->Parent() == FMessagesNode) {
        selectedBlock = static_cast<TMessageBlockNodeData*>(DataOf(selected))->MessageBlock();
        TreeView->SetSelected(FMessagesNode);
    }
    TTreeNodes& items = *TreeView->Items();
    items.BeginUpdate();
    TScopeExit endUpdate([&items] { items.EndUpdate(); });
    FMessagesNode->DeleteChildren();
    TMessageTable& table = FDocument->MessageTable();
    for (int i = 0; i < table.BlockCount(); ++i)
        if (TMessageBlock* mb = table.Blocks(i); IsMessagesBlock(*mb)) AddBlockNode(mb);
    UpdateCategoriesNode();
    if (selectedBlock && ShowsBlock(selectedBlock))
        if (TTreeNode* node = BlockNode(selectedBlock)) TreeView->SetSelected(node);
}

void TEvLogEditorFrame::UpdateCategoriesNode() {
    const bool wanted = FDocument->UseCategories() && FMessagesNode;
    if (FCategoriesNode) {
        auto* data = static_cast<TMessageBlockNodeData*>(DataOf(FCategoriesNode));
        if (!ShowsBlock(data->MessageBlock())) RemoveCategoriesNode(nullptr);
        else if (!wanted) RemoveCategoriesNode(data->MessageBlock());
    }
    if (wanted && !FCategoriesNode) {
        // Obtaining the block makes it when the document has none.
        FCategoriesNode = TreeView->Items()->InsertObject(
            FMessagesNode, SCategoriesNode, new TMessageBlockNodeData(MessageBlockFrameNeeded(), FDocument->CategoriesBlock()));
        SetNodeImage(FCategoriesNode, imCategories);
    }
}

void TEvLogEditorFrame::RemoveCategoriesNode(TMessageBlock* wholeBlock) {
    if (!FCategoriesNode) return;
    SelectNeighbourOf(FCategoriesNode);
    TTreeNode* categories = std::exchange(FCategoriesNode, nullptr);
    categories->Delete();
    TakeBlockBack(wholeBlock);
}

void TEvLogEditorFrame::DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) {
    if (!FDocument) return;
    if (changes.Contains(eldcUseCategories)) UpdateCategoriesNode();
    const bool blocks = changes.Contains(eldcBlockAdded) || changes.Contains(eldcBlockDeleted) ||
                        changes.Contains(eldcBlockModified) || changes.Contains(eldcMultiBlocks) ||
                        changes.Contains(eldcClear);
    if (!blocks) return;
    // A batch of several blocks names none: which were added or deleted is not known.
    if (!mb || changes.Contains(eldcMultiBlocks) || changes.Contains(eldcClear)) {
        RebuildBlockNodes();
        return;
    }
    if (changes.Contains(eldcBlockDeleted)) {
        // The categories block may go too (its last message deleted): its node goes with it.
        if (FCategoriesNode && static_cast<TMessageBlockNodeData*>(DataOf(FCategoriesNode))->MessageBlock() == mb)
            RemoveCategoriesNode(mb);
        RemoveBlockNode(mb);
        return;
    }
    if (changes.Contains(eldcBlockAdded) && IsMessagesBlock(*mb) && !BlockNode(mb)) AddBlockNode(mb);
    if (changes.Contains(eldcBlockModified))
        if (TTreeNode* node = BlockNode(mb)) node->SetText(mb->MessageNamePrefix());
}

void TEvLogEditorFrame::SelectMessageBlock(TMessageBlock* mb) {
    if (TTreeNode* node = BlockNode(mb)) TreeView->SetSelected(node);
}

void TEvLogEditorFrame::aBlockNewExecute(TObject*) {
    if (!FDocument) return;
    TMessageBlock* added = nullptr;
    try {
        added = FDocument->AddBlock();
    } catch (const Exception& e) {
        // No ids left after the blocks, or a name the new message would take is taken.
        TWinControl* root = GetParentRoot(this);
        ShowMessageBox(root && root->HandleAllocated() ? root->Handle() : nullptr, e.Message(), L"Error",
                       MB_OK | MB_ICONERROR);
        return;
    }
    // The document's notice puts the block into every tree; this one selects it.
    SelectMessageBlock(added);
}

void TEvLogEditorFrame::aBlockDeleteExecute(TObject*) {
    TTreeNode* node = TreeView->Selected();
    if (!FDocument || !node || !FMessagesNode || node->Parent() != FMessagesNode) return;
    TMessageBlock* mb = static_cast<TMessageBlockNodeData*>(DataOf(node))->MessageBlock();
    SelectNeighbourOf(node);
    // The document's notice takes the node out of every tree.
    FDocument->DeleteBlock(mb);
}

void TEvLogEditorFrame::TreeViewChange(TObject*, TTreeNode* Node) {
    aBlockDelete->SetEnabled(Node && FMessagesNode && Node->Parent() == FMessagesNode);
    if (FUpdatingFrame) return;
    FUpdatingFrame = true;
    TScopeExit done([this] { FUpdatingFrame = false; });
    if (TTreeNodeData* data = DataOf(Node)) {
        SetActiveFrame(data->RightFrame());
        data->Activate();
    }
}

void TEvLogEditorFrame::TreeViewDeletion(TObject*, TTreeNode* Node) {
    if (Node == FPropertiesNode) FPropertiesNode = nullptr;
    if (Node == FCategoriesNode) FCategoriesNode = nullptr;
    if (Node == FMessagesNode) FMessagesNode = nullptr;
    if (TTreeNodeData* data = DataOf(Node)) {
        Node->SetData(nullptr);
        Free(data);
    }
}

void TEvLogEditorFrame::LocalesDialog() {
    if (!FDocument) return;
    std::vector<uint32_t> locales = FDocument->UsedLocales();
    if (SelectLocales(locales)) FDocument->SetUsedLocales(locales);
}

bool TEvLogEditorFrame::CloseQuery() {
    if (!FDocument) return true;
    // Text typed a moment ago is no edit of the document yet: the question must cover it.
    TMessageBlockFrame::CommitTypedTexts(*FDocument);
    if (!FDocument->Modified()) return true;
    // The document module and the right-hand frames are views too: only the last editor frame
    // asks.
    for (int i = 0; i < FDocument->ViewCount(); ++i) {
        auto* view = dynamic_cast<TView*>(FDocument->Views(i));
        if (view && view->Frame && view->Frame != this) return true;
    }
    switch (ShowMessageBox(nullptr, Format(SSaveChanges, FDocument->ShortFileName()), L"Confirm",
                           MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        // By the document itself, not by its file name: a unit closed and opened again has a
        // second document module on the same file, with a document of its own.
        for (int i = 0; EvLogExpert && i < EvLogExpert->DocumentModuleCount(); ++i)
            if (TEvLogDocumentModule* module = EvLogExpert->DocumentModules(i); &module->Document() == FDocument)
                return module->SaveDocumentFiles();
        if (std::wstring reason; !FDocument->Save(&reason)) {
            ShowMessageBox(nullptr, reason, L"Error", MB_OK | MB_ICONERROR);
            return false;
        }
        return true;
    case IDNO: return true;
    default: return false;
    }
}

} // namespace tamrel::evlog
