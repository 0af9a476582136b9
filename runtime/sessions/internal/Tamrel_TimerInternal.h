// Internal to the service-thread timer and its tests: the step between finding the timer's window
// and arming it, where a test makes the service stop.
#pragma once

#include <windows.h>

#include <functional>

namespace tamrel {

struct TTimerHooks {
    // The timer has found its window alive and decided whether it should tick; it arms the
    // window next (on whichever thread re-arms).
    std::function<void(HWND Wnd)> Arming;
};

// Empty unless a test fills it; set it only while no timer re-arms.
TTimerHooks& TimerHooks();

} // namespace tamrel
