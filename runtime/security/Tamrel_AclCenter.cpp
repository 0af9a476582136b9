#include "runtime/security/Tamrel_AclCenter.h"

#include "host/SysUtils.h"

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace tamrel {

namespace {

constexpr wchar_t SAclNotReady[] = L"ACL is not ready";
constexpr wchar_t SExplicitNotReady[] = L"Explicit Access Data is not ready";
constexpr wchar_t SAclTooLarge[] = L"ACL is too large: its entries need more than %d bytes";

constexpr uint32_t AclGrowStep = 128;
constexpr uint32_t AceRoomPerEntry = 128;

[[noreturn]] void RaiseInvalidAcl() { RaiseLastOSError(ERROR_INVALID_ACL); }

// What the merge compares of a SID: its bytes, when it is valid (revision 1, at most 15
// sub-authorities); two SIDs are the same for EqualSid exactly when these are equal. An invalid
// SID has no key and is the same as no other.
std::string_view SidKey(PSID Sid) {
    const auto* b = static_cast<const char*>(Sid);
    if (!b || b[0] != SID_REVISION || static_cast<BYTE>(b[1]) > SID_MAX_SUB_AUTHORITIES) return {};
    return std::string_view(b, 8u + 4u * static_cast<BYTE>(b[1]));
}

} // namespace

// The items of a build in the order they were made, a removed one leaving its place empty: the
// ACL lists the added ones newest first and the placed ones (read from an ACL) in their order.
// The merge finds an item's earlier matches through an index instead of walking the list, so
// that a build takes time in proportion to its entries:
// - per SID, a list of the items that grant or deny and one of the audit items (a removed item
//   stays on its list until a SET or REVOKE empties the list);
// - with MergeMasks, per SID and inheritance, the one allowing item, the one denying item and the
//   one auditing item of each kind: a merge leaves at most one of each, since it takes the earlier
//   one into the new one, or adds to it. A place is never used again, so a slot that names a
//   removed item reads as empty.
// Each entry adds at most one item, one SID and one slot: everything is allocated once, for the
// number of entries, and the index is two open-addressing tables.
class TrkAclCenter::TWorkList {
public:
    static constexpr uint32_t None = UINT32_MAX;
    struct TItem {
        PSID Sid;
        uint32_t Mask, Inheritance;
        TAccessEntryType EntryType;
        bool AuditSuccess, AuditFailure;
        bool Live;
        bool Placed;
        uint32_t Next; // on its SID's list
    };
    struct TSidItems {
        std::string_view Key;
        uint32_t Rights = None, Audits = None; // the lists' newest items
    };
    struct TSlots {
        uint32_t Sid, Inheritance;
        uint32_t Allow = None, Deny = None, AuditSuccess = None, AuditFailure = None;
    };

    explicit TWorkList(size_t entries) {
        FItems.reserve(entries);
        FSids.reserve(entries);
        FSlots.reserve(entries);
        size_t size = 16;
        while (size < 2 * entries) size *= 2;
        FSidTable.assign(size, None);
        FSlotTable.assign(size, None);
    }

    // The index entry of a SID, null for an invalid SID.
    TSidItems* ItemsOf(PSID sid) {
        const std::string_view key = SidKey(sid);
        if (key.empty()) return nullptr;
        for (size_t at = Hash(key);; ++at) {
            uint32_t& cell = FSidTable[at & (FSidTable.size() - 1)];
            if (cell == None) {
                cell = static_cast<uint32_t>(FSids.size());
                return &FSids.emplace_back(TSidItems{key});
            }
            if (FSids[cell].Key == key) return &FSids[cell];
        }
    }
    TSlots& SlotsFor(const TSidItems& items, uint32_t inheritance) {
        const auto sid = static_cast<uint32_t>(&items - FSids.data());
        for (size_t at = (sid * 0x9E3779B1u) ^ (inheritance * 0x85EBCA77u);; ++at) {
            uint32_t& cell = FSlotTable[at & (FSlotTable.size() - 1)];
            if (cell == None) {
                cell = static_cast<uint32_t>(FSlots.size());
                return FSlots.emplace_back(TSlots{sid, inheritance});
            }
            if (FSlots[cell].Sid == sid && FSlots[cell].Inheritance == inheritance) return FSlots[cell];
        }
    }
    TItem* At(uint32_t index) { return index != None && FItems[index].Live ? &FItems[index] : nullptr; }
    // GRANT or DENY with MergeMasks: the earlier item of the same kind is taken into the new one,
    // the other kind loses the new bits and goes when none are left.
    void AddMergedRight(TSidItems& bySid, TAccessEntryType type, PSID sid, uint32_t inheritance, uint32_t mask) {
        TSlots& slots = SlotsFor(bySid, inheritance);
        uint32_t& same = type == etAllow ? slots.Allow : slots.Deny;
        const uint32_t other = type == etAllow ? slots.Deny : slots.Allow;
        uint32_t collected = 0;
        if (TItem* item = At(same)) {
            collected = item->Mask;
            Remove(same);
        }
        if (TItem* item = At(other); item && (item->Mask &= ~mask) == 0) Remove(other);
        same = Add(&bySid, type, sid, inheritance, mask | collected);
    }
    void Remove(uint32_t index) { FItems[index].Live = false; }
    // Removes every item of a list and empties it.
    void RemoveAll(uint32_t& list) {
        for (uint32_t i = list; i != None; i = FItems[i].Next) FItems[i].Live = false;
        list = None;
    }
    uint32_t Add(TSidItems* bySid, TAccessEntryType type, PSID sid, uint32_t inheritance, uint32_t mask,
                 bool auditSuccess = false, bool auditFailure = false) {
        const auto index = static_cast<uint32_t>(FItems.size());
        uint32_t* list = bySid ? (type == etAudit ? &bySid->Audits : &bySid->Rights) : nullptr;
        FItems.push_back({sid, mask, inheritance, type, auditSuccess, auditFailure, true, Placing, list ? *list : None});
        if (list) *list = index;
        return index;
    }
    size_t Count() const {
        size_t n = 0;
        for (const auto& item : FItems) n += item.Live;
        return n;
    }
    // The added items of one kind in the order of the ACL.
    template <class F> void ForEachAddedNewestFirst(TAccessEntryType type, F f) const {
        for (size_t i = FItems.size(); i-- > 0;)
            if (FItems[i].Live && !FItems[i].Placed && FItems[i].EntryType == type) f(FItems[i]);
    }
    template <class F> void ForEachPlacedInOrder(F f) const {
        for (const TItem& item : FItems)
            if (item.Live && item.Placed) f(item);
    }

    // Whether the items added now come from entries that keep their place.
    bool Placing = false;

private:
    static size_t Hash(std::string_view key) {
        uint64_t h = 14695981039346656037ull; // FNV-1a
        for (char c : key) h = (h ^ static_cast<BYTE>(c)) * 1099511628211ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }

    std::vector<TItem> FItems;
    std::vector<TSidItems> FSids;
    std::vector<TSlots> FSlots;
    std::vector<uint32_t> FSidTable, FSlotTable;
};

TrkAclCenter::TrkAclCenter(TComponent* AOwner)
    : TComponent(AOwner), FSidCenter(Create<TrkSidCenter>(nullptr)) {}

TrkAclCenter::~TrkAclCenter() {
    Cleanup();
    CleanEntries();
    CleanACL();
}

// --- forms -----------------------------------------------------------------------------------

PACL TrkAclCenter::GetACL() {
    if (!FIsACL) ExplicitToACL();
    return static_cast<PACL>(FACL.get());
}

void TrkAclCenter::SetACL(PACL A) {
    // A may be the center's own block (what ACL answered): copied before that one goes.
    uint32_t size = 0;
    TCenterBlock copy = DuplicateAclBlock(A, size);
    FIsExplicit = false;
    FACL = std::move(copy);
    FAclSize = size;
    FIsACL = true;
}

PACL TrkAclCenter::GetACLCopy() {
    PACL acl = GetACL();
    uint32_t size = 0;
    TCenterBlock copy = DuplicateAclBlock(acl, size);
    if (!copy) return nullptr;
    FACLList.push_back(std::move(copy));
    return static_cast<PACL>(FACLList.back().get());
}

void TrkAclCenter::SetDACL(PSECURITY_DESCRIPTOR SD) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(SD, &present, &acl, &defaulted)) RaiseLastOSError();
    SetACL(present ? acl : nullptr);
}

