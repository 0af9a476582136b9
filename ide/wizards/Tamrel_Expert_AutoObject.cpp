#include "ide/wizards/Tamrel_Expert_AutoObject.h"

#include "host/HostApplication.h"
#include "ide/wizards/Tamrel_Dialog_NewClass.h"
#include "ide/wizards/Tamrel_Tool_Project.h"
#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TAutoObjectExpertModule* AutoObjectExpertModule = nullptr;

TAMREL_IMPLEMENT_CLASS(TAutoObjectExpertModule) {
    using M = TAutoObjectExpertModule;
    b.Field(L"AutoObjectExpert", &M::AutoObjectExpert);
    b.Field(L"AutoObjectCreator", &M::AutoObjectCreator);
    b.Field(L"AutoObjectSource", &M::AutoObjectSource);
    b.Field(L"AutoObjectUsesSource", &M::AutoObjectUsesSource);
    b.Method<&M::AutoObjectExpertExecute>(L"AutoObjectExpertExecute");
    b.Method<&M::AutoObjectCreatorGetSource>(L"AutoObjectCreatorGetSource");
    b.Method<&M::NoIntfName>(L"AutoObjectCreatorGetIntfName");
    b.Method<&M::NoIntfSource>(L"AutoObjectCreatorNewIntfSource");
}

TAutoObjectExpertModule::TAutoObjectExpertModule(TComponent* owner)
    : TExpertModule(owner), FSkipParts(std::make_unique<TStringList>()) {}

void TAutoObjectExpertModule::AutoObjectExpertExecute(TObject*) {
    {
        TOwnedPtr<TSvcClassWizardForm> form(Create<TSvcClassWizardForm>(nullptr));
        form->SetCaption(L"Automation Object in Service Wizard");
        form->TakenName = TypeLibraryNameTaken;
        if (form->ShowModal() != mrOk) return;
        SvcClassName = form->ClassNameText();
        SvcServiceName = form->ServiceNameText();
        form->GetSkipParts(FSkipParts.get());
        FEventSupport = form->EventSupport();
    }
    // The class joins the type library first: a unit and a uses line for a class the library
    // did not take would leave a project that no longer builds.
    if (!UpdateProjectTypeLibrary(WideToAnsi(SvcClassName), FEventSupport, false, AutoObjectLibraryId)) return;
    AutoObjectCreator->Execute();
    // The new unit's windows settle before the project's source changes under them.
    HostApplication->ProcessMessages();
    AddUnitToProjectUses(ExpandedLine(*AutoObjectUsesSource, 0));
}

void TAutoObjectExpertModule::FillEngine(TWQMacroText& engine) {
    engine.SetSkipParts(FSkipParts.get());
    // The service and file names stand between quotes: theirs are doubled. The file name is
    // shown in the unit's header too, a (* *) comment, which no file name can end.
    FillTemplate(engine, {{L"UpperUnitName", UpperCase(UnitName)},
                          {L"UnitName", UnitName},
                          {L"ProjectName", ShortProjectName},
                          {L"ServiceName", PasQuoted(SvcServiceName)},
                          {L"ClassName", SvcClassName},
                          {L"FileName", PasQuoted(ExtractFileName(AutoObjectCreator->FileName()))}});
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

void Tamrel_Expert_AutoObject_Finalize() {
    TAutoObjectExpertModule::FreeGlobal();
}

} // namespace tamrel
