// Helpers of the session components' tests: the windows of a thread, the timer on a window,
// pumping until something happened.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "host/Handles.h"
#include "host/Registry.h"
#include "tests/support/TestSupport.h"

#include <functional>
#include <set>
#include <string>

namespace tamrel::test {

// The library's hidden windows of a thread (the system adds windows of its own, such as the
// input-method window, which are left out).
inline BOOL CALLBACK CollectHiddenWindow(HWND wnd, LPARAM p) {
    wchar_t name[64] = {};
    GetClassNameW(wnd, name, 64);
    if (std::wstring(name) == L"TamrelHiddenWindow") reinterpret_cast<std::set<HWND>*>(p)->insert(wnd);
    return TRUE;
}

inline std::set<HWND> ThreadWindows(DWORD threadId = GetCurrentThreadId()) {
    std::set<HWND> windows;
    EnumThreadWindows(threadId, CollectHiddenWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// A timer 1 is set on the window exactly when KillTimer finds one; it is set again afterwards
// with Interval.
inline bool HasTimer(HWND wnd, UINT interval) {
    if (!KillTimer(wnd, 1)) return false;
    SetTimer(wnd, 1, interval, nullptr);
    return true;
}

// Serves this thread's messages until Done answers true or the time is up; answers Done.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }
    return true;
}

// Wine starts its desktop process for the first process that makes a window, and that process
// keeps the standard handles it inherited. Were it a program a test runs with captured output,
// the capture would never end: a test run makes the desktop itself, first, and keeps a window
// open so that the desktop stays for the whole run. Register one per test program.
class TDesktopFirst : public ::testing::Environment {
public:
    void SetUp() override {
        FWindow = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (FWindow) DestroyWindow(FWindow);
    }

private:
    HWND FWindow = nullptr;
};

// A program started in the background; killed when the object goes and it still runs.
class RunningProbe {
public:
    explicit RunningProbe(std::wstring commandLine) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
            FProcess = pi.hProcess;
            CloseHandle(pi.hThread);
        }
    }
    ~RunningProbe() {
        if (!FProcess) return;
        if (WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT) TerminateProcess(FProcess, 1);
        CloseHandle(FProcess);
    }
    RunningProbe(const RunningProbe&) = delete;
    RunningProbe& operator=(const RunningProbe&) = delete;
    bool Started() const { return FProcess != nullptr; }
    // The program ended within the time.
    bool WaitEnd(DWORD timeoutMs) const { return FProcess && WaitForSingleObject(FProcess, timeoutMs) == WAIT_OBJECT_0; }

private:
    HANDLE FProcess = nullptr;
};

inline constexpr wchar_t WinlogonKey[] = L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// Sets "Shell" for one test and puts the old value back.
class TShellValue {
public:
    TShellValue() {
        FRegistry.SetRootKey(HKEY_LOCAL_MACHINE);
        FRegistry.OpenKey(WinlogonKey, false);
        FSaved = FRegistry.ReadString(L"Shell");
    }
    ~TShellValue() { FRegistry.WriteString(L"Shell", FSaved); }
    void Set(const std::wstring& value) { FRegistry.WriteString(L"Shell", value); }

private:
    TRegistry FRegistry;
    std::wstring FSaved;
};

// A running copy of the child program standing in for the shell.
class TShell {
public:
    explicit TShell(const std::wstring& exe) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring command = L"\"" + exe + L"\" wait";
        if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &FInfo))
            ADD_FAILURE() << "the shell did not start: " << GetLastError();
        FProcess.Reset(FInfo.hProcess);
        FThread.Reset(FInfo.hThread);
    }
    ~TShell() { Kill(); }
    void Kill() {
        if (!FProcess) return;
        TerminateProcess(FProcess.Get(), 0);
        WaitForSingleObject(FProcess.Get(), 5000);
        FProcess.Reset();
    }

private:
    PROCESS_INFORMATION FInfo{};
    TKernelHandle FProcess, FThread;
};

// A copy of the child program under a name of its own (Prefix and a unique tail), removed with
// the object: a test running beside this one (a logon test takes the child for the shell) does
// not see the processes started from it.
class TPrivateChild {
public:
    explicit TPrivateChild(const std::wstring& prefix = L"launched") : FPath(TempFileName(prefix) + L".exe") {
        if (!CopyFileW((BinDir() + L"sessions_child.exe").c_str(), FPath.c_str(), FALSE))
            ADD_FAILURE() << "the child program was not copied: " << GetLastError();
    }
    ~TPrivateChild() { DeleteFileW(FPath.c_str()); }
    TPrivateChild(const TPrivateChild&) = delete;
    TPrivateChild& operator=(const TPrivateChild&) = delete;
    const std::wstring& Path() const { return FPath; }

private:
    std::wstring FPath;
};

} // namespace tamrel::test
