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

} // namespace tamrel
