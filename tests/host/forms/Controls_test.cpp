// Controls: alignment, inherited font and reading order, item measuring while the window is
// made, mouse and key events, failures in event handlers.
#include "host/forms/Controls.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "host/Streaming.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {


class ControlsTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetName(L"ControlsForm");
        Form->SetBorderStyle(bsSingle);
        Form->SetLeft(50);
        Form->SetTop(50);
        Form->SetClientWidth(300);
        Form->SetClientHeight(200);
    }
    template <class T> T* Add(TWinControl* parent, const wchar_t* name = nullptr) {
        T* c = Create<T>(Form.get());
        if (name) c->SetName(name);
        c->SetParent(parent);
        return c;
    }
    TOwned<TForm> Form;
};

TEST_F(ControlsTest, AlignedChildrenShareTheClientAreaAndFollowItsSize) {
    TPanel* top = Add<TPanel>(Form.get());
    top->SetHeight(30);
    top->SetAlign(alTop);
    TPanel* bottom = Add<TPanel>(Form.get());
    bottom->SetHeight(20);
    bottom->SetAlign(alBottom);
    TPanel* left = Add<TPanel>(Form.get());
    left->SetWidth(50);
    left->SetAlign(alLeft);
    TPanel* right = Add<TPanel>(Form.get());
    right->SetWidth(40);
    right->SetAlign(alRight);
    TPanel* client = Add<TPanel>(Form.get());
    client->SetAlign(alClient);
    Form->Show();
    auto bounds = [](TControl* c) {
        return std::vector<int>{c->Left(), c->Top(), c->Width(), c->Height()};
    };
    EXPECT_EQ(bounds(top), (std::vector<int>{0, 0, 300, 30}));
    EXPECT_EQ(bounds(bottom), (std::vector<int>{0, 180, 300, 20}));
    EXPECT_EQ(bounds(left), (std::vector<int>{0, 30, 50, 150}));
    EXPECT_EQ(bounds(right), (std::vector<int>{260, 30, 40, 150}));
    EXPECT_EQ(bounds(client), (std::vector<int>{50, 30, 210, 150}));
    Form->SetClientWidth(400);
    Form->SetClientHeight(300);
    EXPECT_EQ(bounds(bottom), (std::vector<int>{0, 280, 400, 20}));
    EXPECT_EQ(bounds(client), (std::vector<int>{50, 30, 310, 250}));
    // The windows were moved too.
    RECT r = {};
    GetWindowRect(client->Handle(), &r);
    MapWindowPoints(nullptr, Form->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.right - r.left, 310);
    right->Hide(); // a hidden control gives its place up
    EXPECT_EQ(bounds(client), (std::vector<int>{50, 30, 350, 250}));
}

TEST_F(ControlsTest, FontAndReadingOrderComeFromTheParentUntilSetOwn) {
    TPanel* panel = Add<TPanel>(Form.get(), L"Panel1");
    TEdit* inherits = Add<TEdit>(panel, L"Inherits");
    TEdit* own = Add<TEdit>(panel, L"Own");
    own->Font()->SetHeight(-20);
    EXPECT_FALSE(own->ParentFont());
    Form->Font()->SetHeight(-15);
    EXPECT_EQ(panel->Font()->Height(), -15);
    EXPECT_EQ(inherits->Font()->Height(), -15);
    EXPECT_TRUE(inherits->ParentFont());
    EXPECT_EQ(own->Font()->Height(), -20);
    // Only the control with its own font stores it.
    std::wstring text = ComponentToText(Form.get());
    size_t ownAt = text.find(L"object Own: TEdit");
    EXPECT_NE(text.find(L"Font.Height = -20", ownAt), std::wstring::npos);
    EXPECT_EQ(text.find(L"Font.Height", text.find(L"object Inherits: TEdit")),
              text.find(L"Font.Height = -20", ownAt));

    TListBox* list = Add<TListBox>(panel);
    Form->Show();
    HWND before = list->Handle();
    Form->SetBiDiMode(bdRightToLeft);
    EXPECT_TRUE(list->UseRightToLeftAlignment());
    EXPECT_NE(list->Handle(), before); // made anew with the new styles
    LONG_PTR ex = GetWindowLongPtrW(list->Handle(), GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_RIGHT);
    EXPECT_TRUE(ex & WS_EX_LEFTSCROLLBAR);
    LOGFONTW lf = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(inherits->Handle(), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -15);
}

