#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"

#include "host/SysUtils.h"
#include "runtime/security/internal/Tamrel_SecurityDescriptorCenterInternal.h"

#include <cstring>

namespace tamrel {

namespace {

constexpr wchar_t SNoSecurityInformation[] = L"No security information";
constexpr wchar_t SUnableToOpenKey[] = L"Unable to open registry key %s\\%s";
constexpr wchar_t SValueNotFound[] = L"Value \"%s\" is not found in registry key %s\\%s";
constexpr wchar_t SValueInvalidType[] = L"Value \"%s\" in registry key %s\\%s has invalid type";
constexpr wchar_t SErrorReadingValue[] = L"Error reading value \"%s\" from registry key %s\\%s. Message: \"%s\"";
constexpr wchar_t SUnableToDeleteValue[] = L"Unable to delete value \"%s\" from registry key %s\\%s";
constexpr wchar_t SUnableToWriteValue[] = L"Unable to write value \"%s\" to registry key %s\\%s. Message \"%s\"";
constexpr wchar_t SInvalidStreamedSD[] = L"Stream does not hold a valid security descriptor (length %u)";

// The root key as its 32-bit handle value: HKEY_LOCAL_MACHINE is 80000002 in both builds.
std::wstring RootText(HKEY root) {
    return IntToHex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(root)), 8);
}

uint32_t ReadU32(const BYTE* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint16_t ReadU16(const BYTE* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A SID of Room bytes or fewer at P.
bool SidFits(const BYTE* p, size_t room) {
    if (room < 8 || p[0] != SID_REVISION || p[1] > SID_MAX_SUB_AUTHORITIES) return false;
    return room >= 8u + 4u * p[1];
}

// ACE kinds whose SID follows the header and the mask directly.
bool AceHasPlainSid(BYTE type) {
    switch (type) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_DENIED_ACE_TYPE:
    case SYSTEM_AUDIT_ACE_TYPE:
    case SYSTEM_ALARM_ACE_TYPE:
    case SYSTEM_MANDATORY_LABEL_ACE_TYPE: return true;
    default: return false;
    }
}

bool AclFits(const BYTE* p, size_t room) {
    if (room < sizeof(::ACL)) return false;
    const BYTE revision = p[0];
    const uint16_t aclSize = ReadU16(p + 2);
    const uint16_t aceCount = ReadU16(p + 4);
    if (revision < MIN_ACL_REVISION || revision > MAX_ACL_REVISION) return false;
    if (aclSize < sizeof(::ACL) || aclSize > room) return false;
    size_t pos = sizeof(::ACL);
    for (uint32_t i = 0; i < aceCount; ++i) {
        if (aclSize - pos < sizeof(ACE_HEADER)) return false;
        const BYTE* ace = p + pos;
        const BYTE type = ace[0];
        const uint16_t aceSize = ReadU16(ace + 2);
        if (aceSize < sizeof(ACE_HEADER) || aceSize > aclSize - pos) return false;
        // Header and mask, then the SID, all inside the ACE.
        if (AceHasPlainSid(type) && (aceSize < 8 || !SidFits(ace + 8, aceSize - 8u))) return false;
        pos += aceSize;
    }
    return true;
}

// A part at Offset (0: absent) inside the descriptor, behind its header.
template <class F> bool PartFits(const BYTE* base, size_t size, uint32_t offset, F fits) {
    if (offset == 0) return true;
    if (offset < TrkSecurityDescriptorCenter::RelativeHeaderSize || offset >= size) return false;
    return fits(base + offset, size - offset);
}

} // namespace

bool IsWellFormedRelativeSD(const void* Data, size_t Size) {
    if (!Data || Size < TrkSecurityDescriptorCenter::RelativeHeaderSize) return false;
    const auto* p = static_cast<const BYTE*>(Data);
    const uint16_t control = ReadU16(p + 2);
    // Anything else would be read as an absolute descriptor, with pointers.
    if (p[0] != SECURITY_DESCRIPTOR_REVISION || !(control & SE_SELF_RELATIVE)) return false;
    return PartFits(p, Size, ReadU32(p + 4), SidFits) && PartFits(p, Size, ReadU32(p + 8), SidFits) &&
           PartFits(p, Size, ReadU32(p + 12), AclFits) && PartFits(p, Size, ReadU32(p + 16), AclFits);
}

namespace detail {
TSdRegistryWrites& SdRegistryWrites() {
    static TSdRegistryWrites writes{
        [](TRegistry& reg, const std::wstring& name) { return reg.DeleteValue(name); },
        [](TRegistry& reg, const std::wstring& name, const void* data, int32_t size) {
            reg.WriteBinaryData(name, data, size);
        }};
    return writes;
}
} // namespace detail

