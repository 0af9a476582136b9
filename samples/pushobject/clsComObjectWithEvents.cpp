#include "clsComObjectWithEvents.h"

#include "comserver/Tamrel_ComServ.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "svcComServiceModule.h"

using namespace tamrel;

namespace {
TComObjectWithEvents* gShared = nullptr;
// HandleEventNotification of IComObjectWithEventsEvents, as the type library numbers it.
constexpr DISPID kHandleEventNotification = 201;
} // namespace

TComObjectWithEvents* SharedComObjectWithEvents() { return gShared; }

TComObjectWithEvents::~TComObjectWithEvents() {
    if (gShared == this) gShared = nullptr;
    delete FConnectionPoints;
}

void TComObjectWithEvents::Initialize() {
    TAutoImplements::Initialize();
    if (!gShared) gShared = this;
    // The parts count their references on the object through its (possibly delegating) IUnknown.
    FConnectionPoints = new TConnectionPoints(static_cast<IComObjectWithEvents*>(this));
    if (AutoFactory() && AutoFactory()->EventTypeInfo())
        FConnectionPoint = FConnectionPoints->CreateConnectionPoint(AutoFactory()->EventIID(), ckMulti,
                                                                    MakeMethod<&TAutoObject::EventConnect>(this));
    else
        FConnectionPoint = nullptr;
}

void* TComObjectWithEvents::GetInterface(REFIID iid) {
    if (IsEqualGUID(iid, IID_IConnectionPointContainer) && FConnectionPoints)
        return FConnectionPoints->GetInterface(iid);
    return TAutoImplements::GetInterface(iid);
}

void TComObjectWithEvents::EventSinkChanged(IUnknown* eventSink) {
    RkSendMethodEnter(L"EventSinkChanged", 0);
    FEvents = InterfaceCast<IComObjectWithEventsEvents>(TComPtr<IUnknown>(eventSink));
    RkSendMethodLeave(L"EventSinkChanged", 0);
}

HRESULT TComObjectWithEvents::RaiseEvent(BSTR Text) {
    return SafeCall([&] {
        if (!FConnectionPoint) return;
        const TOleVariant message(L"Event is raised with message: " + BStrToString(Text));
        std::exception_ptr firstFailure;
        for (const TComPtr<IUnknown>& sink : FConnectionPoint->SinkList()) {
            if (!sink) continue;
            try {
                // Through a proxy the query may itself travel to the client: a dead one fails it
                // with its own code, which must reach the point rather than an interface-cast error.
                TComPtr<IComObjectWithEventsEvents> events;
                const HRESULT query = sink.As(events);
                if (IsClientGone(query)) OleError(query);
                if (FAILED(query)) throw EIntfCastError(SIntfCastError);
                DispatchInvoke(events.Get(), kHandleEventNotification, DISPATCH_METHOD, {message});
            } catch (...) {
                // A dead or failing client must not silence the others; a dead one is dropped,
                // or every later event would meet it again and fail for its caller.
                FConnectionPoint->DisconnectIfGone(sink.Get(), std::current_exception());
                if (!firstFailure) firstFailure = std::current_exception();
            }
        }
        if (firstFailure) std::rethrow_exception(firstFailure);
    });
}

HRESULT TComObjectWithEventsSingletoneFactory::CreateInstance(IUnknown* unkOuter, REFIID iid, void** obj) {
    if (gShared && !unkOuter) return gShared->ObjQueryInterface(iid, obj);
    const bool existed = gShared != nullptr;
    HRESULT hr = TSvcAutoObjectFactory::CreateInstance(unkOuter, iid, obj);
    // An aggregated object is never shared.
    if (unkOuter && !existed) gShared = nullptr;
    return hr;
}

void InitializeComObjectWithEventsUnit() {
    static const bool initialized = [] {
        InitializeComServiceModuleUnit();
        new TComObjectWithEventsSingletoneFactory(InitializeComServ(), ComClassOf<TComObjectWithEvents>(),
                                                  CLSID_ComObjectWithEvents, ciMultiInstance, L"PushObjectSample");
        return true;
    }();
    (void)initialized;
}

namespace {
[[maybe_unused]] const bool Initialized = (InitializeComObjectWithEventsUnit(), true);
} // namespace
