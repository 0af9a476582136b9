#include "runtime/security/Tamrel_AclCenter.h"
#include "tests/runtime/security/SecurityTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <ostream>
#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TAclCenterPtr = std::unique_ptr<TrkAclCenter, TFreeComponent>;
TAclCenterPtr NewAclCenter() { return TAclCenterPtr(Create<TrkAclCenter>(nullptr)); }

// One ACE as read back with GetAce.
struct TAce {
    int Type;
    int Flags;
    DWORD Mask;
    std::wstring Sid;
    bool operator==(const TAce&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TAce& a) {
    return os << "{type " << a.Type << ", flags 0x" << std::hex << a.Flags << ", mask 0x" << a.Mask << std::dec << ", "
              << WideToUtf8(a.Sid) << "}";
}

std::vector<TAce> ReadAces(PACL acl) {
    std::vector<TAce> aces;
    if (!acl) return aces;
    ACL_SIZE_INFORMATION info{};
    if (!GetAclInformation(acl, &info, sizeof(info), AclSizeInformation)) RaiseLastOSError();
    for (DWORD i = 0; i < info.AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(acl, i, &raw)) RaiseLastOSError();
        auto ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        aces.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask, SidText(&ace->SidStart)});
    }
    return aces;
}

constexpr int Allow = ACCESS_ALLOWED_ACE_TYPE;
constexpr int Deny = ACCESS_DENIED_ACE_TYPE;
constexpr int Audit = SYSTEM_AUDIT_ACE_TYPE;
constexpr int Success = SUCCESSFUL_ACCESS_ACE_FLAG;
constexpr int Failure = FAILED_ACCESS_ACE_FLAG;

struct TEntry {
    ACCESS_MODE Mode;
    DWORD Mask;
    const wchar_t* Sid;
    DWORD Inheritance = 0;
};

// The SIDs the cases name, kept alive for the whole test.
class TSidPool {
public:
    PSID Get(const wchar_t* text) {
        for (auto& s : FSids)
            if (s.first == text) return s.second->Get();
        FSids.emplace_back(text, std::make_unique<TStringSid>(text));
        return FSids.back().second->Get();
    }

private:
    std::vector<std::pair<std::wstring, std::unique_ptr<TStringSid>>> FSids;
};

void AddEntries(TrkAclCenter& center, TSidPool& sids, const std::vector<TEntry>& entries) {
    for (const auto& e : entries) {
        EXPLICIT_ACCESS_W* record = center.AddEntry();
        record->grfAccessMode = e.Mode;
        record->grfAccessPermissions = e.Mask;
        record->grfInheritance = e.Inheritance;
        record->Trustee.TrusteeForm = TRUSTEE_IS_SID;
        record->Trustee.ptstrName = static_cast<LPWSTR>(sids.Get(e.Sid));
    }
}

const wchar_t* const X = L"S-1-5-32-545";
const wchar_t* const Y = L"S-1-5-32-546";

} // namespace

TEST(AclCenter, StartsAsAValidNilAcl) {
    auto c = NewAclCenter();
    EXPECT_TRUE(c->MergeMasks());
    EXPECT_EQ(nullptr, c->GetACL());
    EXPECT_FALSE(c->IsEntries());
    EXPECT_EQ(0, c->EntryCount());
    EXPECT_EQ(nullptr, c->GetACLCopy());
}

