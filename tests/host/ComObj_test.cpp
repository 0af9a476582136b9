// The COM server framework in-process: factories read their class from the type library, make
// objects that the server object counts, serve IDispatch from the type information, turn
// exceptions into HRESULTs with error info, and support aggregation. The test program carries
// the test type library as its resource.
#include "host/ComObj.h"
#include "tests/support/ComTestObjects.h"
#include "tests/support/ComTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct ComObjTest : ::testing::Test {
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    TTestServer server;
    TAutoObjectFactory* factory = nullptr;

    void SetUp() override {
        factory = new TAutoObjectFactory(&server, ComClassOf<TTestObject>(), CLSID_TestObject, ciMultiInstance);
    }
    void TearDown() override { delete factory; }

    TComPtr<ITestObject> NewObject() {
        TComPtr<ITestObject> object;
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ITestObject, object.PutVoid()));
        return object;
    }
};

// An object that aggregates another: everything but its own IPersist goes to the inner object.
class TOuter : public TImplements<TInterfacedObject, IPersist> {
public:
    TComPtr<IUnknown> Inner;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        *id = GUID_NULL;
        return S_OK;
    }
    HRESULT ObjQueryInterface(REFIID iid, void** obj) override {
        HRESULT hr = TImplements::ObjQueryInterface(iid, obj);
        if (hr == E_NOINTERFACE && Inner) hr = Inner->QueryInterface(iid, obj);
        return hr;
    }
};

} // namespace

TEST_F(ComObjTest, FactoryTakesItsClassFromTheTypeLibrary) {
    EXPECT_EQ(L"TestObject", factory->ClassName());
    EXPECT_EQ(L"Test object with events", factory->Description());
    EXPECT_EQ(L"TestServer.TestObject", factory->ProgID());
    EXPECT_TRUE(IsEqualGUID(CLSID_TestObject, factory->ErrorIID()));
    EXPECT_TRUE(IsEqualGUID(IID_ITestObject, factory->DispIID()));
    EXPECT_TRUE(IsEqualGUID(DIID_ITestEvents, factory->EventIID()));
    TAutoObjectFactory quiet(&server, ComClassOf<TTestObject>(), CLSID_TestQuiet, ciMultiInstance);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, quiet.EventIID()));
    EXPECT_EQ(nullptr, quiet.EventTypeInfo());
    EXPECT_THROW(TTypedComObjectFactory(&server, ComClassOf<TTestObject>(), IID_IPersist, ciMultiInstance),
                 EOleSysError)
        << "a class the library does not describe";
}

TEST_F(ComObjTest, TheClassManagerListsFactoriesWhileTheyLiveAndSurvivesFreeingDuringAWalk) {
    EXPECT_EQ(factory, ComClassManager().GetFactoryFromClassID(CLSID_TestObject));
    EXPECT_EQ(factory, ComClassManager().GetFactoryFromClassName(L"testobject"));
    TTestServer other;
    auto* foreign = new TComObjectFactory(&other, ComClassOf<TTestObject>(), CLSID_TestQuiet, L"Foreign", L"",
                                          ciMultiInstance);
    auto* second = new TComObjectFactory(&server, ComClassOf<TTestObject>(), CLSID_TestQuiet, L"Second", L"",
                                         ciMultiInstance);
    std::vector<std::wstring> seen;
    ComClassManager().ForEachFactory(&server, [&](TComObjectFactory* f) {
        seen.push_back(f->ClassName());
        if (f == factory) delete second; // the walk must skip what an earlier step freed
    });
    EXPECT_EQ(std::vector<std::wstring>{L"TestObject"}, seen);
    EXPECT_EQ(nullptr, ComClassManager().GetFactoryFromClassName(L"Second"));
    delete foreign;
    EXPECT_EQ(nullptr, ComClassManager().GetFactoryFromClassName(L"Foreign"));
}

TEST_F(ComObjTest, ObjectsAndFactoryReferencesAreCountedWithTheServer) {
    {
        TComPtr<ITestObject> a = NewObject(), b = NewObject();
        EXPECT_EQ(2, server.Objects.load());
        EXPECT_EQ(2, TTestObject::Alive.load());
    }
    EXPECT_EQ(0, server.Objects.load());
    EXPECT_EQ(0, TTestObject::Alive.load());
    TComPtr<IClassFactory> classFactory;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IClassFactory, classFactory.PutVoid()));
    EXPECT_EQ(1, server.Factories.load());
    classFactory.Reset();
    EXPECT_EQ(0, server.Factories.load()) << "the factory itself stays: the class manager owns it";
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(1, server.Objects.load());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(0, server.Objects.load());
}

