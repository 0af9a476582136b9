// What the units of the service module and the service application share beyond the public
// header: opening the service manager that configure and control modes talk to.
#pragma once

#include "runtime/service/Tamrel_WinSvc.h"

#include <string>

namespace tamrel {

// The manager of the machine named by /COMPUTER: when /REMOTE is present, else of this one,
// opened through the wrappers. A failure raises the operating-system error.
TRkScHandle OpenTargetManager(DWORD access);

// A service of that manager; a failure raises the operating-system error.
TRkScHandle OpenTargetService(const TRkScHandle& manager, const std::wstring& name, DWORD access);

} // namespace tamrel