TEST(AclCenter, MergeRules) {
    struct Case {
        const char* name;
        bool merge;
        std::vector<TEntry> entries;
        std::vector<TAce> aces;
    } cases[] = {
        {"grant + grant", true, {{GRANT_ACCESS, 1, X}, {GRANT_ACCESS, 2, X}}, {{Allow, 0, 3, X}}},
        {"grant + grant unmerged", false, {{GRANT_ACCESS, 1, X}, {GRANT_ACCESS, 2, X}}, {{Allow, 0, 2, X}, {Allow, 0, 1, X}}},
        {"grant + grant, other inheritance", true,
         {{GRANT_ACCESS, 1, X}, {GRANT_ACCESS, 2, X, CONTAINER_INHERIT_ACE}},
         {{Allow, CONTAINER_INHERIT_ACE, 2, X}, {Allow, 0, 1, X}}},
        {"grant + deny", true, {{GRANT_ACCESS, 3, X}, {DENY_ACCESS, 1, X}}, {{Deny, 0, 1, X}, {Allow, 0, 2, X}}},
        {"grant + deny unmerged", false, {{GRANT_ACCESS, 3, X}, {DENY_ACCESS, 1, X}}, {{Deny, 0, 1, X}, {Allow, 0, 3, X}}},
        {"deny + deny", true, {{DENY_ACCESS, 1, X}, {DENY_ACCESS, 4, X}}, {{Deny, 0, 5, X}}},
        {"deny + grant of part", true, {{DENY_ACCESS, 3, X}, {GRANT_ACCESS, 1, X}}, {{Deny, 0, 2, X}, {Allow, 0, 1, X}}},
        {"deny + grant of all", true, {{DENY_ACCESS, 1, X}, {GRANT_ACCESS, 1, X}}, {{Allow, 0, 1, X}}},
        {"grant + deny of all", true, {{GRANT_ACCESS, 1, X}, {DENY_ACCESS, 1, X}}, {{Deny, 0, 1, X}}},
        {"set replaces grants and denials whatever the inheritance", true,
         {{GRANT_ACCESS, 1, X}, {DENY_ACCESS, 4, X, OBJECT_INHERIT_ACE}, {SET_AUDIT_SUCCESS, 2, X},
          {GRANT_ACCESS, 16, Y}, {SET_ACCESS, 8, X}},
         {{Audit, Success, 2, X}, {Allow, 0, 8, X}, {Allow, 0, 16, Y}}},
        {"revoke removes every item of the SID", true,
         {{GRANT_ACCESS, 1, X}, {SET_AUDIT_FAILURE, 2, X}, {DENY_ACCESS, 4, X, CONTAINER_INHERIT_ACE},
          {GRANT_ACCESS, 8, Y}, {REVOKE_ACCESS, 0, X}},
         {{Allow, 0, 8, Y}}},
        {"audit success + success", true, {{SET_AUDIT_SUCCESS, 1, X}, {SET_AUDIT_SUCCESS, 2, X}}, {{Audit, Success, 3, X}}},
        {"audit failure + failure", true, {{SET_AUDIT_FAILURE, 1, X}, {SET_AUDIT_FAILURE, 2, X}}, {{Audit, Failure, 3, X}}},
        {"audit success + failure", true, {{SET_AUDIT_SUCCESS, 1, X}, {SET_AUDIT_FAILURE, 2, X}},
         {{Audit, Failure, 2, X}, {Audit, Success, 1, X}}},
        {"audit unmerged", false, {{SET_AUDIT_SUCCESS, 1, X}, {SET_AUDIT_SUCCESS, 2, X}},
         {{Audit, Success, 2, X}, {Audit, Success, 1, X}}},
        {"audit, deny, allow", true, {{GRANT_ACCESS, 1, X}, {SET_AUDIT_SUCCESS, 2, Y}, {DENY_ACCESS, 4, Y}},
         {{Audit, Success, 2, Y}, {Deny, 0, 4, Y}, {Allow, 0, 1, X}}},
        {"not used does nothing", true, {{NOT_USED_ACCESS, 1, X}, {GRANT_ACCESS, 2, Y}}, {{Allow, 0, 2, Y}}},
        {"later entries first", true, {{GRANT_ACCESS, 1, X}, {GRANT_ACCESS, 2, Y}}, {{Allow, 0, 2, Y}, {Allow, 0, 1, X}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSidPool sids;
        auto center = NewAclCenter();
        center->SetMergeMasks(c.merge);
        AddEntries(*center, sids, c.entries);
        PACL acl = center->GetACL();
        ASSERT_NE(nullptr, acl);
        EXPECT_TRUE(IsValidAcl(acl));
        EXPECT_EQ(c.aces, ReadAces(acl));
        // The center's own entries are not changed by the build.
        EXPECT_EQ(static_cast<int32_t>(c.entries.size()), center->EntryCount());
    }
}

TEST(AclCenter, DenyBeforeAllowOnAKernelObject) {
    TSidPool sids;
    auto center = NewAclCenter();
    AddEntries(*center, sids,
               {{GRANT_ACCESS, EVENT_MODIFY_STATE, X}, {GRANT_ACCESS, SYNCHRONIZE, X}, {DENY_ACCESS, EVENT_MODIFY_STATE, X}});
    const std::vector<TAce> expected = {{Deny, 0, EVENT_MODIFY_STATE, X}, {Allow, 0, SYNCHRONIZE, X}};
    ASSERT_EQ(expected, ReadAces(center->GetACL()));

    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind == 0 ? "event" : "mutex");
        TKernelHandle object(kind == 0 ? CreateEventW(nullptr, TRUE, FALSE, nullptr)
                                       : CreateMutexW(nullptr, FALSE, nullptr));
        ASSERT_TRUE(object);
        ASSERT_EQ(DWORD(ERROR_SUCCESS), SetSecurityInfo(object.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                                        nullptr, nullptr, center->GetACL(), nullptr));
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), GetSecurityInfo(object.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION,
                                                        nullptr, nullptr, &dacl, nullptr, &sd));
        TLocalMem sdOwner(sd);
        EXPECT_EQ(expected, ReadAces(dacl));

        auto back = NewAclCenter();
        back->SetACL(dacl);
        ASSERT_EQ(2, back->EntryCount());
        EXPECT_EQ(DWORD(DENY_ACCESS), DWORD(back->Entries(0)->grfAccessMode));
        EXPECT_EQ(DWORD(EVENT_MODIFY_STATE), back->Entries(0)->grfAccessPermissions);
        EXPECT_EQ(DWORD(GRANT_ACCESS), DWORD(back->Entries(1)->grfAccessMode));
        EXPECT_EQ(X, SidText(back->Entries(1)->Trustee.ptstrName));
    }
}

