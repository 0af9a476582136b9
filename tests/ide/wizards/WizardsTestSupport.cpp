#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/forms/Controls.h"
#include "ide/wizards/qkPasParser.h"
#include "host/forms/StdCtrls.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <regex>

namespace tamrel::test {

namespace {

std::wstring NewFolder(const std::wstring& name) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    for (;;) {
        const std::wstring folder = std::wstring(temp) + name +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
}

} // namespace

TWizardsIde::TWizardsIde() : TWizardsIde(TOptions{}) {}

TWizardsIde::TWizardsIde(TOptions options) {
    TIdeHost::TOptions host;
    host.WorkFolder = NewFolder(options.FolderName);
    host.AppBuilder = options.AppBuilder;
    host.ProposeClassNames = options.ProposeClassNames;
    FHost = std::make_unique<TIdeHost>(host);
    FLog = FHost->WorkFolder() + L"\\tools.log";
    SetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", FLog.c_str());
    FPackage = BinDir() +
               (options.NoFinalize ? L"probe_wizards_package_nofinalize.dll" : L"probe_wizards_package.dll");
    FLoaded = FHost->LoadPackage(FPackage);
    EXPECT_TRUE(FLoaded);
}

TWizardsIde::~TWizardsIde() {
    if (FLoaded) FHost->Unload(FPackage);
    SetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", nullptr);
    FHost.reset();
}

const std::wstring& TWizardsIde::Folder() const {
    return FHost->WorkFolder();
}

std::vector<std::string> TWizardsIde::ToolsLog() const {
    return SplitLines(ReadFileBytes(FLog));
}

void TWizardsIde::Run(const std::wstring& wizard) {
    const TWizardRun run = FHost->RunWizard(wizard);
    EXPECT_TRUE(run.Found) << ToUtf8(wizard);
    EXPECT_TRUE(run.Succeeded) << ToUtf8(wizard) << ": " << ToUtf8(run.Error);
}

std::wstring TWizardsIde::NewProject() {
    Run(L"NT Service Application");
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    for (int32_t i = 0; modules && i < modules->GetModuleCount(); ++i)
        if (auto group = modules->GetModule(i).As<IOTAProjectGroup>())
            if (auto project = group->GetActiveProject()) return project->GetFileName();
    ADD_FAILURE() << "no active project";
    return {};
}

std::vector<std::wstring> TWizardsIde::Files() const {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Folder() + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L".." && name != L"tools.log") files.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

void Press(TWinControl* button) {
    ASSERT_NE(nullptr, button);
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
}

void AnswerClassDialog(TIdeHost& host, const std::wstring& caption, const TClassAnswer& answer) {
    host.AnswerDialog(caption, [answer](const TModalWindow& dialog) {
        TComponent* form = dialog.Form;
        if (answer.Cancel) return Press(Control<TButton>(form, L"BnCancel"));
        Control<TEdit>(form, L"EdClassName")->SetText(answer.ClassName);
        Control<TEdit>(form, L"EdServiceName")->SetText(answer.ServiceName);
        Control<TRadioButton>(form, answer.Factory.c_str())->SetChecked(true);
        auto* events = Control<TCheckBox>(form, L"CBxObjectEvents");
        if (events->Enabled()) events->SetChecked(answer.Events);
        Press(Control<TButton>(form, L"BnOK"));
    });
}


std::vector<std::string> PasIdentifiers(const std::string& source, bool declared) {
    TPasString text(source.size(), 0);
    for (size_t i = 0; i < source.size(); ++i)
        text[i] = static_cast<TPasChar>(static_cast<uint8_t>(source[i]));
    std::vector<std::string> found;
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    std::string pending;
    for (parser.NextToken(); parser.Token().ID != tkNull; parser.NextToken()) {
        const TTokenKind id = parser.Token().ID;
        if (id == tkSpace || id == tkCRLF || id == tkCRLFCo || id == tkAnsiComment || id == tkBorComment ||
            id == tkSlashesComment)
            continue;
        if (!pending.empty() && (id == tkEqual || id == tkColon)) found.push_back(pending);
        pending.clear();
        if (id == tkIdentifier) {
            const std::string name(parser.Token().Data.begin(), parser.Token().Data.end());
            if (declared)
                pending = name;
            else
                found.push_back(name);
        }
    }
    return found;
}

std::string ExpectedText(const wchar_t* name) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    EXPECT_NE(nullptr, res) << ToUtf8(name);
    if (!res) return {};
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(self, res)));
    std::string text;
    for (const char* c = bytes; c < bytes + SizeofResource(self, res); ++c) {
        if (*c == '\r') continue;
        if (*c == '\n') text += '\r';
        text += *c;
    }
    return text;
}

std::string WithoutGuids(const std::string& text) {
    static const std::regex guid("\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\}");
    return std::regex_replace(text, guid, "{00000000-0000-0000-0000-000000000000}");
}

std::wstring ToQuoted(const std::wstring& text) {
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') quoted += L'\\';
        quoted += c;
    }
    return quoted + L"\"";
}

std::vector<std::wstring> Calls(const TIdeHost& host, const std::wstring& area) {
    std::vector<std::wstring> calls;
    for (const TIdeRecord& record : host.Records())
        if (record.Area == area) {
            std::wstring line = record.Line();
            const std::wstring prefix = area + L" ";
            if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
            calls.push_back(line);
        }
    return calls;
}

} // namespace tamrel::test
