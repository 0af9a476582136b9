// Tool bars: buttons laid out in order, their actions' state shown and run by real clicks, a
// separator that does nothing, and the images drawn from the bar's image list.
#include "host/forms/ToolBar.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TRuns {
    std::vector<TObject*> Senders;
    void Run(TObject* s) { Senders.push_back(s); }
};

class ToolBarTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(80, 80, 300, 120);
        Bar = Create<TToolBar>(Form.get());
        Bar->SetParent(Form.get());
        Bar->SetAlign(alTop);
        Images = Create<TImageList>(Form.get());
        TBitmap red;
        red.SetSize(16, 16);
        red.Canvas()->Brush()->SetColor(clRed);
        red.Canvas()->FillRect(RECT{0, 0, 16, 16});
        Images->Add(&red, nullptr);
        Bar->SetImages(Images);
        Action = Create<TAction>(Form.get());
        Action->SetCaption(L"&Run");
        Action->SetHint(L"Runs it");
        Action->SetImageIndex(0);
        Action->SetOnExecute(TNotifyEvent::Of<&TRuns::Run>(&Runs));
    }
    TToolButton* AddButton(TToolButtonStyle style = tbsButton) {
        TToolButton* b = Create<TToolButton>(Form.get());
        b->SetStyle(style);
        b->SetParent(Bar);
        return b;
    }
    TRuns Runs; // outlives the form and its buttons
    TOwned<TForm> Form;
    TToolBar* Bar = nullptr;
    TImageList* Images = nullptr;
    TAction* Action = nullptr;
};

TEST_F(ToolBarTest, ButtonsFollowEachOtherAndASeparatorIsNarrow) {
    TToolButton* a = AddButton();
    TToolButton* s = AddButton(tbsSeparator);
    TToolButton* b = AddButton();
    EXPECT_EQ(a->Left(), 0);
    EXPECT_EQ(s->Left(), Bar->ButtonWidth());
    EXPECT_EQ(b->Left(), Bar->ButtonWidth() + s->Width());
    EXPECT_LT(s->Width(), a->Width());
    EXPECT_EQ(Bar->ButtonCount(), 3);
    EXPECT_EQ(Bar->Buttons(2), b);
}

TEST_F(ToolBarTest, AClickRunsTheActionWhoseStateTheButtonShows) {
    TToolButton* button = AddButton();
    button->SetAction(Action);
    EXPECT_EQ(button->Hint(), L"Runs it");
    EXPECT_EQ(button->ImageIndex(), 0);
    Form->Show();
    PumpPending();
    ClickAt(button->ClientToScreen(POINT{10, 10}));
    EXPECT_EQ(Runs.Senders, std::vector<TObject*>{Action});
    // The image of the list is what the button shows.
    std::unique_ptr<TBitmap> capture = CaptureControl(button);
    EXPECT_EQ(PixelOf(*capture, button->Width() / 2, button->Height() / 2), RGB(255, 0, 0));
    Action->SetEnabled(false);
    EXPECT_FALSE(button->Enabled());
    ClickAt(button->ClientToScreen(POINT{10, 10}));
    EXPECT_EQ(Runs.Senders.size(), 1u);
}

TEST_F(ToolBarTest, AnActionThatGoesLeavesItsButtonsUnlinked) {
    TToolButton* button = AddButton();
    button->SetAction(Action);
    Free(Action);
    Action = nullptr;
    EXPECT_EQ(button->Action(), nullptr);
    button->Click(); // nothing to run, nothing to crash
    EXPECT_TRUE(Runs.Senders.empty());
}

} // namespace
