// Add-in libraries in the environment stand-in: the probe expert and package (programs/), loaded
// from a folder whose name has a blank, and the console host running a script.
#include "tests/support/TestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::wstring ProbePath(const wchar_t* name) { return BinDir() + L"probe addins\\" + name; }

// The calls the probe expert's creators got, one a line.
std::vector<std::string> ProbeEvents() {
    HMODULE probe = GetModuleHandleW(ProbePath(L"probe_expert.dll").c_str());
    if (!probe) return {};
    using TEventsProc = const wchar_t*(__stdcall*)();
    auto proc = reinterpret_cast<TEventsProc>(reinterpret_cast<void (*)()>(GetProcAddress(probe, "ProbeEvents")));
    return proc ? SplitLines(ToUtf8(proc())) : std::vector<std::string>{};
}

bool HasRecord(const TIdeHost& host, const std::wstring& area, const std::wstring& call, const std::wstring& result) {
    const auto records = host.Records();
    return std::any_of(records.begin(), records.end(),
                       [&](const TIdeRecord& r) { return r.Area == area && r.Call == call && r.Result == result; });
}

std::vector<std::string> LogLines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(text))
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace

TEST(IdeAddins, ExpertLoadsFromAFolderWithABlankBesideItsOwnDependency) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadExpert(ProbePath(L"probe_expert.dll")));
    EXPECT_EQ(std::vector<std::wstring>{ProbePath(L"probe_expert.dll")}, host.Libraries());
    EXPECT_EQ((std::vector<std::wstring>{L"Probe.Project", L"Probe.Failing", L"Probe.Left"}), host.WizardIds());
    // The same library twice is refused.
    EXPECT_FALSE(host.LoadExpert(ProbePath(L"probe_expert.dll")));
}

TEST(IdeAddins, WizardRunCreatesAProjectThenAUnitInTheDocumentedOrder) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadExpert(ProbePath(L"probe_expert.dll")));
    const TWizardRun run = host.RunWizard(L"Probe.Project");
    ASSERT_TRUE(run.Found);
    EXPECT_TRUE(run.Succeeded) << ToUtf8(run.Error);
    const std::vector<std::string> expected = {
        "GetCreatorType", "GetExisting", "GetFileSystem", "GetOwner", "GetUnnamed", "GetFileName",
        "GetOptionFileName", "GetShowSource", "GetProjectPersonality", "NewProjectSource(Project1)",
        "NewOptionSource(Project1)", "NewDefaultProjectModule", "NewDefaultModule", "GetCreatorType", "GetExisting",
        "GetFileSystem", "GetOwner", "GetUnnamed", "GetAncestorName", "GetImplFileName", "GetIntfFileName",
        "GetFormName", "GetMainForm", "GetShowForm", "GetShowSource", "NewFormFile(Form1,DataModule)",
        "NewImplSource(Unit1,Form1,DataModule)", "NewIntfSource(Unit1,Form1,DataModule)", "FormCreated",
        "NewProjectResource"};
    EXPECT_EQ(expected, ProbeEvents());

    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    TComPtr<IOTAProject> project = modules->GetModule(0).As<IOTAProjectGroup>()->GetActiveProject();
    ASSERT_TRUE(project);
    ASSERT_EQ(1, project->GetUnitCount());
    TComPtr<IOTAModule> unit = modules->FindModule(project->GetUnitFileName(0));
    ASSERT_TRUE(unit);
    // The probe set the designing root's Tag in FormCreated.
    std::wstring tag;
    TComPtr<IOTAFormEditor> form = unit->GetModuleFileEditor(1).As<IOTAFormEditor>();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->GetRootComponent()->GetPropValueByName(L"Tag", tag));
    EXPECT_EQ(L"7", tag);
}

TEST(IdeAddins, CreatorExceptionInTheLibraryReachesTheRunner) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadExpert(ProbePath(L"probe_expert.dll")));
    const TWizardRun run = host.RunWizard(L"Probe.Failing");
    EXPECT_TRUE(run.Found);
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(L"probe creator failed", run.Error);
    EXPECT_TRUE(HasRecord(host, L"run", L"end", L"exception"));
    EXPECT_FALSE(host.RunWizard(L"No.Such.Wizard").Found);
}

TEST(IdeAddins, WizardLeftRegisteredIsReportedAndRemovedAtUnload) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadExpert(ProbePath(L"probe_expert.dll")));
    EXPECT_TRUE(host.Faults().empty());
    ASSERT_TRUE(host.Unload(ProbePath(L"probe_expert.dll")));
    const auto faults = host.Faults();
    ASSERT_EQ(1u, faults.size());
    EXPECT_EQ(L"leftover", faults[0].Call);
    EXPECT_EQ(L"wizard", faults[0].Field(L"kind"));
    EXPECT_EQ(L"Probe.Left", faults[0].Field(L"id"));
    // The terminate routine removed its own wizard, the environment the one it registered.
    EXPECT_TRUE(HasRecord(host, L"addin", L"terminate", L"ok"));
    EXPECT_TRUE(host.WizardIds().empty());
    EXPECT_TRUE(host.Libraries().empty());
    EXPECT_EQ(nullptr, GetModuleHandleW(ProbePath(L"probe_expert.dll").c_str()));
}

