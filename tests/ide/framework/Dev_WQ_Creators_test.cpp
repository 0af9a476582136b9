// Module and project creators inside our environment stand-in: what the environment-side
// creators answer, naming a new unit's form run after run, the source handlers' errors reaching
// the wizard's runner, and the creation code.
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tamrel;

namespace {

// The event handlers of a wizard's data module; each notes what it was given.
struct THandlers {
    std::vector<std::wstring> Calls;
    TWQModuleCreator* Module = nullptr;
    TWQProjectCreator* Project = nullptr;

    std::wstring ModuleSource(TObject*, const std::wstring& unit, const std::wstring& form, const std::wstring& ancestor) {
        Calls.push_back(L"module " + unit + L"," + form + L"," + ancestor + L" FormName=" + Module->FormName() +
                        L" FileName=" + ExtractFileName(Module->FileName()));
        return L"unit " + unit + L";\r\n";
    }
    std::wstring ProjectSource(TObject*, const std::wstring& name) {
        Calls.push_back(L"project " + name);
        return L"program " + name + L";\r\nbegin\r\nend.\r\n";
    }
    void ModuleCreated(TObject* sender, IOTAModule* module) {
        Calls.push_back(L"created " + ExtractFileName(module->GetFileName()) + (sender == Module ? L"" : L" ?"));
    }
    void FormCreated(TObject*, IOTAFormEditor* form) {
        Calls.push_back(L"form " + ExtractFileName(form->GetFileName()));
    }
    void ResourceCreated(TObject*, IOTAModule* project) {
        Calls.push_back(L"resource " + ExtractFileName(project->GetFileName()));
    }
    void RunModule(TObject*) { Module->Execute(); }
    void RunProject(TObject*) { Project->Execute(); }
};

struct TWizardModule {
    TDataModule* Root = Create<TDataModule>(nullptr);
    THandlers H;
    TWizardModule() {
        H.Module = Create<TWQModuleCreator>(Root);
        H.Module->SetName(L"ModuleCreator1");
        H.Module->SetAncestorName(L"DataModule");
        H.Project = Create<TWQProjectCreator>(Root);
        H.Project->SetName(L"ProjectCreator1");
    }
    ~TWizardModule() { Free(Root); }
    void WithHandlers() {
        H.Module->SetOnGetSource(MakeMethod<&THandlers::ModuleSource>(&H));
        H.Module->SetOnModuleCreated(MakeMethod<&THandlers::ModuleCreated>(&H));
        H.Module->SetOnFormCreated(MakeMethod<&THandlers::FormCreated>(&H));
        H.Project->SetOnGetSource(MakeMethod<&THandlers::ProjectSource>(&H));
        H.Project->SetOnResourceCreated(MakeMethod<&THandlers::ResourceCreated>(&H));
    }
};

} // namespace

TEST(WQCreators, EnvironmentSideAnswersFromTheComponents) {
    TWizardModule w;
    w.H.Module->SetUseExisting(true);
    w.H.Module->SetFileSystem(L"fs");
    w.H.Module->SetFileName(L"C:\\a\\Unit9.pas");
    w.H.Module->SetFormName(L"Form9");
    auto module = MakeInterfaced<TWQIModuleCreator, IOTAModuleCreator>(w.H.Module);
    EXPECT_EQ(L"Form", module->GetCreatorType());
    EXPECT_TRUE(module->GetExisting());
    EXPECT_EQ(L"fs", module->GetFileSystem());
    EXPECT_FALSE(module->GetOwner()); // no environment
    EXPECT_TRUE(module->GetUnnamed());
    EXPECT_EQ(L"DataModule", module->GetAncestorName());
    EXPECT_EQ(L"C:\\a\\Unit9.pas", module->GetImplFileName());
    EXPECT_EQ(L"", module->GetIntfFileName());
    EXPECT_EQ(L"Form9", module->GetFormName());
    EXPECT_FALSE(module->GetMainForm());
    EXPECT_TRUE(module->GetShowForm());
    EXPECT_TRUE(module->GetShowSource());
    EXPECT_FALSE(module->NewFormFile(L"F", L"A"));
    EXPECT_FALSE(module->NewIntfSource(L"U", L"F", L"A"));

    w.H.Project->SetFileName(L"P.dpr");
    w.H.Project->SetFileSystem(L"pfs");
    auto project = MakeInterfaced<TWQIProjectCreator, IOTAProjectCreator80>(w.H.Project);
    EXPECT_EQ(L"Application", project->GetCreatorType());
    EXPECT_FALSE(project->GetExisting());
    EXPECT_EQ(L"pfs", project->GetFileSystem());
    EXPECT_FALSE(project->GetOwner());
    EXPECT_TRUE(project->GetUnnamed());
    EXPECT_EQ(L"P.dpr", project->GetFileName());
    EXPECT_EQ(L"", project->GetOptionFileName());
    EXPECT_TRUE(project->GetShowSource());
    EXPECT_FALSE(project->NewOptionSource(L"P"));
    EXPECT_EQ(L"Delphi.Personality", project->GetProjectPersonality());
    project->NewDefaultModule(); // no main module: nothing

    w.WithHandlers();
    TComPtr<IOTAFile> file = module->NewImplSource(L"Unit9", L"Other", L"DataModule");
    EXPECT_EQ(L"unit Unit9;\r\n", file->GetSource());
    EXPECT_EQ(-1, file->GetAge());
    EXPECT_EQ(L"Form9", w.H.Module->FormName()); // a preset name is never replaced
    w.H.Module->SetFormName(L"");
    module->NewImplSource(L"Unit9", L"Other", L"DataModule");
    EXPECT_EQ(L"Other", w.H.Module->FormName());
    file = project->NewProjectSource(L"P");
    EXPECT_EQ(L"program P;\r\nbegin\r\nend.\r\n", file->GetSource());
    EXPECT_EQ(-1, file->GetAge());

    // Without an environment nothing is created.
    w.H.Calls.clear();
    w.H.Module->Execute();
    w.H.Project->Execute();
    EXPECT_TRUE(w.H.Calls.empty());
}

