// What the benchmark programs share: a clock, failures that name the call, the service manager
// steps of an installation and a measurement, and the table of figures with its ratios.
#pragma once

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrel::bench {

inline constexpr DWORD kStateTimeoutMs = 20000;
// Library / raw: at most this, at the median and at the 99th percentile.
inline constexpr double kTarget = 1.10;

double NowMs();
void Print(const std::wstring& text);
// Raises for the last error (or the given one), naming the call that failed.
[[noreturn]] void Fail(const std::wstring& what, DWORD error = GetLastError());

TScHandle OpenManager();
SERVICE_STATUS_PROCESS QueryProcess(SC_HANDLE service);
// Polls without sleeping, so that the figure is not rounded up to the scheduler's tick.
void WaitState(SC_HANDLE service, const std::wstring& name, DWORD state);
// Stops the service when it runs and waits for its process to end, so that the next start does
// not share the machine with a process on its way out.
void StopAndWait(SC_HANDLE service, const std::wstring& name);
// Stops and deletes a service, then waits until the manager has forgotten it.
void DeleteIfPresent(const std::wstring& name);
bool Installed(const std::wstring& name);
// Runs a program with arguments and waits for it; its output goes to ours.
DWORD RunProgram(const std::wstring& exe, const std::wstring& args);

// Removes what a run installed, printing each failure and going on: the library's service with
// its program's own /uninstall, then both services through the manager.
void RemoveQuietly(const std::wstring& libExe, const std::wstring& libName, const std::wstring& rawName);
// Installs a raw Win32 service (own process, manual start) and answers it open.
TScHandle CreateRawService(const std::wstring& name, const std::wstring& displayName, const std::wstring& exe);

struct TSeries {
    std::vector<double> Ms;
    void Add(double ms) { Ms.push_back(ms); }
    double Median() const { return Rank(0.5); }
    double P99() const { return Rank(0.99); }
    // Nearest rank: the smallest value with at least Fraction of the samples at or below it.
    double Rank(double fraction) const;
};

std::wstring Fixed(double value, int decimals);
std::wstring Pad(const std::wstring& text, size_t width, bool left = false);

// Count measurements of each side in blocks of Block, the two sides taking turns and the first
// of each pair of blocks changing sides, so that a drift of the machine favours neither.
template <class T, class F> void Interleave(T& a, T& b, int count, int block, F measure) {
    for (int done = 0, round = 0; done < count; done += block, ++round) {
        const int n = count - done < block ? count - done : block;
        T& first = round % 2 == 0 ? a : b;
        T& second = round % 2 == 0 ? b : a;
        for (int i = 0; i < n; ++i) measure(first);
        for (int i = 0; i < n; ++i) measure(second);
    }
}

// The two heading lines of the figures' table.
void PrintTableHeading();

struct TVerdict {
    int Missed = 0;
};
// One table line; Judged lines count towards the target, the others explain them.
void Report(const std::wstring& what, const TSeries& lib, const TSeries& raw, bool judged, TVerdict& verdict);
// Runs a benchmark program's body: a failure is printed with the program's name and ends it with 1.
int RunBenchProgram(int (*run)());
// The value of /Name:N, or Fallback; raises for anything but a positive number.
int PositiveSwitch(const wchar_t* name, int fallback);

} // namespace tamrel::bench
