// A service program for the end-to-end tests. Its configuration comes from an INI file beside it
// (the program file name with ".ini"), so that each test copies the program under a name of its
// own and configures it without touching the command line the service manager uses.
//
// [Program]  Modules=1|2  Threaded=1  DualMode=1  Evidence=<file>
// [Svc1]...  Name, ServiceName, DisplayName, StartType (ordinal), SuspendOnPause, WaitHint,
//            StartAnswer, StopAnswer, Throw (start|stop|pause|continue|execute|custom|shutdown),
//            UseExecute, Tag, PreshutdownTimeout, ShareProcess, Interactive, Description,
//            UseSynchronizer, RefuseInstall, Depends (comma text), Groups, LoadGroup, ErrorSeverity (ordinal),
//            NetBind (a network-binding handler component), Power (a power-event handler component)
//
// Evidence lines are appended to the evidence file, one per event: "<Name> <event> <details>".
// Service processes have no stdout or stderr under Wine's manager: the file is the only witness.
#include "host/IniFiles.h"
#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_NetBindEvents.h"
#include "runtime/service/Tamrel_PowerEvents.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/internal/Tamrel_NTServiceInternal.h"

#include "tests/support/EvidenceFile.h"

#include <windows.h>

using namespace tamrel;

namespace {

std::wstring gEvidence;

void Evidence(const std::wstring& line) { test::AppendEvidence(gEvidence, line); }

// Committed private memory of the process: a walk over the address space.
uint64_t CommittedPrivateBytes() {
    uint64_t total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    const unsigned char* p = nullptr;
    while (VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) total += mbi.RegionSize;
        const unsigned char* next = static_cast<const unsigned char*>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return total;
}

} // namespace

class TTestService : public TNtService {
    TAMREL_CLASS(TTestService, TNtService)
public:
    using TNtService::TNtService;

    std::wstring Throw;
    bool StartAnswer = true, StopAnswer = true;
    long Pauses = 0, Continues = 0, Customs = 0;
    uint64_t MemoryBaseline = 0;

    void Configure(const TIniFile& ini, const std::wstring& section) {
        if (ini.ValueExists(section, L"ServiceName")) SetServiceName(ini.ReadString(section, L"ServiceName", L""));
        if (ini.ValueExists(section, L"DisplayName")) SetDisplayName(ini.ReadString(section, L"DisplayName", L""));
        if (ini.ValueExists(section, L"Description")) SetDescription(ini.ReadString(section, L"Description", L""));
        SetStartType(static_cast<TStartType>(ini.ReadInteger(section, L"StartType", stManual)));
        SetSuspendOnPause(ini.ReadBool(section, L"SuspendOnPause", true));
        SetWaitHint(ini.ReadInteger(section, L"WaitHint", 3000));
        SetTag(ini.ReadInteger(section, L"Tag", 0));
        SetPreshutdownTimeout(static_cast<uint32_t>(ini.ReadInteger(section, L"PreshutdownTimeout", 0)));
        SetShareProcess(ini.ReadBool(section, L"ShareProcess", true));
        SetInteractive(ini.ReadBool(section, L"Interactive", false));
        SetUseSynchronizer(ini.ReadBool(section, L"UseSynchronizer", false));
        if (ini.ValueExists(section, L"Depends")) DependsOnServices()->SetCommaText(ini.ReadString(section, L"Depends", L""));
        if (ini.ValueExists(section, L"Groups")) DependsOnGroups()->SetCommaText(ini.ReadString(section, L"Groups", L""));
        if (ini.ValueExists(section, L"LoadGroup")) SetLoadGroup(ini.ReadString(section, L"LoadGroup", L""));
        SetErrorSeverity(static_cast<TErrorSeverity>(ini.ReadInteger(section, L"ErrorSeverity", esNormal)));
        StartAnswer = ini.ReadBool(section, L"StartAnswer", true);
        StopAnswer = ini.ReadBool(section, L"StopAnswer", true);
        Throw = ini.ReadString(section, L"Throw", L"");
        SetOnStart(MakeMethod<&TTestService::ServiceStart>(this));
        SetOnStop(MakeMethod<&TTestService::ServiceStop>(this));
        SetOnPause(MakeMethod<&TTestService::ServicePause>(this));
        SetOnContinue(MakeMethod<&TTestService::ServiceContinue>(this));
        SetOnShutdown(MakeMethod<&TTestService::ServiceShutdown>(this));
        SetOnCustomControl(MakeMethod<&TTestService::ServiceCustom>(this));
        SetOnParamChange(MakeMethod<&TTestService::ServiceParamChange>(this));
        if (ini.ReadBool(section, L"UseExecute", false)) SetOnExecute(MakeMethod<&TTestService::ServiceExecute>(this));
        if (ini.ReadBool(section, L"RefuseInstall", false))
            SetBeforeInstall(MakeMethod<&TTestService::RefuseInstall>(this));
        SetAfterInstall(MakeMethod<&TTestService::Installed>(this));
        if (ini.ReadBool(section, L"NetBind", false)) {
            auto* h = Create<TRkNetBindEventHandler>(this);
            h->SetOnNetBindAdd(MakeMethod<&TTestService::NetBindAdd>(this));
            h->SetOnNetBindRemove(MakeMethod<&TTestService::NetBindRemove>(this));
            h->SetOnNetBindEnable(MakeMethod<&TTestService::NetBindEnable>(this));
            h->SetOnNetBindDisable(MakeMethod<&TTestService::NetBindDisable>(this));
        }
        if (ini.ReadBool(section, L"Power", false)) {
            auto* h = Create<TRkPowerEventHandler>(this);
            h->SetOnSuspend(MakeMethod<&TTestService::PowerSuspend>(this));
            h->SetOnResumeAutomatic(MakeMethod<&TTestService::PowerResumeAutomatic>(this));
        }
    }

