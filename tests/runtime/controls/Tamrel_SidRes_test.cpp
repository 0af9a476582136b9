// Account glyphs and indices, and the resolved-account record.
#include "runtime/controls/Tamrel_SidRes.h"

#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <set>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TEST(SidGlyphs, WellKnownEntryWinsAndTheLastNineAreEmpty) {
    TBitmap* user = RkGetSidGlyph(wkOther, stUser);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->Width(), 20);
    EXPECT_EQ(user->Height(), 20);
    ASSERT_NE(RkGetSidGlyph(wkOther, stGroup), nullptr);
    EXPECT_FALSE(RkGetSidGlyph(wkOther, stGroup)->Empty());
    for (TrkSidType t : {stDomain, stAlias, stWellKnownGroup, stDeletedAccount, stInvalid, stUnknown})
        EXPECT_EQ(RkGetSidGlyph(wkOther, t), nullptr) << t;
    // wkSelf has its own (empty) entry: no fallback to the user glyph.
    TBitmap* self = RkGetSidGlyph(wkSelf, stUser);
    ASSERT_NE(self, nullptr);
    EXPECT_NE(self, user);
    EXPECT_TRUE(self->Empty());
    for (TrkWellKnownSid wk : {wkSelf, wkRestricted, wkTerminalServer, wkComputers, wkControllers, wkCertAdmins,
                               wkSchemaAdmins, wkEnterpriseAdmins, wkPolicyAdmins})
        EXPECT_TRUE(RkGetSidGlyph(wk, stGroup)->Empty()) << wk;
    // Shipped glyphs: 20 x 20, all distinct objects; values without an entry take the type's.
    std::set<TBitmap*> shipped;
    for (TrkWellKnownSid wk : {wkWorld, wkCreatorOwner, wkDialup, wkNetwork, wkBatch, wkInteractive, wkService,
                               wkAnonymous, wkBuildIn, wkAuthenticated, wkLocalSystem, wkAdmin, wkGuest, wkAdminsGroup,
                               wkUsersGroup, wkGuestsGroup, wkAdminsAlias, wkUsersAlias, wkGuestsAlias,
                               wkPowerUsersAlias, wkBackupOpsAlias, wkReplicatorAlias}) {
        TBitmap* g = RkGetSidGlyph(wk, stAlias);
        ASSERT_NE(g, nullptr) << wk;
        EXPECT_EQ(g->Width(), 20) << wk;
        shipped.insert(g);
    }
    EXPECT_EQ(shipped.size(), 22u);
    for (TrkWellKnownSid wk : {wkCurrentUser, wkNull, wkLocal, wkCreatorGroup, wkProxy, wkAccountOpsAlias})
        EXPECT_EQ(RkGetSidGlyph(wk, stUser), user) << wk;
}

TEST(SidGlyphs, EveryAccountHasItsOwnIndex) {
    std::set<int> indices;
    for (int wk = wkCurrentUser; wk <= wkPolicyAdmins; ++wk) {
        int i = RkGetSidGlyphIndex(static_cast<TrkWellKnownSid>(wk), stUser);
        EXPECT_EQ(i, wk - 1);
        indices.insert(i);
    }
    EXPECT_EQ(RkGetSidGlyphIndex(wkCurrentUser, stGroup), 0);
    EXPECT_EQ(RkGetSidGlyphIndex(wkPolicyAdmins, stGroup), 40);
    // The types follow the well-known values without sharing one (stUser is not 40).
    for (int t = stUser; t <= stUnknown; ++t) {
        int i = RkGetSidGlyphIndex(wkOther, static_cast<TrkSidType>(t));
        EXPECT_EQ(i, 41 + t);
        indices.insert(i);
    }
    EXPECT_EQ(indices.size(), 49u);
}

TEST(SidGlyphs, NameUseMapsToTypeAndLaterKindsAreUnknown) {
    EXPECT_EQ(SidTypeFromNameUse(SidTypeUser), stUser);
    EXPECT_EQ(SidTypeFromNameUse(SidTypeAlias), stAlias);
    EXPECT_EQ(SidTypeFromNameUse(SidTypeUnknown), stUnknown);
    EXPECT_EQ(SidTypeFromNameUse(static_cast<SID_NAME_USE>(9)), stUnknown); // a computer
    EXPECT_EQ(SidTypeFromNameUse(static_cast<SID_NAME_USE>(0)), stUnknown);
}

TEST(UserInfo, RecordOwnsItsCopyOfTheSid) {
    PSID sid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-32-544", &sid));
    auto info = std::make_unique<TrkUserInfo>(L"BUILTIN", L"Administrators", stAlias, sid, L"S-1-5-32-544",
                                              wkAdminsAlias);
    EXPECT_NE(info->Sid(), sid);
    LocalFree(sid); // the caller's SID goes; the record's copy stays
    PSID again = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-32-544", &again));
    EXPECT_TRUE(EqualSid(info->Sid(), again));
    LocalFree(again);
    EXPECT_EQ(info->Domain(), L"BUILTIN");
    EXPECT_EQ(info->UserName(), L"Administrators");
    EXPECT_EQ(info->SidType(), stAlias);
    EXPECT_EQ(info->SidString(), L"S-1-5-32-544");
    EXPECT_EQ(info->WellKnown(), wkAdminsAlias);

    TrkUserInfo none(L"", L"", stUnknown, nullptr, L"", wkOther);
    EXPECT_EQ(none.Sid(), nullptr);
}

} // namespace
