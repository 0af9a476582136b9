// The privilege vocabulary of the library, and the center that manages the LSA account rights
// (privileges and logon rights) of one SID on a system.
//
// The rights centers (this one and the process-rights center) read the current state lazily,
// hold the wanted state in NewPrivileges / NewAdditional, and apply the difference when
// Committed is set to True or Commit is called. Names outside the privilege table travel as text
// in the additional lists.
#pragma once

#include "host/Classes.h"
#include "runtime/security/Tamrel_LsaStringCenter.h"
#include "runtime/security/Tamrel_SidCenter.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace tamrel {

TAMREL_ENUM(TrkPrivilege, spCreateToken, spAssignPrimaryToken, spLockMemory, spIncreaseQuota, spMachineAccount,
            spTCB, spSecurity, spTakeOwnership, spLoadDriver, spSystemProfile, spSystemTyme, spProfSingleProcess,
            spIncBasePriority, spCreatePageFile, spCreatePermanent, spBackup, spRestore, spShutdown, spDebug,
            spAudit, spSystemEnvironement, spChangeNotify, spRemoteShutdown, spInteractiveLogon, spNetworkLogon,
            spBatchLogon, spServiceLogon);
using TrkPrivileges = TSet<TrkPrivilege>;

inline constexpr int PrivilegeCount = spServiceLogon + 1;

// The system name of a value ("SeDebugPrivilege").
TAMREL_API std::wstring PrivilegeToString(TrkPrivilege P);
// Every value of the table.
TAMREL_API TrkPrivileges AllPrivileges();
// The value whose system name is exactly Name (case-sensitive); false when none.
TAMREL_API bool StringToPrivilege(const std::wstring& Name, TrkPrivilege& P);

// What both rights centers share: the current and the wanted privileges, the comparison of the
// two, and the order in which a commit applies their difference.
class TAMREL_API TrkCustomRightsCenter : public TComponent {
    TAMREL_CLASS(TrkCustomRightsCenter, TComponent)
public:
    explicit TrkCustomRightsCenter(TComponent* AOwner);
    ~TrkCustomRightsCenter() override;

    // Published. The current state never raises: on failure it reads [] and the error stays in
    // LastError.
    TrkPrivileges CurrentPrivileges();
    void SetCurrentPrivileges(TrkPrivileges) {}
    // A copy that callers may change freely; valid until the next read.
    TStrings* CurrentAdditional();
    TrkPrivileges NewPrivileges();
    void SetNewPrivileges(TrkPrivileges V) { FNewPrivileges = V; }
    TStrings* NewAdditional();
    void SetNewAdditional(TStrings* V);
    // The current state equals the wanted one (additional names compared ignoring case).
    bool Committed();
    // True applies the difference when Committed reads False; False does nothing.
    void SetCommitted(bool V);

    int32_t LastError() const { return FLastError; }
    void Commit() { SetCommitted(true); }

protected:
    // Fills the current state unless it is known; never raises.
    virtual void ReadCurrent() = 0;
    // Applies the difference between the state just read and the wanted one.
    virtual void ApplyDifference() = 0;

    void ClearCurrent();
    using TTableChange = std::function<void(TrkPrivilege P, bool Wanted)>;
    using TNameChange = std::function<void(const std::wstring& Name, bool Wanted)>;
    // Every difference in the order a commit applies them: table values in order, then the
    // wanted additional names that are not current, then the current ones that are not wanted.
    void ForEachChange(const TTableChange& OnTable, const TNameChange& OnName);

    int32_t FLastError = 0;
    TrkPrivileges FCurrentPrivileges;
    TStringList FCurrentAdditional;

private:
    // Moves every line of NewAdditional that is a table name into NewPrivileges (last line
    // first).
    void CheckNewAdditional();

    TStringList FTempCurrentAdditional;
    TrkPrivileges FNewPrivileges;
    TStringList FNewAdditional;
};

class TAMREL_API TrkAccountRightsCenter : public TrkCustomRightsCenter {
    TAMREL_CLASS(TrkAccountRightsCenter, TrkCustomRightsCenter)
public:
    explicit TrkAccountRightsCenter(TComponent* AOwner);
    ~TrkAccountRightsCenter() override;

    // Published, behind the shared ones. LastError is the last LSA status (0 = success). A
    // commit raises on the first failing LSA call and closes the policy either way.
    std::wstring Server() { return FServer->Text(); }
    void SetServer(const std::wstring& S);
    TrkSidCenter* SidCenter() const { return FSidCenter; }
    void SetSidCenter(TrkSidCenter* C);

    // The SID in use: the linked center's when one is linked, else the center's own copy.
    PSID Sid();
    void SetSid(PSID P);
    void OpenPolicy();
    void ClosePolicy();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void ReadCurrent() override;
    void ApplyDifference() override;

private:
    void LsaCheck(NTSTATUS Status);
    bool CurrentAvailable();
    void SetCurrentAvailable(PSID SidInUse);
    void DropCache();

    TLsaPolicyHandle FPolicyHandle;
    TOwnedPtr<TrkLsaUnicodeStringCenter> FServer;
    TrkSidCenter* FSidCenter = nullptr;
    TCenterBlock FSid;
    TCenterBlock FOldSid;
    bool FCurrentAvailable = false;
};

} // namespace tamrel
