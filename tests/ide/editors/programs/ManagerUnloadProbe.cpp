// Loads the add-in library on its own, opens the access-bits template manager, then unloads the
// library with the window still open, while the run-time library (argument 2), which owns the
// application object and its windows, stays loaded as it does in the environment. Prints one line per fact the test checks: "shown" once the
// window is visible, "unloaded" when the library left the process, "gone" when the window went
// with it; exits 0 when it got that far (a crash on the way is the failure).
#include <windows.h>

#include <cstdio>

namespace {

const wchar_t kCaption[] = L"Access bits templates manager";

BOOL CALLBACK FindManager(HWND window, LPARAM found) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    if (lstrcmpW(text, kCaption) == 0) *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
}

HWND ManagerWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindManager, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    HMODULE runtime = LoadLibraryExW(argv[2], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    HMODULE library = LoadLibraryExW(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!runtime || !library) {
        std::printf("load failed %lu\n", GetLastError());
        return 3;
    }
    // tamrel::ShowMaskTemplateManager(), as the compiler names it.
    auto show = reinterpret_cast<void (*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "_ZN6tamrel23ShowMaskTemplateManagerEv")));
    if (!show) {
        std::printf("no entry\n");
        return 4;
    }
    show();
    Pump(200);
    HWND window = ManagerWindow();
    if (window && IsWindowVisible(window)) std::printf("shown\n");
    if (!FreeLibrary(library)) return 5;
    if (!GetModuleHandleW(argv[1])) std::printf("unloaded\n");
    if (!window || !IsWindow(window)) std::printf("gone\n");
    Pump(200);
    std::fflush(stdout);
    FreeLibrary(runtime);
    return 0;
}
