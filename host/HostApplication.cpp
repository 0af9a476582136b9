#include "host/HostApplication.h"

#include "host/Globals.h"
#include "host/HiddenWindow.h"
#include "host/MessageBox.h"
#include "host/Threads.h"

#include <algorithm>
#include <cstdio>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(THostApplication) {}

namespace {
using THostApplicationHolder = TGlobalComponent<THostApplication>;
THostApplicationHolder& Holder() {
    static TLibraryGlobal<THostApplicationHolder> global;
    return *global;
}
} // namespace

THostApplication* THostApplicationRef::Get() const { return Holder().Get(); }
bool THostApplicationRef::Exists() const { return THostApplicationHolder::Alive(); }

THostApplication::THostApplication(TComponent* owner)
    : TComponent(owner), FHandle(TWndMethod::Of<&THostApplication::WndProc>(this)) {
    FTitle = ChangeFileExt(ExtractFileName(ParamStr(0)), L"");
    FThreadID = GetCurrentThreadId();
    // Exceptions that escape a window method on this thread end up here, never in the system.
    SetHiddenWindowExceptionHandler([](std::exception_ptr error) {
        if (HostApplication.Exists()) HostApplication->HandleException(nullptr, error);
    });
}

THostApplication::~THostApplication() {
    DestroyComponents(); // the forms go before the application window
}

void THostApplication::Initialize() {}

HWND THostApplication::Handle() const {
    if (HWND wnd = FHandle.Handle()) return wnd;
    if (GetCurrentThreadId() != FThreadID) return nullptr;
    try {
        HWND wnd = FHandle.Require();
        SetWindowTextW(wnd, FTitle.c_str());
        return wnd;
    } catch (const EOSError&) {
        // No desktop to make windows on (a display-less session): the pump still works on thread
        // messages.
        return nullptr;
    }
}

void THostApplication::SetTitle(const std::wstring& value) {
    FTitle = value;
    if (HWND wnd = FHandle.Handle()) SetWindowTextW(wnd, FTitle.c_str());
}

TComponent* THostApplication::CreateForm(const TClassInfo& instanceClass) {
    TComponent* c = instanceClass.CreateComponent(this);
    if (!FMainForm && dynamic_cast<IMainForm*>(c)) FMainForm = c;
    return c;
}

void THostApplication::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FMainForm) FMainForm = nullptr;
}

void THostApplication::Run() {
    if (!FMainForm) return;
    Handle(); // the pump serves the application window from here on
    if (FShowMainForm) dynamic_cast<IMainForm*>(FMainForm)->ShowMainForm();
    while (!FTerminated)
        CatchLog([this] { HandleMessage(); }, [this](const std::exception_ptr& error) { HandleException(this, error); });
}

void THostApplication::Terminate() {
    // The quit belongs in the queue of the thread that runs the pump, whichever thread asks.
    if (GetCurrentThreadId() == FThreadID)
        PostQuitMessage(0);
    else
        PostThreadMessageW(FThreadID, WM_QUIT, 0, 0);
}

bool THostApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    if (FMessageFilter && FMessageFilter(msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void THostApplication::HandleMessage() {
    MSG msg;
    if (!ProcessMessage(msg)) MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_ALERTABLE | MWMO_INPUTAVAILABLE);
}

void THostApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void THostApplication::HookMainWindow(TWindowHook hook) {
    if (std::find(FHooks.begin(), FHooks.end(), hook) == FHooks.end()) FHooks.push_back(hook);
}

void THostApplication::UnhookMainWindow(TWindowHook hook) {
    auto it = std::find(FHooks.begin(), FHooks.end(), hook);
    if (it != FHooks.end()) FHooks.erase(it);
}

void THostApplication::WndProc(TMessage& message) {
    // A hook may unhook itself: walk a copy.
    auto hooks = FHooks;
    for (const auto& hook : hooks)
        if (hook(message)) return;
    if (message.Msg == WM_ACTIVATEAPP && message.WParam && FOnActivate) FOnActivate(this);
    CallDefWindowProc(FHandle.Handle(), message);
}

void THostApplication::HandleException(TObject* sender, std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return; // the silent abort is never shown
    } catch (Exception& e) {
        DeliverException(sender, e);
    } catch (...) {
        Exception wrapped(ExceptionMessage(error));
        DeliverException(sender, wrapped);
    }
}

void THostApplication::DeliverException(TObject* sender, Exception& e) {
    if (!FOnException) return ShowException(e);
    // The handler is the program's: what it raises in turn has nowhere else to go.
    CatchLog([&] { FOnException(sender ? sender : this, e); },
             [](const std::wstring& message) { ReportToDebugger(L"Exception handler failed: " + message); });
}

bool THostApplication::IsConsole() {
    auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

bool THostApplication::WriteStdErr(const std::wstring& line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE) return false;
    std::string bytes = WideToAnsi(line + L"\r\n", GetConsoleOutputCP());
    DWORD written;
    WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return true;
}

void THostApplication::ShowException(const Exception& e) {
    std::wstring text = e.Message();
    while (!text.empty() && (text.back() == L'.' || text.back() <= L' ')) text.pop_back();
    text += L".";
    if (IsConsole()) {
        WriteStdErr(std::wstring(e.ClassName()) + L": " + text);
        return;
    }
    ShowMessageBox(Handle(), text, FTitle, MB_OK | MB_ICONSTOP);
}

} // namespace tamrel
