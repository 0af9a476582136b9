// Internal to the session list and its tests: where the list reads the sessions and the user
// SID of "WinSta0". The system is the default source; a test may replace either part for a scope.
#pragma once

#include <windows.h>
#include <wtsapi32.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tamrel {

struct TWtsSessionRecord {
    uint32_t SessionId = 0;
    std::wstring WinStationName;
    WTS_CONNECTSTATE_CLASS State = WTSActive;
};

struct TWtsSessionSource {
    // The sessions of the current server; raises the OS error when they cannot be enumerated.
    std::function<std::vector<TWtsSessionRecord>()> Enumerate;
    // False when "WinSta0" or its user SID cannot be read. True otherwise, with the SID's bytes
    // as upper-case hexadecimal text, or an empty text when nobody is logged on there.
    std::function<bool(std::wstring& SidText)> StationUserSid;
};

// The system's source.
TWtsSessionSource SystemWtsSessionSource();
// The source in use.
TWtsSessionSource& WtsSessionSource();

// Replaces the parts of the source that Replacement has, for one scope.
class TWtsSessionSourceOverride {
public:
    explicit TWtsSessionSourceOverride(const TWtsSessionSource& Replacement) : FSaved(WtsSessionSource()) {
        if (Replacement.Enumerate) WtsSessionSource().Enumerate = Replacement.Enumerate;
        if (Replacement.StationUserSid) WtsSessionSource().StationUserSid = Replacement.StationUserSid;
    }
    ~TWtsSessionSourceOverride() { WtsSessionSource() = FSaved; }
    TWtsSessionSourceOverride(const TWtsSessionSourceOverride&) = delete;
    TWtsSessionSourceOverride& operator=(const TWtsSessionSourceOverride&) = delete;

private:
    TWtsSessionSource FSaved;
};

} // namespace tamrel
