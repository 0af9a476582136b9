// The owner-drawn list and check list on a shown form: item height, the glyph strip (checked
// against the glyphs' own pixels in captures), clicks and keys, Changed, image lists.
#include "runtime/controls/Tamrel_ListBox.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace tamrel {

// A check list that keeps its states, as the descendants of the library do.
class TTestCheckList : public TrkCheckListBox {
    TAMREL_CLASS(TTestCheckList, TrkCheckListBox)
public:
    explicit TTestCheckList(TComponent* owner) : TrkCheckListBox(owner) {}
    std::vector<TrkGlyphState> States;
    std::vector<bool> AllowedItems;
    std::vector<std::wstring> Texts;
    int ThrowAt = -1;
    std::vector<int> GlyphsDrawn;
    int ItemMessages = 0; // messages that change the window's item list
    int ClickChecks = 0;

    void Fill(int n) {
        States.assign(static_cast<size_t>(n), gsOff);
        AllowedItems.assign(static_cast<size_t>(n), true);
        Texts.clear();
        for (int i = 0; i < n; ++i) Texts.push_back(L"Item " + std::to_wstring(i));
        Changed(-1);
    }
    void CountClickCheck(TObject*) { ++ClickChecks; }
    void WndProc(TMessage& m) override {
        if (m.Msg == LB_INSERTSTRING || m.Msg == LB_ADDSTRING || m.Msg == LB_DELETESTRING || m.Msg == LB_RESETCONTENT)
            ++ItemMessages;
        TrkCheckListBox::WndProc(m);
    }

protected:
    bool In(int i) const { return i >= 0 && i < static_cast<int>(Texts.size()); }
    int GetCount() override { return static_cast<int>(Texts.size()); }
    std::wstring GetStrings(int i) override {
        if (i == ThrowAt) throw Exception(L"the source failed");
        return Texts.at(static_cast<size_t>(i));
    }
    bool GetAllowed(int i) override { return In(i) && AllowedItems[static_cast<size_t>(i)]; }
    TrkGlyphState GetState(int i) override { return In(i) ? States[static_cast<size_t>(i)] : gsOff; }
    void SetState(int i, TrkGlyphState v) override {
        if (!In(i)) return;
        States[static_cast<size_t>(i)] = v;
        InvalidateGlyph(i);
    }
    int GetImageIndex(int i) override { return i % 3; }
    void DrawGlyph(RECT r, int i) override {
        GlyphsDrawn.push_back(i);
        TrkCheckListBox::DrawGlyph(r, i);
    }
};

TAMREL_IMPLEMENT_CLASS(TTestCheckList) {}

} // namespace tamrel

namespace {


class CheckListTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBorderStyle(bsNone);
        // Away from the windows of the other test programs: a real click must hit this list.
        Form->SetBounds(770, 500, 240, 240);
        List = Create<TTestCheckList>(Form.get());
        List->SetBounds(5, 5, 230, 230);
        List->SetParent(Form.get());
        List->SetOnClickCheck(TNotifyEvent::Of<&TTestCheckList::CountClickCheck>(List));
        List->Fill(12);
    }
    void ShowForm() {
        Form->Show();
        SetWindowPos(Form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpPending();
    }
    // The glyph's top-left corner in item Index, centred in the strip as DrawCheck does.
    POINT GlyphOrigin(int index, TBitmap& glyph) {
        RECT r = List->ItemRect(index);
        int left = List->UseRightToLeftAlignment() ? r.right - 17 : r.left;
        return POINT{left + (17 - glyph.Width()) / 2, r.top + (RectHeight(r) - glyph.Height()) / 2};
    }
    bool RowShows(TBitmap& capture, int index, TrkGlyphKind kind, TrkGlyphState state, bool enabled) {
        TBitmap* glyph = RkGetGlyph(kind, state, enabled);
        POINT p = GlyphOrigin(index, *glyph);
        return ShowsGlyph(capture, p.x, p.y, *glyph);
    }
    void Click(int index, int dx, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP) {
        RECT r = List->ItemRect(index);
        int x = List->UseRightToLeftAlignment() ? r.right - dx : r.left + dx;
        LPARAM at = MAKELPARAM(x, r.top + 3);
        PostMessageW(List->Handle(), down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, at);
        PostMessageW(List->Handle(), up, 0, at);
        PumpPending();
    }
    TOwned<TForm> Form;
    TTestCheckList* List = nullptr;
};

