// tamrelide: runs add-ins in our stand-in development environment from the command line.
//
//   tamrelide [/work:DIR] [/package:PATH]... [/expert:PATH]... [/experts] [/noclassnames] [SCRIPT]
//
// The switches load their libraries in order (a value after ":" or "="); then the commands of
// SCRIPT run, one a line (blank lines and lines that begin with "#" are skipped; a path or name
// is the rest of the line, quotes around it are dropped; relative paths are taken from the
// current directory):
//
//   package PATH       load a package and call its Register
//   expert PATH        load an expert library and call its INITWIZARD0001
//   experts            load the expert libraries the experts registry key names
//   unload [PATH]      unload one library, or every library
//   run NAME           run the wizard with that identifier or name
//   wizards            print the identifiers of the live wizards
//   modules            print the file names of the open modules
//   show FILE          print the source buffer of an open file
//   save               write every open module to its file
//   open FILE          open a file in a buffer of its own (a unit)
//   window FILE        open an editor window on an open file; prints "window N"
//   page N CAPTION     show the page CAPTION of editor window N
//   closewindow N      close editor window N (its frames may refuse)
//   saveas FILE NEW    save an open module under a new name (quote names with blanks)
//   close FILE         close an open module
//   classnames on|off  whether new unit names come with a class name
//
// Every call an add-in makes and every fault is logged (stderr, and the file TAMRELIDE_LOG
// names). At the end every library is unloaded. The exit status is 0 when every command did what
// it asked and no fault was recorded, 1 otherwise; the reasons are written to stderr.
#include "host/Classes.h"
#include "host/SysUtils.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <fstream>
#include <sstream>

using namespace tamrel;

namespace {

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void Complain(const std::wstring& text) {
    const std::string line = WideToUtf8(L"tamrelide: error: " + text + L"\r\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::wstring Unquoted(std::wstring s) {
    s = Trim(s);
    if (s.size() >= 2 && s.front() == L'"' && s.back() == L'"') s = s.substr(1, s.size() - 2);
    return s;
}

// Names separated by blanks, a name with blanks in double quotes.
std::vector<std::wstring> SplitNames(const std::wstring& text) {
    std::vector<std::wstring> names;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == L' ' || text[i] == L'\t') {
            ++i;
            continue;
        }
        if (text[i] == L'"') {
            const size_t end = text.find(L'"', i + 1);
            names.push_back(text.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1));
            i = end == std::wstring::npos ? text.size() : end + 1;
            continue;
        }
        const size_t end = text.find_first_of(L" \t", i);
        names.push_back(text.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i));
        i = end == std::wstring::npos ? text.size() : end;
    }
    return names;
}

struct TSwitch {
    std::wstring Name;
    std::wstring Value;
};

// "/name:value", "-name=value" or "/name".
bool ParseSwitch(const std::wstring& arg, TSwitch& out) {
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-')) return false;
    const size_t sep = arg.find_first_of(L":=");
    out.Name = LowerCase(arg.substr(1, sep == std::wstring::npos ? std::wstring::npos : sep - 1));
    out.Value = sep == std::wstring::npos ? std::wstring() : Unquoted(arg.substr(sep + 1));
    return true;
}

class TScriptRunner {
public:
    explicit TScriptRunner(TIdeHost& host) : FHost(host) {}

