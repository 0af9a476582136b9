// Helpers of the tests that show forms: the modal hook for the scope of a test (its watchdog
// fails the test), pumping the thread's messages until something happened, captures saved as
// evidence, and comparing a glyph with the pixels a capture shows.
#pragma once

#include "host/forms/Graphics.h"
#include "host/ModalHook.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace tamrel {
class TWinControl;
}

namespace tamrel::test {

// Components and forms that a test makes and frees.
struct TFreeObject {
    void operator()(TObject* o) const { Free(o); }
};
template <class T> using TOwned = std::unique_ptr<T, TFreeObject>;

// The test's own driver of a system dialog, without the library's modal hook: a thread CBT hook
// sees the dialog activated and a thread timer then runs Action on it from inside its loop.
class TCbtDialogDriver {
public:
    explicit TCbtDialogDriver(std::function<void(HWND Dialog)> action, UINT delayMs = 100);
    ~TCbtDialogDriver();
    TCbtDialogDriver(const TCbtDialogDriver&) = delete;
    TCbtDialogDriver& operator=(const TCbtDialogDriver&) = delete;
    // The dialog that was driven, or null.
    HWND Dialog() const;
};

// Installs a modal hook for its lifetime. The watchdog ends a forgotten modal window after
// WatchdogMs and fails the test (unless the test counts the firings itself with Fired()).
class TModalHookScope {
public:
    explicit TModalHookScope(TModalHook hook, DWORD watchdogMs = 10000, bool failOnWatchdog = true);
    ~TModalHookScope();
    TModalHookScope(const TModalHookScope&) = delete;
    TModalHookScope& operator=(const TModalHookScope&) = delete;
    int Fired() const { return FFired; }
    const std::wstring& LastWatchdogText() const { return FText; }

private:
    TModalHook FOldHook;
    DWORD FOldLimit;
    TModalWatchdogHandler FOldHandler;
    int FFired = 0;
    std::wstring FText;
};

// Handles the thread's messages until Done answers true; false when TimeoutMs passed first
// (a guard against hanging, not a measurement).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Handles every message waiting now, and the painting they cause.
void PumpPending();

// Real input, as the system's input queue gets it from a person (it reaches the foreground
// window; answers false when the system took not all of it).
// A click at a point of the screen: left or right button, once or twice.
bool ClickScreen(POINT screen, bool right = false, bool twice = false);
// The key pressed and released while the modifiers (VK_MENU, VK_CONTROL, VK_SHIFT) are held.
bool PressKey(WORD key, std::initializer_list<WORD> modifiers = {});
// Real input through SendInput, as a user gives it: keys pressed and released in turn (with
// Shift held for the ones in Shifted), text typed as characters, a left click at a screen point,
// and a drag with the left button from one screen point to another in small steps. Each pumps the
// thread's messages afterwards, so that the input has arrived when it returns.
void PressKeys(std::initializer_list<WORD> keys);
void TypeText(const std::wstring& text);
void ClickAt(POINT screen);
void DragWithMouse(POINT from, POINT to);
// The pointer moved to a screen point with no button pressed, as a person rests it there; the
// centre of a control's client area on the screen.
void MoveMouseTo(POINT screen);
POINT CenterOf(TWinControl* control);

// The folder the tests save their captures in (made when missing), with a trailing backslash.
std::wstring TestOutputDir();
// Saves a capture as <TestOutputDir><name>.bmp.
void SaveCapture(TBitmap& capture, const std::wstring& name);

// Whether Capture shows Glyph with its top-left corner at (X, Y): every pixel of the glyph that is
// not its transparent colour must be there. Only the glyph's own pixels count, so fonts and
// backgrounds do not matter.
bool ShowsGlyph(TBitmap& capture, int x, int y, TBitmap& glyph);
// The colour of a pixel of a bitmap as RGB.
COLORREF PixelOf(TBitmap& bitmap, int x, int y);
// How many pixels of Area in a bitmap have one of the colours (RGB).
int CountPixels(TBitmap& bitmap, const RECT& area, std::initializer_list<COLORREF> colours);

} // namespace tamrel::test
