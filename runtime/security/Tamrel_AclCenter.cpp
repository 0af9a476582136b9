#include "runtime/security/Tamrel_AclCenter.h"

#include "host/SysUtils.h"

#include <cstddef>
#include <cstring>

namespace tamrel {

namespace {

constexpr wchar_t SAclNotReady[] = L"ACL is not ready";
constexpr wchar_t SExplicitNotReady[] = L"Explicit Access Data is not ready";
constexpr wchar_t SAclTooLarge[] = L"ACL is too large: its entries need more than %d bytes";

constexpr uint32_t AclGrowStep = 128;
constexpr uint32_t AceRoomPerEntry = 128;

[[noreturn]] void RaiseInvalidAcl() { RaiseLastOSError(ERROR_INVALID_ACL); }

// EqualSid's answer without the call: both SIDs valid (revision 1, at most 15 sub-authorities)
// and byte for byte the same. The merge compares every pair of items of a build.
bool SameSid(PSID A, PSID B) {
    const auto* a = static_cast<const BYTE*>(A);
    const auto* b = static_cast<const BYTE*>(B);
    if (!a || !b) return false;
    if (a[0] != SID_REVISION || a[1] > SID_MAX_SUB_AUTHORITIES || b[0] != SID_REVISION || b[1] != a[1]) return false;
    return std::memcmp(a, b, 8u + 4u * a[1]) == 0;
}

} // namespace

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
    FIsACL = false;
    FIsExplicit = false;
    FACL.reset();
    FAclSize = 0;
    FACL = DuplicateAclBlock(A, FAclSize);
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
    return FEntries[Index].get();
}

void TrkAclCenter::CheckIndex(int32_t Index, bool AllowEnd) const {
    const auto count = static_cast<int32_t>(FEntries.size());
    if (Index < 0 || Index > count || (Index == count && !AllowEnd)) throw EListError(SListIndexError, Index);
}

void TrkAclCenter::PrepareEntryChange() {
    if (!FIsExplicit && FIsACL) ACLToExplicit();
}

void TrkAclCenter::SetEntries(int32_t Index, const EXPLICIT_ACCESS_W& E) {
    PrepareEntryChange();
    CheckIndex(Index, false);
    FIsACL = false;
    FIsExplicit = false;
    *FEntries[Index] = E;
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
    auto record = std::make_unique<EXPLICIT_ACCESS_W>();
    std::memset(record.get(), 0, sizeof(EXPLICIT_ACCESS_W));
    record->grfAccessPermissions = STANDARD_RIGHTS_ALL;
    record->grfAccessMode = SET_ACCESS;
    record->Trustee.TrusteeForm = TRUSTEE_IS_SID;
    EXPLICIT_ACCESS_W* result = record.get();
    FEntries.insert(FEntries.begin() + Index, std::move(record));
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
    FEntrySids.clear();
    FEntryNames.clear();
}

void TrkAclCenter::CleanACL() {
    FACL.reset();
    FAclSize = 0;
    FIsACL = false;
}

void TrkAclCenter::Cleanup() { FACLList.clear(); }

// --- merging another center ------------------------------------------------------------------

void TrkAclCenter::OwnTrustee(EXPLICIT_ACCESS_W& E) {
    if (!E.Trustee.ptstrName) return;
    if (E.Trustee.TrusteeForm == TRUSTEE_IS_SID) {
        FSidCenter->SetSid(reinterpret_cast<PSID>(E.Trustee.ptstrName));
        E.Trustee.ptstrName = static_cast<LPWSTR>(FSidCenter->GetSidCopy());
    } else if (E.Trustee.TrusteeForm == TRUSTEE_IS_NAME) {
        const size_t length = std::wcslen(E.Trustee.ptstrName);
        auto name = std::make_unique<wchar_t[]>(length + 1);
        std::memcpy(name.get(), E.Trustee.ptstrName, (length + 1) * sizeof(wchar_t));
        E.Trustee.ptstrName = name.get();
        FEntryNames.push_back(std::move(name));
    }
}

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
        auto world = static_cast<LPWSTR>(FSidCenter->GetSidCopy());
        EXPLICIT_ACCESS_W* entry = AddEntry();
        entry->Trustee.ptstrName = world;
        entry->grfAccessPermissions = 0x1FFFFF;
        entry->grfAccessMode = SET_ACCESS;
    }
    for (int32_t i = 0; i < count; ++i) {
        EXPLICIT_ACCESS_W entry = *Other->Entries(i);
        OwnTrustee(entry);
        *AddEntry() = entry;
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
            TCenterBlock sidCopy(CenterGetMem(header->AceSize));
            std::memcpy(sidCopy.get(), sid, header->AceSize - sidOffset);
            auto record = std::make_unique<EXPLICIT_ACCESS_W>();
            std::memset(record.get(), 0, sizeof(EXPLICIT_ACCESS_W));
            record->grfAccessPermissions = known->Mask;
            record->grfAccessMode = modes[m];
            record->grfInheritance = header->AceFlags;
            record->Trustee.TrusteeForm = TRUSTEE_IS_SID;
            record->Trustee.ptstrName = static_cast<LPWSTR>(sidCopy.get());
            FEntrySids.push_back(std::move(sidCopy));
            FEntries.push_back(std::move(record));
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

void TrkAclCenter::ToolDeleteEntry(TWorkList& Work, size_t Index) { Work.erase(Work.begin() + Index); }

void TrkAclCenter::ToolInsertFront(TWorkList& Work, TAccessEntryType Type, PSID Sid, uint32_t Inheritance,
                                   uint32_t Mask, bool AuditSuccess, bool AuditFailure) {
    auto item = std::make_unique<TAccessEntry>();
    item->EntryType = Type;
    item->Sid = Sid;
    item->Inheritance = Inheritance;
    item->Mask = Mask;
    item->AuditSuccess = AuditSuccess;
    item->AuditFailure = AuditFailure;
    Work.insert(Work.begin(), std::move(item));
}

void TrkAclCenter::ToolGrantAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask) {
    uint32_t collected = 0;
    if (FMergeMasks) {
        for (size_t i = Work.size(); i-- > 0;) {
            TAccessEntry& item = *Work[i];
            if (item.EntryType == etAudit || item.Inheritance != Inheritance || !SameSid(item.Sid, Sid)) continue;
            if (item.EntryType == etAllow) {
                collected |= item.Mask;
                ToolDeleteEntry(Work, i);
            } else {
                item.Mask &= ~Mask;
                if (item.Mask == 0) ToolDeleteEntry(Work, i);
            }
        }
    }
    ToolInsertFront(Work, etAllow, Sid, Inheritance, Mask | collected);
}

