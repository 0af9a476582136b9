#include "runtime/sessions/Tamrel_LogonSensor.h"
#include "runtime/sessions/internal/Tamrel_LogonSensorInternal.h"
#include "runtime/sessions/internal/Tamrel_ProcessListInternal.h"

#include "host/ExitProcs.h"
#include "host/Globals.h"
#include "host/Handles.h"
#include "host/HiddenWindow.h"
#include "host/HostApplication.h"
#include "host/Registry.h"
#include "host/SysUtils.h"
#include "host/Threads.h"
#include "runtime/service/base/Tamrel_WinVer.h"
#include "runtime/sessions/Tamrel_ProcessList.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace tamrel {

namespace {

constexpr wchar_t WinlogonKey[] = L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr DWORD LoggedOnInterval = 5000;
constexpr DWORD LoggedOffInterval = 1000;
constexpr DWORD ThreadEndWait = 5000;

// Methods whose code lies in the first 64 KB are not assigned.
bool IsAssigned(const TNotifyEvent& Event) { return reinterpret_cast<UINT_PTR>(Event.Code()) >= 0x10000; }

void ReportToHostApplication(std::exception_ptr error) {
    if (HostApplication.Exists()) HostApplication->HandleException(nullptr, error);
}

struct TEntry {
    bool Logon;
    TNotifyEvent Event;
    uint64_t Id;
};

// The subscription of one thread: its hidden window and its methods.
class TSubscription {
public:
    TSubscription() : FWindow(AllocateHWnd(TWndMethod::Of<&TSubscription::WndProc>(this))) {}
    ~TSubscription() { DeallocateHWnd(FWindow); }
    TSubscription(const TSubscription&) = delete;
    TSubscription& operator=(const TSubscription&) = delete;

    HWND Window() const { return FWindow; }
    std::vector<TEntry> Entries; // under the sensor state's lock

private:
    void WndProc(TMessage& Message);
    HWND FWindow;
};

struct TSensorState;

class TSensorThread : public TThread {
public:
    TSensorThread(TSensorState& State, HANDLE WakeUp) : TThread(true), FState(State), FWakeUp(WakeUp) {}
    ~TSensorThread() override { TerminateAndWait(); }

protected:
    void Execute() override;

private:
    TSensorState& FState;
    HANDLE FWakeUp;
    bool FLoggedOn = false;
    DWORD FInterval = LoggedOnInterval;
};

// The process-wide state: made with the first subscription, stopped by an exit procedure.
struct TSensorState {
    TSensorState();
    ~TSensorState();
    void Stop();
    TSubscription* ThisThreadSubscription();
    // Sleeps while no method is subscribed; false once the sensor stops.
    bool WaitForSubscribers();
    // Wakes the sleeping sensor thread (a method was subscribed, or the sensor stops).
    void Notify() { Subscribed.notify_all(); }
    void PostAll(UINT Message);
    // The entry, when it is still subscribed (a method may be removed while a walk runs).
    bool StillSubscribed(uint64_t Id);

