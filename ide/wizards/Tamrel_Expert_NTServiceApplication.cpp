#include "ide/wizards/Tamrel_Expert_NTServiceApplication.h"

#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TNTServiceApplicationExpertModule* NTServiceApplicationExpertModule = nullptr;

TAMREL_IMPLEMENT_CLASS(TNTServiceApplicationExpertModule) {
    using M = TNTServiceApplicationExpertModule;
    b.Field(L"NTServiceApplicationExpert", &M::NTServiceApplicationExpert);
    b.Field(L"NTServiceApplicationCreator", &M::NTServiceApplicationCreator);
    b.Field(L"NTServiceApplicationSource", &M::NTServiceApplicationSource);
    b.Method<&M::NTServiceApplicationExpertExecute>(L"NTServiceApplicationExpertExecute");
    b.Method<&M::NTServiceApplicationCreatorGetSource>(L"NTServiceApplicationCreatorGetSource");
}

void TNTServiceApplicationExpertModule::NTServiceApplicationExpertExecute(TObject*) {
    NTServiceApplicationCreator->Execute();
}

std::wstring
TNTServiceApplicationExpertModule::NTServiceApplicationCreatorGetSource(TObject*,
                                                                        const std::wstring& ProjectName) {
    FillTemplate(*NTServiceApplicationSource, {{L"ProjectName", ProjectName}});
    return ExpandedTemplate(*NTServiceApplicationSource);
}

void Tamrel_Expert_NTServiceApplication_Finalize() {
    TNTServiceApplicationExpertModule::FreeGlobal();
}

} // namespace tamrel