void TrkAclCenter::SetSACL(PSECURITY_DESCRIPTOR SD) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorSacl(SD, &present, &acl, &defaulted)) RaiseLastOSError();
    SetACL(present ? acl : nullptr);
}

int32_t TrkAclCenter::EntryCount() {
    if (!FIsExplicit) ACLToExplicit();
    return static_cast<int32_t>(FEntries.size());
}

bool TrkAclCenter::IsEntries() {
    if (!FIsExplicit) ACLToExplicit();
    return FIsEntries;
}

EXPLICIT_ACCESS_W* TrkAclCenter::Entries(int32_t Index) {
    if (!FIsExplicit) ACLToExplicit();
    CheckIndex(Index, false);
    return &FEntries[Index]->Record;
}

void TrkAclCenter::CheckIndex(int32_t Index, bool AllowEnd) const {
    const auto count = static_cast<int32_t>(FEntries.size());
    if (Index < 0 || Index > count || (Index == count && !AllowEnd)) throw EListError(SListIndexError, Index);
}

void TrkAclCenter::PrepareEntryChange() {
    if (!FIsExplicit && FIsACL) ACLToExplicit();
}

void TrkAclCenter::WriteEntry(TEntry& Entry, const EXPLICIT_ACCESS_W& E) {
    // The copy is made before the old one goes: E may be the entry's own record.
    TCenterBlock sid;
    std::unique_ptr<wchar_t[]> name;
    EXPLICIT_ACCESS_W record = E;
    if (E.Trustee.ptstrName && E.Trustee.TrusteeForm == TRUSTEE_IS_SID) {
        uint32_t size = 0;
        sid = DuplicateSidBlock(reinterpret_cast<PSID>(E.Trustee.ptstrName), size);
        record.Trustee.ptstrName = static_cast<LPWSTR>(sid.get());
    } else if (E.Trustee.ptstrName && E.Trustee.TrusteeForm == TRUSTEE_IS_NAME) {
        const size_t length = std::wcslen(E.Trustee.ptstrName);
        name = std::make_unique<wchar_t[]>(length + 1);
        std::memcpy(name.get(), E.Trustee.ptstrName, (length + 1) * sizeof(wchar_t));
        record.Trustee.ptstrName = name.get();
    }
    Entry.Record = record;
    Entry.OwnedSid = std::move(sid);
    Entry.OwnedName = std::move(name);
}

