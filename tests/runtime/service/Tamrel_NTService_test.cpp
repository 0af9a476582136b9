// The service module on its own, without the service manager: configuration, setters, mapping,
// the status report and what Install sends, with the wrapper layer's redirection slots filled by
// recorders.
#include "host/Streaming.h"
#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/base/Tamrel_WinVer.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"

#include <gtest/gtest.h>

#include <regex>

using namespace tamrel;

namespace {

class TRecordedModule : public TNtService {
    TAMREL_CLASS(TRecordedModule, TNtService)
public:
    using TNtService::TNtService;
    using TNtService::SetStatus;
    void ModuleStop(TNtService*, bool& doAction) { doAction = true; }
};
TAMREL_IMPLEMENT_CLASS(TRecordedModule) { b.Method<&TRecordedModule::ModuleStop>(L"ModuleStop"); }

// What the wrapper layer was asked, collected by the slot recorders.
struct TRecorder {
    std::vector<SERVICE_STATUS> Statuses;
    struct Config2 {
        DWORD Level;
        std::wstring Text1, Text2;
        DWORD Value = 0;
        std::vector<SC_ACTION> Actions;
    };
    std::vector<Config2> Configs;
    std::wstring ImagePath, DisplayName, Dependencies, Account, Password, LoadGroup;
    DWORD ServiceType = 0, StartType = 0, ErrorControl = 0;
    bool TagRequested = false;
};
TRecorder* gRec = nullptr;

BOOL WINAPI RecordStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS status) {
    gRec->Statuses.push_back(*status);
    return TRUE;
}

SC_HANDLE WINAPI FakeOpenManager(LPCWSTR, LPCWSTR, DWORD) { return reinterpret_cast<SC_HANDLE>(0x1000); }
BOOL WINAPI FakeClose(SC_HANDLE) { return TRUE; }

SC_HANDLE WINAPI RecordCreate(SC_HANDLE, LPCWSTR, LPCWSTR display, DWORD, DWORD type, DWORD start, DWORD error,
                              LPCWSTR path, LPCWSTR group, LPDWORD tag, LPCWSTR deps, LPCWSTR account, LPCWSTR password) {
    gRec->DisplayName = display;
    gRec->ServiceType = type;
    gRec->StartType = start;
    gRec->ErrorControl = error;
    gRec->ImagePath = path;
    gRec->LoadGroup = group ? group : L"";
    gRec->TagRequested = tag != nullptr;
    if (deps) {
        const wchar_t* p = deps;
        while (*p) p += wcslen(p) + 1;
        gRec->Dependencies.assign(deps, static_cast<size_t>(p - deps + 1));
    }
    gRec->Account = account ? account : L"<none>";
    gRec->Password = password ? password : L"<none>";
    return reinterpret_cast<SC_HANDLE>(0x2000);
}

BOOL WINAPI RecordConfig2(SC_HANDLE, DWORD level, LPVOID info) {
    TRecorder::Config2 c{level, L"", L"", 0, {}};
    switch (level) {
    case SERVICE_CONFIG_DESCRIPTION:
        c.Text1 = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
        break;
    case SERVICE_CONFIG_PRESHUTDOWN_INFO:
        c.Value = static_cast<SERVICE_PRESHUTDOWN_INFO*>(info)->dwPreshutdownTimeout;
        break;
    case SERVICE_CONFIG_FAILURE_ACTIONS: {
        auto* f = static_cast<SERVICE_FAILURE_ACTIONSW*>(info);
        c.Value = f->dwResetPeriod;
        c.Text1 = f->lpRebootMsg ? f->lpRebootMsg : L"<nil>";
        c.Text2 = f->lpCommand ? f->lpCommand : L"<nil>";
        c.Actions.assign(f->lpsaActions, f->lpsaActions + f->cActions);
        break;
    }
    case SERVICE_CONFIG_DELAYED_AUTO_START_INFO:
        c.Value = static_cast<SERVICE_DELAYED_AUTO_START_INFO*>(info)->fDelayedAutostart;
        break;
    }
    gRec->Configs.push_back(c);
    return TRUE;
}

