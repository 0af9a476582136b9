// The one way the library shows a message box, replaceable as a whole.
//
// ShowMessageBox calls MessageBoxW unless a function was set with SetMessageBoxFunc. The
// default path runs under the modal hook of host/ModalHook.h: a program driven headlessly sees
// each box once it is visible and may answer it; nothing changes when no hook is installed.
#pragma once

#include "host/Api.h"

#include <windows.h>

#include <string>

namespace tamrel {

using TMessageBoxFunc = int (*)(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// Answers the button pressed (IDOK, IDNO...), as MessageBoxW does.
TAMREL_API int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
// For tests: answers the former function; nullptr restores MessageBoxW. Process-wide.
TAMREL_API TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc f);

} // namespace tamrel