void TrkAclCenter::SetEntries(int32_t Index, const EXPLICIT_ACCESS_W& E) {
    PrepareEntryChange();
    CheckIndex(Index, false);
    WriteEntry(*FEntries[Index], E);
    FIsACL = false;
    FIsExplicit = true;
    FIsEntries = true;
}

EXPLICIT_ACCESS_W* TrkAclCenter::AddEntry() { return InsertEntry(EntryCount()); }

EXPLICIT_ACCESS_W* TrkAclCenter::InsertEntry(int32_t Index) {
    PrepareEntryChange();
    CheckIndex(Index, true);
    FIsACL = false;
    FIsExplicit = true;
    FIsEntries = true;
    auto entry = std::make_unique<TEntry>();
    std::memset(&entry->Record, 0, sizeof(EXPLICIT_ACCESS_W));
    entry->Record.grfAccessPermissions = STANDARD_RIGHTS_ALL;
    entry->Record.grfAccessMode = SET_ACCESS;
    entry->Record.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    EXPLICIT_ACCESS_W* result = &entry->Record;
    FEntries.insert(FEntries.begin() + Index, std::move(entry));
    return result;
}

void TrkAclCenter::DeleteEntry(int32_t Index) {
    PrepareEntryChange();
    CheckIndex(Index, false);
    FIsACL = false;
    FIsExplicit = true;
    FIsEntries = true;
    FEntries.erase(FEntries.begin() + Index);
}

void TrkAclCenter::KeepEntryOrder() {
    PrepareEntryChange();
    if (!FIsExplicit) return;
    bool changed = false;
    for (auto& entry : FEntries) {
        changed = changed || !entry->Placed;
        entry->Placed = true;
    }
    // An ACL built before laid the added entries out by the merge rules.
    if (changed) FIsACL = false;
}

void TrkAclCenter::SetIsEntries(bool V) {
    PrepareEntryChange();
    FIsACL = false;
    if (!V) CleanEntries();
    FIsExplicit = true;
    FIsEntries = V;
}

