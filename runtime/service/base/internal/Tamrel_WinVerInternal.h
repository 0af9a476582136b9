// Inside the version tests: IsWow64 with its cache and look-up passed in, and the platform the
// tests answer for, replaceable for a scope. Not installed; a unit
// outside the base layer includes it only when its target links tamrel_base_internal.
#pragma once

#include "runtime/service/base/Tamrel_WinVer.h"

#include <atomic>
#include <cstdint>

namespace tamrel::detail {

using TIsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using TIsWow64Lookup = TIsWow64ProcessFn (*)();
// The answer cache: 0 = not yet known, 1 = under WOW64, 2 = not.
enum : uint8_t { kWow64Unknown = 0, kWow64Yes = 1, kWow64No = 2 };
// IsWow64 with its cache and the look-up of IsWow64Process passed in, so that a missing or
// failing function can be exercised on a system that has a working one.
bool Wow64Answer(std::atomic<uint8_t>& cache, TIsWow64Lookup lookup);

} // namespace tamrel::detail

namespace tamrel {

// The platform the version tests answer for, replaced for a scope, so that paths kept for systems
// without the NT security model (the secret center's registry store) run on an NT system.
namespace detail {
// 0 = the real platform; any other value is the VER_PLATFORM_* the version record reports.
TAMREL_API void SetPlatformOverride(DWORD platformId);
TAMREL_API DWORD PlatformOverride();
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
