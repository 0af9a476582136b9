#include "runtime/service/Tamrel_WinSvc.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"
#include "tests/support/DebugRunSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// ---------------------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------------------

TProcessResult RunProbe(const std::wstring& exe, const std::wstring& mode, const std::wstring& args,
                        std::map<std::wstring, std::wstring> env = {}) {
    env[L"WINSVC_PROBE"] = mode;
    return RunProcess(ProgramPath(exe) + (args.empty() ? L"" : L" " + args), env, 30000);
}

// The tiny service program run with /debug on a thread of its own, driven through the pipe.
class TDebugRun {
public:
    TDebugRun(const std::wstring& args)
        : FPipeName(UniqueName(L"tamreldbg-test-")), FLog(TempFileName(L"dbglog")),
          FEvidence(TempFileName(L"evidence")) {
        std::wstring cmd =
            ProgramPath(L"winsvc_tinysvc.exe") + L" /debug " + args + L" \"/evidence:" + FEvidence + L"\"";
        std::map<std::wstring, std::wstring> env = {{L"TAMRELDBG_PIPE", FPipeName}, {L"TAMRELDBG_LOG", FLog}};
        FThread = std::thread([this, cmd, env] { FResult = RunProcess(cmd, env, 60000); });
    }
    ~TDebugRun() {
        if (FThread.joinable()) FThread.join();
        DeleteFileW(FLog.c_str());
        DeleteFileW(FEvidence.c_str());
    }

    bool Connect() { return FClient.Connect(L"\\\\.\\pipe\\" + FPipeName, 30000); }
    std::string Send(const std::string& command) { return FClient.Send(command); }
    // Waits for the program to end, then lets go of the pipe: a record the pipe's thread logged
    // while the process ended could reach stderr and not the log file.
    const TProcessResult& Finish() {
        if (FThread.joinable()) FThread.join();
        FClient.Close();
        return FResult;
    }
    std::vector<std::string> Log() const { return LogRecords(ReadFileBytes(FLog)); }
    const std::wstring& LogFile() const { return FLog; }
    std::vector<std::string> Evidence() const { return SplitLines(ReadFileBytes(FEvidence)); }

private:
    std::wstring FPipeName, FLog, FEvidence;
    TPipeClient FClient;
    TProcessResult FResult;
    std::thread FThread;
};


// ---------------------------------------------------------------------------------------------
// Switch finder (probe with chosen command lines)
// ---------------------------------------------------------------------------------------------

struct TFindCase {
    const wchar_t* Args;
    const char* Name;
    bool Found;
    const char* Value;
};

TEST(SwitchFinder, MatchesTheCommandLineGrammar) {
    const TFindCase cases[] = {
        {L"-debug", "debug", true, ""},
        {L"/Debug", "debug", true, ""},
        {L"/start", "start", true, ""},
        {L"/start:", "start", true, ""},
        {L"/start:A:B", "start", true, "A:B"},
        {L"/start=MySvc", "start", true, "MySvc"},
        {L"/START=a=b", "start", true, "a=b"},
        {L"/installX /install", "install", true, ""},
        {L"-INSTALL", "install", true, ""},
        {L"install", "install", false, ""},
        {L"/installer", "install", false, ""},
        {L"/uninstall", "install", false, ""},
        {L"/uninstall", "uninstall", true, ""},
        {L"/st", "start", false, ""},
        {L"/start:first /start:second", "start", true, "first"},
        {L"/startx:1 /start:2", "start", true, "2"},
        {L"\"/path:C:\\Program Files\\x\"", "path", true, "C:\\Program Files\\x"},
        {L"\"\" / -", "debug", false, ""},
        {L"", "debug", false, ""},
        {L"/\u00c9TAT:x", "\u00e9tat", true, "x"},
    };
    for (const auto& c : cases) {
        std::wstring name = FromUtf8(c.Name);
        TProcessResult r = RunProbe(L"winsvc_probe.exe", L"find", c.Args, {{L"WINSVC_FIND", name}});
        const std::string expected = std::string("find ") + c.Name + " found=" + (c.Found ? "1" : "0") +
                                     " value=[" + c.Value + "] command=" + (c.Found ? "1" : "0");
        EXPECT_EQ(0u, r.ExitCode) << ToUtf8(c.Args);
        EXPECT_TRUE(Contains(r.Out, expected))
            << "args: " << ToUtf8(c.Args) << "\nexpected: " << expected << "\nout: " << r.Out;
    }
}

// ---------------------------------------------------------------------------------------------
// The one-time loader (probe programs beside test copies of the library)
// ---------------------------------------------------------------------------------------------

struct TLoaderOutcome {
    std::string Result; // the loader line
    bool Loaded = false;
    std::vector<bool> Slots; // per export, in binding order
    std::string Again;       // the second loader call
    std::string Cs2a;        // the ANSI configuration call
};

TLoaderOutcome RunLoaderProbe(const std::wstring& exe, const std::wstring& args) {
    TProcessResult r = RunProbe(exe, L"loader", args);
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    TLoaderOutcome o;
    for (const auto& line : SplitLines(r.Out)) {
        if (line.rfind("loader ", 0) == 0)
            o.Result = line.substr(7);
        else if (line.rfind("again ", 0) == 0)
            o.Again = line.substr(6);
        else if (line.rfind("cs2a ", 0) == 0)
            o.Cs2a = line.substr(5);
        else if (line.rfind("ran=1 ", 0) == 0)
            o.Loaded = Contains(line, "loaded=1");
        else if (line.rfind("slot ", 0) == 0)
            o.Slots.push_back(line.back() == '1');
    }
    EXPECT_EQ(static_cast<size_t>(RkDebugExportCount), o.Slots.size()) << r.Out;
    o.Slots.resize(RkDebugExportCount);
    return o;
}

int ExportIndex(const char* name) {
    for (int i = 0; i < RkDebugExportCount; ++i)
        if (std::strcmp(RkDebugExportNames[i], name) == 0) return i;
    return -1;
}

TEST(DebugLoader, LoadsNothingWithoutDebugOrWithAConfigureSwitch) {
    for (const wchar_t* args : {L"", L"/debugger", L"/debug /install", L"-DEBUG /UnInstall",
                                L"/debug /reinstall:x", L"/Install /debug"}) {
        TLoaderOutcome o = RunLoaderProbe(L"winsvc_probe.exe", args);
        EXPECT_EQ("result=ok", o.Result) << ToUtf8(args);
        EXPECT_FALSE(o.Loaded) << ToUtf8(args);
        EXPECT_EQ(0, std::count(o.Slots.begin(), o.Slots.end(), true)) << ToUtf8(args);
        // The ANSI configuration call goes to the wide function, with the text converted.
        EXPECT_EQ("ok=1 error=0 recorded=1 text=[probe text]", o.Cs2a) << ToUtf8(args);
    }
}

