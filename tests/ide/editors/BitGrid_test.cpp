// The bit grid the bits editor, the manager and the picker share: a bit a stored form marks as not
// usable shows its glyph disabled and keeps its state against clicks and Space, while a usable one
// flips; without a set nothing can be changed; a preview grid takes no clicks at all.
#include "ide/editors/BitGrid.h"

#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/Streaming.h"
#include "runtime/controls/Tamrel_CtlRes.h"

#include <gtest/gtest.h>

namespace tamrel {

// A component whose bit set is read from a stored form, as a designer reads one.
class TBitGridHolder : public TComponent {
    TAMREL_CLASS(TBitGridHolder, TComponent)
public:
    explicit TBitGridHolder(TComponent* owner) : TComponent(owner) {}
    TrkAccessBits* Bits() const { return FBits.get(); }

private:
    std::unique_ptr<TrkAccessBits> FBits = std::make_unique<TrkAccessBits>();
};

TAMREL_IMPLEMENT_CLASS(TBitGridHolder) { b.Object(L"Bits", &TBitGridHolder::Bits); }

} // namespace tamrel

using namespace tamrel;
using namespace tamrel::test;

namespace {

// A custom set: every bit used and usable but bit 2, used and not usable.
std::wstring StoredSet() {
    std::wstring data = L"'0'";
    for (int i = 0; i < 32; ++i) data += i == 2 ? L" 'N' 'Y' 'Locked'" : L" 'Y' 'Y' 'Bit" + std::to_wstring(i) + L"'";
    return L"object BitGridHolder1: TBitGridHolder\r\n  Bits.InternalData = (" + data + L")\r\nend\r\n";
}

class BitGridTest : public testing::Test {
protected:
    void SetUp() override {
        Holder.reset(Create<TBitGridHolder>(nullptr));
        ReadComponentFromText(Holder.get(), StoredSet());
        ASSERT_FALSE(Holder->Bits()->MaskBit(2)->CanBeUsed());
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(60, 60, 360, 420);
        Grid = Create<TStringGrid>(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(8, 8, 330, 360);
    }
    void Make(bool editable) {
        Bits = std::make_unique<TBitGrid>(Grid, editable);
        Bits->Prepare(Form->Font(), 200);
        Bits->Show(Holder->Bits());
        Form->Show();
        Grid->SetFocus();
        PumpPending();
    }
    void ClickUse(int bit) {
        const RECT r = Grid->CellRect(1, bit + 1);
        ClickAt(Grid->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    }
    bool ShowsCheck(TBitmap& capture, int bit, TrkGlyphState state, bool enabled) {
        TBitmap* glyph = RkGetGlyph(gkCheck, state, enabled);
        RECT r = Grid->CellRect(1, bit + 1);
        // The cell is drawn inside its grid lines.
        if (Grid->Options().Contains(goVertLine)) --r.right;
        if (Grid->Options().Contains(goHorzLine)) --r.bottom;
        return ShowsGlyph(capture, r.left + (RectWidth(r) - glyph->Width()) / 2, r.top + (RectHeight(r) - glyph->Height()) / 2,
                          *glyph);
    }
    TOwned<TBitGridHolder> Holder;
    TOwned<TForm> Form;
    TStringGrid* Grid = nullptr;
    std::unique_ptr<TBitGrid> Bits; // bound to the grid's events: the form goes first
    void TearDown() override {
        Form.reset();
        Bits.reset();
    }
};

TEST_F(BitGridTest, ABitThatCannotBeUsedKeepsItsStateAgainstClicksAndSpace) {
    Make(true);
    std::unique_ptr<TBitmap> capture = CaptureControl(Grid);
    SaveCapture(*capture, L"BitGridLockedBit");
    EXPECT_TRUE(ShowsCheck(*capture, 2, gsOn, false));
    EXPECT_TRUE(ShowsCheck(*capture, 3, gsOn, true));
    EXPECT_EQ(Grid->Cells(2, 3), L"Locked");
    EXPECT_EQ(Grid->Cells(0, 3), L"2");

    ClickUse(2);
    EXPECT_TRUE(Holder->Bits()->MaskBit(2)->IsUsed());
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(Grid->Row(), 3);
    PressKeys({VK_SPACE, VK_RETURN});
    EXPECT_TRUE(Holder->Bits()->MaskBit(2)->IsUsed());

    ClickUse(3);
    EXPECT_FALSE(Holder->Bits()->MaskBit(3)->IsUsed());
    PressKeys({VK_SPACE});
    EXPECT_TRUE(Holder->Bits()->MaskBit(3)->IsUsed());
    PressKeys({VK_RETURN});
    EXPECT_FALSE(Holder->Bits()->MaskBit(3)->IsUsed());
    capture = CaptureControl(Grid);
    EXPECT_TRUE(ShowsCheck(*capture, 3, gsOff, true));
}

TEST_F(BitGridTest, APreviewAndAGridWithoutASetChangeNothing) {
    Make(false);
    ClickUse(3);
    PressKeys({VK_SPACE});
    EXPECT_TRUE(Holder->Bits()->MaskBit(3)->IsUsed());
    EXPECT_FALSE(Grid->Options().Contains(goEditing));

    Bits.reset();
    Make(true);
    Bits->Show(nullptr);
    PumpPending();
    std::unique_ptr<TBitmap> capture = CaptureControl(Grid);
    EXPECT_TRUE(ShowsCheck(*capture, 3, gsOff, false));
    EXPECT_EQ(Grid->Cells(2, 4), L"");
    ClickUse(3);
    EXPECT_FALSE(Bits->Toggle(3));
    const RECT r = Grid->CellRect(2, 4);
    ClickAt(Grid->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    EXPECT_FALSE(Grid->Options().Contains(goEditing)); // no names without a set
}

// A name typed with blanks around it is stored trimmed, and the name column shows it so: it starts
// where a stored name starts, and the editor opens on it without the blanks.
TEST_F(BitGridTest, ANameTypedWithBlanksShowsAsItIsStored) {
    Make(true);
    const RECT cell = Grid->CellRect(2, 5);
    ClickAt(Grid->ClientToScreen(POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2}));
    PressKeys({VK_F2});
    SendMessageW(Grid->InplaceEditor()->Handle(), EM_SETSEL, 0, -1);
    TypeText(L"   Spaced  ");
    PressKeys({VK_DOWN});
    ASSERT_EQ(Holder->Bits()->MaskBit(4)->BitName(), L"Spaced");
    std::unique_ptr<TBitmap> capture = CaptureControl(Grid);
    SaveCapture(*capture, L"BitGridTrimmedName");
    // The first column of a cell's text, from its left edge.
    auto inkStart = [&](int row) -> int {
        const RECT r = Grid->CellRect(2, row);
        const COLORREF paper = ColorToRGB(Grid->Color());
        for (int x = r.left + 1; x < r.right - 1; ++x)
            for (int y = r.top + 1; y < r.bottom - 1; ++y)
                if (PixelOf(*capture, x, y) != paper) return static_cast<int>(x - r.left);
        return -1;
    };
    ASSERT_GE(inkStart(1), 0); // "Bit0", as stored
    EXPECT_NEAR(inkStart(5), inkStart(1), 1);
    PressKeys({VK_UP, VK_F2});
    ASSERT_TRUE(Grid->EditorMode());
    EXPECT_EQ(Grid->InplaceEditor()->GetText(), L"Spaced");
}

} // namespace