int TextHeightOf(int fontHeight) {
    LOGFONTW lf = {};
    lf.lfHeight = fontHeight;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    TGdiHandle<HFONT> font(CreateFontIndirectW(&lf));
    TWindowDc dc(nullptr);
    HGDIOBJ old = SelectObject(dc.Get(), font.Get());
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc.Get(), &tm);
    SelectObject(dc.Get(), old);
    return tm.tmHeight;
}

TEST_F(CheckListTest, ItemHeightIsTextOrGlyphHeightOnceTheWindowExists) {
    for (int fontHeight : {-11, -24}) {
        TOwned<TForm> form(Create<TForm>(nullptr));
        auto* list = Create<TTestCheckList>(form.get());
        list->SetParent(form.get());
        list->Font()->SetHeight(fontHeight);
        EXPECT_EQ(list->DefaultItemHeight(), 0) << fontHeight;
        EXPECT_EQ(list->ItemHeight(), 16) << fontHeight; // the host's, until the window exists
        form->HandleNeeded();
        const int expected = std::max(TextHeightOf(fontHeight), 17);
        EXPECT_EQ(list->DefaultItemHeight(), expected) << fontHeight;
        EXPECT_EQ(SendMessageW(list->Handle(), LB_GETITEMHEIGHT, 0, 0), expected) << fontHeight;
    }
    // A font change measures again.
    List->Font()->SetHeight(-11);
    Form->HandleNeeded();
    List->Font()->SetHeight(-30);
    EXPECT_EQ(SendMessageW(List->Handle(), LB_GETITEMHEIGHT, 0, 0), TextHeightOf(-30));
}

TEST_F(CheckListTest, EachStripShowsTheGlyphOfItsStateAndTheTextFollowsIt) {
    struct TRow {
        int Index;
        TrkGlyphState State;
        bool Enabled;
    };
    const TRow rows[] = {{0, gsOn, true}, {1, gsOff, true}, {2, gsGrayed, true}, {3, gsOn, false},
                         {4, gsOff, false}, {5, gsGrayed, false}};
    for (bool rtl : {false, true}) {
        SCOPED_TRACE(rtl ? "right to left" : "left to right");
        if (rtl) List->SetBiDiMode(bdRightToLeft);
        for (const auto& r : rows) {
            List->States[static_cast<size_t>(r.Index)] = r.State;
            List->AllowedItems[static_cast<size_t>(r.Index)] = r.Enabled;
        }
        ShowForm();
        List->Invalidate();
        auto capture = CaptureControl(List);
        SaveCapture(*capture, rtl ? L"CheckListStripsRightToLeft" : L"CheckListStrips");
        const COLORREF background = ColorToRGB(clWindow);
        for (const auto& r : rows) {
            SCOPED_TRACE(r.Index);
            EXPECT_TRUE(RowShows(*capture, r.Index, gkCheck, r.State, r.Enabled));
            // The comparison tells the states apart.
            TrkGlyphState other = r.State == gsOff ? gsOn : gsOff;
            EXPECT_FALSE(RowShows(*capture, r.Index, gkCheck, other, r.Enabled));
            // Inside the strip only the glyph and the background; the text is outside it.
            RECT item = List->ItemRect(r.Index);
            TBitmap* glyph = RkGetGlyph(gkCheck, r.State, r.Enabled);
            POINT g = GlyphOrigin(r.Index, *glyph);
            const int stripLeft = rtl ? item.right - 17 : item.left;
            int textPixels = 0;
            for (int y = item.top; y < item.bottom; ++y)
                for (int x = item.left; x < item.right; ++x) {
                    COLORREF c = PixelOf(*capture, x, y);
                    bool inStrip = x >= stripLeft && x < stripLeft + 17;
                    if (inStrip) {
                        bool inGlyph = x >= g.x && x < g.x + glyph->Width() && y >= g.y && y < g.y + glyph->Height();
                        COLORREF own = inGlyph ? PixelOf(*glyph, x - g.x, y - g.y) : background;
                        if (inGlyph && own == ColorToRGB(glyph->TransparentColor())) own = background;
                        ASSERT_EQ(c, own) << "pixel " << x << "," << y;
                    } else if (c != background) {
                        ++textPixels;
                    }
                }
            EXPECT_GT(textPixels, 0);
        }
    }
}

