// The message record handed to message methods, window-procedure methods and dispatch.
#pragma once

#include <windows.h>

namespace tamrel {

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

} // namespace tamrel
