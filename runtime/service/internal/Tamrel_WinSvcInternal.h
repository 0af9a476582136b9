// Inside the service-control wrapper layer: the redirection slots and the bound advapi32
// functions, and the guard through which tests put recorders into them. Not installed; a unit
// outside the service layer includes it only when its target links tamrel_service_internal.
#pragma once

#include "runtime/service/Tamrel_WinSvc.h"

namespace tamrel {

// Redirection slots: nil means the real function is called. The loader fills those that have a
// debug export.
struct TRkSlots {
    TOpenSCManagerProc RkOpenSCManager = nullptr;
    TCreateServiceProc RkCreateService = nullptr;
    TCloseServiceHandleProc RkCloseServiceHandle = nullptr;
    TChangeServiceConfig2Proc RkChangeServiceConfig2 = nullptr;
    // Takes the ANSI records (SERVICE_DESCRIPTIONA, SERVICE_FAILURE_ACTIONSA).
    TChangeServiceConfig2Proc RkChangeServiceConfig2A = nullptr;
    TRegisterServiceCtrlHandlerProc RkRegisterServiceCtrlHandler = nullptr;
    TRegisterServiceCtrlHandlerExProc RkRegisterServiceCtrlHandlerEx = nullptr;
    TSetServiceStatusProc RkSetServiceStatus = nullptr;
    TStartServiceCtrlDispatcherProc RkStartServiceCtrlDispatcher = nullptr;
    TControlServiceProc RkControlService = nullptr;
    TDeleteServiceProc RkDeleteService = nullptr;
    TEnumServicesStatusProc RkEnumServicesStatus = nullptr;
    TGetServiceDisplayNameProc RkGetServiceDisplayName = nullptr;
    TOpenServiceProc RkOpenService = nullptr;
    TQueryServiceConfigProc RkQueryServiceConfig = nullptr;
    TChangeServiceConfigProc RkChangeServiceConfig = nullptr;
    TQueryServiceStatusProc RkQueryServiceStatus = nullptr;
    TStartServiceProc RkStartService = nullptr;
};
extern TRkSlots RkSlots;

struct TRkAdvApi {
    TChangeServiceConfig2Proc ChangeServiceConfig2W = nullptr;
    TRegisterServiceCtrlHandlerExProc RegisterServiceCtrlHandlerExW = nullptr;
};
// The bound pointers (binding them on first use).
TRkAdvApi& RkAdvApi();

// Puts recorders into the slots and the bound advapi32 functions for the life of the guard:
//     TRkSlotsOverride slots;
//     slots->RkSetServiceStatus = RecordStatus;
//     slots.AdvApi().ChangeServiceConfig2W = nullptr;
// Every slot and both bound functions get their former values back when it goes, whichever way
// the test leaves (a failed ASSERT returns from the test body).
class TRkSlotsOverride {
public:
    TRkSlotsOverride() : FSaved(RkSlots), FSavedAdvApi(RkAdvApi()) {}
    ~TRkSlotsOverride() {
        RkSlots = FSaved;
        RkAdvApi() = FSavedAdvApi;
    }
    TRkSlotsOverride(const TRkSlotsOverride&) = delete;
    TRkSlotsOverride& operator=(const TRkSlotsOverride&) = delete;

    TRkSlots* operator->() const { return &RkSlots; }
    TRkAdvApi& AdvApi() const { return RkAdvApi(); }

private:
    TRkSlots FSaved;
    TRkAdvApi FSavedAdvApi;
};

} // namespace tamrel
