// Menus: the item tree, clicks, the popup menu chosen by keys, and the main menu of a form whose
// entries follow the items and whose sub-menus run their item's OnClick when they open.
#include "host/Menus.h"

#include "host/forms/Forms.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TClicks {
    std::vector<std::wstring> Seen;
    void Click(TObject* sender) { Seen.push_back(static_cast<TMenuItem*>(sender)->Caption()); }
};

TMenuItem* Item(TMenuItem* parent, const wchar_t* caption, TClicks* clicks) {
    auto* item = Create<TMenuItem>(nullptr);
    item->SetCaption(caption);
    item->SetOnClick(TNotifyEvent::Of<&TClicks::Click>(clicks));
    parent->Add(item);
    return item;
}

// Answers the menu the next time this thread's message loop runs: Keys go to the open menu.
std::vector<UINT> GKeys;
void CALLBACK PressKeys(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu) return; // not open yet: the timer comes again
    KillTimer(nullptr, id);
    if (GKeys.empty()) {
        EndMenu();
        return;
    }
    for (UINT key : GKeys) {
        PostMessageW(menu, WM_KEYDOWN, key, 0);
        PostMessageW(menu, WM_KEYUP, key, 0);
    }
}

} // namespace

TEST(HostMenus, ItemsKeepTheirTreeWhicheverSideIsFreed) {
    TClicks clicks;
    TOwnedPtr<TMenuItem> root(Create<TMenuItem>(nullptr));
    TMenuItem* a = Item(root.get(), L"A", &clicks);
    TMenuItem* b = Item(root.get(), L"B", &clicks);
    TMenuItem* b1 = Item(b, L"B1", &clicks);
    EXPECT_EQ(2, root->Count());
    EXPECT_EQ(root.get(), b->Parent());
    EXPECT_EQ(1, root->IndexOf(b));
    root->Insert(0, b1); // moves from B to the root
    EXPECT_EQ(0, b->Count());
    EXPECT_EQ(b1, root->Items(0));
    EXPECT_THROW(b1->Add(root.get()), EInvalidOperation);
    EXPECT_THROW(root->Items(3), EListError);
    Free(a); // a freed item leaves its parent
    EXPECT_EQ(2, root->Count());
    EXPECT_EQ(-1, root->IndexOf(a));
    root->Remove(b);
    EXPECT_EQ(nullptr, b->Parent());
    Free(b);
    root->Clear();
    EXPECT_EQ(0, root->Count());
}

TEST(HostMenus, ClickRunsOnlyEnabledItems) {
    TClicks clicks;
    TOwnedPtr<TMenuItem> root(Create<TMenuItem>(nullptr));
    TMenuItem* a = Item(root.get(), L"A", &clicks);
    a->Click();
    a->SetEnabled(false);
    a->Click();
    EXPECT_EQ(std::vector<std::wstring>{L"A"}, clicks.Seen);
}

TEST(HostMenus, PopupRunsTheChosenItemAfterTheMenuCloses) {
    TClicks clicks;
    TOwnedPtr<TPopupMenu> popup(Create<TPopupMenu>(nullptr));
    TMenuItem* off = Item(popup->Items(), L"Off", &clicks);
    off->SetEnabled(false);
    Item(popup->Items(), L"-", &clicks);
    TMenuItem* sub = Item(popup->Items(), L"Sub", &clicks);
    Item(sub, L"Inner", &clicks);
    Item(popup->Items(), L"Last", &clicks)->SetDefault(true);

    // Down skips the disabled item, the separator and the sub-menu's own line is passed over
    // twice: Down, Down, Down lands on "Last".
    GKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
    SetTimer(nullptr, 0, 50, PressKeys);
    popup->Popup(10, 10);
    EXPECT_EQ(std::vector<std::wstring>{L"Last"}, clicks.Seen);

    // Closed without a choice: nothing runs.
    GKeys.clear();
    SetTimer(nullptr, 0, 50, PressKeys);
    popup->Popup(10, 10);
    EXPECT_EQ(1u, clicks.Seen.size());
}