void TrkAclCenter::CleanEntries() {
    FEntries.clear();
    FIsExplicit = false;
    FSidCenter->CleanUp();
}

void TrkAclCenter::CleanACL() {
    FACL.reset();
    FAclSize = 0;
    FIsACL = false;
}

void TrkAclCenter::Cleanup() { FACLList.clear(); }

// --- merging another center ------------------------------------------------------------------

void TrkAclCenter::MergeWith(TrkAclCenter* Other) {
    if (!Other->IsEntries()) {
        SetIsEntries(false);
        return;
    }
    const int32_t count = Other->EntryCount();
    if (count == 0) {
        CleanEntries();
        CleanACL();
        FIsExplicit = true;
        FIsEntries = true;
        return;
    }
    // Reading IsEntries makes the entry form valid, so adding entries converts nothing (and
    // frees none of the trustee copies made below).
    if (!IsEntries()) {
        // No ACL grants everyone everything: say so before the other entries narrow it.
        FSidCenter->SetWellKnown(wkWorld);
        EXPLICIT_ACCESS_W world = *AddEntry();
        world.Trustee.ptstrName = static_cast<LPWSTR>(FSidCenter->GetSid());
        world.grfAccessPermissions = 0x1FFFFF;
        world.grfAccessMode = SET_ACCESS;
        WriteEntry(*FEntries.back(), world);
    }
    for (int32_t i = 0; i < count; ++i) {
        AddEntry();
        WriteEntry(*FEntries.back(), *Other->Entries(i));
    }
}

// --- ACL to entries --------------------------------------------------------------------------

void TrkAclCenter::ACLToExplicit() {
    if (!FIsACL) throw Exception(SAclNotReady);
    CleanEntries();
    auto acl = static_cast<PACL>(FACL.get());
    if (!acl) {
        FIsEntries = false;
        FIsExplicit = true;
        return;
    }
    FIsEntries = true;
    ACL_SIZE_INFORMATION info{};
    if (!GetAclInformation(acl, &info, sizeof(info), AclSizeInformation)) RaiseLastOSError();
    const BYTE* begin = reinterpret_cast<const BYTE*>(acl);
    const BYTE* end = begin + FAclSize;
    for (DWORD i = 0; i < info.AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(acl, i, &raw)) RaiseLastOSError();
        // The system walks the ACEs by their own sizes: never read outside the block.
        const auto* ace = static_cast<const BYTE*>(raw);
        if (ace < begin + sizeof(::ACL) || ace + sizeof(ACE_HEADER) > end) RaiseInvalidAcl();
        const auto* header = reinterpret_cast<const ACE_HEADER*>(ace);
        if (header->AceSize < sizeof(ACE_HEADER) || ace + header->AceSize > end) RaiseInvalidAcl();

        ACCESS_MODE modes[2];
        int modeCount = 0;
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE: modes[modeCount++] = GRANT_ACCESS; break;
        case ACCESS_DENIED_ACE_TYPE: modes[modeCount++] = DENY_ACCESS; break;
        case SYSTEM_AUDIT_ACE_TYPE:
            if (header->AceFlags & SUCCESSFUL_ACCESS_ACE_FLAG) modes[modeCount++] = SET_AUDIT_SUCCESS;
            if (header->AceFlags & FAILED_ACCESS_ACE_FLAG) modes[modeCount++] = SET_AUDIT_FAILURE;
            break;
        default: continue;
        }
        // These three kinds share one layout: header, mask, SID.
        const auto* known = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
        const size_t sidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
        if (header->AceSize < sidOffset + 8) RaiseInvalidAcl();
        const BYTE* sid = ace + sidOffset;
        if (sidOffset + GetSidLengthRequired(sid[1]) > header->AceSize) RaiseInvalidAcl();
        for (int m = 0; m < modeCount; ++m) {
            auto entry = std::make_unique<TEntry>();
            entry->OwnedSid.reset(CenterGetMem(header->AceSize));
            std::memcpy(entry->OwnedSid.get(), sid, header->AceSize - sidOffset);
            std::memset(&entry->Record, 0, sizeof(EXPLICIT_ACCESS_W));
            entry->Record.grfAccessPermissions = known->Mask;
            entry->Record.grfAccessMode = modes[m];
            entry->Record.grfInheritance = header->AceFlags;
            entry->Record.Trustee.TrusteeForm = TRUSTEE_IS_SID;
            entry->Record.Trustee.ptstrName = static_cast<LPWSTR>(entry->OwnedSid.get());
            entry->Placed = true;
            FEntries.push_back(std::move(entry));
        }
    }
    FIsExplicit = true;
}

