// The program's COM server object in-process: starting and stopping the factories of one service
// by name, the program-wide registration, and a service whose start fails part-way.
#include "comserver/Tamrel_ComServ.h"
#include "tests/comserver/programs/FailingOnceFactory.h"
#include "tests/runtime/service/ServiceRunSupport.h"
#include "tests/support/ComTestObjects.h"
#include "tests/support/ComTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const GUID kClassA = {0x4A5B6C7D, 0x8E9F, 0x40A1, {0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18, 0x29}};
const GUID kClassB = {0x5B6C7D8E, 0x9FA0, 0x41B2, {0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18, 0x29, 0x3A}};
const std::wstring kLibID = L"{5E3C1D2A-8B7F-4A61-9C0E-2F4D6B8A1C37}";
const std::wstring kAppID = L"{6C7D8E9F-A0B1-42C3-D4E5-F60718293A4B}";

TComService* NewModule(const std::wstring& name, const std::wstring& appid = kAppID) {
    auto* service = Create<TComService>(Application.Get());
    service->SetServiceName(name);
    service->SetAppID(appid);
    return service;
}

// Whether another apartment of this process reaches the class object through COM. The service
// registers its factories right after it reported running: the answer is awaited that long.
HRESULT ReachClass(const GUID& clsid) {
    HRESULT result = E_FAIL;
    std::thread([&] {
        TComApartment apartment;
        const DWORD start = GetTickCount();
        do {
            TComPtr<IClassFactory> factory;
            result = CoGetClassObject(clsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory, factory.PutVoid());
            if (result != REGDB_E_CLASSNOTREG) break;
            Sleep(20);
        } while (GetTickCount() - start < 5000);
    }).join();
    return result;
}

struct ComServTest : ::testing::Test {
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    TSvcComServer* server = InitializeComServ();
};

// A module run in-process (the manager's part played by recorders) with two classes bound to it;
// the second class's factory fails once where a test asks it to.
struct TTwoClassModule {
    TStatusLog log;
    TServiceSlots slots{&log};
    TComService* service;
    TSvcComObjectFactory first;
    TFailingOnceFactory<TSvcComObjectFactory> second;

    TTwoClassModule(TSvcComServer* server, const std::wstring& name)
        : service(NewModule(name)),
          first(server, ComClassOf<TTestObject>(), kClassA, L"A", L"", ciMultiInstance, name),
          second(server, ComClassOf<TTestObject>(), kClassB, L"B", L"", ciMultiInstance, name) {
        service->SetWaitHint(100);
    }
    ~TTwoClassModule() { Free(service); }
};

} // namespace

TEST_F(ComServTest, FactoriesStartAndStopByTheirServiceNameOnly) {
    TSvcComObjectFactory a(server, ComClassOf<TTestObject>(), kClassA, L"A", L"", ciMultiInstance, L"SvcOne");
    TSvcComObjectFactory b(server, ComClassOf<TTestObject>(), kClassB, L"B", L"", ciMultiInstance, L"SvcTwo");
    server->StartServiceFactories(L"SVCONE");
    EXPECT_NE(0u, a.Registered());
    EXPECT_EQ(0u, b.Registered());
    server->StartServiceFactories(L"NoSuchService"); // registers nothing, raises nothing
    EXPECT_EQ(0u, b.Registered());
    server->StopServiceFactories(L"svcone");
    EXPECT_EQ(0u, a.Registered());
}

TEST_F(ComServTest, AStartThatFailedPartWayLeavesNoClassBehindAndTheNextStartRegistersAll) {
    TTwoClassModule module(server, L"ComTwoStarts");
    auto& [log, slots, service, first, second] = module;
    {
        TServiceRun run(service);
        run.Start();
        run.Join(); // the failed start ends the run
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), log.Last());
    EXPECT_EQ(0u, first.Registered()) << "revoked with the apartment it was registered from";
    {
        TServiceRun run(service);
        const size_t reports = log.Count();
        run.Start();
        ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, reports + 1));
        EXPECT_EQ(S_OK, ReachClass(kClassA));
        EXPECT_EQ(S_OK, ReachClass(kClassB));
        run.StopAndJoin();
    }
    EXPECT_EQ(0u, first.Registered());
    EXPECT_EQ(0u, second.Registered());
}