TEST(AclCenter, AuditInheritanceSurvivesAclToEntriesToAcl) {
    TSidPool sids;
    auto center = NewAclCenter();
    AddEntries(*center, sids, {{SET_AUDIT_SUCCESS, GENERIC_WRITE, X, SUB_CONTAINERS_AND_OBJECTS_INHERIT}});
    const std::vector<TAce> expected = {{Audit, Success | OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_WRITE, X}};
    ASSERT_EQ(expected, ReadAces(center->GetACL()));

    // Read back as entries (the flag byte whole), then built again: the same ACE.
    auto again = NewAclCenter();
    again->SetACL(center->GetACL());
    ASSERT_EQ(1, again->EntryCount());
    EXPECT_EQ(DWORD(SET_AUDIT_SUCCESS), DWORD(again->Entries(0)->grfAccessMode));
    EXPECT_EQ(DWORD(Success | SUB_CONTAINERS_AND_OBJECTS_INHERIT), again->Entries(0)->grfInheritance);
    again->SetIsEntries(true); // the entry form becomes the one to build from
    EXPECT_EQ(expected, ReadAces(again->GetACL()));
}

TEST(AclCenter, BothFlagsAuditAceSplitsIntoTwoEntries) {
    BYTE buffer[128];
    auto acl = reinterpret_cast<PACL>(buffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof(buffer), ACL_REVISION));
    TStringSid x(X);
    ASSERT_TRUE(AddAuditAccessAceEx(acl, ACL_REVISION, CONTAINER_INHERIT_ACE, GENERIC_READ, x.Get(), TRUE, TRUE));
    ASSERT_EQ(Success | Failure | CONTAINER_INHERIT_ACE, ReadAces(acl)[0].Flags);

    auto c = NewAclCenter();
    c->SetACL(acl);
    ASSERT_EQ(2, c->EntryCount());
    EXPECT_EQ(DWORD(SET_AUDIT_SUCCESS), DWORD(c->Entries(0)->grfAccessMode));
    EXPECT_EQ(DWORD(SET_AUDIT_FAILURE), DWORD(c->Entries(1)->grfAccessMode));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(DWORD(Success | Failure | CONTAINER_INHERIT_ACE), c->Entries(i)->grfInheritance);
    c->SetIsEntries(true); // rebuild from the entries, which keep the order they were read in
    const std::vector<TAce> rebuilt = {{Audit, Success | CONTAINER_INHERIT_ACE, GENERIC_READ, X},
                                       {Audit, Failure | CONTAINER_INHERIT_ACE, GENERIC_READ, X}};
    EXPECT_EQ(rebuilt, ReadAces(c->GetACL()));
}

