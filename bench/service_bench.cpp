// A service made with the library (bench_lib_service) against a raw Win32 service
// (bench_raw_service), both installed in the running prefix's service manager and measured in
// the same run:
//   1. the round trip of ControlService(INTERROGATE);
//   2. from a pause request until QueryServiceStatus shows paused (each pause is followed by an
//      untimed continue);
//   3. from StartService until QueryServiceStatus shows running (each start is followed by an
//      untimed stop, and the next start waits until the service's process has ended).
// The two services take turns in blocks, the first of each pair of blocks changing sides, so that
// a drift of the machine does not favour one of them. Starts are never made side by side: the
// manager serialises them. Prints median and p99 per side and the ratios library / raw.
//
//   service_bench [/requests:N] [/starts:N]    defaults 1000 and 100
//
// The library service is installed with its own /install and removed with its own /uninstall;
// the raw one with CreateServiceW and DeleteService. Both are removed on every way out, and a
// run first removes what an interrupted run left behind.
#include "bench/BenchSupport.h"
#include "host/Handles.h"
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_WinSvc.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::bench;

namespace {

constexpr wchar_t kLibName[] = L"TamrelBenchLib";
constexpr wchar_t kRawName[] = L"TamrelBenchRaw";

// ---------------------------------------------------------------------------------------------
// Figures

struct TService {
    explicit TService(std::wstring name) : Name(std::move(name)) {}
    std::wstring Name;
    TScHandle Handle;
    TSeries Interrogate, Paused, PauseCall, Running, StartCall;
    int RefusedStarts = 0;
};


void MeasureInterrogate(TService& s) {
    SERVICE_STATUS status;
    const double start = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_INTERROGATE, &status))
        Fail(L"ControlService(" + s.Name + L", INTERROGATE)");
    s.Interrogate.Add(NowMs() - start);
}

void MeasurePause(TService& s) {
    SERVICE_STATUS status;
    const double start = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_PAUSE, &status)) Fail(L"ControlService(" + s.Name + L", PAUSE)");
    const double answered = NowMs();
    WaitState(s.Handle.Get(), s.Name, SERVICE_PAUSED);
    const double paused = NowMs();
    s.PauseCall.Add(answered - start);
    s.Paused.Add(paused - start);
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_CONTINUE, &status))
        Fail(L"ControlService(" + s.Name + L", CONTINUE)");
    WaitState(s.Handle.Get(), s.Name, SERVICE_RUNNING);
}

// Starts the service and answers when the call began. Wine's manager now and then refuses a
// start of a stopped service (1359, internal error): such a start is reported, not measured, and
// made again.
double Launch(TService& s) {
    for (int attempt = 1;; ++attempt) {
        const double start = NowMs();
        if (StartServiceW(s.Handle.Get(), 0, nullptr)) return start;
        const DWORD error = GetLastError();
        if (attempt == 3 || error == ERROR_SERVICE_ALREADY_RUNNING) Fail(L"StartService(" + s.Name + L")", error);
        ++s.RefusedStarts;
        Print(Format(L"service_bench: StartService(%s) refused: %s (%d); starting again\n", s.Name,
                     SysErrorMessage(error), int(error)));
        StopAndWait(s.Handle.Get(), s.Name);
    }
}

void MeasureStart(TService& s) {
    const double start = Launch(s);
    const double answered = NowMs();
    WaitState(s.Handle.Get(), s.Name, SERVICE_RUNNING);
    const double running = NowMs();
    s.StartCall.Add(answered - start);
    s.Running.Add(running - start);
    StopAndWait(s.Handle.Get(), s.Name);
}

int RunBench() {
    const int requests = PositiveSwitch(L"requests", 1000);
    const int starts = PositiveSwitch(L"starts", 100);
    const std::wstring bin = ExtractFilePath(ParamStr(0));
    const std::wstring libExe = bin + L"bench_lib_service.exe";
    const std::wstring rawExe = bin + L"bench_raw_service.exe";
    for (const std::wstring& exe : {libExe, rawExe})
        if (!FileExists(exe)) throw Exception(L"%s is missing: build the bench folder first", exe);

    DeleteIfPresent(kLibName);
    DeleteIfPresent(kRawName);

    TService lib(kLibName);
    TService raw(kRawName);
    // Handles go first: the manager removes a deleted service only when the last one closes.
    TScopeExit removeBoth([&] {
        lib.Handle.Reset();
        raw.Handle.Reset();
        RemoveQuietly(libExe, kLibName, kRawName);
    });

    RunProgram(libExe, L"/install");
    if (!Installed(kLibName)) throw Exception(L"%s /install did not install %s", libExe, kLibName);
    raw.Handle = CreateRawService(kRawName, L"Tamrel benchmark service (raw Win32)", rawExe);
    {
        TScHandle manager = OpenManager();
        lib.Handle.Reset(OpenServiceW(manager.Get(), kLibName, SERVICE_ALL_ACCESS));
        if (!lib.Handle) Fail(L"OpenService(" + std::wstring(kLibName) + L")");
    }

    Print(Format(L"service_bench: %s (library) against %s (raw Win32), %d requests and %d starts each\n", kLibName,
                 kRawName, requests, starts));

    // Warm-up: the first start of a program pays for loading it from disk.
    for (TService* s : {&lib, &raw}) {
        Launch(*s);
        WaitState(s->Handle.Get(), s->Name, SERVICE_RUNNING);
        StopAndWait(s->Handle.Get(), s->Name);
    }
    Interleave(lib, raw, starts, std::max(1, std::min(10, starts / 2)), MeasureStart);

    for (TService* s : {&lib, &raw}) {
        Launch(*s);
        WaitState(s->Handle.Get(), s->Name, SERVICE_RUNNING);
    }
    const int block = std::max(1, std::min(50, requests / 4));
    Interleave(lib, raw, requests, block, MeasureInterrogate);
    Interleave(lib, raw, requests, block, MeasurePause);
    for (TService* s : {&lib, &raw}) StopAndWait(s->Handle.Get(), s->Name);

    TVerdict verdict;
    PrintTableHeading();
    Report(L"ControlService(INTERROGATE)", lib.Interrogate, raw.Interrogate, true, verdict);
    Report(L"pause request -> paused", lib.Paused, raw.Paused, true, verdict);
    Report(L"  of which ControlService(PAUSE)", lib.PauseCall, raw.PauseCall, false, verdict);
    Report(L"StartService -> running", lib.Running, raw.Running, true, verdict);
    Report(L"  of which StartService", lib.StartCall, raw.StartCall, false, verdict);
    for (const TService* s : {&lib, &raw})
        if (s->RefusedStarts) Print(Format(L"(%s: %d refused start(s) made again)\n", s->Name, s->RefusedStarts));
    Print(Format(L"\ntarget: every ratio at or below %s: %s\n", Fixed(kTarget, 2),
                 verdict.Missed ? Format(L"missed by %d line(s)", verdict.Missed) : std::wstring(L"met")));
    return 0;
}

} // namespace

int main() { return RunBenchProgram(&RunBench); }
