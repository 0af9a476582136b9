// A service made with the library (bench_lib_service) against two raw Win32 services, all three
// installed in the running prefix's service manager and measured in the same run: the plain raw
// service (bench_raw_service: its handler reports inside the call) and the floor of the library's
// design (bench_rawq_service: its handler posts the request to the service thread's message
// queue, which reports, as the library does). Measured:
//   1. the round trip of ControlService(INTERROGATE);
//   2. from a pause request until QueryServiceStatus shows paused (every side reports pause
//      pending, then paused; each pause is followed by an untimed continue);
//   3. from StartService until QueryServiceStatus shows running (each start is followed by an
//      untimed stop, and the next start waits until the service's process has ended).
// The run is made of rounds; in each round every service takes its turn with a block of each
// measurement, the side that goes first changing from round to round, so that a drift of the
// machine does not favour one of them. Starts are never made side by side: the manager
// serialises them. A figure is the median of the rounds' medians, a ratio the median of the
// rounds' ratios; p99 is over every sample.
//
//   service_bench [/rounds:N] [/requests:N] [/starts:N]    per service and round; defaults 8, 125, 12
//
// The library service is installed with its own /install and removed with its own /uninstall;
// the raw ones with CreateServiceW and DeleteService. All are removed on every way out, and a
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
constexpr wchar_t kQueueName[] = L"TamrelBenchRawQueue";

// ---------------------------------------------------------------------------------------------
// Figures

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The samples of one measurement of one service, kept per round.
struct TRoundSeries {
    std::vector<std::vector<double>> Rounds;
    void Add(size_t round, double ms) {
        if (Rounds.size() <= round) Rounds.resize(round + 1);
        Rounds[round].push_back(ms);
    }
    std::vector<double> RoundMedians() const {
        std::vector<double> medians;
        for (const auto& r : Rounds) medians.push_back(Median(r));
        return medians;
    }
    double Figure() const { return Median(RoundMedians()); }
    // Nearest rank over every sample: the smallest value with 99 % of the samples at or below it.
    double P99() const {
        std::vector<double> all;
        for (const auto& r : Rounds) all.insert(all.end(), r.begin(), r.end());
        if (all.empty()) return 0;
        std::sort(all.begin(), all.end());
        size_t rank = static_cast<size_t>(0.99 * double(all.size()) + 0.999999);
        return all[std::clamp<size_t>(rank, 1, all.size()) - 1];
    }
    size_t Count() const {
        size_t n = 0;
        for (const auto& r : Rounds) n += r.size();
        return n;
    }
};

// Median of the rounds' ratios A / B.
double Ratio(const TRoundSeries& a, const TRoundSeries& b) {
    const auto ma = a.RoundMedians(), mb = b.RoundMedians();
    std::vector<double> ratios;
    for (size_t i = 0; i < ma.size() && i < mb.size(); ++i)
        if (mb[i] > 0) ratios.push_back(ma[i] / mb[i]);
    return Median(ratios);
}

struct TService {
    explicit TService(std::wstring name) : Name(std::move(name)) {}
    std::wstring Name;
    TScHandle Handle;
    TRoundSeries Interrogate, Paused, PauseCall, Running, StartCall;
    int RefusedStarts = 0;
};

// Each round, every service measures Count times in a row; the order turns by one each round.
void Rounds(const std::vector<TService*>& services, int rounds, int count,
            const std::function<void(TService&, size_t)>& measure) {
    for (int round = 0; round < rounds; ++round)
        for (size_t k = 0; k < services.size(); ++k) {
            TService& s = *services[(k + size_t(round)) % services.size()];
            for (int i = 0; i < count; ++i) measure(s, size_t(round));
        }
}

void MeasureInterrogate(TService& s, size_t round) {
    SERVICE_STATUS status;
    const double start = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_INTERROGATE, &status))
        Fail(L"ControlService(" + s.Name + L", INTERROGATE)");
    s.Interrogate.Add(round, NowMs() - start);
}

