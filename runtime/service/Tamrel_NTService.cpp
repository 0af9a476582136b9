// The service module's configuration, status report, installation and removal.
#include "runtime/service/Tamrel_NTService.h"

#include "host/Handles.h"
#include "host/SizeProbe.h"
#include "host/Streaming.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/base/Tamrel_WinVer.h"
#include "runtime/service/internal/Tamrel_NTServiceInternal.h"

#include <cstring>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Failure actions

TAMREL_IMPLEMENT_CLASS(TrkFailureAction) {
    b.Enum(L"ActionType", &TrkFailureAction::ActionType, &TrkFailureAction::SetActionType, faNone);
    b.Integer(L"Delay", &TrkFailureAction::Delay, &TrkFailureAction::SetDelay, 0);
}

void TrkFailureAction::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TrkFailureAction*>(source)) {
        FActionType = s->FActionType;
        FDelay = s->FDelay;
        return;
    }
    TCollectionItem::Assign(source);
}

std::wstring TrkFailureAction::GetDisplayName() const {
    // The designer's collection editor shows these texts as they always were, double blank included.
    switch (FActionType) {
    case faRestart:
        return L"Restart service " + std::wstring(L" in ") + IntToStr(FDelay) + L" ms";
    case faReboot:
        return L"Reboot computer" + std::wstring(L" in ") + IntToStr(FDelay) + L" ms";
    case faRunCommand:
        return L"Execute command " + std::wstring(L" in ") + IntToStr(FDelay) + L" ms";
    case faNone:
        break;
    }
    return L"No operation";
}

TAMREL_IMPLEMENT_CLASS(TrkFailureActions) {}

TAMREL_IMPLEMENT_CLASS(TrkFailureOptions) {
    b.Integer(L"ResetPeriod", &TrkFailureOptions::ResetPeriod, &TrkFailureOptions::SetResetPeriod, -1);
    b.String(L"RebootMessage", &TrkFailureOptions::RebootMessage, &TrkFailureOptions::SetRebootMessage);
    b.String(L"Command", &TrkFailureOptions::Command, &TrkFailureOptions::SetCommand);
}

void TrkFailureOptions::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TrkFailureOptions*>(source)) {
        FResetPeriod = s->FResetPeriod;
        FRebootMessage = s->FRebootMessage;
        FCommand = s->FCommand;
        return;
    }
    TPersistent::Assign(source);
}

TAMREL_IMPLEMENT_CLASS(TRkPowerEventHandlerBase) {}
TAMREL_IMPLEMENT_CLASS(TRkNetBindEventHandlerBase) {}

// ---------------------------------------------------------------------------------------------
// TNtService: published members

