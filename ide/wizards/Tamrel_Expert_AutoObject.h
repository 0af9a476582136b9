// The repository wizard "Automation Object in Service": asks for a class and its service, adds
// the class to the project's type library, then a unit with the automation class and its
// service-bound factory to the active project and the unit to the project's uses clause.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"
#include "ide/wizards/Tamrel_ExpertModule.h"

#include <memory>
#include <string>

namespace tamrel {

class TAutoObjectExpertModule;
// The module the add-in entry made, until it goes.
extern TAutoObjectExpertModule* AutoObjectExpertModule;

class TAutoObjectExpertModule : public TExpertModule<TAutoObjectExpertModule, AutoObjectExpertModule> {
    TAMREL_CLASS(TAutoObjectExpertModule, TExpertModule)
public:
    explicit TAutoObjectExpertModule(TComponent* owner);

    // Designed components.
    TWQAdvancedExpert* AutoObjectExpert = nullptr;
    TWQModuleCreator* AutoObjectCreator = nullptr;
    TWQMacroText* AutoObjectSource = nullptr;
    TWQMacroText* AutoObjectUsesSource = nullptr;

    // The answers of the last run and what the unit was made with.
    std::wstring UnitName;
    std::wstring SvcClassName;
    std::wstring SvcServiceName;
    std::wstring ShortProjectName;
    TStringList* SkipParts() const { return FSkipParts.get(); }

    void AutoObjectExpertExecute(TObject* Sender);
    std::wstring AutoObjectCreatorGetSource(TObject* Sender, const std::wstring& ModuleIdent,
                                            const std::wstring& FormIdent, const std::wstring& AncestorIdent);

private:
    void FillEngine(TWQMacroText& engine);

    std::unique_ptr<TStringList> FSkipParts;
    bool FEventSupport = false;
};

// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_AutoObject_Finalize();

} // namespace tamrel
