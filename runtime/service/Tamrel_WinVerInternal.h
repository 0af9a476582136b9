// Internal to the library and its tests: the platform the version tests answer for can be
// replaced for a scope, so that paths kept for systems without the NT security model (the
// secret center's registry store) run on an NT system. Callers of the version tests never see
// a replaced platform unless a test put one in place.
#pragma once

#include <windows.h>

namespace tamrel {

namespace detail {
// 0 = the real platform; any other value is the VER_PLATFORM_* the version record reports.
void SetPlatformOverride(DWORD platformId);
DWORD PlatformOverride();
} // namespace detail

// Makes IsWinNT and the tests built on it answer for another platform while it lives.
class TPlatformOverride {
public:
    explicit TPlatformOverride(DWORD platformId) : FSaved(detail::PlatformOverride()) {
        detail::SetPlatformOverride(platformId);
    }
    ~TPlatformOverride() { detail::SetPlatformOverride(FSaved); }
    TPlatformOverride(const TPlatformOverride&) = delete;
    TPlatformOverride& operator=(const TPlatformOverride&) = delete;

private:
    DWORD FSaved;
};

} // namespace tamrel
