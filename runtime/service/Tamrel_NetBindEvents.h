// The network-binding handler component: placed on a service module, it makes the module accept
// network-binding changes and calls one event per binding control, on the service thread.
#pragma once

#include "runtime/service/Tamrel_NTService.h"

namespace tamrel {

class TAMREL_API TRkNetBindEventHandler : public TRkNetBindEventHandlerBase {
    TAMREL_CLASS(TRkNetBindEventHandler, TRkNetBindEventHandlerBase)
public:
    using TRkNetBindEventHandlerBase::TRkNetBindEventHandlerBase;

    // Controls 7 to 10 call their event (with this component as Sender) when assigned; other
    // values are ignored.
    void HandleNetBindEvent(uint32_t control) override;

    TNotifyEvent OnNetBindAdd() const { return FOnNetBindAdd; }
    void SetOnNetBindAdd(TNotifyEvent e) { FOnNetBindAdd = e; }
    TNotifyEvent OnNetBindDisable() const { return FOnNetBindDisable; }
    void SetOnNetBindDisable(TNotifyEvent e) { FOnNetBindDisable = e; }
    TNotifyEvent OnNetBindEnable() const { return FOnNetBindEnable; }
    void SetOnNetBindEnable(TNotifyEvent e) { FOnNetBindEnable = e; }
    TNotifyEvent OnNetBindRemove() const { return FOnNetBindRemove; }
    void SetOnNetBindRemove(TNotifyEvent e) { FOnNetBindRemove = e; }

private:
    TNotifyEvent FOnNetBindAdd, FOnNetBindDisable, FOnNetBindEnable, FOnNetBindRemove;
};

} // namespace tamrel
