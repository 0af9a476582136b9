#include "runtime/security/internal/Tamrel_LsaInternal.h"

#include "host/SysUtils.h"
#include "runtime/security/Tamrel_LsaStringCenter.h"

namespace tamrel {

const TRkLsaSlots& RkSystemLsaSlots() {
    static const TRkLsaSlots system{LsaOpenPolicy,
                                    LsaClose,
                                    LsaFreeMemory,
                                    LsaStorePrivateData,
                                    LsaRetrievePrivateData,
                                    LsaEnumerateAccountRights,
                                    LsaAddAccountRights,
                                    LsaRemoveAccountRights};
    return system;
}

TRkLsaSlots& RkLsaSlots() {
    static TRkLsaSlots slots = RkSystemLsaSlots();
    return slots;
}

namespace detail {
// Through the table in use when the handle closes: a test keeps its table in place until every
// center it made is gone.
void CloseLsaHandle(LSA_HANDLE h) { RkLsaSlots().Close(h); }
} // namespace detail

void LsaCheckStatus(NTSTATUS status) {
    if (status == 0) return;
    DWORD code = LsaNtStatusToWinError(status);
    SetLastError(code);
    RaiseLastOSError(code);
}

NTSTATUS LsaOpenPolicyHandle(const std::wstring& server, ACCESS_MASK access, TLsaPolicyHandle& handle) {
    TOwnedPtr<TrkLsaUnicodeStringCenter> name(Create<TrkLsaUnicodeStringCenter>(nullptr));
    name->SetText(server);
    LSA_OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    LSA_HANDLE opened = nullptr;
    NTSTATUS status = RkLsaSlots().OpenPolicy(server.empty() ? nullptr : name->GetLsaUnicodeString(), &attributes,
                                              access, &opened);
    handle.Reset(status == 0 ? opened : nullptr);
    return status;
}

} // namespace tamrel