struct TMeasures {
    int Calls = 0;
    void Measure(TWinControl*, int, int& height) {
        ++Calls;
        height = 19;
    }
};

TEST_F(ControlsTest, ItemsMeasuredWhileTheWindowIsMadeReachTheControlBeingMade) {
    TComboBox* fixed = Add<TComboBox>(Form.get());
    fixed->SetStyle(csOwnerDrawFixed);
    fixed->SetItemHeight(23);
    TComboBox* variable = Add<TComboBox>(Form.get());
    variable->SetStyle(csOwnerDrawVariable);
    TMeasures measures;
    variable->SetOnMeasureItem(TMeasureItemEvent::Of<&TMeasures::Measure>(&measures));
    Form->HandleNeeded();
    // No item exists yet: only the measuring during CreateWindowEx can have set these.
    EXPECT_EQ(SendMessageW(fixed->Handle(), CB_GETITEMHEIGHT, 0, 0), 23);
    EXPECT_GE(measures.Calls, 1);
}

struct TEvents {
    std::vector<std::string> Log;
    void MouseDown(TObject*, TMouseButton b, TShiftState, int x, int y) {
        Log.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void Click(TObject*) { Log.push_back("click"); }
    void KeyDown(TObject*, WORD& key, TShiftState) { Log.push_back("key " + std::to_string(key)); }
    void KeyPress(TObject*, wchar_t& key) {
        if (key == L'x') key = 0;
    }
};

TEST_F(ControlsTest, MouseAndKeyEventsReachTheControl) {
    TEvents events;
    TPanel* panel = Add<TPanel>(Form.get());
    panel->SetBounds(10, 10, 100, 50);
    panel->SetOnMouseDown(TMouseEvent::Of<&TEvents::MouseDown>(&events));
    panel->SetOnClick(TNotifyEvent::Of<&TEvents::Click>(&events));
    TEdit* edit = Add<TEdit>(Form.get());
    edit->SetBounds(10, 100, 100, 21);
    edit->SetOnKeyDown(TKeyEvent::Of<&TEvents::KeyDown>(&events));
    edit->SetOnKeyPress(TKeyPressEvent::Of<&TEvents::KeyPress>(&events));
    Form->Show();
    PostMessageW(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 7));
    PostMessageW(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(12, 7));
    PostMessageW(panel->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4));
    PostMessageW(edit->Handle(), WM_KEYDOWN, VK_F2, 0);
    for (wchar_t c : {L'a', L'x', L'b'}) PostMessageW(edit->Handle(), WM_CHAR, c, 0);
    ASSERT_TRUE(PumpUntil([&] { return edit->GetText() == L"ab"; }));
    EXPECT_EQ(events.Log, (std::vector<std::string>{"down 0 12,7", "click", "down 1 3,4",
                                                    "key " + std::to_string(VK_F2)}));
}

struct TThrower {
    std::wstring Seen;
    void Click(TObject*) { throw Exception(L"boom in a click"); }
    void OnException(TObject*, Exception& e) { Seen = e.Message(); }
};

TEST_F(ControlsTest, ExceptionInAnEventHandlerGoesToTheApplicationNotThroughTheSystem) {
    TThrower thrower;
    TButton* button = Add<TButton>(Form.get());
    button->SetOnClick(TNotifyEvent::Of<&TThrower::Click>(&thrower));
    HostApplication->SetOnException(TExceptionEvent::Of<&TThrower::OnException>(&thrower));
    TScopeExit restore([] { HostApplication->SetOnException(nullptr); });
    Form->Show();
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(thrower.Seen, L"boom in a click");
    EXPECT_TRUE(IsWindow(button->Handle()));
}

TEST_F(ControlsTest, ControlWithoutParentHasNoWindow) {
    TOwned<TEdit> orphan(Create<TEdit>(nullptr));
    EXPECT_THROW(orphan->HandleNeeded(), EInvalidOperation);
    EXPECT_FALSE(orphan->HandleAllocated());
}

TEST_F(ControlsTest, FreeingAParentFreesItsControls) {
    TPanel* panel = Add<TPanel>(Form.get());
    TEdit* edit = Add<TEdit>(panel, L"Inner");
    Form->Show();
    HWND wnd = edit->Handle();
    Free(panel);
    EXPECT_EQ(Form->FindComponent(L"Inner"), nullptr);
    EXPECT_FALSE(IsWindow(wnd));
}

} // namespace
