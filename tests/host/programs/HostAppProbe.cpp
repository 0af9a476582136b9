// The host application in a program of its own, built once as a console program and once as a
// windowed one. Lines on stdout tell the test what happened; the exception display goes where the
// application sends it (stderr, or a message box that a watcher thread reads and closes).
//
//   show        raises a series of exceptions into HandleException without an OnException handler
//   show-brief  the same with fewer exceptions shown (closing a message box takes Wine two seconds
//               without a window manager)
//   exit        makes a form and an exit procedure, then returns from main
#include "host/ExitProcs.h"
#include "host/HiddenWindow.h"
#include "host/HostApplication.h"
#include "host/SysUtils.h"

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

using namespace tamrel;

namespace {

// Straight through the handle: the C run-time may be gone when the last lines are written.
void Say(const std::string& line) {
    std::string bytes = line + "\r\n";
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string Narrow(const std::wstring& s) { return WideToAnsi(s, CP_UTF8); }

class TProbeForm : public TComponent, public IMainForm {
    TAMREL_CLASS(TProbeForm, TComponent)
public:
    explicit TProbeForm(TComponent* owner) : TComponent(owner) {}
    ~TProbeForm() override { Say("form destroyed"); }
    void ShowMainForm() override {}
    HWND FormHandle() const override { return nullptr; }
};

} // namespace

TAMREL_IMPLEMENT_CLASS(TProbeForm) {}

namespace {

struct TFailingWindow {
    void WndProc(TMessage& m) {
        if (m.Msg == WM_APP) throw Exception(L"Window failure");
        CallDefWindowProc(Wnd, m);
    }
    HWND Wnd = nullptr;
};

// Finds the message boxes of the main thread one after another, reports each and closes it.
class TBoxWatcher {
public:
    explicit TBoxWatcher(DWORD mainThread) : FMainThread(mainThread), FThread([this] { Watch(); }) {}
    ~TBoxWatcher() {
        FStop = true;
        FThread.join();
    }

private:
    static BOOL CALLBACK FindBox(HWND wnd, LPARAM param) {
        wchar_t cls[32] = {};
        GetClassNameW(wnd, cls, 32);
        if (std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(wnd)) {
            *reinterpret_cast<HWND*>(param) = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK FindText(HWND wnd, LPARAM param) {
        wchar_t cls[32] = {};
        GetClassNameW(wnd, cls, 32);
        wchar_t text[256] = {};
        GetWindowTextW(wnd, text, 256);
        if (_wcsicmp(cls, L"Static") == 0 && text[0]) {
            *reinterpret_cast<std::wstring*>(param) = text;
            return FALSE;
        }
        return TRUE;
    }
    void Watch() {
        while (!FStop) {
            HWND box = nullptr;
            EnumThreadWindows(FMainThread, &FindBox, reinterpret_cast<LPARAM>(&box));
            if (!box) {
                Sleep(10);
                continue;
            }
            wchar_t caption[128] = {};
            GetWindowTextW(box, caption, 128);
            std::wstring text;
            EnumChildWindows(box, &FindText, reinterpret_cast<LPARAM>(&text));
            bool owned = GetWindow(box, GW_OWNER) == HostApplication->Handle();
            Say("box " + Narrow(caption) + (owned ? " owned: " : " unowned: ") + Narrow(text));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && !FStop) Sleep(10);
        }
    }

    DWORD FMainThread;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

void Show(bool brief) {
    Say(std::string("console ") + (THostApplication::IsConsole() ? "1" : "0"));
    TBoxWatcher watcher(GetCurrentThreadId());
    auto handle = [](auto raise) {
        try {
            raise();
        } catch (...) {
            HostApplication->HandleException(nullptr);
        }
    };
    handle([] { throw Exception(L"Plain failure"); });
    handle([] { Abort(); });
    if (!brief) {
        handle([] { throw EConvertError(L"Ends with a dot."); });
        handle([] { throw std::runtime_error("standard failure"); });
    }
    handle([] { throw EAbort(L"Never shown"); });
    if (!brief) handle([] { throw 7; });

    TFailingWindow failing;
    failing.Wnd = AllocateHWnd(MakeMethod<&TFailingWindow::WndProc>(&failing));
    PostMessageW(failing.Wnd, WM_APP, 0, 0);
    HostApplication->ProcessMessages();
    DeallocateHWnd(failing.Wnd);
    Say("done");
}

void Exit() {
    TProbeForm* form = nullptr;
    HostApplication->CreateForm(form);
    AddExitProc([] {
        bool app = HostApplication.Exists();
        bool window = app && IsWindow(HostApplication->Handle());
        int forms = app ? HostApplication->ComponentCount() : -1;
        Say(std::string("exit proc: application ") + (app ? "1" : "0") + " window " + (window ? "1" : "0") +
            " forms " + std::to_string(forms));
    });
    Say("main end");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (std::strcmp(argv[1], "show") == 0) Show(false);
    else if (std::strcmp(argv[1], "show-brief") == 0) Show(true);
    else if (std::strcmp(argv[1], "exit") == 0) Exit();
    else return 2;
    return 0;
}
