#include "runtime/service/Tamrel_PowerEvents.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TRkPowerEventHandler) {
    using T = TRkPowerEventHandler;
    b.Event(L"OnPowerStatusChange", &T::OnPowerStatusChange, &T::SetOnPowerStatusChange);
    b.Event(L"OnResumeAutomatic", &T::OnResumeAutomatic, &T::SetOnResumeAutomatic);
    b.Event(L"OnResumeSuspend", &T::OnResumeSuspend, &T::SetOnResumeSuspend);
    b.Event(L"OnSuspend", &T::OnSuspend, &T::SetOnSuspend);
    b.Event(L"OnPowerSettingChange", &T::OnPowerSettingChange, &T::SetOnPowerSettingChange);
    b.Event(L"OnBatteryLow", &T::OnBatteryLow, &T::SetOnBatteryLow);
    b.Event(L"OnOemEvent", &T::OnOemEvent, &T::SetOnOemEvent);
    b.Event(L"OnQuerySuspend", &T::OnQuerySuspend, &T::SetOnQuerySuspend);
    b.Event(L"OnQuerySuspendFailed", &T::OnQuerySuspendFailed, &T::SetOnQuerySuspendFailed);
    b.Event(L"OnResumeCritical", &T::OnResumeCritical, &T::SetOnResumeCritical);
}

void TRkPowerEventHandler::HandlePowerEvent(uint32_t eventType, void* /*eventData*/) {
    const TNotifyEvent* event = nullptr;
    switch (eventType) {
    case PBT_APMQUERYSUSPEND:
        event = &FOnQuerySuspend;
        break;
    case PBT_APMQUERYSUSPENDFAILED:
        event = &FOnQuerySuspendFailed;
        break;
    case PBT_APMSUSPEND:
        event = &FOnSuspend;
        break;
    case PBT_APMRESUMECRITICAL:
        event = &FOnResumeCritical;
        break;
    case PBT_APMRESUMESUSPEND:
        event = &FOnResumeSuspend;
        break;
    case PBT_APMBATTERYLOW:
        event = &FOnBatteryLow;
        break;
    case PBT_APMPOWERSTATUSCHANGE:
        event = &FOnPowerStatusChange;
        break;
    case PBT_APMOEMEVENT:
        event = &FOnOemEvent;
        break;
    case PBT_APMRESUMEAUTOMATIC:
        event = &FOnResumeAutomatic;
        break;
    case PBT_POWERSETTINGCHANGE:
        event = &FOnPowerSettingChange;
        break;
    default:
        return;
    }
    if (*event) (*event)(this);
}

} // namespace tamrel
