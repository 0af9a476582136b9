// Graphics: colours, transparent copies, bitmaps in files and stored forms, fonts.
#include "host/forms/Graphics.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "host/Streaming.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A 4 x 4 image: olive background (the bottom-left pixel) with a blue 2 x 2 centre.
void MakeSprite(TBitmap& b) {
    b.SetSize(4, 4);
    TCanvas* c = b.Canvas();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) c->SetPixel(x, y, (x == 1 || x == 2) && (y == 1 || y == 2) ? clBlue : clOlive);
}

TEST(Graphics, ColoursOfTheSystemAndFlaggedColoursBecomeRgb) {
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(ColorToRGB(0x02123456), 0x123456u);
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
}

TEST(Graphics, BrushCopyWithAClearBrushLeavesTheTransparentPixelsAlone) {
    TBitmap sprite;
    MakeSprite(sprite);
    EXPECT_EQ(sprite.TransparentColor(), clOlive | 0x02000000);
    for (bool clear : {true, false}) {
        TBitmap target;
        target.SetSize(4, 4);
        target.Canvas()->Brush()->SetColor(clRed);
        target.Canvas()->FillRect(RECT{0, 0, 4, 4});
        target.Canvas()->Brush()->SetColor(clLime);
        if (clear) target.Canvas()->Brush()->SetStyle(bsClear);
        target.Canvas()->BrushCopy(RECT{0, 0, 4, 4}, &sprite, RECT{0, 0, 4, 4}, clOlive);
        EXPECT_EQ(PixelOf(target, 1, 1), RGB(0, 0, 255)) << clear;
        EXPECT_EQ(PixelOf(target, 0, 0), clear ? RGB(255, 0, 0) : RGB(0, 255, 0)) << clear;
        EXPECT_EQ(PixelOf(target, 3, 3), clear ? RGB(255, 0, 0) : RGB(0, 255, 0)) << clear;
    }
}

TEST(Graphics, GivingAClearBrushAColourMakesItSolidEvenWithItsOwnColour) {
    TBrush brush;
    brush.SetColor(clRed);
    brush.SetStyle(bsClear);
    brush.SetColor(clRed);
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_NE(brush.Handle(), GetStockObject(HOLLOW_BRUSH));
}

TEST(Graphics, BitmapFileRoundTripKeepsThePixels) {
    TBitmap sprite;
    MakeSprite(sprite);
    std::wstring file = TempFileName(L"sprite") + L".bmp";
    sprite.SaveToFile(file);
    TBitmap loaded;
    loaded.LoadFromFile(file);
    ASSERT_EQ(loaded.Width(), 4);
    ASSERT_EQ(loaded.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(loaded, x, y), PixelOf(sprite, x, y)) << x << "," << y;
    DeleteFileW(file.c_str());
}

TEST(Graphics, DamagedBitmapBytesAreRefused) {
    TBitmap sprite;
    MakeSprite(sprite);
    std::string bytes = sprite.SaveToBytes();
    TBitmap b;
    EXPECT_THROW(b.LoadFromBytes(bytes.substr(0, bytes.size() - 10)), EInvalidOperation);
    EXPECT_THROW(b.LoadFromBytes("BM"), EInvalidOperation);
    std::string huge = bytes;
    reinterpret_cast<BITMAPINFOHEADER*>(huge.data() + sizeof(BITMAPFILEHEADER))->biHeight = 100000;
    EXPECT_THROW(b.LoadFromBytes(huge), EInvalidOperation);
    EXPECT_NO_THROW(b.LoadFromBytes(bytes));
    EXPECT_EQ(b.Width(), 4);
}

TEST(Graphics, PictureOfAnImageTravelsInTheStoredForm) {
    TOwned<TForm> form(Create<TForm>(nullptr)), other(Create<TForm>(nullptr));
    form->SetName(L"PictureForm");
    TImage* image = Create<TImage>(form.get());
    image->SetName(L"Image1");
    image->SetParent(form.get());
    MakeSprite(*image->Picture()->Bitmap());
    std::wstring text = ComponentToText(form.get());
    EXPECT_NE(text.find(L"Picture.Data = {"), std::wstring::npos);
    ReadComponentFromText(other.get(), text);
    auto* copy = dynamic_cast<TImage*>(other->FindComponent(L"Image1"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Parent(), other.get());
    ASSERT_EQ(copy->Picture()->Width(), 4);
    EXPECT_EQ(PixelOf(*copy->Picture()->Bitmap(), 1, 2), RGB(0, 0, 255));
}

TEST(Graphics, FontSizeAndHeightFollowTheScreenDensity) {
    TFont font;
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Size(), 8);
    font.SetSize(12);
    EXPECT_EQ(font.Height(), -16);
    int changes = 0;
    font.SetOnChange(TNotifyEvent::FromFunction([](void* c, TObject*) { ++*static_cast<int*>(c); }, &changes));
    font.SetStyle(TFontStyles{fsBold});
    font.SetStyle(TFontStyles{fsBold});
    EXPECT_EQ(changes, 1);
    LOGFONTW lf = {};
    GetObjectW(font.Handle(), sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfHeight, -16);
}

TEST(Graphics, AFixedPitchFontIsMonospacedEvenWhereTheFaceIsMissing) {
    // The face may be missing: Wine maps it to a proportional one unless a fixed pitch is asked.
    TFont font;
    font.SetName(L"Courier New");
    font.SetHeight(-16);
    font.SetPitch(fpFixed);
    TFont copy;
    copy.Assign(&font);
    EXPECT_EQ(copy.Pitch(), fpFixed);
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    TCanvas* canvas = bitmap.Canvas();
    canvas->SetFont(&font);
    EXPECT_EQ(canvas->TextWidth(L"iiii"), canvas->TextWidth(L"AAAA"));
    TEXTMETRICW tm = {};
    GetTextMetricsW(canvas->Handle(), &tm);
    EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0); // the bit is set for a variable pitch
}

} // namespace
