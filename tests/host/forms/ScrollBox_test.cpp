// The scroll box: its range follows a windowless child as it grows and shrinks, scroll bars show
// only while the child reaches past the client area, scrolling (by the bar, as a user does, and
// from code) moves the child and its painting, and the position comes back into range.
#include "host/forms/ScrollBox.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/forms/PaintBox.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A red square at (10, 10) of the box, 10 pixels wide.
struct TPainter {
    TPaintBox* Box = nullptr;
    void Paint(TObject*) {
        Box->Canvas()->Brush()->SetColor(clRed);
        Box->Canvas()->FillRect(RECT{10, 10, 20, 20});
    }
};

bool HasBar(HWND wnd, DWORD style) { return (GetWindowLongPtrW(wnd, GWL_STYLE) & style) != 0; }

class ScrollBoxTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(110, 110, 320, 260);
        Scroll = Create<TScrollBox>(Form.get());
        Scroll->SetParent(Form.get());
        Scroll->SetBounds(8, 8, 200, 150);
        Scroll->SetColor(clNavy);
        Box = Create<TPaintBox>(Form.get());
        Box->SetParent(Scroll);
        Box->SetBounds(0, 0, 50, 50);
        Painter.Box = Box;
        Box->SetOnPaint(TNotifyEvent::Of<&TPainter::Paint>(&Painter));
        Form->Show();
        PumpPending();
    }
    TPainter Painter;
    TOwned<TForm> Form;
    TScrollBox* Scroll = nullptr;
    TPaintBox* Box = nullptr;
};

TEST_F(ScrollBoxTest, BarsShowOnlyWhileTheChildReachesPastTheClientArea) {
    EXPECT_FALSE(HasBar(Scroll->Handle(), WS_HSCROLL));
    EXPECT_FALSE(HasBar(Scroll->Handle(), WS_VSCROLL));
    Box->SetBounds(0, 0, 50, 600);
    EXPECT_EQ(Scroll->VertRange(), 600);
    EXPECT_TRUE(HasBar(Scroll->Handle(), WS_VSCROLL));
    EXPECT_FALSE(HasBar(Scroll->Handle(), WS_HSCROLL));
    Box->SetBounds(0, 0, 900, 600);
    EXPECT_EQ(Scroll->HorzRange(), 900);
    EXPECT_TRUE(HasBar(Scroll->Handle(), WS_HSCROLL));
    Box->SetBounds(0, 0, 50, 50);
    EXPECT_FALSE(HasBar(Scroll->Handle(), WS_HSCROLL));
    EXPECT_FALSE(HasBar(Scroll->Handle(), WS_VSCROLL));
}

TEST_F(ScrollBoxTest, AClickOnTheBarScrollsTheChildAndItsPainting) {
    Box->SetBounds(0, 0, 50, 600);
    PumpPending();
    // The lower arrow of the vertical bar, as a user clicks it.
    RECT window = {};
    GetWindowRect(Scroll->Handle(), &window);
    const int arrow = GetSystemMetrics(SM_CYVSCROLL);
    ClickAt(POINT{window.right - 2 - GetSystemMetrics(SM_CXVSCROLL) / 2, window.bottom - 2 - arrow / 2});
    PumpPending();
    const int32_t step = Scroll->VertPosition();
    ASSERT_GT(step, 0);
    EXPECT_EQ(Box->Top(), -step);
    std::unique_ptr<TBitmap> shot = CaptureControl(Scroll);
    SaveCapture(*shot, L"ScrollBox_scrolled");
    EXPECT_EQ(PixelOf(*shot, 15, 15 - step), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(*shot, 15, 30), ColorToRGB(clNavy));
}

TEST_F(ScrollBoxTest, APositionFromCodeIsKeptInRangeAndComesBackWhenTheChildShrinks) {
    Box->SetBounds(0, 0, 900, 600);
    Scroll->SetHorzPosition(100000);
    const int32_t last = Scroll->HorzPosition();
    EXPECT_EQ(last, 900 - Scroll->ClientWidth());
    EXPECT_EQ(Box->Left(), -last);
    // The child grows at its place: the range counts from the content's origin.
    Box->SetBounds(Box->Left(), Box->Top(), 1200, 600);
    EXPECT_EQ(Scroll->HorzRange(), 1200);
    Box->SetBounds(Box->Left(), Box->Top(), 300, 600);
    EXPECT_EQ(Scroll->HorzPosition(), 300 - Scroll->ClientWidth());
    EXPECT_EQ(Box->Left(), -Scroll->HorzPosition());
    Scroll->SetHorzPosition(-5);
    EXPECT_EQ(Scroll->HorzPosition(), 0);
    EXPECT_EQ(Box->Left(), 0);
}

} // namespace
