// The service application: the modes of a service program's run.
#include "runtime/service/Tamrel_NTService.h"

#include "host/ExitProcs.h"
#include "host/Globals.h"
#include "host/HostApplication.h"
#include "host/Threads.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/base/Tamrel_WinVer.h"
#include "runtime/service/internal/Tamrel_NTServiceInternal.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TNtServiceApplication) {}

namespace {

using TApplicationHolder = TGlobalComponent<TNtServiceApplication>;
TApplicationHolder& Holder() {
    static TLibraryGlobal<TApplicationHolder> global;
    return *global;
}

// At program end: the host's forms go first, then the service modules.
void ServiceApplicationExitProc() {
    if (HostApplication.Exists()) {
        if (HostApplication->HandleAllocated()) ShowOwnedPopups(HostApplication->Handle(), FALSE);
        HostApplication->SetShowHint(false);
        HostApplication->DestroyComponents();
    }
    if (Application.Exists()) Application->DestroyComponents();
}

// The exit code of a failure: the operating-system error where there is one, else 1.
int32_t ExitCodeOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EOSError& e) {
        return e.ErrorCode() ? static_cast<int32_t>(e.ErrorCode()) : 1;
    } catch (...) {
        return 1;
    }
}

} // namespace

TNtServiceApplication* TServiceApplicationRef::Get() const { return Holder().Get(); }
bool TServiceApplicationRef::Exists() const { return TApplicationHolder::Alive(); }

TRestartTiming& RestartTiming() {
    static TRestartTiming timing;
    return timing;
}

// ---------------------------------------------------------------------------------------------

TNtServiceApplication::TNtServiceApplication(TComponent* owner) : TComponent(owner) {
    FEventLog = std::make_unique<TNTEventLog>(ExtractFileName(ParamStr(0)));
    FThreaded = true;
    FDualMode = true;
    // Its window is made when a first call needs it: most service programs never synchronize.
    FSynchronizer.reset(new TrkSynchronizer(TrkSynchronizer::TOnFirstUse{}));
}

TNtServiceApplication::~TNtServiceApplication() {
    FSynchronizer.reset();
    FEventLog.reset();
    if (HostApplication.Exists() &&
        HostApplication->OnException() == TExceptionEvent::Of<&TNtServiceApplication::OnExceptionHandler>(this))
        HostApplication->SetOnException(nullptr);
}

void TNtServiceApplication::Initialize() {
    HostApplication->SetShowMainForm(false);
    HostApplication->Initialize();
    HostApplication->SetOnException(TExceptionEvent::Of<&TNtServiceApplication::OnExceptionHandler>(this));
}

TComponent* TNtServiceApplication::CreateForm(const TClassInfo& instanceClass) {
    if (instanceClass.InheritsFrom(TNtService::StaticClassInfo())) return instanceClass.CreateComponent(this);
    return HostApplication->CreateForm(instanceClass);
}

void TNtServiceApplication::OnExceptionHandler(TObject*, Exception& e) {
    if (FEventLog) FEventLog->LogMessage(e.Message(), etError, 1, 0);
    const auto* os = dynamic_cast<const EOSError*>(&e);
    FExitCode = os && os->ErrorCode() ? static_cast<int32_t>(os->ErrorCode()) : 1;
    HostApplication->Terminate();
}

int TNtServiceApplication::ServiceCount() const {
    int n = 0;
    for (TComponent* c : ComponentList())
        if (dynamic_cast<TNtService*>(c)) ++n;
    return n;
}

TNtService* TNtServiceApplication::Services(int index) const {
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c))
            if (index-- == 0) return s;
    throw EListError(SListIndexError, index);
}

TrkSynchronizer* TNtServiceApplication::Synchronizer() const {
    if (!FThreaded) throw Exception(L"Main thread is locked (Threaded = False) so synchronizer is not available");
    if (!FSynchronizer) throw Exception(L"Synchronizer is not available");
    return FSynchronizer.get();
}

void TNtServiceApplication::Run() {
    if (FThreaded) HostApplication->HookMainWindow(TWindowHook::Of<&TNtServiceApplication::HookEndSession>(this));
    static bool exitProcAdded = false;
    if (!exitProcAdded) {
        exitProcAdded = true;
        AddExitProc(&ServiceApplicationExitProc);
    }
    FExitCode = 0;
    CatchLog([this] { ExecuteMode(); }, [this](const std::exception_ptr& error) { ShowFailure(error); });
    if (FEventLog) FEventLog->LogMessage(L"Stopped", etInformation, 0, 0);
}

