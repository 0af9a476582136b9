// The ACL center: one access-control list held as a binary ACL or as a list of explicit-access
// entries. Reading the entries splits the ACL into one entry per ACE; reading the ACL folds the
// entries into a new one by fixed merge rules. Entries read from an ACL keep their order in the
// ACL built again (the order of ACEs decides what an ACL grants); entries added are laid out as
// audit, deny, allow, the latest of each kind first, ahead of the entries read.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "runtime/security/Tamrel_CenterUtils.h"
#include "runtime/security/Tamrel_SidCenter.h"

#include <windows.h>
#include <aclapi.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace tamrel {

enum TAccessEntryType { etAllow, etDeny, etAudit };

// One working ACE of the ACL builder. The SID belongs to the entry it came from.
class TAccessEntry : public TObject {
public:
    bool AuditSuccess = false;
    bool AuditFailure = false;
    TAccessEntryType EntryType = etAllow;
    uint32_t Mask = 0;
    uint32_t Inheritance = 0; // ACE flags
    PSID Sid = nullptr;
};

class TAMREL_API TrkAclCenter : public TComponent {
    TAMREL_CLASS(TrkAclCenter, TComponent)
public:
    explicit TrkAclCenter(TComponent* AOwner);
    ~TrkAclCenter() override;

    // Published.
    bool MergeMasks() const { return FMergeMasks; }
    void SetMergeMasks(bool V) { FMergeMasks = V; }

    // The center's own block (nil: no ACL); built from the entries when they are the valid form.
    PACL GetACL();
    PACL ACL() { return GetACL(); }
    void SetACL(PACL A);
    // The center's own record. A written record's trustee (a SID or a name) is copied: the
    // center owns the copy, which lives as long as the entry; the caller keeps its own. The
    // entry keeps its place in the ACL's order.
    EXPLICIT_ACCESS_W* Entries(int32_t Index);
    void SetEntries(int32_t Index, const EXPLICIT_ACCESS_W& E);
    int32_t EntryCount();
    // False: the entries stand for no ACL; True: for an ACL (with no entries: an empty one).
    bool IsEntries();
    void SetIsEntries(bool V);

    // A copy that stays valid until Cleanup or destruction; the caller never frees it.
    PACL GetACLCopy();
    void SetDACL(PSECURITY_DESCRIPTOR SD);
    void SetSACL(PSECURITY_DESCRIPTOR SD);
    // A new record (STANDARD_RIGHTS_ALL, SET_ACCESS, no trustee yet) for the caller to fill; a
    // trustee pointer the caller writes into it stays the caller's. Added entries are laid out by
    // the merge rules.
    EXPLICIT_ACCESS_W* AddEntry();
    EXPLICIT_ACCESS_W* InsertEntry(int32_t Index);
    void DeleteEntry(int32_t Index);
    // The entries as they stand keep their order in the ACL built from them, as entries read
    // from an ACL do: for a list that holds an ACL's entries as they came (from a file, say).
    void KeepEntryOrder();
    // Appends the other center's entries; trustees are copied, so the other center may go.
    void MergeWith(TrkAclCenter* Other);
    void Cleanup();
    void CleanACL();
    void CleanEntries();

    // The largest ACL the 16-bit size field can describe, kept to whole DWORDs.
    static constexpr uint32_t MaxAclSize = 65532;

private:
    // The working list of a build, with an index of its items by what the merge compares.
    class TWorkList;
    // One entry: the record handed out, the trustee copy it owns, and whether it keeps its place
    // in the ACL's order (read from an ACL) or is laid out by the merge rules (added).
    struct TEntry {
        EXPLICIT_ACCESS_W Record;
        TCenterBlock OwnedSid;
        std::unique_ptr<wchar_t[]> OwnedName;
        bool Placed = false;
    };

    void ACLToExplicit();
    void ExplicitToACL();
    // The entry form as the base of an entry change: the current ACL's entries when only the
    // ACL form is valid.
    void PrepareEntryChange();
    void CheckIndex(int32_t Index, bool AllowEnd) const;
    PSID ToolTrusteeToSid(EXPLICIT_ACCESS_W& E);
    void ToolAddAccessEntry(TWorkList& Work, const EXPLICIT_ACCESS_W& E);
    void ToolGrantAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask);
    void ToolSetAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask);
    void ToolDenyAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask);
    void ToolRevokeAccess(TWorkList& Work, PSID Sid);
    void ToolAudit(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask, bool Success);
    static void ToolIncreaseAclSize(TCenterBlock& Acl, uint32_t& Size);
    // Writes E over Entry with a copy of E's trustee that Entry owns.
    static void WriteEntry(TEntry& Entry, const EXPLICIT_ACCESS_W& E);

    std::vector<TCenterBlock> FACLList;
    bool FIsACL = true;
    TCenterBlock FACL;
    uint32_t FAclSize = 0;
    bool FIsExplicit = false;
    std::vector<std::unique_ptr<TEntry>> FEntries;
    bool FIsEntries = false;
    bool FMergeMasks = true;
    TSidCenterPtr FSidCenter;
};

} // namespace tamrel
