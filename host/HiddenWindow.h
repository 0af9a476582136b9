// Hidden windows whose messages go to a method: the way an object receives window messages
// (timers, cross-thread calls, broadcasts) on the thread that made the window.
//
// The window is a hidden top-level window, not a message-only one, so that broadcasts reach
// it. All windows of one module share one window class, registered on first use. A window
// belongs to the thread that called AllocateHWnd: its messages are handled there, so that
// thread must serve its message queue.
//
// The method sees every message after the window was made and before DeallocateHWnd started;
// it sets Message.Result, and it is also responsible for default handling: a method that does
// not handle a message itself passes it on with CallDefWindowProc. No exception leaves the
// window procedure: one that escapes the method is handed to the process-wide handler set by
// SetHiddenWindowExceptionHandler, or, without one, written to the debugger output and stderr.
#pragma once

#include "host/Api.h"
#include "host/Closure.h"
#include "host/Handles.h"
#include "host/Messages.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>

namespace tamrel {

using TWndMethod = TMethod<void(TMessage& Message)>;

// Makes a hidden window on the calling thread. An unassigned method gives a window whose
// messages all get the default handling. Raises EOSError when the window cannot be made (under
// Wine, for one, outside a service process when there is no display).
TAMREL_API HWND AllocateHWnd(TWndMethod Method);

// Stops the messages to the method and destroys the window. Once it returns, the method is not
// running on any thread and will not be called again for this window.
// - On the window's own thread (also from inside the method) the window is destroyed at once.
// - On another thread, which may not destroy the window itself, it first waits for a call of
//   the method that is running on the window's thread to return (serving messages sent to its
//   own windows meanwhile), then asks the window's thread to destroy the window; the window
//   goes when that thread next serves its queue, or with that thread's end.
// Nil, foreign and already destroyed windows are ignored.
TAMREL_API void DeallocateHWnd(HWND Wnd);

// The default handling of a message of hidden window Wnd: sets Message.Result from
// DefWindowProcW and answers it.
TAMREL_API LRESULT CallDefWindowProc(HWND Wnd, TMessage& Message);

// Receives, on the window's thread, each exception that escaped a hidden window's method. One
// handler per process (per library module); an exception escaping the handler goes no further
// than the last resort of the boundary (ReportUnreportable). Answers the handler it replaces.
using THiddenWindowExceptionHandler = std::function<void(std::exception_ptr Error)>;
TAMREL_API THiddenWindowExceptionHandler SetHiddenWindowExceptionHandler(THiddenWindowExceptionHandler Handler);

// The report of a window procedure's exception boundary (CatchLog): that handler, or the debugger
// output when there is none. The window procedures of the controls and forms report here too.
TAMREL_API void ReportWindowException(const std::exception_ptr& Error);

namespace detail {
inline void DeallocateWindow(HWND h) { DeallocateHWnd(h); }
} // namespace detail
// A window of AllocateHWnd, given back with DeallocateHWnd.
using TAllocatedWindow = TUniqueHandle<HWND, detail::DeallocateWindow>;

// A hidden window of AllocateHWnd made when it is first needed, never before: the first window of
// a process is costly (the window subsystem is set up with it), and a process that never needs
// the window never pays for it. The window always belongs to the thread that made this object,
// the owner thread, whichever thread needs it first.
class TAMREL_API TDeferredWindow {
public:
    explicit TDeferredWindow(TWndMethod Method);
    // The window goes as with DeallocateHWnd; a request from another thread still on its way
    // makes none.
    ~TDeferredWindow();
    TDeferredWindow(const TDeferredWindow&) = delete;
    TDeferredWindow& operator=(const TDeferredWindow&) = delete;

    // The window when it has been made, else null; never makes it.
    HWND Handle() const;
    // The window, made now when it is still to be made. On the owner thread it is made at once.
    // Another thread asks the owner thread and waits, serving the messages sent to its own
    // windows meanwhile; the owner thread makes the window in its next alertable wait (the host
    // application's message pump is one). Raises EOSError when the window cannot be made, and
    // with ERROR_INVALID_WINDOW_HANDLE when the owner thread has ended or this object goes first.
    // A failure is kept: later calls raise it again without trying anew.
    HWND Require();
    DWORD OwnerThread() const;

private:
    struct TState;
    std::shared_ptr<TState> FState;
};

} // namespace tamrel
