// A service program for the session components' end-to-end tests, configured by the INI file
// beside it (see TestService.cpp for the scheme):
//
// [Program]  Evidence=<file>
// [Svc1]     ServiceName, SuspendOnPause, Timer=<interval ms, 0 = no timer>, TimerThrows=1, Sensor=1,
//            FrontEnd=<command line>, Session=<session id>
//
// Evidence lines: "start thread=<id>", "stop", "pause", "continue", "tick thread=<id>",
// "logon thread=<id>", "logoff thread=<id>", "launched pid=<id>", "terminated pid=<id>",
// "launch error", "windows=<count of the service thread's windows>", "freed", "closed ...",
// "watch enabled=<0|1>", "main tick", "after-run interval=<ok|message>".
// Custom controls: 130 launch FrontEnd, 135 launch FrontEnd2, 137 launch a missing program,
// 131 free the launched processes, 132 report the watch timer, 133 free the timer and the sensor
// on the main thread and post WM_TIMER and the logon message to every window of the process,
// 134 count the service thread's windows. "watch tick" marks each tick of the front end's watch.
#include "host/ExtCtrls.h"
#include "host/IniFiles.h"
#include "runtime/service/Tamrel_NTService.h"
#include "runtime/sessions/Tamrel_LaunchFrontEnd.h"
#include "runtime/sessions/Tamrel_LogonSensor.h"
#include "runtime/sessions/Tamrel_Timer.h"

#include "tests/support/EvidenceFile.h"

#include <windows.h>

using namespace tamrel;

namespace {

std::wstring gEvidence;

void Evidence(const std::wstring& line) { test::AppendEvidence(gEvidence, line); }

std::wstring Thread() { return L" thread=" + IntToStr(GetCurrentThreadId()); }


} // namespace

BOOL CALLBACK PostToOwnWindow(HWND wnd, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == GetCurrentProcessId()) {
        PostMessageW(wnd, WM_TIMER, 1, 0);
        PostMessageW(wnd, WM_RK_LOGON, 0, 0);
    }
    return TRUE;
}

class TSessionsService : public TNtService {
    TAMREL_CLASS(TSessionsService, TNtService)
public:
    using TNtService::TNtService;

    TrkTimer* Timer = nullptr;
    TrkLogonSensor* Sensor = nullptr;
    TrkLaunchFrontEnd* FrontEnd = nullptr;
    DWORD Session = 1;
    std::wstring SecondCommand;
    TTimer* Watch = nullptr;
    TNotifyEvent WatchTick;

    void MarkWatchTick(TObject* sender) {
        Evidence(L"watch tick");
        WatchTick(sender);
    }
    void LaunchNow() {
        FrontEnd->Launch(Session);
        Evidence(L"launch done");
    }

    void Configure(const TIniFile& ini, const std::wstring& section) {
        SetServiceName(ini.ReadString(section, L"ServiceName", L""));
        SetStartType(stManual);
        SetSuspendOnPause(ini.ReadBool(section, L"SuspendOnPause", true));
        SetOnStart(MakeMethod<&TSessionsService::ServiceStart>(this));
        SetOnStop(MakeMethod<&TSessionsService::ServiceStop>(this));
        SetOnPause(MakeMethod<&TSessionsService::ServicePause>(this));
        SetOnContinue(MakeMethod<&TSessionsService::ServiceContinue>(this));
        SetOnCustomControl(MakeMethod<&TSessionsService::ServiceCustom>(this));
        if (int interval = ini.ReadInteger(section, L"Timer", 0)) {
            Timer = Create<TrkTimer>(this);
            Timer->SetInterval(static_cast<uint32_t>(interval));
            Timer->SetOnTimer(ini.ReadBool(section, L"TimerThrows", false) ? MakeMethod<&TSessionsService::FailingTick>(this)
                                                                           : MakeMethod<&TSessionsService::Tick>(this));
        }
        if (ini.ReadBool(section, L"Sensor", false)) {
            Sensor = Create<TrkLogonSensor>(this);
            Sensor->SetOnLogon(MakeMethod<&TSessionsService::Logon>(this));
            Sensor->SetOnLogoff(MakeMethod<&TSessionsService::Logoff>(this));
        }
        if (ini.ValueExists(section, L"FrontEnd")) {
            FrontEnd = Create<TrkLaunchFrontEnd>(this);
            FrontEnd->SetCommandLine(ini.ReadString(section, L"FrontEnd", L""));
            FrontEnd->SetOnProcessLaunch(MakeMethod<&TSessionsService::Launched>(this));
            FrontEnd->SetOnProcessTerminate(MakeMethod<&TSessionsService::Terminated>(this));
            FrontEnd->SetOnLaunchError(MakeMethod<&TSessionsService::LaunchError>(this));
            Session = static_cast<DWORD>(ini.ReadInteger(section, L"Session", 1));
            SecondCommand = ini.ReadString(section, L"FrontEnd2", L"");
            // The watch's own handler, behind one that marks each tick.
            for (TComponent* c : FrontEnd->ComponentList())
                if (auto* t = dynamic_cast<TTimer*>(c)) {
                    Watch = t;
                    WatchTick = t->OnTimer();
                    t->SetOnTimer(MakeMethod<&TSessionsService::MarkWatchTick>(this));
                }
        }
    }