// --- entries to ACL --------------------------------------------------------------------------

PSID TrkAclCenter::ToolTrusteeToSid(EXPLICIT_ACCESS_W& E) {
    switch (E.Trustee.TrusteeForm) {
    case TRUSTEE_IS_SID: return reinterpret_cast<PSID>(E.Trustee.ptstrName);
    case TRUSTEE_IS_NAME: {
        if (!E.Trustee.ptstrName) return nullptr;
        std::wstring domain, user;
        SplitAccountName(E.Trustee.ptstrName, domain, user);
        FSidCenter->SetDomain(domain);
        FSidCenter->SetUserName(user);
        PSID sid = FSidCenter->GetSidCopy();
        E.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        E.Trustee.ptstrName = static_cast<LPWSTR>(sid);
        return sid;
    }
    default:
        // Trustees made of object types carry a structure, not a name: nothing here reads them.
        RaiseLastOSError(ERROR_INVALID_PARAMETER);
    }
}

void TrkAclCenter::ToolGrantAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask) {
    TWorkList::TSidItems* bySid = Work.ItemsOf(Sid);
    if (FMergeMasks && bySid) Work.AddMergedRight(*bySid, etAllow, Sid, Inheritance, Mask);
    else Work.Add(bySid, etAllow, Sid, Inheritance, Mask);
}

void TrkAclCenter::ToolDenyAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask) {
    TWorkList::TSidItems* bySid = Work.ItemsOf(Sid);
    if (FMergeMasks && bySid) Work.AddMergedRight(*bySid, etDeny, Sid, Inheritance, Mask);
    else Work.Add(bySid, etDeny, Sid, Inheritance, Mask);
}

void TrkAclCenter::ToolSetAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask) {
    TWorkList::TSidItems* bySid = Work.ItemsOf(Sid);
    if (bySid) Work.RemoveAll(bySid->Rights);
    const uint32_t added = Work.Add(bySid, etAllow, Sid, Inheritance, Mask);
    if (FMergeMasks && bySid) Work.SlotsFor(*bySid, Inheritance).Allow = added;
}

void TrkAclCenter::ToolRevokeAccess(TWorkList& Work, PSID Sid) {
    if (TWorkList::TSidItems* bySid = Work.ItemsOf(Sid)) {
        Work.RemoveAll(bySid->Rights);
        Work.RemoveAll(bySid->Audits);
    }
}

void TrkAclCenter::ToolAudit(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask, bool Success) {
    TWorkList::TSidItems* bySid = Work.ItemsOf(Sid);
    if (!FMergeMasks || !bySid) {
        Work.Add(bySid, etAudit, Sid, Inheritance, Mask, Success, !Success);
        return;
    }
    // Only an item auditing the same single kind takes the bits.
    TWorkList::TSlots& slots = Work.SlotsFor(*bySid, Inheritance);
    uint32_t& same = Success ? slots.AuditSuccess : slots.AuditFailure;
    if (auto* item = Work.At(same)) {
        item->Mask |= Mask;
        return;
    }
    same = Work.Add(bySid, etAudit, Sid, Inheritance, Mask, Success, !Success);
}

void TrkAclCenter::ToolAddAccessEntry(TWorkList& Work, const EXPLICIT_ACCESS_W& E) {
    const PSID sid = reinterpret_cast<PSID>(E.Trustee.ptstrName);
    const uint32_t inheritance = E.grfInheritance;
    const uint32_t mask = E.grfAccessPermissions;
    switch (E.grfAccessMode) {
    case GRANT_ACCESS: ToolGrantAccess(Work, sid, inheritance, mask); break;
    case SET_ACCESS: ToolSetAccess(Work, sid, inheritance, mask); break;
    case DENY_ACCESS: ToolDenyAccess(Work, sid, inheritance, mask); break;
    case REVOKE_ACCESS: ToolRevokeAccess(Work, sid); break;
    case SET_AUDIT_SUCCESS: ToolAudit(Work, sid, inheritance, mask, true); break;
    case SET_AUDIT_FAILURE: ToolAudit(Work, sid, inheritance, mask, false); break;
    default: break;
    }
}

