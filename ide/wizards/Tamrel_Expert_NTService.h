// The repository wizard "NT Service": a new unit with a service module (TNtService) in the
// active project.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"
#include "ide/wizards/Tamrel_ExpertModule.h"

#include <string>

namespace tamrel {

class TNTServiceExpertModule;
// The module the add-in entry made, until it goes.
extern TNTServiceExpertModule* NTServiceExpertModule;

class TNTServiceExpertModule : public TExpertModule<TNTServiceExpertModule, NTServiceExpertModule> {
    TAMREL_CLASS(TNTServiceExpertModule, TExpertModule)
public:
    explicit TNTServiceExpertModule(TComponent* owner) : TExpertModule(owner) {}

    // Designed components.
    TWQAdvancedExpert* NTServiceExpert = nullptr;
    TWQModuleCreator* NTServiceCreator = nullptr;
    TWQMacroText* NTServiceSource = nullptr;

    void NTServiceExpertExecute(TObject* Sender);
    std::wstring NTServiceCreatorGetSource(TObject* Sender, const std::wstring& ModuleIdent,
                                           const std::wstring& FormIdent, const std::wstring& AncestorIdent);
};

// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_NTService_Finalize();

} // namespace tamrel