TEST(DebugLoader, BindsEveryExportOfTheLibrary) {
    TLoaderOutcome o = RunLoaderProbe(L"winsvc_probe.exe", L"/debug");
    EXPECT_EQ("result=ok", o.Result);
    EXPECT_TRUE(o.Loaded);
    EXPECT_EQ(RkDebugExportCount, std::count(o.Slots.begin(), o.Slots.end(), true));
    // The library's ANSI export takes the call (and refuses the made-up handle).
    EXPECT_EQ("ok=0 error=6 recorded=0 text=[]", o.Cs2a);
}

TEST(DebugLoader, LibraryWithoutTheOptionalExportsLoads) {
    TLoaderOutcome o = RunLoaderProbe(L"winsvc\\nooptional\\winsvc_probe.exe", L"/debug");
    EXPECT_EQ("result=ok", o.Result);
    EXPECT_TRUE(o.Loaded);
    for (int i = 0; i < RkDebugExportCount; ++i)
        EXPECT_EQ(i != ExportIndex("DebugChangeServiceConfig2") && i != ExportIndex("DebugRegisterServiceCtrlHandlerExW"),
                  o.Slots[static_cast<size_t>(i)])
            << RkDebugExportNames[i];
    // RkChangeServiceConfig2A falls through to the wide function.
    EXPECT_EQ("ok=1 error=0 recorded=1 text=[probe text]", o.Cs2a);
}

TEST(DebugLoader, MissingExportStopsTheBindingAndIsNotRetried) {
    struct Case {
        const wchar_t* Exe;
        const char* Missing;
    } cases[] = {{L"winsvc\\nosendvalue\\winsvc_probe.exe", "SendValue"},
                 {L"winsvc\\nofirst\\winsvc_probe.exe", "DebugRegisterServiceCtrlHandlerW"}};
    for (const auto& c : cases) {
        TLoaderOutcome o = RunLoaderProbe(c.Exe, L"/debug");
        EXPECT_EQ("result=exception message=[Error loading tamreldbg library]", o.Result) << c.Missing;
        EXPECT_TRUE(o.Loaded) << c.Missing;
        const int missing = ExportIndex(c.Missing);
        for (int i = 0; i < RkDebugExportCount; ++i)
            EXPECT_EQ(i < missing, o.Slots[static_cast<size_t>(i)])
                << c.Missing << ": " << RkDebugExportNames[i];
        EXPECT_EQ("result=ok", o.Again) << c.Missing;
    }
}

TEST(DebugLoader, MissingLibraryRaisesTheSystemErrorOnce) {
    // The library search includes the current directory: the probe's own, without a library.
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW((BinDir() + L"winsvc\\nolib").c_str()));
    TScopeExit restore([&] { SetCurrentDirectoryW(saved); });
    TLoaderOutcome o = RunLoaderProbe(L"winsvc\\nolib\\winsvc_probe.exe", L"/debug");
    EXPECT_EQ("result=eoserror code=126", o.Result);
    EXPECT_FALSE(o.Loaded);
    EXPECT_EQ(0, std::count(o.Slots.begin(), o.Slots.end(), true));
    EXPECT_EQ("result=ok", o.Again);
}

// In this process the command line has no /debug: the loader binds nothing.
TEST(DebugLoader, WithoutTheLibraryEveryDebugEventReturnsAtOnce) {
    VARIANT v;
    VariantInit(&v);
    RkSendCheckpoint("a", 1);
    RkSendCheckpoint(L"w", 1);
    RkSendClearToCheckpoint();
    RkSendClearAll();
    RkSendValue(dekInfo, "a", v, 0);
    RkSendValue(dekWarning, L"w", v, 0);
    RkSendMethodEnter("a", 0);
    RkSendMethodEnter(L"w", 0);
    RkSendMethodLeave("a", 0);
    RkSendMethodLeave(L"w", 0);
    RkSendMessage(dekError, "a", 0);
    RkSendMessage(dekError, L"w", 0);
    EXPECT_TRUE(RkDebugLoaderRan());
    EXPECT_FALSE(RkDebugLibraryLoaded());
    EXPECT_EQ(nullptr, RkDebugLibraryHandle());
    for (int i = 0; i < RkDebugExportCount; ++i)
        EXPECT_EQ(nullptr, RkBoundDebugExport(i)) << RkDebugExportNames[i];
}

// ---------------------------------------------------------------------------------------------
// Wrappers and slots
// ---------------------------------------------------------------------------------------------

const auto KMarkerHandle = reinterpret_cast<SC_HANDLE>(0x5A5A);
std::vector<std::string> GCalls;

SC_HANDLE WINAPI RecOpenSCManager(LPCWSTR, LPCWSTR database, DWORD access) {
    GCalls.push_back("OpenSCManager " + ToUtf8(database) + " " + std::to_string(access));
    return KMarkerHandle;
}
SC_HANDLE WINAPI RecCreateService(SC_HANDLE, LPCWSTR name, LPCWSTR, DWORD, DWORD, DWORD start, DWORD,
                                  LPCWSTR path, LPCWSTR, LPDWORD, LPCWSTR, LPCWSTR, LPCWSTR password) {
    GCalls.push_back("CreateService " + ToUtf8(name) + " " + std::to_string(start) + " " + ToUtf8(path) +
                     " " + ToUtf8(password));
    return KMarkerHandle;
}
BOOL WINAPI RecClose(SC_HANDLE h) {
    GCalls.push_back("Close " + std::to_string(reinterpret_cast<uintptr_t>(h)));
    return TRUE;
}
BOOL WINAPI RecConfig2(SC_HANDLE, DWORD level, LPVOID) {
    GCalls.push_back("Config2 " + std::to_string(level));
    return TRUE;
}
BOOL WINAPI RecConfig2A(SC_HANDLE, DWORD level, LPVOID) {
    GCalls.push_back("Config2A " + std::to_string(level));
    return TRUE;
}
BOOL WINAPI RecControl(SC_HANDLE, DWORD code, LPSERVICE_STATUS) {
    GCalls.push_back("Control " + std::to_string(code));
    return TRUE;
}
BOOL WINAPI RecDelete(SC_HANDLE) {
    GCalls.push_back("Delete");
    return TRUE;
}
SC_HANDLE WINAPI RecOpenService(SC_HANDLE, LPCWSTR name, DWORD) {
    GCalls.push_back("OpenService " + ToUtf8(name));
    return KMarkerHandle;
}
BOOL WINAPI RecQueryStatus(SC_HANDLE, LPSERVICE_STATUS status) {
    GCalls.push_back("QueryStatus");
    status->dwCurrentState = SERVICE_PAUSED;
    return TRUE;
}
BOOL WINAPI RecStart(SC_HANDLE, DWORD argc, LPCWSTR*) {
    GCalls.push_back("Start " + std::to_string(argc));
    return TRUE;
}
BOOL WINAPI RecSetStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS status) {
    GCalls.push_back("SetStatus " + std::to_string(status->dwCurrentState));
    return TRUE;
}
void WINAPI NoHandler(DWORD) {}
SERVICE_STATUS_HANDLE WINAPI RecRegister(LPCWSTR name, LPHANDLER_FUNCTION) {
    GCalls.push_back("Register " + ToUtf8(name));
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(0x77);
}

