#include "ide/msgtable/editor/EvLog_EditorFrame.h"

namespace tamrel::evlog {

TAMREL_IMPLEMENT_CLASS(TEvLogEditorFrame) {}

TEvLogEditorFrame::TEvLogEditorFrame(TComponent* owner) : TFrame(owner), _View(MakeInterfaced<TView>(this)) {}

TEvLogEditorFrame::~TEvLogEditorFrame() {
    SetDocument(nullptr);
    _View->Frame = nullptr;
}

void TEvLogEditorFrame::SetDocument(TEvLogDocument* value) {
    if (_Document == value) return;
    if (_Document) _Document->RemoveView(_View.Get());
    _Document = value;
    if (_Document) _Document->AddView(_View.Get());
}

void TEvLogEditorFrame::DocumentChanged(TEvLogDocumentChanges, TMessageBlock*) {}

} // namespace tamrel::evlog