// ---------------------------------------------------------------------------------------------

TrkSecurityDescriptorCenter::TrkSecurityDescriptorCenter(TComponent* AOwner) : TComponent(AOwner) {}

TrkSecurityDescriptorCenter::~TrkSecurityDescriptorCenter() { Cleanup(); }

void TrkSecurityDescriptorCenter::CleanAbsolute() {
    FSDAbsolute.reset();
    FSDAbsoluteSize = 0;
    FIsAbsolute = false;
}

void TrkSecurityDescriptorCenter::CleanRelative() {
    FSDRelative.reset();
    FSDRelativeSize = 0;
    FIsRelative = false;
}

void TrkSecurityDescriptorCenter::CleanExplicit() {
    FSdOwner.reset();
    FSdOwnerSize = 0;
    FSdGroup.reset();
    FSdGroupSize = 0;
    FDACL.reset();
    FDACLSize = 0;
    FIsDACL = false;
    FSACL.reset();
    FSACLSize = 0;
    FIsSACL = false;
    FIsExplicit = false;
}

void TrkSecurityDescriptorCenter::DropAllForms() {
    CleanAbsolute();
    CleanRelative();
    CleanExplicit();
}

void TrkSecurityDescriptorCenter::SetSD(PSECURITY_DESCRIPTOR SD) {
    DropAllForms();
    if (!SD) {
        // No descriptor at all: both descriptor forms say so.
        FIsAbsolute = true;
        FIsRelative = true;
        return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(SD, &control, &revision)) RaiseLastOSError();
    if (control & SE_SELF_RELATIVE) {
        FSDAbsolute = RelativeToAbsoluteBlock(SD, FSDAbsoluteSize);
        FSDRelative = AbsoluteToRelativeBlock(FSDAbsolute.get(), FSDRelativeSize);
    } else {
        FSDRelative = AbsoluteToRelativeBlock(SD, FSDRelativeSize);
        FSDAbsolute = RelativeToAbsoluteBlock(FSDRelative.get(), FSDAbsoluteSize);
    }
    FIsAbsolute = true;
    FIsRelative = true;
}

PSECURITY_DESCRIPTOR TrkSecurityDescriptorCenter::GetAbsoluteSD() {
    if (!FIsAbsolute) {
        if (FIsRelative) {
            if (FSDRelative) FSDAbsolute = RelativeToAbsoluteBlock(FSDRelative.get(), FSDAbsoluteSize);
            FIsAbsolute = true;
        } else if (FIsExplicit) {
            ExplicitToSD();
        } else {
            throw Exception(SNoSecurityInformation);
        }
    }
    return FSDAbsolute.get();
}

PSECURITY_DESCRIPTOR TrkSecurityDescriptorCenter::GetRelativeSD() {
    if (!FIsRelative) {
        if (FIsAbsolute) {
            if (FSDAbsolute) FSDRelative = AbsoluteToRelativeBlock(FSDAbsolute.get(), FSDRelativeSize);
            FIsRelative = true;
        } else if (FIsExplicit) {
            ExplicitToSD();
        } else {
            throw Exception(SNoSecurityInformation);
        }
    }
    return FSDRelative.get();
}

PSECURITY_DESCRIPTOR TrkSecurityDescriptorCenter::GetAbsoluteSDCopy() {
    PSECURITY_DESCRIPTOR rel = GetRelativeSD();
    if (!rel) return nullptr;
    uint32_t size = 0;
    FSDList.push_back(RelativeToAbsoluteBlock(rel, size));
    return FSDList.back().get();
}

PSECURITY_DESCRIPTOR TrkSecurityDescriptorCenter::GetRelativeSDCopy() {
    PSECURITY_DESCRIPTOR abs = GetAbsoluteSD();
    if (!abs) return nullptr;
    uint32_t size = 0;
    FSDList.push_back(AbsoluteToRelativeBlock(abs, size));
    return FSDList.back().get();
}

void TrkSecurityDescriptorCenter::Cleanup() { FSDList.clear(); }

// --- the explicit parts ----------------------------------------------------------------------

