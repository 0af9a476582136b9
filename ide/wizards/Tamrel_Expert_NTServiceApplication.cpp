#include "ide/wizards/Tamrel_Expert_NTServiceApplication.h"

#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TNTServiceApplicationExpertModule* NTServiceApplicationExpertModule = nullptr;

namespace {
// The stored form names the framework's classes only by text: naming them here links their code,
// and with it their registration, into the image that carries the form.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {&TWQAdvancedExpert::StaticClassInfo(),
                                                              &TWQProjectCreator::StaticClassInfo(),
                                                              &TWQMacroText::StaticClassInfo()};
} // namespace

TAMREL_IMPLEMENT_CLASS(TNTServiceApplicationExpertModule) {
    using M = TNTServiceApplicationExpertModule;
    b.Field(L"NTServiceApplicationExpert", &M::NTServiceApplicationExpert);
    b.Field(L"NTServiceApplicationCreator", &M::NTServiceApplicationCreator);
    b.Field(L"NTServiceApplicationSource", &M::NTServiceApplicationSource);
    b.Method<&M::NTServiceApplicationExpertExecute>(L"NTServiceApplicationExpertExecute");
    b.Method<&M::NTServiceApplicationCreatorGetSource>(L"NTServiceApplicationCreatorGetSource");
}

TNTServiceApplicationExpertModule::~TNTServiceApplicationExpertModule() {
    if (NTServiceApplicationExpertModule == this) NTServiceApplicationExpertModule = nullptr;
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
    if (NTServiceApplicationExpertModule) Free(NTServiceApplicationExpertModule);
}

} // namespace tamrel
