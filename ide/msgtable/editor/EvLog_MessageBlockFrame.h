// Edits one message block of a document: its messages, the comment and texts per locale, and a
// preview of the constants the source generator writes for it.
#pragma once

#include "host/Forms.h"
#include "ide/msgtable/model/EvLog_Document.h"

namespace tamrel::evlog {

class TMessageBlockFrame : public TFrame {
    TAMREL_CLASS(TMessageBlockFrame, TFrame)
public:
    explicit TMessageBlockFrame(TComponent* owner);
    ~TMessageBlockFrame() override;

    TEvLogDocument* Document() const { return _Document; }
    // Leaves the former document's views and joins the new one's; no block is edited afterwards.
    void SetDocument(TEvLogDocument* value);
    TMessageBlock* MessageBlock() const { return _MessageBlock; }
    void SetMessageBlock(TMessageBlock* value);
    // Asks the owner to delete the whole block.
    TNotifyEvent DoDeleteBlock() const { return _DoDeleteBlock; }
    void SetDoDeleteBlock(TNotifyEvent value) { _DoDeleteBlock = value; }

    void DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb);

private:
    class TView : public TInterfaced<IEvLogDocumentView> {
    public:
        explicit TView(TMessageBlockFrame* frame) : Frame(frame) {}
        void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override {
            if (Frame) Frame->DocumentChanged(changes, mb);
        }
        TMessageBlockFrame* Frame;
    };
    TComPtr<TView> _View;
    TEvLogDocument* _Document = nullptr;
    TMessageBlock* _MessageBlock = nullptr;
    TNotifyEvent _DoDeleteBlock;
};

} // namespace tamrel::evlog