TEST(WinSvcWrappers, FilledSlotsTakeTheCallsWithTheirArguments) {
    TRkSlotsOverride slots;
    GCalls.clear();
    slots->RkOpenSCManager = RecOpenSCManager;
    slots->RkCreateService = RecCreateService;
    slots->RkCloseServiceHandle = RecClose;
    slots->RkChangeServiceConfig2 = RecConfig2;
    slots->RkChangeServiceConfig2A = RecConfig2A;
    slots->RkControlService = RecControl;
    slots->RkDeleteService = RecDelete;
    slots->RkOpenService = RecOpenService;
    slots->RkQueryServiceStatus = RecQueryStatus;
    slots->RkStartService = RecStart;
    slots->RkSetServiceStatus = RecSetStatus;
    slots->RkRegisterServiceCtrlHandler = RecRegister;

    SERVICE_STATUS status{};
    EXPECT_EQ(KMarkerHandle, RkOpenSCManager(nullptr, L"ServicesActive", 1));
    EXPECT_EQ(KMarkerHandle, RkCreateService(nullptr, L"Svc", nullptr, 0, 0x10, 3, 1, L"C:\\a.exe", nullptr,
                                             nullptr, nullptr, nullptr, L"pw"));
    EXPECT_TRUE(RkCloseServiceHandle(KMarkerHandle));
    EXPECT_TRUE(RkChangeServiceConfig2(nullptr, 7, nullptr));
    EXPECT_TRUE(RkChangeServiceConfig2A(nullptr, 2, nullptr));
    EXPECT_TRUE(RkControlService(nullptr, 200, &status));
    EXPECT_TRUE(RkDeleteService(nullptr));
    EXPECT_EQ(KMarkerHandle, RkOpenService(nullptr, L"Other", 0));
    EXPECT_TRUE(RkQueryServiceStatus(nullptr, &status));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), status.dwCurrentState);
    EXPECT_TRUE(RkStartService(nullptr, 0, nullptr));
    status.dwCurrentState = SERVICE_RUNNING;
    EXPECT_TRUE(RkSetServiceStatus(nullptr, &status));
    EXPECT_EQ(reinterpret_cast<SERVICE_STATUS_HANDLE>(0x77), RkRegisterServiceCtrlHandler(L"Reg", NoHandler));

    const std::vector<std::string> expected = {"OpenSCManager ServicesActive 1",
                                               "CreateService Svc 3 C:\\a.exe pw",
                                               "Close 23130",
                                               "Config2 7",
                                               "Config2A 2",
                                               "Control 200",
                                               "Delete",
                                               "OpenService Other",
                                               "QueryStatus",
                                               "Start 0",
                                               "SetStatus 4",
                                               "Register Reg"};
    EXPECT_EQ(expected, GCalls);
}

TEST(WinSvcWrappers, EmptySlotsReachTheRealManager) {
    TScHandle manager(RkOpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    ASSERT_TRUE(manager) << GetLastError();
    TScHandle missing(RkOpenService(manager.Get(), L"TamrelNoSuchService", SERVICE_QUERY_STATUS));
    EXPECT_FALSE(missing);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    // The manager's own services are there to enumerate.
    DWORD needed = 0, count = 0, resume = 0;
    std::vector<uint64_t> buffer(64 * 1024 / 8);
    ASSERT_TRUE(RkEnumServicesStatus(manager.Get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                                     reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data()), 64 * 1024,
                                     &needed, &count, &resume))
        << GetLastError();
    ASSERT_GT(count, 0u);
    const auto* first = reinterpret_cast<LPENUM_SERVICE_STATUSW>(buffer.data());
    wchar_t display[512];
    DWORD size = 512;
    ASSERT_TRUE(RkGetServiceDisplayName(manager.Get(), first->lpServiceName, display, &size))
        << GetLastError();
    EXPECT_STREQ(first->lpDisplayName, display);
}

