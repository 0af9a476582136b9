// A plain program for the session tests.
//   SessionsProbe windows                  prints "windows=<n>": the windows a new TrkTimer made
//   SessionsProbe sensor <evidence> <stop> a TrkLogonSensor and a method subscribed twice on the
//                                          main thread; runs until the file <stop> exists
// Evidence lines: "sensor logon thread=<id>", "sensor logoff thread=<id>", "plain logon",
// "plain logoff", "main thread=<id>", "ending".
#include "host/SysUtils.h"
#include "runtime/sessions/Tamrel_LogonSensor.h"
#include "runtime/sessions/Tamrel_Timer.h"

#include "tests/support/EvidenceFile.h"

#include <windows.h>

#include <cstdio>

using namespace tamrel;

namespace {

std::wstring gEvidence;

void Evidence(const std::wstring& line) { test::AppendEvidence(gEvidence, line); }

std::wstring Thread() { return L" thread=" + IntToStr(GetCurrentThreadId()); }

struct TWitness {
    void SensorLogon(TObject*) { Evidence(L"sensor logon" + Thread()); }
    void SensorLogoff(TObject*) { Evidence(L"sensor logoff" + Thread()); }
    void PlainLogon(TObject*) { Evidence(L"plain logon"); }
    void PlainLogoff(TObject*) { Evidence(L"plain logoff"); }
} gWitness;


} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"windows") {
        int before = test::LibraryWindowsOfThisThread();
        TOwnedPtr<TrkTimer> timer(Create<TrkTimer>(nullptr));
        timer->SetInterval(50);
        timer->SetOnTimer(TNotifyEvent::Of<&TWitness::PlainLogon>(&gWitness));
        std::printf("windows=%d\n", test::LibraryWindowsOfThisThread() - before);
        return 0;
    }
    if (mode == L"sensor" && argc > 3) {
        gEvidence = argv[2];
        std::wstring stop = argv[3];
        TOwnedPtr<TrkLogonSensor> sensor(Create<TrkLogonSensor>(nullptr));
        sensor->SetOnLogon(TNotifyEvent::Of<&TWitness::SensorLogon>(&gWitness));
        sensor->SetOnLogoff(TNotifyEvent::Of<&TWitness::SensorLogoff>(&gWitness));
        for (int i = 0; i < 2; ++i) {
            AddOnLogonEvent(TNotifyEvent::Of<&TWitness::PlainLogon>(&gWitness));
            AddOnLogoffEvent(TNotifyEvent::Of<&TWitness::PlainLogoff>(&gWitness));
        }
        Evidence(L"main" + Thread());
        while (GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        }
        Evidence(L"ending");
        return 0;
    }
    std::fprintf(stderr, "usage: SessionsProbe windows | sensor <evidence> <stop>\n");
    return 2;
}
