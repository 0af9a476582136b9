// A service made with the library against two raw Win32 services, all installed in the running
// prefix's service manager and measured in the same run. The library's service twice, the same
// program over the run-time DLL (bench_lib_service) and over the static library
// (bench_lib_static_service); the plain raw service (bench_raw_service: its handler reports inside
// the call) and the floor of the library's design (bench_rawq_service: its handler posts the
// request to the service thread's message queue, which reports, as the library does). Measured:
//   1. single starts in turn: from StartService until QueryServiceStatus shows running, each
//      start followed by an untimed stop, a wait for the service's process to end and a 30 ms
//      pause, the four services taking turns in an order that turns by one every iteration;
//   2. from a pause request until QueryServiceStatus shows paused (every side reports pause
//      pending, then paused; each pause is followed by an untimed continue), once with only the
//      measured service running, once with all four running;
//   3. the round trip of ControlService(INTERROGATE), all four running.
// Under Wine a start of a service whose previous process is still ending waits for it, so starts
// are never made in blocks of one service; the manager serialises them anyway. A ratio is the
// median of the ratios of one iteration (starts) or one round (requests), so that a drift of the
// machine's load cancels out; a time is the median of the samples, p99 over every sample.
//
//   service_bench [/starts:N] [/rounds:N] [/requests:N]
//       N iterations of single starts (150), N rounds (12) of N pauses and interrogates (40)
//
// The library services are installed with their own /install and removed with their own
// /uninstall; the raw ones with CreateServiceW and DeleteService. All are removed on every way
// out, and a run first removes what an interrupted run left behind.
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

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The samples of one measurement of one service, kept per iteration (a start) or per round (the
// median of the round's requests), so that two services' samples of the same moment pair up.
struct TPaired {
    std::vector<double> Samples; // one per iteration or round, in order
    std::vector<double> All;     // every sample, for p99
    void Add(double ms) {
        Samples.push_back(ms);
        All.push_back(ms);
    }
    void AddRound(const std::vector<double>& round) {
        Samples.push_back(Median(round));
        All.insert(All.end(), round.begin(), round.end());
    }
    double MedianOfAll() const { return Median(All); }
    // Nearest rank: the smallest value with 99 % of the samples at or below it.
    double P99() const {
        if (All.empty()) return 0;
        std::vector<double> sorted(All);
        std::sort(sorted.begin(), sorted.end());
        size_t rank = static_cast<size_t>(0.99 * double(sorted.size()) + 0.999999);
        return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
    }
};

// Median of the paired ratios A / B.
double Ratio(const TPaired& a, const TPaired& b) {
    std::vector<double> ratios;
    for (size_t i = 0; i < a.Samples.size() && i < b.Samples.size(); ++i)
        if (b.Samples[i] > 0) ratios.push_back(a.Samples[i] / b.Samples[i]);
    return Median(ratios);
}

struct TService {
    TService(std::wstring name, std::wstring title, std::wstring exe, bool library)
        : Name(std::move(name)), Title(std::move(title)), Exe(std::move(exe)), Library(library) {}
    std::wstring Name, Title, Exe;
    bool Library;
    TScHandle Handle;
    TPaired Start, PauseAlone, PauseAll, Interrogate;
    int RefusedStarts = 0;
};

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

void StartUntimed(TService& s) {
    Launch(s);
    WaitState(s.Handle.Get(), s.Name, SERVICE_RUNNING);
}

// A stopped service's process has ended; the pause lets the manager's own clean-up of the last
// one settle before the next start.
void StopAndSettle(TService& s) {
    StopAndWait(s.Handle.Get(), s.Name);
    Sleep(30);
}

double TimedStart(TService& s) {
    const double start = Launch(s);
    WaitState(s.Handle.Get(), s.Name, SERVICE_RUNNING);
    const double running = NowMs();
    StopAndSettle(s);
    return running - start;
}

double TimedPause(TService& s) {
    SERVICE_STATUS status;
    const double start = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_PAUSE, &status)) Fail(L"ControlService(" + s.Name + L", PAUSE)");
    WaitState(s.Handle.Get(), s.Name, SERVICE_PAUSED);
    const double paused = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_CONTINUE, &status))
        Fail(L"ControlService(" + s.Name + L", CONTINUE)");
    WaitState(s.Handle.Get(), s.Name, SERVICE_RUNNING);
    return paused - start;
}

