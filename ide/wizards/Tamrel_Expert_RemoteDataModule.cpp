#include "ide/wizards/Tamrel_Expert_RemoteDataModule.h"

#include "ide/wizards/Tamrel_Dialog_NewClass.h"
#include "ide/wizards/Tamrel_Tool_Project.h"
#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TRemoteDataModuleExpertModule* RemoteDataModuleExpertModule = nullptr;

namespace {
constexpr wchar_t ModuleKind[] = L"RemoteDataModule";
} // namespace

TAMREL_IMPLEMENT_CLASS(TRemoteDataModuleExpertModule) {
    using M = TRemoteDataModuleExpertModule;
    b.Field(L"RemoteDataModuleExpert", &M::RemoteDataModuleExpert);
    b.Field(L"RemoteDataModuleCreator", &M::RemoteDataModuleCreator);
    b.Field(L"RemoteDataModuleSource", &M::RemoteDataModuleSource);
    b.Field(L"RemoteDataModuleUsesSource", &M::RemoteDataModuleUsesSource);
    b.Method<&M::RemoteDataModuleExpertExecute>(L"RemoteDataModuleExpertExecute");
    b.Method<&M::RemoteDataModuleCreatorGetSource>(L"RemoteDataModuleCreatorGetSource");
}

TRemoteDataModuleExpertModule::TRemoteDataModuleExpertModule(TComponent* owner)
    : TExpertModule(owner), FSkipParts(std::make_unique<TStringList>()) {}

void TRemoteDataModuleExpertModule::FinishConstruction() {
    if (RemoteDataModuleCreator) RemoteDataModuleCreator->SetAncestorName(ModuleKind);
}

void TRemoteDataModuleExpertModule::RemoteDataModuleExpertExecute(TObject*) {
    {
        TOwnedPtr<TSvcClassWizardForm> form(Create<TSvcClassWizardForm>(nullptr));
        // A remote data module has no events of its own.
        form->CBxObjectEvents->SetChecked(false);
        form->CBxObjectEvents->SetEnabled(false);
        form->CBxObjectEvents->SetVisible(false);
        form->SetCaption(L"Remote Data Module in Service Wizard");
        form->TakenName = TypeLibraryNameTaken;
        if (form->ShowModal() != mrOk) return;
        FormName = form->ClassNameText();
        RemoteDataModuleCreator->SetFormName(FormName);
        SvcClassName = FormName;
        SvcServiceName = form->ServiceNameText();
        form->GetSkipParts(FSkipParts.get());
        AddEvents = form->EventSupport();
        AddGlobalEvents = false;
    }
    // The module joins the type library before its unit is made: a unit and a uses line for a
    // class the library did not take would leave a project that no longer builds.
    if (!UpdateProjectTypeLibrary(WideToAnsi(FormName), AddEvents, AddGlobalEvents, RemoteDataModuleLibraryId)) return;
    RemoteDataModuleCreator->Execute();
}

// The service and file names stand between quotes: theirs are doubled. The full file name is
// shown in the unit's header too, a (* *) comment, which no file name can end.
void TRemoteDataModuleExpertModule::FillEngine(TWQMacroText& engine) {
    engine.SetSkipParts(FSkipParts.get());
    FillTemplate(engine, {{L"Module", ModuleKind},
                          {L"UnitName", UnitName},
                          {L"FormName", FormName},
                          {L"ProjectName", ShortProjectName},
                          {L"ServiceName", PasQuoted(SvcServiceName)},
                          {L"FileName", PasQuoted(RemoteDataModuleCreator->FileName())}});
}

std::wstring TRemoteDataModuleExpertModule::RemoteDataModuleCreatorGetSource(TObject*,
                                                                             const std::wstring& ModuleIdent,
                                                                             const std::wstring&,
                                                                             const std::wstring&) {
    UnitName = ModuleIdent;
    ShortProjectName = BareFileName(GetProjectFileName());
    FillEngine(*RemoteDataModuleSource);
    const std::wstring source = ExpandedTemplate(*RemoteDataModuleSource);
    FillEngine(*RemoteDataModuleUsesSource);
    AddUnitToProjectUses(ExpandedLine(*RemoteDataModuleUsesSource, 1));
    return source;
}

void Tamrel_Expert_RemoteDataModule_Finalize() {
    TRemoteDataModuleExpertModule::FreeGlobal();
}

} // namespace tamrel
