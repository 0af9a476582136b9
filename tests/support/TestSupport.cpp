#include "tests/support/TestSupport.h"

#include "host/Handles.h"

#include <cstdio>
#include <memory>

namespace tamrel::test {

namespace {

using tamrel::TFileHandle;
using tamrel::TKernelHandle;
using tamrel::TRegKey;

std::wstring BuildEnvironment(const std::map<std::wstring, std::wstring>& extra) {
    std::map<std::wstring, std::wstring, bool (*)(const std::wstring&, const std::wstring&)> vars(
        [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        size_t eq = entry.find(L'=', 1);
        if (eq == std::wstring::npos) continue;
        vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(block);
    for (const auto& [k, v] : extra) {
        if (v.empty()) vars.erase(k);
        else vars[k] = v;
    }
    std::wstring env;
    for (const auto& [k, v] : vars) {
        env += k + L"=" + v;
        env.push_back(L'\0');
    }
    env.push_back(L'\0');
    return env;
}

// One end of a child's output: an overlapped pipe read in the background of the wait.
class TOutputPipe {
public:
    // Makes the pipe; the child's end (inheritable) is WriteEnd().
    bool Create(const wchar_t* tag, SECURITY_ATTRIBUTES* inheritable) {
        static LONG counter = 0;
        const std::wstring name = L"\\\\.\\pipe\\tamrel-test-" + std::wstring(tag) + L"-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(InterlockedIncrement(&counter));
        FRead.Reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
        if (!FRead) return false;
        FWrite.Reset(CreateFileW(name.c_str(), GENERIC_WRITE, 0, inheritable, OPEN_EXISTING, 0, nullptr));
        FEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        return FWrite && FEvent;
    }
    HANDLE WriteEnd() const { return FWrite.Get(); }
    // The parent keeps no writer: the pipe ends when the child and whoever inherited it are gone.
    void CloseWriteEnd() { FWrite.Reset(); }
    HANDLE Event() const { return FEvent.Get(); }
    bool Open() const { return !FEnded; }

    // Starts the next read, taking in what completed at once; false once the pipe has ended.
    bool Pump() {
        while (!FEnded && !FPending) {
            ResetEvent(FEvent.Get());
            FOverlapped = OVERLAPPED{};
            FOverlapped.hEvent = FEvent.Get();
            DWORD n = 0;
            if (ReadFile(FRead.Get(), FBuffer, sizeof FBuffer, &n, &FOverlapped)) {
                Text.append(FBuffer, n);
            } else if (GetLastError() == ERROR_IO_PENDING) {
                FPending = true;
            } else {
                FEnded = true;
            }
        }
        return !FEnded;
    }
    // Takes in a read that completed (its event is set).
    void Complete() {
        if (!FPending) return;
        FPending = false;
        DWORD n = 0;
        if (GetOverlappedResult(FRead.Get(), &FOverlapped, &n, FALSE)) Text.append(FBuffer, n);
        else FEnded = true;
    }
    // Gives up a read that is still pending.
    void Abandon() {
        if (!FPending) return;
        CancelIo(FRead.Get());
        DWORD n = 0;
        GetOverlappedResult(FRead.Get(), &FOverlapped, &n, TRUE);
        FPending = false;
        FEnded = true;
    }

    std::string Text;

private:
    TFileHandle FRead, FWrite;
    TKernelHandle FEvent;
    OVERLAPPED FOverlapped{};
    char FBuffer[4096];
    bool FPending = false;
    bool FEnded = false;
};

// Reads both pipes until they end. Once the child has exited, its output has at most
// DrainAfterExitMs to end: a process the child started may hold the pipes open for ever (Wine's
// desktop, started on demand, inherits its starter's stderr), and the test must not wait for it.
// A child that cannot be waited for (a Unix program that Wine started) ends with its output.
void ReadUntilEnd(HANDLE process, TOutputPipe& out, TOutputPipe& err, DWORD timeoutMs, TProcessResult& result) {
    constexpr DWORD DrainAfterExitMs = 3000;
    const DWORD start = GetTickCount();
    DWORD exitedAt = 0;
    bool exited = false, waitable = true;
    auto deadline = [](DWORD since, DWORD limit) { return since < limit ? limit - since : 0; };
    for (;;) {
        const bool reading = out.Pump() | err.Pump();
        if (!reading && (exited || !waitable)) return;
        HANDLE waits[3];
        DWORD count = 0;
        if (out.Open()) waits[count++] = out.Event();
        if (err.Open()) waits[count++] = err.Event();
        const DWORD processIndex = count;
        if (!exited && waitable) waits[count++] = process;
        const DWORD limit = exited ? deadline(GetTickCount() - exitedAt, DrainAfterExitMs)
                                   : deadline(GetTickCount() - start, timeoutMs);
        const DWORD r = WaitForMultipleObjects(count, waits, FALSE, limit);
        if (r == WAIT_FAILED && !exited && waitable) {
            waitable = false;
            continue;
        }
        if (r == WAIT_TIMEOUT) {
            if (exited) break; // the output did not end after the child: a descendant holds it
            result.TimedOut = true;
            TerminateProcess(process, 259);
            WaitForSingleObject(process, 5000);
            exited = true;
            exitedAt = GetTickCount();
            continue;
        }
        const DWORD index = r - WAIT_OBJECT_0;
        if (index >= count) break;
        if (index == processIndex && !exited && waitable) {
            exited = true;
            exitedAt = GetTickCount();
            continue;
        }
        (waits[index] == out.Event() ? out : err).Complete();
    }
    out.Abandon();
    err.Abandon();
}

} // namespace

TProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& env,
                          DWORD timeoutMs) {
    TProcessResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    TOutputPipe out, err;
    TFileHandle nul(
        CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr));
    if (!out.Create(L"out", &sa) || !err.Create(L"err", &sa)) {
        result.ExitCode = static_cast<DWORD>(-1);
        result.Err = "pipes for the child failed: " + std::to_string(GetLastError());
        return result;
    }

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul.Get();
    si.hStdOutput = out.WriteEnd();
    si.hStdError = err.WriteEnd();
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    std::wstring envBlock = BuildEnvironment(env);
    // A console program started without a console of its parent's gets one of its own, and on the
    // test display that console is a window brought to the front: it would take the keys that a
    // test beside this one types into its form. Children of the tests get windowless consoles.
    BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                             envBlock.data(), nullptr, &si, &pi);
    const DWORD createError = GetLastError();
    out.CloseWriteEnd();
    err.CloseWriteEnd();
    if (!ok) {
        result.ExitCode = static_cast<DWORD>(-1);
        result.Err = "CreateProcess failed: " + std::to_string(createError);
        return result;
    }
    TKernelHandle process(pi.hProcess), thread(pi.hThread);
    ReadUntilEnd(process.Get(), out, err, timeoutMs, result);
    GetExitCodeProcess(process.Get(), &result.ExitCode);
    result.Out = std::move(out.Text);
    result.Err = std::move(err.Text);
    return result;
}

