// Reading back event-log records under Wine.
//
// Wine's event log is a stub: nothing written can be read back through the event-log API. What
// it does leave is a trace on the writing process's stderr when the right debug channels are
// on (EventLogChannels below). RunAndCaptureEventLog runs a program with those channels and
// parses its stderr into the calls it made.
//
// Wine writes its trace to the Unix stderr of the process, and a child started by CreateProcess
// inherits the Unix stderr of its parent whatever stderr handle it is given; so a pipe cannot
// catch it. The program is therefore started from /bin/sh (Wine runs Unix programs handed to
// CreateProcess) as "wine64 program args >out 2>err", and the files are read afterwards. Wine
// cannot wait for a Unix process either: the shell writes the exit status (0-255) to a third
// file when the program has ended, and the capture waits for that file.
//
// What Wine 8 prints, one line per item, each line led by the writing thread's id in hex:
//
//   0108:fixme:advapi:RegisterEventSourceW ((null),L"ProbeSrc"): stub
//   0108:fixme:advapi:ReportEventW (00000000CAFE4242,0x0001,0x0003,0x000003e9,0000000000000000,
//        0x0002,0x00000000,000000000021FD10,0000000000000000): stub          (one line)
//   0108:err:eventlog:ReportEventW L"first string"
//   0108:err:eventlog:ReportEventW L"second, with \"quotes\" and\nbreaks"
//   0108:fixme:advapi:DeregisterEventSource (00000000CAFE4242) stub
//
// The ReportEventW fields are: handle, type, category, event id, user SID, number of strings,
// data size, string array, data pointer. The raw data bytes are never printed.
// Each insertion string follows on its own line, on the channel that matches the type: "err"
// for errors, "warn" for warnings, "trace" for everything else (information and both audit
// types). Strings are quoted C-style: \n \r \t \" \\ and \XXXX (four hex digits) for every
// other character outside printable ASCII; a null string prints as (null). A string longer
// than about 300 characters is cut and followed by "..." after the closing quote.
// Strings are attached to the last ReportEventW of the same thread, so records of several
// threads may interleave.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel::test {

inline constexpr wchar_t EventLogChannels[] = L"fixme+advapi,err+eventlog,warn+eventlog,trace+eventlog";

struct TEventLogRecord {
    std::string Thread;    // writing thread's id, as Wine prints it
    std::string Handle;    // event-source handle, as Wine prints it
    uint32_t Type = 0;     // EVENTLOG_ERROR_TYPE ...
    uint32_t Category = 0;
    uint32_t Id = 0;
    uint32_t StringCount = 0; // number of strings passed to ReportEventW
    uint32_t DataSize = 0;
    bool HasData = false;     // a non-null data pointer was passed
    std::vector<std::wstring> Strings; // as printed (decoded); a null string reads as empty
    bool Truncated = false;            // some string was cut by Wine
};

struct TEventLogCall {
    enum TKind { kRegister, kReport, kDeregister };
    TKind Kind;
    std::wstring Source; // kRegister: the source name
    std::string Handle;  // kDeregister: the handle
    size_t Record = 0;   // kReport: index into TEventLogCapture::Records
};

struct TEventLogCapture {
    TProcessResult Process;
    std::vector<TEventLogCall> Calls; // in the order printed
    std::vector<TEventLogRecord> Records;

    std::vector<std::wstring> Registrations() const;
    size_t Deregistrations() const;
};

// Whether a record of that type and id carries Text as one of its strings.
bool HasEventText(const TEventLogCapture& capture, uint32_t type, uint32_t id, const std::wstring& text);

// Parses stderr text as described above; lines of other kinds are ignored.
TEventLogCapture ParseEventLogTrace(const std::string& stderrText);

// Runs the command line (a program by its full path, then arguments) with the event-log
// channels on (Env may add further variables; its WINEDEBUG is replaced) and parses the child's
// stderr. A program still running after the time-out is left running; TimedOut tells.
TEventLogCapture RunAndCaptureEventLog(const std::wstring& commandLine,
                                       std::map<std::wstring, std::wstring> env = {}, DWORD timeoutMs = 60000);

// Wine's quoting of a string (L"..." or (null)) back to the string. False when malformed.
bool DecodeWineString(const std::string& quoted, std::wstring& text, bool& truncated);

} // namespace tamrel::test
