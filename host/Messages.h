// The message record handed to message methods, window-procedure methods and dispatch.
#pragma once

#include <windows.h>

namespace tamrel {

// The host's control-notification range: a window message re-sent to the control it concerns
// arrives there as the message plus this offset (a key message WM_KEYDOWN as CN_BASE + WM_KEYDOWN).
inline constexpr UINT CN_BASE = 0xBC00;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

} // namespace tamrel
