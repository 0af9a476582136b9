// The repository wizard "Automation Object in Service": asks for a class and its service, adds a
// unit with the automation class and its service-bound factory to the active project, then the
// class to the project's type library and the unit to the project's uses clause.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"

#include <memory>
#include <string>

namespace tamrel {

class TAutoObjectExpertModule : public TDataModule {
    TAMREL_CLASS(TAutoObjectExpertModule, TDataModule)
public:
    explicit TAutoObjectExpertModule(TComponent* owner);
    // Clears AutoObjectExpertModule when it names this module.
    ~TAutoObjectExpertModule() override;

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
    TStringList* SkipParts() const { return _SkipParts.get(); }

    void AutoObjectExpertExecute(TObject* Sender);
    std::wstring AutoObjectCreatorGetSource(TObject* Sender, const std::wstring& ModuleIdent,
                                            const std::wstring& FormIdent, const std::wstring& AncestorIdent);
    std::wstring AutoObjectCreatorGetIntfName(TObject* Sender);
    std::wstring AutoObjectCreatorNewIntfSource(TObject* Sender, const std::wstring& ModuleIdent,
                                                const std::wstring& FormIdent,
                                                const std::wstring& AncestorIdent);

private:
    void FillEngine(TWQMacroText& engine);

    std::unique_ptr<TStringList> _SkipParts;
    bool _EventSupport = false;
};

// The module the add-in entry made, until it goes.
extern TAutoObjectExpertModule* AutoObjectExpertModule;
// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_AutoObject_Finalize();

} // namespace tamrel
