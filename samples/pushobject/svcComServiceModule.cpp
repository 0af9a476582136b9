#include "svcComServiceModule.h"

#include <objbase.h>

TAMREL_IMPLEMENT_CLASS(TComServiceModule) {}

TComServiceModule* ComServiceModule = nullptr;

namespace {

// Leaves the main thread's apartment when the program's units are finalized.
struct TComServiceModuleUnit {
    TComServiceModuleUnit() {
        CoInitialize(nullptr);
        // Any client may call: the objects are meant for every user of the machine.
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_ANONYMOUS,
                             nullptr, EOAC_NONE, nullptr);
    }
    ~TComServiceModuleUnit() { CoUninitialize(); }
};

[[maybe_unused]] const bool Initialized = (InitializeComServiceModuleUnit(), true);

} // namespace

void InitializeComServiceModuleUnit() { static TComServiceModuleUnit unit; }
