// The content of the add-in's page in the code editor: one message document.
#pragma once

#include "host/Forms.h"
#include "ide/msgtable/model/EvLog_Document.h"

namespace tamrel::evlog {

class TEvLogEditorFrame : public TFrame {
    TAMREL_CLASS(TEvLogEditorFrame, TFrame)
public:
    explicit TEvLogEditorFrame(TComponent* owner);
    ~TEvLogEditorFrame() override;

    TEvLogDocument* Document() const { return _Document; }
    // Leaves the former document's views and joins the new one's.
    void SetDocument(TEvLogDocument* value);
    virtual void DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb);

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
    TComPtr<TView> _View;
    TEvLogDocument* _Document = nullptr;
};

} // namespace tamrel::evlog
