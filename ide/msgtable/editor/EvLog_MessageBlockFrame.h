// Edits one message block of a document: its messages, the comment and texts per locale, and a
// preview of the constants the source generator writes for it.
//
// What is typed is never lost to a later step: the memo's text and a name typed into the grid
// are taken into the block before another message, locale, block or document is shown, and
// before every action (a speed button takes no focus, so the memo or the grid would not know of
// the click otherwise). The memo's text is also taken on leaving the memo and on each tick of the
// timer.
//
// The frame is a view of its document. A block deleted from the document is dropped when the
// document tells of it (before the block is freed), and a notice that names no block drops a
// shown block that is no longer in the table: nothing of the frame touches a freed block. A block
// that another frame changed (another window on the document) is shown anew.
#pragma once

#include "host/ActnList.h"
#include "host/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/ImgList.h"
#include "host/forms/PaintBox.h"
#include "host/forms/ScrollBox.h"
#include "host/forms/SpeedButton.h"
#include "host/forms/StdCtrls.h"
#include "host/forms/Tabs.h"
#include "host/forms/ValEdit.h"
#include "ide/msgtable/model/EvLog_Document.h"

namespace tamrel::evlog {

inline constexpr wchar_t SDeleteLastMessage[] =
    L"This messages block contains one message only. If you\r\nremove it the whole block will be deleted.\r\n"
    L"Would you like to remove curent messages block?";

class TMessageBlockFrame : public TFrame {
    TAMREL_CLASS(TMessageBlockFrame, TFrame)
public:
    explicit TMessageBlockFrame(TComponent* owner);
    ~TMessageBlockFrame() override;
    // What was typed goes into the block (a name only when it is valid), then the frame leaves its
    // document, while its controls are still whole.
    void BeforeDestruction() override;

    TEvLogDocument* Document() const { return FDocument; }
    // Takes what was typed into the former block, leaves the former document's views and joins
    // the new one's; no block is edited afterwards.
    void SetDocument(TEvLogDocument* value);
    TMessageBlock* MessageBlock() const { return FMessageBlock; }
    void SetMessageBlock(TMessageBlock* value);
    // Asks the owner to delete the whole block.
    TNotifyEvent DoDeleteBlock() const { return FDoDeleteBlock; }
    void SetDoDeleteBlock(TNotifyEvent value) { FDoDeleteBlock = value; }

    void DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb);
    // What was typed and not taken yet goes into the block now: the memo's text, and a name
    // typed into the grid when the block can take it (one it cannot stays typed, without a box).
    void CommitTypedText();
    // The same for every block frame of the document: before it is saved, and before its last
    // window asks whether to save it (a speed button, a tool button or the environment's save
    // takes no focus from the memo or the grid).
    static void CommitTypedTexts(TEvLogDocument& document);
    // Runs the block-properties dialog for MB; true when OK took new values into the block.
    bool BlockPropertiesDialog(TMessageBlock* MB);

    int32_t PreviewWidth() const { return FPreviewWidth; }
    int32_t PreviewHeight() const { return FPreviewHeight; }
    SIZE PreviewTextExtent() const { return FPreviewTextExtent; }
    bool MessageEditorIsChanged() const { return FMessageEditorIsChanged; }
    bool NameIsChanged() const { return FNameIsChanged; }
    const std::wstring& NewName() const { return FNewName; }
    int32_t MessageIndex() const { return FMessageIndex; }
    int32_t LocaleIndex() const { return FLocaleIndex; }
    bool MessageTableSelected() const { return FMessageTableSelected; }

