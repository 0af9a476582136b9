// The service module and the service application.
//
// A TNtService is one service of the process, designed as a data module: its published properties
// hold the service manager's configuration, its events are the service's lifecycle, components
// placed on it join its event queues. TNtServiceApplication (the global Application) owns the
// modules and decides from the command line whether the program configures, controls or runs its
// services, or runs as an ordinary program.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "host/HiddenWindow.h"
#include "host/Threads.h"
#include "runtime/service/base/Tamrel_EventList.h"
#include "runtime/service/base/Tamrel_EventLog.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tamrel {

class TNtService;
class TNtServiceApplication;
class TSelfStopThread;
class TNtServiceApplicationThread;

TAMREL_ENUM(TServiceType, stWin32, stDevice, stFileSystem);
TAMREL_ENUM(TStartType, stBoot, stSystem, stAuto, stManual, stDisabled, stDealyedAutostart);
TAMREL_ENUM(TErrorSeverity, esIgnore, esNormal, esSevere, esCritical);
TAMREL_ENUM(TCurrentStatus, csStopped, csStartPending, csStopPending, csRunning, csContinuePending, csPausePending,
            csPaused);
TAMREL_ENUM(TrkFailureActionType, faNone, faRestart, faReboot, faRunCommand);
TAMREL_ENUM(TrkConsoleEventType, ceCtrlC, ceCtrlBreak, ceCtrlClose, ceCtrlLogoff, ceCtrlShutdown);
TAMREL_ENUM(TRkControl, svcStart, svcStop, svcPause, svcContinue, svcRestart);

using TNtServiceActionEvent = TMethod<void(TNtService* Sender, bool& DoAction)>;
using TNtServiceControlEvent = TMethod<void(TNtService* Sender, int32_t ControlCode)>;
using TNtServiceConsoleCtrl = TMethod<void(TNtService* Sender, TrkConsoleEventType Code, bool& DoNotHandleNext)>;
using TThreadMethod = TMethod<void()>;

// ---------------------------------------------------------------------------------------------
// Failure actions

class TAMREL_API TrkFailureAction : public TCollectionItem {
    TAMREL_CLASS(TrkFailureAction, TCollectionItem)
public:
    explicit TrkFailureAction(TCollection* collection) : TCollectionItem(collection) {}
    TrkFailureActionType ActionType() const { return FActionType; }
    void SetActionType(TrkFailureActionType value) { FActionType = value; }
    int32_t Delay() const { return FDelay; }
    // A negative delay is stored as 0.
    void SetDelay(int32_t value) { FDelay = value < 0 ? 0 : value; }
    void Assign(TPersistent* source) override;
    std::wstring GetDisplayName() const override;

private:
    TrkFailureActionType FActionType = faNone;
    int32_t FDelay = 0;
};

class TAMREL_API TrkFailureActions : public TOwnedCollection {
    TAMREL_CLASS(TrkFailureActions, TOwnedCollection)
public:
    explicit TrkFailureActions(TPersistent* owner) : TOwnedCollection(owner, TrkFailureAction::StaticClassInfo()) {}
    TrkFailureAction* Items(int index) const { return static_cast<TrkFailureAction*>(TCollection::Items(index)); }
    TrkFailureAction* Add() { return static_cast<TrkFailureAction*>(TCollection::Add()); }
};

class TAMREL_API TrkFailureOptions : public TPersistent {
    TAMREL_CLASS(TrkFailureOptions, TPersistent)
public:
    // Seconds as the service manager counts them; -1 = never reset.
    int32_t ResetPeriod() const { return FResetPeriod; }
    void SetResetPeriod(int32_t value) { FResetPeriod = value; }
    const std::wstring& RebootMessage() const { return FRebootMessage; }
    void SetRebootMessage(const std::wstring& value) { FRebootMessage = value; }
    const std::wstring& Command() const { return FCommand; }
    void SetCommand(const std::wstring& value) { FCommand = value; }
    void Assign(TPersistent* source) override;

private:
    int32_t FResetPeriod = -1;
    std::wstring FRebootMessage;
    std::wstring FCommand;
};

