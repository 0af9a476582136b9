// The smallest useful service built on Tamrel: it writes a heartbeat line to a log file every
// second while it runs, and says when it is paused, continued and stopped.
//
//   FirstService /install        installs it with the service manager
//   FirstService /start          starts it (also /pause, /continue, /stop, /restart)
//   FirstService /uninstall      stops and removes it
//   FirstService /debug          runs it as a console program, driven by the debug library
#include "runtime/service/Tamrel_NTService.h"

#include <windows.h>

using namespace tamrel;

class TFirstService : public TNtService {
    TAMREL_CLASS(TFirstService, TNtService)
public:
    explicit TFirstService(TComponent* owner) : TNtService(owner) {
        SetName(L"TamrelFirstService");
        SetDisplayName(L"Tamrel first service");
        SetDescription(L"Writes a heartbeat to FirstService.log beside the program.");
        SetStartType(stManual);
        SetTag(1); // /start, /stop... without a service name act on this one
        SetOnStart(MakeMethod<&TFirstService::ServiceStart>(this));
        SetOnStop(MakeMethod<&TFirstService::ServiceStop>(this));
        SetOnPause(MakeMethod<&TFirstService::ServicePause>(this));
        SetOnContinue(MakeMethod<&TFirstService::ServiceContinue>(this));
        SetOnExecute(MakeMethod<&TFirstService::ServiceExecute>(this));
    }

private:
    void Log(const std::wstring& text) {
        std::wstring path = ChangeFileExt(ParamStr(0), L".log");
        TFileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_ALWAYS, 0, nullptr));
        if (!file) return;
        SYSTEMTIME st;
        GetLocalTime(&st);
        std::string line = WideToUtf8(Format(L"%.2d:%.2d:%.2d %s\r\n", st.wHour, st.wMinute, st.wSecond, text));
        DWORD written;
        WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    void ServiceStart(TNtService*, bool& doAction) {
        Log(L"started");
        doAction = true;
    }
    void ServiceStop(TNtService*, bool&) { Log(L"stopped"); }
    void ServicePause(TNtService*, bool&) { Log(L"paused"); }
    void ServiceContinue(TNtService*, bool&) { Log(L"continued"); }
    // The service's work: a heartbeat every second. Between two beats the thread waits for its
    // message queue, so that a stop, pause or continue is served the moment it arrives, not when
    // the next beat is due.
    void ServiceExecute(TObject*) {
        DWORD due = GetTickCount() + 1000;
        while (!Terminated()) {
            const auto left = static_cast<int32_t>(due - GetTickCount());
            MsgWaitForMultipleObjectsEx(0, nullptr, left > 0 ? DWORD(left) : 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            ProcessRequests(false);
            if (static_cast<int32_t>(GetTickCount() - due) >= 0) {
                if (CurrentStatus() == csRunning) Log(L"heartbeat");
                due += 1000;
            }
        }
    }
};

TAMREL_IMPLEMENT_CLASS(TFirstService) {}

int wmain() {
    Application->Initialize();
    TFirstService* service = nullptr;
    Application->CreateForm(service);
    Application->Run();
    return Application->ExitCode(); // 0, or why the command failed: scripts can tell
}
