#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"

namespace tamrel::evlog {

TAMREL_IMPLEMENT_CLASS(TMessageBlockFrame) {}

TMessageBlockFrame::TMessageBlockFrame(TComponent* owner) : TFrame(owner), _View(MakeInterfaced<TView>(this)) {}

TMessageBlockFrame::~TMessageBlockFrame() {
    SetDocument(nullptr);
    _View->Frame = nullptr;
}

void TMessageBlockFrame::SetDocument(TEvLogDocument* value) {
    if (_Document != value) {
        if (_Document) _Document->RemoveView(_View.Get());
        _MessageBlock = nullptr;
        _Document = value;
        if (_Document) _Document->AddView(_View.Get());
    }
}

void TMessageBlockFrame::SetMessageBlock(TMessageBlock* value) { _MessageBlock = value; }

void TMessageBlockFrame::DocumentChanged(TEvLogDocumentChanges, TMessageBlock*) {}

} // namespace tamrel::evlog