// ---------------------------------------------------------------------------------------------
// Handler components a module links to by component notification.

class TAMREL_API TRkPowerEventHandlerBase : public TComponent {
    TAMREL_CLASS(TRkPowerEventHandlerBase, TComponent)
public:
    using TComponent::TComponent;
    virtual void HandlePowerEvent(uint32_t eventType, void* eventData) = 0;
};

class TAMREL_API TRkNetBindEventHandlerBase : public TComponent {
    TAMREL_CLASS(TRkNetBindEventHandlerBase, TComponent)
public:
    using TComponent::TComponent;
    virtual void HandleNetBindEvent(uint32_t control) = 0;
};

// ---------------------------------------------------------------------------------------------
// TrkSynchronizer: runs a method on the thread that created it (through a hidden window and the
// message 0x8FFF) and raises the method's exception again in the caller.

class TAMREL_API TrkSynchronizer {
public:
    static constexpr UINT SynchronizeMessage = 0x8FFF;
    // Makes the window on the calling thread; raises EOSError when it cannot be made.
    TrkSynchronizer();
    ~TrkSynchronizer();
    TrkSynchronizer(const TrkSynchronizer&) = delete;
    TrkSynchronizer& operator=(const TrkSynchronizer&) = delete;
    void Execute(TThreadMethod method);
    // The window (see the application's synchronizer below for when it is null).
    HWND WindowHandle() const;

private:
    friend class TNtServiceApplication;
    // The application's synchronizer makes its window on the first call that needs it (Execute,
    // or WindowHandle on the creating thread; WindowHandle on another thread answers null until
    // then). Execute from another thread then asks the creating thread for the window and waits
    // until that thread's message pump has made it.
    struct TOnFirstUse {};
    explicit TrkSynchronizer(TOnFirstUse);
    void WndProc(TMessage& message);
    mutable TDeferredWindow FWindowHandle;
};

// The control request that the control handler posts to a service thread.
struct TControlRequest {
    DWORD EventType = 0;
    void* Data = nullptr;
};

// The registered window message "TamrelServiceControlMessage" (0 until service mode registers it).
TAMREL_API UINT ControlMessage();

// The network name of a path on a mapped drive.
TAMREL_API bool GetUniversalName(const std::wstring& path, std::wstring& unc);

// ---------------------------------------------------------------------------------------------
// TNtService

class TAMREL_API TNtService : public TDataModule {
    TAMREL_CLASS(TNtService, TDataModule)
public:
    explicit TNtService(TComponent* owner);
    ~TNtService() override;

    // Published configuration
    bool AllowStop() const { return FAllowStop; }
    void SetAllowStop(bool value) { FAllowStop = value; }
    bool AllowPause() const { return FAllowPause; }
    void SetAllowPause(bool value) { FAllowPause = value; }
    uint32_t PreshutdownTimeout() const { return FPreshutdownTimeout; }
    void SetPreshutdownTimeout(uint32_t value) { FPreshutdownTimeout = value; }
    bool SuspendOnPause() const { return FSuspendOnPause; }
    void SetSuspendOnPause(bool value) { FSuspendOnPause = value; }
    TStrings* DependsOnServices() const { return FDependsOnServices.get(); }
    void SetDependsOnServices(TStrings* value) { FDependsOnServices->Assign(value); }
    TStrings* DependsOnGroups() const { return FDependsOnGroups.get(); }
    void SetDependsOnGroups(TStrings* value) { FDependsOnGroups->Assign(value); }
    // The stored text, or ServiceName when that is blank.
    std::wstring DisplayName() const;
    const std::wstring& StoredDisplayName() const { return FDisplayName; }
    void SetDisplayName(const std::wstring& value) { FDisplayName = value; }
    TErrorSeverity ErrorSeverity() const { return FErrorSeverity; }
    void SetErrorSeverity(TErrorSeverity value) { FErrorSeverity = value; }
    bool Interactive() const { return FInteractive; }
    void SetInteractive(bool value) { FInteractive = value; }
    const std::wstring& LoadGroup() const { return FLoadGroup; }
    void SetLoadGroup(const std::wstring& value) { FLoadGroup = value; }
    TServiceType ServiceType() const { return FServiceType; }
    void SetServiceType(TServiceType value) { FServiceType = value; }
    bool ShareProcess() const { return FShareProcess; }
    void SetShareProcess(bool value) { FShareProcess = value; }
    TStartType StartType() const { return FStartType; }
    void SetStartType(TStartType value) { FStartType = value; }
    uint32_t TagID() const { return FTagID; }
    void SetTagID(uint32_t value) { FTagID = value; }
    int32_t WaitHint() const { return FWaitHint; }
    // A negative value is refused: every waiter (the manager, an uninstall, the end of the
    // program) takes the hint as an unsigned count of milliseconds.
    void SetWaitHint(int32_t value);
    bool UseSynchronizer() const { return FUseSynchronizer; }
    void SetUseSynchronizer(bool value);
    const std::wstring& ServiceName() const { return FServiceName; }
    void SetServiceName(const std::wstring& value);
    const std::wstring& Description() const { return FDescription; }
    void SetDescription(const std::wstring& value);
    TrkFailureOptions* FailureOptions() const { return FFailureOptions.get(); }
    void SetFailureOptions(TrkFailureOptions* value) { FFailureOptions->Assign(value); }
    TrkFailureActions* FailureActions() const { return FFailureActions.get(); }
    void SetFailureActions(TrkFailureActions* value) { FFailureActions->Assign(value); }

