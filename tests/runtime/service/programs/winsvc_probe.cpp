// Probe of the service-control layer, run by WinSvc_test with chosen command lines. The
// environment picks what it does (the command line belongs to the switches under test):
//   WINSVC_PROBE=find    WINSVC_FIND=name|name|...   the switch finder for each name
//   WINSVC_PROBE=loader  the one-time loader: outcome, library, bound exports, ANSI config path
//   WINSVC_PROBE=scm     the manager calls that the debug library records
//   WINSVC_PROBE=events  every debug event in both text forms
//   WINSVC_PROBE=dispatcher  the dispatcher's answers to calls made the wrong way
// One result a line on stdout, UTF-8.
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"

#include <cstdio>
#include <string>

using namespace tamrel;

namespace {

void Out(const std::wstring& line) {
    std::printf("%s\n", WideToUtf8(line).c_str());
    std::fflush(stdout);
}

std::wstring Env(const wchar_t* name) {
    wchar_t buf[2048];
    DWORD n = GetEnvironmentVariableW(name, buf, 2048);
    return n && n < 2048 ? std::wstring(buf, n) : std::wstring();
}

void Find() {
    std::wstring names = Env(L"WINSVC_FIND");
    size_t start = 0;
    for (;;) {
        size_t bar = names.find(L'|', start);
        std::wstring name = names.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
        std::wstring value = L"left over";
        bool found = TamrelFindParameter(name, value);
        Out(L"find " + name + L" found=" + (found ? L"1" : L"0") + L" value=[" + value + L"] command=" +
            (TamrelFindCommand(name) ? L"1" : L"0"));
        if (bar == std::wstring::npos) break;
        start = bar + 1;
    }
}

// Stands in for the bound wide ChangeServiceConfig2W: shows whether the ANSI path reached it.
std::wstring GRecorded;
bool GRecorderCalled = false;
BOOL WINAPI RecordChangeConfig2(SC_HANDLE, DWORD level, LPVOID info) {
    GRecorderCalled = true;
    if (level == SERVICE_CONFIG_DESCRIPTION && info)
        GRecorded = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
    return TRUE;
}

void RunLoader(const wchar_t* label) {
    try {
        RkSendClearAll();
        Out(std::wstring(label) + L" result=ok");
    } catch (const EOSError& e) {
        Out(std::wstring(label) + L" result=eoserror code=" + IntToStr(e.ErrorCode()));
    } catch (const Exception& e) {
        Out(std::wstring(label) + L" result=exception message=[" + e.Message() + L"]");
    }
}

void Loader() {
    RunLoader(L"loader");
    Out(std::wstring(L"ran=") + (RkDebugLoaderRan() ? L"1" : L"0") + L" loaded=" +
        (RkDebugLibraryLoaded() ? L"1" : L"0"));
    for (int i = 0; i < RkDebugExportCount; ++i)
        Out(L"slot " + AnsiToWide(RkDebugExportNames[i]) + L"=" + (RkBoundDebugExport(i) ? L"1" : L"0"));
    RunLoader(L"again");

    RkAdvApi().ChangeServiceConfig2W = RecordChangeConfig2;
    char text[] = "probe text";
    SERVICE_DESCRIPTIONA description{text};
    SetLastError(0);
    BOOL ok = RkChangeServiceConfig2A(reinterpret_cast<SC_HANDLE>(0x1234), SERVICE_CONFIG_DESCRIPTION,
                                      &description);
    DWORD error = GetLastError();
    Out(L"cs2a ok=" + IntToStr(ok) + L" error=" + IntToStr(error) + L" recorded=" +
        (GRecorderCalled ? L"1" : L"0") + L" text=[" + GRecorded + L"]");
}

void Result(const wchar_t* op, BOOL ok) {
    DWORD error = GetLastError();
    Out(std::wstring(op) + L" ok=" + IntToStr(ok ? 1 : 0) + L" error=" + IntToStr(ok ? 0 : error));
}

void Scm() {
    RkLoadDebugLibrary();
    SC_HANDLE manager = RkOpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    Result(L"open", manager != nullptr);
    Result(L"open-other-database", RkOpenSCManager(nullptr, L"Elsewhere", SC_MANAGER_CONNECT) != nullptr);
    DWORD tag = 0;
    SC_HANDLE service =
        RkCreateService(manager, L"ProbeSvc", L"Probe service", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, L"C:\\probe\\probe.exe /startedbyscm:X",
                        L"ProbeGroup", &tag, L"Dep1\0+Group2\0", L".\\someone", L"secret");
    Result(L"create", service != nullptr);
    Out(L"tag=" + IntToStr(tag));
    Result(L"create-again",
           RkCreateService(manager, L"probesvc", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, L"C:\\x.exe", nullptr, nullptr,
                           nullptr, nullptr, nullptr) != nullptr);
    Result(L"create-slash",
           RkCreateService(manager, L"a/b", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, L"C:\\x.exe", nullptr, nullptr,
                           nullptr, nullptr, nullptr) != nullptr);

    wchar_t wide[] = L"wide \"quoted\" text";
    SERVICE_DESCRIPTIONW dw{wide};
    Result(L"config-description-w", RkChangeServiceConfig2(service, SERVICE_CONFIG_DESCRIPTION, &dw));
    char ansi[] = "ansi text";
    SERVICE_DESCRIPTIONA da{ansi};
    Result(L"config-description-a", RkChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &da));
    SC_ACTION actions[2] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_NONE, 0}};
    wchar_t command[] = L"cmd.exe /c echo";
    SERVICE_FAILURE_ACTIONSW fa{INFINITE, nullptr, command, 2, actions};
    Result(L"config-failure", RkChangeServiceConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS, &fa));
    SERVICE_PRESHUTDOWN_INFO pre{7000};
    Result(L"config-preshutdown", RkChangeServiceConfig2(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &pre));
    SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
    Result(L"config-delayed",
           RkChangeServiceConfig2(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed));
    Result(L"config-level-99", RkChangeServiceConfig2(service, 99, &pre));
    Result(L"config-on-manager", RkChangeServiceConfig2(manager, SERVICE_CONFIG_DESCRIPTION, &dw));
    Result(L"close-service", RkCloseServiceHandle(service));
    Result(L"close-service-again", RkCloseServiceHandle(service));
    Result(L"close-manager", RkCloseServiceHandle(manager));
}