TAMREL_IMPLEMENT_CLASS(TNtService) {
    using T = TNtService;
    b.Boolean(L"AllowStop", &T::AllowStop, &T::SetAllowStop, true);
    b.Boolean(L"AllowPause", &T::AllowPause, &T::SetAllowPause, true);
    b.Cardinal(L"PreshutdownTimeout", &T::PreshutdownTimeout, &T::SetPreshutdownTimeout, 0);
    b.Boolean(L"SuspendOnPause", &T::SuspendOnPause, &T::SetSuspendOnPause, true);
    b.Object(L"DependsOnServices", &T::DependsOnServices, &T::SetDependsOnServices);
    b.Object(L"DependsOnGroups", &T::DependsOnGroups, &T::SetDependsOnGroups);
    b.String(L"DisplayName", &T::StoredDisplayName, &T::SetDisplayName);
    b.Enum(L"ErrorSeverity", &T::ErrorSeverity, &T::SetErrorSeverity, esNormal);
    b.Boolean(L"Interactive", &T::Interactive, &T::SetInteractive, false);
    b.String(L"LoadGroup", &T::LoadGroup, &T::SetLoadGroup);
    b.Enum(L"ServiceType", &T::ServiceType, &T::SetServiceType, stWin32);
    b.Boolean(L"ShareProcess", &T::ShareProcess, &T::SetShareProcess, true);
    b.Enum(L"StartType", &T::StartType, &T::SetStartType, stAuto);
    b.Cardinal(L"TagID", &T::TagID, &T::SetTagID, 0);
    b.Integer(L"WaitHint", &T::WaitHint, &T::SetWaitHint, 3000);
    b.Boolean(L"UseSynchronizer", &T::UseSynchronizer, &T::SetUseSynchronizer, false);
    b.Event(L"BeforeInstall", &T::BeforeInstall, &T::SetBeforeInstall);
    b.Event(L"AfterInstall", &T::AfterInstall, &T::SetAfterInstall);
    b.Event(L"BeforeUninstall", &T::BeforeUninstall, &T::SetBeforeUninstall);
    b.Event(L"AfterUninstall", &T::AfterUninstall, &T::SetAfterUninstall);
    b.Event(L"OnContinue", &T::OnContinue, &T::SetOnContinue);
    b.Event(L"OnExecute", &T::OnExecute, &T::SetOnExecute);
    b.Event(L"OnPause", &T::OnPause, &T::SetOnPause);
    b.Event(L"OnShutdown", &T::OnShutdown, &T::SetOnShutdown);
    b.Event(L"OnStart", &T::OnStart, &T::SetOnStart);
    b.Event(L"OnStop", &T::OnStop, &T::SetOnStop);
    b.Event(L"OnCustomControl", &T::OnCustomControl, &T::SetOnCustomControl);
    b.Event(L"OnConsoleEvent", &T::OnConsoleEvent, &T::SetOnConsoleEvent);
    b.Event(L"OnParamChange", &T::OnParamChange, &T::SetOnParamChange);
    b.String(L"ServiceName", &T::ServiceName, &T::SetServiceName);
    b.String(L"Description", &T::Description, &T::SetDescription);
    b.Object(L"FailureOptions", &T::FailureOptions);
    b.Object(L"FailureActions", &T::FailureActions);
}

TNtService::TNtService(TComponent* owner) : TDataModule(owner) {
    FSelf = this;
    FStartedByScmLoaded = false;
    BuildThunks();
    FDependsOnServices = std::make_unique<TStringList>();
    FDependsOnGroups = std::make_unique<TStringList>();
    for (auto* q : {&FBeforeInstallQueue, &FAfterInstallQueue, &FBeforeUninstallQueue, &FAfterUninstallQueue,
                    &FOnStartQueue, &FOnStopQueue, &FOnPauseQueue, &FOnContinueQueue, &FOnParamChangeQueue})
        *q = std::make_unique<TrkEventList>();
    FFailureOptions = std::make_unique<TrkFailureOptions>();
    FFailureActions = std::make_unique<TrkFailureActions>(this);
}

TNtService::~TNtService() {
    // Owned components leave the queues through their notifications while the module is whole.
    DestroyComponents();
    EndSelfStop();
    FSynchronizer.reset();
    FEventLog.reset();
}

void TNtService::FinishConstruction() {
    TDataModule::FinishConstruction();
    if (!FStartedByScmLoaded) {
        // The token is the module's creation time as the host stores it: the two 32-bit halves of
        // the 8-byte date-time value in hexadecimal.
        TDateTime now = Now();
        uint64_t bits;
        std::memcpy(&bits, &now, sizeof bits);
        FStartedByScm = IntToHex(static_cast<uint32_t>(bits), 8) + L"-" + IntToHex(static_cast<uint32_t>(bits >> 32), 8);
    }
}

std::wstring TNtService::DisplayName() const {
    if (Trim(FDisplayName).empty()) return FServiceName;
    return FDisplayName;
}