    // Published events
    TNtServiceActionEvent BeforeInstall() const { return FBeforeInstall; }
    void SetBeforeInstall(TNtServiceActionEvent e) { FBeforeInstall = e; }
    TNotifyEvent AfterInstall() const { return FAfterInstall; }
    void SetAfterInstall(TNotifyEvent e) { FAfterInstall = e; }
    TNtServiceActionEvent BeforeUninstall() const { return FBeforeUninstall; }
    void SetBeforeUninstall(TNtServiceActionEvent e) { FBeforeUninstall = e; }
    TNotifyEvent AfterUninstall() const { return FAfterUninstall; }
    void SetAfterUninstall(TNotifyEvent e) { FAfterUninstall = e; }
    TNtServiceActionEvent OnContinue() const { return FOnContinue; }
    void SetOnContinue(TNtServiceActionEvent e);
    TNotifyEvent OnExecute() const { return FOnExecute; }
    void SetOnExecute(TNotifyEvent e) { FOnExecute = e; }
    TNtServiceActionEvent OnPause() const { return FOnPause; }
    void SetOnPause(TNtServiceActionEvent e);
    TNotifyEvent OnShutdown() const { return FOnShutdown; }
    void SetOnShutdown(TNotifyEvent e) { FOnShutdown = e; }
    TNtServiceActionEvent OnStart() const { return FOnStart; }
    void SetOnStart(TNtServiceActionEvent e) { FOnStart = e; }
    TNtServiceActionEvent OnStop() const { return FOnStop; }
    void SetOnStop(TNtServiceActionEvent e);
    TNtServiceControlEvent OnCustomControl() const { return FOnCustomControl; }
    void SetOnCustomControl(TNtServiceControlEvent e) { FOnCustomControl = e; }
    TNtServiceConsoleCtrl OnConsoleEvent() const { return FOnConsoleEvent; }
    void SetOnConsoleEvent(TNtServiceConsoleCtrl e) { FOnConsoleEvent = e; }
    TNotifyEvent OnParamChange() const { return FOnParamChange; }
    void SetOnParamChange(TNotifyEvent e) { FOnParamChange = e; }

    // The start arguments (argv[0] is the service name the manager passes).
    std::wstring Param(int index) const;
    int ParamCount() const { return static_cast<int>(FParams.size()); }
    int32_t ErrCode() const { return FErrCode; }
    void SetErrCode(int32_t value) { FErrCode = value; }
    int32_t Win32ErrCode() const { return FWin32ErrorCode; }
    void SetWin32ErrCode(int32_t value) { FWin32ErrorCode = value; }

