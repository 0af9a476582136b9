// The service-bound factories in-process: how they name and register their class, and the keys
// they write under HKEY_CLASSES_ROOT for a service module of the program. Each test makes its own
// service modules (owned by the service application, as a program's are) and removes the keys it
// wrote.
#include "comserver/Tamrel_ComServ.h"
#include "tests/support/ComTestObjects.h"
#include "tests/support/ComTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// GUIDs of classes that exist only for these tests.
const GUID kClassA = {0x1D2E3F4A, 0x5B6C, 0x4D7E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};
const std::wstring kClassAText = L"{1D2E3F4A-5B6C-4D7E-8F90-A1B2C3D4E5F6}";
const std::wstring kAppID = L"{2E3F4A5B-6C7D-4E8F-90A1-B2C3D4E5F607}";

// A COM service module of the service application for the life of the object.
class TModule {
public:
    explicit TModule(const std::wstring& name, const std::wstring& appid = kAppID) {
        FService = Create<TComService>(Application.Get());
        FService->SetServiceName(name);
        FService->SetDisplayName(name + L" display");
        FService->SetAppID(appid);
    }
    ~TModule() { Free(FService); }
    TComService* operator->() const { return FService; }

private:
    TComService* FService;
};

struct SvcFactoryTest : ::testing::Test {
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    void TearDown() override {
        // What a failed test may have left.
        for (const std::wstring& key : {L"CLSID\\" + kClassAText, L"AppID\\" + kAppID, std::wstring(L"SvcA.ClassA"),
                                       std::wstring(L"svca.ClassA"), std::wstring(L"comserver_tests.ClassA")})
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    }
};

} // namespace

TEST_F(SvcFactoryTest, SingleInstanceBecomesMultiInstanceAndTheModelIsAlwaysSingle) {
    const struct {
        TClassInstancing Given, Used;
    } cases[] = {{ciSingleInstance, ciMultiInstance}, {ciMultiInstance, ciMultiInstance}, {ciInternal, ciInternal}};
    for (const auto& c : cases) {
        TSvcComObjectFactory plain(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"ClassA", L"", c.Given, L"SvcA");
        EXPECT_EQ(c.Used, plain.Instancing()) << c.Given;
        EXPECT_EQ(tmSingle, plain.ThreadingModel());
        TSvcAutoObjectFactory automation(SvcComServer(), ComClassOf<TTestObject>(), CLSID_TestObject, c.Given, L"SvcA");
        EXPECT_EQ(c.Used, automation.Instancing()) << c.Given;
    }
}

TEST_F(SvcFactoryTest, ProgIDsComeFromTheServiceAndTheProgram) {
    const struct {
        const wchar_t* Service;
        const wchar_t* Class;
        const wchar_t* ProgID;
        const wchar_t* AltProgID;
    } cases[] = {{L"SvcA", L"ClassA", L"SvcA.ClassA", L"comserver_tests.ClassA"},
                 {L"", L"ClassA", L"", L"comserver_tests.ClassA"},
                 {L"SvcA", L"", L"", L""}};
    for (const auto& c : cases) {
        TSvcComObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), kClassA, c.Class, L"", ciMultiInstance,
                               c.Service);
        EXPECT_EQ(c.ProgID, f.ProgID()) << ToUtf8(c.Service) << "/" << ToUtf8(c.Class);
        EXPECT_EQ(c.AltProgID, f.AltProgID()) << ToUtf8(c.Service) << "/" << ToUtf8(c.Class);
    }
}

TEST_F(SvcFactoryTest, RegisteringTheClassObjectIsIdempotentAndInternalClassesNeverRegister) {
    TSvcComObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"ClassA", L"", ciMultiInstance, L"SvcA");
    f.UnRegisterClassObject(); // not registered: nothing
    f.RegisterClassObject();
    const DWORD cookie = f.Registered();
    EXPECT_NE(0u, cookie);
    f.RegisterClassObject();
    EXPECT_EQ(cookie, f.Registered()) << "a second registration does nothing";
    f.UnRegisterClassObject();
    EXPECT_EQ(0u, f.Registered());
    TSvcComObjectFactory internal(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"ClassA", L"", ciInternal,
                                  L"SvcA");
    internal.RegisterClassObject();
    EXPECT_EQ(0u, internal.Registered());
    TModule module(L"SvcA");
    internal.UpdateRegistry(true);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClassAText)) << "nor touches the registry";
}

TEST_F(SvcFactoryTest, TheClassKeysPointComAtTheServiceAndGoAgain) {
    TModule module(L"SvcA");
    TSvcComObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"ClassA", L"Class A", ciMultiInstance,
                           L"svca");
    const auto before = RegistryListing(HKEY_CLASSES_ROOT, L"CLSID");
    f.UpdateRegistry(true);
    const std::wstring classKey = L"CLSID\\" + kClassAText;
    EXPECT_EQ(L"Class A", RegString(HKEY_CLASSES_ROOT, classKey));
    EXPECT_EQ(kAppID, RegString(HKEY_CLASSES_ROOT, classKey, L"AppID"));
    EXPECT_EQ(L"svca", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID, L"LocalService"));
    EXPECT_EQ(L"SvcA display", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID)) << "the one COM service's name";
    EXPECT_EQ(L"svca.ClassA", RegString(HKEY_CLASSES_ROOT, classKey + L"\\ProgID"));
    EXPECT_EQ(kClassAText, RegString(HKEY_CLASSES_ROOT, L"svca.ClassA\\Clsid"));
    EXPECT_EQ(L"Class A", RegString(HKEY_CLASSES_ROOT, L"comserver_tests.ClassA"));
    EXPECT_EQ(kClassAText, RegString(HKEY_CLASSES_ROOT, L"comserver_tests.ClassA\\Clsid"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey + L"\\LocalServer32"));
    f.UpdateRegistry(false);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"svca.ClassA"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"comserver_tests.ClassA"));
    EXPECT_EQ(before, RegistryListing(HKEY_CLASSES_ROOT, L"CLSID"));
}