std::wstring BinDir() {
    wchar_t path[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, len);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::wstring ProgramPath(const std::wstring& exeName) {
    std::wstring p = BinDir() + exeName;
    if (p.find(L' ') != std::wstring::npos) p = L"\"" + p + L"\"";
    return p;
}

std::wstring TempFileName(const std::wstring& prefix) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    static LONG counter = 0;
    LONG n = InterlockedIncrement(&counter);
    return std::wstring(dir) + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(n) + L".tmp";
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string data;
    TFileHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return data;
    char buf[4096];
    DWORD n;
    while (ReadFile(h.Get(), buf, sizeof buf, &n, nullptr) && n > 0) data.append(buf, n);
    return data;
}

std::wstring ReadFileUtf8(const std::wstring& path) { return FromUtf8(ReadFileBytes(path)); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    TFileHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!h) return;
    DWORD n;
    WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Deadlines

namespace {

// What a thread of FinishesWithin ended with: 0, or the structured exception that ended it.
thread_local DWORD* tFatalCode = nullptr;

// Ends a FinishesWithin thread at a fault instead of the program. C++ exceptions (their code
// is not an error status) and debug notifications pass.
LONG CALLBACK EndFaultingThread(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (!tFatalCode || (code & 0xF0000000u) != 0xC0000000u) return EXCEPTION_CONTINUE_SEARCH;
    *tFatalCode = code;
    ExitThread(code);
    return EXCEPTION_CONTINUE_SEARCH;
}

struct TDeadlineRun {
    std::function<void()> Body;
    DWORD FatalCode = 0;
    std::string Escaped;
};

DWORD WINAPI DeadlineThread(LPVOID param) {
    auto* run = static_cast<TDeadlineRun*>(param);
    tFatalCode = &run->FatalCode;
    try {
        run->Body();
    } catch (const std::exception& e) {
        run->Escaped = e.what();
    } catch (...) {
        run->Escaped = "an exception of an unknown type";
    }
    return 0;
}

} // namespace

::testing::AssertionResult FinishesWithin(DWORD timeoutMs, std::function<void()> body) {
    static PVOID handler = AddVectoredExceptionHandler(1, EndFaultingThread);
    (void)handler;
    // Left behind on a time-out, with the thread that may still use it.
    auto* run = new TDeadlineRun{std::move(body), 0, {}};
    TKernelHandle thread(CreateThread(nullptr, 0, DeadlineThread, run, 0, nullptr));
    if (!thread) return ::testing::AssertionFailure() << "no thread: error " << GetLastError();
    if (WaitForSingleObject(thread.Get(), timeoutMs) == WAIT_TIMEOUT)
        return ::testing::AssertionFailure() << "did not finish within " << timeoutMs << " ms";
    std::unique_ptr<TDeadlineRun> done(run);
    if (done->FatalCode) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(done->FatalCode));
        return ::testing::AssertionFailure() << "ended by the structured exception " << code;
    }
    if (!done->Escaped.empty()) return ::testing::AssertionFailure() << "raised: " << done->Escaped;
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// Desktop and registry

void BringUpDesktop() {
    TFileHandle nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nul.Get());
    SetStdHandle(STD_ERROR_HANDLE, nul.Get());
    GetDesktopWindow(); // starts the desktop when there is none; this process then keeps it up
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
}

TDisposableCurrentUser::TDisposableCurrentUser() {
    static LONG counter = 0;
    FPath = L"Software\\TamrelTests\\CurrentUser-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter));
    RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
    TRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, FPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    if (RegOverridePredefKey(HKEY_CURRENT_USER, key.Get()) != ERROR_SUCCESS) return;
    // Proof that it took: a key made through the root shows up below the disposable key.
    TRegKey probe, seen;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"TamrelProbe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, probe.Put(), nullptr);
    FActive = RegOpenKeyExW(key.Get(), L"TamrelProbe", 0, KEY_READ, seen.Put()) == ERROR_SUCCESS;
    RegDeleteKeyW(key.Get(), L"TamrelProbe");
}

TDisposableCurrentUser::~TDisposableCurrentUser() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, FPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, FPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TamrelTests"); // only when empty
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr);
    return r;
}

std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

bool WaitForFileText(const std::wstring& path, const std::string& text, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        for (const auto& line : SplitLines(ReadFileBytes(path)))
            if (line.find(text) != std::string::npos) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

} // namespace tamrel::test
