// The ACL center's merge against a reference: the fold rules carried out as they read, every new
// item compared with every earlier one through EqualSid, on 10,000 random entry sets. The center
// finds the matches through its index; both must lay out the same ACL, byte for byte.
#include "runtime/security/Tamrel_AclCenter.h"
#include "tests/runtime/security/SecurityTestSupport.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// One working item of the reference: the list holds the newest first.
struct TItem {
    TAccessEntryType Type;
    PSID Sid;
    DWORD Inheritance;
    DWORD Mask;
    bool Success = false, Failure = false;
};

class TReferenceFold {
public:
    explicit TReferenceFold(bool merge) : FMerge(merge) {}

    void Add(const EXPLICIT_ACCESS_W& e) {
        PSID sid = e.Trustee.ptstrName;
        const DWORD inh = e.grfInheritance, mask = e.grfAccessPermissions;
        switch (e.grfAccessMode) {
        case GRANT_ACCESS: GrantOrDeny(etAllow, sid, inh, mask); break;
        case DENY_ACCESS: GrantOrDeny(etDeny, sid, inh, mask); break;
        case SET_ACCESS:
            Erase([&](const TItem& i) { return i.Type != etAudit && EqualSid(i.Sid, sid); });
            Front({etAllow, sid, inh, mask});
            break;
        case REVOKE_ACCESS: Erase([&](const TItem& i) { return EqualSid(i.Sid, sid); }); break;
        case SET_AUDIT_SUCCESS: Audit(sid, inh, mask, true); break;
        case SET_AUDIT_FAILURE: Audit(sid, inh, mask, false); break;
        default: break;
        }
    }

    // The ACL laid out as audit, deny, allow, each kind in list order.
    std::vector<BYTE> Acl() const {
        std::vector<BYTE> acl(sizeof(::ACL) + 128 * FItems.size());
        auto* p = reinterpret_cast<PACL>(acl.data());
        if (!InitializeAcl(p, static_cast<DWORD>(acl.size()), ACL_REVISION)) RaiseLastOSError();
        for (TAccessEntryType type : {etAudit, etDeny, etAllow})
            for (const TItem& i : FItems) {
                if (i.Type != type) continue;
                BOOL ok = type == etAudit ? AddAuditAccessAceEx(p, ACL_REVISION, i.Inheritance & VALID_INHERIT_FLAGS,
                                                                i.Mask, i.Sid, i.Success, i.Failure)
                          : type == etDeny ? AddAccessDeniedAceEx(p, ACL_REVISION, i.Inheritance, i.Mask, i.Sid)
                                           : AddAccessAllowedAceEx(p, ACL_REVISION, i.Inheritance, i.Mask, i.Sid);
                if (!ok) RaiseLastOSError();
            }
        return acl;
    }

private:
    void Front(const TItem& item) { FItems.insert(FItems.begin(), item); }
    template <class P> void Erase(P match) { std::erase_if(FItems, match); }

    // Items from the last to the first: the same kind is taken into the new item, the other kind
    // loses the new bits and goes when none are left.
    void GrantOrDeny(TAccessEntryType type, PSID sid, DWORD inh, DWORD mask) {
        DWORD collected = 0;
        if (FMerge)
            for (size_t n = FItems.size(); n-- > 0;) {
                TItem& i = FItems[n];
                if (i.Type == etAudit || i.Inheritance != inh || !EqualSid(i.Sid, sid)) continue;
                if (i.Type == type) {
                    collected |= i.Mask;
                    FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(n));
                } else if ((i.Mask &= ~mask) == 0) {
                    FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(n));
                }
            }
        Front({type, sid, inh, mask | collected});
    }

    void Audit(PSID sid, DWORD inh, DWORD mask, bool success) {
        if (FMerge)
            for (size_t n = FItems.size(); n-- > 0;) {
                TItem& i = FItems[n];
                if (i.Type != etAudit || i.Inheritance != inh || !EqualSid(i.Sid, sid)) continue;
                if (success ? i.Failure : i.Success) continue;
                i.Mask |= mask;
                return;
            }
        Front({etAudit, sid, inh, mask, success, !success});
    }

    bool FMerge;
    std::vector<TItem> FItems;
};

// The part of an ACL that its header and ACEs take.
std::vector<BYTE> UsedBytes(const void* acl) {
    const auto* p = static_cast<const BYTE*>(acl);
    const auto* header = static_cast<const ::ACL*>(acl);
    size_t used = sizeof(::ACL);
    for (WORD i = 0; i < header->AceCount; ++i) used += reinterpret_cast<const ACE_HEADER*>(p + used)->AceSize;
    return {p, p + used};
}

// SIDs of several lengths; two of them differ in their last sub-authority only, and one is the
// same SID at another address, which the merge must take for the same.
class TSidSet {
public:
    TSidSet() {
        for (const wchar_t* text : {L"S-1-5-32-544", L"S-1-5-32-545", L"S-1-1-0", L"S-1-5-18",
                                    L"S-1-5-21-1004336348-1177238915-682003330-512",
                                    L"S-1-5-21-1004336348-1177238915-682003330-513", L"S-1-5-32-544"})
            FStrings.push_back(std::make_unique<TStringSid>(text));
        // No sub-authority at all: S-1-5.
        static const BYTE bare[8] = {SID_REVISION, 0, 0, 0, 0, 0, 0, 5};
        std::memcpy(FBare, bare, sizeof bare);
    }
    size_t Count() const { return FStrings.size() + 1; }
    PSID At(size_t i) { return i < FStrings.size() ? FStrings[i]->Get() : static_cast<PSID>(FBare); }

private:
    std::vector<std::unique_ptr<TStringSid>> FStrings;
    alignas(4) BYTE FBare[8];
};

} // namespace

TEST(AclCenterMerge, TenThousandRandomEntrySetsGiveTheReferenceAclByteForByte) {
    const DWORD inheritances[] = {0, OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE,
                                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE, INHERITED_ACE};
    TSidSet sids;
    std::mt19937 random(19); // the sets are the same on every run
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    int merged = 0, aces = 0;
    for (int set = 0; set < 10000; ++set) {
        const bool merge = pick(4) != 0;
        std::unique_ptr<TrkAclCenter, TFreeComponent> center(Create<TrkAclCenter>(nullptr));
        center->SetMergeMasks(merge);
        center->SetIsEntries(true);
        TReferenceFold reference(merge);
        const size_t count = pick(5) == 0 ? pick(120) : pick(24);
        for (size_t n = 0; n < count; ++n) {
            EXPLICIT_ACCESS_W e{};
            e.grfAccessMode = static_cast<ACCESS_MODE>(pick(8)); // 0 and 7 are skipped
            e.grfAccessPermissions = (1u << pick(6)) | (pick(3) == 0 ? 1u << pick(6) : 0u);
            e.grfInheritance = inheritances[pick(std::size(inheritances))];
            e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
            e.Trustee.ptstrName = static_cast<LPWSTR>(sids.At(pick(sids.Count())));
            *center->AddEntry() = e;
            reference.Add(e);
        }
        const std::vector<BYTE> expected = UsedBytes(reference.Acl().data());
        PACL acl = center->GetACL();
        ASSERT_NE(nullptr, acl) << "set " << set;
        ASSERT_EQ(expected, UsedBytes(acl)) << "set " << set << ", " << count << " entries, MergeMasks " << merge;
        merged += merge;
        aces += acl->AceCount;
    }
    // The sets did exercise both ways and gave ACLs with content.
    EXPECT_GT(merged, 5000);
    EXPECT_GT(aces, 30000);
}
