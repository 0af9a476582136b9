#include "ide/wizards/Tamrel_Expert_ComService.h"

#include "ide/wizards/internal/Tamrel_Expert_Common.h"

#include "host/ComObj.h"

#include <objbase.h>

namespace tamrel {

TComServiceExpertModule* ComServiceExpertModule = nullptr;

TAMREL_IMPLEMENT_CLASS(TComServiceExpertModule) {
    using M = TComServiceExpertModule;
    b.Field(L"ComServiceExpert", &M::ComServiceExpert);
    b.Field(L"ComServiceCreator", &M::ComServiceCreator);
    b.Field(L"ComServiceSource", &M::ComServiceSource);
    b.Method<&M::ComServiceExpertExecute>(L"ComServiceExpertExecute");
    b.Method<&M::ComServiceCreatorGetSource>(L"ComServiceCreatorGetSource");
    b.Method<&M::NoIntfName>(L"ComServiceCreatorGetIntfName");
    b.Method<&M::NoIntfSource>(L"ComServiceCreatorNewIntfSource");
    b.Method<&M::ComServiceCreatorFormCreated>(L"ComServiceCreatorFormCreated");
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

void TComServiceExpertModule::ComServiceCreatorFormCreated(TObject*, IOTAFormEditor* FormEditor) {
    GUID appId = {};
    OleCheck(CoCreateGuid(&appId));
    if (TComPtr<IOTAComponent> root = FormEditor ? FormEditor->GetRootComponent() : TComPtr<IOTAComponent>())
        root->SetPropByName(L"AppID", GUIDToString(appId));
}

void Tamrel_Expert_ComService_Finalize() {
    TComServiceExpertModule::FreeGlobal();
}

} // namespace tamrel
