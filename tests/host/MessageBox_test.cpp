#include "host/MessageBox.h"

#include <gtest/gtest.h>

using namespace tamrel;

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

} // namespace

TEST(MessageBox, ATestFunctionTakesEveryBoxUntilItIsPutBack) {
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