TEST_F(ComServTest, APauseOrContinueWhoseFactoriesFailIsRefusedWithTheClassesAsBefore) {
    TTwoClassModule module(server, L"ComRefusedSwitch");
    auto& [log, slots, service, first, second] = module;
    second.FailNext = false;
    TServiceRun run(service);
    run.Start();
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000));
    ASSERT_EQ(S_OK, ReachClass(kClassB)); // both registered once this answers

    // The first factory is revoked, the second refuses: the pause is refused, both stay.
    second.FailNextRevoke = true;
    size_t reports = log.Count();
    service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_RUNNING, 5000, reports + 2)) << "the former state is reported again";
    EXPECT_NE(0u, first.Registered());
    EXPECT_NE(0u, second.Registered());

    reports = log.Count();
    service->Controller(SERVICE_CONTROL_PAUSE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_PAUSED, 5000, reports + 2));
    // The first factory is registered, the second refuses: the continue is refused, none is left.
    second.FailNext = true;
    reports = log.Count();
    service->Controller(SERVICE_CONTROL_CONTINUE, 0, nullptr);
    ASSERT_TRUE(log.WaitFor(SERVICE_PAUSED, 5000, reports + 2)) << "the former state is reported again";
    EXPECT_EQ(0u, first.Registered());
    EXPECT_EQ(0u, second.Registered());
}

TEST_F(ComServTest, OneComServiceLendsItsAppIDAndNameTwoUseTheTypeLibrary) {
    TComService* one = NewModule(L"SvcOnly");
    one->SetDisplayName(L"Only service");
    EXPECT_EQ(kAppID, GUIDToString(server->GetServerAppID()));
    TComService* two = NewModule(L"SvcOther", L"{7D8E9FA0-B1C2-43D4-E5F6-0718293A4B5C}");
    EXPECT_EQ(kLibID, GUIDToString(server->GetServerAppID()));
    Free(two);
    // A plain service beside the COM service: the type library again.
    TNtService* plain = Create<TNtService>(Application.Get());
    plain->SetServiceName(L"SvcPlain");
    EXPECT_EQ(kLibID, GUIDToString(server->GetServerAppID()));
    Free(plain);
    Free(one);
}

TEST_F(ComServTest, TheProgramsAppIDKeysAreWrittenEveryTimeAndTheClassKeysOnce) {
    // This process's server object registers once per process in each direction: everything
    // about the class keys is checked in this one test.
    TComService* one = NewModule(L"SvcReg");
    one->SetDisplayName(L"Registered service");
    TSvcAutoObjectFactory factory(server, ComClassOf<TTestObject>(), CLSID_TestObject, ciMultiInstance, L"SvcReg");
    const std::wstring exeKey = L"AppID\\comserver_tests.exe";
    const std::wstring classKey = L"CLSID\\{7B9D1F3A-5C7E-4A2B-9D4F-6E8A0C2B4D6F}";

    server->UpdateServerRegistry(true);
    EXPECT_EQ(L"Registered service", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID));
    EXPECT_EQ(kAppID, RegString(HKEY_CLASSES_ROOT, exeKey, L"AppID"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kAppID)) << "one service: no program class";
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + kLibID + L"\\1.2"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, classKey + L"\\TypeLib"));

    DeleteRegKey(exeKey);
    DeleteRegKey(classKey + L"\\TypeLib");
    server->UpdateServerRegistry(true);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, exeKey)) << "the AppID keys every time";
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey + L"\\TypeLib")) << "the factories' keys once";

    server->UpdateServerRegistry(false);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, exeKey));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"AppID\\" + kAppID));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + kLibID + L"\\1.2\\0"));
    CreateRegKey(exeKey, L"AppID", kAppID);
    server->UpdateServerRegistry(false);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, exeKey)) << "the AppID keys go every time too";
    Free(one);
}

TEST(ComServUntyped, AProgramWithUntypedFactoriesAloneNeverLoadsItsTypeLibrary) {
    TComApartment apartment{COINIT_APARTMENTTHREADED};
    TSvcComServer own; // its own server object: nothing has loaded its library yet
    TComService* one = NewModule(L"SvcUntyped");
    TSvcComObjectFactory factory(&own, ComClassOf<TTestObject>(), kClassA, L"A", L"", ciMultiInstance, L"SvcUntyped");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + kLibID).c_str());
    own.UpdateServerRegistry(true);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + kLibID)) << "no type library registered";
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\{4A5B6C7D-8E9F-40A1-B2C3-D4E5F6071829}"));
    own.UpdateServerRegistry(false);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\{4A5B6C7D-8E9F-40A1-B2C3-D4E5F6071829}"));
    Free(one);
}

