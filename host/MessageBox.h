// Message boxes through one replaceable function, so that tests can answer them.
#pragma once

#include "host/Api.h"

#include <windows.h>

#include <string>

namespace tamrel {

using TMessageBoxFunc = int (*)(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// MessageBoxW, unless a test has put its own function in place.
TAMREL_API int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
// Answers the function in place before; nullptr puts MessageBoxW back.
TAMREL_API TMessageBoxFunc SetMessageBoxFunc(TMessageBoxFunc f);

} // namespace tamrel
