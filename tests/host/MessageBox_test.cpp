// Message boxes: the real box answered through a CBT hook, the modal hook and its watchdog, and
// the replaceable function.
#include "host/MessageBox.h"

#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TEST(MessageBoxes, RealBoxAnsweredNoThroughACbtHook) {
    TCbtDialogDriver driver([](HWND box) { SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0); });
    EXPECT_EQ(ShowMessageBox(nullptr, L"Delete it?", L"Tamrel test", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_NE(driver.Dialog(), nullptr);
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
    TCbtDialogDriver driver([](HWND box) { SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); });
    EXPECT_EQ(ShowMessageBox(nullptr, L"real again", L"Tamrel test", MB_OK), IDOK);
    EXPECT_NE(driver.Dialog(), nullptr);
}

} // namespace
