#include "runtime/security/Tamrel_RightsCenter.h"

#include "host/SysUtils.h"
#include "runtime/security/internal/Tamrel_LsaInternal.h"

#include <iterator>

namespace tamrel {

namespace {

constexpr const wchar_t* PrivilegeNames[] = {
    L"SeCreateTokenPrivilege",        L"SeAssignPrimaryTokenPrivilege", L"SeLockMemoryPrivilege",
    L"SeIncreaseQuotaPrivilege",      L"SeMachineAccountPrivilege",     L"SeTcbPrivilege",
    L"SeSecurityPrivilege",           L"SeTakeOwnershipPrivilege",      L"SeLoadDriverPrivilege",
    L"SeSystemProfilePrivilege",      L"SeSystemtimePrivilege",         L"SeProfileSingleProcessPrivilege",
    L"SeIncreaseBasePriorityPrivilege", L"SeCreatePagefilePrivilege",   L"SeCreatePermanentPrivilege",
    L"SeBackupPrivilege",             L"SeRestorePrivilege",            L"SeShutdownPrivilege",
    L"SeDebugPrivilege",              L"SeAuditPrivilege",              L"SeSystemEnvironmentPrivilege",
    L"SeChangeNotifyPrivilege",       L"SeRemoteShutdownPrivilege",     L"SeInteractiveLogonRight",
    L"SeNetworkLogonRight",           L"SeBatchLogonRight",             L"SeServiceLogonRight",
};
static_assert(std::size(PrivilegeNames) == PrivilegeCount);

// POLICY_LOOKUP_NAMES | POLICY_CREATE_ACCOUNT.
constexpr ACCESS_MASK RightsPolicyAccess = 0x810;
// STATUS_OBJECT_NAME_NOT_FOUND: the account holds no rights at all.
constexpr NTSTATUS StatusNoRights = static_cast<NTSTATUS>(0xC0000034);

bool SameSid(PSID a, PSID b) {
    if (!a || !b) return a == b;
    return EqualSid(a, b) != FALSE;
}

} // namespace

std::wstring PrivilegeToString(TrkPrivilege P) { return PrivilegeNames[P]; }

TrkPrivileges AllPrivileges() { return TrkPrivileges::FromBits((uint64_t(1) << PrivilegeCount) - 1); }

bool StringToPrivilege(const std::wstring& Name, TrkPrivilege& P) {
    for (int i = 0; i < PrivilegeCount; ++i) {
        if (Name == PrivilegeNames[i]) {
            P = static_cast<TrkPrivilege>(i);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TrkCustomRightsCenter

TrkCustomRightsCenter::TrkCustomRightsCenter(TComponent* AOwner) : TComponent(AOwner) {}

TrkCustomRightsCenter::~TrkCustomRightsCenter() = default;

void TrkCustomRightsCenter::ClearCurrent() {
    FCurrentAdditional.Clear();
    FCurrentPrivileges = {};
}

void TrkCustomRightsCenter::CheckNewAdditional() {
    for (int i = FNewAdditional.Count() - 1; i >= 0; --i) {
        TrkPrivilege p;
        if (StringToPrivilege(FNewAdditional.Get(i), p)) {
            FNewAdditional.Delete(i);
            FNewPrivileges.Include(p);
        }
    }
}

TrkPrivileges TrkCustomRightsCenter::CurrentPrivileges() {
    ReadCurrent();
    return FCurrentPrivileges;
}

TStrings* TrkCustomRightsCenter::CurrentAdditional() {
    ReadCurrent();
    FTempCurrentAdditional.Assign(&FCurrentAdditional);
    return &FTempCurrentAdditional;
}

TrkPrivileges TrkCustomRightsCenter::NewPrivileges() {
    CheckNewAdditional();
    return FNewPrivileges;
}

TStrings* TrkCustomRightsCenter::NewAdditional() {
    CheckNewAdditional();
    return &FNewAdditional;
}

void TrkCustomRightsCenter::SetNewAdditional(TStrings* V) {
    FNewAdditional.Assign(V);
    CheckNewAdditional();
}

bool TrkCustomRightsCenter::Committed() {
    ReadCurrent();
    CheckNewAdditional();
    if (FCurrentPrivileges != FNewPrivileges) return false;
    for (int i = 0; i < FCurrentAdditional.Count(); ++i)
        if (FNewAdditional.IndexOf(FCurrentAdditional.Get(i)) < 0) return false;
    for (int i = 0; i < FNewAdditional.Count(); ++i)
        if (FCurrentAdditional.IndexOf(FNewAdditional.Get(i)) < 0) return false;
    return true;
}

void TrkCustomRightsCenter::SetCommitted(bool V) {
    if (V && !Committed()) ApplyDifference();
}

void TrkCustomRightsCenter::ForEachChange(const TTableChange& OnTable, const TNameChange& OnName) {
    for (int i = 0; i < PrivilegeCount; ++i) {
        auto p = static_cast<TrkPrivilege>(i);
        bool wanted = FNewPrivileges.Contains(p);
        if (wanted != FCurrentPrivileges.Contains(p)) OnTable(p, wanted);
    }
    for (int i = 0; i < FNewAdditional.Count(); ++i)
        if (FCurrentAdditional.IndexOf(FNewAdditional.Get(i)) < 0) OnName(FNewAdditional.Get(i), true);
    for (int i = 0; i < FCurrentAdditional.Count(); ++i)
        if (FNewAdditional.IndexOf(FCurrentAdditional.Get(i)) < 0) OnName(FCurrentAdditional.Get(i), false);
}

TAMREL_IMPLEMENT_CLASS(TrkCustomRightsCenter) {
    using C = TrkCustomRightsCenter;
    b.Set(L"CurrentPrivileges", &C::CurrentPrivileges, &C::SetCurrentPrivileges, TrkPrivileges{}).NotStored();
    b.Object(L"CurrentAdditional", &C::CurrentAdditional).NotStored();
    b.Set(L"NewPrivileges", &C::NewPrivileges, &C::SetNewPrivileges, TrkPrivileges{});
    b.Object(L"NewAdditional", &C::NewAdditional);
    b.Boolean(L"Committed", &C::Committed, &C::SetCommitted, false).NotStored();
}

// ---------------------------------------------------------------------------------------------
// TrkAccountRightsCenter

TrkAccountRightsCenter::TrkAccountRightsCenter(TComponent* AOwner)
    : TrkCustomRightsCenter(AOwner), FServer(Create<TrkLsaUnicodeStringCenter>(nullptr)) {}

TrkAccountRightsCenter::~TrkAccountRightsCenter() {
    ClosePolicy();
    DropCache();
}

void TrkAccountRightsCenter::Notification(TComponent* AComponent, TOperation Operation) {
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSidCenter) FSidCenter = nullptr;
}

void TrkAccountRightsCenter::SetSidCenter(TrkSidCenter* C) {
    if (FSidCenter) FSidCenter->RemoveFreeNotification(this);
    FSidCenter = C;
    if (C) C->FreeNotification(this);
    DropCache();
}

PSID TrkAccountRightsCenter::Sid() { return FSidCenter ? FSidCenter->GetSid() : FSid.get(); }

void TrkAccountRightsCenter::SetSid(PSID P) {
    uint32_t size = 0;
    FSid = DuplicateSidBlock(P, size);
    DropCache();
}

void TrkAccountRightsCenter::SetServer(const std::wstring& S) {
    FServer->SetText(S);
    ClosePolicy();
    DropCache();
}

void TrkAccountRightsCenter::LsaCheck(NTSTATUS Status) {
    FLastError = Status;
    LsaCheckStatus(Status);
}

void TrkAccountRightsCenter::OpenPolicy() {
    if (FPolicyHandle) return;
    LsaCheck(LsaOpenPolicyHandle(FServer->Text(), RightsPolicyAccess, FPolicyHandle));
}

void TrkAccountRightsCenter::ClosePolicy() { FPolicyHandle.Reset(); }

bool TrkAccountRightsCenter::CurrentAvailable() {
    if (!FCurrentAvailable) return false;
    try {
        return SameSid(Sid(), FOldSid.get());
    } catch (const Exception&) {
        // A linked center that cannot make its SID any more: nothing read before holds.
        return false;
    }
}

void TrkAccountRightsCenter::SetCurrentAvailable(PSID SidInUse) {
    uint32_t size = 0;
    FOldSid = DuplicateSidBlock(SidInUse, size);
    FCurrentAvailable = true;
}

void TrkAccountRightsCenter::DropCache() {
    FCurrentAvailable = false;
    FOldSid.reset();
}

void TrkAccountRightsCenter::ReadCurrent() {
    if (CurrentAvailable()) return;
    ClearCurrent();
    try {
        PSID sid = Sid();
        if (!sid) return;
        OpenPolicy();
        PLSA_UNICODE_STRING rights = nullptr;
        ULONG count = 0;
        NTSTATUS status = RkLsaSlots().EnumerateAccountRights(FPolicyHandle.Get(), sid, &rights, &count);
        TLsaMemory owner(rights);
        if (status == StatusNoRights) {
            count = 0;
            status = 0;
        }
        LsaCheck(status);
        for (ULONG i = 0; i < count && rights; ++i) {
            std::wstring name = rights[i].Buffer ? std::wstring(rights[i].Buffer, rights[i].Length / 2) : L"";
            TrkPrivilege p;
            if (StringToPrivilege(name, p)) FCurrentPrivileges.Include(p);
            else FCurrentAdditional.Add(name);
        }
        SetCurrentAvailable(sid);
    } catch (const Exception&) {
        ClearCurrent();
    }
}

void TrkAccountRightsCenter::ApplyDifference() {
    // The state just read is the one the difference is taken against.
    DropCache();
    PSID sid = Sid();
    if (!sid) return;
    TScopeExit close([this] { ClosePolicy(); });
    OpenPolicy();
    TOwnedPtr<TrkLsaUnicodeStringCenter> right(Create<TrkLsaUnicodeStringCenter>(nullptr));
    auto apply = [&](const std::wstring& name, bool wanted) {
        right->SetText(name);
        PLSA_UNICODE_STRING record = right->GetLsaUnicodeString();
        if (wanted) LsaCheck(RkLsaSlots().AddAccountRights(FPolicyHandle.Get(), sid, record, 1));
        else LsaCheck(RkLsaSlots().RemoveAccountRights(FPolicyHandle.Get(), sid, FALSE, record, 1));
    };
    ForEachChange([&](TrkPrivilege p, bool wanted) { apply(PrivilegeToString(p), wanted); }, apply);
}

TAMREL_IMPLEMENT_CLASS(TrkAccountRightsCenter) {
    using C = TrkAccountRightsCenter;
    b.String(L"Server", &C::Server, &C::SetServer);
    b.Component(L"SidCenter", &C::SidCenter, &C::SetSidCenter);
}

} // namespace tamrel
