// The owner-drawn combo box: its item height is set while its window is made, and the user's
// drawing gets the item rectangle without the glyph column.
#include "runtime/controls/Tamrel_ComboBox.h"

#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace tamrel {

class TTestCombo : public TrkCustomComboBox {
    TAMREL_CLASS(TTestCombo, TrkCustomComboBox)
public:
    explicit TTestCombo(TComponent* owner) : TrkCustomComboBox(owner) {}
    int GlyphWidth = 0;
    std::vector<std::pair<int, RECT>> Drawn;
    void DrawUser(TWinControl*, int index, RECT rect, TOwnerDrawState) { Drawn.emplace_back(index, rect); }

protected:
    int GetCount() override { return 3; }
    std::wstring GetStrings(int i) override { return L"Choice " + std::to_wstring(i); }
    int GetGlyphWidth() override { return GlyphWidth; }
    int GetGlyphHeight() override { return 20; }
};

TAMREL_IMPLEMENT_CLASS(TTestCombo) {}

} // namespace tamrel

namespace {


TEST(GlyphComboBox, ItemHeightIsTheDefaultAsSoonAsTheWindowExists) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* combo = Create<TTestCombo>(form.get());
    combo->SetParent(form.get());
    EXPECT_EQ(combo->Style(), csDropDownList);
    form->HandleNeeded();
    EXPECT_EQ(combo->DefaultItemHeight(), 20); // the glyph is higher than the text
    EXPECT_LT(combo->DefaultTextHeight(), 20);
    EXPECT_GT(combo->DefaultTextHeight(), 0);
    // Nothing was added yet: only the measuring during CreateWindowEx can have set it.
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), combo->DefaultItemHeight());
    EXPECT_TRUE(GetWindowLongPtrW(combo->Handle(), GWL_STYLE) & CBS_OWNERDRAWFIXED);
}

TEST(GlyphComboBox, UserDrawingGetsTheRectangleWithoutTheGlyphColumn) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetBounds(40, 420, 300, 120);
    TTestCombo* combos[2] = {};
    for (int i = 0; i < 2; ++i) {
        combos[i] = Create<TTestCombo>(form.get());
        combos[i]->SetBounds(10, 10 + 40 * i, 200, 24);
        combos[i]->SetParent(form.get());
        combos[i]->GlyphWidth = i == 0 ? 0 : 20;
        combos[i]->SetOnDrawItem(TDrawItemEvent::Of<&TTestCombo::DrawUser>(combos[i]));
        combos[i]->Changed(-1);
        combos[i]->SetItemIndex(1);
    }
    form->Show();
    for (auto* c : combos) c->Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return !combos[0]->Drawn.empty() && !combos[1]->Drawn.empty(); }));
    RECT plain = combos[0]->Drawn.back().second, narrowed = combos[1]->Drawn.back().second;
    EXPECT_EQ(combos[1]->Drawn.back().first, 1);
    EXPECT_EQ(narrowed.left, plain.left + 20);
    EXPECT_EQ(narrowed.right, plain.right);
    EXPECT_EQ(narrowed.top, plain.top);
    // Right to left: the column is cut from the right.
    combos[1]->SetBiDiMode(bdRightToLeft);
    combos[1]->Drawn.clear();
    combos[1]->Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return !combos[1]->Drawn.empty(); }));
    RECT rtl = combos[1]->Drawn.back().second;
    EXPECT_EQ(rtl.right, plain.right - 20);
}

TEST(GlyphComboBox, ChangedOfOneItemReplacesOnlyADifferentText) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* combo = Create<TTestCombo>(form.get());
    combo->SetParent(form.get());
    combo->Changed(-1);
    form->HandleNeeded();
    combo->SetItemIndex(2);
    EXPECT_EQ(combo->Items()->ToVector(), (std::vector<std::wstring>{L"Choice 0", L"Choice 1", L"Choice 2"}));
    combo->Items()->Put(2, L"stale");
    combo->Changed(2);
    EXPECT_EQ(combo->Items()->Get(2), L"Choice 2");
    EXPECT_EQ(combo->ItemIndex(), 2);
}

} // namespace
