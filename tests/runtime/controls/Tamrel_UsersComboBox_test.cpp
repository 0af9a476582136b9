// The users combo: the same collection as the list, but a failure while adding a principal ends
// the refresh.
#include "runtime/controls/Tamrel_UsersComboBox.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "runtime/controls/internal/Tamrel_UsersPickerInternal.h"
#include "tests/runtime/controls/FakeAccountSource.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TEST(UsersComboBox, CollectsTheScriptedPrincipalsAndDrawsThemOwnerDrawn) {
    TFakeNet net;
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* combo = Create<TrkUsersComboBox>(form.get());
    combo->SetParent(form.get());
    combo->SetFilter(TrkSidTypes{stUser, stAlias});
    bool root = false, admins = false;
    for (int i = 0; i < combo->Count(); ++i) {
        root = root || SameText(combo->Users(i)->UserName(), L"root");
        admins = admins || SameText(combo->Users(i)->UserName(), L"Administrators");
        EXPECT_TRUE(combo->Users(i)->SidType() == stUser || combo->Users(i)->SidType() == stAlias);
    }
    EXPECT_TRUE(root);
    EXPECT_TRUE(admins);
    form->HandleNeeded();
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), combo->Count());
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), 22);
}

// A combo on a form of its own, with the principals of the scripted source.
struct TShownCombo {
    TFakeNet Net;
    TOwned<TForm> Form{Create<TForm>(nullptr)};
    TrkUsersComboBox* Combo = Create<TrkUsersComboBox>(Form.get());
    TShownCombo() {
        Form->SetBounds(40, 420, 300, 100);
        Combo->SetBounds(10, 10, 250, 24);
        Combo->SetParent(Form.get());
    }
    // The selection field as the system keeps it.
    RECT Field() {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetComboBoxInfo(Combo->Handle(), &info));
        return info.rcItem;
    }
};

TEST(UsersComboBox, ARefreshKeepsTheSelectedPrincipalNotItsPlace) {
    TShownCombo shown;
    TrkUsersComboBox* combo = shown.Combo;
    auto select = [&](const std::wstring& name) {
        for (int i = 0; i < combo->Count(); ++i)
            if (SameText(combo->Users(i)->UserName(), name)) combo->SetItemIndex(i);
        ASSERT_GE(combo->ItemIndex(), 0) << ToUtf8(name);
    };
    // The user moves to the front of a list of users only.
    select(L"root");
    const std::wstring root = combo->Users(combo->ItemIndex())->SidString();
    combo->SetFilter(TrkSidTypes{stUser});
    ASSERT_NE(combo->SelectedSid(), nullptr);
    EXPECT_EQ(combo->Users(combo->ItemIndex())->SidString(), root);
    // A principal the new list does not hold leaves nobody selected.
    combo->SetFilter(kDefaultUserFilter);
    select(L"Everyone");
    combo->SetFilter(TrkSidTypes{stUser, stAlias});
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->SelectedSid(), nullptr);
}

TEST(UsersComboBox, TheSelectionFieldIsAsHighAsAnItemAfterTheFontChangesAndGreyWhenDisabled) {
    TShownCombo shown;
    TrkUsersComboBox* combo = shown.Combo;
    shown.Form->Show();
    // A font set after the window was made, as a stored form does.
    combo->Font()->SetSize(9);
    PSID world = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-1-0", &world));
    combo->SetSelectedSid(world);
    LocalFree(world);
    ASSERT_GE(combo->ItemIndex(), 0);
    // The field as the system keeps it, and as it is drawn: the selected item's highlight beside
    // its name is as high as an item (less the focus rectangle's top and bottom rows).
    const RECT field = shown.Field();
    EXPECT_GE(RectHeight(field), combo->DefaultItemHeight());
    auto capture = CaptureControl(combo);
    SaveCapture(*capture, L"UsersComboSelection");
    const COLORREF grey = ColorToRGB(clGrayText), normal = ColorToRGB(clWindowText),
                   highlight = ColorToRGB(clHighlight);
    int rows = 0;
    for (int y = 0; y < capture->Height(); ++y)
        if (PixelOf(*capture, field.right - 4, y) == highlight) ++rows;
    EXPECT_GE(rows, combo->DefaultItemHeight() - 2) << "rows of the selected item's highlight";

    // Disabled, the name (right of the glyph column) is drawn grey, in none of the normal colours.
    combo->SetEnabled(false);
    capture = CaptureControl(combo);
    SaveCapture(*capture, L"UsersComboDisabled");
    const RECT name = {field.left + 24, field.top, field.right, field.bottom};
    EXPECT_GT(CountPixels(*capture, name, {grey}), 10) << "grey pixels of the disabled combo's name";
    EXPECT_EQ(CountPixels(*capture, name, {normal, highlight}), 0) << "the disabled combo's name in normal colours";
}


} // namespace
