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

namespace {

constexpr wchar_t kLibName[] = L"TamrelBenchLib";
constexpr wchar_t kRawName[] = L"TamrelBenchRaw";
constexpr DWORD kStateTimeoutMs = 20000;
constexpr double kTarget = 1.10;

double NowMs() {
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1000.0 / double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * msPerTick;
}

void Print(const std::wstring& text) {
    std::fputs(WideToUtf8(text).c_str(), stdout);
    std::fflush(stdout);
}

// Raises for the last error (or the given one), naming the call that failed.
[[noreturn]] void Fail(const std::wstring& what, DWORD error = GetLastError()) {
    throw Exception(L"%s failed: %s (%d)", what, SysErrorMessage(error), int(error));
}

// ---------------------------------------------------------------------------------------------
// The service manager

TScHandle OpenManager() {
    TScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) Fail(L"OpenSCManager");
    return manager;
}

SERVICE_STATUS_PROCESS QueryProcess(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed))
        Fail(L"QueryServiceStatusEx");
    return status;
}

// Polls without sleeping, so that the figure is not rounded up to the scheduler's tick; both
// services are polled alike.
void WaitState(SC_HANDLE service, const std::wstring& name, DWORD state) {
    const DWORD start = GetTickCount();
    for (;;) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) Fail(L"QueryServiceStatus(" + name + L")");
        if (status.dwCurrentState == state) return;
        if (TicksSince(start) > kStateTimeoutMs)
            throw Exception(L"%s did not reach state %d within %d ms (state %d)", name, int(state),
                            int(kStateTimeoutMs), int(status.dwCurrentState));
    }
}

// Stops the service when it runs and waits for its process to end, so that the next start does
// not share the machine with a process on its way out.
void StopAndWait(SC_HANDLE service, const std::wstring& name) {
    SERVICE_STATUS_PROCESS status = QueryProcess(service);
    if (status.dwCurrentState == SERVICE_STOPPED) return;
    TKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId));
    if (status.dwCurrentState == SERVICE_PAUSED || status.dwCurrentState == SERVICE_PAUSE_PENDING) {
        SERVICE_STATUS ignored;
        ControlService(service, SERVICE_CONTROL_CONTINUE, &ignored);
    }
    SERVICE_STATUS ignored;
    if (!ControlService(service, SERVICE_CONTROL_STOP, &ignored)) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE) Fail(L"ControlService(" + name + L", STOP)", error);
    }
    WaitState(service, name, SERVICE_STOPPED);
    if (process && WaitForSingleObject(process.Get(), kStateTimeoutMs) != WAIT_OBJECT_0)
        throw Exception(L"The process of %s did not end after the stop", name);
}

// Stops and deletes a service, then waits until the manager has forgotten it (it removes a
// deleted service when the last handle to it closes).
void DeleteIfPresent(const std::wstring& name) {
    TScHandle manager = OpenManager();
    {
        TScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_ALL_ACCESS));
        if (!service) return;
        try {
            StopAndWait(service.Get(), name);
        } catch (const Exception& e) {
            // A service whose process died stays "running" for the manager: delete it all the same.
            Print(L"service_bench: stopping " + name + L": " + e.Message() + L"\n");
        }
        if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
            Fail(L"DeleteService(" + name + L")");
    }
    const DWORD start = GetTickCount();
    for (;;) {
        TScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
        if (!service) return;
        if (TicksSince(start) > kStateTimeoutMs) throw Exception(L"%s is still installed after its deletion", name);
        service.Reset();
        Sleep(20);
    }
}