    TrkEventList* BeforeInstallQueue() const { return FBeforeInstallQueue.get(); }
    TrkEventList* AfterInstallQueue() const { return FAfterInstallQueue.get(); }
    TrkEventList* BeforeUninstallQueue() const { return FBeforeUninstallQueue.get(); }
    TrkEventList* AfterUninstallQueue() const { return FAfterUninstallQueue.get(); }
    TrkEventList* OnStartQueue() const { return FOnStartQueue.get(); }
    TrkEventList* OnStopQueue() const { return FOnStopQueue.get(); }
    TrkEventList* OnPauseQueue() const { return FOnPauseQueue.get(); }
    TrkEventList* OnContinueQueue() const { return FOnContinueQueue.get(); }
    TrkEventList* OnParamChangeQueue() const { return FOnParamChangeQueue.get(); }

    // The module's own synchronizer (UseSynchronizer); raises "Synchronizer is not available".
    TrkSynchronizer* Synchronizer() const;
    // Runs Method on the main thread through the application's synchronizer.
    void Synchronize(TThreadMethod method);
    // The service thread's id while Run executes, else 0.
    DWORD ThreadID() const { return FThreadID.load(); }
    TNTEventLog* EventLog();
    bool Terminated() const { return FCurrentStatus.load() == csStopped; }
    TCurrentStatus CurrentStatus() const { return FCurrentStatus.load(); }

    // Mapping to the service manager's values
    DWORD NTServiceType() const;
    DWORD NTStartType() const;
    DWORD NTErrorSeverity() const;
    DWORD NTServiceStatus() const;
    DWORD NTControlsAccepted() const;

    virtual void ReportStatus();
    virtual void Install();
    virtual void Uninstall();

    // The running side
    virtual bool DoStart();
    virtual bool DoStop();
    virtual bool DoPause();
    virtual bool DoContinue();
    virtual void Run();
    virtual void DoShutdown();
    virtual void ProcessRequests(bool waitForMessage);
    virtual void DoCustomControl(uint32_t code);
    bool Start();
    void Stop();
    void Pause();
    void Continue();
    void Interrogate();
    void ParamChange();
    void Shutdown();
    bool IsKeyMsg(MSG& msg);

    // The control handler: runs on the dispatcher thread, posts the request to the service thread.
    void Controller(DWORD code, DWORD eventType, void* eventData);
    // The service main routine the manager calls through the main thunk.
    void Main(DWORD argc, LPWSTR* argv);
    // The procedure the service table names for this module.
    LPSERVICE_MAIN_FUNCTIONW MainThunk() const;
    // The console handler the module installs while it runs with OnConsoleEvent assigned.
    PHANDLER_ROUTINE ConsoleThunk() const;
    // The main routine runs (from its first step to its return).
    bool InMain() const { return FInMain.load(); }
    // The thread the main routine last ran on has ended (also true when it never ran). The
    // module's code, its thunks included, is in use until then: the module must not be freed
    // before.
    bool ServiceThreadEnded() const;

    // Handler components linked by notification.
    TRkPowerEventHandlerBase* PowerEventHandler() const { return FPowerEventHandler; }
    TRkNetBindEventHandlerBase* NetBindEventHandler() const { return FNetBindEventHandler; }

    // The start token streamed as "StartedByScm", and whether it came from the stored module.
    const std::wstring& StartedByScmToken() const { return FStartedByScm; }
    bool StartedByScmLoaded() const { return FStartedByScmLoaded; }

    void SetName(const std::wstring& newName) override;
    void Notification(TComponent* component, TOperation operation) override;
    void DefineProperties(TFiler& filer) override;

