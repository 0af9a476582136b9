// The check and radio glyph table: which bitmap each cell holds, loaded from the library.
#include "runtime/controls/Tamrel_CtlRes.h"

#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Same size and the same pixels.
bool SamePixels(TBitmap& a, TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (PixelOf(a, x, y) != PixelOf(b, x, y)) return false;
    return true;
}

TEST(GlyphTable, EachOfTheTwelveCellsHoldsTheBitmapItsNameGives) {
    struct TCell {
        TrkGlyphKind Kind;
        TrkGlyphState State;
        bool Enabled;
        const wchar_t* Resource; // null: no glyph
    };
    const TCell cells[] = {
        {gkCheck, gsOn, false, L"RKBM_CHECK_ON_DISABLED"},   {gkCheck, gsOn, true, L"RKBM_CHECK_ON"},
        {gkCheck, gsOff, false, L"RKBM_CHECK_OFF_DISABLED"}, {gkCheck, gsOff, true, L"RKBM_CHECK_OFF"},
        {gkCheck, gsGrayed, false, L"RKBM_CHECK_ON_DISABLED"}, {gkCheck, gsGrayed, true, L"RKBM_CHECK_GRAY"},
        {gkRadio, gsOn, false, L"RKBM_RADIO_ON_DISABLED"},   {gkRadio, gsOn, true, L"RKBM_RADIO_ON"},
        {gkRadio, gsOff, false, L"RKBM_RADIO_OFF_DISABLED"}, {gkRadio, gsOff, true, L"RKBM_RADIO_OFF"},
        {gkRadio, gsGrayed, false, nullptr},                 {gkRadio, gsGrayed, true, nullptr},
    };
    std::set<TBitmap*> objects;
    for (const auto& c : cells) {
        SCOPED_TRACE(testing::Message() << c.Kind << "/" << c.State << "/" << c.Enabled);
        TBitmap* glyph = RkGetGlyph(c.Kind, c.State, c.Enabled);
        if (!c.Resource) {
            EXPECT_EQ(glyph, nullptr);
            continue;
        }
        ASSERT_NE(glyph, nullptr);
        EXPECT_EQ(RkGetGlyph(c.Kind, c.State, c.Enabled), glyph); // loaded once, shared
        objects.insert(glyph);
        EXPECT_EQ(glyph->PixelFormat(), pf4bit);
        const int size = c.Kind == gkCheck ? 15 : 14;
        EXPECT_EQ(glyph->Width(), size);
        EXPECT_EQ(glyph->Height(), size);
        TBitmap expected;
        expected.LoadFromResourceName(GetModuleHandleW(nullptr), c.Resource);
        EXPECT_TRUE(SamePixels(*glyph, expected));
    }
    // Every cell its own object: the two cells of RKBM_CHECK_ON_DISABLED too.
    EXPECT_EQ(objects.size(), 10u);
}

TEST(GlyphTable, StatesLookDifferentSoThatAStripShowsWhichStateItHas) {
    for (TrkGlyphKind k : {gkCheck, gkRadio})
        for (bool enabled : {false, true}) {
            EXPECT_FALSE(SamePixels(*RkGetGlyph(k, gsOn, enabled), *RkGetGlyph(k, gsOff, enabled))) << k << enabled;
            EXPECT_FALSE(SamePixels(*RkGetGlyph(k, gsOn, true), *RkGetGlyph(k, gsOn, false))) << k;
        }
    EXPECT_FALSE(SamePixels(*RkGetGlyph(gkCheck, gsGrayed, true), *RkGetGlyph(gkCheck, gsOn, true)));
}

TEST(GlyphTable, TransparentColourIsTheBottomLeftPixelFlagged) {
    TBitmap* glyph = RkGetGlyph(gkCheck, gsOn, true);
    TColor t = glyph->TransparentColor();
    EXPECT_EQ(static_cast<uint32_t>(t) & 0xFF000000u, 0x02000000u);
    EXPECT_EQ(ColorToRGB(t), PixelOf(*glyph, 0, glyph->Height() - 1));
    // The corner is background, not part of the box.
    EXPECT_NE(ColorToRGB(t), PixelOf(*glyph, 7, 7));
}

TEST(GlyphTable, ScreenDensityIsTheScreensLogPixels) {
    // Wine's screen reports 96.
    EXPECT_EQ(ScreenLogPixels(), 96);
}

} // namespace
