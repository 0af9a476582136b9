// Driving modal windows without a user: a process-wide hook that sees every modal form and
// every message box or system dialog shown through the library, once it is visible.
//
// The hook runs on the thread that shows the modal window, from inside that window's modal
// loop, once per window (nested windows too: a hook that clicks a button which opens a second
// modal form is called again for the second one, while the first call may still be running).
// It may set controls, click for real (BM_CLICK, posted keys), capture, set a form's
// ModalResult, or answer a box with ClickDialogButton. It need not close the window at once:
// posted input is served by the same loop.
//
// While a hook is installed, a watchdog guards each modal window: one still open after
// ModalWatchdog milliseconds (default 10 s) is ended — a form with mrCancel, a system box as
// if Cancel were pressed — and the watchdog handler is told, so that a test fails instead of
// hanging. Without a hook nothing of this runs and modal windows wait for their user.
//
//     SetModalHook([](const TModalWindow& m) {
//         if (m.Kind == TModalKind::mkMessageBox) ClickDialogButton(m.Window, IDNO);
//     });
#pragma once

#include "host/Api.h"

#include <windows.h>

#include <functional>
#include <string>

namespace tamrel {

class TComponent;

// mkModelessForm: a form shown without a modal loop (Show), reported once it is visible, from the
// message loop that runs then (a modal one beneath it, or the application's), so that a hook can
// drive a window a modal form opened beside itself. No watchdog guards it.
enum class TModalKind { mkForm, mkMessageBox, mkFileDialog, mkModelessForm };

struct TModalWindow {
    TModalKind Kind = TModalKind::mkForm;
    HWND Window = nullptr;
    TComponent* Form = nullptr; // mkForm, mkModelessForm: the form (a TCustomForm of host/forms/Forms.h)
    std::wstring Text;          // mkMessageBox: the text
    std::wstring Caption;       // mkMessageBox: the caption
    int Depth = 0;              // modal windows open on this thread, this one included
};

using TModalHook = std::function<void(const TModalWindow& Modal)>;
using TModalWatchdogHandler = std::function<void(const std::wstring& What)>;

// Installs the hook (an empty function removes it); answers the former one.
TAMREL_API TModalHook SetModalHook(TModalHook hook);
TAMREL_API bool ModalHookInstalled();
// Answers the former limit; 0 turns the watchdog off.
TAMREL_API DWORD SetModalWatchdog(DWORD milliseconds);
TAMREL_API DWORD ModalWatchdog();
// Told on the modal window's thread each time the watchdog ends a window; answers the former.
TAMREL_API TModalWatchdogHandler SetModalWatchdogHandler(TModalWatchdogHandler handler);

// Presses button Id of a system dialog (BM_CLICK, as a user would); false when it has none.
TAMREL_API bool ClickDialogButton(HWND dialog, int id);

// ---------------------------------------------------------------------------------------------
// For the code that shows modal windows.

// One modal window open on the calling thread for the scope's life (counts Depth).
class TAMREL_API TModalScope {
public:
    TModalScope();
    ~TModalScope();
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;
    static int Depth();
};

// Calls the hook, if any, with Depth filled in.
TAMREL_API void NotifyModalShown(TModalWindow modal);
// Tells the watchdog handler that a window was ended by the watchdog.
TAMREL_API void ModalWatchdogFired(const std::wstring& what);
// Runs a system modal call (MessageBoxW, GetOpenFileNameW...) under the hook: the dialog is
// found when it is activated (a thread CBT hook), the hook is called once it is visible, and the
// watchdog ends it with IDCANCEL. Without a hook it only runs Show.
TAMREL_API INT_PTR RunSystemModal(TModalWindow modal, const std::function<INT_PTR()>& show);

} // namespace tamrel
