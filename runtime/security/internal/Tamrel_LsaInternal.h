// Internal to the security centers and their tests: every LSA policy call of the secret and
// account-rights centers goes through one table of function pointers, so that a test can put an
// LSA of its own in place of the system's. The table starts out with the system's functions.
//
// Not part of the library's public surface: user code never includes this header.
#pragma once

#include "host/Handles.h"
#include "runtime/security/Tamrel_LsaStringCenter.h"

#include <windows.h>
#include <ntsecapi.h>

#include <string>

namespace tamrel {

struct TRkLsaSlots {
    using TOpenPolicy = NTSTATUS(NTAPI*)(PLSA_UNICODE_STRING SystemName, PLSA_OBJECT_ATTRIBUTES ObjectAttributes,
                                         ACCESS_MASK DesiredAccess, PLSA_HANDLE PolicyHandle);
    using TClose = NTSTATUS(NTAPI*)(LSA_HANDLE ObjectHandle);
    using TFreeMemory = NTSTATUS(NTAPI*)(PVOID Buffer);
    using TStorePrivateData = NTSTATUS(NTAPI*)(LSA_HANDLE PolicyHandle, PLSA_UNICODE_STRING KeyName,
                                               PLSA_UNICODE_STRING PrivateData);
    using TRetrievePrivateData = NTSTATUS(NTAPI*)(LSA_HANDLE PolicyHandle, PLSA_UNICODE_STRING KeyName,
                                                  PLSA_UNICODE_STRING* PrivateData);
    using TEnumerateAccountRights = NTSTATUS(NTAPI*)(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                                     PLSA_UNICODE_STRING* UserRights, PULONG CountOfRights);
    using TAddAccountRights = NTSTATUS(NTAPI*)(LSA_HANDLE PolicyHandle, PSID AccountSid,
                                               PLSA_UNICODE_STRING UserRights, ULONG CountOfRights);
    using TRemoveAccountRights = NTSTATUS(NTAPI*)(LSA_HANDLE PolicyHandle, PSID AccountSid, BOOLEAN AllRights,
                                                  PLSA_UNICODE_STRING UserRights, ULONG CountOfRights);

    TOpenPolicy OpenPolicy;
    TClose Close;
    TFreeMemory FreeMemory;
    TStorePrivateData StorePrivateData;
    TRetrievePrivateData RetrievePrivateData;
    TEnumerateAccountRights EnumerateAccountRights;
    TAddAccountRights AddAccountRights;
    TRemoveAccountRights RemoveAccountRights;
};

// The table in use. Tests change it only through TRkLsaSlotsOverride, while no center is working.
TRkLsaSlots& RkLsaSlots();
// The system's functions.
const TRkLsaSlots& RkSystemLsaSlots();

// Puts a table in place for one scope and restores the previous one on every exit.
class TRkLsaSlotsOverride {
public:
    explicit TRkLsaSlotsOverride(const TRkLsaSlots& slots) : FSaved(RkLsaSlots()) { RkLsaSlots() = slots; }
    ~TRkLsaSlotsOverride() { RkLsaSlots() = FSaved; }
    TRkLsaSlotsOverride(const TRkLsaSlotsOverride&) = delete;
    TRkLsaSlotsOverride& operator=(const TRkLsaSlotsOverride&) = delete;

private:
    TRkLsaSlots FSaved;
};

namespace detail {
inline void FreeLsaMemory(void* p) { RkLsaSlots().FreeMemory(p); }
} // namespace detail

// A buffer the LSA handed out, freed through the table in use.
using TLsaMemory = TUniqueHandle<void*, detail::FreeLsaMemory>;

// Raises the OS error of a failing status: the converted code becomes the thread's last error
// and the exception's code. Success (0) returns.
void LsaCheckStatus(NTSTATUS status);
// Opens a policy on Server (the local system for an empty name) with zeroed object attributes
// and answers the status; on failure Handle is left closed.
NTSTATUS LsaOpenPolicyHandle(const std::wstring& server, ACCESS_MASK access, TLsaPolicyHandle& handle);

} // namespace tamrel