double TimedInterrogate(TService& s) {
    SERVICE_STATUS status;
    const double start = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_INTERROGATE, &status))
        Fail(L"ControlService(" + s.Name + L", INTERROGATE)");
    return NowMs() - start;
}

// Each iteration (or round) every service takes its turn, the first one changing every time.
void InTurn(const std::vector<TService*>& services, int iterations, const std::function<void(TService&)>& measure) {
    for (int i = 0; i < iterations; ++i)
        for (size_t k = 0; k < services.size(); ++k) measure(*services[(k + size_t(i)) % services.size()]);
}

std::vector<double> Repeat(int count, const std::function<double()>& measure) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) samples.push_back(measure());
    return samples;
}

// One line of the times' table: every service's median and p99.
void TimesLine(const std::wstring& what, TPaired TService::*series, const std::vector<TService*>& services) {
    std::wstring line = Pad(what, 30, true) + Pad(std::to_wstring((services[0]->*series).All.size()), 6);
    for (const TService* s : services)
        line += Pad(Fixed((s->*series).MedianOfAll(), 2), 10) + Pad(Fixed((s->*series).P99(), 1), 7);
    Print(line + L"\n");
}

struct TRatio {
    const wchar_t* What;
    TPaired TService::*Series;
    const TService* A;
    const TService* B;
    double Limit; // 0: no target, the line explains the others
};

