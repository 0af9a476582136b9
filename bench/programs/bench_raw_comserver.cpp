// The yardstick of com_bench: a COM local server written the plain Win32 way, without the library.
// A raw service whose main routine enters a single-threaded apartment, registers a hand-written
// class factory with CoRegisterClassObject, reports running and serves the apartment's calls from
// its message loop until the stop request; the objects answer IDispatch by hand, with one method
// (RaiseEvent, DISPID 201) that builds the same message PushObjectSample's does and has nobody to
// send it to. com_bench installs it as TamrelBenchRawCom.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>

namespace {

const wchar_t* const gName = L"TamrelBenchRawCom";
// {9D4E2A61-3B7C-4F58-A0E1-6C2B8D9F4A73}
const CLSID kClsid = {0x9D4E2A61, 0x3B7C, 0x4F58, {0xA0, 0xE1, 0x6C, 0x2B, 0x8D, 0x9F, 0x4A, 0x73}};
constexpr DISPID kRaiseEvent = 201;

SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
SERVICE_STATUS gStatus{};
DWORD gServiceThread = 0;

void Report(DWORD state) {
    gStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    gStatus.dwCurrentState = state;
    gStatus.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    gStatus.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 3000;
    SetServiceStatus(gStatusHandle, &gStatus);
}

class TRawObject final : public IDispatch {
public:
    virtual ~TRawObject() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&FRefs); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&FRefs);
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return DISP_E_UNKNOWNNAME;
        if (lstrcmpiW(names[0], L"RaiseEvent") != 0) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = kRaiseEvent;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != kRaiseEvent || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (V_VT(&params->rgvarg[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
        const BSTR text = V_BSTR(&params->rgvarg[0]);
        const std::wstring message = L"Event is raised with message: " + std::wstring(text, SysStringLen(text));
        if (result) VariantInit(result);
        return message.empty() ? E_FAIL : S_OK;
    }

private:
    LONG FRefs = 1;
};

class TRawFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory for the life of the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        TRawObject* object = new TRawObject;
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TRawFactory gFactory;

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        Report(SERVICE_STOP_PENDING);
        PostThreadMessageW(gServiceThread, WM_QUIT, 0, 0);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        Report(gStatus.dwCurrentState);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    gStatusHandle = RegisterServiceCtrlHandlerExW(gName, Handler, nullptr);
    if (!gStatusHandle) return;
    Report(SERVICE_START_PENDING);
    gServiceThread = GetCurrentThreadId();
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // the thread's queue, for the stop request
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(kClsid, &gFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
        CoUninitialize();
        gStatus.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
        Report(SERVICE_STOPPED);
        return;
    }
    Report(SERVICE_RUNNING);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CoRevokeClassObject(cookie);
    CoUninitialize();
    Report(SERVICE_STOPPED);
}

} // namespace

int wmain() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(gName), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
}
