// Speed buttons: a real click runs them without taking the focus from the focused control.
#include "host/SpeedButton.h"

#include "host/Forms.h"
#include "host/StdCtrls.h"
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

} // namespace