TEST(AclCenter, EntriesReadFromAnAclKeepTheirPlaceAndAddedOnesGoByTheRules) {
    const wchar_t* const Z = L"S-1-5-32-547";
    // Not in the center's own order: an explicit allow, then inherited entries.
    TSidPool sids;
    std::vector<BYTE> buffer(512);
    auto acl = reinterpret_cast<PACL>(buffer.data());
    ASSERT_TRUE(InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, 0, 1, sids.Get(X)));
    ASSERT_TRUE(AddAccessDeniedAceEx(acl, ACL_REVISION, INHERITED_ACE, 2, sids.Get(Y)));
    ASSERT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, INHERITED_ACE, 4, sids.Get(Y)));
    const std::vector<TAce> read = {{Allow, 0, 1, X}, {Deny, INHERITED_ACE, 2, Y}, {Allow, INHERITED_ACE, 4, Y}};

    auto c = NewAclCenter();
    c->SetMergeMasks(false);
    c->SetACL(acl);
    c->SetIsEntries(true); // built again from the entries
    EXPECT_EQ(read, ReadAces(c->GetACL()));
    // Added entries: denies first, allows ahead of the first allow read.
    AddEntries(*c, sids, {{GRANT_ACCESS, 8, Z}, {DENY_ACCESS, 16, Z}});
    EXPECT_EQ((std::vector<TAce>{{Deny, 0, 16, Z}, {Allow, 0, 8, Z}, read[0], read[1], read[2]}), ReadAces(c->GetACL()));
    // A row rewritten keeps its place, with a trustee of the center's own: the caller's goes.
    {
        TStringSid x(X);
        EXPLICIT_ACCESS_W e = *c->Entries(1);
        e.grfAccessPermissions = 32;
        e.Trustee.ptstrName = static_cast<LPWSTR>(x.Get());
        c->SetEntries(1, e);
    }
    c->DeleteEntry(0);
    EXPECT_EQ((std::vector<TAce>{{Deny, 0, 16, Z}, {Allow, 0, 8, Z}, {Deny, INHERITED_ACE, 32, X}, read[2]}),
              ReadAces(c->GetACL()));
}

TEST(AclCenter, EntryWithoutTrusteeFailsTheBuild) {
    TSidPool sids;
    auto c = NewAclCenter();
    AddEntries(*c, sids, {{GRANT_ACCESS, 1, X}});
    EXPLICIT_ACCESS_W* revoke = c->AddEntry();
    revoke->grfAccessMode = REVOKE_ACCESS; // trustee left nil
    try {
        c->GetACL();
        FAIL() << "an entry without trustee was built";
    } catch (const EOSError& e) {
        EXPECT_EQ(DWORD(ERROR_INVALID_SID), e.ErrorCode());
    }
    // An unused entry without trustee is simply skipped.
    revoke->grfAccessMode = NOT_USED_ACCESS;
    c->SetIsEntries(true);
    EXPECT_EQ((std::vector<TAce>{{Allow, 0, 1, X}}), ReadAces(c->GetACL()));
    // A fresh record has no trustee yet either.
    c->InsertEntry(0);
    EXPECT_THROW(c->GetACL(), EOSError);
}

