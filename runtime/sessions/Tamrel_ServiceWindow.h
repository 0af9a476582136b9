// Internal to the session components: the hidden window of a component that can live on a
// service module (the timer, the logon sensor).
//
// On a TNtService the component joins the service's start and stop queues: each start makes a
// new window on the service thread, each stop takes it away. Elsewhere the window lives on the
// thread that made the component. Every window that is replaced or dropped is deallocated, so
// that no window outlives the component or calls into it from a thread it left; a window that
// goes with its thread (a service that ends without a stop) is forgotten: at its WM_NCDESTROY where
// the system sends one, else when it is next used.
#pragma once

#include "host/Classes.h"
#include "host/HiddenWindow.h"

#include <windows.h>

#include <atomic>
#include <functional>

namespace tamrel {

class TNtService;

class TAMREL_API TServiceWindow {
public:
    // Rearm runs after a start and before the window goes at a stop. With IdeRule, nothing is
    // attached inside the development environment's own process.
    TServiceWindow(TComponent* Component, TWndMethod Method, std::function<void()> Rearm, bool IdeRule);
    ~TServiceWindow();
    TServiceWindow(const TServiceWindow&) = delete;
    TServiceWindow& operator=(const TServiceWindow&) = delete;

    HWND Handle() const { return FHandle.load(); }
    // The window, when it still exists; one that went with its thread (a service that ended
    // without a stop) is forgotten, with the started state.
    HWND LiveHandle();
    bool Started() const { return FStarted.load(); }
    TNtService* Attached() const { return FAttached; }

    // A new window on the calling thread in place of the current one.
    void AllocateHere();
    // No window any more.
    void Drop();
    // The component's Notification: detach when the service or the component goes, attach to
    // the owner when the component is inserted.
    void Notification(TComponent* AComponent, TOperation Operation);
    void Detach();
    // From the window method, for WM_NCDESTROY: forgets Wnd when it is the current window.
    void WindowDestroyed(HWND Wnd);

private:
    void Attach(TComponent* AComponent);
    void ServiceStart(TObject* Sender);
    void ServiceStop(TObject* Sender);
    void Replace(HWND Wnd);

    TComponent* FComponent;
    TWndMethod FMethod;
    std::function<void()> FRearm;
    bool FIdeRule;
    std::atomic<HWND> FHandle{nullptr};
    std::atomic<bool> FStarted{false};
    TNtService* FAttached = nullptr;
};

namespace detail {
// The program is the development environment itself ("BDS.EXE").
TAMREL_API bool RunningInsideIde();
} // namespace detail

} // namespace tamrel