TEST_F(CheckListTest, ClicksOnTheStripToggleAndClicksOnTheTextDoNot) {
    ShowForm();
    List->States[1] = gsOn;
    Click(1, 5);
    EXPECT_EQ(List->States[1], gsOff);
    Click(1, 5, WM_RBUTTONDOWN, WM_RBUTTONUP); // any button
    EXPECT_EQ(List->States[1], gsOn);
    EXPECT_EQ(List->ClickChecks, 2);
    List->SetAllowGrayed(true);
    Click(1, 5);
    EXPECT_EQ(List->States[1], gsGrayed);
    Click(1, 5);
    EXPECT_EQ(List->States[1], gsOn);
    EXPECT_EQ(List->ClickChecks, 4);
    Click(1, 60); // on the text: selects, does not toggle
    EXPECT_EQ(List->States[1], gsOn);
    EXPECT_EQ(List->ItemIndex(), 1);
    EXPECT_EQ(List->ClickChecks, 4);
    List->AllowedItems[2] = false; // a disallowed item does not toggle
    Click(2, 5);
    EXPECT_EQ(List->States[2], gsOff);
    // Right to left: the strip is at the right edge.
    List->SetBiDiMode(bdRightToLeft);
    Click(3, 5);
    EXPECT_EQ(List->States[3], gsOn);
    Click(3, 100);
    EXPECT_EQ(List->States[3], gsOn);
}

TEST_F(CheckListTest, SpaceTogglesTheItemAtTheItemIndex) {
    ShowForm();
    List->SetItemIndex(4);
    PostMessageW(List->Handle(), WM_CHAR, L' ', 0);
    PumpPending();
    EXPECT_EQ(List->States[4], gsOn);
    EXPECT_EQ(List->ClickChecks, 1);
}

TEST_F(CheckListTest, ARealMouseClickOnTheStripToggles) {
    ShowForm();
    RECT r = List->ItemRect(3);
    POINT p = List->ClientToScreen(POINT{r.left + 8, r.top + RectHeight(r) / 2});
    ASSERT_EQ(WindowFromPoint(p), List->Handle()) << "another window covers the list";
    ASSERT_TRUE(ClickScreen(p));
    EXPECT_TRUE(PumpUntil([&] { return List->States[3] == gsOn; }));
    EXPECT_EQ(List->ClickChecks, 1);
}

TEST_F(CheckListTest, RadioListSelectsOnceAndTheSelectedItemIgnoresClicks) {
    List->SetKind(gkRadio);
    ShowForm();
    Click(2, 5);
    EXPECT_EQ(List->SelectedIndex(), 2);
    EXPECT_EQ(List->States[2], gsOn);
    EXPECT_EQ(List->ClickChecks, 1);
    Click(2, 5);
    EXPECT_EQ(List->ClickChecks, 1);
    EXPECT_EQ(List->States[2], gsOn);
    Click(5, 5);
    EXPECT_EQ(List->SelectedIndex(), 5);
    EXPECT_EQ(List->States[2], gsOff);
    EXPECT_EQ(List->ClickChecks, 2);
    auto capture = CaptureControl(List);
    EXPECT_TRUE(RowShows(*capture, 5, gkRadio, gsOn, true));
    EXPECT_TRUE(RowShows(*capture, 2, gkRadio, gsOff, true));
}

TEST_F(CheckListTest, GrayedItemOfARadioListDrawsNoGlyph) {
    List->States[6] = gsGrayed;
    List->States[7] = gsOn;
    List->SetKind(gkRadio); // a check list switched to radio, with a grayed item
    ShowForm();
    List->Invalidate();
    auto capture = CaptureControl(List);
    SaveCapture(*capture, L"RadioListGrayedRow");
    RECT item = List->ItemRect(6);
    const COLORREF background = ColorToRGB(clWindow);
    for (int y = item.top; y < item.bottom; ++y)
        for (int x = item.left; x < item.left + 17; ++x) ASSERT_EQ(PixelOf(*capture, x, y), background) << x << "," << y;
    EXPECT_TRUE(RowShows(*capture, 7, gkRadio, gsOn, true));
}

