// Internal to the launch front end and its tests: points inside the watch where a test steps in,
// so that what another thread does between two steps is done there, in order, not by chance.
#pragma once

#include <functional>

namespace tamrel {

class TrkLaunchedProcess;

struct TLaunchWatchHooks {
    // The watch has taken the process's end for a report; its handler runs next.
    std::function<void(TrkLaunchedProcess* Process)> Reporting;
    // A free on another thread waits here for the report of the process to end.
    std::function<void(TrkLaunchedProcess* Process)> FreeWaits;
    // The watch has walked its list and decides next whether to stop.
    std::function<void()> Deciding;
};

// Empty unless a test fills them; set them only while no watch runs.
TLaunchWatchHooks& LaunchWatchHooks();

} // namespace tamrel
