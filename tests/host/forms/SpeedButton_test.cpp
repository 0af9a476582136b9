// Speed buttons: a real click runs them without taking the focus from the focused control; a
// linked action gives the image the button shows from its list, and an action of a list without a
// handler leaves the button disabled until it gets one.
#include "host/forms/SpeedButton.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TClicks {
    int Count = 0;
    void Click(TObject*) { ++Count; }
};

TEST(SpeedButtonTest, AClickRunsTheButtonAndTheFocusStaysWhereItWas) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetBounds(100, 100, 300, 120);
    TEdit* edit = Create<TEdit>(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(8, 8, 120, 22);
    TSpeedButton* button = Create<TSpeedButton>(form.get());
    button->SetParent(form.get());
    button->SetBounds(150, 8, 30, 24);
    button->SetCaption(L"<");
    TClicks clicks;
    button->SetOnClick(TNotifyEvent::Of<&TClicks::Click>(&clicks));
    form->Show();
    edit->SetFocus();
    PumpPending();
    ClickAt(button->ClientToScreen(POINT{15, 12}));
    EXPECT_EQ(clicks.Count, 1);
    EXPECT_TRUE(edit->Focused());
    button->SetEnabled(false);
    ClickAt(button->ClientToScreen(POINT{15, 12}));
    EXPECT_EQ(clicks.Count, 1);
}

TEST(SpeedButtonTest, TheActionsImageShowsAndAHandlerlessActionOfAListStaysDisabled) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetBounds(100, 100, 300, 120);
    TImageList* images = Create<TImageList>(form.get());
    for (TColor colour : {clBlue, clRed}) {
        TBitmap square;
        square.SetSize(16, 16);
        square.Canvas()->Brush()->SetColor(colour);
        square.Canvas()->FillRect(RECT{0, 0, 16, 16});
        images->Add(&square, nullptr);
    }
    TActionList* actions = Create<TActionList>(form.get());
    TAction* action = Create<TAction>(form.get());
    action->SetActionList(actions);
    action->SetImageIndex(1);
    TSpeedButton* button = Create<TSpeedButton>(form.get());
    button->SetParent(form.get());
    button->SetBounds(8, 8, 24, 24);
    button->SetFlat(true);
    button->SetImages(images);
    button->SetAction(action);
    form->Show();
    PumpPending();
    EXPECT_FALSE(button->Enabled());
    TClicks clicks;
    ClickAt(button->ClientToScreen(POINT{12, 12}));
    action->SetOnExecute(TNotifyEvent::Of<&TClicks::Click>(&clicks));
    EXPECT_TRUE(button->Enabled());
    ClickAt(button->ClientToScreen(POINT{12, 12}));
    EXPECT_EQ(clicks.Count, 1);
    button->Repaint();
    std::unique_ptr<TBitmap> shot = CaptureControl(button);
    SaveCapture(*shot, L"SpeedButton_image");
    EXPECT_EQ(PixelOf(*shot, 12, 12), RGB(255, 0, 0));
    // The list going leaves a caption-less button blank, not broken.
    Free(images);
    button->Repaint();
    shot = CaptureControl(button);
    EXPECT_NE(PixelOf(*shot, 12, 12), RGB(255, 0, 0));
}

} // namespace
