// The repository wizard "NT Service Application": a new project whose program runs its service
// modules through the service application object.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"
#include "ide/wizards/Tamrel_ExpertModule.h"

#include <string>

namespace tamrel {

class TNTServiceApplicationExpertModule;
// The module the add-in entry made, until it goes.
extern TNTServiceApplicationExpertModule* NTServiceApplicationExpertModule;

class TNTServiceApplicationExpertModule
    : public TExpertModule<TNTServiceApplicationExpertModule, NTServiceApplicationExpertModule> {
    TAMREL_CLASS(TNTServiceApplicationExpertModule, TExpertModule)
public:
    explicit TNTServiceApplicationExpertModule(TComponent* owner) : TExpertModule(owner) {}

    // Designed components.
    TWQAdvancedExpert* NTServiceApplicationExpert = nullptr;
    TWQProjectCreator* NTServiceApplicationCreator = nullptr;
    TWQMacroText* NTServiceApplicationSource = nullptr;

    void NTServiceApplicationExpertExecute(TObject* Sender);
    std::wstring NTServiceApplicationCreatorGetSource(TObject* Sender, const std::wstring& ProjectName);
};

// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_NTServiceApplication_Finalize();

} // namespace tamrel