void TNtService::SetServiceName(const std::wstring& value) {
    if (value.find(L'\\') != std::wstring::npos)
        throw Exception(L"Invalid ServiceName property: \"\\\" character is not allowed");
    if (value.find(L'/') != std::wstring::npos)
        throw Exception(L"Invalid ServiceName property: \"/\" character is not allowed");
    FServiceName = value.empty() ? Name() : value;
}

void TNtService::SetName(const std::wstring& newName) {
    std::wstring oldName = Name();
    TDataModule::SetName(newName);
    if (FServiceName.empty() || FServiceName == oldName) FServiceName = Name();
}

void TNtService::SetDescription(const std::wstring& value) {
    if (value.size() > 1023) throw Exception(L"The desription is too long. Max length is 1024 char");
    FDescription = value;
}

void TNtService::SetWaitHint(int32_t value) {
    if (value < 0) throw Exception(L"Invalid WaitHint property: a negative value is not allowed");
    FWaitHint = value;
}

void TNtService::SetUseSynchronizer(bool value) {
    if (FCurrentStatus.load() != csStopped) throw Exception(L"Can not change UseSynchronizer while service run");
    FUseSynchronizer = value;
}

void TNtService::SetOnContinue(TNtServiceActionEvent e) {
    FOnContinue = e;
    if (e) FAllowPause = true;
}

void TNtService::SetOnPause(TNtServiceActionEvent e) {
    FOnPause = e;
    if (e) FAllowPause = true;
}

void TNtService::SetOnStop(TNtServiceActionEvent e) {
    FOnStop = e;
    if (e) FAllowStop = true;
}

std::wstring TNtService::Param(int index) const {
    if (index < 0 || index >= ParamCount()) throw EListError(SListIndexError, index);
    return FParams[static_cast<size_t>(index)];
}

TNTEventLog* TNtService::EventLog() {
    if (!FEventLog) FEventLog = std::make_unique<TNTEventLog>(FServiceName);
    return FEventLog.get();
}

void TNtService::LogError(const std::wstring& message) { EventLog()->LogMessage(message, etError, 1, 0); }

void TNtService::LogLastError() { LogError(SysErrorMessage(GetLastError())); }

void TNtService::Notification(TComponent* component, TOperation operation) {
    TDataModule::Notification(component, operation);
    if (operation == opInsert) {
        if (auto* p = dynamic_cast<TRkPowerEventHandlerBase*>(component)) FPowerEventHandler = p;
        if (auto* n = dynamic_cast<TRkNetBindEventHandlerBase*>(component)) FNetBindEventHandler = n;
    } else {
        // The component may be half destroyed already: compare, do not cast.
        if (component == static_cast<TComponent*>(FPowerEventHandler)) FPowerEventHandler = nullptr;
        if (component == static_cast<TComponent*>(FNetBindEventHandler)) FNetBindEventHandler = nullptr;
    }
}

void TNtService::DefineProperties(TFiler& filer) {
    TDataModule::DefineProperties(filer);
    filer.DefineProperty(
        L"StartedByScm",
        [this](TReader& r) {
            FStartedByScm = r.ReadString();
            FStartedByScmLoaded = true;
        },
        [this](TWriter& w) { w.WriteString(FStartedByScm); }, true);
}

// ---------------------------------------------------------------------------------------------
// Mapping

DWORD TNtService::NTServiceType() const {
    switch (FServiceType) {
    case stDevice:
        return SERVICE_KERNEL_DRIVER;
    case stFileSystem:
        return SERVICE_FILE_SYSTEM_DRIVER;
    case stWin32:
        break;
    }
    auto* app = dynamic_cast<TNtServiceApplication*>(Owner());
    DWORD type = FShareProcess && app && app->ServiceCount() > 1 ? SERVICE_WIN32_SHARE_PROCESS
                                                                  : SERVICE_WIN32_OWN_PROCESS;
    if (FInteractive) type |= SERVICE_INTERACTIVE_PROCESS;
    return type;
}

