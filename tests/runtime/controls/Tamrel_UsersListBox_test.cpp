// The users list: real principals under Wine, and a scripted source for paging, endless answers,
// server names, one refresh per update bracket, long names, duplicates and the filter.
#include "runtime/controls/Tamrel_UsersListBox.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "tests/runtime/controls/FakeAccountSource.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class UsersListTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(40, 40, 300, 400);
    }
    TrkUsersListBox* MakeList() {
        auto* list = Create<TrkUsersListBox>(Form.get());
        list->SetBounds(5, 5, 280, 380);
        list->SetParent(Form.get()); // the first refresh
        return list;
    }
    int IndexOf(TrkUsersListBox* list, const std::wstring& name) {
        for (int i = 0; i < list->Count(); ++i)
            if (SameText(list->Users(i)->UserName(), name)) return i;
        return -1;
    }
    TOwned<TForm> Form;
};

TEST_F(UsersListTest, ListsTheWineUserEveryoneAndAdministratorsAndTheGroupsFailure) {
    auto* list = MakeList();
    ASSERT_GT(list->Count(), 0);
    EXPECT_GE(IndexOf(list, L"root"), 0);
    int everyone = IndexOf(list, L"Everyone");
    int admins = IndexOf(list, L"Administrators");
    ASSERT_GE(everyone, 0);
    ASSERT_GE(admins, 0);
    EXPECT_EQ(list->Users(everyone)->WellKnown(), wkWorld);
    EXPECT_EQ(list->Users(admins)->SidType(), stAlias);
    EXPECT_EQ(list->Users(admins)->SidString(), L"S-1-5-32-544");
    EXPECT_EQ(list->Items()->Count(), list->Count());
    // Wine refuses the global groups with 5: its text is noted, the rest stays.
    bool denied = false;
    for (int i = 0; i < list->Errors()->Count(); ++i)
        if (list->Errors()->Get(i).find(L"Code: 5.") != std::wstring::npos) denied = true;
    EXPECT_TRUE(denied) << ToUtf8(list->Errors()->Text());
    Form->Show();
    auto capture = CaptureControl(list);
    SaveCapture(*capture, L"UsersList");
    // The Everyone row shows its glyph.
    TBitmap* glyph = RkGetSidGlyph(wkWorld, stWellKnownGroup);
    RECT r = list->ItemRect(everyone);
    if (r.bottom <= list->ClientHeight()) {
        EXPECT_TRUE(ShowsGlyph(*capture, r.left + (24 - glyph->Width()) / 2, r.top + (RectHeight(r) - glyph->Height()) / 2,
                               *glyph));
    }
}

TEST_F(UsersListTest, PagesOfUsersAreAllCollectedAndEachBufferFreed) {
    TFakeNet net;
    net.UserPages = {{L"root"}, {L"SYSTEM"}, {L"Administrators"}};
    auto* list = MakeList();
    EXPECT_EQ(net.UserCalls, 3);
    EXPECT_EQ(net.UserPreferred[0], 1u);
    EXPECT_GE(IndexOf(list, L"root"), 0);
    EXPECT_GE(IndexOf(list, L"SYSTEM"), 0);
    EXPECT_EQ(net.Frees, net.Allocs);
    // Administrators came as a well-known alias, a "user" and a local group: listed once.
    int n = 0;
    for (int i = 0; i < list->Count(); ++i)
        if (SameText(list->Users(i)->UserName(), L"Administrators")) ++n;
    EXPECT_EQ(n, 1);
}

TEST_F(UsersListTest, EndlessMoreDataAnswersEndWithAnErrorText) {
    TFakeNet net;
    net.UsersAlwaysMoreData = true;
    auto* list = MakeList();
    // 1, 2, 4 ... 2^31, then everything: 33 calls, then the step gives up.
    EXPECT_EQ(net.UserCalls, 33);
    EXPECT_EQ(net.UserPreferred.back(), MAX_PREFERRED_LENGTH);
    ASSERT_GE(list->Errors()->Count(), 1);
    EXPECT_NE(list->Errors()->Get(0).find(L"Code: 234."), std::wstring::npos) << ToUtf8(list->Errors()->Text());
    EXPECT_GE(IndexOf(list, L"Administrators"), 0); // the local groups still came
}

TEST_F(UsersListTest, ServerIsPassedWithBackslashesAndEmptyMeansNone) {
    TFakeNet net;
    auto* list = MakeList();
    ASSERT_FALSE(net.ServersSeen.empty());
    for (const auto& s : net.ServersSeen) EXPECT_EQ(s, L"(nil)");
    net.ServersSeen.clear();
    list->SetServer(L"FAKEPC");
    ASSERT_FALSE(net.ServersSeen.empty());
    for (const auto& s : net.ServersSeen) EXPECT_EQ(s, L"\\\\FAKEPC");
}

TEST_F(UsersListTest, ChangesInsideAnUpdateBracketRefreshOnceAtTheEnd) {
    TFakeNet net;
    auto* list = MakeList();
    const int calls = net.UserCalls;
    list->BeginUpdate();
    list->SetServer(L"DC-ONE");
    list->SetDomain(L"");
    list->BeginUpdate();
    list->SetFilter(TrkSidTypes{stUser, stAlias});
    list->EndUpdate();
    EXPECT_EQ(net.UserCalls, calls);
    list->EndUpdate();
    EXPECT_EQ(net.UserCalls, calls + 1);
    list->EndUpdate(); // one too many: no refresh, and the counter is back at 0
    EXPECT_EQ(net.UserCalls, calls + 1);
    list->SetDomain(L"");
    EXPECT_EQ(net.UserCalls, calls + 2);
}

TEST_F(UsersListTest, LongNamesAreLookedUpAgainWithTheSizesGiven) {
    TFakeNet net;
    net.LongNames = true;
    auto* list = MakeList();
    EXPECT_GE(IndexOf(list, L"root"), 0);
    EXPECT_GT(net.LookupCalls, list->Count());
}

TEST_F(UsersListTest, FilterShowFullNameAndSelectedSid) {
    TFakeNet net;
    auto* list = MakeList();
    ASSERT_GE(IndexOf(list, L"Everyone"), 0);
    list->SetFilter(TrkSidTypes{stUser, stAlias});
    EXPECT_LT(IndexOf(list, L"Everyone"), 0); // a well-known group, resolved but not listed
    int admins = IndexOf(list, L"Administrators");
    ASSERT_GE(admins, 0);
    list->SetShowFullName(true);
    EXPECT_EQ(list->Items()->Get(admins), list->Users(admins)->Domain() + L"\\Administrators");
    PSID sid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-32-544", &sid));
    list->SetSelectedSid(sid);
    EXPECT_EQ(list->ItemIndex(), admins);
    EXPECT_TRUE(EqualSid(list->SelectedSid(), sid));
    LocalFree(sid);
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1-2-3-1234", &sid));
    list->SetSelectedSid(sid);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->SelectedSid(), nullptr);
    LocalFree(sid);
}

TEST_F(UsersListTest, WithoutParentNothingIsCollected) {
    TFakeNet net;
    TOwned<TrkUsersListBox> orphan(Create<TrkUsersListBox>(nullptr));
    orphan->Refresh();
    EXPECT_EQ(orphan->Count(), 0);
    EXPECT_EQ(net.UserCalls, 0);
}

} // namespace
