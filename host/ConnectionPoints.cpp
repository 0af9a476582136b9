#include "host/ConnectionPoints.h"

#include "host/ComObj.h"
#include "host/SysUtils.h"

#include <algorithm>
#include <iterator>

namespace tamrel {

namespace {

// An enumerator over a snapshot taken when it was made (each Clone takes its own).
template <class IEnum, class Item> class TSnapshotEnum : public TImplements<TInterfacedObject, IEnum> {
public:
    TSnapshotEnum(std::vector<Item> items, size_t position) : FItems(std::move(items)), FPosition(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) override {
        if (!items || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && FPosition < FItems.size(); ++n, ++FPosition) {
            items[n] = FItems[FPosition];
            AddRefItem(items[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const size_t left = FItems.size() - FPosition;
        FPosition += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        FPosition = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** enumerator) override {
        if (!enumerator) return E_POINTER;
        *enumerator = MakeInterfaced<TSnapshotEnum, IEnum>(FItems, FPosition).Detach();
        for (Item& item : FItems) AddRefItem(item); // the clone's own references
        return S_OK;
    }
    ~TSnapshotEnum() override {
        for (Item& item : FItems) ReleaseItem(item);
    }

private:
    static void AddRefItem(IConnectionPoint* p) { p->AddRef(); }
    static void ReleaseItem(IConnectionPoint* p) { p->Release(); }
    static void AddRefItem(CONNECTDATA& d) { d.pUnk->AddRef(); }
    static void ReleaseItem(CONNECTDATA& d) { d.pUnk->Release(); }

    std::vector<Item> FItems; // each item holds one reference of the enumerator's
    size_t FPosition;
};

using TEnumConnections = TSnapshotEnum<IEnumConnections, CONNECTDATA>;
using TEnumConnectionPoints = TSnapshotEnum<IEnumConnectionPoints, IConnectionPoint*>;

// The code a call's exception carries, or S_OK when it carries none.
HRESULT FailureCode(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const EOleSysError& e) {
        return e.ErrorCode();
    } catch (const EOSError& e) {
        return HRESULT_FROM_WIN32(e.ErrorCode());
    } catch (...) {
        return S_OK;
    }
}

} // namespace

bool IsClientGone(HRESULT failure) {
    static const HRESULT gone[] = {
        HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), // its process ended
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE),
        RPC_E_SERVER_DIED,
        RPC_E_SERVER_DIED_DNE,
        RPC_E_DISCONNECTED, // its stub was disconnected
        CO_E_OBJNOTCONNECTED,
    };
    return std::find(std::begin(gone), std::end(gone), failure) != std::end(gone);
}

// ---------------------------------------------------------------------------------------------
// TConnectionPoint

TConnectionPoint::TConnectionPoint(TConnectionPoints* container, const GUID& iid, TConnectionKind kind,
                                   TConnectEvent onConnect)
    : TImplements(container->Controller()), FContainer(container), FIID(iid), FKind(kind), FOnConnect(onConnect) {}

TConnectionPoint::~TConnectionPoint() = default;

HRESULT TConnectionPoint::GetConnectionInterface(::IID* iid) {
    if (!iid) return E_POINTER;
    *iid = FIID;
    return S_OK;
}

HRESULT TConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(FContainer);
    (*container)->AddRef();
    return S_OK;
}

HRESULT TConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    if (FKind == ckSingle)
        for (const auto& s : FSinks)
            if (s) return CONNECT_E_ADVISELIMIT;
    size_t index = 0; // the first hole, else a new entry
    while (index < FSinks.size() && FSinks[index]) ++index;
    if (index == FSinks.size()) FSinks.emplace_back();
    FSinks[index] = TComPtr<IUnknown>(sink);
    if (FOnConnect) {
        try {
            FOnConnect(sink, true);
        } catch (...) {
            // The object refused the sink: it is not connected.
            FSinks[index] = nullptr;
            return CONNECT_E_CANNOTCONNECT;
        }
    }
    *cookie = static_cast<DWORD>(index + 1);
    return S_OK;
}

HRESULT TConnectionPoint::Unadvise(DWORD cookie) {
    if (cookie == 0 || cookie > FSinks.size() || !FSinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
    TComPtr<IUnknown> sink = std::move(FSinks[cookie - 1]);
    FSinks[cookie - 1] = nullptr;
    if (FOnConnect) {
        try {
            FOnConnect(sink.Get(), false);
        } catch (...) {
            // The sink is gone whatever the object thinks of it.
        }
    }
    return S_OK;
}

bool TConnectionPoint::DisconnectIfGone(IUnknown* sink, HRESULT failure) {
    if (!sink || !IsClientGone(failure)) return false;
    // By identity, not by the index of the caller's snapshot: the hole may have been refilled.
    for (size_t i = 0; i < FSinks.size(); ++i)
        if (FSinks[i].Get() == sink) return SUCCEEDED(Unadvise(static_cast<DWORD>(i + 1)));
    return false;
}

bool TConnectionPoint::DisconnectIfGone(IUnknown* sink, const std::exception_ptr& failure) {
    return failure && DisconnectIfGone(sink, FailureCode(failure));
}

HRESULT TConnectionPoint::EnumConnections(IEnumConnections** enumerator) {
    if (!enumerator) return E_POINTER;
    std::vector<CONNECTDATA> items;
    for (size_t i = 0; i < FSinks.size(); ++i)
        if (FSinks[i]) {
            FSinks[i]->AddRef();
            items.push_back({FSinks[i].Get(), static_cast<DWORD>(i + 1)});
        }
    *enumerator = MakeInterfaced<TEnumConnections, IEnumConnections>(std::move(items), 0).Detach();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// TConnectionPoints

TConnectionPoints::TConnectionPoints(IUnknown* controller) : TImplements(controller) {}

TConnectionPoints::~TConnectionPoints() {
    for (TConnectionPoint* p : FPoints) delete p;
}

TConnectionPoint* TConnectionPoints::CreateConnectionPoint(const GUID& iid, TConnectionKind kind,
                                                           TConnectEvent onConnect) {
    FPoints.reserve(FPoints.size() + 1);
    FPoints.push_back(new TConnectionPoint(this, iid, kind, onConnect));
    return FPoints.back();
}

TConnectionPoint* TConnectionPoints::Find(const GUID& iid) const {
    for (TConnectionPoint* p : FPoints)
        if (IsEqualGUID(p->ConnectionIID(), iid)) return p;
    return nullptr;
}

HRESULT TConnectionPoints::EnumConnectionPoints(IEnumConnectionPoints** enumerator) {
    if (!enumerator) return E_POINTER;
    std::vector<IConnectionPoint*> items;
    for (TConnectionPoint* p : FPoints) {
        p->AddRef();
        items.push_back(p);
    }
    *enumerator = MakeInterfaced<TEnumConnectionPoints, IEnumConnectionPoints>(std::move(items), 0).Detach();
    return S_OK;
}

HRESULT TConnectionPoints::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = Find(iid);
    if (!*point) return CONNECT_E_NOCONNECTION;
    (*point)->AddRef();
    return S_OK;
}

} // namespace tamrel
