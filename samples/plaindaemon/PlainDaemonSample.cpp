// PlainDaemonSample: a service that writes one information entry to the event log for every
// power event the system sends it.
//
//   PlainDaemonSample /install     installs SampleService13 (manual start)
//   PlainDaemonSample /uninstall   removes it
//   PlainDaemonSample /debug       runs it as a console program
#include "svcPlainDaemon.h"

using namespace tamrel;

int wmain() {
    Application->Initialize();
    Application->CreateForm(SampleService13);
    Application->Run();
    return Application->ExitCode(); // 0, or the error of a failed command
}
