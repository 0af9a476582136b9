// The entry points of the message-table add-in: the environment's wizard entry, and the
// registration that names the library under the environment's experts key (regsvr32).
#include "host/Classes.h"
#include "ide/msgtable/editor/EvLog_Expert.h"

using namespace tamrel;
using namespace tamrel::evlog;

namespace {

TEvLogExpertModule* gExpertModule = nullptr;

// The environment calls this before it frees the library, outside the loader lock. Nothing is
// undone as the library is detached: freeing forms and the environment's interfaces there can
// deadlock.
void __stdcall TerminateWizard() {
    if (gExpertModule) Free(std::exchange(gExpertModule, nullptr));
}

} // namespace

extern "C" bool __stdcall INITWIZARD0001(IBorlandIDEServices*, TWizardRegisterProc, TWizardTerminateProc* terminate) {
    // Nothing may leave the entry: an add-in that cannot start says False, and the environment
    // unloads it.
    try {
        if (terminate) *terminate = &TerminateWizard;
        if (!gExpertModule) gExpertModule = Create<TEvLogExpertModule>(nullptr);
        return true;
    } catch (...) {
        return false;
    }
}

extern "C" HRESULT __stdcall DllRegisterServer() { return RegisterExpertLibrary(); }

extern "C" HRESULT __stdcall DllUnregisterServer() { return UnregisterExpertLibrary(); }
