// Internal to the logon sensor and its tests: where the sensor thread tells a test what it does.
#pragma once

#include <functional>

namespace tamrel {

struct TLogonSensorHooks {
    // The sensor thread is about to ask whether somebody is logged on.
    std::function<void()> Poll;
    // The sensor thread found no subscribed method and sleeps until one is subscribed.
    std::function<void()> Idle;
};

// Empty unless a test fills them; set them only while the sensor thread sleeps or does not run.
TLogonSensorHooks& LogonSensorHooks();

} // namespace tamrel