TEST(WQCreators, ProjectRunsItsMainModuleInsideItsCreationAndTheUnitJoinsIt) {
    TIdeHost host(TIdeHost::TOptions{{}, false, true});
    TWizardModule w;
    w.WithHandlers();
    w.H.Project->SetMainModule(w.H.Module);
    w.H.Module->SetFlags(w.H.Module->Flags() + TCreateModuleFlags{cmNewUnit});
    w.H.Project->Execute();
    const std::vector<std::wstring> expected = {
        L"project Project1",
        L"module svc1,DataModule1,DataModule FormName=DataModule1 FileName=svc1.pas",
        L"form svc1.dfm",
        L"created svc1.pas",
        L"resource Project1.dpr",
    };
    EXPECT_EQ(expected, w.H.Calls);
    TComPtr<IOTAProjectGroup> group = CurrentProjectGroup();
    ASSERT_TRUE(group);
    TComPtr<IOTAProject> project = group->GetActiveProject();
    ASSERT_EQ(1, project->GetUnitCount());
    EXPECT_EQ(host.WorkFolder() + L"\\svc1.pas", project->GetUnitFileName(0));
    // The owner the module creator names is that project.
    auto creator = MakeInterfaced<TWQIModuleCreator, IOTAModuleCreator>(w.H.Module);
    EXPECT_EQ(project->GetFileName(), creator->GetOwner()->GetFileName());
    auto projectCreator = MakeInterfaced<TWQIProjectCreator, IOTAProjectCreator80>(w.H.Project);
    EXPECT_TRUE(projectCreator->GetOwner().As<IOTAProjectGroup>());
    EXPECT_TRUE(host.Faults().empty());

    // Removing the main module's component clears the reference.
    Free(w.H.Module);
    w.H.Module = nullptr;
    EXPECT_EQ(nullptr, w.H.Project->MainModule());
}

TEST(WQCreators, EachRunNamesItsOwnFormAndDesignTimeNamesSurvive) {
    TIdeHost host(TIdeHost::TOptions{{}, false, true});
    TWizardModule w;
    w.WithHandlers();
    w.H.Module->SetFlags(w.H.Module->Flags() + TCreateModuleFlags{cmNewUnit});
    w.H.Module->SetFileName(L"Design.pas");
    w.H.Module->Execute();
    EXPECT_EQ(L"", w.H.Module->FormName());
    EXPECT_EQ(L"Design.pas", w.H.Module->FileName());
    w.H.Module->Execute();
    ASSERT_EQ(6u, w.H.Calls.size());
    EXPECT_EQ(L"module svc1,DataModule1,DataModule FormName=DataModule1 FileName=svc1.pas", w.H.Calls[0]);
    EXPECT_EQ(L"module svc2,DataModule2,DataModule FormName=DataModule2 FileName=svc2.pas", w.H.Calls[3]);

    // A class name the environment proposes is taken; a preset form name wins over both.
    host.SetProposeClassNames(true);
    w.H.Calls.clear();
    w.H.Module->Execute();
    EXPECT_EQ(L"module svc3,Service1,DataModule FormName=Service1 FileName=svc3.pas", w.H.Calls.at(0));
    w.H.Module->SetFormName(L"Preset");
    w.H.Calls.clear();
    w.H.Module->Execute();
    EXPECT_EQ(L"module svc4,Preset,DataModule FormName=Preset FileName=svc4.pas", w.H.Calls.at(0));
    EXPECT_EQ(L"Preset", w.H.Module->FormName());

    // Without cmNewUnit the design-time file name is used as it is.
    w.H.Module->SetFlags(TWQModuleCreator::DefaultFlags);
    w.H.Module->SetFileName(host.WorkFolder() + L"\\Fixed.pas");
    w.H.Calls.clear();
    w.H.Module->Execute();
    EXPECT_EQ(L"module Fixed,Preset,DataModule FormName=Preset FileName=Fixed.pas", w.H.Calls.at(0));
    EXPECT_EQ(host.WorkFolder() + L"\\Fixed.pas", w.H.Module->FileName());
    EXPECT_TRUE(host.Faults().empty());
}

