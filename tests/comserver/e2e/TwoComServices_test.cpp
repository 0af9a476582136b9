// A program with two COM service modules under Wine's real manager and the debug library: the
// program-wide registration names the type library instead of a service, and a start whose
// factory fails to register fails, is logged, and leaves the other service running.
#include "tests/support/ComTestSupport.h"
#include "tests/support/DebugRunSupport.h"
#include "tests/support/ServiceTestSupport.h"

#include "ComTest_TLB.h"

#include <gtest/gtest.h>

using namespace tamrel::test;

namespace {

const std::wstring kLibID = L"{5E3C1D2A-8B7F-4A61-9C0E-2F4D6B8A1C37}";
const std::wstring kAppIDA = L"{6A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";
const std::wstring kTestObject = L"{7B9D1F3A-5C7E-4A2B-9D4F-6E8A0C2B4D6F}";
const std::wstring kQuiet = L"{3F5A7C9E-2B4D-4F6A-8C1E-5D7F9B1A3C5E}";

std::wstring Program() { return ProgramPath(L"test_comserver.exe"); }

void Uninstall() {
    RunProcess(Program() + L" /uninstall");
    TScm::Remove(L"TamrelComTestA");
    TScm::Remove(L"TamrelComTestB");
}

} // namespace

TEST(TwoComServices, RegistrationNamesTheTypeLibraryAndUninstallRemovesExactlyIt) {
    Uninstall();
    const auto before = RegistryListing(HKEY_CLASSES_ROOT);
    auto r = RunProcess(Program() + L" /install");
    ASSERT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    // The program's AppID is the type library's GUID, named by the library's help string.
    EXPECT_EQ(L"Tamrel COM test library", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kLibID));
    EXPECT_EQ(kLibID, RegString(HKEY_CLASSES_ROOT, L"AppID\\test_comserver.exe", L"AppID"));
    EXPECT_EQ(L"Tamrel COM test library", RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kLibID));
    EXPECT_EQ(kLibID, RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kLibID, L"AppID"));
    auto server = RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kLibID + L"\\LocalServer32");
    ASSERT_TRUE(server.has_value());
    EXPECT_EQ(0, lstrcmpiW((BinDir() + L"test_comserver.exe").c_str(), server->c_str()));
    // Each class points at its own service; with two services no service lends its name.
    EXPECT_EQ(kAppIDA, RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kTestObject, L"AppID"));
    EXPECT_EQ(L"", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppIDA));
    EXPECT_EQ(L"TamrelComTestA", RegString(HKEY_CLASSES_ROOT, L"AppID\\" + kAppIDA, L"LocalService"));
    EXPECT_EQ(L"1.2", RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kTestObject + L"\\Version"));
    EXPECT_EQ(L"TamrelComTestB.Quiet", RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + kQuiet + L"\\ProgID"));
    EXPECT_EQ(kQuiet, RegString(HKEY_CLASSES_ROOT, L"test_comserver.Quiet\\Clsid")) << "the program's own ProgID";
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + kQuiet + L"\\TypeLib")) << "an untyped class";

    r = RunProcess(Program() + L" /uninstall");
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    const auto after = RegistryListing(HKEY_CLASSES_ROOT);
    for (const auto& line : ListingMinus(after, before)) ADD_FAILURE() << "left behind: " << ToUtf8(line);
    for (const auto& line : ListingMinus(before, after)) ADD_FAILURE() << "removed: " << ToUtf8(line);
}

TEST(TwoComServices, AFactoryThatFailsToRegisterFailsItsServiceAndIsLogged) {
    TDebugSession run(Program() + L" /debug", {{L"TAMREL_TEST_FAIL_REGISTRATION", L"1"}}, 60000, true);
    ASSERT_TRUE(run.Connect());
    EXPECT_TRUE(Contains(run.Send("wait TamrelComTestA STOPPED"), "result=reached"));
    EXPECT_TRUE(Contains(run.Send("wait TamrelComTestB RUNNING"), "result=reached"));
    run.Send("stop TamrelComTestB");
    run.Finish();
    EXPECT_TRUE(HasEventText(run.Events(), EVENTLOG_ERROR_TYPE, 1, L"forced registration failure"));
    // The failed service reported running before its run began, then stopped.
    EXPECT_EQ((std::vector<std::string>{"START_PENDING(2)", "RUNNING(4)", "STOP_PENDING(3)", "STOPPED(1)"}),
              StatesOf(run.Log(), "TamrelComTestA"));
}
