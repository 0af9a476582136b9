// Splitters: dragging one resizes the control before it, within the minimum sizes on both sides.
#include "host/forms/Splitter.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TEST(SplitterTest, DraggingResizesTheControlBeforeItWithinTheMinimumSizes) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetBounds(50, 50, 400, 200);
    TPanel* left = Create<TPanel>(form.get());
    left->SetParent(form.get());
    left->SetWidth(120);
    left->SetAlign(alLeft);
    TSplitter* splitter = Create<TSplitter>(form.get());
    splitter->SetParent(form.get());
    splitter->SetLeft(130);
    splitter->SetAlign(alLeft);
    TPanel* rest = Create<TPanel>(form.get());
    rest->SetParent(form.get());
    rest->SetAlign(alClient);
    form->Show();
    PumpPending();
    ASSERT_EQ(splitter->ResizeControl(), left);
    POINT grip = splitter->ClientToScreen(POINT{1, 50});
    DragWithMouse(grip, POINT{grip.x + 40, grip.y});
    EXPECT_EQ(left->Width(), 160);
    EXPECT_EQ(splitter->Left(), 160);
    grip = splitter->ClientToScreen(POINT{1, 50});
    DragWithMouse(grip, POINT{grip.x - 300, grip.y});
    EXPECT_EQ(left->Width(), splitter->MinSize());
    grip = splitter->ClientToScreen(POINT{1, 50});
    DragWithMouse(grip, POINT{grip.x + 900, grip.y});
    EXPECT_EQ(left->Width(), form->ClientWidth() - splitter->Width() - splitter->MinSize());
}

} // namespace