bool Installed(const std::wstring& name) {
    TScHandle manager = OpenManager();
    TScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

// Runs a program of this folder with arguments and waits for it; its output goes to ours.
DWORD RunProgram(const std::wstring& exe, const std::wstring& args) {
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        Fail(L"CreateProcess(" + exe + L")");
    TKernelHandle process(info.hProcess), thread(info.hThread);
    if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        throw Exception(L"%s %s did not finish within a minute", exe, args);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

// ---------------------------------------------------------------------------------------------
// Figures

struct TSeries {
    std::vector<double> Ms;
    void Add(double ms) { Ms.push_back(ms); }
    double Median() const { return Rank(0.5); }
    double P99() const { return Rank(0.99); }
    // Nearest rank: the smallest value with at least Fraction of the samples at or below it.
    double Rank(double fraction) const {
        if (Ms.empty()) return 0;
        std::vector<double> sorted(Ms);
        std::sort(sorted.begin(), sorted.end());
        size_t rank = static_cast<size_t>(fraction * double(sorted.size()) + 0.999999);
        return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
    }
};

struct TService {
    explicit TService(std::wstring name) : Name(std::move(name)) {}
    std::wstring Name;
    TScHandle Handle;
    TSeries Interrogate, Paused, PauseCall, Running, StartCall;
    int RefusedStarts = 0;
};

// Count measurements of each service in blocks of Block, the two sides taking turns.
void Interleave(TService& a, TService& b, int count, int block, const std::function<void(TService&)>& measure) {
    for (int done = 0, round = 0; done < count; done += block, ++round) {
        const int n = std::min(block, count - done);
        TService& first = round % 2 == 0 ? a : b;
        TService& second = round % 2 == 0 ? b : a;
        for (int i = 0; i < n; ++i) measure(first);
        for (int i = 0; i < n; ++i) measure(second);
    }
}

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

std::wstring Fixed(double value, int decimals) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.*f", decimals, value);
    return text;
}

std::wstring Pad(const std::wstring& text, size_t width, bool left = false) {
    if (text.size() >= width) return text;
    std::wstring fill(width - text.size(), L' ');
    return left ? text + fill : fill + text;
}

struct TVerdict {
    int Missed = 0;
};

// One table line; Judged lines count towards the target, the others explain them.
void Report(const std::wstring& what, const TSeries& lib, const TSeries& raw, bool judged, TVerdict& verdict) {
    const double medianRatio = lib.Median() / raw.Median();
    const double p99Ratio = lib.P99() / raw.P99();
    std::wstring line = Pad(what, 34, true) + Pad(std::to_wstring(lib.Ms.size()), 5) + Pad(Fixed(lib.Median(), 3), 10) +
                        Pad(Fixed(lib.P99(), 3), 9) + Pad(Fixed(raw.Median(), 3), 10) + Pad(Fixed(raw.P99(), 3), 9) +
                        Pad(Fixed(medianRatio, 2), 8) + Pad(Fixed(p99Ratio, 2), 7);
    if (judged) {
        const bool met = medianRatio <= kTarget && p99Ratio <= kTarget;
        if (!met) ++verdict.Missed;
        line += met ? L"   ok" : L"   MISSED";
    }
    Print(line + L"\n");
}

int PositiveSwitch(const wchar_t* name, int fallback) {
    std::wstring value;
    if (!TamrelFindParameter(name, value) || value.empty()) return fallback;
    int32_t n = 0;
    if (!TryStrToInt(value, n) || n <= 0) throw Exception(L"/%s needs a positive number, not \"%s\"", name, value);
    return n;
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
        try {
            if (Installed(kLibName)) RunProgram(libExe, L"/uninstall");
        } catch (const Exception& e) {
            Print(L"service_bench: " + e.Message() + L"\n");
        }
        for (const wchar_t* name : {kLibName, kRawName}) {
            try {
                DeleteIfPresent(name);
            } catch (const Exception& e) {
                Print(L"service_bench: removing " + std::wstring(name) + L": " + e.Message() + L"\n");
            }
        }
    });

    RunProgram(libExe, L"/install");
    if (!Installed(kLibName)) throw Exception(L"%s /install did not install %s", libExe, kLibName);
    {
        TScHandle manager = OpenManager();
        TScHandle created(CreateServiceW(manager.Get(), kRawName, L"Tamrel benchmark service (raw Win32)",
                                         SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_NORMAL, (L"\"" + rawExe + L"\"").c_str(), nullptr, nullptr,
                                         nullptr, nullptr, nullptr));
        if (!created) Fail(L"CreateService(" + std::wstring(kRawName) + L")");
        lib.Handle.Reset(OpenServiceW(manager.Get(), kLibName, SERVICE_ALL_ACCESS));
        if (!lib.Handle) Fail(L"OpenService(" + std::wstring(kLibName) + L")");
        raw.Handle = std::move(created);
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
    Print(L"\n" + Pad(L"times in ms", 34, true) + Pad(L"n", 5) + Pad(L"library", 10) + Pad(L"", 9) +
          Pad(L"raw", 10) + Pad(L"", 9) + Pad(L"library / raw", 15) + L"\n");
    Print(Pad(L"", 34, true) + Pad(L"", 5) + Pad(L"median", 10) + Pad(L"p99", 9) + Pad(L"median", 10) +
          Pad(L"p99", 9) + Pad(L"median", 8) + Pad(L"p99", 7) + L"\n");
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

int main() {
    try {
        return RunBench();
    } catch (const Exception& e) {
        Print(L"service_bench: " + e.Message() + L"\n");
    } catch (const std::exception& e) {
        Print(L"service_bench: " + Utf8ToWide(e.what()) + L"\n");
    }
    return 1;
}
