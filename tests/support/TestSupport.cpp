#include "tests/support/TestSupport.h"

#include <cstdio>
#include <thread>

namespace tamrel::test {

namespace {

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

// Reads the child's output until the pipe ends or, once the child has ended, until nothing is
// left. A grandchild may hold the pipe's write end for long after the child (Wine's desktop
// process inherits the handles of the first program of a session that makes a window), so the
// end of the pipe alone cannot be waited for.
void Drain(HANDLE pipe, std::string* out, HANDLE process) {
    char buf[4096];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return; // the pipe ended
        if (available > 0) {
            DWORD n = 0;
            if (!ReadFile(pipe, buf, available < sizeof buf ? available : sizeof buf, &n, nullptr) || n == 0) return;
            out->append(buf, n);
            continue;
        }
        if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) {
            if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) continue;
            return;
        }
    }
}

} // namespace

TProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& env,
                          DWORD timeoutMs) {
    TProcessResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &sa, 0);
    CreatePipe(&errRead, &errWrite, &sa, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    std::wstring envBlock = BuildEnvironment(env);
    BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, envBlock.data(),
                             nullptr, &si, &pi);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!ok) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.ExitCode = static_cast<DWORD>(-1);
        result.Err = "CreateProcess failed: " + std::to_string(GetLastError());
        return result;
    }
    std::thread outThread(Drain, outRead, &result.Out, pi.hProcess);
    std::thread errThread(Drain, errRead, &result.Err, pi.hProcess);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_TIMEOUT) {
        result.TimedOut = true;
        TerminateProcess(pi.hProcess, 259);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &result.ExitCode);
    outThread.join();
    errThread.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
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
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return data;
    char buf[4096];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) data.append(buf, n);
    CloseHandle(h);
    return data;
}

std::wstring ReadFileUtf8(const std::wstring& path) { return FromUtf8(ReadFileBytes(path)); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD n;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
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
