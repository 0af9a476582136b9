// Which Windows the process runs on.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace tamrel {

// The version record, filled once per process on first use. A failing GetVersionExW raises
// EOSError; every predicate below then raises it too.
const OSVERSIONINFOW& VersionRecord();
// major * 10 + minor: Windows 2000 = 50, XP = 51, Vista = 60, 7 = 61.
int32_t VersionNumber();

bool IsWinNT();
bool IsWin2000();
bool IsWinXP();
bool IsVista();
// A 32-bit process on 64-bit Windows. The 64-bit build answers false.
bool IsWow64();

namespace detail {
using TIsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using TIsWow64Lookup = TIsWow64ProcessFn (*)();
// The answer cache: 0 = not yet known, 1 = under WOW64, 2 = not.
enum : uint8_t { kWow64Unknown = 0, kWow64Yes = 1, kWow64No = 2 };
// IsWow64 with its cache and the look-up of IsWow64Process passed in, so that a missing or
// failing function can be exercised on a system that has a working one.
bool Wow64Answer(std::atomic<uint8_t>& cache, TIsWow64Lookup lookup);
} // namespace detail

} // namespace tamrel
