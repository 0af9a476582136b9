#include "tests/support/EventLogCapture.h"

#include <cstdlib>
#include <map>

namespace tamrel::test {

namespace {

constexpr char kReportLine[] = "fixme:advapi:ReportEventW (";
constexpr char kRegisterLine[] = "fixme:advapi:RegisterEventSourceW (";
constexpr char kDeregisterLine[] = "fixme:advapi:DeregisterEventSource (";
constexpr const char* kStringChannels[] = {"err:eventlog:ReportEventW ", "warn:eventlog:ReportEventW ",
                                           "trace:eventlog:ReportEventW "};

bool StartsWith(const std::string& s, size_t at, const char* prefix) {
    return s.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

// "0108:rest" -> thread "0108", rest starts at the returned offset; npos when not a debug line.
size_t SplitThread(const std::string& line, std::string& thread) {
    size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos) return std::string::npos;
    for (size_t i = 0; i < colon; ++i)
        if (!isxdigit(static_cast<unsigned char>(line[i]))) return std::string::npos;
    thread = line.substr(0, colon);
    return colon + 1;
}

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

uint32_t Hex(const std::string& field) { return static_cast<uint32_t>(strtoul(field.c_str(), nullptr, 16)); }

bool ParseReport(const std::string& args, TEventLogRecord& record) {
    // args: everything after the opening parenthesis, up to "): stub"
    size_t close = args.find(')');
    if (close == std::string::npos) return false;
    std::vector<std::string> f = SplitFields(args.substr(0, close));
    if (f.size() != 9) return false;
    record.Handle = f[0];
    record.Type = Hex(f[1]);
    record.Category = Hex(f[2]);
    record.Id = Hex(f[3]);
    record.StringCount = Hex(f[5]);
    record.DataSize = Hex(f[6]);
    record.HasData = strtoull(f[8].c_str(), nullptr, 16) != 0;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool DecodeWineString(const std::string& quoted, std::wstring& text, bool& truncated) {
    text.clear();
    truncated = false;
    if (quoted == "(null)") return true;
    if (quoted.size() < 3 || quoted[0] != 'L' || quoted[1] != '"') return false;
    size_t i = 2;
    for (;;) {
        if (i >= quoted.size()) return false;
        char c = quoted[i];
        if (c == '"') break;
        if (c != '\\') {
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
            ++i;
            continue;
        }
        if (i + 1 >= quoted.size()) return false;
        char e = quoted[i + 1];
        switch (e) {
        case 'n':
            text.push_back(L'\n');
            break;
        case 'r':
            text.push_back(L'\r');
            break;
        case 't':
            text.push_back(L'\t');
            break;
        case '"':
            text.push_back(L'"');
            break;
        case '\\':
            text.push_back(L'\\');
            break;
        default: {
            if (i + 5 > quoted.size()) return false;
            unsigned v = 0;
            for (size_t k = 1; k <= 4; ++k) {
                int d = HexDigit(quoted[i + k]);
                if (d < 0) return false;
                v = v * 16 + static_cast<unsigned>(d);
            }
            text.push_back(static_cast<wchar_t>(v));
            i += 5;
            continue;
        }
        }
        i += 2;
    }
    std::string rest = quoted.substr(i + 1);
    if (rest == "...") truncated = true;
    else if (!rest.empty()) return false;
    return true;
}

std::vector<std::wstring> TEventLogCapture::Registrations() const {
    std::vector<std::wstring> names;
    for (const auto& c : Calls)
        if (c.Kind == TEventLogCall::kRegister) names.push_back(c.Source);
    return names;
}

size_t TEventLogCapture::Deregistrations() const {
    size_t n = 0;
    for (const auto& c : Calls)
        if (c.Kind == TEventLogCall::kDeregister) ++n;
    return n;
}

TEventLogCapture ParseEventLogTrace(const std::string& stderrText) {
    TEventLogCapture capture;
    std::map<std::string, size_t> openRecord; // thread -> record that takes its strings
    for (const std::string& line : SplitLines(stderrText)) {
        std::string thread;
        size_t at = SplitThread(line, thread);
        if (at == std::string::npos) continue;
        if (StartsWith(line, at, kReportLine)) {
            TEventLogRecord record;
            record.Thread = thread;
            if (!ParseReport(line.substr(at + sizeof kReportLine - 1), record)) continue;
            openRecord[thread] = capture.Records.size();
            capture.Calls.push_back({TEventLogCall::kReport, {}, {}, capture.Records.size()});
            capture.Records.push_back(std::move(record));
            continue;
        }
        if (StartsWith(line, at, kRegisterLine)) {
            // RegisterEventSourceW ((null),L"Name"): stub
            std::string args = line.substr(at + sizeof kRegisterLine - 1);
            size_t comma = args.find(',');
            size_t end = args.rfind("): stub");
            if (comma == std::string::npos || end == std::string::npos || end < comma) continue;
            std::wstring source;
            bool truncated;
            if (!DecodeWineString(args.substr(comma + 1, end - comma - 1), source, truncated)) continue;
            capture.Calls.push_back({TEventLogCall::kRegister, source, {}, 0});
            continue;
        }
        if (StartsWith(line, at, kDeregisterLine)) {
            std::string args = line.substr(at + sizeof kDeregisterLine - 1);
            capture.Calls.push_back({TEventLogCall::kDeregister, {}, args.substr(0, args.find(')')), 0});
            continue;
        }
        for (const char* channel : kStringChannels) {
            if (!StartsWith(line, at, channel)) continue;
            auto open = openRecord.find(thread);
            if (open == openRecord.end()) break;
            TEventLogRecord& record = capture.Records[open->second];
            std::wstring text;
            bool truncated = false;
            if (DecodeWineString(line.substr(at + std::char_traits<char>::length(channel)), text, truncated)) {
                record.Strings.push_back(text);
                record.Truncated = record.Truncated || truncated;
            }
            break;
        }
    }
    return capture;
}

namespace {

// Wine's own helpers between DOS and Unix file names (exported by its kernel32).
std::string UnixFileName(const std::wstring& dosName) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto proc = reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name"));
    if (!proc) return {};
    char* name = reinterpret_cast<Fn>(proc)(dosName.c_str());
    if (!name) return {};
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::wstring DosFileName(const char* unixName) {
    using Fn = WCHAR*(CDECL*)(LPCSTR);
    auto proc = reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name"));
    if (!proc) return {};
    WCHAR* name = reinterpret_cast<Fn>(proc)(unixName);
    if (!name) return {};
    std::wstring result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// A word for sh, in single quotes.
std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
    std::vector<std::wstring> args;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &argc);
    if (!argv) return args;
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

} // namespace

TEventLogCapture RunAndCaptureEventLog(const std::wstring& commandLine, std::map<std::wstring, std::wstring> env,
                                       DWORD timeoutMs) {
    TEventLogCapture capture;
    std::vector<std::wstring> args = SplitArguments(commandLine);
    std::wstring shell = DosFileName("/bin/sh");
    std::string program = args.empty() ? std::string() : UnixFileName(args[0]);
    if (program.empty() || shell.empty()) {
        capture.Process.ExitCode = static_cast<DWORD>(-1);
        capture.Process.Err = "cannot map the program or the shell between DOS and Unix names";
        return capture;
    }
    const std::wstring outFile = TempFileName(L"evlog-out");
    const std::wstring errFile = TempFileName(L"evlog-err");
    const std::wstring statusFile = TempFileName(L"evlog-status");
    const std::string status = UnixFileName(statusFile);
    std::string script = ShellQuote(TAMREL_WINE64) + " " + ShellQuote(program);
    for (size_t i = 1; i < args.size(); ++i) script += " " + ShellQuote(ToUtf8(args[i]));
    script += " >" + ShellQuote(UnixFileName(outFile)) + " 2>" + ShellQuote(UnixFileName(errFile));
    // Renamed into place, so that the status file is never seen half written.
    script += "; echo $? >" + ShellQuote(status + ".part") + "; mv " + ShellQuote(status + ".part") + " " +
              ShellQuote(status);
    // The script holds no double quotes, and a backslash is literal unless it precedes one.
    env[L"WINEDEBUG"] = EventLogChannels;
    TProcessResult shellResult = RunProcess(L"\"" + shell + L"\" -c \"" + FromUtf8(script) + L"\"", env, timeoutMs);
    // Wine does not let us wait for a Unix process: wait for the status file instead.
    DWORD start = GetTickCount();
    while (GetFileAttributesW(statusFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > timeoutMs) {
            capture.Process.TimedOut = true;
            break;
        }
        Sleep(10);
    }
    capture.Process.ExitCode = capture.Process.TimedOut
                                   ? static_cast<DWORD>(-1)
                                   : static_cast<DWORD>(strtoul(ReadFileBytes(statusFile).c_str(), nullptr, 10));
    capture.Process.Out = ReadFileBytes(outFile);
    capture.Process.Err = ReadFileBytes(errFile) + shellResult.Err;
    for (const std::wstring& f : {outFile, errFile, statusFile}) DeleteFileW(f.c_str());
    TEventLogCapture parsed = ParseEventLogTrace(capture.Process.Err);
    parsed.Process = std::move(capture.Process);
    return parsed;
}

bool HasEventText(const TEventLogCapture& capture, uint32_t type, uint32_t id, const std::wstring& text) {
    for (const auto& r : capture.Records)
        if (r.Type == type && r.Id == id)
            for (const auto& s : r.Strings)
                if (s == text) return true;
    return false;
}

} // namespace tamrel::test
