// The users combo: the same collection as the list, but a failure while adding a principal ends
// the refresh.
#include "runtime/controls/Tamrel_UsersComboBox.h"

#include "host/Forms.h"
#include "tests/runtime/controls/FakeAccountSource.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

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

} // namespace
