// Interface references and reference-counted objects: who holds how many references, when an
// object goes, and what QueryInterface answers (parents of our own interfaces included).
#include "host/ComObj.h"
#include "host/Interfaced.h"

#include <gtest/gtest.h>

using namespace tamrel;

namespace {

// Counts its own lives: the tests see exactly when the last reference freed it.
class TCounted : public TImplements<TInterfacedObject, IPersist, IMarshal> {
public:
    explicit TCounted(int* alive) : FAlive(alive) { ++*FAlive; }
    ~TCounted() override { --*FAlive; }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        *id = IID_IPersist;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream*, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return E_NOTIMPL; }

private:
    int* FAlive;
};

} // namespace

namespace tamrel {
struct IProbeBase : IUnknown {
    virtual int Base() = 0;
};
struct IProbeDerived : IProbeBase {
    virtual int Derived() = 0;
};
TAMREL_INTERFACE_ID(IProbeBase, IUnknown, 0x1A2B3C4D, 0x0001, 0x4002, 0x80, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00, 0x06)
TAMREL_INTERFACE_ID(IProbeDerived, IProbeBase, 0x1A2B3C4D, 0x0002, 0x4002, 0x80, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00, 0x06)
} // namespace tamrel

namespace {
class TProbe : public TInterfaced<IProbeDerived, IPersist> {
public:
    int Base() override { return 1; }
    int Derived() override { return 2; }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
};
} // namespace

TEST(Interfaced, AnInterfaceAnswersForItsParentsAndTheIdentityIsOne) {
    TComPtr<IProbeDerived> derived = MakeInterfaced<TProbe, IProbeDerived>();
    TComPtr<IProbeBase> base = derived.As<IProbeBase>();
    ASSERT_TRUE(base);
    EXPECT_EQ(1, base->Base());
    TComPtr<IUnknown> a = derived.As<IUnknown>(), b = derived.As<IPersist>().As<IUnknown>();
    EXPECT_TRUE(a);
    EXPECT_EQ(a.Get(), b.Get());
}

TEST(Interfaced, TheLastReleaseFreesTheObjectWhateverInterfaceHeldIt) {
    int alive = 0;
    TComPtr<IPersist> persist = MakeInterfaced<TCounted, IPersist>(&alive);
    ASSERT_EQ(1, alive);
    TComPtr<IMarshal> marshal;
    ASSERT_EQ(S_OK, persist.As(marshal));
    TComPtr<IPersist> copy = persist;
    TComPtr<IPersist> moved = std::move(copy);
    EXPECT_FALSE(copy);
    persist.Reset();
    moved = nullptr;
    EXPECT_EQ(1, alive) << "the IMarshal reference still holds it";
    marshal.Reset();
    EXPECT_EQ(0, alive);
}

TEST(Interfaced, QueryInterfaceAnswersEachListedInterfaceAndOneIdentity) {
    int alive = 0;
    TComPtr<IPersist> persist = MakeInterfaced<TCounted, IPersist>(&alive);
    TComPtr<IUnknown> fromPersist, fromMarshal;
    TComPtr<IMarshal> marshal;
    ASSERT_EQ(S_OK, persist.As(fromPersist));
    ASSERT_EQ(S_OK, persist.As(marshal));
    ASSERT_EQ(S_OK, marshal.As(fromMarshal));
    EXPECT_EQ(fromPersist.Get(), fromMarshal.Get());
    TComPtr<IStream> stream;
    EXPECT_EQ(E_NOINTERFACE, persist.As(stream));
    EXPECT_FALSE(stream);
    EXPECT_EQ(E_POINTER, persist->QueryInterface(IID_IUnknown, nullptr));
}

TEST(Interfaced, CastRaisesForAMissingInterfaceAndPassesNilThrough) {
    int alive = 0;
    TComPtr<IPersist> persist = MakeInterfaced<TCounted, IPersist>(&alive);
    EXPECT_TRUE(InterfaceCast<IMarshal>(persist));
    EXPECT_THROW(InterfaceCast<IStream>(persist), EIntfCastError);
    EXPECT_FALSE(InterfaceCast<IStream>(TComPtr<IPersist>()));
    EXPECT_TRUE(Supports<IMarshal>(persist.Get()));
    EXPECT_FALSE(Supports<IStream>(persist.Get()));
}

TEST(Interfaced, AttachAdoptsAndDetachGivesUpAReference) {
    int alive = 0;
    IPersist* raw = MakeInterfaced<TCounted, IPersist>(&alive).Detach();
    ASSERT_EQ(1, alive);
    {
        auto adopted = TComPtr<IPersist>::Attach(raw);
    }
    EXPECT_EQ(0, alive);
}
