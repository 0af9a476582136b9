// The add-in entry of tamrelwiz: the design-time package calls it once per load, at the end of
// its registration. It creates the five repository wizards, registers the property editors and
// the two security dialogs, and adds "Abou&t Tamrel ..." to the environment's Help menu.
//
// FinalizeTamrelExperts undoes it (the library's finalization): the wizards and the about item go
// while their code is still loaded. The design-time package calls it from its own finalization,
// where the loader lock is not held. Nothing is done as the library is detached (freeing forms,
// menu items and the environment's interfaces there can deadlock): from the entry to the
// finalization the library holds a reference on itself, so that a package freed without the
// finalization leaves it loaded with its wizards working, and the next entry replaces them.
// Call FinalizeTamrelExperts while holding the library (it lets its own reference go).
#pragma once

#include "ide/editors/EditorsApi.h"
#include "host/Classes.h"

extern "C" TAMRELWIZ_API void InitTamrelExperts();
extern "C" TAMRELWIZ_API void FinalizeTamrelExperts();

namespace tamrel {

// The about item's click handler: the tools library's about box.
class TAboutItem : public TObject {
public:
    void OnClick(TObject* Sender);
};

} // namespace tamrel