    void Say(const std::wstring& what) { Evidence(Name() + L" " + what); }
    void MaybeThrow(const wchar_t* where) {
        if (Throw == where) throw Exception(L"%s went wrong", std::wstring(where));
    }

    void ServiceStart(TNtService*, bool& doAction) {
        Say(L"start thread=" + IntToStr(GetCurrentThreadId()) + L" params=" + IntToStr(ParamCount()) +
            L" pid=" + IntToStr(GetCurrentProcessId()));
        MaybeThrow(L"start");
        doAction = StartAnswer;
    }
    void ServiceStop(TNtService*, bool& doAction) {
        Say(L"stop pauses=" + IntToStr(Pauses) + L" continues=" + IntToStr(Continues) + L" customs=" +
            IntToStr(Customs) + L" requests-alive=" + IntToStr(ControlRequestsAlive()) + L" memory-growth=" +
            IntToStr(static_cast<int64_t>(CommittedPrivateBytes()) - static_cast<int64_t>(MemoryBaseline)));
        MaybeThrow(L"stop");
        doAction = StopAnswer;
    }
    void ServicePause(TNtService*, bool&) {
        ++Pauses;
        MaybeThrow(L"pause");
    }
    void ServiceContinue(TNtService*, bool&) {
        ++Continues;
        MaybeThrow(L"continue");
    }
    void ServiceShutdown(TObject*) {
        Say(L"shutdown");
        MaybeThrow(L"shutdown");
    }
    void ServiceParamChange(TObject*) { Say(L"paramchange"); }
    void RefuseInstall(TNtService*, bool& doAction) {
        Say(L"refuses install");
        doAction = false;
    }
    void Installed(TObject*) { Say(L"installed"); }
    void ServiceCustom(TNtService*, int32_t code) {
        ++Customs;
        if (code == 200) {
            MemoryBaseline = CommittedPrivateBytes(); // the stress test's starting point
            Say(L"baseline");
            return;
        }
        if (code == 201) {
            // A thread message the module handles through its message methods.
            PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 7, 0);
            return;
        }
        Say(L"custom " + IntToStr(code) + L" status=" + IntToStr(static_cast<int>(CurrentStatus())));
        MaybeThrow(L"custom");
    }
    void ServiceExecute(TObject*) {
        Say(L"execute");
        MaybeThrow(L"execute");
        while (!Terminated()) {
            ProcessRequests(false);
            Sleep(10);
        }
        Say(L"execute done");
    }
    // Handler component events: what arrived, and on which thread.
    void SayOnThread(const std::wstring& what) { Say(what + L" thread=" + IntToStr(GetCurrentThreadId())); }
    void NetBindAdd(TObject*) { SayOnThread(L"netbind add"); }
    void NetBindRemove(TObject*) { SayOnThread(L"netbind remove"); }
    void NetBindEnable(TObject*) { SayOnThread(L"netbind enable"); }
    void NetBindDisable(TObject*) { SayOnThread(L"netbind disable"); }
    void PowerSuspend(TObject*) { SayOnThread(L"power suspend"); }
    void PowerResumeAutomatic(TObject*) { SayOnThread(L"power resumeautomatic"); }
    void WMUser7(TMessage& m) { Say(L"message " + IntToStr(static_cast<int64_t>(m.WParam))); }
};

TAMREL_IMPLEMENT_CLASS(TTestService) { b.Message<&TTestService::WMUser7>(WM_USER + 7); }

int wmain() {
    std::wstring iniPath = ChangeFileExt(ParamStr(0), L".ini");
    TIniFile ini(iniPath);
    gEvidence = ini.ReadString(L"Program", L"Evidence", L"");
    Evidence(L"process " + std::wstring(GetCommandLineW()));
    Application->Initialize();
    Application->SetThreaded(ini.ReadBool(L"Program", L"Threaded", true));
    Application->SetDualMode(ini.ReadBool(L"Program", L"DualMode", true));
    int modules = ini.ReadInteger(L"Program", L"Modules", 1);
    for (int i = 1; i <= modules; ++i) {
        TTestService* s = nullptr;
        Application->CreateForm(s);
        std::wstring section = L"Svc" + IntToStr(i);
        if (s->Name().empty()) s->SetName(ini.ReadString(section, L"Name", section));
        s->Configure(ini, section);
    }
    Application->Run();
    Evidence(L"process end");
    return Application->ExitCode();
}
