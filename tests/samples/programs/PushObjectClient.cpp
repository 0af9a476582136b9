// A client of PushObjectSample in a process of its own, for the end-to-end tests.
//
//   pushobject_client raise TEXT                 creates the object, calls RaiseEvent(TEXT) through
//                                                 IDispatch (by name), prints "hr=0x........" and
//                                                 exits 0 on success
//   pushobject_client raise-early TEXT           the same through the dual interface's own method
//   pushobject_client listen FILE QUIT [fail]    creates the object and connects a sink that appends
//                                                 "event MESSAGE" to FILE for every event ("fail": the
//                                                 sink answers every event with a failure); writes
//                                                 "ready" once connected; ends when the named event
//                                                 QUIT is set
#include "host/ComObj.h"
#include "tests/samples/programs/EventSink.h"

#include "PushObjectSample_TLB.h"

#include <cstdio>
#include <string>

using namespace tamrel;

namespace {

void Append(const std::wstring& file, const std::string& line) {
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\r\n";
    DWORD written;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

// Late binding: the name looked up through IDispatch, the call made through Invoke.
HRESULT RaiseLate(const std::wstring& text) {
    TComPtr<IDispatch> object;
    HRESULT hr = CoCreateInstance(CLSID_ComObjectWithEvents, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  object.PutVoid());
    if (FAILED(hr)) return hr;
    std::wstring name = L"RaiseEvent";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    try {
        DispatchInvoke(object.Get(), id, DISPATCH_METHOD, {TOleVariant(text)});
    } catch (const EOleSysError& e) {
        return e.ErrorCode();
    }
    return S_OK;
}

// Early binding: the dual interface's own method.
HRESULT RaiseEarly(const std::wstring& text) {
    TComPtr<IComObjectWithEvents> object;
    HRESULT hr = CoCreateInstance(CLSID_ComObjectWithEvents, nullptr, CLSCTX_LOCAL_SERVER, IID_IComObjectWithEvents,
                                  object.PutVoid());
    if (FAILED(hr)) return hr;
    TBStr message(text);
    return object->RaiseEvent(message.Get());
}

int Raise(bool early, const std::wstring& text) {
    HRESULT hr = early ? RaiseEarly(text) : RaiseLate(text);
    std::printf("hr=0x%08lX\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}

int Listen(const std::wstring& file, const std::wstring& quitName, bool fail) {
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, quitName.c_str());
    if (!quit) {
        std::printf("no quit event %lu\n", GetLastError());
        return 2;
    }
    TComPtr<IComObjectWithEvents> object;
    HRESULT hr = CoCreateInstance(CLSID_ComObjectWithEvents, nullptr, CLSCTX_LOCAL_SERVER, IID_IComObjectWithEvents,
                                  object.PutVoid());
    if (FAILED(hr)) {
        Append(file, "create failed");
        return 3;
    }
    auto sink = MakeInterfaced<test::TEventSink, IDispatch>(
        [file](const std::wstring& message) { Append(file, "event " + WideToUtf8(message)); }, fail);
    test::TSinkConnection connection;
    hr = connection.Connect(object.Get(), sink.Get());
    if (FAILED(hr)) {
        Append(file, "advise failed");
        return 4;
    }
    Append(file, "ready");
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    connection.Disconnect();
    Append(file, "done");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitialize(nullptr);
    int result = 1;
    std::wstring verb = argc > 1 ? argv[1] : L"";
    if ((verb == L"raise" || verb == L"raise-early") && argc == 3) result = Raise(verb == L"raise-early", argv[2]);
    else if (verb == L"listen" && (argc == 4 || argc == 5))
        result = Listen(argv[2], argv[3], argc == 5 && std::wstring(argv[4]) == L"fail");
    else std::printf("usage: pushobject_client raise|raise-early TEXT | listen FILE QUIT [fail]\n");
    CoUninitialize();
    return result;
}