TEST(WinSvcWrappers, AbsentAdvApiFunctionsAnswer120) {
    TRkSlotsOverride slots;
    slots.AdvApi().ChangeServiceConfig2W = nullptr;
    slots.AdvApi().RegisterServiceCtrlHandlerExW = nullptr;
    SetLastError(0);
    EXPECT_FALSE(winsvc::ChangeServiceConfig2W(nullptr, SERVICE_CONFIG_DESCRIPTION, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    SetLastError(0);
    EXPECT_FALSE(RkChangeServiceConfig2(nullptr, SERVICE_CONFIG_DESCRIPTION, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    SetLastError(0);
    EXPECT_EQ(nullptr, winsvc::RegisterServiceCtrlHandlerExW(L"x", nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    SetLastError(0);
    EXPECT_EQ(nullptr, RkRegisterServiceCtrlHandlerEx(L"x", nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
}

// This unit writes `using namespace tamrel;`, as a service program may: its plain Win32 calls
// compile and reach the system, not the layer's versions (which answer 120 here).
TEST(WinSvcWrappers, PlainWin32CallsBesideTheNamespaceReachTheSystem) {
    TRkSlotsOverride slots;
    slots.AdvApi().ChangeServiceConfig2W = nullptr;
    slots.AdvApi().RegisterServiceCtrlHandlerExW = nullptr;
    EXPECT_FALSE(ChangeServiceConfig2(nullptr, SERVICE_CONFIG_DESCRIPTION, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    DWORD needed = 0;
    EXPECT_FALSE(QueryServiceConfig2A(nullptr, SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed));
    EXPECT_EQ(nullptr, RegisterServiceCtrlHandlerExW(L"TamrelNotInThisProcess", nullptr, nullptr));
    EXPECT_NE(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
}

TEST(WinSvcWrappers, AdvApiFunctionsAreBoundOnThisSystem) {
    EXPECT_NE(nullptr, RkAdvApi().ChangeServiceConfig2W);
    EXPECT_NE(nullptr, RkAdvApi().RegisterServiceCtrlHandlerExW);
}

// ---------------------------------------------------------------------------------------------
// ANSI adapters
// ---------------------------------------------------------------------------------------------

struct TRecordedConfig {
    DWORD Level = 0;
    bool InfoNil = false;
    bool DescriptionNil = false;
    std::wstring Description, RebootMsg, Command;
    bool RebootNil = false, CommandNil = false;
    DWORD ResetPeriod = 0, Actions = 0, Preshutdown = 0;
    SC_ACTION* ActionsPtr = nullptr;
};
TRecordedConfig GConfig;

BOOL WINAPI RecordConfig2W(SC_HANDLE, DWORD level, LPVOID info) {
    GConfig = {};
    GConfig.Level = level;
    GConfig.InfoNil = info == nullptr;
    if (info && level == SERVICE_CONFIG_DESCRIPTION) {
        auto* d = static_cast<SERVICE_DESCRIPTIONW*>(info);
        GConfig.DescriptionNil = !d->lpDescription;
        if (d->lpDescription) GConfig.Description = d->lpDescription;
    } else if (info && level == SERVICE_CONFIG_FAILURE_ACTIONS) {
        auto* f = static_cast<SERVICE_FAILURE_ACTIONSW*>(info);
        GConfig.ResetPeriod = f->dwResetPeriod;
        GConfig.RebootNil = !f->lpRebootMsg;
        GConfig.CommandNil = !f->lpCommand;
        if (f->lpRebootMsg) GConfig.RebootMsg = f->lpRebootMsg;
        if (f->lpCommand) GConfig.Command = f->lpCommand;
        GConfig.Actions = f->cActions;
        GConfig.ActionsPtr = f->lpsaActions;
    } else if (info && level == SERVICE_CONFIG_PRESHUTDOWN_INFO) {
        GConfig.Preshutdown = static_cast<SERVICE_PRESHUTDOWN_INFO*>(info)->dwPreshutdownTimeout;
    }
    SetLastError(1234);
    return FALSE;
}

TEST(ChangeServiceConfig2A, ConvertsTheTextsAndKeepsTheRest) {
    TRkSlotsOverride slots;
    slots.AdvApi().ChangeServiceConfig2W = RecordConfig2W;

    char description[] = "plain text";
    SERVICE_DESCRIPTIONA da{description};
    SetLastError(0);
    // The wide call's answer and error come back unchanged.
    EXPECT_FALSE(winsvc::ChangeServiceConfig2A(nullptr, SERVICE_CONFIG_DESCRIPTION, &da));
    EXPECT_EQ(1234u, GetLastError());
    EXPECT_EQ(L"plain text", GConfig.Description);

    SERVICE_DESCRIPTIONA none{nullptr};
    winsvc::ChangeServiceConfig2A(nullptr, SERVICE_CONFIG_DESCRIPTION, &none);
    EXPECT_FALSE(GConfig.InfoNil);
    EXPECT_TRUE(GConfig.DescriptionNil);

    SC_ACTION actions[2] = {{SC_ACTION_RESTART, 1000}, {SC_ACTION_REBOOT, 2000}};
    char command[] = "run.cmd";
    SERVICE_FAILURE_ACTIONSA fa{86400, nullptr, command, 2, actions};
    winsvc::ChangeServiceConfig2A(nullptr, SERVICE_CONFIG_FAILURE_ACTIONS, &fa);
    EXPECT_EQ(86400u, GConfig.ResetPeriod);
    EXPECT_TRUE(GConfig.RebootNil);
    EXPECT_FALSE(GConfig.CommandNil);
    EXPECT_EQ(L"run.cmd", GConfig.Command);
    EXPECT_EQ(2u, GConfig.Actions);
    EXPECT_EQ(actions, GConfig.ActionsPtr);

    // A record without texts has one layout in both forms and is passed as it is.
    SERVICE_PRESHUTDOWN_INFO pre{4321};
    winsvc::ChangeServiceConfig2A(nullptr, SERVICE_CONFIG_PRESHUTDOWN_INFO, &pre);
    EXPECT_EQ(4321u, GConfig.Preshutdown);

    // A level with texts this layer does not convert gets no record.
    winsvc::ChangeServiceConfig2A(nullptr, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &pre);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO), GConfig.Level);
    EXPECT_TRUE(GConfig.InfoNil);
}

TEST(ServiceConfig2ToAnsi, DescriptionSitsBehindItsPointer) {
    std::vector<uint64_t> storage(16);
    auto* buffer = reinterpret_cast<LPBYTE>(storage.data());
    DWORD needed = 0;

    SERVICE_DESCRIPTIONW none{nullptr};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_DESCRIPTION, &none, 0, buffer, sizeof(void*) - 1, needed));
    EXPECT_EQ(sizeof(void*), needed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_DESCRIPTION, &none, 0, buffer, sizeof(void*), needed));
    EXPECT_EQ(nullptr, reinterpret_cast<SERVICE_DESCRIPTIONA*>(buffer)->lpDescription);

    wchar_t text[] = L"four";
    SERVICE_DESCRIPTIONW four{text};
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_DESCRIPTION, &four, 0, nullptr, 0, needed));
    EXPECT_EQ(sizeof(void*) + 5, needed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_DESCRIPTION, &four, 0, buffer, 128, needed));
    auto* a = reinterpret_cast<SERVICE_DESCRIPTIONA*>(buffer);
    EXPECT_EQ(reinterpret_cast<char*>(buffer + sizeof(void*)), a->lpDescription);
    EXPECT_STREQ("four", a->lpDescription);

    wchar_t empty[] = L"";
    SERVICE_DESCRIPTIONW blank{empty};
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_DESCRIPTION, &blank, 0, buffer, 128, needed));
    EXPECT_EQ(sizeof(void*) + 1, needed);
    EXPECT_STREQ("", reinterpret_cast<SERVICE_DESCRIPTIONA*>(buffer)->lpDescription);
}

TEST(ServiceConfig2ToAnsi, FailureActionsAreRebasedIntoTheCallersBuffer) {
    // The wide record as the manager could answer it: actions somewhere else than behind it.
    SC_ACTION actions[3] = {{SC_ACTION_RESTART, 60000}, {SC_ACTION_RUN_COMMAND, 5}, {SC_ACTION_NONE, 0}};
    wchar_t command[] = L"cmd /c x";
    wchar_t reboot[] = L"going down";
    SERVICE_FAILURE_ACTIONSW wide{INFINITE, reboot, command, 3, actions};

    const DWORD header = sizeof(SERVICE_FAILURE_ACTIONSA);
    const DWORD expectedSize = header + 3 * sizeof(SC_ACTION) + 9 + 11;
    std::vector<uint64_t> storage(64);
    std::fill(storage.begin(), storage.end(), 0xCDCDCDCDCDCDCDCDull);
    auto* buffer = reinterpret_cast<LPBYTE>(storage.data());
    DWORD needed = 0;
    EXPECT_EQ(
        static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
        ServiceConfig2ToAnsi(SERVICE_CONFIG_FAILURE_ACTIONS, &wide, 0, buffer, expectedSize - 1, needed));
    EXPECT_EQ(expectedSize, needed);
    EXPECT_EQ(0xCDu, buffer[0]) << "nothing is copied into a short buffer";

    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_FAILURE_ACTIONS, &wide, 0, buffer, expectedSize, needed));
    const auto* a = reinterpret_cast<SERVICE_FAILURE_ACTIONSA*>(buffer);
    EXPECT_EQ(static_cast<DWORD>(INFINITE), a->dwResetPeriod);
    EXPECT_EQ(3u, a->cActions);
    EXPECT_EQ(reinterpret_cast<SC_ACTION*>(buffer + header), a->lpsaActions);
    EXPECT_EQ(SC_ACTION_RUN_COMMAND, a->lpsaActions[1].Type);
    EXPECT_EQ(5u, a->lpsaActions[1].Delay);
    EXPECT_EQ(reinterpret_cast<char*>(buffer + header + 3 * sizeof(SC_ACTION)), a->lpCommand);
    EXPECT_STREQ("cmd /c x", a->lpCommand);
    EXPECT_EQ(a->lpCommand + 9, a->lpRebootMsg);
    EXPECT_STREQ("going down", a->lpRebootMsg);

    // nil stays nil, and takes no room.
    SERVICE_FAILURE_ACTIONSW bare{0, nullptr, nullptr, 0, nullptr};
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_FAILURE_ACTIONS, &bare, 0, buffer, 512, needed));
    EXPECT_EQ(header, needed);
    EXPECT_EQ(nullptr, a->lpsaActions);
    EXPECT_EQ(nullptr, a->lpCommand);
    EXPECT_EQ(nullptr, a->lpRebootMsg);
}

