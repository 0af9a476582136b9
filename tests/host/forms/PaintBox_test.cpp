// The paint box and the windowless controls it stands on: painted by their parent at their place
// (the parent's ground shows where they draw nothing), repainted where they were and are when
// they move, and a canvas that measures text outside painting as it does while painting.
#include "host/forms/PaintBox.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Fills a square of 10 pixels at (10, 10) of the box in red and nothing else.
struct TPainter {
    int Paints = 0;
    SIZE Measured = {};
    TPaintBox* Box = nullptr;
    void Paint(TObject*) {
        ++Paints;
        Box->Canvas()->Brush()->SetColor(clRed);
        Box->Canvas()->FillRect(RECT{10, 10, 20, 20});
        Measured = Box->Canvas()->TextExtent(L"A");
    }
};

class PaintBoxTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(100, 100, 300, 200);
        Ground = Create<TPanel>(Form.get());
        Ground->SetParent(Form.get());
        Ground->SetBevelOuter(bvNone);
        Ground->SetBounds(0, 0, 280, 150);
        Ground->SetColor(clNavy);
        Box = Create<TPaintBox>(Form.get());
        Box->SetParent(Ground);
        Box->SetBounds(30, 20, 100, 60);
        Box->Font()->SetName(L"Courier New");
        Box->Font()->SetHeight(-16);
        Box->Font()->SetPitch(fpFixed);
        Painter.Box = Box;
        Box->SetOnPaint(TNotifyEvent::Of<&TPainter::Paint>(&Painter));
        Form->Show();
        PumpPending();
    }
    std::unique_ptr<TBitmap> Capture() {
        Form->Repaint();
        PumpPending();
        return CaptureControl(Ground);
    }
    TPainter Painter; // outlives the form
    TOwned<TForm> Form;
    TPanel* Ground = nullptr;
    TPaintBox* Box = nullptr;
};

TEST_F(PaintBoxTest, ItsParentPaintsItAtItsPlaceAndTheGroundShowsElsewhere) {
    std::unique_ptr<TBitmap> shot = Capture();
    SaveCapture(*shot, L"PaintBox_painted");
    EXPECT_GT(Painter.Paints, 0);
    EXPECT_EQ(PixelOf(*shot, 30 + 15, 20 + 15), RGB(255, 0, 0));
    // Inside the box where it draws nothing, and outside it: the panel's navy.
    EXPECT_EQ(PixelOf(*shot, 30 + 50, 20 + 40), ColorToRGB(clNavy));
    EXPECT_EQ(PixelOf(*shot, 200, 120), ColorToRGB(clNavy));
    // Nothing of the box reaches past its bounds.
    Box->SetBounds(30, 20, 15, 15);
    shot = Capture();
    EXPECT_EQ(PixelOf(*shot, 30 + 12, 20 + 12), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(*shot, 30 + 17, 20 + 17), ColorToRGB(clNavy));
}

TEST_F(PaintBoxTest, MovingItRepaintsWhereItWasAndWhereItIs) {
    Capture();
    Box->SetLeft(130);
    PumpPending();
    std::unique_ptr<TBitmap> shot = CaptureControl(Ground);
    SaveCapture(*shot, L"PaintBox_moved");
    EXPECT_EQ(PixelOf(*shot, 30 + 15, 20 + 15), ColorToRGB(clNavy));
    EXPECT_EQ(PixelOf(*shot, 130 + 15, 20 + 15), RGB(255, 0, 0));
    Box->Hide();
    PumpPending();
    shot = CaptureControl(Ground);
    EXPECT_EQ(PixelOf(*shot, 130 + 15, 20 + 15), ColorToRGB(clNavy));
}

TEST_F(PaintBoxTest, OutsidePaintingTheCanvasMeasuresTextAsWhilePainting) {
    Capture();
    ASSERT_GT(Painter.Measured.cx, 0);
    Box->Canvas()->SetFont(Box->Font());
    const SIZE outside = Box->Canvas()->TextExtent(L"A");
    EXPECT_EQ(outside.cx, Painter.Measured.cx);
    EXPECT_EQ(outside.cy, Painter.Measured.cy);
    // A fixed-pitch face: every character takes the same width.
    EXPECT_EQ(Box->Canvas()->TextExtent(L"iiii").cx, 4 * outside.cx);
}

} // namespace
