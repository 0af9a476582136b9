// Account glyphs by well-known SID and SID type, and the resolved-account record.
#pragma once

#include "host/Api.h"

#include "host/forms/Graphics.h"
#include "runtime/security/Tamrel_CenterUtils.h"
#include "runtime/security/Tamrel_SidCenter.h"

#include <string>

namespace tamrel {

// The SID_NAME_USE value minus 1.
TAMREL_ENUM(TrkSidType, stUser, stGroup, stDomain, stAlias, stWellKnownGroup, stDeletedAccount, stInvalid, stUnknown);
using TrkSidTypes = TSet<TrkSidType>;

// The type of a SID_NAME_USE value; values past SidTypeUnknown (computers, labels) are stUnknown.
TAMREL_API TrkSidType SidTypeFromNameUse(SID_NAME_USE use);

// The glyph of the well-known entry when it has one, else of the type (which may be null);
// shared, not to be freed. The nine accounts from wkSelf to wkPolicyAdmins have an empty glyph,
// and no other is taken in its place.
TAMREL_API TBitmap* RkGetSidGlyph(TrkWellKnownSid WellKnown, TrkSidType SidType);

// The image-list index of an account: Ord(WellKnown) - 1 for a well-known account (0..40), and
// for any other Ord(SidType) + 41 (41..48), so that no two kinds share an index.
TAMREL_API int RkGetSidGlyphIndex(TrkWellKnownSid WellKnown, TrkSidType SidType);

// One resolved account. The record owns its copy of the SID.
class TAMREL_API TrkUserInfo : public TObject {
public:
    TrkUserInfo(const std::wstring& Domain, const std::wstring& UserName, TrkSidType SidType, PSID Sid,
                const std::wstring& SidString, TrkWellKnownSid WellKnown);

    const std::wstring& Domain() const { return FDomain; }
    const std::wstring& UserName() const { return FUserName; }
    TrkSidType SidType() const { return FSidType; }
    // Null when the record was made from a null SID.
    PSID Sid() const { return FSid.get(); }
    const std::wstring& SidString() const { return FSidString; }
    TrkWellKnownSid WellKnown() const { return FWellKnown; }

private:
    std::wstring FDomain;
    std::wstring FUserName;
    TrkSidType FSidType;
    TCenterBlock FSid;
    std::wstring FSidString;
    TrkWellKnownSid FWellKnown;
};

} // namespace tamrel