void TNtServiceApplication::ExecuteMode() {
    if (IsStartTypeConfigure()) ExecuteConfigure();
    else if (IsStartTypeControl()) ExecuteControl();
    else if (IsStartTypeService()) ExecuteService();
    else ExecuteApplication();
}

void TNtServiceApplication::ShowFailure(const std::exception_ptr& error) {
    // Set first: showing may fail in turn, the status must still say that the mode failed.
    FExitCode = ExitCodeOf(error);
    HostApplication->Terminate();
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        // The silent abort is never shown.
    } catch (Exception& e) {
        HostApplication->ShowException(e);
    } catch (...) {
        HostApplication->ShowException(Exception(ExceptionMessage(error)));
    }
}

// ---------------------------------------------------------------------------------------------
// Configure mode

bool TNtServiceApplication::IsStartTypeConfigure() const { return TamrelConfigureCommandGiven(); }

void TNtServiceApplication::ExecuteConfigure() {
    if (TamrelFindCommand(L"Install")) {
        RegisterServices(true, true);
    } else if (TamrelFindCommand(L"UnInstall")) {
        RegisterServices(false, true);
    } else if (TamrelFindCommand(L"ReInstall")) {
        RegisterServices(false, false);
        RegisterServices(true, true);
    }
}

void TNtServiceApplication::RegisterServices(bool install, bool raiseErrors) {
    std::vector<TNtService*> services;
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c)) services.push_back(s);
    auto runQueue = [](TrkEventList* queue, TNtService* s) {
        for (int i = 0; i < queue->Count(); ++i) IgnoreFailure([&] { queue->CallItem(i, s); });
    };
    for (TNtService* s : services) {
        try {
            bool doAction = true;
            if (install) {
                if (s->BeforeInstall()) s->BeforeInstall()(s, doAction);
                if (!doAction) return; // ends the whole pass
                runQueue(s->BeforeInstallQueue(), s);
                s->Install();
                runQueue(s->AfterInstallQueue(), s);
                if (s->AfterInstall()) s->AfterInstall()(s);
            } else {
                if (s->BeforeUninstall()) s->BeforeUninstall()(s, doAction);
                if (!doAction) return;
                runQueue(s->BeforeUninstallQueue(), s);
                s->Uninstall();
                runQueue(s->AfterUninstallQueue(), s);
                if (s->AfterUninstall()) s->AfterUninstall()(s);
            }
        } catch (...) {
            if (raiseErrors) throw;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Control mode

bool TNtServiceApplication::IsStartTypeControl() const {
    for (const wchar_t* name : {L"start", L"stop", L"pause", L"restart", L"continue"})
        if (TamrelFindCommand(name)) return true;
    return false;
}

void TNtServiceApplication::ExecuteControl() {
    struct {
        const wchar_t* Switch;
        TRkControl Action;
    } const order[] = {{L"start", svcStart},
                       {L"stop", svcStop},
                       {L"pause", svcPause},
                       {L"restart", svcRestart},
                       {L"continue", svcContinue}};
    for (const auto& o : order) {
        std::wstring value;
        if (!TamrelFindParameter(o.Switch, value)) continue;
        if (!value.empty()) {
            ExecuteServiceAction(value, o.Action);
        } else {
            std::vector<TNtService*> tagged;
            for (TComponent* c : ComponentList())
                if (auto* s = dynamic_cast<TNtService*>(c); s && s->Tag() == 1) tagged.push_back(s);
            // A command that finds nothing to act on has not done what was asked: say so.
            if (tagged.empty())
                throw Exception(L"/%s: no service was named and no service of the program has Tag 1",
                                std::wstring(o.Switch));
            for (TNtService* s : tagged) ExecuteServiceAction(s->ServiceName(), o.Action);
        }
        return;
    }
}

namespace {

// Every result is examined: a refused or failed request is an error the user must see.
void ControlOrRaise(const TRkScHandle& service, DWORD code) {
    SERVICE_STATUS status{};
    if (!RkControlService(service.Get(), code, &status)) RaiseLastOSError();
}

void StartOrRaise(const TRkScHandle& service) {
    if (!RkStartService(service.Get(), 0, nullptr)) RaiseLastOSError();
}

// Stop, wait until stopped (giving up with a beep, RestartTiming), then start.
void Restart(const TRkScHandle& service) {
    const TRestartTiming timing = RestartTiming();
    SERVICE_STATUS status{};
    if (!RkControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
        DWORD err = GetLastError();
        if (err != ERROR_SERVICE_NOT_ACTIVE) RaiseLastOSError(err); // not running: just start it
    }
    const DWORD start = GetTickCount();
    for (;;) {
        Sleep(timing.PollMs);
        if (!RkQueryServiceStatus(service.Get(), &status)) RaiseLastOSError();
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        if (TicksSince(start) > timing.GiveUpMs) {
            MessageBeep(0);
            break;
        }
    }
    Sleep(timing.PollMs);
    StartOrRaise(service);
}

} // namespace

void TNtServiceApplication::ExecuteServiceAction(const std::wstring& service, TRkControl action) {
    TRkScHandle manager = OpenTargetManager(SC_MANAGER_CONNECT);
    TRkScHandle handle = OpenTargetService(manager, service, SERVICE_ALL_ACCESS);
    switch (action) {
    case svcStart:
        StartOrRaise(handle);
        break;
    case svcStop:
        ControlOrRaise(handle, SERVICE_CONTROL_STOP);
        break;
    case svcPause:
        ControlOrRaise(handle, SERVICE_CONTROL_PAUSE);
        break;
    case svcContinue:
        ControlOrRaise(handle, SERVICE_CONTROL_CONTINUE);
        break;
    case svcRestart:
        Restart(handle);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Service mode

std::wstring TNtServiceApplication::StartedByScm() const {
    if (!FDualMode) return {};
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c); s && s->StartedByScmLoaded())
            return s->StartedByScmToken() + L"-" + s->Name();
    return {};
}

bool TNtServiceApplication::IsStartTypeService() const {
    if (TamrelFindCommand(L"debug") && !IsStartTypeConfigure()) return true;
    if (StartedByScm().empty()) return true;
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c); s && !s->StartedByScmLoaded()) return true;
    std::wstring value;
    if (!TamrelFindParameter(L"startedbyscm", value)) return false;
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c);
            s && CompareText(value, s->StartedByScmToken() + L"-" + s->Name()) == 0)
            return true;
    return false;
}

