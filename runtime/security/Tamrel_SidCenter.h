// The SID center: one security identifier held in whichever form the caller set (account name,
// full name, binary SID, explicit data, SID string or well-known value) and converted lazily to
// the others. Also the account-name look-up with its cache of well-known accounts, and the
// explicit-access copy routines that give an entry its own trustee SID.
#pragma once

#include "host/Api.h"
#include "host/Classes.h"
#include "runtime/security/Tamrel_CenterUtils.h"

#include <windows.h>
#include <aclapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A drop-in replacement of LookupAccountNameW: the system first, then, for names the system
// cannot resolve, the well-known accounts of that machine from a process-wide cache. Exported
// from the run-time library under this plain name in both processors' builds. A machine's
// accounts are looked up once, by the first thread that needs them; look-ups on other machines
// do not wait for that.
extern "C" TAMREL_API BOOL WINAPI LookupAccountNameEx(LPCWSTR lpSystemName, LPCWSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                                           LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                           PSID_NAME_USE peUse);

namespace tamrel {

TAMREL_ENUM(TrkSidSource, ssNone, ssName, ssSID, ssData, ssString, ssWellKnown, ssFullName);

TAMREL_ENUM(TrkWellKnownSid, wkOther, wkCurrentUser, wkNull, wkWorld, wkLocal, wkCreatorOwner, wkCreatorGroup,
            wkCreatorOwnerServer, wkCreatorGroupServer, wkDialup, wkNetwork, wkBatch, wkInteractive, wkService,
            wkAnonymous, wkProxy, wkBuildIn, wkAuthenticated, wkLocalSystem, wkAdmin, wkGuest, wkAdminsGroup,
            wkUsersGroup, wkGuestsGroup, wkAdminsAlias, wkUsersAlias, wkGuestsAlias, wkPowerUsersAlias,
            wkAccountOpsAlias, wkSystemOpsAlias, wkPrintOpsAlias, wkBackupOpsAlias, wkReplicatorAlias, wkSelf,
            wkRestricted, wkTerminalServer, wkComputers, wkControllers, wkCertAdmins, wkSchemaAdmins,
            wkEnterpriseAdmins, wkPolicyAdmins);

class TAMREL_API TrkSidCenter : public TComponent {
    TAMREL_CLASS(TrkSidCenter, TComponent)
public:
    explicit TrkSidCenter(TComponent* AOwner);
    ~TrkSidCenter() override;

    // Published, in streaming order.
    const std::wstring& Server() const { return FServer; }
    void SetServer(const std::wstring& S);
    std::wstring GetSidString();
    std::wstring SidString() { return GetSidString(); }
    void SetSidString(const std::wstring& S);
    std::wstring GetDomain();
    std::wstring Domain() { return GetDomain(); }
    // Invalidates the derived SID forms only: callers set Domain first and UserName second.
    void SetDomain(const std::wstring& S);
    // GetUserName() is the call. <windows.h> makes GetUserName a macro for GetUserNameW, or
    // GetUserNameA without UNICODE, and this header leaves the macro to its includers: the getter
    // answers to both spellings.
    std::wstring GetUserNameW();
    std::wstring GetUserNameA() { return GetUserNameW(); }
    std::wstring UserName() { return GetUserNameW(); }
    void SetUserName(const std::wstring& S);
    TrkWellKnownSid GetWellKnown();
    TrkWellKnownSid WellKnown() { return GetWellKnown(); }
    void SetWellKnown(TrkWellKnownSid V);
    TrkSidSource Source() const { return FSource; }
    void SetSource(TrkSidSource V);
    std::wstring GetFullName();
    std::wstring FullName() { return GetFullName(); }
    void SetFullName(const std::wstring& S);

    // The center's own block, valid until the next change; raises when no SID can be made.
    PSID GetSid();
    PSID Sid() { return GetSid(); }
    void SetSid(PSID P);
    BYTE Revision();
    void SetRevision(BYTE V);
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority();
    void SetIdentifierAuthority(const SID_IDENTIFIER_AUTHORITY& V);
    BYTE SubAuthorityCount();
    void SetSubAuthorityCount(BYTE N);
    uint32_t SubAuthority(BYTE Index);
    void SetSubAuthority(BYTE Index, uint32_t Value);
    // Error lines of the last operation.
    TStringList* Errors() const { return FErrors.get(); }

    // A copy that stays valid until CleanUp or destruction; the caller never frees it.
    PSID GetSidCopy();
    void CleanUp();

    // Stored rules of the published properties.
    bool SaveSidString() const { return FSource == ssString; }
    bool SaveDomain();
    bool SaveUserName() const { return FSource == ssName; }
    bool SaveFullName() const { return FSource == ssFullName; }

private:
    void Modified();
    void ValidateSourceForm(TrkSidSource V);
    void CleanSid();
    [[noreturn]] void CollectAndAbort(const std::wstring& line);
    [[noreturn]] void ParseError(const std::wstring& message);
    void RetrieveExplicitData();
    void SidToExplicitData();
    void ExplicitDataToSid();
    void ExplicitDataToSidString();
    void SidStringToExcplicitData();
    void NameToSid();
    void SidToName();
    // Brings the name form up to date from the explicit data.
    void ResolveName();
    void WellKnownToExcplicitData();
    void GetCurrentUserSID();
    void ExplicitDataSet();

    std::vector<TCenterBlock> FSidList;
    std::wstring FServer;
    TrkSidSource FSource = ssNone;
    bool FIsSidString = false;
    std::wstring FSidString;
    bool FIsExplicitData = false;
    BYTE FRevision = 0;
    BYTE FSubAuthorityCount = 0;
    SID_IDENTIFIER_AUTHORITY FIdentifierAuthority{};
    // A SID has at most 15; the parser stores a sixteenth before it refuses the text.
    uint32_t FSubAuthority[16] = {};
    bool FIsName = false;
    bool FIsFullName = false;
    std::wstring FDomain;
    std::wstring FUserName;
    std::wstring FFullName;
    bool FIsSid = false;
    TCenterBlock FSid;
    uint32_t FSidSize = 0;
    bool FIsWellKnown = false;
    TrkWellKnownSid FWellKnown = wkOther;
    std::unique_ptr<TStringList> FErrors;
};

using TSidCenterPtr = std::unique_ptr<TrkSidCenter, TFreeComponent>;

// Dest gets Source's 32 bytes and a trustee SID of its own: a name trustee is resolved on the
// local system first. A name that cannot be resolved raises, and Dest keeps the name trustee.
TAMREL_API void CopyExplicitAccess(EXPLICIT_ACCESS_W& Dest, const EXPLICIT_ACCESS_W& Source);
// Frees the trustee SID an entry owns; name trustees are left alone.
TAMREL_API void CleanExplicitAccess(EXPLICIT_ACCESS_W& E);

// Splits "DOMAIN\user" at the first backslash; without one the domain is empty.
TAMREL_API void SplitAccountName(const std::wstring& text, std::wstring& domain, std::wstring& user);

} // namespace tamrel