TEST_F(SvcFactoryTest, WithTwoComServicesTheAppIDHasNoName) {
    TModule a(L"SvcA"), b(L"SvcB", L"{3F4A5B6C-7D8E-4F90-A1B2-C3D4E5F60718}");
    TSvcComObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"ClassA", L"", ciMultiInstance, L"SvcA");
    f.UpdateRegistry(true);
    EXPECT_EQ(L"", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID));
    f.UpdateRegistry(false);
}

TEST_F(SvcFactoryTest, WithoutItsServiceNothingIsWrittenOrRemoved) {
    TSvcComObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"ClassA", L"", ciMultiInstance,
                           L"NoSuchService");
    const auto before = RegistryListing(HKEY_CLASSES_ROOT, L"CLSID");
    f.UpdateRegistry(true);
    f.UpdateRegistry(false);
    EXPECT_EQ(before, RegistryListing(HKEY_CLASSES_ROOT, L"CLSID"));
    try {
        ComServiceDisplayName(L"NoSuchService");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(L"DCOM registration failed. Service with name \"NoSuchService\" not found", e.Message());
    }
}

TEST_F(SvcFactoryTest, WithoutAProgIDUnregisteringLeavesTheServiceKeys) {
    // The keys that go with the ProgID are removed only with it: a class without a name leaves
    // the AppID key behind, as it always did.
    TModule module(L"SvcA");
    TSvcComObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), kClassA, L"", L"Nameless", ciMultiInstance, L"SvcA");
    f.UpdateRegistry(true);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClassAText + L"\\ProgID"));
    f.UpdateRegistry(false);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kClassAText));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID));
}

TEST_F(SvcFactoryTest, TypedClassesAddTheirTypeLibraryKeys) {
    TModule module(L"SvcA");
    TSvcAutoObjectFactory f(SvcComServer(), ComClassOf<TTestObject>(), CLSID_TestObject, ciMultiInstance, L"SvcA");
    const std::wstring classKey = L"CLSID\\{7B9D1F3A-5C7E-4A2B-9D4F-6E8A0C2B4D6F}";
    f.UpdateRegistry(true);
    EXPECT_EQ(L"1.2", RegString(HKEY_CLASSES_ROOT, classKey + L"\\Version"));
    EXPECT_EQ(L"{5E3C1D2A-8B7F-4A61-9C0E-2F4D6B8A1C37}", RegString(HKEY_CLASSES_ROOT, classKey + L"\\TypeLib"));
    EXPECT_EQ(L"SvcA.TestObject", RegString(HKEY_CLASSES_ROOT, classKey + L"\\ProgID"));
    f.UpdateRegistry(false);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey));
}

namespace {
std::vector<std::wstring> gComponentCalls;
void ComponentRegistry(bool doRegister, const std::wstring& classID, const std::wstring& progID) {
    gComponentCalls.push_back((doRegister ? L"register " : L"unregister ") + classID + L" " + progID);
    if (!doRegister) throw Exception(L"the component class's own entries are gone");
}
} // namespace

TEST_F(SvcFactoryTest, ComponentClassesMarkSocketAndWebUseAndRegisterThemselves) {
    TModule module(L"SvcA");
    const std::wstring classKey = L"CLSID\\{7B9D1F3A-5C7E-4A2B-9D4F-6E8A0C2B4D6F}";
    gComponentCalls.clear();
    TComponentClass componentClass{ComClassOf<TTestObject>(), &ComponentRegistry};
    {
        TSvcComponentFactory f(SvcComServer(), componentClass, CLSID_TestObject, ciMultiInstance, L"SvcA", true, false);
        CreateRegKey(classKey, L"Web", L"1"); // from an earlier registration
        f.UpdateRegistry(true);
        EXPECT_EQ(L"1", RegString(HKEY_CLASSES_ROOT, classKey, L"Sockets"));
        EXPECT_FALSE(RegString(HKEY_CLASSES_ROOT, classKey, L"Web").has_value());
        EXPECT_EQ(L"1.2", RegString(HKEY_CLASSES_ROOT, classKey + L"\\Version"));
        f.UpdateRegistry(false); // the component class raises: the rest still goes
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey + L"\\TypeLib"));
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"SvcA.TestObject"));
    }
    const std::vector<std::wstring> calls = {
        L"register {7B9D1F3A-5C7E-4A2B-9D4F-6E8A0C2B4D6F} SvcA.TestObject",
        L"unregister {7B9D1F3A-5C7E-4A2B-9D4F-6E8A0C2B4D6F} SvcA.TestObject"};
    EXPECT_EQ(calls, gComponentCalls);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str()); // the Sockets value is left alone on unregistering
}