TEST(ServiceConfig2ToAnsi, TextFreeLevelsAreCopiedOthersRefused) {
    SERVICE_PRESHUTDOWN_INFO pre{180000};
    SERVICE_PRESHUTDOWN_INFO out{};
    DWORD needed = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_PRESHUTDOWN_INFO, &pre, sizeof pre,
                                   reinterpret_cast<LPBYTE>(&out), sizeof out - 1, needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_PRESHUTDOWN_INFO, &pre, sizeof pre,
                                   reinterpret_cast<LPBYTE>(&out), sizeof out, needed));
    EXPECT_EQ(sizeof pre, needed);
    EXPECT_EQ(180000u, out.dwPreshutdownTimeout);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL),
              ServiceConfig2ToAnsi(SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &pre, sizeof pre,
                                   reinterpret_cast<LPBYTE>(&out), sizeof out, needed));
}

// A service created (never started) in the Wine prefix for the configuration calls.
class TScratchService {
public:
    TScratchService() : FName(UniqueName(L"TamrelCfg")) {
        FManager.Reset(RkOpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!FManager) return;
        std::wstring path = BinDir() + L"winsvc_tinysvc.exe";
        FService.Reset(RkCreateService(FManager.Get(), FName.c_str(), FName.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    }
    ~TScratchService() {
        if (FService) RkDeleteService(FService.Get());
    }
    SC_HANDLE Get() const { return FService.Get(); }

private:
    std::wstring FName;
    TScHandle FManager, FService;
};

TEST(QueryServiceConfig2A, AnswersARealServicesDescriptionInAnsi) {
    TScratchService service;
    ASSERT_TRUE(service.Get()) << GetLastError();
    std::vector<uint64_t> storage(128);
    auto* buffer = reinterpret_cast<LPBYTE>(storage.data());
    DWORD needed = 0;

    // No description: exactly the pointer field, holding nil.
    EXPECT_FALSE(
        winsvc::QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(sizeof(void*), needed);
    EXPECT_FALSE(winsvc::QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, buffer,
                                              sizeof(void*) - 1, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    storage[0] = ~0ull;
    ASSERT_TRUE(winsvc::QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, buffer, sizeof(void*),
                                             &needed))
        << GetLastError();
    EXPECT_EQ(nullptr, reinterpret_cast<SERVICE_DESCRIPTIONA*>(buffer)->lpDescription);

    // Set through the ANSI adapter, read back wide and ANSI.
    char text[] = "Tamrel scratch service";
    SERVICE_DESCRIPTIONA da{text};
    ASSERT_TRUE(RkChangeServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, &da)) << GetLastError();
    ASSERT_TRUE(RkQueryServiceConfig2(service.Get(), SERVICE_CONFIG_DESCRIPTION, buffer, 1024, &needed));
    EXPECT_STREQ(L"Tamrel scratch service", reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer)->lpDescription);
    ASSERT_TRUE(
        winsvc::QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, buffer, 1024, &needed));
    EXPECT_EQ(sizeof(void*) + sizeof text, needed);
    EXPECT_STREQ("Tamrel scratch service", reinterpret_cast<SERVICE_DESCRIPTIONA*>(buffer)->lpDescription);
}

TEST(QueryServiceConfig2A, PassesTextFreeLevelsAndTheManagersRefusals) {
    TScratchService service;
    ASSERT_TRUE(service.Get()) << GetLastError();
    SERVICE_PRESHUTDOWN_INFO pre{12345};
    ASSERT_TRUE(winsvc::ChangeServiceConfig2A(service.Get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, &pre))
        << GetLastError();
    SERVICE_PRESHUTDOWN_INFO out{};
    DWORD needed = 0;
    ASSERT_TRUE(winsvc::QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_PRESHUTDOWN_INFO,
                                             reinterpret_cast<LPBYTE>(&out), sizeof out, &needed))
        << GetLastError();
    EXPECT_EQ(12345u, out.dwPreshutdownTimeout);

    // Wine's manager does not answer failure actions (124): the refusal passes through.
    std::vector<uint64_t> storage(64);
    SetLastError(0);
    EXPECT_FALSE(winsvc::QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS,
                                              reinterpret_cast<LPBYTE>(storage.data()), 512, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
    SetLastError(0);
    EXPECT_FALSE(winsvc::QueryServiceConfig2A(nullptr, SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

// ---------------------------------------------------------------------------------------------
// The debug library
// ---------------------------------------------------------------------------------------------

// The export names of a PE file (either processor), read from its export directory.
std::vector<std::string> PeExportNames(const std::string& image) {
    std::vector<std::string> names;
    auto at = [&](size_t offset, size_t size) { return offset + size <= image.size(); };
    if (!at(0, sizeof(IMAGE_DOS_HEADER))) return names;
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, image.data(), sizeof dos);
    const size_t nt = static_cast<size_t>(dos.e_lfanew);
    if (!at(nt, sizeof(IMAGE_NT_HEADERS32))) return names;
    IMAGE_FILE_HEADER file;
    std::memcpy(&file, image.data() + nt + 4, sizeof file);
    const size_t optional = nt + 4 + sizeof file;
    WORD magic;
    std::memcpy(&magic, image.data() + optional, 2);
    IMAGE_DATA_DIRECTORY exports;
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        std::memcpy(&exports, image.data() + optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory),
                    sizeof exports);
    else
        std::memcpy(&exports, image.data() + optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory),
                    sizeof exports);
    const size_t sections = optional + file.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < file.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s;
            std::memcpy(&s, image.data() + sections + i * sizeof s, sizeof s);
            if (rva >= s.VirtualAddress &&
                rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return image.size();
    };
    const size_t dir = fileOffset(exports.VirtualAddress);
    if (!exports.VirtualAddress || !at(dir, sizeof(IMAGE_EXPORT_DIRECTORY))) return names;
    IMAGE_EXPORT_DIRECTORY ed;
    std::memcpy(&ed, image.data() + dir, sizeof ed);
    const size_t table = fileOffset(ed.AddressOfNames);
    for (DWORD i = 0; i < ed.NumberOfNames && at(table + 4 * i, 4); ++i) {
        DWORD rva;
        std::memcpy(&rva, image.data() + table + 4 * i, 4);
        const size_t name = fileOffset(rva);
        if (name < image.size()) names.emplace_back(image.c_str() + name);
    }
    return names;
}