struct ModuleTest : ::testing::Test {
    TRecorder rec;
    TRkSlotsOverride slots;
    void SetUp() override {
        gRec = &rec;
        slots->RkSetServiceStatus = RecordStatus;
        slots->RkOpenSCManager = FakeOpenManager;
        slots->RkCloseServiceHandle = FakeClose;
        slots->RkCreateService = RecordCreate;
        slots->RkChangeServiceConfig2 = RecordConfig2;
    }
    void TearDown() override { gRec = nullptr; }
    const TRecorder::Config2* Level(DWORD level) const {
        for (const auto& c : rec.Configs)
            if (c.Level == level) return &c;
        return nullptr;
    }
};

using TModulePtr = std::unique_ptr<TRecordedModule, void (*)(TObject*)>;
TModulePtr MakeModule(TComponent* owner = nullptr, const wchar_t* name = L"Svc1") {
    TModulePtr m(Create<TRecordedModule>(owner), Free);
    m->SetName(name);
    return m;
}

} // namespace

TEST_F(ModuleTest, ConstructorDefaultsAndStartToken) {
    auto m = MakeModule();
    EXPECT_TRUE(m->AllowStop());
    EXPECT_TRUE(m->AllowPause());
    EXPECT_TRUE(m->SuspendOnPause());
    EXPECT_TRUE(m->ShareProcess());
    EXPECT_FALSE(m->Interactive());
    EXPECT_FALSE(m->UseSynchronizer());
    EXPECT_EQ(0u, m->PreshutdownTimeout());
    EXPECT_EQ(3000, m->WaitHint());
    EXPECT_EQ(stAuto, m->StartType());
    EXPECT_EQ(esNormal, m->ErrorSeverity());
    EXPECT_EQ(stWin32, m->ServiceType());
    EXPECT_EQ(-1, m->FailureOptions()->ResetPeriod());
    EXPECT_EQ(0, m->FailureActions()->Count());
    EXPECT_EQ(csStopped, m->CurrentStatus());
    EXPECT_TRUE(m->Terminated());
    EXPECT_FALSE(m->StartedByScmLoaded());
    EXPECT_TRUE(std::regex_match(WideToUtf8(m->StartedByScmToken()), std::regex("[0-9A-F]{8}-[0-9A-F]{8}")))
        << WideToUtf8(m->StartedByScmToken());
    EXPECT_EQ(L"Svc1", m->ServiceName());
    m->SetDisplayName(L"   ");
    EXPECT_EQ(L"Svc1", m->DisplayName());
}

TEST_F(ModuleTest, SettersRefuseBadValuesWithTheirMessages) {
    auto m = MakeModule();
    struct {
        const wchar_t* value;
        const wchar_t* message;
    } bad[] = {{L"a\\b", L"Invalid ServiceName property: \"\\\" character is not allowed"},
               {L"a/b", L"Invalid ServiceName property: \"/\" character is not allowed"}};
    for (const auto& b : bad) {
        try {
            m->SetServiceName(b.value);
            ADD_FAILURE();
        } catch (const Exception& e) {
            EXPECT_EQ(b.message, e.Message());
        }
        EXPECT_EQ(L"Svc1", m->ServiceName()); // the old value stays
    }
    m->SetServiceName(L"");
    EXPECT_EQ(L"Svc1", m->ServiceName()); // empty becomes the component name

    // A rename carries ServiceName along when it was empty or equal to the old name...
    m->SetName(L"Renamed");
    EXPECT_EQ(L"Renamed", m->ServiceName());
    // ...and leaves a name of its own alone.
    m->SetServiceName(L"Own");
    m->SetName(L"Again");
    EXPECT_EQ(L"Own", m->ServiceName());

    m->SetDescription(std::wstring(1023, L'x'));
    try {
        m->SetDescription(std::wstring(1024, L'y'));
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(L"The desription is too long. Max length is 1024 char", e.Message());
    }
    EXPECT_EQ(1023u, m->Description().size());

    auto* action = m->FailureActions()->Add();
    action->SetDelay(-5);
    EXPECT_EQ(0, action->Delay());
    EXPECT_THROW(m->SetWaitHint(-1), Exception); // every waiter takes it as unsigned
    EXPECT_EQ(3000, m->WaitHint());
}

