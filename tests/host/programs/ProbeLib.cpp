#include "ProbeLib.h"

#include "host/ExitProcs.h"
#include "host/Globals.h"
#include "host/HiddenWindow.h"
#include "host/Threads.h"

#include <cstring>

using namespace tamrel;

namespace {

struct TProbeGlobal {
    TProbeGlobal() { ProbeSay("global created"); }
    ~TProbeGlobal() {
        Alive = false;
        ProbeSay("global released");
    }
    bool Alive = true;
};

TProbeGlobal* ProbeGlobal() {
    static TLibraryGlobal<TProbeGlobal> global;
    return global.Get();
}

class TQuickThread : public TThread {
public:
    TQuickThread() : TThread(true) {}

protected:
    void Execute() override { SetReturnValue(7); }
};

struct TWindowSink {
    void WndProc(TMessage& message) { message.Result = message.Msg == WM_APP ? 0x51 : 0; }
} windowSink;

} // namespace

HOST_PROBE_API void ProbeSay(const char* line) {
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    WriteFile(out, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    WriteFile(out, "\n", 1, &written, nullptr);
}

HOST_PROBE_API void ProbeSetup() {
    ProbeGlobal();
    AddExitProc([] {
        TProbeGlobal* global = ProbeGlobal();
        ProbeSay(global && global->Alive ? "exit proc first-added: global alive" : "exit proc first-added: global gone");
    });
    AddExitProc([] {
        TQuickThread thread;
        thread.Start();
        ProbeSay(thread.WaitFor() == 7 ? "exit proc last-added: thread ran" : "exit proc last-added: thread failed");
    });
}

HOST_PROBE_API void ProbeRunExitProcs() { RunExitProcs(); }

HOST_PROBE_API HWND ProbeAllocateHWnd() { return AllocateHWnd(MakeMethod<&TWindowSink::WndProc>(&windowSink)); }

HOST_PROBE_API void ProbeDeallocateHWnd(HWND wnd) { DeallocateHWnd(wnd); }
