// Starting a program inside a user's session from a service: with the session user's token, the
// user's own environment and the interactive desktop; the started processes are watched and the
// end of each is reported once.
#pragma once

#include "host/Classes.h"
#include "host/Handles.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tamrel {

class TTimer;
class TrkProcessRightsCenter;
class TrkSidCenter;
class TrkAccountRightsCenter;
class TrkLaunchFrontEnd;

TAMREL_ENUM(TrkCreateProcessFlag, cpfDebugProcess, cpfDebugOnlyThisProcess, cpfCreateSuspended, cpfDetachedProcess,
            cpfCreateNewConsole, cpfCreateNewProcessGroup, cpfCreateUnicodeEnvironment, cpfCreateSepearateWowVdm,
            cpfCreateSharedWowVDM, cpfExtendedStartupInfoPresent, cpfCreateBreakawayFromJob, cpfCreateDefaulErrorMode,
            cpfCreatePreserveCodeAuthzLevel, cpfCreateNoWindow);
using TrkCreateProcessFlags = TSet<TrkCreateProcessFlag>;

// The creation flags of a set; CREATE_UNICODE_ENVIRONMENT is always in (the block is UTF-16).
TAMREL_API DWORD DwCreateProcessFlags(TrkCreateProcessFlags Flags);

// One process the front end started. Freeing it closes both handles and takes it off its front
// end's list; the front end frees those still listed when it goes. It may be freed on any thread:
// while the watch reports its end, a free on another thread waits until OnProcessTerminate has
// returned (so that handler must not wait for a thread that frees the process it reports).
class TAMREL_API TrkLaunchedProcess : public TObject {
public:
    ~TrkLaunchedProcess() override;

    HANDLE ProcessHandle() const { return FProcess.Get(); }
    HANDLE ThreadHandle() const { return FThread.Get(); }
    DWORD ProcessId() const { return FProcessId; }
    DWORD ThreadId() const { return FThreadId; }
    DWORD SessionId() const { return FSessionId; }
    // The system's answer: the process has not ended yet.
    bool IsAlive() const;

private:
    friend class TrkLaunchFrontEnd;
    TrkLaunchedProcess(TrkLaunchFrontEnd* FrontEnd, const PROCESS_INFORMATION& Info, DWORD SessionId);

    TKernelHandle FProcess;
    TKernelHandle FThread;
    DWORD FProcessId;
    DWORD FThreadId;
    DWORD FSessionId;
    TrkLaunchFrontEnd* FLaunchFrontEnd;
    bool FIsAlive = true; // its end has not been reported yet
};

using TrkOnProcessNotify = TMethod<void(TObject* Sender, TrkLaunchedProcess* Process)>;

inline constexpr wchar_t SUnableToSetTcb[] = L"Unable to set SE_TCB privilege";

class TAMREL_API TrkLaunchFrontEnd : public TComponent {
    TAMREL_CLASS(TrkLaunchFrontEnd, TComponent)
public:
    explicit TrkLaunchFrontEnd(TComponent* AOwner);
    ~TrkLaunchFrontEnd() override;

    // Published. Empty texts pass nothing (no application name, no command line, no directory).
    const std::wstring& ApplicationName() const { return FApplicationName; }
    void SetApplicationName(const std::wstring& V) { FApplicationName = V; }
    const std::wstring& CommandLine() const { return FCommandLine; }
    void SetCommandLine(const std::wstring& V) { FCommandLine = V; }
    const std::wstring& CurrentDirectory() const { return FCurrentDirectory; }
    void SetCurrentDirectory(const std::wstring& V) { FCurrentDirectory = V; }
    TrkCreateProcessFlags CreateProcessFlags() const { return FCreateProcessFlags; }
    void SetCreateProcessFlags(TrkCreateProcessFlags V) { FCreateProcessFlags = V; }
    // After each launch: the environment the process got, NAME=value per line. Assigning copies.
    TStrings* Environment() const { return FEnvironment.get(); }
    void SetEnvironment(TStrings* V) { FEnvironment->Assign(V); }
    TrkOnProcessNotify OnProcessLaunch() const { return FOnProcessLaunch; }
    void SetOnProcessLaunch(TrkOnProcessNotify E) { FOnProcessLaunch = E; }
    // Runs on the thread that made the front end, once per process, when its end is seen (the
    // watch looks every second).
    TrkOnProcessNotify OnProcessTerminate() const { return FOnProcessTerminate; }
    void SetOnProcessTerminate(TrkOnProcessNotify E) { FOnProcessTerminate = E; }
    TNotifyEvent OnLaunchError() const { return FOnLaunchError; }
    void SetOnLaunchError(TNotifyEvent E) { FOnLaunchError = E; }

    // The watched processes, oldest first; ended ones stay until the application frees them.
    int LaunchedProcessCount() const;
    TrkLaunchedProcess* LaunchedProcess(int Index) const;

    // Starts the program in the session. Needs the trusted-computing-base privilege (raises
    // SUnableToSetTcb without it, unless the program runs with the "debug" switch). Without a
    // token for the session nothing happens; a failed start calls OnLaunchError.
    void Launch(DWORD SessionId);

private:
    friend class TrkLaunchedProcess;
    void CheckPrivileges();
    void PrepareEnvironmentBlock(HANDLE Token);
    void OnUpdateTimer(TObject* Sender);
    TrkLaunchedProcess* TakeEnded(TrkLaunchedProcess* Process);
    void Forget(TrkLaunchedProcess* Process);

    std::wstring FApplicationName;
    std::wstring FCommandLine;
    std::wstring FCurrentDirectory;
    TrkCreateProcessFlags FCreateProcessFlags;
    std::unique_ptr<TStringList> FEnvironment;
    TrkOnProcessNotify FOnProcessLaunch;
    TrkOnProcessNotify FOnProcessTerminate;
    TNotifyEvent FOnLaunchError;
    // Launch appends on the service thread while the watch ticks on the creating thread; the
    // timer is switched on and off under it too.
    mutable std::mutex FLock;
    std::vector<TrkLaunchedProcess*> FLaunchedProcesses;
    // The process whose end the watch is reporting, and the watch's thread; a free on another
    // thread waits for FReported.
    TrkLaunchedProcess* FReporting = nullptr;
    DWORD FReportingThread = 0;
    std::condition_variable FReported;
    TTimer* FUpdateTimer;
    std::vector<wchar_t> FEnvironmentBlock;
    TOwnedPtr<TrkProcessRightsCenter> FPRC;
    TOwnedPtr<TrkSidCenter> FSidCenter;
    TOwnedPtr<TrkAccountRightsCenter> FARC;
};

// Before Windows XP: the token of the first process whose token source is "User32" (the
// interactive logon). True with Token set (the caller closes it); false when there is none.
TAMREL_API bool QueryUserToken(HANDLE& Token);

} // namespace tamrel
