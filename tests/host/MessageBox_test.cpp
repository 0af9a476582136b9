// Message boxes: the replaceable function, the real box answered through a CBT hook, the modal
// hook and its watchdog.
#include "host/MessageBox.h"

#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TSeenBox {
    HWND Owner;
    std::wstring Text, Caption;
    UINT Flags;
};
std::vector<TSeenBox> gBoxes;

int Answer(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    gBoxes.push_back({owner, text, caption, flags});
    return IDRETRY;
}

int Other(HWND, const std::wstring&, const std::wstring&, UINT) { return IDABORT; }


TEST(MessageBoxes, ATestFunctionTakesEveryBoxUntilItIsPutBack) {
    gBoxes.clear();
    TMessageBoxFunc system = SetMessageBoxFunc(Answer);
    ASSERT_NE(nullptr, system);
    EXPECT_EQ(IDRETRY, ShowMessageBox(nullptr, L"text", L"caption", MB_RETRYCANCEL | MB_ICONERROR));
    ASSERT_EQ(1u, gBoxes.size());
    EXPECT_EQ(L"text", gBoxes[0].Text);
    EXPECT_EQ(L"caption", gBoxes[0].Caption);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR), gBoxes[0].Flags);

    EXPECT_EQ(Answer, SetMessageBoxFunc(Other));
    EXPECT_EQ(IDABORT, ShowMessageBox(nullptr, L"", L"", MB_OK));
    EXPECT_EQ(Other, SetMessageBoxFunc(nullptr)) << "null puts the system's box back";
    EXPECT_EQ(system, SetMessageBoxFunc(system)) << "the system's box is the one in place again";
    EXPECT_EQ(1u, gBoxes.size());
}

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

TEST(MessageBoxes, NullPutsBackTheSystemBoxUnderTheHook) {
    TMessageBoxFunc system = SetMessageBoxFunc(&FakeBox);
    EXPECT_EQ(ShowMessageBox(nullptr, L"fake", L"", MB_YESNO), IDYES);
    EXPECT_EQ(SetMessageBoxFunc(nullptr), &FakeBox);
    TCbtDialogDriver driver([](HWND box) { SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); });
    EXPECT_EQ(ShowMessageBox(nullptr, L"real again", L"Tamrel test", MB_OK), IDOK);
    EXPECT_NE(driver.Dialog(), nullptr);
    EXPECT_EQ(SetMessageBoxFunc(system), system);
}

} // namespace
