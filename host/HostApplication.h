// The host application: the windowed application object that a program's main thread runs —
// its hidden application window, the message pump, exception display, the forms it owns.
// (The library's own global Application is the service application, which works beside it.)
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "host/HiddenWindow.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

namespace tamrel {

using TExceptionEvent = TMethod<void(TObject* Sender, Exception& E)>;
// A hook sees each message of the application window first; answering true stops the host's
// own handling of it.
using TWindowHook = TMethod<bool(TMessage& Message)>;

// What a component must offer to be the application's main form.
class IMainForm {
public:
    virtual ~IMainForm() = default;
    virtual void ShowMainForm() = 0;
    virtual HWND FormHandle() const = 0;
};

class TAMREL_API THostApplication : public TComponent {
    TAMREL_CLASS(THostApplication, TComponent)
public:
    explicit THostApplication(TComponent* owner);
    ~THostApplication() override;

    // Readies the application for its run. The application window is not made here: it is made
    // when first needed (Handle, Run).
    void Initialize();
    // Creates a component owned by this application; the first one that is a form becomes the
    // main form. A failure leaves Reference null and passes the exception on.
    TComponent* CreateForm(const TClassInfo& instanceClass);
    template <class T> void CreateForm(T*& reference) {
        reference = nullptr;
        reference = static_cast<T*>(CreateForm(T::StaticClassInfo()));
    }
    // Runs the message loop until Terminate; returns at once when there is no main form.
    void Run();
    // Ends Run: posts the quit message to the thread that made the application (from any thread).
    void Terminate();
    bool Terminated() const { return FTerminated; }
    void SetTerminated(bool value) { FTerminated = value; }
    // Handles one message, or waits for one when the queue is empty. The wait is alertable:
    // asynchronous procedure calls queued to the thread run in it (another thread's request for a
    // window of this thread, TDeferredWindow).
    void HandleMessage();
    // Handles every waiting message.
    void ProcessMessages();

    // Called inside a catch block: the silent abort is dropped, anything else goes to OnException
    // or ShowException. Inline, so that the exception is taken where the catch is: an image with
    // the C++ run-time of its own (a 64-bit program over the DLL) does not share the exception it
    // is handling with the DLL.
    void HandleException(TObject* sender) { HandleException(sender, std::current_exception()); }
    void HandleException(TObject* sender, std::exception_ptr error);
    // A console program writes the message to stderr, a windowed one shows a message box.
    void ShowException(const Exception& e);
    // Writes a line to stderr in the console's code page; answers false when the process has no
    // stderr (a service, a windowed program started without one).
    static bool WriteStdErr(const std::wstring& line);

    TExceptionEvent OnException() const { return FOnException; }
    void SetOnException(TExceptionEvent e) { FOnException = e; }
    // Told with the application when the program becomes the active one again (a user comes
    // back, or code that changed files behind the program's back asks it to look again).
    TNotifyEvent OnActivate() const { return FOnActivate; }
    void SetOnActivate(TNotifyEvent e) { FOnActivate = e; }

    // The hidden top-level application window, made at the first call on the thread that made the
    // application (null when none could be made). Another thread gets the window once that thread
    // has made it, null before: the window belongs to the application's thread.
    HWND Handle() const;
    // Whether the window has been made; never makes it.
    bool HandleAllocated() const { return FHandle.Handle() != nullptr; }
    // A hook sees the window's messages once the window is made; hooking does not make it.
    void HookMainWindow(TWindowHook hook);
    // A filter sees each message the pump takes, before it is translated and dispatched, and
    // answers true when it has handled it (the forms layer lets dialog keys through here).
    using TMessageFilter = bool (*)(MSG& msg);
    void SetMessageFilter(TMessageFilter filter) { FMessageFilter = filter; }
    void UnhookMainWindow(TWindowHook hook);
    size_t HookCount() const { return FHooks.size(); }

    TComponent* MainForm() const { return FMainForm; }
    bool ShowMainForm() const { return FShowMainForm; }
    void SetShowMainForm(bool value) { FShowMainForm = value; }
    const std::wstring& Title() const { return FTitle; }
    void SetTitle(const std::wstring& value);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    // True when the program file is a console program.
    static bool IsConsole();

    void Notification(TComponent* component, TOperation operation) override;

private:
    bool ProcessMessage(MSG& msg);
    // OnException when assigned, else ShowException.
    void DeliverException(TObject* sender, Exception& e);
    void WndProc(TMessage& message);
    mutable TDeferredWindow FHandle;
    DWORD FThreadID = 0;
    bool FTerminated = false;
    bool FShowMainForm = true;
    bool FShowHint = true;
    std::wstring FTitle;
    TComponent* FMainForm = nullptr;
    TExceptionEvent FOnException;
    TNotifyEvent FOnActivate;
    std::vector<TWindowHook> FHooks;
    TMessageFilter FMessageFilter = nullptr;
};

// The one host application object: created on first use, once per process.
class TAMREL_API THostApplicationRef {
public:
    THostApplication* operator->() const { return Get(); }
    THostApplication& operator*() const { return *Get(); }
    THostApplication* Get() const;
    bool Exists() const;
};
inline constexpr THostApplicationRef HostApplication{};

} // namespace tamrel
