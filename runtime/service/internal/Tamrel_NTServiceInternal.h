// Inside the service framework: what the units of the service module and the service application
// share beyond the public header, and the counters and timings that tests and diagnostics read or
// shorten. Not installed; a unit outside the service layer includes it only when its target links
// tamrel_service_internal.
#pragma once

#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_WinSvc.h"

#include <string>

namespace tamrel {

// The manager that configure and control modes talk to: that of the machine named by /COMPUTER:
// when /REMOTE is present, else this one, opened through the wrappers. A failure raises the
// operating-system error.
TRkScHandle OpenTargetManager(DWORD access);

// A service of that manager; a failure raises the operating-system error.
TRkScHandle OpenTargetService(const TRkScHandle& manager, const std::wstring& name, DWORD access);

// Asks every service module whose thread still runs to stop, then waits until the thread of
// every module's last run has ended, serving the calling thread's messages meanwhile, up to
// DeadlineMs in all. A module whose thread is still alive then
// is logged and taken out of the application, so that the end of the program never frees it.
// Answers whether every thread ended.
bool AwaitServiceThreads(TNtServiceApplication& app, DWORD deadlineMs);
// How long service mode waits for the threads after the dispatcher returned: generous, since
// only a thread that hangs after its stop ever reaches it.
inline constexpr DWORD ServiceThreadDeadlineMs = 30000;

// How many control requests are allocated and not yet freed. Exported: the test service reports
// it from a program that links the DLL.
TAMREL_API long ControlRequestsAlive();

// The restart of control mode: stop, then every PollMs query the status until the service has
// stopped or GiveUpMs have passed, then start.
struct TRestartTiming {
    DWORD PollMs = 500;
    DWORD GiveUpMs = 10000;
};
TRestartTiming& RestartTiming();

// Shorter restart timing for the life of the guard; the former timing comes back when it goes.
class TRestartTimingOverride {
public:
    TRestartTimingOverride(DWORD pollMs, DWORD giveUpMs) : FSaved(RestartTiming()) {
        RestartTiming() = TRestartTiming{pollMs, giveUpMs};
    }
    ~TRestartTimingOverride() { RestartTiming() = FSaved; }
    TRestartTimingOverride(const TRestartTimingOverride&) = delete;
    TRestartTimingOverride& operator=(const TRestartTimingOverride&) = delete;

private:
    TRestartTiming FSaved;
};

} // namespace tamrel