TEST(AclCenter, NoAclAndEmptyAcl) {
    TSidPool sids;
    auto c = NewAclCenter();
    AddEntries(*c, sids, {{GRANT_ACCESS, 1, X}});
    c->SetIsEntries(false);
    EXPECT_EQ(0, c->EntryCount());
    EXPECT_EQ(nullptr, c->GetACL());
    c->SetIsEntries(true);
    PACL empty = c->GetACL();
    ASSERT_NE(nullptr, empty);
    EXPECT_TRUE(IsValidAcl(empty));
    EXPECT_EQ(0u, empty->AceCount);

    c->SetACL(nullptr);
    EXPECT_FALSE(c->IsEntries());
    EXPECT_EQ(0, c->EntryCount());
}

TEST(AclCenter, FormsThatAreNotReady) {
    auto c = NewAclCenter();
    c->CleanEntries();
    c->CleanACL();
    try {
        c->GetACL();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Explicit Access Data is not ready", e.Message());
    }
    try {
        c->EntryCount();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"ACL is not ready", e.Message());
    }
}

TEST(AclCenter, EntryChangesStartFromTheCurrentAcl) {
    TSidPool sids;
    auto c = NewAclCenter();
    AddEntries(*c, sids, {{GRANT_ACCESS, 1, X}});
    ASSERT_NE(nullptr, c->GetACL());
    // A new ACL replaces the entries: changes to the entry form apply to its entries.
    auto other = NewAclCenter();
    AddEntries(*other, sids, {{DENY_ACCESS, 2, Y}});
    c->SetACL(other->GetACL());
    c->SetIsEntries(true);
    EXPECT_EQ((std::vector<TAce>{{Deny, 0, 2, Y}}), ReadAces(c->GetACL()));

    c->SetACL(other->GetACL());
    EXPLICIT_ACCESS_W e = *other->Entries(0);
    e.grfAccessPermissions = 6;
    c->SetEntries(0, e);
    EXPECT_EQ((std::vector<TAce>{{Deny, 0, 6, Y}}), ReadAces(c->GetACL()));

    EXPECT_THROW(c->Entries(1), EListError);
    EXPECT_THROW(c->InsertEntry(2), EListError);
    EXPECT_THROW(c->DeleteEntry(-1), EListError);
}

TEST(AclCenter, NewEntryDefaults) {
    auto c = NewAclCenter();
    EXPLICIT_ACCESS_W* e = c->InsertEntry(0);
    EXPECT_EQ(DWORD(STANDARD_RIGHTS_ALL), e->grfAccessPermissions);
    EXPECT_EQ(DWORD(SET_ACCESS), DWORD(e->grfAccessMode));
    EXPECT_EQ(0u, e->grfInheritance);
    EXPECT_EQ(TRUSTEE_IS_SID, e->Trustee.TrusteeForm);
    EXPECT_EQ(nullptr, e->Trustee.ptstrName);
    EXPECT_TRUE(c->IsEntries());
    EXPECT_EQ(e, c->Entries(0));
}

TEST(AclCenter, NameTrusteesResolveInACopy) {
    wchar_t name[] = L"BUILTIN\\Users";
    auto c = NewAclCenter();
    EXPLICIT_ACCESS_W* e = c->AddEntry();
    e->grfAccessMode = GRANT_ACCESS;
    e->grfAccessPermissions = GENERIC_READ;
    e->Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    e->Trustee.ptstrName = name;
    EXPECT_EQ((std::vector<TAce>{{Allow, 0, GENERIC_READ, X}}), ReadAces(c->GetACL()));
    EXPECT_EQ(TRUSTEE_IS_NAME, c->Entries(0)->Trustee.TrusteeForm);
    EXPECT_EQ(name, c->Entries(0)->Trustee.ptstrName);

    wchar_t unknown[] = L"BUILTIN\\No Such Account 7";
    e->Trustee.ptstrName = unknown;
    c->SetIsEntries(true);
    EXPECT_THROW(c->GetACL(), EAbort);
}

