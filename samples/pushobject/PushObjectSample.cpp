// PushObjectSample: a service that is also a local COM server. COM starts the service when a
// client asks for ComObjectWithEvents; every client gets the one object, and an event raised by
// any of them reaches every client that connected a sink.
//
//   PushObjectSample /install      installs the service and its COM registration
//   PushObjectSample /uninstall    removes both
//   PushObjectSample /debug        runs the service as a console program
#include "clsComObjectWithEvents.h"
#include "svcComServiceModule.h"

using namespace tamrel;

int wmain() {
    Application->Initialize();
    Application->CreateForm(ComServiceModule);
    Application->Run();
    return Application->ExitCode(); // 0, or the error of a failed command
}