namespace {

std::wstring EntryText(HMENU menu, int position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    return text;
}

bool EntryGrayed(HMENU menu, int position) {
    return (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_GRAYED) != 0;
}

// A form with the bar "&File" (Open, separator, Save disabled) and "&Help".
struct TMenuForm {
    TClicks Clicks;
    TOwned<TForm> Form{Create<TForm>(nullptr)};
    TMainMenu* Menu = Create<TMainMenu>(Form.get());
    TMenuItem* File = Item(Menu->Items(), L"&File", &Clicks);
    TMenuItem* Open = Item(File, L"&Open", &Clicks);
    TMenuItem* Line = Item(File, L"-", &Clicks);
    TMenuItem* Save = Item(File, L"&Save", &Clicks);
    TMenuItem* Help = Item(Menu->Items(), L"&Help", &Clicks);
    TMenuForm() {
        Save->SetEnabled(false);
        Form->SetBounds(100, 100, 300, 200);
        Form->SetMenu(Menu);
    }
    HMENU Bar() { return GetMenu(Form->Handle()); }
    HMENU FileMenu() { return GetSubMenu(Bar(), 0); }
    // The File menu enables Save when it opens, as a program does for commands that depend on
    // its state.
    void EnableSaveOnOpen() {
        File->SetOnClick(TNotifyEvent::Of<&TMenuForm::FileOpening>(this));
    }
    void FileOpening(TObject* sender) {
        Clicks.Click(sender);
        Save->SetEnabled(true);
    }
};

} // namespace