void TrkAclCenter::ToolSetAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask) {
    for (size_t i = Work.size(); i-- > 0;) {
        const TAccessEntry& item = *Work[i];
        if (item.EntryType != etAudit && SameSid(item.Sid, Sid)) ToolDeleteEntry(Work, i);
    }
    ToolInsertFront(Work, etAllow, Sid, Inheritance, Mask);
}

void TrkAclCenter::ToolDenyAccess(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask) {
    uint32_t collected = 0;
    if (FMergeMasks) {
        for (size_t i = Work.size(); i-- > 0;) {
            TAccessEntry& item = *Work[i];
            if (item.EntryType == etAudit || item.Inheritance != Inheritance || !SameSid(item.Sid, Sid)) continue;
            if (item.EntryType == etDeny) {
                collected |= item.Mask;
                ToolDeleteEntry(Work, i);
            } else {
                item.Mask &= ~Mask;
                if (item.Mask == 0) ToolDeleteEntry(Work, i);
            }
        }
    }
    ToolInsertFront(Work, etDeny, Sid, Inheritance, Mask | collected);
}

void TrkAclCenter::ToolRevokeAccess(TWorkList& Work, PSID Sid) {
    for (size_t i = Work.size(); i-- > 0;)
        if (SameSid(Work[i]->Sid, Sid)) ToolDeleteEntry(Work, i);
}

void TrkAclCenter::ToolAudit(TWorkList& Work, PSID Sid, uint32_t Inheritance, uint32_t Mask, bool Success) {
    if (FMergeMasks) {
        for (size_t i = Work.size(); i-- > 0;) {
            TAccessEntry& item = *Work[i];
            if (item.EntryType != etAudit || item.Inheritance != Inheritance || !SameSid(item.Sid, Sid)) continue;
            // Only an item auditing the same single kind takes the bits.
            const bool sameKind = Success ? !item.AuditFailure : !item.AuditSuccess;
            if (!sameKind) continue;
            item.Mask |= Mask;
            return;
        }
    }
    ToolInsertFront(Work, etAudit, Sid, Inheritance, Mask, Success, !Success);
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
    TWorkList work;
    for (const auto& entry : FEntries) {
        // The center's own entries stay as they are: name trustees are resolved in a copy.
        EXPLICIT_ACCESS_W copy = *entry;
        if (copy.grfAccessMode < GRANT_ACCESS || copy.grfAccessMode > SET_AUDIT_FAILURE) continue;
        if (!ToolTrusteeToSid(copy)) {
            // An entry whose trustee was never filled cannot take part in an ACL.
            SetLastError(ERROR_INVALID_SID);
            RaiseLastOSError();
        }
        ToolAddAccessEntry(work, copy);
    }

    const uint64_t wanted = sizeof(::ACL) + uint64_t(AceRoomPerEntry) * work.size();
    uint32_t size = wanted > MaxAclSize ? MaxAclSize : static_cast<uint32_t>(wanted);
    TCenterBlock acl(CenterGetMem(size));
    if (!InitializeAcl(static_cast<PACL>(acl.get()), size, ACL_REVISION)) RaiseLastOSError();
    auto add = [&](auto call) {
        while (!call(static_cast<PACL>(acl.get()))) {
            if (GetLastError() != ERROR_ALLOTTED_SPACE_EXCEEDED) RaiseLastOSError();
            ToolIncreaseAclSize(acl, size);
        }
    };
    for (const auto& item : work) {
        if (item->EntryType != etAudit) continue;
        // Only the inheritance bits go into the ACE flags; success and failure are set apart.
        add([&](PACL a) {
            return AddAuditAccessAceEx(a, ACL_REVISION, item->Inheritance & VALID_INHERIT_FLAGS, item->Mask,
                                       item->Sid, item->AuditSuccess, item->AuditFailure);
        });
    }
    for (const auto& item : work) {
        if (item->EntryType != etDeny) continue;
        add([&](PACL a) { return AddAccessDeniedAceEx(a, ACL_REVISION, item->Inheritance, item->Mask, item->Sid); });
    }
    for (const auto& item : work) {
        if (item->EntryType != etAllow) continue;
        add([&](PACL a) { return AddAccessAllowedAceEx(a, ACL_REVISION, item->Inheritance, item->Mask, item->Sid); });
    }
    FACL = std::move(acl);
    FAclSize = size;
    FIsACL = true;
}

TAMREL_IMPLEMENT_CLASS(TrkAclCenter) {
    b.Boolean(L"MergeMasks", &TrkAclCenter::MergeMasks, &TrkAclCenter::SetMergeMasks, true);
}

} // namespace tamrel