void TrkSecurityDescriptorCenter::SDToExplicit() {
    CleanExplicit();
    PSECURITY_DESCRIPTOR sd = GetRelativeSD();
    if (!sd) {
        FIsExplicit = true;
        return;
    }
    PSID owner = nullptr, group = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!GetSecurityDescriptorOwner(sd, &owner, &defaulted)) RaiseLastOSError();
    if (!GetSecurityDescriptorGroup(sd, &group, &defaulted)) RaiseLastOSError();
    PACL dacl = nullptr, sacl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted)) RaiseLastOSError();
    const bool isDacl = present != FALSE;
    if (!GetSecurityDescriptorSacl(sd, &present, &sacl, &defaulted)) RaiseLastOSError();
    const bool isSacl = present != FALSE;
    FSdOwner = DuplicateSidBlock(owner, FSdOwnerSize);
    FSdGroup = DuplicateSidBlock(group, FSdGroupSize);
    FDACL = DuplicateAclBlock(isDacl ? dacl : nullptr, FDACLSize);
    FIsDACL = isDacl;
    FSACL = DuplicateAclBlock(isSacl ? sacl : nullptr, FSACLSize);
    FIsSACL = isSacl;
    FIsExplicit = true;
}

void TrkSecurityDescriptorCenter::ExplicitToSD() {
    SECURITY_DESCRIPTOR sd;
    if (!InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION)) RaiseLastOSError();
    if (!SetSecurityDescriptorOwner(&sd, FSdOwner.get(), FALSE)) RaiseLastOSError();
    if (!SetSecurityDescriptorGroup(&sd, FSdGroup.get(), FALSE)) RaiseLastOSError();
    if (!SetSecurityDescriptorDacl(&sd, FIsDACL, static_cast<PACL>(FDACL.get()), FALSE)) RaiseLastOSError();
    if (!SetSecurityDescriptorSacl(&sd, FIsSACL, static_cast<PACL>(FSACL.get()), FALSE)) RaiseLastOSError();
    uint32_t relSize = 0, absSize = 0;
    TCenterBlock rel = AbsoluteToRelativeBlock(&sd, relSize);
    TCenterBlock abs = RelativeToAbsoluteBlock(rel.get(), absSize);
    FSDRelative = std::move(rel);
    FSDRelativeSize = relSize;
    FSDAbsolute = std::move(abs);
    FSDAbsoluteSize = absSize;
    FIsRelative = true;
    FIsAbsolute = true;
}

void TrkSecurityDescriptorCenter::SetExplicit() {
    if (!FIsExplicit && (FIsAbsolute || FIsRelative)) SDToExplicit();
    CleanAbsolute();
    CleanRelative();
    FIsExplicit = true;
}

PSID TrkSecurityDescriptorCenter::SdOwner() {
    if (!FIsExplicit) SDToExplicit();
    return FSdOwner.get();
}

PSID TrkSecurityDescriptorCenter::SdGroup() {
    if (!FIsExplicit) SDToExplicit();
    return FSdGroup.get();
}

PACL TrkSecurityDescriptorCenter::DACL() {
    if (!FIsExplicit) SDToExplicit();
    return static_cast<PACL>(FDACL.get());
}

PACL TrkSecurityDescriptorCenter::SACL() {
    if (!FIsExplicit) SDToExplicit();
    return static_cast<PACL>(FSACL.get());
}

bool TrkSecurityDescriptorCenter::IsDACL() {
    if (!FIsExplicit) SDToExplicit();
    return FIsDACL;
}

bool TrkSecurityDescriptorCenter::IsSACL() {
    if (!FIsExplicit) SDToExplicit();
    return FIsSACL;
}

void TrkSecurityDescriptorCenter::SetSdOwner(PSID V) {
    SetExplicit();
    uint32_t size = 0;
    TCenterBlock copy = DuplicateSidBlock(V, size);
    FSdOwner = std::move(copy);
    FSdOwnerSize = size;
}

void TrkSecurityDescriptorCenter::SetSdGroup(PSID V) {
    SetExplicit();
    uint32_t size = 0;
    TCenterBlock copy = DuplicateSidBlock(V, size);
    FSdGroup = std::move(copy);
    FSdGroupSize = size;
}

void TrkSecurityDescriptorCenter::SetDACL(PACL V) {
    SetExplicit();
    uint32_t size = 0;
    TCenterBlock copy = DuplicateAclBlock(V, size);
    FDACL = std::move(copy);
    FDACLSize = size;
    FIsDACL = V != nullptr;
}

void TrkSecurityDescriptorCenter::SetSACL(PACL V) {
    SetExplicit();
    uint32_t size = 0;
    TCenterBlock copy = DuplicateAclBlock(V, size);
    FSACL = std::move(copy);
    FSACLSize = size;
    FIsSACL = V != nullptr;
}

void TrkSecurityDescriptorCenter::SetIsDACL(bool V) {
    SetExplicit();
    FIsDACL = V;
    if (!V) {
        FDACL.reset();
        FDACLSize = 0;
    }
}

