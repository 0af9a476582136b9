// Internal to the SID center and its tests: the step at which the account-name cache starts to
// fill a machine, where a test holds the fill as an unreachable server would.
#pragma once

#include <functional>
#include <string>

namespace tamrel {

struct TSidCacheHooks {
    // A fill of the machine of this key (the upper-cased system name, "\" for the local one)
    // starts; it runs on the thread that asked first.
    std::function<void(const std::wstring& MachineKey)> Filling;
};

// Empty unless a test fills it; set it only while no look-up runs.
TSidCacheHooks& SidCacheHooks();

} // namespace tamrel