TEST(DebugLibrary, ExportsAreUndecoratedInBothBuilds) {
    std::vector<std::string> expected(std::begin(RkDebugExportNames), std::end(RkDebugExportNames));
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> x64 = PeExportNames(ReadFileBytes(BinDir() + L"tamreldbg64.dll"));
    EXPECT_EQ(expected, x64);
    const std::wstring x86Path = BinDir() + L"..\\..\\x86\\bin\\tamreldbg.dll";
    if (!FileExists(x86Path)) GTEST_SKIP() << "the 32-bit tree is not built";
    EXPECT_EQ(expected, PeExportNames(ReadFileBytes(x86Path)));
}

TEST(DebugLibrary, DrivesATinyServiceThroughItsPipe) {
    TDebugRun run(L"/names:TinyA /accept:0x7");
    ASSERT_TRUE(run.Connect());
    EXPECT_EQ("wait TinyA state=RUNNING(4) result=reached", run.Send("wait TinyA RUNNING 20000"));
    struct Step {
        const char* Command;
        const char* Reply;
    } steps[] = {
        {"paramchange TinyA", "control TinyA code=6(PARAMCHANGE) source=pipe result=refused error=1052"},
        {"netbind TinyA add", "control TinyA code=7(NETBINDADD) source=pipe result=refused error=1052"},
        {"preshutdown TinyA", "control TinyA code=15(PRESHUTDOWN) source=pipe result=refused error=1052"},
        {"pause tinya", "control tinya code=2(PAUSE) source=pipe result=accepted"},
        {"wait TinyA PAUSED", "wait TinyA state=PAUSED(7) result=reached"},
        {"continue TinyA", "control TinyA code=3(CONTINUE) source=pipe result=accepted"},
        {"interrogate TinyA", "control TinyA code=4(INTERROGATE) source=pipe result=accepted"},
        {"control TinyA 200", "control TinyA code=200(CUSTOM) source=pipe result=accepted"},
        {"control TinyA 0x0E", "control TinyA code=14(SESSIONCHANGE) source=pipe result=accepted"},
        {"control TinyA 13", "control TinyA code=13(POWEREVENT) source=pipe result=accepted"},
        {"stop Nobody", "control Nobody code=1(STOP) source=pipe result=refused error=1060"},
        {"frobnicate TinyA", "command source=pipe text=\"frobnicate TinyA\" result=refused error=87"},
        {"control TinyA x", "command source=pipe text=\"control TinyA x\" result=refused error=87"},
        {"stop TinyA", "control TinyA code=1(STOP) source=pipe result=accepted"},
    };
    for (const auto& s : steps)
        EXPECT_EQ(s.Reply, run.Send(s.Command)) << s.Command;
    const TProcessResult& result = run.Finish();
    EXPECT_FALSE(result.TimedOut);
    EXPECT_EQ(0u, result.ExitCode) << result.Err;

    // The handler saw exactly the delivered controls, in order, on the dispatcher's thread.
    std::vector<std::string> handled = LinesWith(run.Evidence(), "handler TinyA");
    const std::vector<std::string> expectedHandled = {
        "handler TinyA code=2 ondispatcher=1",  "handler TinyA code=3 ondispatcher=1",
        "handler TinyA code=4 ondispatcher=1",  "handler TinyA code=200 ondispatcher=1",
        "handler TinyA code=14 ondispatcher=1", "handler TinyA code=13 ondispatcher=1",
        "handler TinyA code=1 ondispatcher=1"};
    EXPECT_EQ(expectedHandled, handled);
    std::vector<std::string> evidence = run.Evidence();
    EXPECT_EQ(1u, LinesWith(evidence, "main TinyA argc=1 argv0=TinyA").size());
    EXPECT_EQ(1u, LinesWith(evidence, "dispatcher returned ok=1 error=0").size());

    std::vector<std::string> log = run.Log();
    const std::vector<std::string> expectedStates = {"START_PENDING(2)", "RUNNING(4)", "PAUSED(7)",
                                                     "RUNNING(4)",       "RUNNING(4)", "STOP_PENDING(3)",
                                                     "STOPPED(1)"};
    EXPECT_EQ(expectedStates, StatesOf(log, "TinyA"));
    auto running = LinesWith(log, "status TinyA state=RUNNING(4)");
    ASSERT_FALSE(running.empty());
    EXPECT_EQ("status TinyA state=RUNNING(4) accepted=0x7 checkpoint=0 waithint=0 win32exit=0 specificexit=0 "
              "type=0x10",
              running[0]);
    // Every outcome is logged, refusals included; the log file and stderr carry the same records.
    EXPECT_EQ(
        1u, LinesWith(log, "control TinyA code=6(PARAMCHANGE) source=pipe result=refused error=1052").size());
    EXPECT_EQ(1u, LinesWith(log, "control TinyA code=1(STOP) source=pipe result=accepted").size());
    EXPECT_EQ(1u, LinesWith(log, "dispatcher return result=ok").size());
    EXPECT_EQ(log, LogRecords(result.Err));
    // Input on stdin ended at once (the null device) and stopped nothing.
    EXPECT_EQ(1u, LinesWith(log, "input source=console result=closed").size());
}

TEST(DebugLibrary, ShutdownControlsReachOnlyTheServicesThatAcceptThem) {
    // SvcA accepts stop, shutdown and preshutdown; SvcB stop and pause.
    TDebugRun run(L"/names:SvcA,SvcB /accept:0x105,0x3");
    ASSERT_TRUE(run.Connect());
    EXPECT_EQ("wait SvcA state=RUNNING(4) result=reached", run.Send("wait SvcA RUNNING 20000"));
    EXPECT_EQ("wait SvcB state=RUNNING(4) result=reached", run.Send("wait SvcB RUNNING 20000"));
    EXPECT_EQ("control SvcB code=5(SHUTDOWN) source=pipe result=refused error=1052",
              run.Send("shutdown SvcB"));
    EXPECT_EQ("preshutdown source=pipe result=done delivered=1 refused=0", run.Send("preshutdown"));
    EXPECT_EQ("wait SvcA state=STOPPED(1) result=reached", run.Send("wait SvcA STOPPED"));
    EXPECT_EQ("control SvcA code=1(STOP) source=pipe result=refused error=1062", run.Send("stop SvcA"));
    EXPECT_EQ("shutdown source=pipe result=done delivered=0 refused=0", run.Send("shutdown"));
    EXPECT_EQ("quit source=pipe result=accepted stopping=1 abandoned=0", run.Send("quit"));
    const TProcessResult& result = run.Finish();
    EXPECT_EQ(0u, result.ExitCode) << result.Err;

    std::vector<std::string> evidence = run.Evidence();
    EXPECT_EQ(std::vector<std::string>{"handler SvcA code=15 ondispatcher=1"},
              LinesWith(evidence, "handler SvcA"));
    EXPECT_EQ(std::vector<std::string>{"handler SvcB code=1 ondispatcher=1"},
              LinesWith(evidence, "handler SvcB"));
    EXPECT_EQ(1u, LinesWith(evidence, "dispatcher returned ok=1").size());
    std::vector<std::string> log = run.Log();
    EXPECT_EQ("STOPPED(1)", StatesOf(log, "SvcA").back());
    EXPECT_EQ("STOPPED(1)", StatesOf(log, "SvcB").back());
    EXPECT_EQ(1u, LinesWith(log, "dispatcher start services=2 names=\"SvcA,SvcB\"").size());
}