    void ServiceStart(TNtService*, bool&) { Evidence(L"start" + Thread()); }
    void ServiceStop(TNtService*, bool&) { Evidence(L"stop"); }
    void ServicePause(TNtService*, bool&) { Evidence(L"pause"); }
    void ServiceContinue(TNtService*, bool&) { Evidence(L"continue"); }
    void Tick(TObject*) { Evidence(L"tick" + Thread()); }
    void FailingTick(TObject*) {
        Evidence(L"failing tick");
        throw Exception(L"the tick failed");
    }
    void Logon(TObject*) { Evidence(L"logon" + Thread()); }
    void Logoff(TObject*) { Evidence(L"logoff" + Thread()); }
    void Launched(TObject*, TrkLaunchedProcess* p) {
        bool marker = false;
        for (int i = 0; i < FrontEnd->Environment()->Count(); ++i)
            marker = marker || FrontEnd->Environment()->Get(i).rfind(L"TAMREL_MARKER=", 0) == 0;
        Evidence(L"launched pid=" + IntToStr(p->ProcessId()) + L" marker-in-environment=" + IntToStr(marker ? 1 : 0));
    }
    void Terminated(TObject*, TrkLaunchedProcess* p) { Evidence(L"terminated pid=" + IntToStr(p->ProcessId())); }
    void LaunchError(TObject*) { Evidence(L"launch error"); }

    void FreeOnMainThread() {
        FreeAndNil(Timer);
        FreeAndNil(Sensor);
        Evidence(L"freed");
        // Whatever still listens on this program's windows hears it now.
        EnumWindows(PostToOwnWindow, 0);
    }

    void ServiceCustom(TNtService*, int32_t code) {
        switch (code) {
        case 130:
            LaunchNow();
            break;
        case 135:
            FrontEnd->SetCommandLine(SecondCommand);
            LaunchNow();
            break;
        case 137:
            FrontEnd->SetCommandLine(L"C:\\no\\such\\program.exe");
            LaunchNow();
            break;
        case 131: {
            std::vector<std::pair<HANDLE, HANDLE>> handles;
            while (FrontEnd->LaunchedProcessCount() > 0) {
                TrkLaunchedProcess* p = FrontEnd->LaunchedProcess(0);
                handles.emplace_back(p->ProcessHandle(), p->ThreadHandle());
                Free(p);
            }
            for (auto [process, thread] : handles) {
                DWORD flags;
                GetHandleInformation(process, &flags);
                DWORD processError = GetLastError();
                GetHandleInformation(thread, &flags);
                Evidence(L"closed process=" + IntToStr(processError) + L" thread=" + IntToStr(GetLastError()));
            }
            break;
        }
        case 132:
            for (TComponent* c : FrontEnd->ComponentList())
                if (auto* t = dynamic_cast<TTimer*>(c)) Evidence(L"watch enabled=" + IntToStr(t->Enabled() ? 1 : 0));
            break;
        case 133:
            Synchronize(TThreadMethod::Of<&TSessionsService::FreeOnMainThread>(this));
            break;
        case 134:
            Evidence(L"windows=" + IntToStr(test::LibraryWindowsOfThisThread()));
            break;
        }
    }
};

TAMREL_IMPLEMENT_CLASS(TSessionsService) {}

namespace {
struct TMainTicks {
    void Tick(TObject*) { Evidence(L"main tick"); }
} gMainTicks;
} // namespace

int wmain() {
    TIniFile ini(ChangeFileExt(ParamStr(0), L".ini"));
    gEvidence = ini.ReadString(L"Program", L"Evidence", L"");
    Application->Initialize();
    TSessionsService* s = nullptr;
    Application->CreateForm(s);
    s->SetName(L"Svc1");
    s->Configure(ini, L"Svc1");
    // A plain timer on the main thread: the witness that time passes while the service is paused.
    TOwnedPtr<TTimer> mainTimer;
    if (int interval = ini.ReadInteger(L"Program", L"MainTimer", 0)) {
        mainTimer.reset(Create<TTimer>(nullptr));
        mainTimer->SetInterval(static_cast<uint32_t>(interval));
        mainTimer->SetOnTimer(TNotifyEvent::Of<&TMainTicks::Tick>(&gMainTicks));
    }
    Application->Run();
    Evidence(L"run ended");
    if (s->Timer) {
        // After a shutdown the service thread's window is gone with the thread: setting the
        // timer now must not act on the dead window.
        try {
            s->Timer->SetInterval(s->Timer->Interval() + 1);
            Evidence(L"after-run interval=ok");
        } catch (const Exception& e) {
            Evidence(L"after-run interval=" + e.Message());
        }
    }
    return 0;
}
