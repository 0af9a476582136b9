// The service module of PushObjectSample: a COM service with no code of its own; its stored
// values name the service and its AppID.
#pragma once

#include "runtime/service/Tamrel_ComService.h"

class TComServiceModule : public tamrel::TComService {
    TAMREL_CLASS(TComServiceModule, tamrel::TComService)
public:
    using tamrel::TComService::TComService;
};

extern TComServiceModule* ComServiceModule;

// The unit's initialization (the program's apartment and its call security), once; units that
// must run after it call it first.
void InitializeComServiceModuleUnit();
