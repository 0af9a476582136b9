// File security for the ACL viewer: a file's descriptor read into a descriptor center and a
// center's descriptor written to a file, through two replaceable system calls.
#pragma once

#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"

namespace tamrel {

// The SECURITY_INFORMATION of a set of parts: owner 1, group 2, DACL 4, SACL 8.
SECURITY_INFORMATION SecurityPartsToInformation(TrkSdParts Parts);

// Reads the parts of FileName's descriptor into Center; 0, else the failing call's error (also
// left as the thread's last error). The center is changed only by a read that succeeded.
DWORD ReadFileSecurity(const std::wstring& FileName, TrkSdParts Parts, TrkSecurityDescriptorCenter* Center);
// Writes the parts of Center's descriptor to FileName; 0, else the error (also the last error).
DWORD WriteFileSecurity(const std::wstring& FileName, TrkSdParts Parts, TrkSecurityDescriptorCenter* Center);

// The two system calls, replaceable for tests; each setter answers the previous function.
using TGetFileSecurityFunc = BOOL(WINAPI*)(LPCWSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
using TSetFileSecurityFunc = BOOL(WINAPI*)(LPCWSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
TGetFileSecurityFunc SetGetFileSecurityFunc(TGetFileSecurityFunc F);
TSetFileSecurityFunc SetSetFileSecurityFunc(TSetFileSecurityFunc F);

} // namespace tamrel