TEST(HostMainMenu, TheFormShowsTheBarAndKeepsItsClientSize) {
    TMenuForm f;
    f.Form->SetClientHeight(150);
    f.Form->Show();
    ASSERT_NE(f.Bar(), nullptr);
    EXPECT_EQ(f.Bar(), f.Menu->Handle());
    EXPECT_EQ(GetMenuItemCount(f.Bar()), 2);
    EXPECT_EQ(EntryText(f.Bar(), 0), L"&File");
    EXPECT_EQ(GetMenuItemCount(f.FileMenu()), 3);
    EXPECT_EQ(GetMenuState(f.FileMenu(), 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_TRUE(EntryGrayed(f.FileMenu(), 2));
    EXPECT_EQ(f.Form->ClientHeight(), 150);
    // A form whose size is given before its window exists counts the bar in the frame.
    TMenuForm g;
    g.Form->SetClientHeight(120);
    g.Form->SetClientWidth(260);
    g.Form->Show();
    RECT client = {};
    GetClientRect(g.Form->Handle(), &client);
    EXPECT_EQ(client.bottom, 120);
    EXPECT_EQ(client.right, 260);
}

TEST(HostMainMenu, EntriesFollowTheItemsWhileTheBarShows) {
    TMenuForm f;
    f.Form->Show();
    f.Save->SetEnabled(true);
    EXPECT_FALSE(EntryGrayed(f.FileMenu(), 2));
    f.Open->SetCaption(L"&Open...");
    EXPECT_EQ(EntryText(f.FileMenu(), 0), L"&Open...");
    TClicks clicks;
    Item(f.Help, L"&About", &clicks); // Help turns from a command into a sub-menu
    ASSERT_NE(GetSubMenu(f.Bar(), 1), nullptr);
    EXPECT_EQ(EntryText(GetSubMenu(f.Bar(), 1), 0), L"&About");
    Free(f.Line);
    EXPECT_EQ(GetMenuItemCount(f.FileMenu()), 2);
    // Commands reach their items through the form.
    SendMessageW(f.Form->Handle(), WM_COMMAND, MAKEWPARAM(GetMenuItemID(f.FileMenu(), 1), 0), 0);
    EXPECT_EQ(f.Clicks.Seen, std::vector<std::wstring>{L"&Save"});
}

TEST(HostMainMenu, AltAndTheAcceleratorOpenTheMenuWhoseOnClickEnablesTheCommandChosen) {
    TMenuForm f;
    f.EnableSaveOnOpen();
    f.Form->Show();
    PumpPending();
    // Alt+F opens File: its OnClick runs first and enables Save; Up wraps to Save, Enter runs it.
    // The menu's own loop reads the keys that follow, so they are all queued before it opens.
    ASSERT_TRUE(PressKey('F', {VK_MENU}));
    ASSERT_TRUE(PressKey(VK_UP));
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(PumpUntil([&] { return f.Clicks.Seen.size() == 2; }));
    EXPECT_EQ(f.Clicks.Seen, (std::vector<std::wstring>{L"&File", L"&Save"}));
}

TEST(HostMainMenu, AMenuFreedBeforeItsFormLeavesTheFormWithoutABar) {
    TMenuForm f;
    f.Form->Show();
    Free(f.Menu);
    EXPECT_EQ(f.Form->Menu(), nullptr);
    EXPECT_EQ(f.Bar(), nullptr);
    // The window made anew has no bar either, and a new menu attaches.
    f.Form->SetBorderStyle(bsSingle);
    EXPECT_EQ(f.Bar(), nullptr);
    auto* other = Create<TMainMenu>(f.Form.get());
    TClicks clicks;
    Item(other->Items(), L"&Other", &clicks);
    f.Form->SetMenu(other);
    EXPECT_EQ(EntryText(f.Bar(), 0), L"&Other");
    // Made anew, the window shows the same bar again.
    f.Form->SetBorderStyle(bsSizeable);
    EXPECT_EQ(f.Bar(), other->Handle());
}

TEST(HostMenus, CheckingARadioItemUnchecksItsGroupOnly) {
    TClicks clicks;
    TOwnedPtr<TMenuItem> root(Create<TMenuItem>(nullptr));
    TMenuItem* a = Item(root.get(), L"A", &clicks);
    TMenuItem* b = Item(root.get(), L"B", &clicks);
    TMenuItem* other = Item(root.get(), L"Other group", &clicks);
    TMenuItem* plain = Item(root.get(), L"Plain", &clicks);
    for (TMenuItem* i : {a, b, other}) i->SetRadioItem(true);
    other->SetGroupIndex(1);
    for (TMenuItem* i : {a, other, plain}) i->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(other->Checked());
    EXPECT_TRUE(plain->Checked());
}

namespace {
// Reads the check state of the first item of the open popup menu, then closes the menu.
bool gPopupFirstChecked = false;
void CALLBACK ReadOpenPopup(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu) return;
    KillTimer(nullptr, id);
    HMENU handle = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_FTYPE;
    gPopupFirstChecked =
        GetMenuItemInfoW(handle, 0, TRUE, &info) && (info.fState & MFS_CHECKED) && (info.fType & MFT_RADIOCHECK);
    EndMenu();
}
} // namespace

TEST(HostMenus, OnPopupRunsBeforeTheMenuShowsWhatItSetUp) {
    struct TSetUp {
        TMenuItem* Item = nullptr;
        int Calls = 0;
        void Popup(TObject*) {
            ++Calls;
            Item->SetChecked(true);
        }
    } setUp;
    TClicks clicks;
    TOwnedPtr<TPopupMenu> popup(Create<TPopupMenu>(nullptr));
    setUp.Item = Item(popup->Items(), L"Radio", &clicks);
    setUp.Item->SetRadioItem(true);
    popup->SetOnPopup(TNotifyEvent::Of<&TSetUp::Popup>(&setUp));
    gPopupFirstChecked = false;
    GKeys.clear();
    SetTimer(nullptr, 0, 50, ReadOpenPopup);
    popup->Popup(10, 10);
    EXPECT_EQ(setUp.Calls, 1);
    EXPECT_TRUE(gPopupFirstChecked);
}

TEST(HostMenus, AnItemLinkedToAnActionShowsItAndRunsIt) {
    struct TRuns {
        int Count = 0;
        void Run(TObject*) { ++Count; }
    } runs;
    TClicks clicks;
    TOwnedPtr<TAction> action(Create<TAction>(nullptr));
    action->SetCaption(L"&Save");
    action->SetOnExecute(TNotifyEvent::Of<&TRuns::Run>(&runs));
    TOwnedPtr<TMenuItem> root(Create<TMenuItem>(nullptr));
    TMenuItem* item = Item(root.get(), L"", &clicks);
    item->SetAction(action.get());
    EXPECT_EQ(item->Caption(), L"&Save");
    item->Click();
    EXPECT_EQ(runs.Count, 1);
    EXPECT_TRUE(clicks.Seen.empty()); // the action, not OnClick
    action->SetEnabled(false);
    EXPECT_FALSE(item->Enabled());
    action->SetEnabled(true);
    action->SetCaption(L"Save &all");
    EXPECT_EQ(item->Caption(), L"Save &all");
    action.reset();
    EXPECT_EQ(item->Action(), nullptr);
    item->Click();
    EXPECT_EQ(clicks.Seen, std::vector<std::wstring>{L"Save &all"});
}
