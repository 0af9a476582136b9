#include "runtime/sessions/Tamrel_LaunchFrontEnd.h"
#include "runtime/sessions/internal/Tamrel_LaunchFrontEndInternal.h"

#include "host/ExtCtrls.h"
#include "host/SysUtils.h"
#include "runtime/security/Tamrel_ProcessRightsCenter.h"
#include "runtime/security/Tamrel_RightsCenter.h"
#include "runtime/security/Tamrel_SidCenter.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/base/Tamrel_WinVer.h"
#include "runtime/sessions/Tamrel_ProcessList.h"

#include <userenv.h>
#include <wtsapi32.h>

#include <algorithm>

namespace tamrel {

namespace {

constexpr DWORD CreateFlagBits[] = {0x1,    0x2,    0x4,     0x8,       0x10,      0x200,     0x400,
                                    0x800,  0x1000, 0x80000, 0x1000000, 0x4000000, 0x2000000, 0x8000000};
static_assert(std::size(CreateFlagBits) == cpfCreateNoWindow + 1);

constexpr UINT WatchInterval = 1000;

void DestroyEnvironment(void* block) { DestroyEnvironmentBlock(block); }
using TEnvironmentBlock = TUniqueHandle<void*, DestroyEnvironment>;

} // namespace

TLaunchWatchHooks& LaunchWatchHooks() {
    static TLaunchWatchHooks hooks;
    return hooks;
}

DWORD DwCreateProcessFlags(TrkCreateProcessFlags Flags) {
    DWORD bits = CREATE_UNICODE_ENVIRONMENT;
    for (int i = 0; i <= cpfCreateNoWindow; ++i)
        if (Flags.Contains(static_cast<TrkCreateProcessFlag>(i))) bits |= CreateFlagBits[i];
    return bits;
}

bool QueryUserToken(HANDLE& Token) {
    Token = nullptr;
    TStringList processes;
    GetProcessList(&processes);
    for (int i = 0; i < processes.Count(); ++i) {
        TKernelHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, ProcessIdOf(&processes, i)));
        if (!process) continue;
        TKernelHandle token;
        if (!OpenProcessToken(process.Get(), TOKEN_ALL_ACCESS, token.Put())) continue;
        TOKEN_SOURCE source{};
        DWORD size = 0;
        if (!GetTokenInformation(token.Get(), TokenSource, &source, sizeof source, &size)) continue;
        std::wstring name = Trim(AnsiToWide(std::string(source.SourceName, strnlen(source.SourceName, 8))));
        if (name == L"User32") {
            Token = token.Release(); // the process handle closes here
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TrkLaunchedProcess

TrkLaunchedProcess::TrkLaunchedProcess(TrkLaunchFrontEnd* FrontEnd, const PROCESS_INFORMATION& Info, DWORD SessionId)
    : FProcess(Info.hProcess), FThread(Info.hThread), FProcessId(Info.dwProcessId), FThreadId(Info.dwThreadId),
      FSessionId(SessionId), FLaunchFrontEnd(FrontEnd) {}

TrkLaunchedProcess::~TrkLaunchedProcess() {
    if (FLaunchFrontEnd) FLaunchFrontEnd->Forget(this);
}

bool TrkLaunchedProcess::IsAlive() const { return WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT; }

// ---------------------------------------------------------------------------------------------
// TrkLaunchFrontEnd

TrkLaunchFrontEnd::TrkLaunchFrontEnd(TComponent* AOwner)
    : TComponent(AOwner), FEnvironment(std::make_unique<TStringList>()),
      FPRC(Create<TrkProcessRightsCenter>(nullptr)), FSidCenter(Create<TrkSidCenter>(nullptr)),
      FARC(Create<TrkAccountRightsCenter>(nullptr)) {
    FUpdateTimer = Create<TTimer>(this);
    FUpdateTimer->SetEnabled(false);
    FUpdateTimer->SetInterval(WatchInterval);
    FUpdateTimer->SetOnTimer(TNotifyEvent::Of<&TrkLaunchFrontEnd::OnUpdateTimer>(this));
    FARC->SetSidCenter(FSidCenter.get());
}

TrkLaunchFrontEnd::~TrkLaunchFrontEnd() {
    for (;;) {
        TrkLaunchedProcess* newest;
        {
            std::lock_guard<std::mutex> hold(FLock);
            if (FLaunchedProcesses.empty()) break;
            newest = FLaunchedProcesses.back();
        }
        Free(newest); // takes itself off the list
    }
    Free(FUpdateTimer);
}

int TrkLaunchFrontEnd::LaunchedProcessCount() const {
    std::lock_guard<std::mutex> hold(FLock);
    return static_cast<int>(FLaunchedProcesses.size());
}

TrkLaunchedProcess* TrkLaunchFrontEnd::LaunchedProcess(int Index) const {
    std::lock_guard<std::mutex> hold(FLock);
    if (Index < 0 || Index >= static_cast<int>(FLaunchedProcesses.size())) throw EListError(SListIndexError, Index);
    return FLaunchedProcesses[static_cast<size_t>(Index)];
}

void TrkLaunchFrontEnd::Forget(TrkLaunchedProcess* Process) {
    std::unique_lock<std::mutex> hold(FLock);
    // Freed on another thread while the watch reports it: the handler holds the object, so it
    // goes once the handler has returned. The watch's own thread (a handler freeing it) goes on.
    if (FReporting == Process && FReportingThread != GetCurrentThreadId()) {
        if (LaunchWatchHooks().FreeWaits) LaunchWatchHooks().FreeWaits(Process);
        FReported.wait(hold, [&] { return FReporting != Process; });
    }
    std::erase(FLaunchedProcesses, Process);
}

void TrkLaunchFrontEnd::CheckPrivileges() {
    // Everything that is enabled stays enabled; only the trusted-computing-base privilege is
    // added.
    FPRC->SetNewPrivileges(FPRC->CurrentPrivileges() + TrkPrivileges{spTCB});
    FPRC->SetNewAdditional(FPRC->CurrentAdditional());
    FPRC->Commit();
    if (TamrelFindCommand(L"debug")) return;
    if (!FPRC->CurrentPrivileges().Contains(spTCB)) throw Exception(SUnableToSetTcb);
}

void TrkLaunchFrontEnd::PrepareEnvironmentBlock(HANDLE Token) {
    void* raw = nullptr;
    if (!CreateEnvironmentBlock(&raw, Token, FALSE)) RaiseLastOSError();
    TEnvironmentBlock block(raw);
    FEnvironment->Clear();
    for (auto* p = static_cast<const wchar_t*>(raw); *p; p += wcslen(p) + 1) FEnvironment->Add(p);
    block.Reset();
    FEnvironmentBlock.clear();
    for (int i = 0; i < FEnvironment->Count(); ++i) {
        std::wstring line = FEnvironment->Get(i);
        if (line.empty()) continue;
        FEnvironmentBlock.insert(FEnvironmentBlock.end(), line.begin(), line.end());
        FEnvironmentBlock.push_back(L'\0');
    }
    FEnvironmentBlock.push_back(L'\0');
    FEnvironmentBlock.push_back(L'\0');
}

void TrkLaunchFrontEnd::Launch(DWORD SessionId) {
    if (IsWinNT()) CheckPrivileges();
    TKernelHandle token;
    if (IsWinXP()) {
        if (!WTSQueryUserToken(SessionId, token.Put())) return;
    } else {
        HANDLE found = nullptr;
        if (!QueryUserToken(found)) return;
        token.Reset(found);
    }
    PrepareEnvironmentBlock(token.Get());

    std::wstring desktop = L"WinSta0\\default";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop.data();
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    // CreateProcess may write into the command line: a copy of our own.
    std::vector<wchar_t> commandLine(FCommandLine.begin(), FCommandLine.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION info{};
    BOOL started = CreateProcessAsUserW(token.Get(), FApplicationName.empty() ? nullptr : FApplicationName.c_str(),
                                        FCommandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr, FALSE,
                                        DwCreateProcessFlags(FCreateProcessFlags), FEnvironmentBlock.data(),
                                        FCurrentDirectory.empty() ? nullptr : FCurrentDirectory.c_str(), &startup, &info);
    if (!started || !info.hProcess) {
        const TKernelHandle thread(info.hThread); // a thread without its process is nobody's to keep
        if (FOnLaunchError) FOnLaunchError(this);
        return;
    }
    auto* process = new TrkLaunchedProcess(this, info, SessionId);
    {
        // The watch decides under this lock whether to stop: it sees this process, or stops
        // before the timer is switched on here.
        std::lock_guard<std::mutex> hold(FLock);
        FLaunchedProcesses.push_back(process);
        FUpdateTimer->SetEnabled(true);
    }
    if (FOnProcessLaunch) FOnProcessLaunch(this, process);
}

// A process is examined under the list lock, so that a free on another thread waits (Forget)
// or has already taken it off the list.
TrkLaunchedProcess* TrkLaunchFrontEnd::TakeEnded(TrkLaunchedProcess* Process) {
    std::lock_guard<std::mutex> hold(FLock);
    bool listed = std::find(FLaunchedProcesses.begin(), FLaunchedProcesses.end(), Process) != FLaunchedProcesses.end();
    if (!listed || !Process->FIsAlive || Process->IsAlive()) return nullptr;
    Process->FIsAlive = false;
    FReporting = Process;
    FReportingThread = GetCurrentThreadId();
    return Process;
}

void TrkLaunchFrontEnd::OnUpdateTimer(TObject*) {
    std::vector<TrkLaunchedProcess*> watched;
    {
        std::lock_guard<std::mutex> hold(FLock);
        watched = FLaunchedProcesses;
    }
    for (size_t i = watched.size(); i-- > 0;) {
        TrkLaunchedProcess* process = TakeEnded(watched[i]);
        if (!process) continue;
        TScopeExit reported([this] {
            {
                std::lock_guard<std::mutex> hold(FLock);
                FReporting = nullptr;
            }
            FReported.notify_all();
        });
        if (LaunchWatchHooks().Reporting) LaunchWatchHooks().Reporting(process);
        if (FOnProcessTerminate) FOnProcessTerminate(this, process);
    }
    if (LaunchWatchHooks().Deciding) LaunchWatchHooks().Deciding();
    std::lock_guard<std::mutex> hold(FLock);
    if (FLaunchedProcesses.empty()) FUpdateTimer->SetEnabled(false);
}

TAMREL_IMPLEMENT_CLASS(TrkLaunchFrontEnd) {
    using C = TrkLaunchFrontEnd;
    b.String(L"ApplicationName", &C::ApplicationName, &C::SetApplicationName);
    b.String(L"CommandLine", &C::CommandLine, &C::SetCommandLine);
    b.String(L"CurrentDirectory", &C::CurrentDirectory, &C::SetCurrentDirectory);
    b.Set(L"CreateProcessFlags", &C::CreateProcessFlags, &C::SetCreateProcessFlags, TrkCreateProcessFlags{});
    b.Object(L"Environment", &C::Environment);
    b.Event(L"OnProcessLaunch", &C::OnProcessLaunch, &C::SetOnProcessLaunch);
    b.Event(L"OnProcessTerminate", &C::OnProcessTerminate, &C::SetOnProcessTerminate);
    b.Event(L"OnLaunchError", &C::OnLaunchError, &C::SetOnLaunchError);
}

} // namespace tamrel