    std::mutex Lock;
    std::condition_variable Subscribed;
    std::vector<std::unique_ptr<TSubscription>> Subscriptions;
    uint64_t NextId = 1;
    bool Stopped = false;
    TKernelHandle WakeUp;
    std::unique_ptr<TSensorThread> Thread;
};

thread_local TSubscription* tSubscription = nullptr;

TSensorState& SensorState() {
    static TLibraryGlobal<TSensorState> global;
    return *global;
}

TSensorState::TSensorState() {
    std::wstring name = L"SensorThread" + IntToHex(GetCurrentProcessId(), 8);
    WakeUp.Reset(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    if (!WakeUp) RaiseLastOSError();
    Thread = std::make_unique<TSensorThread>(*this, WakeUp.Get());
    Thread->Start();
    AddExitProc([this] { Stop(); });
}

TSensorState::~TSensorState() {
    // Released at the very end, perhaps under the loader lock: no waiting here. A thread that
    // did not end in the exit procedure is left to the ending process.
    if (Thread && !Thread->Finished()) (void)Thread.release();
}

void TSensorState::Stop() {
    {
        std::lock_guard<std::mutex> hold(Lock);
        if (Stopped) return;
        Stopped = true;
    }
    Notify();
    Thread->Terminate();
    SetEvent(WakeUp.Get());
    if (WaitForSingleObject(Thread->Handle(), ThreadEndWait) == WAIT_OBJECT_0) Thread.reset();
    std::vector<std::unique_ptr<TSubscription>> ending;
    {
        std::lock_guard<std::mutex> hold(Lock);
        ending.swap(Subscriptions);
    }
    ending.clear(); // outside the lock: a window method running now may still take it
}

TSubscription* TSensorState::ThisThreadSubscription() {
    std::lock_guard<std::mutex> hold(Lock);
    if (Stopped) return nullptr;
    if (!tSubscription) {
        auto subscription = std::make_unique<TSubscription>();
        tSubscription = subscription.get();
        Subscriptions.push_back(std::move(subscription));
    }
    return tSubscription;
}

bool TSensorState::WaitForSubscribers() {
    // A thread's subscription stays until the program ends, also when its last method goes:
    // the methods are what counts.
    auto any = [this] {
        return std::any_of(Subscriptions.begin(), Subscriptions.end(),
                           [](const auto& s) { return !s->Entries.empty(); });
    };
    std::unique_lock<std::mutex> hold(Lock);
    if (!Stopped && !any()) {
        if (LogonSensorHooks().Idle) LogonSensorHooks().Idle();
        Subscribed.wait(hold, [&] { return Stopped || any(); });
    }
    return !Stopped;
}

void TSensorState::PostAll(UINT Message) {
    std::lock_guard<std::mutex> hold(Lock);
    for (const auto& s : Subscriptions) PostMessageW(s->Window(), Message, 0, 0);
}

bool TSensorState::StillSubscribed(uint64_t Id) {
    std::lock_guard<std::mutex> hold(Lock);
    for (const auto& s : Subscriptions)
        for (const TEntry& e : s->Entries)
            if (e.Id == Id) return true;
    return false;
}

void TSubscription::WndProc(TMessage& Message) {
    if (Message.Msg != WM_RK_LOGON && Message.Msg != WM_RK_LOGOFF) {
        CallDefWindowProc(FWindow, Message);
        return;
    }
    bool logon = Message.Msg == WM_RK_LOGON;
    TSensorState& state = SensorState();
    std::vector<TEntry> due;
    {
        std::lock_guard<std::mutex> hold(state.Lock);
        for (const TEntry& e : Entries)
            if (e.Logon == logon) due.push_back(e);
    }
    for (const TEntry& e : due) {
        if (!state.StillSubscribed(e.Id)) continue;
        try {
            e.Event(nullptr);
        } catch (...) {
            ReportToHostApplication(std::current_exception());
        }
    }
}

void TSensorThread::Execute() {
    TSensorState& state = FState;
    while (!Terminated()) {
        if (!state.WaitForSubscribers()) break;
        if (LogonSensorHooks().Poll) LogonSensorHooks().Poll();
        bool loggedOn = FLoggedOn;
        try {
            loggedOn = IsLoggedOn();
        } catch (...) {
            // A shell that cannot be found now may be found at the next poll: keep the last state.
        }
        if (loggedOn != FLoggedOn) {
            FLoggedOn = loggedOn;
            state.PostAll(loggedOn ? WM_RK_LOGON : WM_RK_LOGOFF);
        }
        // Nobody logged on yet counts as logged off: a first logon is seen within a second.
        FInterval = FLoggedOn ? LoggedOnInterval : LoggedOffInterval;
        WaitForSingleObject(FWakeUp, FInterval);
    }
}

void Subscribe(bool Logon, const TNotifyEvent& Event) {
    if (!IsAssigned(Event)) return;
    TSensorState& state = SensorState();
    TSubscription* subscription = state.ThisThreadSubscription();
    if (!subscription) return; // the program is ending
    std::lock_guard<std::mutex> hold(state.Lock);
    auto& entries = subscription->Entries;
    bool known = std::any_of(entries.begin(), entries.end(),
                             [&](const TEntry& e) { return e.Logon == Logon && e.Event == Event; });
    if (known) return;
    entries.push_back({Logon, Event, state.NextId++});
    state.Notify();
}

void Unsubscribe(bool Logon, const TNotifyEvent& Event) {
    TSensorState& state = SensorState();
    std::lock_guard<std::mutex> hold(state.Lock);
    for (const auto& s : state.Subscriptions)
        std::erase_if(s->Entries, [&](const TEntry& e) { return e.Logon == Logon && e.Event == Event; });
}

std::wstring ConfiguredShell() {
    if (IsWinNT()) {
        TRegistry registry(KEY_READ);
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(WinlogonKey)) throw Exception(SCantOpenRegistryKey, std::wstring(WinlogonKey));
        return registry.ReadString(L"Shell");
    }
    wchar_t windows[MAX_PATH] = {};
    if (!GetWindowsDirectoryW(windows, MAX_PATH)) RaiseLastOSError();
    std::wstring ini = IncludeTrailingPathDelimiter(windows) + L"System.ini";
    wchar_t shell[MAX_PATH] = {};
    GetPrivateProfileStringW(L"boot", L"Shell", L"explorer.exe", shell, MAX_PATH, ini.c_str());
    return shell;
}

// The short form of a path; empty when the system cannot give one.
std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return buffer;
}

