#include "tests/support/FormsTestSupport.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tamrel::test {

namespace {
struct TCbtState {
    std::function<void(HWND)> Action;
    UINT Delay = 100;
    HWND Dialog = nullptr;
    HHOOK Hook = nullptr;
};
thread_local TCbtState* tCbt = nullptr;

void CALLBACK CbtTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (tCbt && tCbt->Action) tCbt->Action(tCbt->Dialog);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && tCbt && !tCbt->Dialog) {
        wchar_t cls[16] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0) {
            tCbt->Dialog = reinterpret_cast<HWND>(wParam);
            SetTimer(nullptr, 0, tCbt->Delay, CbtTimer);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

TCbtDialogDriver::TCbtDialogDriver(std::function<void(HWND)> action, UINT delayMs) {
    tCbt = new TCbtState{std::move(action), delayMs, nullptr, nullptr};
    tCbt->Hook = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
}

TCbtDialogDriver::~TCbtDialogDriver() {
    if (tCbt->Hook) UnhookWindowsHookEx(tCbt->Hook);
    delete tCbt;
    tCbt = nullptr;
}

HWND TCbtDialogDriver::Dialog() const { return tCbt ? tCbt->Dialog : nullptr; }

TModalHookScope::TModalHookScope(TModalHook hook, DWORD watchdogMs, bool failOnWatchdog) {
    FOldHook = SetModalHook(std::move(hook));
    FOldLimit = SetModalWatchdog(watchdogMs);
    FOldHandler = SetModalWatchdogHandler([this, failOnWatchdog](const std::wstring& what) {
        ++FFired;
        FText = what;
        if (failOnWatchdog) ADD_FAILURE() << ToUtf8(what);
    });
}

TModalHookScope::~TModalHookScope() {
    SetModalHook(std::move(FOldHook));
    SetModalWatchdog(FOldLimit);
    SetModalWatchdogHandler(std::move(FOldHandler));
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

namespace {

INPUT MouseInput(POINT screen, DWORD flags) {
    const int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65535, cx);
    in.mi.dy = MulDiv(screen.y, 65535, cy);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return in;
}

void Send(std::vector<INPUT>& inputs) {
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
    // The input reaches the queue asynchronously: let it arrive, then serve it.
    for (int i = 0; i < 3; ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        PumpPending();
    }
}

} // namespace

void PressKeys(std::initializer_list<WORD> keys) {
    for (WORD key : keys) {
        std::vector<INPUT> inputs(2);
        for (auto& in : inputs) {
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = key;
        }
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        Send(inputs);
    }
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        std::vector<INPUT> inputs(2);
        for (auto& in : inputs) {
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        Send(inputs);
    }
}

void ClickAt(POINT screen) {
    std::vector<INPUT> inputs = {MouseInput(screen, MOUSEEVENTF_MOVE), MouseInput(screen, MOUSEEVENTF_LEFTDOWN),
                                 MouseInput(screen, MOUSEEVENTF_LEFTUP)};
    Send(inputs);
}

void DragWithMouse(POINT from, POINT to) {
    std::vector<INPUT> down = {MouseInput(from, MOUSEEVENTF_MOVE), MouseInput(from, MOUSEEVENTF_LEFTDOWN)};
    Send(down);
    constexpr int steps = 12;
    for (int i = 1; i <= steps; ++i) {
        POINT p = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
        std::vector<INPUT> move = {MouseInput(p, MOUSEEVENTF_MOVE)};
        Send(move);
    }
    std::vector<INPUT> up = {MouseInput(to, MOUSEEVENTF_LEFTUP)};
    Send(up);
}

std::wstring TestOutputDir() {
    std::wstring dir = BinDir() + L"test-output\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

void SaveCapture(TBitmap& capture, const std::wstring& name) { capture.SaveToFile(TestOutputDir() + name + L".bmp"); }

COLORREF PixelOf(TBitmap& bitmap, int x, int y) {
    return GetPixel(bitmap.Canvas()->Handle(), x, y) & 0xFFFFFF;
}

bool ShowsGlyph(TBitmap& capture, int x, int y, TBitmap& glyph) {
    const COLORREF transparent = ColorToRGB(glyph.TransparentColor());
    int own = 0;
    for (int gy = 0; gy < glyph.Height(); ++gy)
        for (int gx = 0; gx < glyph.Width(); ++gx) {
            COLORREF g = PixelOf(glyph, gx, gy);
            if (g == transparent) continue;
            ++own;
            if (PixelOf(capture, x + gx, y + gy) != g) return false;
        }
    return own > 0;
}

} // namespace tamrel::test