    // The designed controls.
    TSpeedButton* sbMessageAdd = nullptr;
    TSpeedButton* sbMessageDelete = nullptr;
    TSpeedButton* sbMessageMoveTop = nullptr;
    TSpeedButton* sbMessageMoveUp = nullptr;
    TSpeedButton* sbMessageMoveDown = nullptr;
    TSpeedButton* sbMessageMoveBottom = nullptr;
    TSpeedButton* sbBlockConfigure = nullptr;
    TValueListEditor* vleMessages = nullptr;
    TTabSet* TbLocales = nullptr;
    TMemo* mMessageEditor = nullptr;
    TScrollBox* sbPreview = nullptr;
    TPaintBox* pbPreview = nullptr;
    TTimer* tmMessageEditor = nullptr;
    TImageList* ilActions = nullptr;
    TActionList* alActions = nullptr;
    TAction* aMessageAdd = nullptr;
    TAction* aMessageDelete = nullptr;
    TAction* aMessageMoveTop = nullptr;
    TAction* aMessageMoveUp = nullptr;
    TAction* aMessageMoveDown = nullptr;
    TAction* aMessageMoveBottom = nullptr;
    TAction* aBlockConfigure = nullptr;

    void aMessageAddExecute(TObject* Sender);
    void aMessageDeleteExecute(TObject* Sender);
    void aMessageMoveTopExecute(TObject* Sender);
    void aMessageMoveUpExecute(TObject* Sender);
    void aMessageMoveDownExecute(TObject* Sender);
    void aMessageMoveBottomExecute(TObject* Sender);
    void aBlockConfigureExecute(TObject* Sender);
    void vleMessagesEnter(TObject* Sender);
    void vleMessagesExit(TObject* Sender);
    void vleMessagesSetEditText(TObject* Sender, int ACol, int ARow, const std::wstring& Value);
    void vleMessagesKeyPress(TObject* Sender, wchar_t& Key);
    void vleMessagesSelectCell(TObject* Sender, int ACol, int ARow, bool& CanSelect);
    void vleMessagesValidate(TObject* Sender, int ACol, int ARow, const std::wstring& KeyName,
                             const std::wstring& KeyValue);
    void TbLocalesChange(TObject* Sender);
    void mMessageEditorChange(TObject* Sender);
    void mMessageEditorExit(TObject* Sender);
    void tmMessageEditorTimer(TObject* Sender);
    void pbPreviewPaint(TObject* Sender);

private:
    class TView : public TInterfaced<IEvLogDocumentView> {
    public:
        explicit TView(TMessageBlockFrame* frame) : Frame(frame) {}
        void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override {
            if (Frame) Frame->DocumentChanged(changes, mb);
        }
        TMessageBlockFrame* Frame;
    };

    void CreateControls();
    // The memo's text into the block, when it was changed.
    void CommitEditor();
    // A name typed into the selected row, through the validation.
    void CommitName();
    void CommitEdits() {
        CommitName();
        CommitEditor();
    }
    // Shows no block: an empty grid and memo, nothing to preview.
    void DropBlock();
    void SelectLocale(int32_t index);
    void SelectMessage(int32_t index);
    // The message and its grid row.
    void SelectRow(int32_t index);
    void UpdateActions();
    void RebuildTabs();
    void FillGrid();
    // The block shown anew after another frame changed it, at this frame's message and locale.
    void ShowBlockAgain();
    // The document's notice of a change of the block, which this frame made itself.
    void TellModified(TMessageBlock* block);
    uint32_t LocaleOfTab(int32_t index) const;
    std::wstring IdText(int32_t index) const;
    void ExchangeMessages(int32_t i, int32_t j);
    void MoveMessageTo(int32_t target);
    SIZE MeasureCell();
    void SetPreviewSize(int32_t width, int32_t height);
    void UpdatePreviewSize();
    HWND BoxOwner();

    TComPtr<TView> FView;
    TEvLogDocument* FDocument = nullptr;
    int32_t FPreviewWidth = 0;
    int32_t FPreviewHeight = 0;
    SIZE FPreviewTextExtent = {};
    bool FMessageEditorIsChanged = false;
    TMessageBlock* FMessageBlock = nullptr;
    bool FNameIsChanged = false;
    std::wstring FNewName;
    int32_t FMessageIndex = -1;
    TNotifyEvent FDoDeleteBlock;
    bool FChangeTabIndex = false;
    int32_t FLocaleIndex = 0;
    bool FMessageTableSelected = false;
    // What the memo shows: the message and the locale (0: the comment) its text belongs to.
    int32_t FEditorMessage = -1;
    uint32_t FEditorLocale = 0;
    bool FFillingEditor = false;
    bool FTelling = false;
};

} // namespace tamrel::evlog
