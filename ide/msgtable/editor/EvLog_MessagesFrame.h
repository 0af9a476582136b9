// The list of a document's message blocks: prefix, id range and comment of every block but the
// categories block.
#pragma once

#include "host/forms/ListView.h"
#include "host/forms/StdCtrls.h"
#include "host/forms/Forms.h"
#include "ide/msgtable/model/EvLog_Document.h"

namespace tamrel::evlog {

using TSelectMessageBlockEvent = TMethod<void(TMessageBlock* MessageBlock)>;

class TMessagesFrame : public TFrame {
    TAMREL_CLASS(TMessagesFrame, TFrame)
public:
    explicit TMessagesFrame(TComponent* owner);
    ~TMessagesFrame() override;

    TEvLogDocument* Document() const { return FDocument; }
    // Leaves the former document's views, joins the new one's and fills the list anew.
    void SetDocument(TEvLogDocument* value);
    TSelectMessageBlockEvent OnSelectMessageBlock() const { return FOnSelectMessageBlock; }
    void SetOnSelectMessageBlock(TSelectMessageBlockEvent value) { FOnSelectMessageBlock = value; }

    TListView* lvBlocks = nullptr;
    void lvBlocksDblClick(TObject* Sender);
    void DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb);

private:
    class TView : public TInterfaced<IEvLogDocumentView> {
    public:
        explicit TView(TMessagesFrame* frame) : Frame(frame) {}
        void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override {
            if (Frame) Frame->DocumentChanged(changes, mb);
        }
        TMessagesFrame* Frame;
    };
    void Fill();
    void ShowBlock(TListItem* item, TMessageBlock* mb);
    TListItem* ItemOf(TMessageBlock* mb) const;

    TComPtr<TView> FView;
    TEvLogDocument* FDocument = nullptr;
    TSelectMessageBlockEvent FOnSelectMessageBlock;
};

// The id range of a block as the list shows it: "0100 - 0100".
std::wstring BlockRangeText(const TMessageBlock& mb);

} // namespace tamrel::evlog
