// tamreldbg: plays the service control manager for a service program started with /debug, so
// that its services run, and can be stepped through and driven, as an ordinary console process.
//
// The program's service layer binds the library's exports (Tamrel_DebugInterface.h) instead of
// the real manager calls. The library's parts: this dispatcher and its three exports (handler
// registration, status reports, the dispatcher itself); the service table (ServiceTable.h); the
// log (StatusLog.h); the commands (Commands.h) and the channels they come in on
// (InputChannels.h: console, pipe, Ctrl+C); the exports of the manager's configuration calls
// (ManagerExports.cpp) and of the debug events (EventExports.cpp).
//
// The dispatcher runs every entry of the service table at once, each main routine on its own
// thread with the service name as argv[0]; it delivers control requests to the registered
// handlers on its own thread, one at a time, and returns when every service has stopped.
#pragma once

#include "ServiceTable.h"

#include <memory>
#include <string>

namespace tamreldbg {

// Hands a request to the running dispatcher and, when Wait, answers its reply. A reply the
// dispatcher wrote to the request's pipe itself comes back empty; without a dispatcher the
// request is refused with 1062.
std::string Submit(std::shared_ptr<TRequest> r, bool wait);

// One reply line to a pipe client.
void WriteReply(HANDLE pipe, const std::string& reply);

} // namespace tamreldbg