    // The control handler's entry points (stdcall, called through the thunks).
    static void WINAPI MainEntry(TNtService* self, DWORD argc, LPWSTR* argv);
    static void WINAPI ControlEntry(TNtService* self, DWORD code);
    static BOOL WINAPI ConsoleEntry(TNtService* self, DWORD ctrlType);
    static DWORD WINAPI ExtendedHandler(DWORD control, DWORD eventType, void* eventData, void* context);

protected:
    void FinishConstruction() override;
    void SetStatus(TCurrentStatus status);
    bool Started() const { return FStarted; }
    // Whether a pause suspends the service thread: SuspendOnPause, unless the module's thread
    // must go on answering while the service is paused.
    virtual bool SuspendsThreadOnPause() const { return FSuspendOnPause; }
    void LogError(const std::wstring& message);
    // Deletes the service record named ServiceName: what an install takes back when a step after
    // the creation fails. A failure raises the operating-system error.
    void DeleteInstalledService();

private:
    friend class TSelfStopThread;
    void BuildThunks();
    void BeginMain(DWORD argc, LPWSTR* argv);
    void RunLifecycle();
    void EndMain();
    void DispatchControl(DWORD code, const TControlRequest* request);
    void LogExecutionFailure(const std::wstring& message);
    bool RunActionEvent(const TNtServiceActionEvent& event, bool onlyWhenStarted, const wchar_t* failureMessage,
                        TrkEventList* queue);
    void CallQueue(TrkEventList* queue);
    void LogLastError();
    void StartSelfStop();
    void EndSelfStop();
    bool PostRequest(DWORD code, TControlRequest* request);

    // Published state
    bool FAllowStop = true;
    bool FAllowPause = true;
    uint32_t FPreshutdownTimeout = 0;
    bool FSuspendOnPause = true;
    std::unique_ptr<TStringList> FDependsOnServices;
    std::unique_ptr<TStringList> FDependsOnGroups;
    std::wstring FDisplayName;
    TErrorSeverity FErrorSeverity = esNormal;
    bool FInteractive = false;
    std::wstring FLoadGroup;
    TServiceType FServiceType = stWin32;
    bool FShareProcess = true;
    TStartType FStartType = stAuto;
    uint32_t FTagID = 0;
    int32_t FWaitHint = 3000;
    bool FUseSynchronizer = false;
    std::wstring FServiceName;
    std::wstring FDescription;
    std::unique_ptr<TrkFailureOptions> FFailureOptions;
    std::unique_ptr<TrkFailureActions> FFailureActions;
    TNtServiceActionEvent FBeforeInstall, FBeforeUninstall, FOnContinue, FOnPause, FOnStart, FOnStop;
    TNotifyEvent FAfterInstall, FAfterUninstall, FOnExecute, FOnShutdown, FOnParamChange;
    TNtServiceControlEvent FOnCustomControl;
    TNtServiceConsoleCtrl FOnConsoleEvent;

    std::unique_ptr<TrkEventList> FBeforeInstallQueue, FAfterInstallQueue, FBeforeUninstallQueue,
        FAfterUninstallQueue, FOnStartQueue, FOnStopQueue, FOnPauseQueue, FOnContinueQueue, FOnParamChangeQueue;

    // Status
    SERVICE_STATUS_HANDLE FStatusHandle = nullptr;
    std::atomic<TCurrentStatus> FCurrentStatus{csStopped};
    SERVICE_STATUS FStatus{};
    TCurrentStatus FLastReported = csStopped;
    int32_t FWin32ErrorCode = 0;
    int32_t FErrCode = 0;
    TRkPowerEventHandlerBase* FPowerEventHandler = nullptr;
    TRkNetBindEventHandlerBase* FNetBindEventHandler = nullptr;
    std::wstring FStartedByScm;
    bool FStartedByScmLoaded = false;
    std::unique_ptr<TNTEventLog> FEventLog;

    // Running
    TNtService* FSelf = nullptr; // the context of the extended handler
    TVirtualBlock FThunks;       // executable block of the three thunks
    TSelfSuspension FSuspension; // the pause hand-off between the service thread and the handler
    std::atomic<DWORD> FThreadID{0};
    std::atomic<DWORD> FPostThreadID{0}; // the service thread from the start of the main routine
    TKernelHandle FThread;       // the service thread of the last run: kept after it, to wait for its end
    bool FStarted = false;
    std::unique_ptr<TrkSynchronizer> FSynchronizer;
    std::vector<std::wstring> FParams;
    std::atomic<uint32_t> FRunSerial{0};
    std::atomic<bool> FInMain{false};
    std::mutex FSelfStopLock;
    std::unique_ptr<TSelfStopThread> FSelfStop;
};