class TNtServiceApplicationThread : public TThread {
public:
    explicit TNtServiceApplicationThread(SERVICE_TABLE_ENTRYW* table) : TThread(true), FTable(table) {
        SetFreeOnTerminate(true);
    }

protected:
    void Execute() override { Application->RunDispatcher(FTable); }
    void DoTerminate() override {
        TThread::DoTerminate();
        // Ends the main thread's pumping.
        if (Application->Threaded() && HostApplication->HandleAllocated())
            PostMessageW(HostApplication->Handle(), WM_QUIT, 0, 0);
        else
            PostThreadMessageW(Application->FMainThreadID, WM_QUIT, 0, 0);
    }

private:
    SERVICE_TABLE_ENTRYW* FTable;
};

void TNtServiceApplication::ReportServiceFailure(const std::wstring& text, DWORD code) {
    FExitCode = code ? static_cast<int32_t>(code) : 1;
    FEventLog->LogMessage(text, etError, 1, 0);
    // The event log alone leaves a person at a console with a program that ends without a word.
    THostApplication::WriteStdErr(text);
}

// Runs the dispatcher on the calling thread until every service has stopped. Its failure (a
// program started outside the manager, the debug library missing) ends service mode.
void TNtServiceApplication::RunDispatcher(SERVICE_TABLE_ENTRYW* table) {
    CatchLog(
        [&] {
            if (!RkStartServiceCtrlDispatcher(table)) {
                const DWORD code = GetLastError();
                ReportServiceFailure(SysErrorMessage(code), code);
            }
        },
        [this](const std::exception_ptr& error) {
            std::wstring text = ExceptionMessage(error);
            // The one-time loader raised: say which library, the system's text does not.
            if (TamrelFindCommand(L"debug") && !RkDebugLibraryLoaded())
                text = std::wstring(RkDebugLibraryName) + L": " + text;
            ReportServiceFailure(text, static_cast<DWORD>(ExitCodeOf(error)));
        });
}

