// The notification-area icon under Xvfb: shown and hidden (a NIM_MODIFY of the test's own with
// the component's window and number succeeds only for an icon shown), the cut hint, one update
// across a lock, the shell's callbacks turned into events, the default item on a double click,
// the icon put back when the taskbar is made anew, and a menu freed first.
#include "runtime/sessions/Tamrel_TrayIcon.h"

#include "host/HostApplication.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tamrel;

namespace {

// Counts the records prepared, and pops up no real menu.
class TCountingTrayIcon : public TrkTrayIcon {
public:
    using TrkTrayIcon::TrkTrayIcon;
    int Prepared = 0;

protected:
    void PrepareNotifyIconData() override {
        ++Prepared;
        TrkTrayIcon::PrepareNotifyIconData();
    }
};

class TRecordingPopupMenu : public TPopupMenu {
public:
    using TPopupMenu::TPopupMenu;
    std::vector<POINT> Shown;
    void Popup(int X, int Y) override { Shown.push_back({X, Y}); }
};

struct TEvents {
    std::vector<std::wstring> Seen;
    void Click(TObject*) { Seen.push_back(L"Click"); }
    void DblClick(TObject*) { Seen.push_back(L"DblClick"); }
    void Default(TObject*) { Seen.push_back(L"Default item"); }
    void Other(TObject*) { Seen.push_back(L"Other item"); }
    void Down(TObject*, TMouseButton b, TShiftState, int, int) { Seen.push_back(b == mbLeft ? L"LeftDown" : L"RightDown"); }
    void Up(TObject*, TMouseButton b, TShiftState, int, int) { Seen.push_back(b == mbLeft ? L"LeftUp" : L"RightUp"); }
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class TrayIconTest : public testing::Test {
protected:
    void SetUp() override {
        Tray.reset(new TCountingTrayIcon(nullptr));
        Tray->Icon()->SetHandle(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
        Tray->SetOnClick(TNotifyEvent::Of<&TEvents::Click>(&Events));
        Tray->SetOnDblClick(TNotifyEvent::Of<&TEvents::DblClick>(&Events));
        Tray->SetOnMouseDown(TMouseEvent::Of<&TEvents::Down>(&Events));
        Tray->SetOnMouseUp(TMouseEvent::Of<&TEvents::Up>(&Events));
    }
    void TearDown() override {
        Tray.reset();
        Menu.reset();
    }
    // The shell's answer to a modification of the component's icon: true only while it is shown.
    bool Shown() {
        NOTIFYICONDATAW d = {};
        d.cbSize = sizeof d;
        d.hWnd = Tray->IconWindow();
        d.uID = Tray->NotifyData().uID;
        return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
    }
    void Callback(UINT mouse) {
        PostMessageW(Tray->IconWindow(), WM_TRAYICON_CALLBACK, Tray->NotifyData().uID, mouse);
        Pump();
    }
    void MakeMenu() {
        Menu.reset(new TRecordingPopupMenu(nullptr));
        auto* other = new TMenuItem(Menu.get());
        other->SetOnClick(TNotifyEvent::Of<&TEvents::Other>(&Events));
        auto* def = new TMenuItem(Menu.get());
        def->SetDefault(true);
        def->SetOnClick(TNotifyEvent::Of<&TEvents::Default>(&Events));
        Menu->Items()->Add(other);
        Menu->Items()->Add(def);
        Tray->SetPopupMenu(Menu.get());
    }
    TEvents Events;
    std::unique_ptr<TRecordingPopupMenu> Menu;
    std::unique_ptr<TCountingTrayIcon> Tray;
};

TEST_F(TrayIconTest, ShownWhileActiveWithTheHintCutTo63Characters) {
    EXPECT_FALSE(Shown());
    Tray->SetHint(std::wstring(100, L'h'));
    EXPECT_EQ(Tray->Hint(), std::wstring(63, L'h'));
    Tray->SetActive(true);
    EXPECT_TRUE(Shown());
    const NOTIFYICONDATAW& d = Tray->NotifyData();
    EXPECT_EQ(d.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(d.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(d.uCallbackMessage, 0xB05Au);
    EXPECT_EQ(d.hIcon, Tray->Icon()->Handle());
    EXPECT_EQ(std::wstring(d.szTip), std::wstring(63, L'h'));
    Tray->SetActive(false);
    EXPECT_FALSE(Shown());
    // Freed while active, the icon goes too.
    Tray->SetActive(true);
    const HWND window = Tray->IconWindow();
    const UINT id = Tray->NotifyData().uID;
    Tray.reset();
    NOTIFYICONDATAW gone = {};
    gone.cbSize = sizeof gone;
    gone.hWnd = window;
    gone.uID = id;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &gone));
}

TEST_F(TrayIconTest, ChangesInsideALockReachTheShellOnceAtTheUnlock) {
    Tray->SetActive(true);
    const int before = Tray->Prepared;
    Tray->LockUpdates();
    Tray->SetHint(L"one");
    Tray->SetHint(L"two");
    Tray->Icon()->SetHandle(CopyIcon(LoadIconW(nullptr, IDI_INFORMATION)));
    EXPECT_EQ(Tray->Prepared, before);
    Tray->UnlockUpdates();
    EXPECT_EQ(Tray->Prepared, before + 1);
    EXPECT_EQ(std::wstring(Tray->NotifyData().szTip), L"two");
    // Unlocked, each change is one update.
    Tray->SetHint(L"three");
    EXPECT_EQ(Tray->Prepared, before + 2);
}

TEST_F(TrayIconTest, CallbacksBecomeMouseAndClickEventsAndARightClickPopsTheMenuUp) {
    MakeMenu();
    Tray->SetActive(true);
    Callback(WM_LBUTTONDOWN);
    Callback(WM_LBUTTONUP);
    EXPECT_EQ(Events.Seen, (std::vector<std::wstring>{L"LeftDown", L"Click", L"LeftUp"}));
    // A release without a press on the icon: no click, no menu.
    Events.Seen.clear();
    Callback(WM_LBUTTONUP);
    Callback(WM_RBUTTONUP);
    EXPECT_EQ(Events.Seen, (std::vector<std::wstring>{L"LeftUp", L"RightUp"}));
    EXPECT_TRUE(Menu->Shown.empty());
    Callback(WM_RBUTTONDOWN);
    Callback(WM_RBUTTONUP);
    EXPECT_EQ(Menu->Shown.size(), 1u);
    // A double click runs the default item, then OnDblClick.
    Events.Seen.clear();
    Callback(WM_LBUTTONDBLCLK);
    EXPECT_EQ(Events.Seen, (std::vector<std::wstring>{L"Default item", L"DblClick"}));
}

TEST_F(TrayIconTest, TheWindowBroughtInFrontForTheMenuGetsAMessageAfterIt) {
    MakeMenu();
    // The menus shown by the time each WM_NULL reached the window.
    struct TNulls {
        TRecordingPopupMenu* Menu;
        std::vector<size_t> MenusShown;
        bool Seen(TMessage& m) {
            if (m.Msg == WM_NULL) MenusShown.push_back(Menu->Shown.size());
            return false;
        }
    } nulls{Menu.get(), {}};
    ASSERT_NE(nullptr, HostApplication->Handle());
    HostApplication->HookMainWindow(TWindowHook::Of<&TNulls::Seen>(&nulls));
    TScopeExit unhook([&] { HostApplication->UnhookMainWindow(TWindowHook::Of<&TNulls::Seen>(&nulls)); });
    Callback(WM_RBUTTONDOWN);
    Callback(WM_RBUTTONUP);
    ASSERT_EQ(Menu->Shown.size(), 1u);
    EXPECT_EQ(nulls.MenusShown, std::vector<size_t>{1});
}

TEST_F(TrayIconTest, ANewTaskbarGetsTheActiveIconBackOnly) {
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    Tray->SetActive(true);
    // Deleted behind the component's back, as a restarted shell would have lost it.
    NOTIFYICONDATAW d = {};
    d.cbSize = sizeof d;
    d.hWnd = Tray->IconWindow();
    d.uID = Tray->NotifyData().uID;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &d));
    ASSERT_FALSE(Shown());
    SendMessageW(Tray->IconWindow(), taskbarCreated, 0, 0);
    EXPECT_TRUE(Shown());
    Tray->SetActive(false);
    SendMessageW(Tray->IconWindow(), taskbarCreated, 0, 0);
    EXPECT_FALSE(Shown());
}

TEST_F(TrayIconTest, AMenuFreedFirstLeavesNoDanglingReference) {
    MakeMenu();
    Menu.reset();
    EXPECT_EQ(Tray->PopupMenu(), nullptr);
    Callback(WM_RBUTTONDOWN);
    Callback(WM_RBUTTONUP);
    Callback(WM_LBUTTONDBLCLK);
    EXPECT_EQ(Events.Seen, (std::vector<std::wstring>{L"RightDown", L"RightUp", L"DblClick"}));
}

} // namespace
