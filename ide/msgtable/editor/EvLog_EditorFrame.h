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
    // The last frame of a modified document asks "Save changes to %s?": Yes writes the text and
    // the library (the answer is whether both were written), No closes without them, Cancel
    // keeps the window. Other frames, and frames of an unmodified document, close.
    bool CloseQuery() override;

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
