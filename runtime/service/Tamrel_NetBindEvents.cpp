#include "runtime/service/Tamrel_NetBindEvents.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TRkNetBindEventHandler) {
    using T = TRkNetBindEventHandler;
    b.Event(L"OnNetBindAdd", &T::OnNetBindAdd, &T::SetOnNetBindAdd);
    b.Event(L"OnNetBindDisable", &T::OnNetBindDisable, &T::SetOnNetBindDisable);
    b.Event(L"OnNetBindEnable", &T::OnNetBindEnable, &T::SetOnNetBindEnable);
    b.Event(L"OnNetBindRemove", &T::OnNetBindRemove, &T::SetOnNetBindRemove);
}

void TRkNetBindEventHandler::HandleNetBindEvent(uint32_t control) {
    const TNotifyEvent* event = nullptr;
    switch (control) {
    case SERVICE_CONTROL_NETBINDADD:
        event = &FOnNetBindAdd;
        break;
    case SERVICE_CONTROL_NETBINDREMOVE:
        event = &FOnNetBindRemove;
        break;
    case SERVICE_CONTROL_NETBINDENABLE:
        event = &FOnNetBindEnable;
        break;
    case SERVICE_CONTROL_NETBINDDISABLE:
        event = &FOnNetBindDisable;
        break;
    default:
        return;
    }
    if (*event) (*event)(this);
}

} // namespace tamrel
