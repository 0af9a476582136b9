// Connection points: how a COM object sends events to the sinks its clients connect.
//
// An object owns one TConnectionPoints (the container its IConnectionPointContainer answers)
// and makes one TConnectionPoint per outgoing interface. A connection point keeps the connected
// sinks in cookie order; a sink that leaves leaves a hole (nil) so that cookies stay valid. The
// parts count their references on the object: they live as long as it does.
//
// A client that dies never unadvises: its sink stays connected, and every call to it fails with
// one of the errors that say the other side is gone. An object that sends events hands such a
// failure to DisconnectIfGone, so that the dead sink is met once and not by every later event.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "host/Interfaced.h"

#include <ocidl.h>
#include <olectl.h>

#include <exception>
#include <vector>

namespace tamrel {

TAMREL_ENUM(TConnectionKind, ckSingle, ckMulti);
// A sink connects (Connecting) or leaves. An exception refuses the connection.
using TConnectEvent = TMethod<void(IUnknown* Sink, bool Connecting)>;

class TConnectionPoints;

// Whether a call's failure says that the object called is gone: its process ended, its apartment
// was left, or it was disconnected. Nothing that a living object answers itself.
TAMREL_API bool IsClientGone(HRESULT failure);

class TAMREL_API TConnectionPoint : public TImplements<TContainedObject, IConnectionPoint> {
public:
    TConnectionPoint(TConnectionPoints* container, const GUID& iid, TConnectionKind kind, TConnectEvent onConnect);
    ~TConnectionPoint() override;

    const GUID& ConnectionIID() const { return FIID; }
    TConnectionKind Kind() const { return FKind; }
    // The sinks, index = cookie - 1, nil where a sink left. A copy: calls out to the sinks may
    // let other clients connect or leave meanwhile.
    std::vector<TComPtr<IUnknown>> SinkList() const { return FSinks; }
    // The call to Sink (an entry of SinkList) failed with Failure: when the failure says that the
    // sink's client is gone, the sink is disconnected as its client's Unadvise would have done it.
    // Answers whether it was. A sink that merely refused the call stays, and so does one that
    // left or was replaced meanwhile (the call may have let other clients in).
    bool DisconnectIfGone(IUnknown* sink, HRESULT failure);
    // The same for the exception the call raised (an OLE or OS error carries its code).
    bool DisconnectIfGone(IUnknown* sink, const std::exception_ptr& failure);

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(::IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** enumerator) override;

private:
    TConnectionPoints* FContainer;
    GUID FIID;
    TConnectionKind FKind;
    TConnectEvent FOnConnect;
    std::vector<TComPtr<IUnknown>> FSinks;
};

class TAMREL_API TConnectionPoints : public TImplements<TAggregatedObject, IConnectionPointContainer> {
public:
    // Controller: the object whose events these are.
    explicit TConnectionPoints(IUnknown* controller);
    ~TConnectionPoints() override;

    // The new connection point belongs to the container.
    TConnectionPoint* CreateConnectionPoint(const GUID& iid, TConnectionKind kind, TConnectEvent onConnect);
    TConnectionPoint* Find(const GUID& iid) const;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** enumerator) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

private:
    std::vector<TConnectionPoint*> FPoints; // owned
};

} // namespace tamrel