TEST_F(ModuleTest, UseSynchronizerCannotChangeWhileRunning) {
    auto m = MakeModule();
    m->SetStatus(csRunning);
    try {
        m->SetUseSynchronizer(true);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Can not change UseSynchronizer while service run", e.Message());
    }
    m->SetStatus(csStopped);
    m->SetUseSynchronizer(true);
    EXPECT_TRUE(m->UseSynchronizer());
    EXPECT_THROW(m->Synchronizer(), Exception); // none until a start made one
    try {
        m->Synchronizer();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Synchronizer is not available", e.Message());
    }
}

TEST_F(ModuleTest, FailureActionDisplayTexts) {
    auto m = MakeModule();
    struct {
        TrkFailureActionType type;
        int delay;
        const wchar_t* text;
    } cases[] = {{faRestart, 60000, L"Restart service  in 60000 ms"},
                 {faReboot, 5, L"Reboot computer in 5 ms"},
                 {faRunCommand, 0, L"Execute command  in 0 ms"},
                 {faNone, 10, L"No operation"}};
    for (const auto& c : cases) {
        auto* a = m->FailureActions()->Add();
        a->SetActionType(c.type);
        a->SetDelay(c.delay);
        EXPECT_EQ(c.text, a->DisplayName());
    }
    EXPECT_EQ(m.get(), m->FailureActions()->GetOwner());
}

TEST_F(ModuleTest, MappingToServiceManagerValues) {
    TNtServiceApplication* app = Create<TNtServiceApplication>(nullptr);
    std::unique_ptr<TNtServiceApplication, void (*)(TObject*)> guard(app, Free);
    auto* one = Create<TRecordedModule>(app);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), one->NTServiceType());
    auto* two = Create<TRecordedModule>(app);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_SHARE_PROCESS), one->NTServiceType());
    two->SetShareProcess(false);
    two->SetInteractive(true);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS), two->NTServiceType());
    two->SetServiceType(stDevice);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_KERNEL_DRIVER), two->NTServiceType());

    struct {
        TStartType start;
        TServiceType type;
        DWORD expected;
    } starts[] = {{stBoot, stWin32, 2},   {stBoot, stDevice, 0},   {stSystem, stWin32, 2}, {stSystem, stDevice, 1},
                  {stAuto, stWin32, 2},   {stManual, stWin32, 3}, {stDisabled, stWin32, 4},
                  {stDealyedAutostart, stWin32, 2}};
    for (const auto& s : starts) {
        one->SetStartType(s.start);
        one->SetServiceType(s.type);
        EXPECT_EQ(s.expected, one->NTStartType()) << s.start << "/" << s.type;
    }
    one->SetErrorSeverity(esCritical);
    EXPECT_EQ(3u, one->NTErrorSeverity());

    // Controls accepted: shutdown always, the rest by configuration and linked handlers.
    one->SetAllowStop(false);
    one->SetAllowPause(false);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ACCEPT_SHUTDOWN), one->NTControlsAccepted());
    one->SetAllowStop(true);
    one->SetAllowPause(true);
    one->SetPreshutdownTimeout(1000);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE |
                                 SERVICE_ACCEPT_PRESHUTDOWN),
              one->NTControlsAccepted());
    struct TListener {
        void Changed(TObject*) {}
    } listener;
    one->OnParamChangeQueue()->Add(TNotifyEvent::Of<&TListener::Changed>(&listener));
    EXPECT_TRUE(one->NTControlsAccepted() & SERVICE_ACCEPT_PARAMCHANGE);
    one->OnParamChangeQueue()->Clear();
    EXPECT_FALSE(one->NTControlsAccepted() & SERVICE_ACCEPT_PARAMCHANGE);
}

namespace {
class TPowerHandler : public TRkPowerEventHandlerBase {
    TAMREL_CLASS(TPowerHandler, TRkPowerEventHandlerBase)
public:
    using TRkPowerEventHandlerBase::TRkPowerEventHandlerBase;
    void HandlePowerEvent(uint32_t, void*) override {}
};
TAMREL_IMPLEMENT_CLASS(TPowerHandler) {}
} // namespace

