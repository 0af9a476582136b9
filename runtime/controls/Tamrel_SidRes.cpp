#include "runtime/controls/Tamrel_SidRes.h"

#include "runtime/controls/Tamrel_CtlRes.h"

#include <map>

namespace tamrel {

namespace {

struct TSidGlyphTables {
    std::unique_ptr<TBitmap> ByType[8];
    std::map<TrkWellKnownSid, std::unique_ptr<TBitmap>> ByWellKnown;
    TSidGlyphTables() {
        ByType[stUser] = detail::LoadLibraryBitmap(L"SID_USER");
        ByType[stGroup] = detail::LoadLibraryBitmap(L"SID_GROUP");
        static const std::pair<TrkWellKnownSid, const wchar_t*> names[] = {
            {wkWorld, L"SID_WORLD"},
            {wkCreatorOwner, L"SID_OWNER"},
            {wkDialup, L"SID_DIALUP"},
            {wkNetwork, L"SID_NETWORK"},
            {wkBatch, L"SID_BATCH"},
            {wkInteractive, L"SID_INTERACTIVE"},
            {wkService, L"SID_SERVICE"},
            {wkAnonymous, L"SID_ANONYMOUS"},
            {wkBuildIn, L"SID_BUILTIN"},
            {wkAuthenticated, L"SID_AUTHENTICATED"},
            {wkLocalSystem, L"SID_SYSTEM"},
            {wkAdmin, L"SID_ADMIN"},
            {wkGuest, L"SID_GUEST"},
            {wkAdminsGroup, L"SID_DOMAIN_ADMINS"},
            {wkUsersGroup, L"SID_DOMAIN_USERS"},
            {wkGuestsGroup, L"SID_DOMAIN_GUESTS"},
            {wkAdminsAlias, L"SID_ADMINS"},
            {wkUsersAlias, L"SID_USERS"},
            {wkGuestsAlias, L"SID_GUESTS"},
            {wkPowerUsersAlias, L"SID_POWER_USERS"},
            {wkBackupOpsAlias, L"SID_BACKUP"},
            {wkReplicatorAlias, L"SID_REPLICATOR"},
            // No resources: these load as empty bitmaps.
            {wkSelf, L"SID_SELF"},
            {wkRestricted, L"SID_RESTRICTED"},
            {wkTerminalServer, L"SID_TERMINAL_SERVER"},
            {wkComputers, L"SID_COMPUTERS"},
            {wkControllers, L"SID_CONTROLLERS"},
            {wkCertAdmins, L"SID_CERT_ADMINS"},
            {wkSchemaAdmins, L"SID_SCHEMA_ADMINS"},
            {wkEnterpriseAdmins, L"SID_ENTERPRISE_ADMINS"},
            {wkPolicyAdmins, L"SID_POLICY_ADMINS"},
        };
        for (const auto& [wk, name] : names) ByWellKnown[wk] = detail::LoadLibraryBitmap(name);
    }
};

TSidGlyphTables& SidGlyphs() {
    static TSidGlyphTables tables;
    return tables;
}

} // namespace

TrkSidType SidTypeFromNameUse(SID_NAME_USE use) {
    if (use < SidTypeUser || use > SidTypeUnknown) return stUnknown;
    return static_cast<TrkSidType>(use - 1);
}

TBitmap* RkGetSidGlyph(TrkWellKnownSid WellKnown, TrkSidType SidType) {
    auto& tables = SidGlyphs();
    auto it = tables.ByWellKnown.find(WellKnown);
    if (it != tables.ByWellKnown.end()) return it->second.get();
    if (SidType < stUser || SidType > stUnknown) return nullptr;
    return tables.ByType[SidType].get();
}

int RkGetSidGlyphIndex(TrkWellKnownSid WellKnown, TrkSidType SidType) {
    if (WellKnown != wkOther) return static_cast<int>(WellKnown) - 1;
    return static_cast<int>(SidType) + 41;
}

TrkUserInfo::TrkUserInfo(const std::wstring& Domain, const std::wstring& UserName, TrkSidType SidType, PSID Sid,
                         const std::wstring& SidString, TrkWellKnownSid WellKnown)
    : FDomain(Domain), FUserName(UserName), FSidType(SidType), FSidString(SidString), FWellKnown(WellKnown) {
    uint32_t size = 0;
    FSid = DuplicateSidBlock(Sid, size);
}

} // namespace tamrel
