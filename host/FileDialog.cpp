#include "host/FileDialog.h"

#include "host/ModalHook.h"

#include <atomic>

namespace tamrel {

namespace {
std::atomic<TFileDialogFunc> gFileDialogFunc{nullptr};
} // namespace

bool ShowFileDialog(OPENFILENAMEW& ofn, bool save) {
    if (TFileDialogFunc f = gFileDialogFunc.load()) return f(ofn, save);
    TModalWindow dialog;
    dialog.Kind = TModalKind::mkFileDialog;
    if (ofn.lpstrTitle) dialog.Caption = ofn.lpstrTitle;
    return RunSystemModal(dialog, [&]() -> INT_PTR { return save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn); }) != 0;
}

TFileDialogFunc SetFileDialogFunc(TFileDialogFunc f) { return gFileDialogFunc.exchange(f); }

} // namespace tamrel