// The long form of a path; the path itself when the system cannot give one.
std::wstring LongPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    DWORD n = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return path;
    return buffer;
}

} // namespace

TLogonSensorHooks& LogonSensorHooks() {
    static TLogonSensorHooks hooks;
    return hooks;
}

void AddOnLogonEvent(TNotifyEvent Event) { Subscribe(true, Event); }
void AddOnLogoffEvent(TNotifyEvent Event) { Subscribe(false, Event); }
void RemoveOnLogonEvent(TNotifyEvent Event) { Unsubscribe(true, Event); }
void RemoveOnLogoffEvent(TNotifyEvent Event) { Unsubscribe(false, Event); }

bool IsLoggedOn() {
    std::wstring shell = ConfiguredShell();
    std::wstring imageName = ExtractFileName(shell);
    bool wow64 = IsWow64();
    if (!wow64) {
        wchar_t found[MAX_PATH] = {};
        DWORD n = SearchPathW(nullptr, shell.c_str(), nullptr, MAX_PATH, found, nullptr);
        if (n == 0) RaiseLastOSError();
        if (n >= MAX_PATH) RaiseLastOSError(ERROR_INSUFFICIENT_BUFFER);
        shell = ShortPath(found);
        if (shell.empty()) RaiseLastOSError();
        // The system lists a process by its program's long name, whatever form the value has.
        imageName = ExtractFileName(LongPath(found));
    }
    // Only processes that run a program of the shell's name can be the shell: the others are
    // not worth a module snapshot each.
    std::vector<std::wstring> candidates;
    try {
        candidates = ProcessPathsNamed(imageName);
    } catch (const Exception&) {
        return false;
    }
    for (const std::wstring& candidate : candidates) {
        std::wstring line = ShortPath(candidate);
        if (line.empty()) {
            if (!wow64) continue;
            line = candidate;
        }
        if (AnsiCompareText(line, shell) == 0) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TrkLogonSensor

TrkLogonSensor::TrkLogonSensor(TComponent* AOwner)
    : TComponent(AOwner), FWindow(this, TWndMethod::Of<&TrkLogonSensor::WndProc>(this), {}, false) {}

void TrkLogonSensor::AfterConstruction() {
    inherited::AfterConstruction(); // inserting the sensor attaches it to a service owner
    if (ComponentState().Contains(csDesigning)) return;
    FWindow.AllocateHere();
    AddOnLogonEvent(TNotifyEvent::Of<&TrkLogonSensor::NotifyOnLogon>(this));
    AddOnLogoffEvent(TNotifyEvent::Of<&TrkLogonSensor::NotifyOnLogoff>(this));
}

TrkLogonSensor::~TrkLogonSensor() {
    RemoveOnLogonEvent(TNotifyEvent::Of<&TrkLogonSensor::NotifyOnLogon>(this));
    RemoveOnLogoffEvent(TNotifyEvent::Of<&TrkLogonSensor::NotifyOnLogoff>(this));
    FWindow.Detach();
    FWindow.Drop();
}

void TrkLogonSensor::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    FWindow.Notification(AComponent, Operation);
}

// Posted to the sensor's window of the moment; without one (a stopped service) it is lost.
void TrkLogonSensor::NotifyOnLogon(TObject*) {
    if (HWND wnd = FWindow.LiveHandle()) PostMessageW(wnd, WM_RK_LOGON, 0, 0);
}

void TrkLogonSensor::NotifyOnLogoff(TObject*) {
    if (HWND wnd = FWindow.LiveHandle()) PostMessageW(wnd, WM_RK_LOGOFF, 0, 0);
}

void TrkLogonSensor::WndProc(TMessage& Message) {
    HWND wnd = FWindow.Handle();
    switch (Message.Msg) {
    case WM_RK_LOGON:
        if (FOnLogon) FOnLogon(this);
        return;
    case WM_RK_LOGOFF:
        if (FOnLogoff) FOnLogoff(this);
        return;
    case WM_NCDESTROY:
        FWindow.WindowDestroyed(wnd);
        break;
    }
    CallDefWindowProc(wnd, Message);
}

TAMREL_IMPLEMENT_CLASS(TrkLogonSensor) {
    b.Event(L"OnLogon", &TrkLogonSensor::OnLogon, &TrkLogonSensor::SetOnLogon);
    b.Event(L"OnLogoff", &TrkLogonSensor::OnLogoff, &TrkLogonSensor::SetOnLogoff);
}

} // namespace tamrel
