#include "ide/wizards/Tamrel_Expert_AutoObject.h"

#include "host/HostApplication.h"
#include "ide/wizards/Tamrel_Dialog_NewClass.h"
#include "ide/wizards/Tamrel_Tool_Project.h"
#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TAutoObjectExpertModule* AutoObjectExpertModule = nullptr;

namespace {
// The stored form names the framework's classes only by text: naming them here links their code,
// and with it their registration, into the image that carries the form.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {&TWQAdvancedExpert::StaticClassInfo(),
                                                              &TWQModuleCreator::StaticClassInfo(),
                                                              &TWQMacroText::StaticClassInfo()};
} // namespace

TAMREL_IMPLEMENT_CLASS(TAutoObjectExpertModule) {
    using M = TAutoObjectExpertModule;
    b.Field(L"AutoObjectExpert", &M::AutoObjectExpert);
    b.Field(L"AutoObjectCreator", &M::AutoObjectCreator);
    b.Field(L"AutoObjectSource", &M::AutoObjectSource);
    b.Field(L"AutoObjectUsesSource", &M::AutoObjectUsesSource);
    b.Method<&M::AutoObjectExpertExecute>(L"AutoObjectExpertExecute");
    b.Method<&M::AutoObjectCreatorGetSource>(L"AutoObjectCreatorGetSource");
    b.Method<&M::AutoObjectCreatorGetIntfName>(L"AutoObjectCreatorGetIntfName");
    b.Method<&M::AutoObjectCreatorNewIntfSource>(L"AutoObjectCreatorNewIntfSource");
}

TAutoObjectExpertModule::TAutoObjectExpertModule(TComponent* owner)
    : TDataModule(owner), _SkipParts(std::make_unique<TStringList>()) {}

TAutoObjectExpertModule::~TAutoObjectExpertModule() {
    if (AutoObjectExpertModule == this) AutoObjectExpertModule = nullptr;
}

void TAutoObjectExpertModule::AutoObjectExpertExecute(TObject*) {
    {
        TOwnedPtr<TSvcClassWizardForm> form(Create<TSvcClassWizardForm>(nullptr));
        form->SetCaption(L"Automation Object in Service Wizard");
        if (form->ShowModal() != mrOk) return;
        SvcClassName = form->ClassNameText();
        SvcServiceName = form->ServiceNameText();
        form->GetSkipParts(_SkipParts.get());
        _EventSupport = form->EventSupport();
    }
    AutoObjectCreator->Execute();
    // The new unit's windows settle before the project's files change under them.
    HostApplication->ProcessMessages();
    UpdateProjectTypeLibrary(WideToAnsi(SvcClassName), _EventSupport, false, AutoObjectLibraryId);
    AddUnitToProjectUses(ExpandedLine(*AutoObjectUsesSource, 0));
}

void TAutoObjectExpertModule::FillEngine(TWQMacroText& engine) {
    engine.SetSkipParts(_SkipParts.get());
    FillTemplate(engine, {{L"UpperUnitName", UpperCase(UnitName)},
                          {L"UnitName", UnitName},
                          {L"ProjectName", ShortProjectName},
                          {L"ServiceName", SvcServiceName},
                          {L"ClassName", SvcClassName},
                          {L"FileName", ExtractFileName(AutoObjectCreator->FileName())}});
}

std::wstring TAutoObjectExpertModule::AutoObjectCreatorGetSource(TObject*, const std::wstring& ModuleIdent,
                                                                 const std::wstring&, const std::wstring&) {
    UnitName = ModuleIdent;
    ShortProjectName = BareFileName(GetProjectFileName());
    FillEngine(*AutoObjectSource);
    const std::wstring source = ExpandedTemplate(*AutoObjectSource);
    FillEngine(*AutoObjectUsesSource);
    return source;
}

std::wstring TAutoObjectExpertModule::AutoObjectCreatorGetIntfName(TObject*) {
    return {};
}

std::wstring TAutoObjectExpertModule::AutoObjectCreatorNewIntfSource(TObject*, const std::wstring&,
                                                                     const std::wstring&,
                                                                     const std::wstring&) {
    return {};
}

void Tamrel_Expert_AutoObject_Finalize() {
    if (AutoObjectExpertModule) Free(AutoObjectExpertModule);
}

} // namespace tamrel