// The thread that stops a service whose start answered False, after four wait hints. It belongs
// to the run it was made for: a later run of the module is never stopped by it, and destroying
// the module ends it.
class TAMREL_API TSelfStopThread : public TThread {
public:
    TSelfStopThread(TNtService* service, uint32_t serial, DWORD delay);
    ~TSelfStopThread() override;
    void Cancel();

protected:
    void Execute() override;

private:
    TNtService* FService;
    uint32_t FSerial;
    DWORD FDelay;
    TKernelHandle FCancel;
};

// ---------------------------------------------------------------------------------------------
// TNtServiceApplication

class TAMREL_API TNtServiceApplication : public TComponent {
    TAMREL_CLASS(TNtServiceApplication, TComponent)
public:
    explicit TNtServiceApplication(TComponent* owner);
    ~TNtServiceApplication() override;

    virtual void Initialize();
    // Creates a service module (owner: this application) or hands any other class to the host
    // application. Reference is set to the new object, or null when construction fails.
    template <class T> void CreateForm(T*& reference) {
        reference = nullptr;
        reference = static_cast<T*>(CreateForm(T::StaticClassInfo()));
    }
    virtual TComponent* CreateForm(const TClassInfo& instanceClass);
    virtual void Run();
    // What the program's main returns after Run: 0 when the mode succeeded, else the failure's
    // operating-system error code where there is one, else 1.
    int32_t ExitCode() const { return FExitCode.load(); }

    int ServiceCount() const;
    TNtService* Services(int index) const; // the index-th service module
    bool IsStartTypeConfigure() const;
    bool IsStartTypeControl() const;
    bool IsStartTypeService() const;
    void ExecuteConfigure();
    void ExecuteControl();
    void ExecuteService();
    void ExecuteApplication();
    void ExecuteServiceAction(const std::wstring& service, TRkControl action);
    void RegisterServices(bool install, bool raiseErrors);
    std::wstring StartedByScm() const;

    TrkSynchronizer* Synchronizer() const;
    bool Threaded() const { return FThreaded; }
    void SetThreaded(bool value) { FThreaded = value; }
    bool DualMode() const { return FDualMode; }
    void SetDualMode(bool value) { FDualMode = value; }
    const std::wstring& Title() const { return FTitle; }
    void SetTitle(const std::wstring& value) { FTitle = value; }
    TNTEventLog* EventLog() const { return FEventLog.get(); }

    void OnExceptionHandler(TObject* sender, Exception& e);
    bool HookEndSession(TMessage& message);

private:
    friend class TNtServiceApplicationThread;
    void ExecuteMode();
    // A failure of configure or control mode (or of application mode's main thread): shown as the
    // host shows exceptions; sets the exit code.
    void ShowFailure(const std::exception_ptr& error);
    // A failure of service mode before or around the dispatcher: to the event log, to stderr when
    // the process has one (a person at a console), and into the exit code.
    void ReportServiceFailure(const std::wstring& text, DWORD code);
    void RunDispatcher(SERVICE_TABLE_ENTRYW* table);
    std::unique_ptr<TNTEventLog> FEventLog;
    std::wstring FTitle;
    bool FThreaded = true;
    bool FDualMode = true;
    std::unique_ptr<TrkSynchronizer> FSynchronizer;
    std::vector<SERVICE_TABLE_ENTRYW> FServiceTable;
    std::vector<std::wstring> FServiceTableNames;
    DWORD FMainThreadID = 0;
    std::atomic<int32_t> FExitCode{0}; // the dispatcher thread may set it
};

// The one application object: created on first use, once per process.
class TAMREL_API TServiceApplicationRef {
public:
    TNtServiceApplication* operator->() const { return Get(); }
    TNtServiceApplication& operator*() const { return *Get(); }
    TNtServiceApplication* Get() const;
    // False once the application object has been released at program end.
    bool Exists() const;
};
inline constexpr TServiceApplicationRef Application{};

} // namespace tamrel