TEST_F(ModuleTest, HandlerComponentsAreLinkedByNotification) {
    auto m = MakeModule();
    auto* handler = Create<TPowerHandler>(m.get());
    EXPECT_EQ(handler, m->PowerEventHandler());
    EXPECT_TRUE(m->NTControlsAccepted() & SERVICE_ACCEPT_POWEREVENT);
    Free(handler);
    EXPECT_EQ(nullptr, m->PowerEventHandler());
    EXPECT_FALSE(m->NTControlsAccepted() & SERVICE_ACCEPT_POWEREVENT);
}

TEST_F(ModuleTest, StatusReportCheckpointsAcceptedControlsAndExitCodes) {
    auto m = MakeModule();
    m->SetWaitHint(1234);
    m->SetStatus(csStartPending);
    m->SetStatus(csStartPending);
    m->SetStatus(csStartPending);
    m->SetStatus(csRunning);
    m->SetStatus(csStopPending);
    m->ReportStatus(); // the same pending state again
    m->SetErrCode(42);
    m->SetStatus(csStopped);
    ASSERT_EQ(7u, rec.Statuses.size());
    DWORD states[] = {SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_RUNNING,
                      SERVICE_STOP_PENDING,  SERVICE_STOP_PENDING,  SERVICE_STOPPED};
    DWORD checkpoints[] = {0, 1, 2, 0, 0, 1, 0};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(states[i], rec.Statuses[i].dwCurrentState) << i;
        EXPECT_EQ(checkpoints[i], rec.Statuses[i].dwCheckPoint) << i;
        EXPECT_EQ(1234u, rec.Statuses[i].dwWaitHint);
    }
    EXPECT_EQ(0u, rec.Statuses[0].dwControlsAccepted); // nothing accepted while starting
    EXPECT_EQ(m->NTControlsAccepted(), rec.Statuses[3].dwControlsAccepted);
    EXPECT_EQ(0u, rec.Statuses[5].dwWin32ExitCode);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), rec.Statuses[6].dwWin32ExitCode);
    EXPECT_EQ(42u, rec.Statuses[6].dwServiceSpecificExitCode);
}

TEST_F(ModuleTest, InstallSendsTheRecordAndTheConfigurationLevelsItAsksFor) {
    TNtServiceApplication* app = Create<TNtServiceApplication>(nullptr);
    std::unique_ptr<TNtServiceApplication, void (*)(TObject*)> guard(app, Free);
    auto* m = Create<TRecordedModule>(app);
    m->SetName(L"Svc1");
    m->SetDisplayName(L"  ");
    m->SetDescription(L"Does things");
    m->SetPreshutdownTimeout(5000);
    m->SetLoadGroup(L"Group A");
    m->DependsOnServices()->Add(L"RpcSs");
    m->DependsOnServices()->Add(L"Tcpip");
    m->DependsOnGroups()->Add(L"NetGroup");
    m->FailureOptions()->SetRebootMessage(L"going down");
    m->FailureOptions()->SetCommand(L"cmd /c echo");
    auto* a1 = m->FailureActions()->Add();
    a1->SetActionType(faRestart);
    a1->SetDelay(-5);
    auto* a2 = m->FailureActions()->Add();
    a2->SetActionType(faRunCommand);
    a2->SetDelay(2500);
    auto* a3 = m->FailureActions()->Add();
    a3->SetActionType(faReboot);
    a3->SetDelay(10);
    m->SetStartType(stDealyedAutostart);
    m->Install();

    EXPECT_EQ(L"Svc1", rec.DisplayName); // a blank display name installs the service name
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), rec.ServiceType);
    EXPECT_EQ(2u, rec.StartType);
    EXPECT_EQ(1u, rec.ErrorControl);
    EXPECT_EQ(L"Group A", rec.LoadGroup);
    EXPECT_FALSE(rec.TagRequested);
    EXPECT_EQ(std::wstring(L"RpcSs\0Tcpip\0+NetGroup\0\0", 23), rec.Dependencies);
    EXPECT_EQ(L"<none>", rec.Account); // no USER switch on this command line
    // The program's own path; no stored token in this program, so nothing is appended.
    EXPECT_EQ(ParamStr(0).find(L' ') == std::wstring::npos ? ParamStr(0) : L"\"" + ParamStr(0) + L"\"",
              rec.ImagePath);

    std::vector<DWORD> levels;
    for (const auto& c : rec.Configs) levels.push_back(c.Level);
    std::vector<DWORD> expected = {SERVICE_CONFIG_DESCRIPTION, SERVICE_CONFIG_PRESHUTDOWN_INFO,
                                   SERVICE_CONFIG_FAILURE_ACTIONS};
    if (IsVista()) expected.push_back(SERVICE_CONFIG_DELAYED_AUTO_START_INFO);
    EXPECT_EQ(expected, levels);
    EXPECT_EQ(L"Does things", Level(SERVICE_CONFIG_DESCRIPTION)->Text1);
    EXPECT_EQ(5000u, Level(SERVICE_CONFIG_PRESHUTDOWN_INFO)->Value);
    const auto* f = Level(SERVICE_CONFIG_FAILURE_ACTIONS);
    EXPECT_EQ(INFINITE, f->Value); // reset period -1
    EXPECT_EQ(L"going down", f->Text1);
    EXPECT_EQ(L"cmd /c echo", f->Text2);
    ASSERT_EQ(3u, f->Actions.size());
    EXPECT_EQ(SC_ACTION_RESTART, f->Actions[0].Type);
    EXPECT_EQ(0u, f->Actions[0].Delay); // -5 was stored as 0
    EXPECT_EQ(SC_ACTION_RUN_COMMAND, f->Actions[1].Type);
    EXPECT_EQ(2500u, f->Actions[1].Delay);
    EXPECT_EQ(SC_ACTION_REBOOT, f->Actions[2].Type);
    if (IsVista()) {
        EXPECT_EQ(1u, Level(SERVICE_CONFIG_DELAYED_AUTO_START_INFO)->Value);
    }

    rec.Configs.clear();
    m->FailureOptions()->SetResetPeriod(86400);
    m->Install();
    EXPECT_EQ(86400u, Level(SERVICE_CONFIG_FAILURE_ACTIONS)->Value);

    // A new record has no description, no failure actions and no delayed start: a module that
    // asks for none of them sends no level (older systems and Wine refuse levels they do not know).
    rec.Configs.clear();
    MakeModule()->Install(); // automatic start
    EXPECT_TRUE(rec.Configs.empty());
}

