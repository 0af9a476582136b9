// The enabled privileges of the own process token, and the privileges' LUIDs and names on the
// local system.
#pragma once

#include "host/Classes.h"
#include "host/Handles.h"
#include "runtime/security/Tamrel_RightsCenter.h"

#include <cstdint>
#include <string>

namespace tamrel {

// LookupPrivilegeValueW on the local system; 0 when the system does not know the name.
TAMREL_API int64_t StringToLuid(const std::wstring& Name);
// From a process-wide table that fills itself entry by entry; 0 for a value the system does not
// know as a privilege (the four logon rights, and privileges newer than the system).
TAMREL_API int64_t PrivilegeToLuid(TrkPrivilege P);
// The first value whose LUID is Luid; a silent abort (EAbort) for a LUID outside the table and
// for 0, which stands for "unknown".
TAMREL_API TrkPrivilege LuidToPrivilege(int64_t Luid);
// The system name of a LUID; a failing look-up raises the OS error.
TAMREL_API std::wstring LuidToString(int64_t Luid);
// The display name of a LUID; the system name when the system has no display name for it. A
// failing system-name look-up raises the OS error.
TAMREL_API std::wstring LuidToName(int64_t Luid);
// A fixed text for the four logon rights (no system call), else LuidToName of the value's LUID.
TAMREL_API std::wstring PrivilegeToName(TrkPrivilege P);

class TAMREL_API TrkProcessRightsCenter : public TrkCustomRightsCenter {
    TAMREL_CLASS(TrkProcessRightsCenter, TrkCustomRightsCenter)
public:
    explicit TrkProcessRightsCenter(TComponent* AOwner);
    ~TrkProcessRightsCenter() override;

    // The current state is read once and kept until a commit. LastError is the last OS error
    // code. A commit enables and disables the privileges that differ in one
    // AdjustTokenPrivileges and never raises: a failure, and a privilege the token does not hold
    // (ERROR_NOT_ALL_ASSIGNED), are left in LastError (0 once everything was applied). Names the
    // system does not know are skipped.
    //
    // The own process token, opened to adjust and query privileges; kept open until CloseToken.
    // A failure leaves the OS error in LastError and aborts silently.
    void OpenToken();
    void CloseToken();

protected:
    void ReadCurrent() override;
    void ApplyDifference() override;

private:
    TKernelHandle FProcessToken;
    bool FCurrentAvailable = false;
};

} // namespace tamrel
