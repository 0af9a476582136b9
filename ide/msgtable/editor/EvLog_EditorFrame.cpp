#include "ide/msgtable/editor/EvLog_EditorFrame.h"

#include "host/MessageBox.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_Expert.h"

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

bool TEvLogEditorFrame::CloseQuery() {
    if (!_Document || !_Document->Modified()) return true;
    // The document module and other frames are views too: only the last frame asks.
    for (int i = 0; i < _Document->ViewCount(); ++i) {
        auto* view = dynamic_cast<TView*>(_Document->Views(i));
        if (view && view->Frame && view->Frame != this) return true;
    }
    switch (ShowMessageBox(nullptr, Format(L"Save changes to %s?", _Document->ShortFileName()), L"Confirm",
                           MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
        if (EvLogExpert)
            if (TEvLogDocumentModule* module = EvLogExpert->FindDocumentModuleByFileName(_Document->FileName()))
                return module->SaveDocumentFiles();
        return _Document->Save();
    case IDNO:
        return true;
    default:
        return false;
    }
}

} // namespace tamrel::evlog
