// Installation and removal under Wine's real service manager: the record read back from the
// manager, and from the registry where Wine's manager does not answer (dependencies, account).
#include "tests/support/ServiceTestSupport.h"

#include "host/Registry.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const QUERY_SERVICE_CONFIGW* Config(const std::vector<uint8_t>& buf) {
    return reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buf.data());
}

} // namespace

TEST(ServiceInstall, RecordReadsBackFromTheServiceManager) {
    TServiceProgram p(L"test_service.exe", L"inst");
    const std::wstring name = p.ServiceName();
    std::wstring description(1023, L'd');
    p.SetModule(1, L"DisplayName", L"Tamrel install test");
    p.SetModule(1, L"Description", description);
    p.SetModule(1, L"ErrorSeverity", L"2");
    p.SetModule(1, L"LoadGroup", L"TamrelGroup");
    p.SetModule(1, L"Depends", L"RpcSs,,Tcpip"); // an empty entry must not hide the ones after it
    p.SetModule(1, L"Groups", L"NetGroup");
    p.SetModule(1, L"PreshutdownTimeout", L"5000");
    auto r = p.Run(L"/install");
    ASSERT_EQ(0u, r.ExitCode) << r.Err;

    auto buf = TScm::QueryConfig(name);
    ASSERT_FALSE(buf.empty());
    const auto* c = Config(buf);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), c->dwServiceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), c->dwStartType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_SEVERE), c->dwErrorControl);
    // No stored start token in this program: the image path is the program alone.
    EXPECT_EQ(p.Exe(), std::wstring(c->lpBinaryPathName));
    EXPECT_EQ(L"Tamrel install test", std::wstring(c->lpDisplayName));
    EXPECT_EQ(L"TamrelGroup", std::wstring(c->lpLoadOrderGroup));
    // Wine's manager answers dependencies empty; its registry record has them.
    EXPECT_EQ((std::vector<std::wstring>{L"RpcSs", L"Tcpip"}), TScm::RegistryMultiString(name, L"DependOnService"));
    EXPECT_EQ((std::vector<std::wstring>{L"NetGroup"}), TScm::RegistryMultiString(name, L"DependOnGroup"));

    auto desc = TScm::QueryConfig2(name, SERVICE_CONFIG_DESCRIPTION);
    ASSERT_FALSE(desc.empty());
    EXPECT_EQ(description, std::wstring(reinterpret_cast<SERVICE_DESCRIPTIONW*>(desc.data())->lpDescription));
    auto pre = TScm::QueryConfig2(name, SERVICE_CONFIG_PRESHUTDOWN_INFO);
    ASSERT_FALSE(pre.empty());
    EXPECT_EQ(5000u, reinterpret_cast<SERVICE_PRESHUTDOWN_INFO*>(pre.data())->dwPreshutdownTimeout);

    r = p.Run(L"/uninstall");
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_FALSE(TScm::Exists(name));
}

TEST(ServiceInstall, BlankDisplayNameInstallsTheServiceName) {
    TServiceProgram p(L"test_service.exe", L"blank");
    p.SetModule(1, L"DisplayName", L"   ");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    auto buf = TScm::QueryConfig(p.ServiceName());
    ASSERT_FALSE(buf.empty());
    EXPECT_EQ(p.ServiceName(), std::wstring(Config(buf)->lpDisplayName));
}

TEST(ServiceInstall, StoredStartTokenIsAppendedToTheImagePath) {
    TServiceProgram p(L"test_service_stored.exe", L"token");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    auto buf = TScm::QueryConfig(p.ServiceName());
    ASSERT_FALSE(buf.empty());
    EXPECT_EQ(p.Exe() + L" /startedbyscm:45F438C3-40E29052-Svc1", std::wstring(Config(buf)->lpBinaryPathName));
}

TEST(ServiceInstall, AccountSwitchesOnlyForAnOwnProcessModule) {
    {
        TServiceProgram p(L"test_service.exe", L"acct");
        ASSERT_EQ(0u, p.Run(L"/install /USER:.\\tamreluser /PASSWORD:secret").ExitCode);
        auto buf = TScm::QueryConfig(p.ServiceName());
        ASSERT_FALSE(buf.empty());
        EXPECT_EQ(L".\\tamreluser", std::wstring(Config(buf)->lpServiceStartName));
    }
    {
        // Two modules sharing a process: share-process type, no account.
        TServiceProgram p(L"test_service.exe", L"share");
        p.SetModules(2);
        ASSERT_EQ(0u, p.Run(L"/install /USER:.\\tamreluser /PASSWORD:secret").ExitCode);
        for (int m = 1; m <= 2; ++m) {
            auto buf = TScm::QueryConfig(p.ServiceName(m));
            ASSERT_FALSE(buf.empty());
            EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_SHARE_PROCESS), Config(buf)->dwServiceType);
            EXPECT_NE(L".\\tamreluser", std::wstring(Config(buf)->lpServiceStartName ? Config(buf)->lpServiceStartName : L""));
        }
    }
    {
        // An interactive module never takes an account.
        TServiceProgram p(L"test_service.exe", L"inter");
        p.SetModule(1, L"Interactive", L"1");
        ASSERT_EQ(0u, p.Run(L"/install /USER:.\\tamreluser /PASSWORD:secret").ExitCode);
        auto buf = TScm::QueryConfig(p.ServiceName());
        ASSERT_FALSE(buf.empty());
        EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS), Config(buf)->dwServiceType);
        EXPECT_NE(L".\\tamreluser", std::wstring(Config(buf)->lpServiceStartName ? Config(buf)->lpServiceStartName : L""));
    }
}

