// Helpers shared by the test programs: running a child program with chosen arguments and
// environment and capturing what it prints, temporary files, the directory of the test programs.
#pragma once

#include <windows.h>

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

std::vector<std::string> SplitLines(const std::string& text);
// Waits until a line of the file contains Text; answers whether it did in time.
bool WaitForFileText(const std::wstring& path, const std::string& text, DWORD timeoutMs = 20000);
std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

} // namespace tamrel::test