TEST_F(CheckListTest, ChangedOfOneItemTouchesTheListOnlyWhenItsTextChanged) {
    ShowForm();
    const int messages = List->ItemMessages;
    List->GlyphsDrawn.clear();
    List->Changed(5);
    EXPECT_EQ(List->ItemMessages, messages); // the item list untouched
    EXPECT_NE(std::find(List->GlyphsDrawn.begin(), List->GlyphsDrawn.end(), 5), List->GlyphsDrawn.end());
    List->Texts[5] = L"Renamed";
    List->Changed(5);
    EXPECT_GT(List->ItemMessages, messages);
    EXPECT_EQ(List->Items()->Get(5), L"Renamed");
    EXPECT_EQ(List->Items()->Count(), 12);
}

TEST_F(CheckListTest, TopAndItemIndexSurviveASourceThatFails) {
    List->Fill(40);
    ShowForm();
    List->SetTopIndex(3);
    List->SetItemIndex(4);
    List->ThrowAt = 39;
    EXPECT_THROW(List->Changed(-1), Exception);
    EXPECT_EQ(List->TopIndex(), 3);
    EXPECT_EQ(List->ItemIndex(), 4);
    EXPECT_EQ(List->Items()->UpdateCount(), 0);
    EXPECT_NE(SendMessageW(List->Handle(), LB_GETCOUNT, 0, 0), 0);
    List->ThrowAt = -1;
    List->Texts.push_back(L"One more");
    List->Changed(-1);
    EXPECT_EQ(List->Items()->Count(), 41);
    EXPECT_EQ(List->TopIndex(), 3);
    EXPECT_EQ(List->ItemIndex(), 4);
}

// Images of one colour each.
void AddSolid(TCustomImageList& images, TColor color) {
    TBitmap b;
    b.SetSize(images.Width(), images.Height());
    b.Canvas()->Brush()->SetColor(color);
    b.Canvas()->FillRect(RECT{0, 0, b.Width(), b.Height()});
    images.Add(&b, nullptr);
}

TEST_F(CheckListTest, ADisabledListDrawsItsTextsGreyAsItsGlyphs) {
    ShowForm();
    List->SetItemIndex(1);
    List->SetEnabled(false);
    List->Invalidate();
    auto capture = CaptureControl(List);
    SaveCapture(*capture, L"CheckListDisabled");
    // The texts of the first rows, the selected one among them: grey, none in the normal colours.
    const COLORREF grey = ColorToRGB(clGrayText), normal = ColorToRGB(clWindowText),
                   highlight = ColorToRGB(clHighlight);
    RECT texts = List->ItemRect(0);
    texts.left += 17;
    texts.bottom = List->ItemRect(2).bottom;
    EXPECT_GT(CountPixels(*capture, texts, {grey}), 20);
    EXPECT_EQ(CountPixels(*capture, texts, {normal, highlight}), 0);
}

TEST_F(CheckListTest, ImageListDrawsTheItemsImageAndDimsDisallowedItems) {
    auto* images = Create<TImageList>(Form.get());
    AddSolid(*images, clRed);
    AddSolid(*images, clLime);
    AddSolid(*images, clBlue);
    List->SetImages(images);
    List->AllowedItems[4] = false; // image 1 (lime), disallowed
    ShowForm();
    auto capture = CaptureControl(List);
    SaveCapture(*capture, L"CheckListImages");
    auto centre = [&](int i) {
        RECT r = List->ItemRect(i);
        return PixelOf(*capture, r.left + 8, r.top + 8);
    };
    EXPECT_EQ(centre(0), RGB(255, 0, 0));
    EXPECT_EQ(centre(1), RGB(0, 255, 0));
    EXPECT_EQ(centre(2), RGB(0, 0, 255));
    EXPECT_EQ(centre(3), RGB(255, 0, 0));
    EXPECT_NE(centre(4), RGB(0, 255, 0));
    EXPECT_EQ(List->DefaultItemHeight(), std::max(TextHeightOf(-11), 16));
    Free(images);
    EXPECT_EQ(List->Images(), nullptr);
    EXPECT_EQ(List->DefaultItemHeight(), std::max(TextHeightOf(-11), 17));
}

} // namespace
