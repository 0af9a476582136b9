// A program with two COM service modules, for the end-to-end tests of the COM server units.
// TamrelComTestA serves TestObject (an automation class of the test type library), TamrelComTestB
// serves an untyped class. With TAMREL_TEST_FAIL_REGISTRATION set in its environment, the first
// registration of TestObject's class object fails.
#include "comserver/Tamrel_ComServ.h"
#include "tests/comserver/programs/FailingOnceFactory.h"
#include "tests/support/ComTestObjects.h"

using namespace tamrel;
using namespace tamrel::test;

namespace {

void MakeModule(const wchar_t* name, const wchar_t* appid) {
    TComService* service = nullptr;
    Application->CreateForm(service);
    service->SetName(name);
    service->SetServiceName(name);
    service->SetAppID(appid);
    service->SetStartType(stManual);
}

} // namespace

int wmain() {
    auto* testObject = new TFailingOnceFactory<TSvcAutoObjectFactory>(
        InitializeComServ(), ComClassOf<TTestObject>(), CLSID_TestObject, ciMultiInstance, L"TamrelComTestA");
    testObject->FailNext = GetEnvironmentVariableW(L"TAMREL_TEST_FAIL_REGISTRATION", nullptr, 0) > 0;
    new TSvcComObjectFactory(InitializeComServ(), ComClassOf<TTestObject>(), CLSID_TestQuiet, L"Quiet",
                             L"Untyped test class", ciSingleInstance, L"TamrelComTestB");
    Application->Initialize();
    MakeModule(L"TamrelComTestA", L"{6A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}");
    MakeModule(L"TamrelComTestB", L"{7B2C3D4E-5F6A-4B7C-9D8E-0F1A2B3C4D5E}");
    Application->Run();
    return 0;
}
