#include "bench/BenchSupport.h"

#include "runtime/service/Tamrel_WinSvc.h"

#include <algorithm>
#include <cstdio>

namespace tamrel::bench {

double TSeries::Rank(double fraction) const {
    if (Ms.empty()) return 0;
    std::vector<double> sorted(Ms);
    std::sort(sorted.begin(), sorted.end());
    size_t rank = static_cast<size_t>(fraction * double(sorted.size()) + 0.999999);
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

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
[[noreturn]] void Fail(const std::wstring& what, DWORD error) {
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
            Print(ExtractFileName(ChangeFileExt(ParamStr(0), L"")) + L": stopping " + name + L": " + e.Message() + L"\n");
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




void RemoveQuietly(const std::wstring& libExe, const std::wstring& libName, const std::wstring& rawName) {
    const std::wstring program = ExtractFileName(ChangeFileExt(ParamStr(0), L""));
    try {
        if (Installed(libName)) RunProgram(libExe, L"/uninstall");
    } catch (const Exception& e) {
        Print(program + L": " + e.Message() + L"\n");
    }
    for (const std::wstring& name : {libName, rawName}) {
        try {
            DeleteIfPresent(name);
        } catch (const Exception& e) {
            Print(program + L": removing " + name + L": " + e.Message() + L"\n");
        }
    }
}

TScHandle CreateRawService(const std::wstring& name, const std::wstring& displayName, const std::wstring& exe) {
    TScHandle manager = OpenManager();
    TScHandle created(CreateServiceW(manager.Get(), name.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                     (L"\"" + exe + L"\"").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!created) Fail(L"CreateService(" + name + L")");
    return created;
}

void PrintTableHeading() {
    Print(L"\n" + Pad(L"times in ms", 34, true) + Pad(L"n", 5) + Pad(L"library", 10) + Pad(L"", 9) +
          Pad(L"raw", 10) + Pad(L"", 9) + Pad(L"library / raw", 15) + L"\n");
    Print(Pad(L"", 34, true) + Pad(L"", 5) + Pad(L"median", 10) + Pad(L"p99", 9) + Pad(L"median", 10) +
          Pad(L"p99", 9) + Pad(L"median", 8) + Pad(L"p99", 7) + L"\n");
}

std::wstring Fixed(double value, int decimals) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.*f", decimals, value);
    return text;
}

std::wstring Pad(const std::wstring& text, size_t width, bool left) {
    if (text.size() >= width) return text;
    std::wstring fill(width - text.size(), L' ');
    return left ? text + fill : fill + text;
}


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

int RunBenchProgram(int (*run)()) {
    const std::wstring program = ExtractFileName(ChangeFileExt(ParamStr(0), L""));
    try {
        return run();
    } catch (const Exception& e) {
        Print(program + L": " + e.Message() + L"\n");
    } catch (const std::exception& e) {
        Print(program + L": " + Utf8ToWide(e.what()) + L"\n");
    }
    return 1;
}

int PositiveSwitch(const wchar_t* name, int fallback) {
    std::wstring value;
    if (!TamrelFindParameter(name, value) || value.empty()) return fallback;
    int32_t n = 0;
    if (!TryStrToInt(value, n) || n <= 0) throw Exception(L"/%s needs a positive number, not \"%s\"", name, value);
    return n;
}


} // namespace tamrel::bench
