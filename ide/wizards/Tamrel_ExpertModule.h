// What the five repository wizards' modules have in common. Each is a data module whose stored
// form holds its expert, its creator and its template engines. The add-in entry makes it, without
// owner, into a global of its unit (Global); the module clears that global when it goes, and the
// unit's finalization frees a module that is still there.
//
//   extern TMyExpertModule* MyExpertModule;
//   class TMyExpertModule : public TExpertModule<TMyExpertModule, MyExpertModule> {
//       TAMREL_CLASS(TMyExpertModule, TExpertModule)
//       ...
//   };
#pragma once

#include "host/Classes.h"

#include <string>

namespace tamrel {

template <class TModule, TModule*& Global> class TExpertModule : public TDataModule {
public:
    ~TExpertModule() override {
        if (Global == this) Global = nullptr;
    }

    // The unit's finalization.
    static void FreeGlobal() {
        if (Global) Free(Global);
    }

protected:
    explicit TExpertModule(TComponent* owner) : TDataModule(owner) {}

    // A unit's creator asks for no interface unit: these answer its OnGetIntfName and
    // OnNewIntfSource, published under the names the module's stored form binds.
    std::wstring NoIntfName(TObject* /*Sender*/) { return {}; }
    std::wstring NoIntfSource(TObject* /*Sender*/, const std::wstring& /*ModuleIdent*/,
                              const std::wstring& /*FormIdent*/, const std::wstring& /*AncestorIdent*/) {
        return {};
    }
};

} // namespace tamrel