TEST(AclCenter, DescriptorsGiveTheirDaclAndSacl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;CI;GA;;;WD)(D;;GW;;;BG)S:(ML;;NW;;;LW)", SDDL_REVISION_1, &sd, nullptr));
    TLocalMem owner(sd);
    auto c = NewAclCenter();
    c->SetDACL(sd);
    ASSERT_EQ(2, c->EntryCount());
    EXPECT_EQ(DWORD(GRANT_ACCESS), DWORD(c->Entries(0)->grfAccessMode));
    EXPECT_EQ(DWORD(CONTAINER_INHERIT_ACE), c->Entries(0)->grfInheritance);
    EXPECT_EQ(L"S-1-1-0", SidText(c->Entries(0)->Trustee.ptstrName));
    EXPECT_EQ(DWORD(DENY_ACCESS), DWORD(c->Entries(1)->grfAccessMode));
    // A label ACE is not an access entry: the SACL reads as an ACL without entries.
    c->SetSACL(sd);
    EXPECT_TRUE(c->IsEntries());
    EXPECT_EQ(0, c->EntryCount());

    PSECURITY_DESCRIPTOR bare = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BA", SDDL_REVISION_1, &bare, nullptr));
    TLocalMem bareOwner(bare);
    c->SetDACL(bare);
    EXPECT_EQ(nullptr, c->GetACL());
}

TEST(AclCenter, AclCopiesLiveUntilCleanup) {
    TSidPool sids;
    auto c = NewAclCenter();
    AddEntries(*c, sids, {{GRANT_ACCESS, 1, X}});
    PACL copy = c->GetACLCopy();
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(c->GetACL(), copy);
    c->SetACL(nullptr);
    EXPECT_EQ((std::vector<TAce>{{Allow, 0, 1, X}}), ReadAces(copy));
    c->Cleanup();
}

TEST(AclCenter, MergeWithTakesItsOwnCopiesOfTheTrustees) {
    auto c = NewAclCenter(); // no ACL: everyone has full access
    wchar_t name[] = L"BUILTIN\\Guests";
    {
        auto other = NewAclCenter();
        auto sid = std::make_unique<TStringSid>(X);
        EXPLICIT_ACCESS_W* e = other->AddEntry();
        e->grfAccessMode = DENY_ACCESS;
        e->grfAccessPermissions = GENERIC_WRITE;
        e->Trustee.ptstrName = sid->Name();
        e = other->AddEntry();
        e->grfAccessMode = GRANT_ACCESS;
        e->grfAccessPermissions = GENERIC_READ;
        e->Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        e->Trustee.ptstrName = name;
        c->MergeWith(other.get());
        // The other center, its SIDs and the name text all go away.
        sid.reset();
        other.reset();
        std::fill(std::begin(name), std::end(name) - 1, L'#');
    }
    ASSERT_EQ(3, c->EntryCount());
    EXPECT_EQ(L"S-1-1-0", SidText(c->Entries(0)->Trustee.ptstrName));
    EXPECT_EQ(DWORD(0x1FFFFF), c->Entries(0)->grfAccessPermissions);
    EXPECT_EQ(X, SidText(c->Entries(1)->Trustee.ptstrName));
    EXPECT_EQ(std::wstring(L"BUILTIN\\Guests"), std::wstring(c->Entries(2)->Trustee.ptstrName));
    const std::vector<TAce> expected = {{Deny, 0, GENERIC_WRITE, X},
                                        {Allow, 0, GENERIC_READ, Y},
                                        {Allow, 0, 0x1FFFFF, L"S-1-1-0"}};
    EXPECT_EQ(expected, ReadAces(c->GetACL()));
}

