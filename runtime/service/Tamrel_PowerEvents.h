// The power-event handler component: placed on a service module, it makes the module accept
// power events and calls one event per power event type, on the service thread.
#pragma once

#include "runtime/service/Tamrel_NTService.h"

namespace tamrel {

class TAMREL_API TRkPowerEventHandler : public TRkPowerEventHandlerBase {
    TAMREL_CLASS(TRkPowerEventHandler, TRkPowerEventHandlerBase)
public:
    using TRkPowerEventHandlerBase::TRkPowerEventHandlerBase;

    // Calls the event of the power event type (with this component as Sender) when assigned;
    // other types are ignored. The event data is not passed on.
    void HandlePowerEvent(uint32_t eventType, void* eventData) override;

    TNotifyEvent OnPowerStatusChange() const { return FOnPowerStatusChange; }
    void SetOnPowerStatusChange(TNotifyEvent e) { FOnPowerStatusChange = e; }
    TNotifyEvent OnResumeAutomatic() const { return FOnResumeAutomatic; }
    void SetOnResumeAutomatic(TNotifyEvent e) { FOnResumeAutomatic = e; }
    TNotifyEvent OnResumeSuspend() const { return FOnResumeSuspend; }
    void SetOnResumeSuspend(TNotifyEvent e) { FOnResumeSuspend = e; }
    TNotifyEvent OnSuspend() const { return FOnSuspend; }
    void SetOnSuspend(TNotifyEvent e) { FOnSuspend = e; }
    TNotifyEvent OnPowerSettingChange() const { return FOnPowerSettingChange; }
    void SetOnPowerSettingChange(TNotifyEvent e) { FOnPowerSettingChange = e; }
    TNotifyEvent OnBatteryLow() const { return FOnBatteryLow; }
    void SetOnBatteryLow(TNotifyEvent e) { FOnBatteryLow = e; }
    TNotifyEvent OnOemEvent() const { return FOnOemEvent; }
    void SetOnOemEvent(TNotifyEvent e) { FOnOemEvent = e; }
    TNotifyEvent OnQuerySuspend() const { return FOnQuerySuspend; }
    void SetOnQuerySuspend(TNotifyEvent e) { FOnQuerySuspend = e; }
    TNotifyEvent OnQuerySuspendFailed() const { return FOnQuerySuspendFailed; }
    void SetOnQuerySuspendFailed(TNotifyEvent e) { FOnQuerySuspendFailed = e; }
    TNotifyEvent OnResumeCritical() const { return FOnResumeCritical; }
    void SetOnResumeCritical(TNotifyEvent e) { FOnResumeCritical = e; }

private:
    TNotifyEvent FOnPowerStatusChange, FOnResumeAutomatic, FOnResumeSuspend, FOnSuspend, FOnPowerSettingChange,
        FOnBatteryLow, FOnOemEvent, FOnQuerySuspend, FOnQuerySuspendFailed, FOnResumeCritical;
};

} // namespace tamrel