TEST(IdeAddins, PackageRegistersAndItsClassesLeaveWithIt) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadPackage(ProbePath(L"probe_package.dll")));
    EXPECT_EQ(std::vector<std::wstring>{L"TProbeComponent"}, host.PaletteComponents(L"Probe"));
    EXPECT_EQ(std::vector<std::wstring>{L"TProbeModule"}, host.CustomModules());
    EXPECT_NE(nullptr, GetClass(L"TProbeModule"));
    EXPECT_EQ((std::vector<std::wstring>{L"Probe.Package", L"Probe.PackageForm"}), host.WizardIds());
    // A designer of the package's module class is open when the package goes: it closes first.
    ASSERT_TRUE(host.RunWizard(L"Probe.PackageForm").Succeeded);
    TComPtr<IOTAModuleServices> modules = IdeService<IOTAModuleServices>();
    TComPtr<IOTAModule> unit = modules->FindModule(host.WorkFolder() + L"\\Unit1.pas");
    ASSERT_TRUE(unit);
    EXPECT_EQ(L"TProbeModule", unit->GetModuleFileEditor(1).As<IOTAFormEditor>()->GetRootComponent()->GetComponentType());
    ASSERT_TRUE(host.Unload(ProbePath(L"probe_package.dll")));
    EXPECT_TRUE(HasRecord(host, L"addin", L"finalize", L"ok"));
    EXPECT_TRUE(HasRecord(host, L"addin", L"close", L"ok"));
    EXPECT_FALSE(modules->FindModule(host.WorkFolder() + L"\\Unit1.pas"));
    EXPECT_EQ(0, unit->GetModuleFileCount());
    EXPECT_TRUE(host.Faults().empty());
    EXPECT_TRUE(host.WizardIds().empty());
    EXPECT_EQ(nullptr, GetClass(L"TProbeModule"));
}

TEST(IdeAddins, LibrariesWithoutTheirEntryOrFileAreRefused) {
    TIdeHost host;
    // A package is no expert library: it has no INITWIZARD0001.
    EXPECT_FALSE(host.LoadExpert(ProbePath(L"probe_package.dll")));
    EXPECT_TRUE(HasRecord(host, L"addin", L"init", L"refused"));
    EXPECT_TRUE(host.Libraries().empty());
    EXPECT_FALSE(host.LoadPackage(ProbePath(L"no_such_package.dll")));
    const auto records = host.Records();
    EXPECT_EQ(L"126", records.back().Field(L"error"));
    EXPECT_FALSE(host.Unload(ProbePath(L"no_such_package.dll")));
}

TEST(IdeAddins, ExpertLibrariesNamedUnderTheExpertsKeyAreLoaded) {
    const wchar_t* keyName = L"Software\\Embarcadero\\BDS\\12.0\\Experts";
    TRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
    const std::wstring path = ProbePath(L"probe_expert.dll");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), L"tamrelide_probe", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))));
    TScopeExit removeValue([&] { RegDeleteValueW(key.Get(), L"tamrelide_probe"); });
    TIdeHost host;
    EXPECT_EQ(1, host.LoadRegisteredExperts());
    EXPECT_EQ(std::vector<std::wstring>{path}, host.Libraries());
}

TEST(IdeAddins, ConsoleHostRunsAScriptAndLogsIt) {
    const std::wstring work = TempFileName(L"ide work");
    const std::wstring script = TempFileName(L"ide script") + L".txt";
    const std::wstring log = TempFileName(L"ide log");
    WriteFileBytes(script, "# a package, its wizard, the unit it made\r\n"
                           "package " + ToUtf8(ProbePath(L"probe_package.dll")) + "\r\n"
                           "wizards\r\n"
                           "run Probe.Package\r\n"
                           "modules\r\n"
                           "show Unit1.pas\r\n"
                           "save\r\n");
    const TProcessResult r =
        RunProcess(ProgramPath(L"tamrelide.exe") + L" /work:\"" + work + L"\" \"" + script + L"\"", {{L"TAMRELIDE_LOG", log}});
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_NE(std::string::npos, r.Out.find("Probe.Package\n"));
    EXPECT_NE(std::string::npos, r.Out.find("unit Unit1;\r\n\r\ninterface")) << r.Out;
    EXPECT_EQ("unit Unit1;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n", ReadFileBytes(work + L"\\Unit1.pas"));
    // The log file holds the same lines as stderr.
    const auto errLines = LogLines(r.Err, "tamrelide: ");
    EXPECT_EQ(errLines, LogLines(ReadFileBytes(log), "tamrelide: "));
    EXPECT_NE(errLines.end(), std::find(errLines.begin(), errLines.end(), "tamrelide: run end id=\"Probe.Package\" result=ok"));

    // The expert leaves a wizard behind: the run fails and says why.
    WriteFileBytes(script, "expert " + ToUtf8(ProbePath(L"probe_expert.dll")) + "\r\nrun Probe.Failing\r\n");
    const TProcessResult failed = RunProcess(ProgramPath(L"tamrelide.exe") + L" \"" + script + L"\"");
    EXPECT_EQ(1u, failed.ExitCode);
    EXPECT_NE(std::string::npos, failed.Err.find("tamrelide: error: the wizard Probe.Failing failed: probe creator failed"));
    EXPECT_NE(std::string::npos, failed.Err.find("tamrelide: error: fault: addin leftover")) << failed.Err;
}
