// Connection points: cookies and holes, the single-sink limit, refused connections, the
// enumerators, and the connect callback of automation objects.
#include "host/ConnectionPoints.h"
#include "tests/support/ComTestObjects.h"
#include "tests/support/ComTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A sink that only counts its references.
class TSink : public TImplements<TInterfacedObject, IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        if (params && params->cArgs == 1) Received.push_back(BStrToString(V_BSTR(&params->rgvarg[0])));
        return S_OK;
    }
    std::vector<std::wstring> Received;
};

// The object whose events these are: a plain counted object.
class TController : public TImplements<TInterfacedObject, IPersist> {
public:
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    std::vector<std::pair<IUnknown*, bool>> Calls;
    bool Refuse = false;
    void Connect(IUnknown* sink, bool connecting) {
        if (Refuse) throw Exception(L"refused");
        Calls.emplace_back(sink, connecting);
    }
};

struct ConnectionPointsTest : ::testing::Test {
    TComPtr<IPersist> controllerRef = MakeInterfaced<TController, IPersist>();
    TController* controller = static_cast<TController*>(controllerRef.Get());
    TConnectionPoints* points = new TConnectionPoints(static_cast<IPersist*>(controller));
    TConnectionPoint* multi = points->CreateConnectionPoint(IID_IDispatch, ckMulti,
                                                            MakeMethod<&TController::Connect>(controller));
    TConnectionPoint* single = points->CreateConnectionPoint(IID_IPersist, ckSingle, nullptr);
    ~ConnectionPointsTest() override { delete points; }
};

size_t Live(const std::vector<TComPtr<IUnknown>>& sinks) {
    return static_cast<size_t>(std::count_if(sinks.begin(), sinks.end(), [](const auto& s) { return bool(s); }));
}

} // namespace

TEST_F(ConnectionPointsTest, CookiesStayValidAndAHoleIsReused) {
    TComPtr<IDispatch> a = MakeInterfaced<TSink, IDispatch>(), b = MakeInterfaced<TSink, IDispatch>(),
                       c = MakeInterfaced<TSink, IDispatch>();
    DWORD ca = 0, cb = 0, cc = 0;
    ASSERT_EQ(S_OK, multi->Advise(a.Get(), &ca));
    ASSERT_EQ(S_OK, multi->Advise(b.Get(), &cb));
    EXPECT_EQ(1u, ca);
    EXPECT_EQ(2u, cb);
    ASSERT_EQ(S_OK, multi->Unadvise(ca));
    auto sinks = multi->SinkList();
    ASSERT_EQ(2u, sinks.size());
    EXPECT_FALSE(sinks[0]) << "a hole where the first sink was";
    EXPECT_EQ(static_cast<IUnknown*>(b.Get()), sinks[1].Get());
    ASSERT_EQ(S_OK, multi->Advise(c.Get(), &cc));
    EXPECT_EQ(1u, cc);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, multi->Unadvise(ca + 5));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, multi->Unadvise(0));
    const std::vector<std::pair<IUnknown*, bool>> calls = {
        {a.Get(), true}, {b.Get(), true}, {a.Get(), false}, {c.Get(), true}};
    EXPECT_EQ(calls, controller->Calls);
}

TEST_F(ConnectionPointsTest, ASingleConnectionTakesOneSink) {
    TComPtr<IDispatch> a = MakeInterfaced<TSink, IDispatch>(), b = MakeInterfaced<TSink, IDispatch>();
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(S_OK, single->Advise(a.Get(), &ca));
    EXPECT_EQ(CONNECT_E_ADVISELIMIT, single->Advise(b.Get(), &cb));
    EXPECT_EQ(0u, cb);
    ASSERT_EQ(S_OK, single->Unadvise(ca));
    EXPECT_EQ(S_OK, single->Advise(b.Get(), &cb));
}

TEST_F(ConnectionPointsTest, ARefusedConnectionKeepsNoReference) {
    TComPtr<IDispatch> a = MakeInterfaced<TSink, IDispatch>();
    auto* sink = static_cast<TSink*>(a.Get());
    controller->Refuse = true;
    DWORD cookie = 7;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, multi->Advise(a.Get(), &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(1, sink->RefCount());
    EXPECT_EQ(0u, Live(multi->SinkList()));
}

TEST_F(ConnectionPointsTest, ThePartsCountTheirReferencesOnTheController) {
    const LONG before = controller->RefCount();
    TComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, points->FindConnectionPoint(IID_IDispatch, point.Put()));
    EXPECT_EQ(static_cast<IConnectionPoint*>(multi), point.Get());
    EXPECT_EQ(before + 1, controller->RefCount());
    TComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, point->GetConnectionPointContainer(container.Put()));
    TComPtr<IPersist> identity;
    EXPECT_EQ(S_OK, container.As(identity)) << "the container answers for the controller";
    EXPECT_EQ(controllerRef.Get(), identity.Get());
    point.Reset();
    container.Reset();
    identity.Reset();
    EXPECT_EQ(before, controller->RefCount());
    EXPECT_EQ(CONNECT_E_NOCONNECTION, points->FindConnectionPoint(IID_IStream, point.Put()));
}