DWORD TNtService::NTStartType() const {
    switch (FStartType) {
    case stBoot:
        return FServiceType == stDevice ? SERVICE_BOOT_START : SERVICE_AUTO_START;
    case stSystem:
        return FServiceType == stDevice ? SERVICE_SYSTEM_START : SERVICE_AUTO_START;
    case stAuto:
    case stDealyedAutostart:
        return SERVICE_AUTO_START;
    case stManual:
        return SERVICE_DEMAND_START;
    case stDisabled:
        return SERVICE_DISABLED;
    }
    return SERVICE_AUTO_START;
}

DWORD TNtService::NTErrorSeverity() const { return static_cast<DWORD>(FErrorSeverity); }

DWORD TNtService::NTServiceStatus() const { return static_cast<DWORD>(FCurrentStatus.load()) + 1; }

DWORD TNtService::NTControlsAccepted() const {
    DWORD accepted = SERVICE_ACCEPT_SHUTDOWN;
    if (FAllowStop) accepted |= SERVICE_ACCEPT_STOP;
    if (FAllowPause) accepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
    if (FPreshutdownTimeout != 0) accepted |= SERVICE_ACCEPT_PRESHUTDOWN;
    if (FPowerEventHandler) accepted |= SERVICE_ACCEPT_POWEREVENT;
    if (FNetBindEventHandler) accepted |= SERVICE_ACCEPT_NETBINDCHANGE;
    if (FOnParamChange || FOnParamChangeQueue->Count() > 0) accepted |= SERVICE_ACCEPT_PARAMCHANGE;
    return accepted;
}

// ---------------------------------------------------------------------------------------------
// Status

void TNtService::SetStatus(TCurrentStatus status) {
    FCurrentStatus.store(status);
    if (!ComponentState().Contains(csDesigning)) ReportStatus();
}

void TNtService::ReportStatus() {
    TCurrentStatus current = FCurrentStatus.load();
    FStatus.dwWaitHint = static_cast<DWORD>(FWaitHint);
    FStatus.dwServiceType = NTServiceType();
    FStatus.dwControlsAccepted = current == csStartPending ? 0 : NTControlsAccepted();
    bool pending = current == csStartPending || current == csStopPending || current == csContinuePending ||
                   current == csPausePending;
    DWORD state = NTServiceStatus();
    if (pending && FStatus.dwCurrentState == state) ++FStatus.dwCheckPoint;
    else FStatus.dwCheckPoint = 0;
    FStatus.dwCurrentState = state;
    FStatus.dwWin32ExitCode = static_cast<DWORD>(FWin32ErrorCode);
    FStatus.dwServiceSpecificExitCode = static_cast<DWORD>(FErrCode);
    if (FErrCode != 0) FStatus.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    if (!RkSetServiceStatus(FStatusHandle, &FStatus)) LogLastError();
}

// ---------------------------------------------------------------------------------------------
// Installation

bool GetUniversalName(const std::wstring& path, std::wstring& unc) {
    std::vector<BYTE> buffer;
    DWORD size = 0;
    DWORD rc = CallWithSizeProbe(buffer, size, [&](BYTE* b, DWORD& n) {
        return WNetGetUniversalNameW(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, b, &n);
    });
    if (rc != NO_ERROR || buffer.empty()) return false;
    auto* info = reinterpret_cast<UNIVERSAL_NAME_INFOW*>(buffer.data());
    if (!info->lpUniversalName) return false;
    unc = info->lpUniversalName;
    return true;
}