TEST(WQCreators, MissingSourceHandlersReachTheWizardsRunnerAndNamesAreRestored) {
    TIdeHost host(TIdeHost::TOptions{{}, false, true});
    TWizardModule w;
    auto* moduleWizard = Create<TWQExpert>(w.Root);
    moduleWizard->SetName(L"ModuleWizard");
    moduleWizard->SetExpertName(L"Module");
    moduleWizard->SetMenuText(L"Module");
    moduleWizard->SetOnExecute(MakeMethod<&THandlers::RunModule>(&w.H));
    moduleWizard->Loaded();
    auto* projectWizard = Create<TWQExpert>(w.Root);
    projectWizard->SetName(L"ProjectWizard");
    projectWizard->SetExpertName(L"Project");
    projectWizard->SetMenuText(L"Project");
    projectWizard->SetOnExecute(MakeMethod<&THandlers::RunProject>(&w.H));
    projectWizard->Loaded();

    w.H.Module->SetFlags(w.H.Module->Flags() + TCreateModuleFlags{cmNewUnit});
    TWizardRun run = host.RunWizard(L"Module");
    EXPECT_TRUE(run.Found);
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(L"Unable to generate module source", run.Error);
    EXPECT_EQ(L"", w.H.Module->FormName()); // restored although Execute raised
    EXPECT_EQ(L"", w.H.Module->FileName());
    run = host.RunWizard(L"Project");
    EXPECT_EQ(L"Unable to generate project source", run.Error);
}

TEST(WQCreators, CreationCodeLinesInBitOrderWithQuotesDoubled) {
    TWizardModule w;
    w.H.Module->SetFileName(L"O'Brien.pas");
    w.H.Module->SetAncestorName(L"NTService");
    EXPECT_EQ(L"    ModuleCreator1.UseExisting := False;\r\n"
              L"    ModuleCreator1.Flags := [];\r\n"
              L"    ModuleCreator1.Flags := ModuleCreator1.Flags + [cmAddToProject];\r\n"
              L"    ModuleCreator1.Flags := ModuleCreator1.Flags + [cmShowSource];\r\n"
              L"    ModuleCreator1.Flags := ModuleCreator1.Flags + [cmShowForm];\r\n"
              L"    ModuleCreator1.Flags := ModuleCreator1.Flags + [cmUnNamed];\r\n"
              L"    ModuleCreator1.Flags := ModuleCreator1.Flags + [cmMarkModified];\r\n"
              L"    ModuleCreator1.FileName := 'O''Brien.pas';\r\n"
              L"    ModuleCreator1.FileSystem := '';\r\n"
              L"    ModuleCreator1.AncestorName := 'NTService';\r\n",
              w.H.Module->GetCreationCode());
    EXPECT_EQ(L"", w.H.Module->GetCreationVars());

    w.H.Project->SetUseExisting(true);
    w.H.Project->SetFlags({cpConsole, cpApplication});
    w.H.Project->SetFileSystem(L"'");
    EXPECT_EQ(L"    ProjectCreator1.UseExisting := True;\r\n"
              L"    ProjectCreator1.Flags := [];\r\n"
              L"    ProjectCreator1.Flags := ProjectCreator1.Flags + [cpApplication];\r\n"
              L"    ProjectCreator1.Flags := ProjectCreator1.Flags + [cpConsole];\r\n"
              L"    ProjectCreator1.FileName := '';\r\n"
              L"    ProjectCreator1.FileSystem := '''';\r\n"
              L"    ProjectCreator1.MainModule := nil;\r\n",
              w.H.Project->GetCreationCode());
    w.H.Project->SetMainModule(w.H.Module);
    const std::wstring code = w.H.Project->GetCreationCode();
    EXPECT_EQ(L"    ProjectCreator1.MainModule := ModuleCreator1;\r\n", code.substr(code.rfind(L"    ")));
}
