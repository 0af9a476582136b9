// The probe design-time package of the service wizards' tests: Register does what the design-time
// package does before it starts the add-in (the service module classes registered as custom
// modules and by name), then calls InitTamrelExperts; Finalize calls FinalizeTamrelExperts. Built
// with PROBE_NO_FINALIZE it has no Finalize, so that the add-in library is freed without it.
#include "ide/wizards/ExpTamrelInitStub.h"

#include "host/TypeInfo.h"
#include "ide/framework/IdeServices.h"
#include "runtime/service/Tamrel_ComService.h"

using namespace tamrel;

extern "C" void __stdcall Register() {
    RegisterCustomModule(TComService::StaticClassInfo());
    RegisterCustomModule(TDataModule::StaticClassInfo());
    RegisterCustomModule(TNtService::StaticClassInfo());
    RegisterClass(TNtService::StaticClassInfo());
    RegisterClass(TComService::StaticClassInfo());
    InitTamrelExperts();
}

#if !defined(PROBE_NO_FINALIZE)
extern "C" void __stdcall Finalize() {
    FinalizeTamrelExperts();
}
#endif