namespace {

// The program's own path as the service manager must see it: a mapped network drive becomes its
// network name, a substituted drive its real directory.
std::wstring OwnImagePath() {
    std::wstring path = ParamStr(0);
    std::wstring unc;
    if (GetUniversalName(path, unc)) path = unc;
    if (path.size() >= 2 && path[1] == L':') {
        std::wstring drive = path.substr(0, 2);
        std::vector<wchar_t> device(1024, L'\0');
        if (QueryDosDeviceW(drive.c_str(), device.data(), static_cast<DWORD>(device.size()))) {
            std::wstring target = device.data();
            if (target.rfind(L"\\??\\", 0) == 0) path = target.substr(4) + path.substr(2);
        }
    }
    // An unquoted path with a blank lets the manager try "C:\Program.exe" first: quote it.
    if (path.find(L' ') != std::wstring::npos && !(path.size() >= 2 && path.front() == L'"' && path.back() == L'"'))
        path = L"\"" + path + L"\"";
    return path;
}

// The privilege that reboot failure actions need; failures raise the system error.
void EnableShutdownPrivilege() {
    TKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put()))
        RaiseLastOSError();
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid)) RaiseLastOSError();
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token.Get(), FALSE, &tp, 0, nullptr, nullptr);
}

void ChangeConfig2(SC_HANDLE service, DWORD level, void* info) {
    if (!RkChangeServiceConfig2(service, level, info)) RaiseLastOSError();
}

} // namespace

TRkScHandle OpenTargetManager(DWORD access) {
    const std::wstring machine = TamrelFindCommand(L"REMOTE") ? TamrelParameterValue(L"COMPUTER") : std::wstring();
    TRkScHandle manager(RkOpenSCManager(machine.empty() ? nullptr : machine.c_str(), nullptr, access));
    if (!manager) RaiseLastOSError();
    return manager;
}

TRkScHandle OpenTargetService(const TRkScHandle& manager, const std::wstring& name, DWORD access) {
    TRkScHandle service(RkOpenService(manager.Get(), name.c_str(), access));
    if (!service) RaiseLastOSError();
    return service;
}

namespace {

// The dependency block: each service, then each group behind "+", each closed by a NUL, and one
// more NUL at the end. The manager reads up to the first empty string, so an empty line (two
// commas in a comma text) would hide every entry after it: empty lines are left out.
std::wstring DependencyBlock(const TStrings& services, const TStrings& groups) {
    std::wstring block;
    const auto add = [&block](const wchar_t* prefix, const std::wstring& name) {
        if (name.empty()) return;
        block += prefix + name;
        block.push_back(L'\0');
    };
    for (int i = 0; i < services.Count(); ++i) add(L"", services.Get(i));
    for (int i = 0; i < groups.Count(); ++i) add(L"+", groups.Get(i));
    block.push_back(L'\0');
    return block;
}

} // namespace

