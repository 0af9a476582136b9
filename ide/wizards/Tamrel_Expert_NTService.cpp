#include "ide/wizards/Tamrel_Expert_NTService.h"

#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TNTServiceExpertModule* NTServiceExpertModule = nullptr;

TAMREL_IMPLEMENT_CLASS(TNTServiceExpertModule) {
    using M = TNTServiceExpertModule;
    b.Field(L"NTServiceExpert", &M::NTServiceExpert);
    b.Field(L"NTServiceCreator", &M::NTServiceCreator);
    b.Field(L"NTServiceSource", &M::NTServiceSource);
    b.Method<&M::NTServiceExpertExecute>(L"NTServiceExpertExecute");
    b.Method<&M::NTServiceCreatorGetSource>(L"NTServiceCreatorGetSource");
    b.Method<&M::NoIntfName>(L"NTServiceCreatorGetIntfName");
    b.Method<&M::NoIntfSource>(L"NTServiceCreatorNewIntfSource");
}

void TNTServiceExpertModule::NTServiceExpertExecute(TObject*) {
    NTServiceCreator->Execute();
}

std::wstring TNTServiceExpertModule::NTServiceCreatorGetSource(TObject*, const std::wstring& ModuleIdent,
                                                               const std::wstring& FormIdent,
                                                               const std::wstring&) {
    FillTemplate(*NTServiceSource, {{L"UnitName", ModuleIdent}, {L"FormName", FormIdent}});
    return ExpandedTemplate(*NTServiceSource);
}

void Tamrel_Expert_NTService_Finalize() {
    TNTServiceExpertModule::FreeGlobal();
}

} // namespace tamrel
