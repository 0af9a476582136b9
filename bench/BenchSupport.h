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

struct TVerdict {
    int Missed = 0;
};
// One table line; Judged lines count towards the target, the others explain them.
void Report(const std::wstring& what, const TSeries& lib, const TSeries& raw, bool judged, TVerdict& verdict);
// The value of /Name:N, or Fallback; raises for anything but a positive number.
int PositiveSwitch(const wchar_t* name, int fallback);

} // namespace tamrel::bench