TEST(DebugLibrary, QuitAbandonsAServiceThatRefusesToStop) {
    TDebugRun run(L"/names:Stubborn,Willing /accept:0x0,0x1");
    ASSERT_TRUE(run.Connect());
    EXPECT_EQ("wait Stubborn state=RUNNING(4) result=reached", run.Send("wait Stubborn RUNNING 20000"));
    EXPECT_EQ("wait Willing state=RUNNING(4) result=reached", run.Send("wait Willing RUNNING 20000"));
    EXPECT_EQ("quit source=pipe result=accepted stopping=1 abandoned=1", run.Send("quit"));
    const TProcessResult& result = run.Finish();
    EXPECT_EQ(0u, result.ExitCode) << result.Err;
    std::vector<std::string> log = run.Log();
    EXPECT_EQ(1u,
              LinesWith(log, "control Stubborn code=1(STOP) source=pipe result=refused error=1052").size());
    EXPECT_EQ(1u, LinesWith(log, "abandon Stubborn state=RUNNING(4)").size());
    EXPECT_EQ("STOPPED(1)", StatesOf(log, "Willing").back());
    EXPECT_EQ(1u, LinesWith(run.Evidence(), "dispatcher returned ok=1").size());
}

TEST(DebugLibrary, CtrlCStopsEveryServiceAndEndsTheDispatcher) {
    // The program presses Ctrl+C in a console of its own once both services run; that console
    // also becomes its stdin, which then never ends.
    TDebugRun run(L"/names:CtlA,CtlB /accept:0x1,0x5 /ctrlc");
    const TProcessResult& result = run.Finish();
    EXPECT_FALSE(result.TimedOut);
    EXPECT_EQ(0u, result.ExitCode);
    std::vector<std::string> evidence = run.Evidence();
    ASSERT_EQ(1u, LinesWith(evidence, "ctrl-c pressed=1").size()) << ReadFileBytes(run.LogFile());
    EXPECT_EQ(std::vector<std::string>{"handler CtlA code=1 ondispatcher=1"},
              LinesWith(evidence, "handler CtlA"));
    EXPECT_EQ(std::vector<std::string>{"handler CtlB code=1 ondispatcher=1"},
              LinesWith(evidence, "handler CtlB"));
    EXPECT_EQ(1u, LinesWith(evidence, "dispatcher returned ok=1").size());
    std::vector<std::string> log = run.Log();
    EXPECT_EQ(1u, LinesWith(log, "control CtlA code=1(STOP) source=ctrl-c result=accepted").size());
    EXPECT_EQ(1u, LinesWith(log, "quit source=ctrl-c result=accepted stopping=2 abandoned=0").size());
    EXPECT_EQ("STOPPED(1)", StatesOf(log, "CtlA").back());
    EXPECT_EQ("STOPPED(1)", StatesOf(log, "CtlB").back());
    EXPECT_EQ(1u, LinesWith(log, "dispatcher return result=ok").size());
}

TEST(DebugLibrary, RecordsAndAnswersTheManagerCalls) {
    const std::wstring logFile = TempFileName(L"dbgscm");
    TProcessResult r = RunProbe(L"winsvc_probe.exe", L"scm", L"/debug", {{L"TAMRELDBG_LOG", logFile}});
    const std::string logText = ReadFileBytes(logFile);
    std::vector<std::string> log = LogRecords(logText);
    DeleteFileW(logFile.c_str());
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    const char* expected[] = {
        "open ok=1 error=0",
        "open-other-database ok=0 error=1065",
        "create ok=1 error=0",
        "tag=1",
        "create-again ok=0 error=1073",
        "create-slash ok=0 error=123",
        "config-description-w ok=1 error=0",
        "config-description-a ok=1 error=0",
        "config-failure ok=1 error=0",
        "config-preshutdown ok=1 error=0",
        "config-delayed ok=1 error=0",
        "config-level-99 ok=0 error=124",
        "config-on-manager ok=0 error=6",
        "close-service ok=1 error=0",
        "close-service-again ok=0 error=6",
        "close-manager ok=1 error=0",
    };
    std::vector<std::string> out = SplitLines(r.Out);
    EXPECT_EQ(std::vector<std::string>(std::begin(expected), std::end(expected)), out);

    auto create = LinesWith(log, "createservice ProbeSvc ");
    ASSERT_EQ(1u, create.size());
    EXPECT_EQ("\"Probe", Field(create[0], "display"));
    EXPECT_EQ("0x10", Field(create[0], "type"));
    EXPECT_EQ("3", Field(create[0], "start"));
    EXPECT_EQ("\"C:\\\\probe\\\\probe.exe", Field(create[0], "path"));
    EXPECT_EQ("\"ProbeGroup\"", Field(create[0], "group"));
    EXPECT_EQ("\"Dep1,+Group2\"", Field(create[0], "dependencies"));
    EXPECT_EQ("\".\\\\someone\"", Field(create[0], "account"));
    EXPECT_EQ("yes", Field(create[0], "password"));
    EXPECT_EQ("ok", Field(create[0], "result"));
    EXPECT_FALSE(Contains(logText + r.Err, "secret")) << "passwords are never logged";
    EXPECT_EQ(1u, LinesWith(log, "changeserviceconfig2 ProbeSvc form=W level=1 "
                                 "description=\"wide \\\"quoted\\\" text\" result=ok")
                      .size());
    EXPECT_EQ(
        1u, LinesWith(log, "changeserviceconfig2 ProbeSvc form=A level=1 description=\"ansi text\" result=ok")
                .size());
    EXPECT_EQ(1u,
              LinesWith(log,
                        "changeserviceconfig2 ProbeSvc form=W level=2 resetperiod=4294967295 rebootmsg=nil "
                        "command=\"cmd.exe /c echo\" actions=1:5000,0:0 result=ok")
                  .size());
    EXPECT_EQ(1u, LinesWith(log, "level=7 preshutdowntimeout=7000 result=ok").size());
    EXPECT_EQ(1u, LinesWith(log, "level=3 delayedautostart=1 result=ok").size());
    EXPECT_EQ(1u, LinesWith(log, "level=99 handle=").size());
    EXPECT_EQ(1u, LinesWith(log, "kind=service name=ProbeSvc result=ok").size());
    EXPECT_EQ(1u, LinesWith(log, "createservice probesvc ").size());
    EXPECT_EQ("refused", Field(LinesWith(log, "createservice probesvc ")[0], "result"));
}

