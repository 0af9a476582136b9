// The source combo: the computer first, then the domains whose controller answers; a network
// without browsing has the computer only; other enumeration failures raise.
#include "runtime/controls/Tamrel_SidSourceComboBox.h"

#include "host/forms/Forms.h"
#include "tests/runtime/controls/FakeAccountSource.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TEST(SidSourceComboBox, UnderWineHoldsTheComputerOnly) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* combo = Create<TrkSidSourceComboBox>(form.get());
    combo->SetParent(form.get());
    ASSERT_EQ(combo->Count(), 1);
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &size));
    EXPECT_EQ(combo->SidSources(0)->Domain(), name);
    EXPECT_EQ(combo->SidSources(0)->Server(), L"");
    EXPECT_EQ(combo->SidSources(0)->ImageIndex(), 0);
}

TEST(SidSourceComboBox, DomainsWithAControllerFollowTheComputer) {
    TFakeNet net;
    net.ComputerName = L"ABCDEFGHIJKLMNO"; // 15 characters, the longest a computer name has
    net.Domains = {L"EAST", L"WEST", L"LOST"};
    net.ReachableDomains = {L"EAST", L"WEST"};
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* combo = Create<TrkSidSourceComboBox>(form.get());
    combo->SetParent(form.get());
    ASSERT_EQ(combo->Count(), 3);
    EXPECT_EQ(combo->SidSources(0)->DisplayName(), L"ABCDEFGHIJKLMNO");
    EXPECT_EQ(combo->SidSources(1)->Domain(), L"EAST");
    EXPECT_EQ(combo->SidSources(1)->Server(), L"DC-EAST");
    EXPECT_EQ(combo->SidSources(1)->ImageIndex(), 1);
    EXPECT_EQ(combo->SidSources(2)->Domain(), L"WEST");
    EXPECT_EQ(combo->Items()->ToVector(), (std::vector<std::wstring>{L"ABCDEFGHIJKLMNO", L"EAST", L"WEST"}));
    EXPECT_EQ(net.Frees, net.Allocs);
}

TEST(SidSourceComboBox, NoBrowserMeansNoDomainsAndOtherFailuresRaise) {
    TFakeNet net;
    net.ServerStatus = ERROR_NO_BROWSER_SERVERS_FOUND;
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* combo = Create<TrkSidSourceComboBox>(form.get());
    combo->SetParent(form.get());
    EXPECT_EQ(combo->Count(), 1);
    net.ServerStatus = ERROR_ACCESS_DENIED;
    try {
        combo->Refresh();
        ADD_FAILURE() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(combo->Count(), 1); // the computer stays
    net.ComputerName = L"";       // a failing name call leaves the first record's name empty
    net.ServerStatus = NERR_Success;
    combo->Refresh();
    EXPECT_EQ(combo->SidSources(0)->Domain(), L"");
}

} // namespace
