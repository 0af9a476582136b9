#include "ide/wizards/Tamrel_Expert_ComService.h"

#include "ide/wizards/internal/Tamrel_Expert_Common.h"

#include "host/ComObj.h"

#include <objbase.h>

namespace tamrel {

TComServiceExpertModule* ComServiceExpertModule = nullptr;

namespace {
// The stored form names the framework's classes only by text: naming them here links their code,
// and with it their registration, into the image that carries the form.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {&TWQAdvancedExpert::StaticClassInfo(),
                                                              &TWQModuleCreator::StaticClassInfo(),
                                                              &TWQMacroText::StaticClassInfo()};
} // namespace

TAMREL_IMPLEMENT_CLASS(TComServiceExpertModule) {
    using M = TComServiceExpertModule;
    b.Field(L"ComServiceExpert", &M::ComServiceExpert);
    b.Field(L"ComServiceCreator", &M::ComServiceCreator);
    b.Field(L"ComServiceSource", &M::ComServiceSource);
    b.Method<&M::ComServiceExpertExecute>(L"ComServiceExpertExecute");
    b.Method<&M::ComServiceCreatorGetSource>(L"ComServiceCreatorGetSource");
    b.Method<&M::ComServiceCreatorGetIntfName>(L"ComServiceCreatorGetIntfName");
    b.Method<&M::ComServiceCreatorNewIntfSource>(L"ComServiceCreatorNewIntfSource");
    b.Method<&M::ComServiceCreatorFormCreated>(L"ComServiceCreatorFormCreated");
}

TComServiceExpertModule::~TComServiceExpertModule() {
    if (ComServiceExpertModule == this) ComServiceExpertModule = nullptr;
}

void TComServiceExpertModule::ComServiceExpertExecute(TObject*) {
    ComServiceCreator->Execute();
}

std::wstring TComServiceExpertModule::ComServiceCreatorGetSource(TObject*, const std::wstring& ModuleIdent,
                                                                 const std::wstring& FormIdent,
                                                                 const std::wstring&) {
    FillTemplate(*ComServiceSource, {{L"UnitName", ModuleIdent}, {L"FormName", FormIdent}});
    return ExpandedTemplate(*ComServiceSource);
}

std::wstring TComServiceExpertModule::ComServiceCreatorGetIntfName(TObject*) {
    return {};
}

std::wstring TComServiceExpertModule::ComServiceCreatorNewIntfSource(TObject*, const std::wstring&,
                                                                     const std::wstring&,
                                                                     const std::wstring&) {
    return {};
}

void TComServiceExpertModule::ComServiceCreatorFormCreated(TObject*, IOTAFormEditor* FormEditor) {
    GUID appId = {};
    OleCheck(CoCreateGuid(&appId));
    if (TComPtr<IOTAComponent> root = FormEditor ? FormEditor->GetRootComponent() : TComPtr<IOTAComponent>())
        root->SetPropByName(L"AppID", GUIDToString(appId));
}

void Tamrel_Expert_ComService_Finalize() {
    if (ComServiceExpertModule) Free(ComServiceExpertModule);
}

} // namespace tamrel
