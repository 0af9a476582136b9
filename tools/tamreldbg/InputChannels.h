// Where commands come from: the console (stdin, one command a line), the named pipe named by
// TAMRELDBG_PIPE, and Ctrl+C.
#pragma once

namespace tamreldbg {

// Starts the console reader and the pipe server once per process, on the first dispatcher start.
// Returns when the pipe exists, so that a client that finds it misses nothing.
void StartChannels();

// While it lives, Ctrl+C, Ctrl+Break and closing the console act as quit.
class TConsoleQuit {
public:
    TConsoleQuit();
    ~TConsoleQuit();
    TConsoleQuit(const TConsoleQuit&) = delete;
    TConsoleQuit& operator=(const TConsoleQuit&) = delete;
};

} // namespace tamreldbg
