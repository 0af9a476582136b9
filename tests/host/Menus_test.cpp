#include "host/Menus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tamrel;

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
