// The repository wizard "Remote Data Module in Service": asks for a module name and its service,
// and adds a unit with the remote data module and its service-bound factory to the active
// project. While the environment asks for the unit's source, the module joins the project's type
// library and the unit the project's uses clause.
#pragma once

#include "host/Classes.h"
#include "ide/framework/Dev_WQ_Creators.h"
#include "ide/framework/Dev_WQ_Experts.h"
#include "ide/framework/Dev_WQ_MacroText.h"

#include <memory>
#include <string>

namespace tamrel {

class TRemoteDataModuleExpertModule : public TDataModule {
    TAMREL_CLASS(TRemoteDataModuleExpertModule, TDataModule)
public:
    explicit TRemoteDataModuleExpertModule(TComponent* owner);
    // Clears RemoteDataModuleExpertModule when it names this module.
    ~TRemoteDataModuleExpertModule() override;

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
    TStringList* SkipParts() const { return _SkipParts.get(); }
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

    std::unique_ptr<TStringList> _SkipParts;
};

// The module the add-in entry made, until it goes.
extern TRemoteDataModuleExpertModule* RemoteDataModuleExpertModule;
// The unit's finalization: frees the module when it is still there.
void Tamrel_Expert_RemoteDataModule_Finalize();

} // namespace tamrel
