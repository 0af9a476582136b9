// The repository wizard "Remote Data Module in Service": asks for a module name and its service,
// adds the module to the project's type library and then a unit with the remote data module and
// its service-bound factory to the active project. While the environment asks for the unit's
// source, the unit joins the project's uses clause.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"
#include "ide/wizards/Tamrel_ExpertModule.h"

#include <memory>
#include <string>

namespace tamrel {

class TRemoteDataModuleExpertModule;
// The module the add-in entry made, until it goes.
extern TRemoteDataModuleExpertModule* RemoteDataModuleExpertModule;

class TRemoteDataModuleExpertModule
    : public TExpertModule<TRemoteDataModuleExpertModule, RemoteDataModuleExpertModule> {
    TAMREL_CLASS(TRemoteDataModuleExpertModule, TExpertModule)
public:
    explicit TRemoteDataModuleExpertModule(TComponent* owner);

    // Designed components.
    TWQAdvancedExpert* RemoteDataModuleExpert = nullptr;
    TWQModuleCreator* RemoteDataModuleCreator = nullptr;
    TWQMacroText* RemoteDataModuleSource = nullptr;
    TWQMacroText* RemoteDataModuleUsesSource = nullptr;

    // The answers of the last run and what the unit was made with.
    std::wstring UnitName;
    std::wstring FormName;
    std::wstring SvcClassName;
    std::wstring SvcServiceName;
    std::wstring ShortProjectName;
    TStringList* SkipParts() const { return FSkipParts.get(); }
    bool AddEvents = false;
    bool AddGlobalEvents = false;

    void RemoteDataModuleExpertExecute(TObject* Sender);
    std::wstring RemoteDataModuleCreatorGetSource(TObject* Sender, const std::wstring& ModuleIdent,
                                                  const std::wstring& FormIdent,
                                                  const std::wstring& AncestorIdent);

protected:
    // The creator's ancestor is not stored: it is set once the stored form is read.
    void FinishConstruction() override;

private:
    void FillEngine(TWQMacroText& engine);

    std::unique_ptr<TStringList> FSkipParts;
};

// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_RemoteDataModule_Finalize();

} // namespace tamrel