TEST(DebugLibrary, DispatcherAnswersLikeTheManager) {
    TProcessResult r = RunProbe(L"winsvc_probe.exe", L"dispatcher", L"/debug");
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    const std::vector<std::string> expected = {
        "empty-table ok=0 error=87",      "register-foreign ok=0 error=1083",
        "register ok=1 error=0",          "status-bad-handle ok=0 error=6",
        "status-bad-state ok=0 error=13", "second-dispatcher ok=0 error=1056",
        "status-stopped ok=1 error=0",    "dispatcher ok=1 error=0"};
    EXPECT_EQ(expected, SplitLines(r.Out)) << r.Err;
    std::vector<std::string> log = LogRecords(r.Err);
    // A main routine that returns without a handler counts as stopped.
    EXPECT_EQ(1u, LinesWith(log, "main Silent returned").size());
    EXPECT_TRUE(StatesOf(log, "Silent").empty());
    EXPECT_EQ(1u, LinesWith(log, "register NotInTable result=refused error=1083").size());
    EXPECT_EQ(1u, LinesWith(log, "status handle=0x4711 result=refused error=6").size());
    EXPECT_EQ(1u, LinesWith(log, "dispatcher return result=ok").size());
}

TEST(DebugLibrary, LogsEveryDebugEvent) {
    TProcessResult r = RunProbe(L"winsvc_probe.exe", L"events", L"/debug");
    EXPECT_EQ(0u, r.ExitCode) << r.Out << r.Err;
    EXPECT_TRUE(Contains(r.Out, "value-after=abc"));
    std::vector<std::string> events = LinesWith(LogRecords(r.Err), "event ");
    const std::string minusOne = std::to_string(static_cast<TDebugEventData>(-1));
    const std::vector<std::string> expected = {
        "event send=checkpoint form=A text=\"checkpoint a\" data=1",
        "event send=checkpoint form=W text=\"checkpoint w\" data=2",
        "event send=clear-to-checkpoint",
        "event send=clear-all",
        "event send=value form=A kind=info text=\"value a\" value=I4:42 data=3",
        "event send=value form=W kind=warning text=\"value w\" value=BSTR:\"abc\" data=4",
        "event send=value form=W kind=error text=\"value empty\" value=EMPTY data=5",
        "event send=method-enter form=A text=\"enter a\" data=6",
        "event send=method-enter form=W text=\"enter w \xC3\xA9\" data=7",
        "event send=method-leave form=A text=\"leave a\" data=8",
        "event send=method-leave form=W text=\"leave w\" data=9",
        "event send=message form=A kind=warning text=\"message a\" data=10",
        "event send=message form=W kind=error text=\"message w\" data=" + minusOne,
    };
    ASSERT_EQ(expected.size(), events.size()) << r.Err;
    for (size_t i = 0; i < expected.size(); ++i) {
        // Each record ends with its time of day.
        const std::string& e = events[i];
        const size_t time = e.rfind(" time=");
        ASSERT_NE(std::string::npos, time) << e;
        EXPECT_EQ(expected[i], e.substr(0, time));
        EXPECT_EQ(12u, e.size() - time - 6) << e;
    }
}

// ---------------------------------------------------------------------------------------------
// Wine's real service manager (serialised: the winsvc_scm entry)
// ---------------------------------------------------------------------------------------------

bool LockedTestsEnabled() {
    wchar_t buf[8];
    return GetEnvironmentVariableW(L"TAMREL_LOCKED_TESTS", buf, 8) > 0;
}

DWORD WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs) {
    SERVICE_STATUS status{};
    const DWORD start = GetTickCount();
    do {
        if (!RkQueryServiceStatus(service, &status)) return 0;
        if (status.dwCurrentState == state) return state;
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return status.dwCurrentState;
}

TEST(WinSvcScm, TinyServiceRunsUnderTheServiceManager) {
    if (!LockedTestsEnabled()) GTEST_SKIP() << "starts a service: runs in the serialised winsvc_scm entry";
    const std::wstring name = UniqueName(L"TamrelTiny");
    const std::wstring evidence = TempFileName(L"scmevidence");
    const std::wstring image =
        L"\"" + BinDir() + L"winsvc_tinysvc.exe\" /names:" + name + L" \"/evidence:" + evidence + L"\"";
    TScHandle manager(RkOpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager) << GetLastError();
    TScHandle service(RkCreateService(manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                      image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
    TScopeExit cleanup([&] {
        SERVICE_STATUS status;
        RkControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        WaitForState(service.Get(), SERVICE_STOPPED, 5000);
        RkDeleteService(service.Get());
        DeleteFileW(evidence.c_str());
    });

    BOOL started = FALSE;
    for (int attempt = 0; attempt < 10 && !started; ++attempt) {
        started = RkStartService(service.Get(), 0, nullptr);
        if (!started && GetLastError() != ERROR_SERVICE_DATABASE_LOCKED) break;
    }
    ASSERT_TRUE(started) << GetLastError();
    ASSERT_EQ(static_cast<DWORD>(SERVICE_RUNNING), WaitForState(service.Get(), SERVICE_RUNNING, 10000));

    SERVICE_STATUS status{};
    EXPECT_FALSE(RkControlService(service.Get(), SERVICE_CONTROL_PARAMCHANGE, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL), GetLastError());
    ASSERT_TRUE(RkControlService(service.Get(), SERVICE_CONTROL_PAUSE, &status)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_PAUSED), WaitForState(service.Get(), SERVICE_PAUSED, 5000));
    ASSERT_TRUE(RkControlService(service.Get(), SERVICE_CONTROL_CONTINUE, &status)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), WaitForState(service.Get(), SERVICE_RUNNING, 5000));
    ASSERT_TRUE(RkControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), WaitForState(service.Get(), SERVICE_STOPPED, 10000));

    // The program ends after the dispatcher returns.
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i) {
        lines = SplitLines(ReadFileBytes(evidence));
        if (!LinesWith(lines, "dispatcher returned").empty()) break;
        Sleep(50);
    }
    const std::string n = ToUtf8(name);
    EXPECT_EQ(1u, LinesWith(lines, "main " + n + " argc=1 argv0=" + n).size());
    EXPECT_EQ(1u, LinesWith(lines, "register " + n + " ok=1").size());
    std::vector<std::string> codes;
    for (const auto& l : LinesWith(lines, "handler " + n))
        codes.push_back(Field(l, "code"));
    EXPECT_EQ((std::vector<std::string>{"2", "3", "1"}), codes);
    EXPECT_EQ(1u, LinesWith(lines, "dispatcher returned ok=1 error=0").size());
    EXPECT_TRUE(LinesWith(lines, "failed").empty());
}

} // namespace
