// The one way the library shows the system's open and save dialogs, replaceable as a whole.
//
// ShowFileDialog calls GetOpenFileNameW (or GetSaveFileNameW) unless a function was set with
// SetFileDialogFunc. The default path runs under the modal hook of host/ModalHook.h, so a
// headless run sees the dialog once it is visible.
#pragma once

#include "host/Api.h"

#include <windows.h>
#include <commdlg.h>

namespace tamrel {

// Answers whether the user pressed OK; the structure carries the chosen name back.
using TFileDialogFunc = bool (*)(OPENFILENAMEW& ofn, bool save);

TAMREL_API bool ShowFileDialog(OPENFILENAMEW& ofn, bool save);
// For tests: answers the former function; nullptr restores the system dialogs. Process-wide.
TAMREL_API TFileDialogFunc SetFileDialogFunc(TFileDialogFunc f);

} // namespace tamrel