int RunBench() {
    const int starts = PositiveSwitch(L"starts", 150);
    const int rounds = PositiveSwitch(L"rounds", 12);
    const int requests = PositiveSwitch(L"requests", 40);
    const std::wstring bin = ExtractFilePath(ParamStr(0));
    TService lib(L"TamrelBenchLib", L"library (DLL)", bin + L"bench_lib_service.exe", true);
    TService stat(L"TamrelBenchLibStatic", L"library (static)", bin + L"bench_lib_static_service.exe", true);
    TService raw(L"TamrelBenchRaw", L"raw", bin + L"bench_raw_service.exe", false);
    TService queue(L"TamrelBenchRawQueue", L"raw + queue", bin + L"bench_rawq_service.exe", false);
    const std::vector<TService*> all{&lib, &stat, &raw, &queue};
    for (const TService* s : all)
        if (!FileExists(s->Exe)) throw Exception(L"%s is missing: build the bench folder first", s->Exe);
    for (const TService* s : all) DeleteIfPresent(s->Name);

    // Handles go first: the manager removes a deleted service only when the last one closes.
    TScopeExit removeAll([&] {
        for (TService* s : all) s->Handle.Reset();
        RemoveQuietly(lib.Exe, lib.Name, raw.Name);
        RemoveQuietly(stat.Exe, stat.Name, queue.Name);
    });

    for (TService* s : all) {
        if (s->Library) {
            RunProgram(s->Exe, L"/install");
            TScHandle manager = OpenManager();
            s->Handle.Reset(OpenServiceW(manager.Get(), s->Name.c_str(), SERVICE_ALL_ACCESS));
            if (!s->Handle) Fail(L"OpenService(" + s->Name + L") after " + s->Exe + L" /install");
        } else {
            s->Handle = CreateRawService(s->Name, L"Tamrel benchmark service (" + s->Title + L")", s->Exe);
        }
    }

    Print(Format(L"service_bench: %d single starts of each service in turn, %d rounds of %d pauses (alone and "
                 L"all running) and %d interrogates\n",
                 starts, rounds, requests, requests));

    // Warm-up: the first start of a program pays for loading it from disk.
    for (TService* s : all) {
        StartUntimed(*s);
        StopAndSettle(*s);
    }
    InTurn(all, starts, [](TService& s) { s.Start.Add(TimedStart(s)); });

    // Pauses with only the measured service running: its process alone asks the wine server.
    InTurn(all, rounds, [requests](TService& s) {
        StartUntimed(s);
        s.PauseAlone.AddRound(Repeat(requests, [&] { return TimedPause(s); }));
        StopAndSettle(s);
    });

    for (TService* s : all) StartUntimed(*s);
    InTurn(all, rounds, [requests](TService& s) {
        s.PauseAll.AddRound(Repeat(requests, [&] { return TimedPause(s); }));
    });
    InTurn(all, rounds, [requests](TService& s) {
        s.Interrogate.AddRound(Repeat(requests, [&] { return TimedInterrogate(s); }));
    });
    for (TService* s : all) StopAndWait(s->Handle.Get(), s->Name);

    std::wstring heading = Pad(L"times in ms", 30, true) + Pad(L"n", 6);
    std::wstring subheading = Pad(L"", 36);
    for (const TService* s : all) {
        heading += Pad(s->Title, 17);
        subheading += Pad(L"median", 10) + Pad(L"p99", 7);
    }
    Print(L"\n" + heading + L"\n" + subheading + L"\n");
    TimesLine(L"StartService -> running", &TService::Start, all);
    TimesLine(L"pause -> paused, alone", &TService::PauseAlone, all);
    TimesLine(L"pause -> paused, all running", &TService::PauseAll, all);
    TimesLine(L"ControlService(INTERROGATE)", &TService::Interrogate, all);
    for (const TService* s : all)
        if (s->RefusedStarts) Print(Format(L"(%s: %d refused start(s) made again)\n", s->Name, s->RefusedStarts));

    const TRatio ratios[] = {
        {L"start, library (DLL) / raw + queue", &TService::Start, &lib, &queue, 1.10},
        {L"start, library (static) / raw + queue", &TService::Start, &stat, &queue, 1.10},
        {L"start, library (DLL) / library (static)", &TService::Start, &lib, &stat, 0},
        {L"start, raw + queue / raw (the floor)", &TService::Start, &queue, &raw, 0},
        {L"start, library (DLL) / raw", &TService::Start, &lib, &raw, 0},
        {L"pause alone, library (DLL) / raw + queue", &TService::PauseAlone, &lib, &queue, 1.10},
        {L"pause alone, library (static) / raw + queue", &TService::PauseAlone, &stat, &queue, 0},
        {L"pause all running, library (DLL) / raw + queue", &TService::PauseAll, &lib, &queue, 1.10},
        {L"interrogate, library (DLL) / raw", &TService::Interrogate, &lib, &raw, 1.05},
        {L"interrogate, library (DLL) / raw + queue", &TService::Interrogate, &lib, &queue, 0},
    };
    int missed = 0, judged = 0;
    Print(L"\nmedians of the ratios (of one iteration for starts, one round for requests):\n");
    for (const TRatio& r : ratios) {
        const double ratio = Ratio(r.A->*r.Series, r.B->*r.Series);
        std::wstring line = L"  " + Pad(r.What, 48, true) + Pad(Fixed(ratio, 2), 6);
        if (r.Limit > 0) {
            ++judged;
            const bool met = ratio <= r.Limit;
            if (!met) ++missed;
            line += L"   target at or below " + Fixed(r.Limit, 2) + (met ? L": ok" : L": MISSED");
        }
        Print(line + L"\n");
    }
    Print(missed ? Format(L"missed %d of %d\n", missed, judged) : std::wstring(L"all targets met\n"));
    return 0;
}

} // namespace

int main() { return RunBenchProgram(&RunBench); }
