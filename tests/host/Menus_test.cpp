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
