// Ends in the way its argument names, after the probe library set up a global and two exit
// procedures: "return" (from main), "exit" (exit() from inside), "explicit" (runs the exit
// procedures itself, twice, then returns), "exitprocess" (ExitProcess, no exit processing).
// Built with HOST_PROBE_HOOK the program includes the exit-procedure header, as every program of
// the library does; without it, the program knows nothing of exit procedures.
#include "ProbeLib.h"

#ifdef HOST_PROBE_HOOK
#include "host/ExitProcs.h"
#endif

#include <cstdlib>
#include <cstring>

namespace {
void Finish(const char* mode) {
    if (std::strcmp(mode, "exit") == 0) std::exit(0);
    if (std::strcmp(mode, "exitprocess") == 0) ExitProcess(0);
    if (std::strcmp(mode, "explicit") == 0) {
        ProbeRunExitProcs();
        ProbeRunExitProcs();
        ProbeSay("main end");
    }
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    ProbeSetup();
    Finish(argv[1]);
    return 0;
}
