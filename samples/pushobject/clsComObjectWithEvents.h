// The automation object of PushObjectSample: one object shared by every client, whose
// RaiseEvent pushes a message to every connected event sink.
#pragma once

#include "comserver/Tamrel_ComObj.h"
#include "host/ConnectionPoints.h"

#include "PushObjectSample_TLB.h"

class TComObjectWithEvents : public tamrel::TAutoImplements<tamrel::TAutoObject, IComObjectWithEvents> {
public:
    ~TComObjectWithEvents() override;
    void Initialize() override;
    void* GetInterface(REFIID iid) override;

    tamrel::TConnectionPoints* ConnectionPoints() const { return FConnectionPoints; }

    // Sends "Event is raised with message: " + Text to every connected sink. A sink that fails
    // does not keep the event from the others; the first failure is the call's result. A sink
    // whose client is gone is disconnected on the way.
    HRESULT STDMETHODCALLTYPE RaiseEvent(BSTR Text) override;

protected:
    void EventSinkChanged(IUnknown* eventSink) override;

private:
    tamrel::TConnectionPoints* FConnectionPoints = nullptr; // owned
    tamrel::TConnectionPoint* FConnectionPoint = nullptr;   // the container's
    tamrel::TComPtr<IComObjectWithEventsEvents> FEvents;    // the last sink that connected
};

// The object every non-aggregated creation answers, or nil.
TComObjectWithEvents* SharedComObjectWithEvents();

class TComObjectWithEventsSingletoneFactory : public tamrel::TSvcAutoObjectFactory {
public:
    using tamrel::TSvcAutoObjectFactory::TSvcAutoObjectFactory;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* unkOuter, REFIID iid, void** obj) override;
};

// The unit's initialization (the class's factory), once.
void InitializeComObjectWithEventsUnit();
