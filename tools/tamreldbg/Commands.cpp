#include "Commands.h"

#include "Dispatcher.h"
#include "StatusLog.h"
#include "Text.h"

#include <cwctype>
#include <optional>
#include <vector>

namespace tamreldbg {

namespace {

// A command line as the commands see it.
struct TCommandLine {
    std::wstring Text;              // the whole line
    std::vector<std::wstring> Args; // the words after the verb
    std::string Source;             // "console" or "pipe"
    HANDLE Pipe = nullptr;          // the pipe that asked, nil for the console
};

// Answers the outcome record ("" when the dispatcher wrote it to the pipe itself), or nothing
// when the words are malformed (refused with 87).
using TReply = std::optional<std::string>;
using TCommandProc = TReply (*)(const TCommandLine& c);

struct TCommand {
    const wchar_t* Verb;
    size_t MinArgs, MaxArgs;
    const char* Usage; // its part of the help text
    TCommandProc Run;
};

// Queues a request for the dispatcher and answers its reply.
std::string SendRequest(const TCommandLine& c, TRequest::TKind kind, const std::wstring& name, DWORD code,
                        bool checked = true) {
    auto r = std::make_shared<TRequest>();
    r->Kind = kind;
    r->Name = name;
    r->Code = code;
    r->Checked = checked;
    r->Source = c.Source;
    r->ReplyPipe = c.Pipe;
    return Submit(r, true);
}

// A control for the service named by the first word.
std::string SendControl(const TCommandLine& c, DWORD code, bool checked = true) {
    return SendRequest(c, TRequest::rkControl, c.Args[0], code, checked);
}

TReply NetBind(const TCommandLine& c) {
    struct {
        const wchar_t* Word;
        DWORD Code;
    } const kinds[] = {{L"add", SERVICE_CONTROL_NETBINDADD},
                       {L"remove", SERVICE_CONTROL_NETBINDREMOVE},
                       {L"enable", SERVICE_CONTROL_NETBINDENABLE},
                       {L"disable", SERVICE_CONTROL_NETBINDDISABLE}};
    for (const auto& k : kinds)
        if (SameName(c.Args[1], k.Word)) return SendControl(c, k.Code);
    return std::nullopt;
}

// A power event of the given event type, through the extended handler.
TReply PowerEvent(const TCommandLine& c) {
    auto r = std::make_shared<TRequest>();
    if (!ParseCode(c.Args[1], r->EventType)) return std::nullopt;
    r->Name = c.Args[0];
    r->Code = SERVICE_CONTROL_POWEREVENT;
    r->WithEventType = true;
    r->Source = c.Source;
    r->ReplyPipe = c.Pipe;
    return Submit(r, true);
}

TReply AnyControl(const TCommandLine& c) {
    DWORD code;
    if (!ParseCode(c.Args[1], code)) return std::nullopt;
    return SendControl(c, code, false);
}

// To the named service, or to every running service that accepts it.
TReply ShutdownKind(const TCommandLine& c, DWORD code) {
    if (c.Args.empty()) return SendRequest(c, TRequest::rkBroadcast, L"", code);
    return SendControl(c, code);
}

TReply Status(const TCommandLine& c) {
    TLocked lock;
    if (c.Args.empty())
        return "status services=" + Dec(State().Current.size()) +
               " dispatcher=" + (State().DispatcherRunning ? "running" : "idle");
    TService* s = FindLatest(c.Args[0]);
    if (!s) return "status " + Utf8(c.Args[0]) + " result=refused error=" + Dec(ERROR_SERVICE_DOES_NOT_EXIST);
    return StatusRecord(*s);
}

TReply Wait(const TCommandLine& c) {
    DWORD target = 0, timeout = 10000;
    if (!ParseState(c.Args[1], target) || (c.Args.size() > 2 && !ParseCode(c.Args[2], timeout))) return std::nullopt;
    const std::string record = "wait " + Utf8(c.Args[0]);
    const DWORD start = GetTickCount();
    TLocked lock;
    for (;;) {
        TService* s = FindLatest(c.Args[0]);
        if (!s) return Refused(record + " source=" + c.Source, ERROR_SERVICE_DOES_NOT_EXIST);
        const DWORD state = s->Status.dwCurrentState;
        if (state == target) return Outcome(record + " state=" + StateText(state) + " result=reached");
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout)
            return Outcome(record + " result=timeout error=" + Dec(ERROR_TIMEOUT) + " state=" + StateText(state));
        SleepConditionVariableCS(&State().Changed, &State().Lock, timeout - elapsed);
    }
}

TReply Help(const TCommandLine&);

// clang-format off
const TCommand GCommands[] = {
    {L"stop",        1, 1, "stop NAME",        [](const TCommandLine& c) -> TReply { return SendControl(c, SERVICE_CONTROL_STOP); }},
    {L"pause",       1, 1, "pause NAME",       [](const TCommandLine& c) -> TReply { return SendControl(c, SERVICE_CONTROL_PAUSE); }},
    {L"continue",    1, 1, "continue NAME",    [](const TCommandLine& c) -> TReply { return SendControl(c, SERVICE_CONTROL_CONTINUE); }},
    {L"interrogate", 1, 1, "interrogate NAME", [](const TCommandLine& c) -> TReply { return SendControl(c, SERVICE_CONTROL_INTERROGATE); }},
    {L"paramchange", 1, 1, "paramchange NAME", [](const TCommandLine& c) -> TReply { return SendControl(c, SERVICE_CONTROL_PARAMCHANGE); }},
    {L"netbind",     2, 2, "netbind NAME add|remove|enable|disable", NetBind},
    {L"power",       2, 2, "power NAME TYPE", PowerEvent},
    {L"shutdown",    0, 1, "shutdown [NAME]",    [](const TCommandLine& c) -> TReply { return ShutdownKind(c, SERVICE_CONTROL_SHUTDOWN); }},
    {L"preshutdown", 0, 1, "preshutdown [NAME]", [](const TCommandLine& c) -> TReply { return ShutdownKind(c, SERVICE_CONTROL_PRESHUTDOWN); }},
    {L"control",     2, 2, "control NAME CODE", AnyControl},
    {L"quit",        0, 0, "quit", [](const TCommandLine& c) -> TReply { return SendRequest(c, TRequest::rkQuit, L"", 0); }},
    {L"status",      0, 1, "status [NAME]", Status},
    {L"wait",        2, 3, "wait NAME STATE [MS]", Wait},
    {L"help",        0, 0, "help", Help},
};
// clang-format on

TReply Help(const TCommandLine&) {
    std::string text = "commands: ";
    for (const TCommand& command : GCommands) {
        if (&command != GCommands) text += "; ";
        text += command.Usage;
    }
    return text;
}

// Words separated by blanks; a word in double quotes may hold blanks.
std::vector<std::wstring> Tokenize(const std::wstring& line) {
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && iswspace(line[i]))
            ++i;
        if (i >= line.size()) break;
        std::wstring word;
        if (line[i] == L'"') {
            ++i;
            while (i < line.size() && line[i] != L'"')
                word.push_back(line[i++]);
            ++i;
        } else {
            while (i < line.size() && !iswspace(line[i]))
                word.push_back(line[i++]);
        }
        words.push_back(word);
    }
    return words;
}

} // namespace

std::string RunCommand(const std::wstring& line, const std::string& source, HANDLE pipe) {
    std::vector<std::wstring> words = Tokenize(line);
    if (words.empty()) return {};
    TCommandLine c{line, std::vector<std::wstring>(words.begin() + 1, words.end()), source, pipe};
    for (const TCommand& command : GCommands) {
        if (!SameName(words[0], command.Verb)) continue;
        if (c.Args.size() < command.MinArgs || c.Args.size() > command.MaxArgs) break;
        if (TReply reply = command.Run(c)) return *reply;
        break;
    }
    return Refused("command source=" + source + " text=" + Quote(line), ERROR_INVALID_PARAMETER);
}

} // namespace tamreldbg