void TNtService::Install() {
    std::wstring imagePath = TamrelFindCommand(L"REMOTE") ? TamrelParameterValue(L"PATH") : OwnImagePath();
    auto* app = dynamic_cast<TNtServiceApplication*>(Owner());
    std::wstring startText = app ? app->StartedByScm() : std::wstring();
    if (!startText.empty()) imagePath += L" /startedbyscm:" + startText;

    TRkScHandle manager = OpenTargetManager(SC_MANAGER_ALL_ACCESS);

    const std::wstring dependencies = DependencyBlock(*FDependsOnServices, *FDependsOnGroups);

    std::wstring user, password;
    bool sharing = FShareProcess && app && app->ServiceCount() > 1;
    bool withAccount = !FInteractive && !sharing && TamrelFindParameter(L"USER", user);
    if (withAccount) TamrelFindParameter(L"PASSWORD", password);

    std::vector<SC_ACTION> actions;
    bool reboot = false;
    for (int i = 0; i < FFailureActions->Count(); ++i) {
        TrkFailureAction* a = FFailureActions->Items(i);
        actions.push_back({static_cast<SC_ACTION_TYPE>(a->ActionType()), static_cast<DWORD>(a->Delay())});
        if (a->ActionType() == faReboot) reboot = true;
    }
    // Before the creation: a refusal here leaves nothing to take back.
    if (reboot) EnableShutdownPrivilege();

    DWORD tag = FTagID;
    std::wstring displayName = DisplayName();
    TRkScHandle service(RkCreateService(manager.Get(), FServiceName.c_str(), displayName.c_str(), SERVICE_ALL_ACCESS,
                                      NTServiceType(), NTStartType(), NTErrorSeverity(), imagePath.c_str(),
                                      FLoadGroup.empty() ? nullptr : FLoadGroup.c_str(), FTagID != 0 ? &tag : nullptr,
                                      dependencies.c_str(), withAccount ? user.c_str() : nullptr,
                                      withAccount ? password.c_str() : nullptr));
    if (!service) RaiseLastOSError();
    if (FTagID != 0) FTagID = tag;

    // All or nothing: a half-configured record would make every later install answer 1073. A
    // step that fails takes the new record away again, and its own error is what the user sees.
    try {
        // A new record has no description, no failure actions, no delayed start and the default
        // preshutdown time: a level is sent only where the module asks for more, because older
        // systems (and Wine) refuse levels they do not know.
        if (!FDescription.empty()) {
            SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(FDescription.c_str())};
            ChangeConfig2(service.Get(), SERVICE_CONFIG_DESCRIPTION, &description);
        }
        if (FPreshutdownTimeout != 0) {
            SERVICE_PRESHUTDOWN_INFO preshutdown{FPreshutdownTimeout};
            ChangeConfig2(service.Get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown);
        }
        std::wstring rebootMessage = FFailureOptions->RebootMessage(), command = FFailureOptions->Command();
        if (!actions.empty() || !rebootMessage.empty() || !command.empty()) {
            SERVICE_FAILURE_ACTIONSW failure{};
            failure.dwResetPeriod =
                FFailureOptions->ResetPeriod() < 0 ? INFINITE : static_cast<DWORD>(FFailureOptions->ResetPeriod());
            failure.lpRebootMsg = rebootMessage.data();
            failure.lpCommand = command.data();
            failure.cActions = static_cast<DWORD>(actions.size());
            failure.lpsaActions = actions.empty() ? nullptr : actions.data();
            ChangeConfig2(service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
        }
        if (IsVista() && FStartType == stDealyedAutostart) {
            SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
            ChangeConfig2(service.Get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed);
        }
    } catch (...) {
        RkDeleteService(service.Get());
        throw;
    }
}

void TNtService::DeleteInstalledService() {
    TRkScHandle manager = OpenTargetManager(SC_MANAGER_ALL_ACCESS);
    TRkScHandle service = OpenTargetService(manager, FServiceName, DELETE);
    if (!RkDeleteService(service.Get())) RaiseLastOSError();
}

void TNtService::Uninstall() {
    TRkScHandle manager = OpenTargetManager(SC_MANAGER_ALL_ACCESS);
    TRkScHandle service = OpenTargetService(manager, FServiceName, SERVICE_ALL_ACCESS);

    SERVICE_STATUS status{};
    if (!RkQueryServiceStatus(service.Get(), &status)) RaiseLastOSError();
    if (status.dwCurrentState != SERVICE_STOPPED) {
        if (!RkControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) RaiseLastOSError();
        DWORD checkpoint = status.dwCheckPoint;
        for (;;) {
            if (!RkQueryServiceStatus(service.Get(), &status)) break;
            if (status.dwCurrentState == SERVICE_STOPPED) break;
            for (int i = 0; i < 3; ++i) {
                Sleep(status.dwWaitHint);
                if (!RkQueryServiceStatus(service.Get(), &status)) RaiseLastOSError();
                if (status.dwCurrentState == SERVICE_STOPPED || status.dwCheckPoint != checkpoint) break;
            }
            if (status.dwCurrentState == SERVICE_STOPPED || status.dwCheckPoint == checkpoint) break;
            checkpoint = status.dwCheckPoint;
        }
        if (status.dwCurrentState != SERVICE_STOPPED) throw Exception(L"%s failed to stop", DisplayName());
    }
    if (!RkDeleteService(service.Get())) RaiseLastOSError();
}

} // namespace tamrel
