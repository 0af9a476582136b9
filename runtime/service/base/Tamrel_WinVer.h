// Which Windows the process runs on.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/Api.h"

namespace tamrel {

// The version record, filled once per process on first use. A failing GetVersionExW raises
// EOSError; every predicate below then raises it too.
TAMREL_API const OSVERSIONINFOW& VersionRecord();
// major * 10 + minor: Windows 2000 = 50, XP = 51, Vista = 60, 7 = 61.
TAMREL_API int32_t VersionNumber();

TAMREL_API bool IsWinNT();
TAMREL_API bool IsWin2000();
TAMREL_API bool IsWinXP();
TAMREL_API bool IsVista();
// A 32-bit process on 64-bit Windows. The 64-bit build answers false.
TAMREL_API bool IsWow64();

} // namespace tamrel
