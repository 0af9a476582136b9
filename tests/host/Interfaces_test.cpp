// Interface references and reference-counted objects: who holds how many references, when an
// object goes, and what QueryInterface answers.
#include "host/Interfaces.h"

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

TEST(Interfaces, TheLastReleaseFreesTheObjectWhateverInterfaceHeldIt) {
    int alive = 0;
    TComPtr<IPersist> persist = NewInterfaced<TCounted, IPersist>(&alive);
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

TEST(Interfaces, QueryInterfaceAnswersEachListedInterfaceAndOneIdentity) {
    int alive = 0;
    TComPtr<IPersist> persist = NewInterfaced<TCounted, IPersist>(&alive);
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

TEST(Interfaces, CastRaisesForAMissingInterfaceAndPassesNilThrough) {
    int alive = 0;
    TComPtr<IPersist> persist = NewInterfaced<TCounted, IPersist>(&alive);
    EXPECT_TRUE(persist.Cast<IMarshal>());
    EXPECT_THROW(persist.Cast<IStream>(), EIntfCastError);
    EXPECT_FALSE(TComPtr<IPersist>().Cast<IStream>());
    EXPECT_TRUE(Supports<IMarshal>(persist));
    EXPECT_FALSE(Supports<IStream>(persist));
}

TEST(Interfaces, AttachAdoptsAndDetachGivesUpAReference) {
    int alive = 0;
    IPersist* raw = NewInterfaced<TCounted, IPersist>(&alive).Detach();
    ASSERT_EQ(1, alive);
    {
        auto adopted = TComPtr<IPersist>::Attach(raw);
    }
    EXPECT_EQ(0, alive);
}

TEST(Interfaces, BStrAndVariantOwnersKeepTheText) {
    const std::wstring withNull(L"a\0b", 3);
    TBStr s(withNull);
    EXPECT_EQ(3u, SysStringLen(s.Get()));
    EXPECT_EQ(withNull, s.ToString());
    EXPECT_EQ(L"", BStrToString(nullptr));
    TOleVariant number(42);
    EXPECT_EQ(L"42", number.ToString());
    TOleVariant copy = TOleVariant(L"text");
    EXPECT_EQ(VT_BSTR, copy.Type());
    EXPECT_EQ(L"text", copy.ToString());
}

TEST(Interfaces, OleCheckRaisesTheCodeWithItsSystemText) {
    EXPECT_EQ(S_FALSE, OleCheck(S_FALSE));
    try {
        OleCheck(E_ACCESSDENIED);
        FAIL() << "no exception";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(E_ACCESSDENIED, e.ErrorCode());
        EXPECT_FALSE(e.Message().empty());
    }
    try {
        OleError(static_cast<HRESULT>(0x8ABC0123));
        FAIL() << "no exception";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(L"OLE error 8ABC0123", e.Message()) << "a code without system text";
    }
}
