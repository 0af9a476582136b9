// Inside the version tests: IsWow64 with its cache and look-up passed in. Not installed; a unit
// outside the base layer includes it only when its target links tamrel_base_internal.
#pragma once

#include "runtime/service/Tamrel_WinVer.h"

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