void Events() {
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 42;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"abc");
    VARIANT empty;
    VariantInit(&empty);

    RkSendCheckpoint("checkpoint a", 1);
    RkSendCheckpoint(L"checkpoint w", 2);
    RkSendClearToCheckpoint();
    RkSendClearAll();
    RkSendValue(dekInfo, "value a", number, 3);
    RkSendValue(dekWarning, L"value w", text, 4);
    RkSendValue(dekError, L"value empty", empty, 5);
    RkSendMethodEnter("enter a", 6);
    RkSendMethodEnter(L"enter w \u00e9", 7);
    RkSendMethodLeave("leave a", 8);
    RkSendMethodLeave(L"leave w", 9);
    RkSendMessage(dekWarning, "message a", 10);
    RkSendMessage(dekError, L"message w", static_cast<TDebugEventData>(-1));
    // The library only reads the values: they are still ours.
    Out(L"value-after=" + std::wstring(text.bstrVal));
    VariantClear(&text);
    Out(L"events done");
}

void WINAPI QuietHandler(DWORD) {}

// Registers under a foreign name, reports wrongly, starts a second dispatcher, then stops.
void WINAPI CheckedMain(DWORD, LPWSTR*) {
    Result(L"register-foreign", RkRegisterServiceCtrlHandler(L"NotInTable", QuietHandler) != nullptr);
    SERVICE_STATUS_HANDLE h = RkRegisterServiceCtrlHandler(L"checked", QuietHandler);
    Result(L"register", h != nullptr);
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0};
    Result(L"status-bad-handle",
           RkSetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(0x4711), &status));
    status.dwCurrentState = 0;
    Result(L"status-bad-state", RkSetServiceStatus(h, &status));
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"Inner"), CheckedMain}, {nullptr, nullptr}};
    Result(L"second-dispatcher", RkStartServiceCtrlDispatcher(table));
    status.dwCurrentState = SERVICE_STOPPED;
    Result(L"status-stopped", RkSetServiceStatus(h, &status));
}

// Returns without ever registering a handler.
void WINAPI SilentMain(DWORD, LPWSTR*) {}

void Dispatcher() {
    Result(L"empty-table", RkStartServiceCtrlDispatcher(nullptr));
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"Checked"), CheckedMain},
                                    {const_cast<LPWSTR>(L"Silent"), SilentMain},
                                    {nullptr, nullptr}};
    Result(L"dispatcher", RkStartServiceCtrlDispatcher(table));
}

} // namespace

int wmain() {
    try {
        std::wstring mode = Env(L"WINSVC_PROBE");
        if (mode == L"find")
            Find();
        else if (mode == L"loader")
            Loader();
        else if (mode == L"scm")
            Scm();
        else if (mode == L"events")
            Events();
        else if (mode == L"dispatcher")
            Dispatcher();
        else {
            Out(L"unknown mode [" + mode + L"]");
            return 2;
        }
    } catch (const Exception& e) {
        Out(L"exception [" + e.Message() + L"]");
        return 1;
    }
    return 0;
}