void MeasurePause(TService& s, size_t round) {
    SERVICE_STATUS status;
    const double start = NowMs();
    if (!ControlService(s.Handle.Get(), SERVICE_CONTROL_PAUSE, &status)) Fail(L"ControlService(" + s.Name + L", PAUSE)");
    const double answered = NowMs();
    WaitState(s.Handle.Get(), s.Name, SERVICE_PAUSED);
    const double paused = NowMs();
    s.PauseCall.Add(round, answered - start);
    s.Paused.Add(round, paused - start);
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

void MeasureStart(TService& s, size_t round) {
    const double start = Launch(s);
    const double answered = NowMs();
    WaitState(s.Handle.Get(), s.Name, SERVICE_RUNNING);
    const double running = NowMs();
    s.StartCall.Add(round, answered - start);
    s.Running.Add(round, running - start);
    StopAndWait(s.Handle.Get(), s.Name);
}

// One table line: the three services' figures and the library's two ratios.
void Line(const std::wstring& what, TRoundSeries TService::*series, const TService& lib, const TService& raw,
          const TService& queue) {
    std::wstring line = Pad(what, 34, true) + Pad(std::to_wstring((lib.*series).Count()), 5);
    for (const TService* s : {&lib, &raw, &queue})
        line += Pad(Fixed((s->*series).Figure(), 2), 9) + Pad(Fixed((s->*series).P99(), 1), 8);
    line += Pad(Fixed(Ratio(lib.*series, raw.*series), 2), 9) + Pad(Fixed(Ratio(lib.*series, queue.*series), 2), 9);
    Print(line + L"\n");
}

// The targets: a ratio of the library's medians to one of the raw services'.
struct TTarget {
    const wchar_t* What;
    TRoundSeries TService::*Series;
    bool AgainstQueue; // else against the plain raw service
    double Limit;
};

int RunBench() {
    const int rounds = PositiveSwitch(L"rounds", 8);
    const int requests = PositiveSwitch(L"requests", 125);
    const int starts = PositiveSwitch(L"starts", 12);
    const std::wstring bin = ExtractFilePath(ParamStr(0));
    const std::wstring libExe = bin + L"bench_lib_service.exe";
    const std::wstring rawExe = bin + L"bench_raw_service.exe";
    const std::wstring queueExe = bin + L"bench_rawq_service.exe";
    for (const std::wstring& exe : {libExe, rawExe, queueExe})
        if (!FileExists(exe)) throw Exception(L"%s is missing: build the bench folder first", exe);

    for (const wchar_t* name : {kLibName, kRawName, kQueueName}) DeleteIfPresent(name);

    TService lib(kLibName), raw(kRawName), queue(kQueueName);
    const std::vector<TService*> all{&lib, &raw, &queue};
    // Handles go first: the manager removes a deleted service only when the last one closes.
    TScopeExit removeAll([&] {
        for (TService* s : all) s->Handle.Reset();
        RemoveQuietly(libExe, kLibName, kRawName);
        try {
            DeleteIfPresent(kQueueName);
        } catch (const Exception& e) {
            Print(L"service_bench: removing " + std::wstring(kQueueName) + L": " + e.Message() + L"\n");
        }
    });

    RunProgram(libExe, L"/install");
    if (!Installed(kLibName)) throw Exception(L"%s /install did not install %s", libExe, kLibName);
    raw.Handle = CreateRawService(kRawName, L"Tamrel benchmark service (raw Win32)", rawExe);
    queue.Handle = CreateRawService(kQueueName, L"Tamrel benchmark service (raw Win32, queue)", queueExe);
    {
        TScHandle manager = OpenManager();
        lib.Handle.Reset(OpenServiceW(manager.Get(), kLibName, SERVICE_ALL_ACCESS));
        if (!lib.Handle) Fail(L"OpenService(" + std::wstring(kLibName) + L")");
    }

    Print(Format(L"service_bench: %s (library), %s (raw Win32), %s (raw Win32 with a thread queue); %d rounds "
                 L"of %d starts and %d requests each\n",
                 kLibName, kRawName, kQueueName, rounds, starts, requests));

    // Warm-up: the first start of a program pays for loading it from disk.
    for (TService* s : all) {
        Launch(*s);
        WaitState(s->Handle.Get(), s->Name, SERVICE_RUNNING);
        StopAndWait(s->Handle.Get(), s->Name);
    }
    Rounds(all, rounds, starts, MeasureStart);

    for (TService* s : all) {
        Launch(*s);
        WaitState(s->Handle.Get(), s->Name, SERVICE_RUNNING);
    }
    Rounds(all, rounds, requests, MeasureInterrogate);
    Rounds(all, rounds, requests, MeasurePause);
    for (TService* s : all) StopAndWait(s->Handle.Get(), s->Name);

    Print(L"\n" + Pad(L"times in ms", 34, true) + Pad(L"n", 5) + Pad(L"library", 17) + Pad(L"raw", 17) +
          Pad(L"raw + queue", 17) + Pad(L"library / raw", 18) + L"\n");
    Print(Pad(L"", 39) + Pad(L"median", 9) + Pad(L"p99", 8) + Pad(L"median", 9) + Pad(L"p99", 8) + Pad(L"median", 9) +
          Pad(L"p99", 8) + Pad(L"raw", 9) + Pad(L"+ queue", 9) + L"\n");
    Line(L"ControlService(INTERROGATE)", &TService::Interrogate, lib, raw, queue);
    Line(L"pause request -> paused", &TService::Paused, lib, raw, queue);
    Line(L"  of which ControlService(PAUSE)", &TService::PauseCall, lib, raw, queue);
    Line(L"StartService -> running", &TService::Running, lib, raw, queue);
    Line(L"  of which StartService", &TService::StartCall, lib, raw, queue);
    for (const TService* s : all)
        if (s->RefusedStarts) Print(Format(L"(%s: %d refused start(s) made again)\n", s->Name, s->RefusedStarts));

    const TTarget targets[] = {
        {L"start, library / raw + queue", &TService::Running, true, 1.10},
        {L"start, library / raw", &TService::Running, false, 1.45},
        {L"interrogate, library / raw", &TService::Interrogate, false, 1.05},
        {L"pause, library / raw + queue", &TService::Paused, true, 1.10},
    };
    int missed = 0;
    Print(L"\ntargets (median ratios):\n");
    for (const TTarget& t : targets) {
        const double ratio = Ratio(lib.*t.Series, (t.AgainstQueue ? queue : raw).*t.Series);
        const bool met = ratio <= t.Limit;
        if (!met) ++missed;
        Print(Format(L"  %s at or below %s: %s  %s\n", Pad(t.What, 30, true), Fixed(t.Limit, 2), Fixed(ratio, 2),
                     met ? L"ok" : L"MISSED"));
    }
    Print(missed ? Format(L"missed %d of %d\n", missed, int(std::size(targets))) : std::wstring(L"all met\n"));
    return 0;
}

} // namespace

int main() { return RunBenchProgram(&RunBench); }
