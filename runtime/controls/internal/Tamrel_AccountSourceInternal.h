// The account source of the pickers: the network-management and account calls they make, in one
// table of function pointers that tests replace (Wine's answers cover little: one user, no local
// or global groups, no domains). The SID center the pickers use resolves names for real, so a
// fake source names accounts the system knows.
#pragma once

#include "host/Api.h"

#include <windows.h>
#include <lm.h>

namespace tamrel {

struct TrkAccountSource {
    decltype(&::NetUserEnum) NetUserEnum = ::NetUserEnum;
    decltype(&::NetLocalGroupEnum) NetLocalGroupEnum = ::NetLocalGroupEnum;
    decltype(&::NetGroupEnum) NetGroupEnum = ::NetGroupEnum;
    decltype(&::NetServerEnum) NetServerEnum = ::NetServerEnum;
    decltype(&::NetGetAnyDCName) NetGetAnyDCName = ::NetGetAnyDCName;
    decltype(&::NetApiBufferFree) NetApiBufferFree = ::NetApiBufferFree;
    decltype(&::GetComputerNameW) GetComputerNameW = ::GetComputerNameW;
    decltype(&::LookupAccountSidW) LookupAccountSidW = ::LookupAccountSidW;
};

// The table in use (the system's functions unless replaced).
TAMREL_API const TrkAccountSource& AccountSource();
// Replaces the table; answers the former one.
TAMREL_API TrkAccountSource SetAccountSource(const TrkAccountSource& source);

} // namespace tamrel
