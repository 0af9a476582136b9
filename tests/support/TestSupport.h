// Helpers shared by the test programs: running a child program with chosen arguments and
// environment and capturing what it prints, temporary files, the directory of the test programs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tamrel::test {

struct TProcessResult {
    DWORD ExitCode = 0;
    bool TimedOut = false;
    std::string Out; // stdout, raw bytes
    std::string Err; // stderr, raw bytes
};

// Runs CommandLine (program path plus arguments, as CreateProcess takes it). Environment
// entries in Env are added to (or replace) the current environment; an empty value removes the
// variable. The child's stdin is the null device.
TProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& env = {},
                          DWORD timeoutMs = 60000);

// The directory that holds the test programs (with a trailing backslash).
std::wstring BinDir();
// The full path of a program beside the test programs, quoted when it holds a blank.
std::wstring ProgramPath(const std::wstring& exeName);
// A new unique file name in the temporary directory (the file is not created).
std::wstring TempFileName(const std::wstring& prefix);
std::string ReadFileBytes(const std::wstring& path);
std::wstring ReadFileUtf8(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Runs Body on a thread of its own and waits for it at most TimeoutMs, so that a fault that would
// crash or hang the test program fails the test with a message instead: Body did not return in
// time (its thread is left behind), or it ended with a structured exception such as an access
// violation (its thread is ended there, the program goes on). gtest assertions inside Body count.
::testing::AssertionResult FinishesWithin(DWORD timeoutMs, std::function<void()> body);

// Makes sure the session's desktop runs, started with this process's standard handles pointing
// nowhere. Wine starts the desktop for the first process that needs one and hands it that
// process's stderr: started by a child whose output a test reads, it would hold the pipe open for
// as long as it lives.
void BringUpDesktop();

// While it lives, HKEY_CURRENT_USER of this process is a new, empty key of its own (deleted at the
// end): a registry test whose fault reaches the root of HKEY_CURRENT_USER can only wipe that.
class TDisposableCurrentUser {
public:
    TDisposableCurrentUser();
    ~TDisposableCurrentUser();
    TDisposableCurrentUser(const TDisposableCurrentUser&) = delete;
    TDisposableCurrentUser& operator=(const TDisposableCurrentUser&) = delete;
    // Whether the process's HKEY_CURRENT_USER really is the disposable key.
    bool Active() const { return FActive; }

private:
    std::wstring FPath; // of the disposable key under the real HKEY_CURRENT_USER
    bool FActive = false;
};

std::vector<std::string> SplitLines(const std::string& text);
// Waits until a line of the file contains Text; answers whether it did in time.
bool WaitForFileText(const std::wstring& path, const std::string& text, DWORD timeoutMs = 20000);
std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

} // namespace tamrel::test
