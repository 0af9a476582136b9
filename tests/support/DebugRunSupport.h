// Running a service program with /debug under the debug library, driven through its command pipe,
// and reading the debug library's log.
#pragma once

#include "host/Handles.h"
#include "tests/support/EventLogCapture.h"
#include "tests/support/TestSupport.h"

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace tamrel::test {

bool Contains(const std::string& text, const std::string& part);
std::vector<std::string> LinesWith(const std::vector<std::string>& lines, const std::string& part);
// The records of a debug library log, without the line prefix.
std::vector<std::string> LogRecords(const std::string& text);
// The value of key=value in a record ("" when absent).
std::string Field(const std::string& record, const std::string& key);
// The states of the status reports of one service, in log order.
std::vector<std::string> StatesOf(const std::vector<std::string>& log, const std::string& name);
std::wstring UniqueName(const std::wstring& stem);

// A client of the debug library's command pipe: one reply line per command line.
class TPipeClient {
public:
    bool Connect(const std::wstring& name, DWORD timeoutMs);
    std::string Send(const std::string& command);
    void Close() { FPipe.Reset(); }

private:
    TFileHandle FPipe;
};

// A program run with /debug on a thread of its own, driven through the pipe; its log goes to a
// file of the run.
class TDebugSession {
public:
    // CommandLine: the program and its arguments (/debug included).
    // CaptureEventLog: run with Wine's event-log channels on and parse the records (Events()).
    explicit TDebugSession(const std::wstring& commandLine, std::map<std::wstring, std::wstring> env = {},
                           DWORD timeoutMs = 60000, bool captureEventLog = false);
    ~TDebugSession();
    TDebugSession(const TDebugSession&) = delete;
    TDebugSession& operator=(const TDebugSession&) = delete;

    bool Connect() { return FClient.Connect(L"\\\\.\\pipe\\" + FPipeName, 30000); }
    std::string Send(const std::string& command) { return FClient.Send(command); }
    // Waits for the program to end.
    const TProcessResult& Finish();
    std::vector<std::string> Log() const { return LogRecords(ReadFileBytes(FLog)); }
    const std::wstring& LogFile() const { return FLog; }
    // The event-log records of the run (after Finish; only with CaptureEventLog).
    const TEventLogCapture& Events() const { return FEvents; }

private:
    TEventLogCapture FEvents;
    std::wstring FPipeName, FLog;
    TPipeClient FClient;
    TProcessResult FResult;
    std::thread FThread;
};

} // namespace tamrel::test