TEST_F(ComObjTest, IDispatchCallsTheDualInterfaceThroughTheTypeInformation) {
    TComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, NewObject().As(dispatch));
    std::wstring name = L"join";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(2, id);
    // Arguments in their natural order: the first argument is the first joined.
    TOleVariant joined = DispatchInvoke(dispatch.Get(), id, DISPATCH_METHOD, {TOleVariant(L"a"), TOleVariant(L"b")});
    EXPECT_EQ(L"a+b", joined.ToString());
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              dispatch->Invoke(1, IID_ITestObject, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
    EXPECT_THROW(DispatchInvoke(dispatch.Get(), 99, DISPATCH_METHOD, {}), EOleSysError);
}

TEST_F(ComObjTest, AnExceptionBecomesTheMethodsFailureWithErrorInfo) {
    TComPtr<ITestObject> object = NewObject();
    const struct {
        long Code;
        HRESULT Expected;
        const wchar_t* Description;
    } cases[] = {{static_cast<long>(E_ACCESSDENIED), E_ACCESSDENIED, L"ole failure"},
                 {0, E_UNEXPECTED, L"plain failure"},
                 {1, E_UNEXPECTED, L"success code"}};
    for (const auto& c : cases) {
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(c.Expected, object->Fail(c.Code)) << c.Code;
        TComPtr<IErrorInfo> info;
        ASSERT_EQ(S_OK, GetErrorInfo(0, info.Put())) << c.Code;
        TBStr description, source;
        GUID guid{};
        info->GetDescription(description.Put());
        info->GetSource(source.Put());
        info->GetGUID(&guid);
        EXPECT_EQ(c.Description, description.ToString());
        EXPECT_EQ(L"TestServer.TestObject", source.ToString());
        EXPECT_TRUE(IsEqualGUID(CLSID_TestObject, guid));
    }
    TComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, object.As(support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_ITestObject));
    EXPECT_EQ(S_FALSE, support->InterfaceSupportsErrorInfo(IID_IPersist));
}

TEST_F(ComObjTest, AFailureThroughIDispatchCarriesTheDescription) {
    TComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, NewObject().As(dispatch));
    try {
        DispatchInvoke(dispatch.Get(), 3, DISPATCH_METHOD, {TOleVariant(static_cast<int32_t>(E_ACCESSDENIED))});
        FAIL() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(E_ACCESSDENIED, e.ErrorCode());
        EXPECT_EQ(L"ole failure", e.Message());
        EXPECT_EQ(L"TestServer.TestObject", e.Source());
    }
}

TEST_F(ComObjTest, AnAggregatedObjectSendsItsReferencesToTheController) {
    TComPtr<IPersist> outerPersist = MakeInterfaced<TOuter, IPersist>();
    auto* outer = static_cast<TOuter*>(outerPersist.Get());
    TComPtr<IUnknown> inner;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outerPersist.Get(), IID_ITestObject, inner.PutVoid()));
    EXPECT_FALSE(inner);
    ASSERT_EQ(S_OK, factory->CreateInstance(outerPersist.Get(), IID_IUnknown, inner.PutVoid()));
    outer->Inner = inner;
    const LONG before = outer->RefCount();
    {
        TComPtr<ITestObject> object;
        ASSERT_EQ(S_OK, outerPersist.As(object));
        EXPECT_EQ(before + 1, outer->RefCount()) << "the inner interface counts on the controller";
        // Its QueryInterface answers the controller's interfaces too.
        TComPtr<IPersist> back;
        EXPECT_EQ(S_OK, object.As(back));
        EXPECT_EQ(outerPersist.Get(), back.Get());
    }
    EXPECT_EQ(before, outer->RefCount());
    EXPECT_EQ(1, TTestObject::Alive.load());
    outer->Inner.Reset();
    inner.Reset();
    EXPECT_EQ(0, TTestObject::Alive.load());
}

TEST(ComRegistry, CreateAndDeleteKeysAndValues) {
    const std::wstring key = L"Software\\TamrelTest\\ComRegistry" + std::to_wstring(GetCurrentProcessId());
    CreateRegKey(key, L"", L"default", HKEY_CURRENT_USER);
    CreateRegKey(key, L"Named", L"value", HKEY_CURRENT_USER);
    EXPECT_EQ(L"default", RegString(HKEY_CURRENT_USER, key));
    EXPECT_EQ(L"value", RegString(HKEY_CURRENT_USER, key, L"Named"));
    DeleteRegValue(key, L"Named", HKEY_CURRENT_USER);
    EXPECT_FALSE(RegString(HKEY_CURRENT_USER, key, L"Named").has_value());
    DeleteRegKey(key, HKEY_CURRENT_USER);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key));
    DeleteRegKey(key, HKEY_CURRENT_USER); // gone already: nothing happens
    EXPECT_THROW(CreateRegKey(L"", L"", L"x", reinterpret_cast<HKEY>(0x1234)), EOleRegistrationError);
}

TEST(OleValues, BStrAndVariantOwnersKeepTheText) {
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

TEST(OleValues, OleCheckRaisesTheCodeWithItsSystemText) {
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