    // One command; answers false (and says why) when it failed.
    bool Run(const std::wstring& line) {
        const std::wstring text = Trim(line);
        if (text.empty() || text[0] == L'#') return true;
        const size_t blank = text.find(L' ');
        const std::wstring command = LowerCase(text.substr(0, blank));
        const std::wstring arg = blank == std::wstring::npos ? std::wstring() : Unquoted(text.substr(blank + 1));
        if (command == L"package") return Check(FHost.LoadPackage(arg), L"the package " + arg + L" did not load");
        if (command == L"expert") return Check(FHost.LoadExpert(arg), L"the expert library " + arg + L" did not load");
        if (command == L"experts") {
            FHost.LoadRegisteredExperts();
            return true;
        }
        if (command == L"unload") {
            if (arg.empty()) {
                FHost.UnloadAll();
                return true;
            }
            return Check(FHost.Unload(arg), arg + L" is not loaded");
        }
        if (command == L"run") {
            const TWizardRun run = FHost.RunWizard(arg);
            if (!run.Found) return Check(false, L"no wizard " + arg);
            return Check(run.Succeeded, L"the wizard " + arg + L" failed: " + run.Error);
        }
        if (command == L"wizards") {
            for (const std::wstring& id : FHost.WizardIds()) Print(WideToUtf8(id) + "\n");
            return true;
        }
        if (command == L"modules") {
            TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
            for (int32_t i = 0; modules && i < modules->GetModuleCount(); ++i)
                Print(WideToUtf8(modules->GetModule(i)->GetFileName()) + "\n");
            return true;
        }
        if (command == L"show") {
            try {
                Print(FHost.Buffer(FileName(arg)));
                return true;
            } catch (const Exception& e) {
                return Check(false, e.Message());
            }
        }
        if (command == L"save") {
            FHost.SaveAll();
            return true;
        }
        if (command == L"open") return Check(FHost.OpenFile(FileName(arg)), L"cannot open " + arg);
        if (command == L"window") {
            const int window = FHost.OpenEditorWindow(FileName(arg));
            if (window) Print("window " + std::to_string(window) + "\n");
            return Check(window != 0, arg + L" is not open");
        }
        if (command == L"page") {
            const size_t blank2 = arg.find(L' ');
            const int window = StrToIntDef(arg.substr(0, blank2), 0);
            const std::wstring caption = blank2 == std::wstring::npos ? std::wstring() : Unquoted(arg.substr(blank2 + 1));
            return Check(FHost.ShowEditorPage(window, caption), L"window " + arg.substr(0, blank2) + L" has no page " + caption);
        }
        if (command == L"closewindow") return Check(FHost.CloseEditorWindow(StrToIntDef(arg, 0)), L"window " + arg + L" did not close");
        if (command == L"saveas") {
            const std::vector<std::wstring> names = SplitNames(text.substr(blank == std::wstring::npos ? text.size() : blank + 1));
            if (names.size() != 2) return Check(false, L"saveas takes two file names");
            return Check(FHost.SaveModuleAs(FileName(names[0]), FileName(names[1])), L"cannot save " + names[0] + L" as " + names[1]);
        }
        if (command == L"close") return Check(FHost.CloseModule(FileName(arg)), arg + L" is not open");
        if (command == L"classnames") {
            FHost.SetProposeClassNames(SameText(arg, L"on"));
            return Check(SameText(arg, L"on") || SameText(arg, L"off"), L"classnames takes on or off");
        }
        return Check(false, L"unknown command: " + command);
    }

private:
    // A file of the work folder may be named without its folder.
    std::wstring FileName(const std::wstring& name) const {
        return name.find(L'\\') == std::wstring::npos ? IncludeTrailingPathDelimiter(FHost.WorkFolder()) + name : name;
    }
    static bool Check(bool ok, const std::wstring& why) {
        if (!ok) Complain(why);
        return ok;
    }
    TIdeHost& FHost;
};

int Main() {
    TIdeHost::TOptions options;
    std::vector<TSwitch> loads;
    std::wstring script;
    for (int i = 1; i <= ParamCount(); ++i) {
        const std::wstring arg = ParamStr(i);
        TSwitch s;
        if (!ParseSwitch(arg, s)) {
            script = arg;
        } else if (s.Name == L"work") {
            options.WorkFolder = s.Value;
        } else if (s.Name == L"noclassnames") {
            options.ProposeClassNames = false;
        } else if (s.Name == L"package" || s.Name == L"expert" || s.Name == L"experts") {
            loads.push_back(s);
        } else {
            Complain(L"unknown switch " + arg);
            return 1;
        }
    }
    std::vector<std::wstring> lines;
    if (!script.empty()) {
        std::ifstream in(script.c_str(), std::ios::binary);
        if (!in) {
            Complain(L"cannot read the script " + script);
            return 1;
        }
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::wstring text = Utf8ToWide(bytes.str());
        TStringList list;
        list.SetText(text);
        lines = list.ToVector();
    }

    TIdeHost host(options);
    TScriptRunner runner(host);
    bool ok = true;
    for (const TSwitch& s : loads) ok = runner.Run(s.Name + L" " + s.Value) && ok;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!runner.Run(lines[i])) {
            Complain(L"in line " + std::to_wstring(i + 1) + L" of " + script);
            ok = false;
        }
    host.UnloadAll();
    const auto faults = host.Faults();
    for (const TIdeRecord& fault : faults) Complain(L"fault: " + fault.Line());
    return ok && faults.empty() ? 0 : 1;
}

} // namespace

int wmain() {
    // Buffers are printed as they are, line ends included.
    _setmode(_fileno(stdout), _O_BINARY);
    try {
        return Main();
    } catch (const Exception& e) {
        Complain(e.Message());
    } catch (const std::exception& e) {
        Complain(Utf8ToWide(e.what()));
    }
    return 1;
}
