// The security-descriptor center: one descriptor held as an absolute descriptor, a self-relative
// one and its explicit parts (owner, group, DACL, SACL with their present flags), each built
// from another on demand; stored as a binary registry value or in a stream.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "host/Registry.h"
#include "host/Streams.h"
#include "runtime/security/Tamrel_CenterUtils.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel {

TAMREL_ENUM(TrkSdPart, spOwner, spGroup, spDACL, spSACL);
using TrkSdParts = TSet<TrkSdPart>;

class TAMREL_API TrkSecurityDescriptorCenter : public TComponent {
    TAMREL_CLASS(TrkSecurityDescriptorCenter, TComponent)
public:
    explicit TrkSecurityDescriptorCenter(TComponent* AOwner);
    ~TrkSecurityDescriptorCenter() override;

    // The descriptor forms: the center's own blocks, valid until the next change. Nil when the
    // center holds no descriptor; "No security information" when no form is valid.
    PSECURITY_DESCRIPTOR GetAbsoluteSD();
    PSECURITY_DESCRIPTOR AbsoluteSD() { return GetAbsoluteSD(); }
    PSECURITY_DESCRIPTOR GetRelativeSD();
    PSECURITY_DESCRIPTOR RelativeSD() { return GetRelativeSD(); }
    // Takes a descriptor in either form; both descriptor forms are then valid.
    void SetSD(PSECURITY_DESCRIPTOR SD);

    // The parts: the center's own blocks, valid until that part is next changed. Setting a part
    // keeps the others.
    PSID SdOwner();
    void SetSdOwner(PSID V);
    PSID SdGroup();
    void SetSdGroup(PSID V);
    PACL DACL();
    void SetDACL(PACL V);
    PACL SACL();
    void SetSACL(PACL V);
    // True with a nil DACL is a NULL DACL (everyone has full access); False: no DACL at all.
    bool IsDACL();
    void SetIsDACL(bool V);
    bool IsSACL();
    void SetIsSACL(bool V);

    // Copies that stay valid until Cleanup or destruction; the caller never frees them.
    PSECURITY_DESCRIPTOR GetAbsoluteSDCopy();
    PSECURITY_DESCRIPTOR GetRelativeSDCopy();
    void Cleanup();

    // One binary value holding the self-relative descriptor. Messages write the root as its
    // 32-bit handle value in 8 hexadecimal digits.
    void LoadFromRegistry(HKEY Root, const std::wstring& Key, const std::wstring& Value);
    void SaveToRegistry(HKEY Root, const std::wstring& Key, const std::wstring& Value);
    // A 32-bit little-endian length N, then N bytes of the self-relative descriptor; N = 0 is
    // no descriptor.
    void LoadFromStream(TStream& S);
    void SaveToStream(TStream& S);

    // The largest self-relative descriptor: header, two SIDs of 15 sub-authorities and two ACLs
    // of the largest size.
    static constexpr uint32_t MaxRelativeSize = 20 + 2 * 68 + 2 * 65535;
    // The self-relative header, the same in both processors' builds.
    static constexpr uint32_t RelativeHeaderSize = 20;

private:
    void CleanAbsolute();
    void CleanRelative();
    void CleanExplicit();
    void DropAllForms();
    void SetExplicit();
    void SDToExplicit();
    void ExplicitToSD();

    std::vector<TCenterBlock> FSDList;
    bool FIsAbsolute = false;
    TCenterBlock FSDAbsolute;
    uint32_t FSDAbsoluteSize = 0;
    bool FIsRelative = false;
    TCenterBlock FSDRelative;
    uint32_t FSDRelativeSize = 0;
    bool FIsExplicit = true;
    TCenterBlock FSdOwner;
    uint32_t FSdOwnerSize = 0;
    TCenterBlock FSdGroup;
    uint32_t FSdGroupSize = 0;
    TCenterBlock FDACL;
    uint32_t FDACLSize = 0;
    bool FIsDACL = false;
    TCenterBlock FSACL;
    uint32_t FSACLSize = 0;
    bool FIsSACL = false;
};

// Whether Size bytes hold a self-relative descriptor whose every offset, SID and ACL (with its
// ACEs, and the SIDs of the ACE kinds that carry one) lies inside them. The system's own test
// may look at no more than the revision.
TAMREL_API bool IsWellFormedRelativeSD(const void* Data, size_t Size);

} // namespace tamrel
