// Inside the security-descriptor center: the registry writes of SaveToRegistry, which tests
// replace. Not installed; a unit outside the security layer includes it only when its target
// links tamrel_security_internal.
#pragma once

#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"

namespace tamrel::detail {

// The two registry writes of SaveToRegistry. Tests replace them to make a delete or a write
// fail: a key open for writing may both delete and rewrite its values, so no real setup makes
// one of them fail while the key still opens.
struct TSdRegistryWrites {
    bool (*DeleteValue)(TRegistry& Reg, const std::wstring& Name);
    void (*WriteBinary)(TRegistry& Reg, const std::wstring& Name, const void* Data, int32_t Size);
};
TSdRegistryWrites& SdRegistryWrites();

} // namespace tamrel::detail