void TrkAclCenter::ToolIncreaseAclSize(TCenterBlock& Acl, uint32_t& Size) {
    // The size field has 16 bits: growing past it would wrap and retry for ever.
    if (Size >= MaxAclSize) throw Exception(SAclTooLarge, 65535);
    const uint32_t newSize = Size + AclGrowStep > MaxAclSize ? MaxAclSize : Size + AclGrowStep;
    TCenterBlock grown(CenterGetMem(newSize));
    std::memset(grown.get(), 0, newSize);
    std::memcpy(grown.get(), Acl.get(), Size);
    static_cast<PACL>(grown.get())->AclSize = static_cast<WORD>(newSize);
    Acl = std::move(grown);
    Size = newSize;
}

void TrkAclCenter::ExplicitToACL() {
    if (!FIsExplicit) throw Exception(SExplicitNotReady);
    FACL.reset();
    FAclSize = 0;
    if (!FIsEntries) {
        FIsACL = true;
        return;
    }
    TWorkList work(FEntries.size());
    for (const auto& entry : FEntries) {
        // The center's own entries stay as they are: name trustees are resolved in a copy.
        EXPLICIT_ACCESS_W copy = entry->Record;
        if (copy.grfAccessMode < GRANT_ACCESS || copy.grfAccessMode > SET_AUDIT_FAILURE) continue;
        if (!ToolTrusteeToSid(copy)) {
            // An entry whose trustee was never filled cannot take part in an ACL.
            SetLastError(ERROR_INVALID_SID);
            RaiseLastOSError();
        }
        work.Placing = entry->Placed;
        ToolAddAccessEntry(work, copy);
    }

    const uint64_t wanted = sizeof(::ACL) + uint64_t(AceRoomPerEntry) * work.Count();
    uint32_t size = wanted > MaxAclSize ? MaxAclSize : static_cast<uint32_t>(wanted);
    TCenterBlock acl(CenterGetMem(size));
    if (!InitializeAcl(static_cast<PACL>(acl.get()), size, ACL_REVISION)) RaiseLastOSError();
    auto add = [&](auto call) {
        while (!call(static_cast<PACL>(acl.get()))) {
            if (GetLastError() != ERROR_ALLOTTED_SPACE_EXCEEDED) RaiseLastOSError();
            ToolIncreaseAclSize(acl, size);
        }
    };
    auto addItem = [&](const TWorkList::TItem& item) {
        switch (item.EntryType) {
        case etAudit:
            // Only the inheritance bits go into the ACE flags; success and failure are set apart.
            add([&](PACL a) {
                return AddAuditAccessAceEx(a, ACL_REVISION, item.Inheritance & VALID_INHERIT_FLAGS, item.Mask,
                                           item.Sid, item.AuditSuccess, item.AuditFailure);
            });
            break;
        case etDeny:
            add([&](PACL a) { return AddAccessDeniedAceEx(a, ACL_REVISION, item.Inheritance, item.Mask, item.Sid); });
            break;
        case etAllow:
            add([&](PACL a) { return AddAccessAllowedAceEx(a, ACL_REVISION, item.Inheritance, item.Mask, item.Sid); });
            break;
        }
    };
    // Added audits and denies go first; added allows ahead of the first placed allow or inherited
    // ACE, so that they never pass a deny of the list nor come after an inherited entry.
    work.ForEachAddedNewestFirst(etAudit, addItem);
    work.ForEachAddedNewestFirst(etDeny, addItem);
    bool allowsAdded = false;
    work.ForEachPlacedInOrder([&](const TWorkList::TItem& item) {
        if (!allowsAdded && (item.EntryType == etAllow || (item.Inheritance & INHERITED_ACE))) {
            work.ForEachAddedNewestFirst(etAllow, addItem);
            allowsAdded = true;
        }
        addItem(item);
    });
    if (!allowsAdded) work.ForEachAddedNewestFirst(etAllow, addItem);
    FACL = std::move(acl);
    FAclSize = size;
    FIsACL = true;
}

TAMREL_IMPLEMENT_CLASS(TrkAclCenter) {
    b.Boolean(L"MergeMasks", &TrkAclCenter::MergeMasks, &TrkAclCenter::SetMergeMasks, true);
}

} // namespace tamrel
