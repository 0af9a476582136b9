#include "ide/wizards/Tamrel_Expert_NTService.h"

#include "ide/wizards/internal/Tamrel_Expert_Common.h"

namespace tamrel {

TNTServiceExpertModule* NTServiceExpertModule = nullptr;

namespace {
// The stored form names the framework's classes only by text: naming them here links their code,
// and with it their registration, into the image that carries the form.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {&TWQAdvancedExpert::StaticClassInfo(),
                                                              &TWQModuleCreator::StaticClassInfo(),
                                                              &TWQMacroText::StaticClassInfo()};
} // namespace

TAMREL_IMPLEMENT_CLASS(TNTServiceExpertModule) {
    using M = TNTServiceExpertModule;
    b.Field(L"NTServiceExpert", &M::NTServiceExpert);
    b.Field(L"NTServiceCreator", &M::NTServiceCreator);
    b.Field(L"NTServiceSource", &M::NTServiceSource);
    b.Method<&M::NTServiceExpertExecute>(L"NTServiceExpertExecute");
    b.Method<&M::NTServiceCreatorGetSource>(L"NTServiceCreatorGetSource");
    b.Method<&M::NTServiceCreatorGetIntfName>(L"NTServiceCreatorGetIntfName");
    b.Method<&M::NTServiceCreatorNewIntfSource>(L"NTServiceCreatorNewIntfSource");
}

TNTServiceExpertModule::~TNTServiceExpertModule() {
    if (NTServiceExpertModule == this) NTServiceExpertModule = nullptr;
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

std::wstring TNTServiceExpertModule::NTServiceCreatorGetIntfName(TObject*) {
    return {};
}

std::wstring TNTServiceExpertModule::NTServiceCreatorNewIntfSource(TObject*, const std::wstring&,
                                                                   const std::wstring&, const std::wstring&) {
    return {};
}

void Tamrel_Expert_NTService_Finalize() {
    if (NTServiceExpertModule) Free(NTServiceExpertModule);
}

} // namespace tamrel
