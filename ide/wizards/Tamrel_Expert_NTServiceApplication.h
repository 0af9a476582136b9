// The repository wizard "NT Service Application": a new project whose program runs its service
// modules through the service application object.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"

#include <string>

namespace tamrel {

class TNTServiceApplicationExpertModule : public TDataModule {
    TAMREL_CLASS(TNTServiceApplicationExpertModule, TDataModule)
public:
    explicit TNTServiceApplicationExpertModule(TComponent* owner) : TDataModule(owner) {}
    // Clears NTServiceApplicationExpertModule when it names this module.
    ~TNTServiceApplicationExpertModule() override;

    // Designed components.
    TWQAdvancedExpert* NTServiceApplicationExpert = nullptr;
    TWQProjectCreator* NTServiceApplicationCreator = nullptr;
    TWQMacroText* NTServiceApplicationSource = nullptr;

    void NTServiceApplicationExpertExecute(TObject* Sender);
    std::wstring NTServiceApplicationCreatorGetSource(TObject* Sender, const std::wstring& ProjectName);
};

// The module the add-in entry made, until it goes.
extern TNTServiceApplicationExpertModule* NTServiceApplicationExpertModule;
// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_NTServiceApplication_Finalize();

} // namespace tamrel