TEST_F(ConnectionPointsTest, EnumeratorsListWhatWasThereWhenTheyWereMade) {
    TComPtr<IDispatch> a = MakeInterfaced<TSink, IDispatch>(), b = MakeInterfaced<TSink, IDispatch>();
    DWORD ca = 0, cb = 0;
    multi->Advise(a.Get(), &ca);
    multi->Advise(b.Get(), &cb);
    multi->Unadvise(ca);
    TComPtr<IEnumConnections> connections;
    ASSERT_EQ(S_OK, multi->EnumConnections(connections.Put()));
    multi->Unadvise(cb); // after the snapshot
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, connections->Next(3, data, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(static_cast<IUnknown*>(b.Get()), data[0].pUnk);
    EXPECT_EQ(cb, data[0].dwCookie);
    data[0].pUnk->Release();
    TComPtr<IEnumConnectionPoints> all;
    ASSERT_EQ(S_OK, points->EnumConnectionPoints(all.Put()));
    TComPtr<IEnumConnectionPoints> clone;
    ASSERT_EQ(S_OK, all->Clone(clone.Put()));
    IConnectionPoint* found[2] = {};
    EXPECT_EQ(S_OK, clone->Next(2, found, &fetched));
    EXPECT_EQ(2u, fetched);
    for (auto* p : found) p->Release();
    EXPECT_EQ(S_FALSE, all->Skip(3));
}

TEST_F(ConnectionPointsTest, ASinkWhoseClientIsGoneIsDisconnectedAndARefusingOneStays) {
    TComPtr<IDispatch> a = MakeInterfaced<TSink, IDispatch>(), b = MakeInterfaced<TSink, IDispatch>();
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(S_OK, multi->Advise(a.Get(), &ca));
    ASSERT_EQ(S_OK, multi->Advise(b.Get(), &cb));
    const auto failure = [](HRESULT code) { return std::make_exception_ptr(EOleSysError(L"call failed", code)); };
    EXPECT_FALSE(multi->DisconnectIfGone(a.Get(), failure(E_ACCESSDENIED))) << "a living sink that refused";
    EXPECT_TRUE(multi->DisconnectIfGone(a.Get(), failure(HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE))));
    EXPECT_FALSE(multi->SinkList()[0]);
    EXPECT_EQ((std::pair<IUnknown*, bool>(a.Get(), false)), controller->Calls.back()) << "as its Unadvise would";
    EXPECT_FALSE(multi->DisconnectIfGone(a.Get(), RPC_E_DISCONNECTED)) << "gone already";
    EXPECT_EQ(static_cast<IUnknown*>(b.Get()), multi->SinkList()[1].Get());
}

TEST(AutoObjectEvents, TheConnectCallbackTellsTheObjectOfEachSink) {
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    TTestServer server;
    TAutoObjectFactory factory(&server, ComClassOf<TTestObject>(), CLSID_TestObject, ciMultiInstance);
    TComPtr<ITestObject> object;
    ASSERT_EQ(S_OK, factory.CreateInstance(nullptr, IID_ITestObject, object.PutVoid()));
    auto* impl = static_cast<TTestObject*>(object.Get());
    TComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, object.As(container));
    TComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID_ITestEvents, point.Put()));
    TComPtr<IDispatch> a = MakeInterfaced<TSink, IDispatch>(), b = MakeInterfaced<TSink, IDispatch>();
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(S_OK, point->Advise(a.Get(), &ca));
    ASSERT_EQ(S_OK, point->Advise(b.Get(), &cb));
    TBStr text(L"ping");
    EXPECT_EQ(S_OK, object->Ping(text.Get()));
    EXPECT_EQ(std::vector<std::wstring>{L"ping"}, static_cast<TSink*>(a.Get())->Received);
    EXPECT_EQ(std::vector<std::wstring>{L"ping"}, static_cast<TSink*>(b.Get())->Received);
    ASSERT_EQ(S_OK, point->Unadvise(ca));
    const std::vector<IUnknown*> changes = {a.Get(), b.Get(), nullptr};
    EXPECT_EQ(changes, impl->SinkChanges);
}
