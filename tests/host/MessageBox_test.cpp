// Message boxes: the real box answered through a CBT hook, the modal hook and its watchdog, and
// the replaceable function.
#include "host/MessageBox.h"

#include "host/Handles.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// The test's own driver of system dialogs: a thread CBT hook sees the dialog activated, a thread
// timer then presses the button Id (or runs Action) from inside the dialog's loop.
struct TCbtDriver {
    static inline HWND Dialog = nullptr;
    static inline int Button = IDNO;
    static inline void (*Action)(HWND) = nullptr;
    static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (Action) Action(Dialog);
        else SendMessageW(GetDlgItem(Dialog, Button), BM_CLICK, 0, 0);
    }
    static LRESULT CALLBACK Cbt(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && !Dialog) {
            wchar_t cls[16] = {};
            GetClassNameW(reinterpret_cast<HWND>(wParam), cls, 16);
            if (lstrcmpW(cls, L"#32770") == 0) {
                Dialog = reinterpret_cast<HWND>(wParam);
                SetTimer(nullptr, 0, 100, Timer);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    THookHandle Hook;
    TCbtDriver(int button, void (*action)(HWND) = nullptr) {
        Dialog = nullptr;
        Button = button;
        Action = action;
        Hook.Reset(SetWindowsHookExW(WH_CBT, Cbt, nullptr, GetCurrentThreadId()));
    }
};

TEST(MessageBoxes, RealBoxAnsweredNoThroughACbtHook) {
    TCbtDriver driver(IDNO);
    EXPECT_EQ(ShowMessageBox(nullptr, L"Delete it?", L"Tamrel test", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_NE(TCbtDriver::Dialog, nullptr);
}

TEST(MessageBoxes, ModalHookSeesTheBoxVisibleAndAnswersIt) {
    std::vector<std::wstring> seen;
    TModalHookScope hook([&](const TModalWindow& m) {
        EXPECT_EQ(m.Kind, TModalKind::mkMessageBox);
        EXPECT_TRUE(IsWindowVisible(m.Window));
        EXPECT_EQ(m.Depth, 1);
        seen.push_back(m.Caption + L"|" + m.Text);
        EXPECT_TRUE(ClickDialogButton(m.Window, IDRETRY));
    });
    EXPECT_EQ(ShowMessageBox(nullptr, L"Try again?", L"Tamrel test", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(seen, std::vector<std::wstring>{L"Tamrel test|Try again?"});
}

TEST(MessageBoxes, WatchdogEndsABoxNobodyAnswers) {
    TModalHookScope hook([](const TModalWindow&) {}, 300, false);
    EXPECT_EQ(ShowMessageBox(nullptr, L"Nobody reads this", L"Tamrel test", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(hook.Fired(), 1);
}

int FakeBox(HWND, const std::wstring& text, const std::wstring&, UINT flags) {
    return text == L"fake" && (flags & MB_YESNO) ? IDYES : -1;
}

TEST(MessageBoxes, ReplacedFunctionAnswersAndNullRestoresTheSystemBox) {
    TMessageBoxFunc former = SetMessageBoxFunc(&FakeBox);
    EXPECT_EQ(former, nullptr);
    EXPECT_EQ(ShowMessageBox(nullptr, L"fake", L"", MB_YESNO), IDYES);
    EXPECT_EQ(SetMessageBoxFunc(nullptr), &FakeBox);
    TCbtDriver driver(IDOK);
    EXPECT_EQ(ShowMessageBox(nullptr, L"real again", L"Tamrel test", MB_OK), IDOK);
    EXPECT_NE(TCbtDriver::Dialog, nullptr);
}

} // namespace