TEST_F(ModuleTest, StoredModuleKeepsTokenAndEventsWinOverStoredFlags) {
    auto m = MakeModule();
    std::wstring text = ComponentToText(m.get());
    // The token is always written.
    EXPECT_NE(std::wstring::npos, text.find(L"StartedByScm = '" + m->StartedByScmToken() + L"'")) << text;

    auto copy = MakeModule(nullptr, L"Other");
    ReadComponentFromText(copy.get(), L"object Svc7: TRecordedModule\n"
                                      L"  AllowStop = False\n"
                                      L"  AllowPause = False\n"
                                      L"  StartType = stManual\n"
                                      L"  FailureActions = <\n"
                                      L"    item\n"
                                      L"      ActionType = faRestart\n"
                                      L"      Delay = 100\n"
                                      L"    end>\n"
                                      L"  StartedByScm = '45F438C3-40E29052'\n"
                                      L"  OnStop = ModuleStop\n"
                                      L"end\n");
    EXPECT_TRUE(copy->AllowStop()); // OnStop was read after AllowStop
    EXPECT_FALSE(copy->AllowPause());
    EXPECT_EQ(stManual, copy->StartType());
    EXPECT_EQ(L"Svc7", copy->ServiceName());
    EXPECT_TRUE(copy->StartedByScmLoaded());
    EXPECT_EQ(L"45F438C3-40E29052", copy->StartedByScmToken());
    ASSERT_EQ(1, copy->FailureActions()->Count());
    EXPECT_EQ(100, copy->FailureActions()->Items(0)->Delay());
    // Written back, the stored token comes out unchanged.
    EXPECT_NE(std::wstring::npos, ComponentToText(copy.get()).find(L"StartedByScm = '45F438C3-40E29052'"));
}

// The network library is bound at the first call (a delay-loaded import): the call works, and a
// path on a local drive has no network name.
TEST(UniversalName, ALocalPathHasNoNetworkName) {
    std::wstring unc = L"unchanged";
    EXPECT_FALSE(GetUniversalName(L"C:\\windows", unc));
    EXPECT_EQ(L"unchanged", unc);
    EXPECT_NE(nullptr, GetModuleHandleW(L"mpr.dll"));
}
