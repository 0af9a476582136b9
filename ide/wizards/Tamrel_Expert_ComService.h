// The repository wizard "Service with DCOM server": a new unit with a COM service module
// (TComService) in the active project; the new module gets an AppID of its own.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"
#include "ide/wizards/Tamrel_ExpertModule.h"

#include <string>

namespace tamrel {

class TComServiceExpertModule;
// The module the add-in entry made, until it goes.
extern TComServiceExpertModule* ComServiceExpertModule;

class TComServiceExpertModule : public TExpertModule<TComServiceExpertModule, ComServiceExpertModule> {
    TAMREL_CLASS(TComServiceExpertModule, TExpertModule)
public:
    explicit TComServiceExpertModule(TComponent* owner) : TExpertModule(owner) {}

    // Designed components.
    TWQAdvancedExpert* ComServiceExpert = nullptr;
    TWQModuleCreator* ComServiceCreator = nullptr;
    TWQMacroText* ComServiceSource = nullptr;

    void ComServiceExpertExecute(TObject* Sender);
    std::wstring ComServiceCreatorGetSource(TObject* Sender, const std::wstring& ModuleIdent,
                                            const std::wstring& FormIdent, const std::wstring& AncestorIdent);
    // The new module's AppID: a new GUID, set on the designer's root.
    void ComServiceCreatorFormCreated(TObject* Sender, IOTAFormEditor* FormEditor);
};

// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_ComService_Finalize();

} // namespace tamrel
