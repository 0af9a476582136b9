#include "ide/wizards/Tamrel_Expert_RemoteDataModule.h"

#include "ide/wizards/Tamrel_Dialog_NewClass.h"
#include "ide/wizards/Tamrel_Tool_Project.h"
#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TRemoteDataModuleExpertModule* RemoteDataModuleExpertModule = nullptr;

namespace {
// The stored form names the framework's classes only by text: naming them here links their code,
// and with it their registration, into the image that carries the form.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {&TWQAdvancedExpert::StaticClassInfo(),
                                                              &TWQModuleCreator::StaticClassInfo(),
                                                              &TWQMacroText::StaticClassInfo()};

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
    : TDataModule(owner), _SkipParts(std::make_unique<TStringList>()) {}

TRemoteDataModuleExpertModule::~TRemoteDataModuleExpertModule() {
    if (RemoteDataModuleExpertModule == this) RemoteDataModuleExpertModule = nullptr;
}

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
        if (form->ShowModal() != mrOk) return;
        FormName = form->ClassNameText();
        RemoteDataModuleCreator->SetFormName(FormName);
        SvcClassName = FormName;
        SvcServiceName = form->ServiceNameText();
        form->GetSkipParts(_SkipParts.get());
        AddEvents = form->EventSupport();
        AddGlobalEvents = false;
    }
    RemoteDataModuleCreator->Execute();
}

void TRemoteDataModuleExpertModule::FillEngine(TWQMacroText& engine) {
    engine.SetSkipParts(_SkipParts.get());
    FillTemplate(engine, {{L"Module", ModuleKind},
                          {L"UnitName", UnitName},
                          {L"FormName", FormName},
                          {L"ProjectName", ShortProjectName},
                          {L"ServiceName", SvcServiceName},
                          {L"FileName", RemoteDataModuleCreator->FileName()}});
}

std::wstring TRemoteDataModuleExpertModule::RemoteDataModuleCreatorGetSource(TObject*,
                                                                             const std::wstring& ModuleIdent,
                                                                             const std::wstring&,
                                                                             const std::wstring&) {
    UnitName = ModuleIdent;
    ShortProjectName = BareFileName(GetProjectFileName());
    FillEngine(*RemoteDataModuleSource);
    const std::wstring source = ExpandedTemplate(*RemoteDataModuleSource);
    UpdateProjectTypeLibrary(WideToAnsi(FormName), AddEvents, AddGlobalEvents, RemoteDataModuleLibraryId);
    FillEngine(*RemoteDataModuleUsesSource);
    AddUnitToProjectUses(ExpandedLine(*RemoteDataModuleUsesSource, 1));
    return source;
}

void Tamrel_Expert_RemoteDataModule_Finalize() {
    if (RemoteDataModuleExpertModule) Free(RemoteDataModuleExpertModule);
}

} // namespace tamrel
