#include "host/ModalHook.h"

#include "host/ExceptionBoundary.h"
#include "host/Handles.h"
#include "host/HiddenWindow.h"

#include <mutex>

namespace tamrel {

namespace {

struct THookState {
    std::mutex Lock;
    TModalHook Hook;
    TModalWatchdogHandler Watchdog;
    DWORD Limit = 10000;
};

THookState& State() {
    static THookState state;
    return state;
}

thread_local int tModalDepth = 0;

// One system dialog being watched on this thread; nested ones form a stack.
struct TSystemWatch {
    TModalWindow Modal;
    HHOOK Hook = nullptr;
    UINT_PTR ShownTimer = 0;
    UINT_PTR DogTimer = 0;
    TSystemWatch* Outer = nullptr;
};
thread_local TSystemWatch* tWatch = nullptr;

// Both timer procedures find their watch by timer id: a nested dialog may be on top.
TSystemWatch* FindWatch(UINT_PTR id, UINT_PTR TSystemWatch::*timer) {
    for (TSystemWatch* w = tWatch; w; w = w->Outer)
        if (w->*timer == id) return w;
    return nullptr;
}

void CALLBACK ShownTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    TSystemWatch* w = FindWatch(id, &TSystemWatch::ShownTimer);
    if (!w) return;
    w->ShownTimer = 0;
    if (!IsWindow(w->Modal.Window)) return;
    if (!IsWindowVisible(w->Modal.Window)) {
        w->ShownTimer = SetTimer(nullptr, 0, 10, ShownTimerProc);
        return;
    }
    // A system frame: nothing may escape the hook here.
    CatchLog([w] { NotifyModalShown(w->Modal); }, ReportWindowException);
}

void CALLBACK DogTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    TSystemWatch* w = FindWatch(id, &TSystemWatch::DogTimer);
    if (!w) return;
    w->DogTimer = 0;
    if (!IsWindow(w->Modal.Window)) return;
    EndDialog(w->Modal.Window, IDCANCEL);
    ModalWatchdogFired(L"system dialog \"" + w->Modal.Caption + L"\" was still open");
}

bool IsDialogClass(HWND wnd) {
    wchar_t name[16] = {};
    GetClassNameW(wnd, name, 16);
    return lstrcmpW(name, L"#32770") == 0;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    TSystemWatch* w = tWatch;
    if (code == HCBT_ACTIVATE && w && !w->Modal.Window && IsDialogClass(reinterpret_cast<HWND>(wParam))) {
        w->Modal.Window = reinterpret_cast<HWND>(wParam);
        // The hook must see the dialog drawn: ask again from the dialog's own loop.
        w->ShownTimer = SetTimer(nullptr, 0, 10, ShownTimerProc);
        if (DWORD limit = ModalWatchdog()) w->DogTimer = SetTimer(nullptr, 0, limit, DogTimerProc);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

TModalHook SetModalHook(TModalHook hook) {
    std::lock_guard lock(State().Lock);
    std::swap(State().Hook, hook);
    return hook;
}

bool ModalHookInstalled() {
    std::lock_guard lock(State().Lock);
    return static_cast<bool>(State().Hook);
}

DWORD SetModalWatchdog(DWORD milliseconds) {
    std::lock_guard lock(State().Lock);
    return std::exchange(State().Limit, milliseconds);
}

DWORD ModalWatchdog() {
    std::lock_guard lock(State().Lock);
    return State().Limit;
}

TModalWatchdogHandler SetModalWatchdogHandler(TModalWatchdogHandler handler) {
    std::lock_guard lock(State().Lock);
    std::swap(State().Watchdog, handler);
    return handler;
}

bool ClickDialogButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

TModalScope::TModalScope() { ++tModalDepth; }
TModalScope::~TModalScope() { --tModalDepth; }
int TModalScope::Depth() { return tModalDepth; }

void NotifyModalShown(TModalWindow modal) {
    TModalHook hook;
    {
        std::lock_guard lock(State().Lock);
        hook = State().Hook;
    }
    if (!hook) return;
    modal.Depth = tModalDepth;
    hook(modal);
}

void ModalWatchdogFired(const std::wstring& what) {
    TModalWatchdogHandler handler;
    {
        std::lock_guard lock(State().Lock);
        handler = State().Watchdog;
    }
    if (handler) handler(L"Modal watchdog: " + what);
}

INT_PTR RunSystemModal(TModalWindow modal, const std::function<INT_PTR()>& show) {
    if (!ModalHookInstalled()) return show();
    TModalScope scope;
    TSystemWatch watch;
    watch.Modal = std::move(modal);
    watch.Modal.Window = nullptr;
    watch.Outer = tWatch;
    tWatch = &watch;
    watch.Hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    TScopeExit end([&watch] {
        if (watch.Hook) UnhookWindowsHookEx(watch.Hook);
        if (watch.ShownTimer) KillTimer(nullptr, watch.ShownTimer);
        if (watch.DogTimer) KillTimer(nullptr, watch.DogTimer);
        tWatch = watch.Outer;
    });
    return show();
}

} // namespace tamrel