TEST(AclCenter, MergeWithEmptyOrNoAcl) {
    TSidPool sids;
    auto c = NewAclCenter();
    AddEntries(*c, sids, {{GRANT_ACCESS, 1, X}});
    auto empty = NewAclCenter();
    empty->SetIsEntries(true);
    c->MergeWith(empty.get());
    EXPECT_TRUE(c->IsEntries());
    EXPECT_EQ(0, c->EntryCount());
    EXPECT_EQ(0u, c->GetACL()->AceCount);

    auto none = NewAclCenter();
    c->MergeWith(none.get());
    EXPECT_FALSE(c->IsEntries());
    EXPECT_EQ(nullptr, c->GetACL());
}

TEST(AclCenter, LargeSidsAndTheSixteenBitLimit) {
    // Twenty entries of the largest SIDs build.
    std::vector<std::unique_ptr<TStringSid>> large;
    auto c = NewAclCenter();
    for (int i = 0; i < 20; ++i) {
        std::wstring text = L"S-1-5-21";
        for (int k = 0; k < 14; ++k) text += L"-" + std::to_wstring(1000000 * (i + 1) + k);
        large.push_back(std::make_unique<TStringSid>(text.c_str()));
        EXPLICIT_ACCESS_W* e = c->AddEntry();
        e->grfAccessMode = GRANT_ACCESS;
        e->grfAccessPermissions = GENERIC_ALL;
        e->Trustee.ptstrName = large.back()->Name();
    }
    ASSERT_EQ(20u, ReadAces(c->GetACL()).size());

    // More than 511 entries: the first size guess stays within 16 bits.
    auto many = [](int count, std::vector<std::unique_ptr<TStringSid>>& keep) {
        auto center = NewAclCenter();
        center->SetMergeMasks(false);
        for (int i = 0; i < count; ++i) {
            keep.push_back(std::make_unique<TStringSid>((L"S-1-5-21-" + std::to_wstring(i)).c_str()));
            EXPLICIT_ACCESS_W* e = center->AddEntry();
            e->grfAccessMode = GRANT_ACCESS;
            e->grfAccessPermissions = 1;
            e->Trustee.ptstrName = keep.back()->Name();
        }
        return center;
    };
    std::vector<std::unique_ptr<TStringSid>> keep;
    auto fits = many(2700, keep); // 2700 ACEs of 24 bytes: 64,808 bytes
    PACL acl = fits->GetACL();
    ASSERT_NE(nullptr, acl);
    EXPECT_EQ(2700u, acl->AceCount);
    EXPECT_TRUE(IsValidAcl(acl));
    auto tooMany = many(2800, keep); // 67,208 bytes: more than the size field can say
    // Without the guard the size wraps and the entries are written past a small block: under a
    // deadline a failure with a message, not a crash or a hang of the test program.
    auto buildTooLarge = [&] {
        try {
            tooMany->GetACL();
            FAIL() << "an ACL larger than 65535 bytes was built";
        } catch (const EOSError&) {
            FAIL() << "the size limit is reported as a plain error";
        } catch (const Exception& e) {
            EXPECT_EQ(L"ACL is too large: its entries need more than 65535 bytes", e.Message());
        }
    };
    EXPECT_TRUE(FinishesWithin(20000, buildTooLarge));
}

TEST(AclCenter, AceOutsideItsAclIsRefused) {
    // The header claims one ACE of 200 bytes in an ACL of 32.
    alignas(4) BYTE raw[64] = {};
    auto acl = reinterpret_cast<PACL>(raw);
    acl->AclRevision = ACL_REVISION;
    acl->AclSize = 32;
    acl->AceCount = 1;
    auto ace = reinterpret_cast<ACE_HEADER*>(raw + sizeof(::ACL));
    ace->AceType = ACCESS_ALLOWED_ACE_TYPE;
    ace->AceSize = 200;
    auto c = NewAclCenter();
    c->SetACL(acl);
    try {
        c->EntryCount();
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(DWORD(ERROR_INVALID_ACL), e.ErrorCode());
    }
}