void TNtServiceApplication::ExecuteService() {
    if (ControlMessage() == 0) {
        const DWORD code = GetLastError();
        ReportServiceFailure(SysErrorMessage(code), code);
        return;
    }
    FServiceTableNames.clear();
    FServiceTable.clear();
    std::vector<TNtService*> services;
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c)) services.push_back(s);
    FServiceTableNames.reserve(services.size());
    for (TNtService* s : services) FServiceTableNames.push_back(s->ServiceName());
    for (size_t i = 0; i < services.size(); ++i)
        FServiceTable.push_back({FServiceTableNames[i].data(), services[i]->MainThunk()});
    FServiceTable.push_back({nullptr, nullptr});
    FMainThreadID = GetCurrentThreadId();

    if (FThreaded) {
        // The main window hands what it receives (broadcasts) to the modules' message methods
        // and to the program's own hooks; without either it is not made at all.
        bool windowWanted = HostApplication->HookCount() > 1; // HookEndSession is one
        for (TNtService* s : services) windowWanted = windowWanted || s->ClassInfo().HasMessageHandlers();
        if (windowWanted) HostApplication->Handle();
        auto* thread = new TNtServiceApplicationThread(FServiceTable.data());
        thread->Start();
        while (!HostApplication->Terminated()) HostApplication->HandleMessage();
    } else {
        RunDispatcher(FServiceTable.data());
    }
    AwaitServiceThreads(*this, ServiceThreadDeadlineMs);
    PostQuitMessage(0);
    while (!HostApplication->Terminated()) HostApplication->HandleMessage();
    HostApplication->Terminate();
    FServiceTable.clear();
    FServiceTableNames.clear();
}

// The dispatcher returns once every service reported stopped, but a service thread goes on after
// its last report (the end of OnExecute, leaving its apartment, the return through its thunk), and
// the end of the program frees the modules. Service mode also ends while services run when the
// main thread's run is terminated (an unhandled exception): those are asked to stop first. Each
// thread is waited for; the main thread keeps serving its messages meanwhile, since a thread's
// last steps may synchronize with it.
bool AwaitServiceThreads(TNtServiceApplication& app, DWORD deadlineMs) {
    std::vector<TNtService*> services;
    for (TComponent* c : app.ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c)) services.push_back(s);
    // A module that has already reported stopped ignores the request.
    for (TNtService* s : services)
        if (!s->ServiceThreadEnded()) s->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    const DWORD start = GetTickCount();
    bool allEnded = true;
    for (TNtService* s : services) {
        while (!s->ServiceThreadEnded() && TicksSince(start) < deadlineMs) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            HostApplication->ProcessMessages();
        }
        if (s->ServiceThreadEnded()) continue;
        // Freeing it would pull its code and data from under a running thread. Leaving it in
        // memory costs nothing: the process is ending.
        allEnded = false;
        const std::wstring text = Format(L"The thread of service %s has not ended; the module is left in memory",
                                         s->ServiceName());
        if (app.EventLog()) app.EventLog()->LogMessage(text, etError, 1, 0);
        THostApplication::WriteStdErr(text);
        app.RemoveComponent(s);
    }
    return allEnded;
}

// ---------------------------------------------------------------------------------------------
// Application mode and the end-session hook

void TNtServiceApplication::ExecuteApplication() {
    HostApplication->SetShowMainForm(true);
    HostApplication->Run();
}

bool TNtServiceApplication::HookEndSession(TMessage& message) {
    std::vector<TNtService*> running;
    for (TComponent* c : ComponentList())
        if (auto* s = dynamic_cast<TNtService*>(c); s && s->ThreadID() != 0) running.push_back(s);
    if (message.Msg != WM_ENDSESSION) {
        // The framework's own control message carries a request record in LParam: a copy of
        // someone's broadcast must never reach a service thread as one.
        if (message.Msg != ControlMessage())
            for (TNtService* s : running) PostThreadMessageW(s->ThreadID(), message.Msg, message.WParam, message.LParam);
        return false;
    }
    if (!IsWinNT() && !(static_cast<DWORD>(message.LParam) & ENDSESSION_LOGOFF))
        for (TNtService* s : running) s->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
    return true;
}

} // namespace tamrel
