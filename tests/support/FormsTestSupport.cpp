#include "tests/support/FormsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/HostApplication.h"
#include "host/forms/Controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

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

namespace {
// The waiting messages handled as the host application's own loop would (keys for a form go through
// its dialog handling); false when none was waiting.
bool PumpOne() {
    MSG msg;
    if (HostApplication.Exists()) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) return false;
        HostApplication->ProcessMessages();
        return true;
    }
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}
} // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        if (!PumpOne()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

void PumpPending() {
    while (PumpOne()) {
    }
}

bool ClickScreen(POINT screen, bool right, bool twice) {
    const int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    std::vector<INPUT> in;
    auto add = [&](DWORD flags) {
        INPUT i = {};
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(screen.x, 65535, cx);
        i.mi.dy = MulDiv(screen.y, 65535, cy);
        i.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
        in.push_back(i);
    };
    add(MOUSEEVENTF_MOVE);
    for (int n = twice ? 2 : 1; n > 0; --n) {
        add(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        add(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    }
    return SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
}

bool PressKey(WORD key, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> in;
    auto add = [&](WORD vk, bool up) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    for (WORD m : modifiers) add(m, false);
    add(key, false);
    add(key, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) add(*it, true);
    return SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
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

void MoveMouseTo(POINT screen) {
    std::vector<INPUT> inputs = {MouseInput(screen, MOUSEEVENTF_MOVE)};
    Send(inputs);
}

POINT CenterOf(TWinControl* control) {
    return control->ClientToScreen(POINT{control->ClientWidth() / 2, control->ClientHeight() / 2});
}

void DragWithMouse(POINT from, POINT to) {
    std::vector<INPUT> down = {MouseInput(from, MOUSEEVENTF_MOVE), MouseInput(from, MOUSEEVENTF_LEFTDOWN)};
    Send(down);
    // A hand's drag starts with a few pixels inside the control it starts on: the system's list
    // view here sees a drag begin only from moves that reach it, and it does not capture the mouse.
    const int dx = to.x - from.x, dy = to.y - from.y;
    const int length = std::max(1, std::max(std::abs(dx), std::abs(dy)));
    const int start = std::min(length, 10);
    std::vector<INPUT> begin = {MouseInput(POINT{from.x + dx * start / length, from.y + dy * start / length}, MOUSEEVENTF_MOVE)};
    Send(begin);
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

int CountPixels(TBitmap& bitmap, const RECT& area, std::initializer_list<COLORREF> colours) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (std::find(colours.begin(), colours.end(), PixelOf(bitmap, x, y)) != colours.end()) ++n;
    return n;
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
