#include "Tamrel_SecurityObjects.h"

#include <vector>

namespace tamrel {

namespace {
TGetFileSecurityFunc gGetFileSecurity = &GetFileSecurityW;
TSetFileSecurityFunc gSetFileSecurity = &SetFileSecurityW;

DWORD Result(DWORD code) {
    SetLastError(code);
    return code;
}
} // namespace

TGetFileSecurityFunc SetGetFileSecurityFunc(TGetFileSecurityFunc F) {
    TGetFileSecurityFunc old = gGetFileSecurity;
    gGetFileSecurity = F ? F : &GetFileSecurityW;
    return old;
}

TSetFileSecurityFunc SetSetFileSecurityFunc(TSetFileSecurityFunc F) {
    TSetFileSecurityFunc old = gSetFileSecurity;
    gSetFileSecurity = F ? F : &SetFileSecurityW;
    return old;
}

SECURITY_INFORMATION SecurityPartsToInformation(TrkSdParts Parts) {
    SECURITY_INFORMATION info = 0;
    for (TrkSdPart p : {spOwner, spGroup, spDACL, spSACL})
        if (Parts.Contains(p)) info |= 1u << static_cast<int>(p);
    return info;
}

DWORD ReadFileSecurity(const std::wstring& FileName, TrkSdParts Parts, TrkSecurityDescriptorCenter* Center) {
    const SECURITY_INFORMATION info = SecurityPartsToInformation(Parts);
    DWORD needed = 0;
    if (gGetFileSecurity(FileName.c_str(), info, nullptr, 0, &needed)) return Result(ERROR_INVALID_DATA);
    DWORD code = GetLastError();
    // The descriptor may grow between the calls: ask again with the size the system gives.
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < 8 && code == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.assign(needed, 0);
        if (gGetFileSecurity(FileName.c_str(), info, buffer.data(), needed, &needed)) {
            Center->SetSD(buffer.data());
            return Result(0);
        }
        code = GetLastError();
    }
    return Result(code);
}

DWORD WriteFileSecurity(const std::wstring& FileName, TrkSdParts Parts, TrkSecurityDescriptorCenter* Center) {
    if (gSetFileSecurity(FileName.c_str(), SecurityPartsToInformation(Parts), Center->AbsoluteSD())) return Result(0);
    return Result(GetLastError());
}

} // namespace tamrel