void TrkSecurityDescriptorCenter::SetIsSACL(bool V) {
    SetExplicit();
    FIsSACL = V;
    if (!V) {
        FSACL.reset();
        FSACLSize = 0;
    }
}

// --- registry --------------------------------------------------------------------------------

void TrkSecurityDescriptorCenter::LoadFromRegistry(HKEY Root, const std::wstring& Key, const std::wstring& Value) {
    DropAllForms();
    const std::wstring root = RootText(Root);
    TRegistry reg;
    reg.SetRootKey(Root);
    if (!reg.OpenKeyReadOnly(Key)) throw Exception(SUnableToOpenKey, root, Key);
    if (!reg.ValueExists(Value)) throw Exception(SValueNotFound, Value, root, Key);
    TRegDataInfo info;
    if (!reg.GetDataInfo(Value, info) || info.RegData != rdBinary) throw Exception(SValueInvalidType, Value, root, Key);
    TCenterBlock block;
    uint32_t size = 0;
    try {
        if (info.DataSize < 0 || static_cast<uint32_t>(info.DataSize) > MaxRelativeSize)
            RaiseLastOSError(ERROR_INVALID_SECURITY_DESCR);
        block.reset(CenterGetMem(static_cast<size_t>(info.DataSize)));
        size = static_cast<uint32_t>(reg.ReadBinaryData(Value, block.get(), info.DataSize));
        if (!IsWellFormedRelativeSD(block.get(), size)) RaiseLastOSError(ERROR_INVALID_SECURITY_DESCR);
        if (!IsValidSecurityDescriptor(block.get())) RaiseLastOSError();
    } catch (const Exception& e) {
        throw Exception(SErrorReadingValue, Value, root, Key, e.Message());
    }
    FSDRelative = std::move(block);
    FSDRelativeSize = size;
    FIsRelative = true;
}

void TrkSecurityDescriptorCenter::SaveToRegistry(HKEY Root, const std::wstring& Key, const std::wstring& Value) {
    // The bytes first: a center without a descriptor to give fails before anything is touched.
    PSECURITY_DESCRIPTOR sd = GetRelativeSD();
    const std::wstring root = RootText(Root);
    TRegistry reg;
    reg.SetRootKey(Root);
    if (!reg.OpenKey(Key, true)) throw Exception(SUnableToOpenKey, root, Key);
    detail::TSdRegistryWrites& writes = detail::SdRegistryWrites();
    if (!sd) {
        if (reg.ValueExists(Value) && !writes.DeleteValue(reg, Value))
            throw Exception(SUnableToDeleteValue, Value, root, Key);
        return;
    }
    // One write replaces an old value whole, so a failure leaves it as it was.
    try {
        writes.WriteBinary(reg, Value, sd, static_cast<int32_t>(FSDRelativeSize));
    } catch (const Exception& e) {
        throw Exception(SUnableToWriteValue, Value, root, Key, e.Message());
    }
}

// --- stream ----------------------------------------------------------------------------------

void TrkSecurityDescriptorCenter::SaveToStream(TStream& S) {
    PSECURITY_DESCRIPTOR sd = GetRelativeSD();
    const uint32_t n = sd ? FSDRelativeSize : 0;
    const BYTE length[4] = {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)};
    S.WriteBuffer(length, sizeof(length));
    if (n) S.WriteBuffer(sd, static_cast<int32_t>(n));
}

void TrkSecurityDescriptorCenter::LoadFromStream(TStream& S) {
    DropAllForms();
    BYTE length[4];
    S.ReadBuffer(length, sizeof(length));
    const uint32_t n = uint32_t(length[0]) | uint32_t(length[1]) << 8 | uint32_t(length[2]) << 16 |
                       uint32_t(length[3]) << 24;
    if (n == 0) {
        // Written for a center without a descriptor: it reads back as one.
        FIsRelative = true;
        return;
    }
    const int64_t remaining = S.Size() - S.Position();
    if (n > MaxRelativeSize || int64_t(n) > remaining) throw EReadError(SInvalidStreamedSD, n);
    TCenterBlock block(CenterGetMem(n));
    S.ReadBuffer(block.get(), static_cast<int32_t>(n));
    if (!IsWellFormedRelativeSD(block.get(), n) || !IsValidSecurityDescriptor(block.get()))
        throw EReadError(SInvalidStreamedSD, n);
    FSDRelative = std::move(block);
    FSDRelativeSize = n;
    FIsRelative = true;
}

TAMREL_IMPLEMENT_CLASS(TrkSecurityDescriptorCenter) {}

} // namespace tamrel