TEST(ServiceInstall, DelayedStartBeforeVistaSkipsTheDelayedLevel) {
    // On Windows 6.0 and later a delayed start sends the delayed-start level, which Wine refuses
    // (124). Run as Windows XP through Wine's per-program version setting: the level is not sent
    // and the install succeeds.
    TServiceProgram p(L"test_service.exe", L"xp");
    p.SetModule(1, L"StartType", L"5"); // stDealyedAutostart
    std::wstring exeName = ExtractFileName(p.Exe());
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    std::wstring key = L"\\Software\\Wine\\AppDefaults\\" + exeName;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(L"Version", L"winxp64");
    reg.CloseKey();
    auto r = p.Run(L"/install");
    reg.DeleteKey(key);
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    auto buf = TScm::QueryConfig(p.ServiceName());
    ASSERT_FALSE(buf.empty());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), Config(buf)->dwStartType);

    // As Windows 7 a plain automatic start does not ask for the level and installs.
    TServiceProgram q(L"test_service.exe", L"w7");
    q.SetModule(1, L"StartType", L"2"); // stAuto
    EXPECT_EQ(0u, q.Run(L"/install").ExitCode);
}

TEST(ServiceInstall, AStepThatFailsAfterTheCreationLeavesNoRecordBehind) {
    // As Windows 7 a delayed start sends its level, which Wine refuses once the record is made.
    TServiceProgram p(L"test_service.exe", L"w7delayed");
    p.SetModule(1, L"StartType", L"5"); // stDealyedAutostart
    for (int attempt = 1; attempt <= 2; ++attempt) { // the second one is not answered 1073
        auto r = p.Run(L"/install");
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), r.ExitCode) << attempt << r.Err;
        EXPECT_NE(std::string::npos, r.Err.find("Code: 124")) << r.Err;
        EXPECT_TRUE(TScm::WaitGone(p.ServiceName())) << attempt;
    }
}

TEST(ServiceUninstall, StopsARunningServiceAndDeletesIt) {
    TServiceProgram p(L"test_service.exe", L"uninst");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    auto r = p.Run(L"/uninstall");
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    EXPECT_TRUE(p.WaitEvidence("Svc1 stop"));
    EXPECT_TRUE(TScm::WaitGone(p.ServiceName()));
}

TEST(ServiceUninstall, FailsForAServiceThatNeverStops) {
    TServiceProgram p(L"test_service.exe", L"nostop");
    p.SetModule(1, L"DisplayName", L"Stubborn");
    p.SetModule(1, L"StopAnswer", L"0");
    p.SetModule(1, L"WaitHint", L"200");
    ASSERT_EQ(0u, p.Run(L"/install").ExitCode);
    ASSERT_EQ(0u, TScm::Start(p.ServiceName()));
    ASSERT_TRUE(TScm::WaitState(p.ServiceName(), SERVICE_RUNNING));
    DWORD start = GetTickCount();
    auto r = p.Run(L"/uninstall");
    DWORD took = GetTickCount() - start;
    EXPECT_NE(std::string::npos, r.Err.find("Stubborn failed to stop")) << r.Err;
    EXPECT_GE(took, 600u); // three wait hints
    EXPECT_TRUE(TScm::Exists(p.ServiceName()));
}

TEST(ServiceInstall, AnImagePathWithABlankIsQuoted) {
    // Unquoted, "C:\dir with blank\prog.exe" lets the manager try "C:\dir.exe" first.
    std::wstring dir = BinDir() + L"with blank\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    for (const wchar_t* dll : {L"tamrelrt64.dll", L"libstdc++-6.dll", L"libgcc_s_seh-1.dll", L"libwinpthread-1.dll"})
        CopyFileW((BinDir() + dll).c_str(), (dir + dll).c_str(), FALSE);
    std::wstring exe = dir + L"test_service_stored.exe";
    ASSERT_TRUE(CopyFileW((BinDir() + L"test_service_stored.exe").c_str(), exe.c_str(), FALSE));
    std::wstring name = L"TamrelTestBlank_" + std::to_wstring(GetCurrentProcessId());
    WritePrivateProfileStringW(L"Svc1", L"ServiceName", name.c_str(), (dir + L"test_service_stored.ini").c_str());
    auto r = RunProcess(L"\"" + exe + L"\" /install");
    EXPECT_EQ(0u, r.ExitCode) << r.Err;
    auto buf = TScm::QueryConfig(name);
    ASSERT_FALSE(buf.empty());
    EXPECT_EQ(L"\"" + exe + L"\" /startedbyscm:45F438C3-40E29052-Svc1", std::wstring(Config(buf)->lpBinaryPathName));
    // And the manager starts it from there.
    EXPECT_EQ(0u, TScm::Start(name));
    EXPECT_TRUE(TScm::WaitState(name, SERVICE_RUNNING));
    TScm::Remove(name);
    DeleteFileW(exe.c_str());
    DeleteFileW((dir + L"test_service_stored.ini").c_str());
}
