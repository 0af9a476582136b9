// Message boxes through one replaceable function, so that tests can answer them.
//
// The system's box runs under the modal hook of host/ModalHook.h: a program driven headlessly
// sees each box once it is visible and may answer it; nothing changes when no hook is installed.
#pragma once

#include "host/Api.h"

#include <windows.h>

#include <string>

namespace tamrel {

using TMessageBoxFunc = int (*)(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// MessageBoxW, unless a test has put its own function in place. Answers the button pressed.
TAMREL_API int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
// Answers the function in place before; nullptr puts MessageBoxW back. Process-wide.
TAMREL_API TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc f);

} // namespace tamrel
