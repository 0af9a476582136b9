#include "runtime/security/Tamrel_SidCenter.h"
#include "runtime/security/internal/Tamrel_SidCenterInternal.h"

#include "host/ExceptionBoundary.h"
#include "host/Handles.h"
#include "host/SizeProbe.h"
#include "host/SysUtils.h"
#include "runtime/service/base/Tamrel_WinVer.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string_view>

namespace tamrel {

namespace {

constexpr wchar_t SUnknownSidSource[] = L"Unknown SID source";
constexpr wchar_t SSidNotReady[] = L"SID is not ready";
constexpr wchar_t SExplicitDataNotReady[] = L"SID explicit data is not ready";
constexpr wchar_t SNameNotReady[] = L"Name is not ready";
constexpr wchar_t SNoWellKnownSid[] = L"No well-known SID";
constexpr wchar_t SCounterOutOfBounds[] = L"Counter '%d' is out of bounds [0..15]";
constexpr wchar_t SIndexOutOfBounds[] = L"Index '%d' is out of bounds [0..%d]";
constexpr wchar_t SSidStringNotReady[] = L"SID string is not ready";
constexpr wchar_t SSExpected[] = L"The 's' expected but '%s' found";
constexpr wchar_t SMinusExpected[] = L"The '-' expected but '%s' found";
constexpr wchar_t SInvalidRevision[] = L"Invalid SID revision '%d'";
constexpr wchar_t SBadAuthority[] = L"Can't interpret IdentifierAuthority '%d'";
constexpr wchar_t STooManySubAuthorities[] = L"Too many SubAuthorities";
constexpr wchar_t SErrorPrefix[] = L"Error: ";

constexpr BYTE MaxSubAuthorities = 15;
constexpr DWORD NameChars = 128;
constexpr DWORD DomainChars = 64;

// How each well-known value is made, and how explicit data is recognised as one: a fixed SID
// (authority, one or two sub-authorities), or a relative identifier behind the account domain's
// SID. A fixed SID is recognised by its authority, its count and its sub-authorities, except that
// AnyCount ones are recognised by the first sub-authority whatever the count; a domain-relative
// one by S-1-5-21-... and its last sub-authority alone (the domain part is not compared).
struct TWellKnownShape {
    BYTE Authority;
    BYTE Count;
    uint32_t Sub0;
    uint32_t Sub1;
    uint32_t Rid; // non-zero: domain-relative
    bool AnyCount = false;
};

constexpr uint32_t DomainSubAuthority = 21; // S-1-5-21-...: an account domain

constexpr TWellKnownShape WellKnownShapes[] = {
    {0, 0, 0, 0, 0},          // wkOther
    {0, 0, 0, 0, 0},          // wkCurrentUser: from the process token
    {0, 1, 0, 0, 0},          // wkNull
    {1, 1, 0, 0, 0},          // wkWorld
    {2, 1, 0, 0, 0},          // wkLocal
    {3, 1, 0, 0, 0},          // wkCreatorOwner
    {3, 1, 1, 0, 0},          // wkCreatorGroup
    {3, 1, 2, 0, 0},          // wkCreatorOwnerServer
    {3, 1, 3, 0, 0},          // wkCreatorGroupServer
    {5, 1, 1, 0, 0},          // wkDialup
    {5, 1, 2, 0, 0},          // wkNetwork
    {5, 1, 3, 0, 0},          // wkBatch
    {5, 1, 4, 0, 0},          // wkInteractive
    {5, 1, 6, 0, 0},          // wkService
    {5, 1, 7, 0, 0},          // wkAnonymous
    {5, 1, 8, 0, 0},          // wkProxy
    {5, 1, 32, 0, 0},         // wkBuildIn
    {5, 1, 11, 0, 0, true},   // wkAuthenticated
    {5, 1, 18, 0, 0, true},   // wkLocalSystem
    {0, 0, 0, 0, 500},        // wkAdmin
    {0, 0, 0, 0, 501},        // wkGuest
    {0, 0, 0, 0, 512},        // wkAdminsGroup
    {0, 0, 0, 0, 513},        // wkUsersGroup
    {0, 0, 0, 0, 514},        // wkGuestsGroup
    {5, 2, 32, 544, 0},       // wkAdminsAlias
    {5, 2, 32, 545, 0},       // wkUsersAlias
    {5, 2, 32, 546, 0},       // wkGuestsAlias
    {5, 2, 32, 547, 0},       // wkPowerUsersAlias
    {5, 2, 32, 548, 0},       // wkAccountOpsAlias
    {5, 2, 32, 549, 0},       // wkSystemOpsAlias
    {5, 2, 32, 550, 0},       // wkPrintOpsAlias
    {5, 2, 32, 551, 0},       // wkBackupOpsAlias
    {5, 2, 32, 552, 0},       // wkReplicatorAlias
    {5, 1, 10, 0, 0, true},   // wkSelf
    {5, 1, 12, 0, 0, true},   // wkRestricted
    {5, 1, 13, 0, 0, true},   // wkTerminalServer
    {0, 0, 0, 0, 515},        // wkComputers
    {0, 0, 0, 0, 516},        // wkControllers
    {0, 0, 0, 0, 517},        // wkCertAdmins
    {0, 0, 0, 0, 518},        // wkSchemaAdmins
    {0, 0, 0, 0, 519},        // wkEnterpriseAdmins
    {0, 0, 0, 0, 520},        // wkPolicyAdmins
};
static_assert(std::size(WellKnownShapes) == wkPolicyAdmins + 1);

// Whether explicit data (the last authority byte, the count, the sub-authorities) is the SID of a
// shape.
bool IsShapeOf(const TWellKnownShape& shape, BYTE authority, BYTE count, const uint32_t* sub) {
    if (count == 0) return false;
    if (shape.Rid)
        return authority == 5 && sub[0] == DomainSubAuthority && sub[count - 1] == shape.Rid;
    if (shape.Count == 0 || authority != shape.Authority || sub[0] != shape.Sub0) return false;
    if (shape.AnyCount) return true;
    return count == shape.Count && (count < 2 || sub[1] == shape.Sub1);
}

bool IsSidSource(TrkSidSource V) { return V >= ssNone && V <= ssFullName; }

std::wstring LocalComputerName() {
    wchar_t name[64] = {};
    DWORD size = 64;
    if (!GetComputerNameW(name, &size)) return {};
    return name;
}

const wchar_t* SystemName(const std::wstring& server) { return server.empty() ? nullptr : server.c_str(); }

} // namespace

void SplitAccountName(const std::wstring& text, std::wstring& domain, std::wstring& user) {
    size_t slash = text.find(L'\\');
    if (slash == std::wstring::npos) {
        domain.clear();
        user = text;
    } else {
        domain = text.substr(0, slash);
        user = text.substr(slash + 1);
    }
}

// ---------------------------------------------------------------------------------------------
// TrkSidCenter

TrkSidCenter::TrkSidCenter(TComponent* AOwner) : TComponent(AOwner), FErrors(std::make_unique<TStringList>()) {}

TrkSidCenter::~TrkSidCenter() {
    CleanUp();
    CleanSid();
}

void TrkSidCenter::Modified() {
    FErrors->Clear();
    FIsSidString = false;
    FIsExplicitData = false;
    FIsName = false;
    FIsFullName = false;
    FIsSid = false;
    FIsWellKnown = false;
}

void TrkSidCenter::ValidateSourceForm(TrkSidSource V) {
    switch (V) {
    case ssNone: break;
    case ssName: FIsName = true; break;
    case ssSID: FIsSid = true; break;
    case ssData: FIsExplicitData = true; break;
    case ssString: FIsSidString = true; break;
    case ssWellKnown: FIsWellKnown = true; break;
    case ssFullName: FIsFullName = true; break;
    default: throw Exception(SUnknownSidSource);
    }
}

void TrkSidCenter::CleanSid() {
    FSid.reset();
    FSidSize = 0;
}

void TrkSidCenter::CollectAndAbort(const std::wstring& line) {
    FErrors->Add(line);
    Abort();
}

void TrkSidCenter::ParseError(const std::wstring& message) { CollectAndAbort(SErrorPrefix + message); }

// --- setters ---------------------------------------------------------------------------------

void TrkSidCenter::SetSource(TrkSidSource V) {
    if (!IsSidSource(V)) throw Exception(SUnknownSidSource);
    Modified();
    FSource = V;
    ValidateSourceForm(V);
}

void TrkSidCenter::SetServer(const std::wstring& S) {
    FServer = S;
    Modified();
    ValidateSourceForm(FSource);
}

void TrkSidCenter::SetSidString(const std::wstring& S) {
    Modified();
    FSidString = S;
    FIsSidString = true;
    FSource = ssString;
}

void TrkSidCenter::SetDomain(const std::wstring& S) {
    FIsSidString = false;
    FIsExplicitData = false;
    FIsSid = false;
    FIsWellKnown = false;
    FDomain = S;
}

void TrkSidCenter::SetUserName(const std::wstring& S) {
    Modified();
    FUserName = S;
    FIsName = true;
    FSource = ssName;
}

void TrkSidCenter::SetFullName(const std::wstring& S) {
    Modified();
    FFullName = S;
    FIsFullName = true;
    FSource = ssFullName;
}

void TrkSidCenter::SetWellKnown(TrkWellKnownSid V) {
    Modified();
    FWellKnown = V;
    FIsWellKnown = true;
    FSource = V == wkOther ? ssNone : ssWellKnown;
}

void TrkSidCenter::ExplicitDataSet() {
    FSource = ssData;
    FIsExplicitData = true;
}

void TrkSidCenter::SetRevision(BYTE V) {
    Modified();
    FRevision = V;
    ExplicitDataSet();
}

void TrkSidCenter::SetIdentifierAuthority(const SID_IDENTIFIER_AUTHORITY& V) {
    Modified();
    FIdentifierAuthority = V;
    ExplicitDataSet();
}

void TrkSidCenter::SetSubAuthorityCount(BYTE N) {
    if (N > MaxSubAuthorities) throw Exception(SCounterOutOfBounds, static_cast<int>(N));
    Modified();
    FSubAuthorityCount = N;
    ExplicitDataSet();
}

void TrkSidCenter::SetSubAuthority(BYTE Index, uint32_t Value) {
    if (Index >= FSubAuthorityCount)
        throw Exception(SIndexOutOfBounds, static_cast<int>(Index), static_cast<int>(FSubAuthorityCount));
    Modified();
    FSubAuthority[Index] = Value;
    ExplicitDataSet();
}

void TrkSidCenter::SetSid(PSID P) {
    Modified();
    CleanSid();
    FSid = DuplicateSidBlock(P, FSidSize);
    FIsSid = true;
    FSource = ssSID;
}

// --- getters ---------------------------------------------------------------------------------

PSID TrkSidCenter::GetSid() {
    if (!FIsSid) {
        RetrieveExplicitData();
        ExplicitDataToSid();
    }
    return FSid.get();
}

PSID TrkSidCenter::GetSidCopy() {
    PSID sid = GetSid();
    uint32_t size = 0;
    TCenterBlock copy = DuplicateSidBlock(sid, size);
    if (!copy) return nullptr;
    FSidList.push_back(std::move(copy));
    return FSidList.back().get();
}

void TrkSidCenter::CleanUp() { FSidList.clear(); }

// The string getters never raise: a form that cannot be made reads as empty (out of memory
// still goes on).
std::wstring TrkSidCenter::GetSidString() {
    return ValueOr<std::wstring>({}, [this] {
        if (!FIsSidString) {
            RetrieveExplicitData();
            ExplicitDataToSidString();
        }
        return FSidString;
    });
}

void TrkSidCenter::ResolveName() {
    if (FIsName) return;
    RetrieveExplicitData();
    ExplicitDataToSid();
    SidToName();
}

std::wstring TrkSidCenter::GetDomain() {
    return ValueOr<std::wstring>({}, [this] {
        ResolveName();
        return FDomain;
    });
}

std::wstring TrkSidCenter::GetUserNameW() {
    return ValueOr<std::wstring>({}, [this] {
        ResolveName();
        return FUserName;
    });
}

std::wstring TrkSidCenter::GetFullName() {
    return ValueOr<std::wstring>({}, [this] {
        if (!FIsFullName) {
            std::wstring domain = GetDomain();
            std::wstring user = GetUserName();
            if (!domain.empty() && !user.empty())
                FFullName = domain + L"\\" + user;
            else
                FFullName = domain.empty() ? user : domain;
            FIsFullName = true;
        }
        return FFullName;
    });
}

BYTE TrkSidCenter::Revision() {
    RetrieveExplicitData();
    return FRevision;
}

SID_IDENTIFIER_AUTHORITY TrkSidCenter::IdentifierAuthority() {
    RetrieveExplicitData();
    return FIdentifierAuthority;
}

BYTE TrkSidCenter::SubAuthorityCount() {
    RetrieveExplicitData();
    return FSubAuthorityCount;
}

uint32_t TrkSidCenter::SubAuthority(BYTE Index) {
    if (Index >= FSubAuthorityCount)
        throw Exception(SIndexOutOfBounds, static_cast<int>(Index), static_cast<int>(FSubAuthorityCount));
    RetrieveExplicitData();
    return FSubAuthority[Index];
}

bool TrkSidCenter::SaveDomain() {
    if (FSource == ssName) return true;
    if (FSource != ssWellKnown) return false;
    TrkWellKnownSid wk = GetWellKnown();
    return wk >= wkAdmin && wk <= wkGuestsGroup;
}

// --- conversions -----------------------------------------------------------------------------

void TrkSidCenter::RetrieveExplicitData() {
    if (FIsExplicitData) return;
    switch (FSource) {
    case ssNone:
    case ssData: break;
    case ssString: SidStringToExcplicitData(); break;
    case ssWellKnown: WellKnownToExcplicitData(); break;
    case ssName:
    case ssFullName:
        NameToSid();
        SidToExplicitData();
        break;
    case ssSID: SidToExplicitData(); break;
    default: throw Exception(SUnknownSidSource);
    }
    FIsExplicitData = true;
}

void TrkSidCenter::SidToExplicitData() {
    // A center given a nil SID holds no SID to read.
    if (!FIsSid || !FSid) throw Exception(SSidNotReady);
    auto bytes = static_cast<const BYTE*>(FSid.get());
    FRevision = bytes[0];
    BYTE count = bytes[1];
    // The block was checked when it was made; never read past it all the same.
    uint32_t room = FSidSize >= 8 ? (FSidSize - 8) / 4 : 0;
    if (count > room) count = static_cast<BYTE>(room);
    if (count > 16) count = 16;
    std::memcpy(FIdentifierAuthority.Value, bytes + 2, 6);
    std::memcpy(FSubAuthority, bytes + 8, count * sizeof(uint32_t));
    FSubAuthorityCount = count;
    // A trailing $FFFFFFFF stands for "no identifier"; a SID without sub-authorities has none
    // to test.
    if (FSubAuthorityCount > 0 && FSubAuthority[FSubAuthorityCount - 1] == 0xFFFFFFFFu) --FSubAuthorityCount;
}

void TrkSidCenter::ExplicitDataToSid() {
    if (!FIsExplicitData) throw Exception(SExplicitDataNotReady);
    if (FIsSid) return;
    CleanSid();
    BYTE count = FSubAuthorityCount > 16 ? 16 : FSubAuthorityCount;
    uint32_t size = 8 + 4 * count;
    TCenterBlock block(CenterGetMem(size));
    auto bytes = static_cast<BYTE*>(block.get());
    bytes[0] = FRevision;
    bytes[1] = count;
    std::memcpy(bytes + 2, FIdentifierAuthority.Value, 6);
    std::memcpy(bytes + 8, FSubAuthority, count * sizeof(uint32_t));
    FSid = std::move(block);
    FSidSize = size;
    FIsSid = true;
}

void TrkSidCenter::ExplicitDataToSidString() {
    if (!FIsExplicitData) throw Exception(SExplicitDataNotReady);
    if (FIsSidString) return;
    // Only the last authority byte is written: authorities above 255 do not occur in this form.
    std::wstring text = L"S-" + IntToStr(FRevision) + L"-" + IntToStr(FIdentifierAuthority.Value[5]);
    BYTE count = FSubAuthorityCount > 16 ? 16 : FSubAuthorityCount;
    for (BYTE i = 0; i < count; ++i) text += L"-" + UIntToStr(FSubAuthority[i]);
    FSidString = std::move(text);
    FIsSidString = true;
}

void TrkSidCenter::SidStringToExcplicitData() {
    if (!FIsSidString) ParseError(SSidStringNotReady);
    // The text ends at its first NUL character, as for any system string.
    std::wstring_view text(FSidString.c_str());
    size_t pos = 0;
    auto atEnd = [&] { return pos >= text.size(); };
    auto peek = [&] { return atEnd() ? L'\0' : text[pos]; };
    auto separator = [&] {
        while (peek() == L' ') ++pos;
        if (peek() != L'-') ParseError(Format(SMinusExpected, peek()));
        ++pos;
        while (peek() == L' ') ++pos;
    };
    // The longest run of digits; digits beyond the 32 bits wrap, an empty run is 0.
    auto number = [&] {
        uint32_t value = 0;
        while (peek() >= L'0' && peek() <= L'9') {
            value = value * 10u + static_cast<uint32_t>(peek() - L'0');
            ++pos;
        }
        return value;
    };

    if (peek() != L'S' && peek() != L's') ParseError(Format(SSExpected, peek()));
    ++pos;
    separator();
    uint32_t revision = number();
    if (revision != 1) ParseError(Format(SInvalidRevision, revision));
    FRevision = 1;
    separator();
    uint32_t authority = number();
    if (authority > 255) ParseError(Format(SBadAuthority, authority));
    FIdentifierAuthority = {};
    FIdentifierAuthority.Value[5] = static_cast<BYTE>(authority);
    separator();
    FSubAuthorityCount = 0;
    while (!atEnd()) {
        FSubAuthority[FSubAuthorityCount] = number();
        ++FSubAuthorityCount;
        if (FSubAuthorityCount > MaxSubAuthorities) ParseError(STooManySubAuthorities);
        if (atEnd()) break;
        separator();
    }
    FIsExplicitData = true;
}

void TrkSidCenter::NameToSid() {
    std::wstring account;
    if (FIsName) {
        if (FDomain.empty() && FUserName.empty())
            account = LocalComputerName();
        else if (FDomain.empty())
            account = L".\\" + FUserName;
        else if (FUserName.empty())
            account = FDomain;
        else
            account = FDomain + L"\\" + FUserName;
    } else if (FIsFullName) {
        account = FFullName;
    } else {
        throw Exception(SNameNotReady);
    }
    CleanSid();
    const wchar_t* system = SystemName(FServer);
    wchar_t domain[DomainChars];
    SID_NAME_USE use = SidTypeUnknown;
    std::vector<BYTE> found;
    DWORD sidSize = 0;
    const DWORD error = CallWithSizeProbe(found, sidSize, [&](BYTE* b, DWORD& n) {
        DWORD domainSize = DomainChars;
        return ErrorOf(LookupAccountNameEx(system, account.c_str(), b, &n, domain, &domainSize, &use));
    });
    // A name is never found without a buffer for its SID: the probe must ask for room.
    if (error != ERROR_SUCCESS || found.empty()) CollectAndAbort(OSErrorText(error ? error : ERROR_NONE_MAPPED));
    const uint32_t blockSize = static_cast<uint32_t>(found.size());
    TCenterBlock sid(CenterGetMem(blockSize));
    std::memcpy(sid.get(), found.data(), blockSize);
    FSid = std::move(sid);
    FSidSize = blockSize;
    FIsSid = true;
}

void TrkSidCenter::SidToName() {
    if (!FIsSid || !FSid) throw Exception(SSidNotReady);
    if (FIsName) return;
    wchar_t name[NameChars];
    wchar_t domain[DomainChars];
    DWORD nameSize = NameChars;
    DWORD domainSize = DomainChars;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(SystemName(FServer), FSid.get(), name, &nameSize, domain, &domainSize, &use)) Abort();
    FUserName = name;
    FDomain = domain;
    FIsName = true;
}

void TrkSidCenter::GetCurrentUserSID() {
    CleanSid();
    // Without the NT security model there is no token and no SID: the center then holds no
    // SID, and reading it fails with "SID is not ready".
    if (!IsWinNT()) return;
    TKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) CollectAndAbort(RkLastWin32Error());
    std::vector<BYTE> buffer;
    DWORD size = 0;
    const DWORD error = CallWithSizeProbe(buffer, size, [&](BYTE* b, DWORD& n) {
        return ErrorOf(GetTokenInformation(token.Get(), TokenUser, b, n, &n));
    });
    if (error != ERROR_SUCCESS || buffer.empty()) CollectAndAbort(OSErrorText(error));
    auto user = reinterpret_cast<TOKEN_USER*>(buffer.data());
    FSid = DuplicateSidBlock(user->User.Sid, FSidSize);
    FIsSid = true;
}

void TrkSidCenter::WellKnownToExcplicitData() {
    if (!FIsWellKnown || FWellKnown == wkOther || FWellKnown < wkOther || FWellKnown > wkPolicyAdmins)
        throw Exception(SNoWellKnownSid);
    FRevision = 1;
    if (FWellKnown == wkCurrentUser) {
        GetCurrentUserSID();
        SidToExplicitData();
        return;
    }
    const TWellKnownShape& shape = WellKnownShapes[FWellKnown];
    if (shape.Rid == 0) {
        FIdentifierAuthority = {};
        FIdentifierAuthority.Value[5] = shape.Authority;
        FSubAuthorityCount = shape.Count;
        FSubAuthority[0] = shape.Sub0;
        FSubAuthority[1] = shape.Sub1;
        return;
    }
    // The account domain's SID, looked up by name (Domain, or this computer when it is empty),
    // with the relative identifier behind it. The name form serves only for the look-up: it and
    // the source are put back on every exit, so that an abort leaves the well-known form as set
    // and its Errors lines in place.
    {
        FUserName.clear();
        TrkSidSource saved = FSource;
        FIsName = true;
        FSource = ssName;
        TScopeExit restore([this, saved] {
            FIsName = false;
            FIsSid = false;
            FSource = saved;
        });
        NameToSid();
        SidToExplicitData();
    }
    if (FSubAuthorityCount < 16) ++FSubAuthorityCount;
    FSubAuthority[FSubAuthorityCount - 1] = shape.Rid;
}

TrkWellKnownSid TrkSidCenter::GetWellKnown() {
    if (FIsWellKnown) return FWellKnown;
    // Explicit data that cannot be made is no well-known SID (and nothing is cached).
    if (!ValueOr(false, [this] {
            RetrieveExplicitData();
            return true;
        }))
        return wkOther;
    // Only the last authority byte tells the authorities apart, as in the SID string.
    const BYTE a = FIdentifierAuthority.Value[5];
    const BYTE c = FSubAuthorityCount > 16 ? 16 : FSubAuthorityCount;
    TrkWellKnownSid wk = wkOther;
    for (int v = wkOther; v <= wkPolicyAdmins; ++v)
        if (IsShapeOf(WellKnownShapes[v], a, c, FSubAuthority)) {
            wk = static_cast<TrkWellKnownSid>(v);
            break;
        }
    FWellKnown = wk;
    FIsWellKnown = true;
    return wk;
}

TAMREL_IMPLEMENT_CLASS(TrkSidCenter) {
    b.String(L"Server", &TrkSidCenter::Server, &TrkSidCenter::SetServer).StoredAlways();
    b.String(L"SidString", &TrkSidCenter::GetSidString, &TrkSidCenter::SetSidString)
        .Stored(&TrkSidCenter::SaveSidString);
    b.String(L"Domain", &TrkSidCenter::GetDomain, &TrkSidCenter::SetDomain).Stored(&TrkSidCenter::SaveDomain);
    b.String(L"UserName", &TrkSidCenter::GetUserName, &TrkSidCenter::SetUserName)
        .Stored(&TrkSidCenter::SaveUserName);
    b.Enum(L"WellKnown", &TrkSidCenter::GetWellKnown, &TrkSidCenter::SetWellKnown, wkOther).StoredAlways();
    b.Enum(L"Source", &TrkSidCenter::Source, &TrkSidCenter::SetSource, ssNone).StoredAlways();
    b.String(L"FullName", &TrkSidCenter::GetFullName, &TrkSidCenter::SetFullName)
        .Stored(&TrkSidCenter::SaveFullName);
}

// ---------------------------------------------------------------------------------------------
// Explicit-access copies

void CleanExplicitAccess(EXPLICIT_ACCESS_W& E) {
    if (E.Trustee.TrusteeForm == TRUSTEE_IS_SID && E.Trustee.ptstrName) {
        CenterFreeMem(E.Trustee.ptstrName);
        E.Trustee.ptstrName = nullptr;
    }
}

void CopyExplicitAccess(EXPLICIT_ACCESS_W& Dest, const EXPLICIT_ACCESS_W& Source) {
    CleanExplicitAccess(Dest);
    Dest = Source;
    PSID sid = nullptr;
    TSidCenterPtr center;
    switch (Dest.Trustee.TrusteeForm) {
    case TRUSTEE_IS_SID: sid = reinterpret_cast<PSID>(Dest.Trustee.ptstrName); break;
    case TRUSTEE_IS_NAME: {
        if (!Dest.Trustee.ptstrName) RaiseLastOSError(ERROR_INVALID_SID);
        std::wstring domain, user;
        SplitAccountName(Dest.Trustee.ptstrName, domain, user);
        center.reset(Create<TrkSidCenter>(nullptr));
        center->SetDomain(domain);
        center->SetUserName(user);
        sid = center->GetSid();
        break;
    }
    default:
        // Trustees made of object types carry a structure, not a name: nothing here reads them.
        RaiseLastOSError(ERROR_INVALID_PARAMETER);
    }
    void* copy = nullptr;
    uint32_t size = 0;
    try {
        DuplicateSID(sid, copy, size);
    } catch (...) {
        // Dest must never point at a SID it does not own, or cleaning it would free the caller's.
        if (Dest.Trustee.TrusteeForm == TRUSTEE_IS_SID) Dest.Trustee.ptstrName = nullptr;
        throw;
    }
    Dest.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    Dest.Trustee.ptstrName = static_cast<LPWSTR>(copy);
}

// ---------------------------------------------------------------------------------------------
// The account-name cache

namespace {

// One well-known account of a machine, as the system names it.
struct TSidCache {
    TCenterBlock Sid;
    uint32_t SidSize = 0;
    std::wstring UserName;
    std::wstring Domain;
    std::wstring FullName;
    SID_NAME_USE NameUse = SidTypeUnknown;
};

using TSidCacheList = std::vector<std::unique_ptr<TSidCache>>;

// The records of one machine. The thread that asks first fills them, outside the store's lock
// (each look-up of a fill may wait through a time-out); the others wait for that one fill. The
// filling thread itself comes back while it resolves names on that machine, and reads what it
// has so far.
struct TSidCacheMachine {
    TSidCacheList Records; // written by the filling thread only, until Filled
    bool Filled = false;   // under the store's lock
    DWORD Filler = 0;
};

// Process-wide; machines are never removed, so a machine's address stays valid.
struct TSidCacheStore {
    std::mutex Lock;
    std::condition_variable Published;
    std::map<std::wstring, std::unique_ptr<TSidCacheMachine>> Machines;
};

TSidCacheStore& SidCache() {
    static TSidCacheStore store;
    return store;
}

std::wstring MachineKey(LPCWSTR systemName) {
    if (!systemName || !*systemName) return L"\\";
    return AnsiUpperCase(systemName);
}

SID_NAME_USE NameUseOf(const std::wstring& server, PSID sid) {
    wchar_t name[NameChars];
    wchar_t domain[DomainChars];
    DWORD nameSize = NameChars;
    DWORD domainSize = DomainChars;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(SystemName(server), sid, name, &nameSize, domain, &domainSize, &use)) return SidTypeUnknown;
    return use;
}

void AddRecord(TSidCacheList& records, PSID sid, const std::wstring& user, const std::wstring& domain,
               SID_NAME_USE use) {
    auto record = std::make_unique<TSidCache>();
    record->Sid = DuplicateSidBlock(sid, record->SidSize);
    record->UserName = user;
    record->Domain = domain;
    record->FullName = (domain.empty() ? std::wstring(L".") : domain) + L"\\" + user;
    record->NameUse = use;
    records.push_back(std::move(record));
}

// Resolves the well-known SIDs of a machine the other way round. The records list is already
// in the cache (empty), so a fill that fails is not tried again.
void FillMachine(const std::wstring& key, TSidCacheList& records) {
    if (SidCacheHooks().Filling) SidCacheHooks().Filling(key);
    const std::wstring server = key == L"\\" ? std::wstring() : key;
    TSidCenterPtr center(Create<TrkSidCenter>(nullptr));
    center->SetServer(server);
    center->SetWellKnown(wkBuildIn);
    const std::wstring builtinDomain = center->GetDomain();
    center->SetWellKnown(wkLocalSystem);
    const std::wstring systemDomain = center->GetDomain();
    for (int v = wkCurrentUser; v <= wkPolicyAdmins; ++v) {
        if (v >= wkAdmin && v <= wkGuestsGroup) continue;
        try {
            center->SetWellKnown(static_cast<TrkWellKnownSid>(v));
            const std::wstring user = center->GetUserName();
            if (user.empty()) continue;
            const std::wstring domain = center->GetDomain();
            PSID sid = center->GetSid();
            // The center keeps no name use: ask the system for it once, here.
            const SID_NAME_USE use = NameUseOf(server, sid);
            AddRecord(records, sid, user, domain, use);
            if (domain == builtinDomain || domain == systemDomain) AddRecord(records, sid, user, L"", use);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            // A value this machine cannot make is simply not in its cache.
        }
    }
}

BOOL LookupAccountNameFromCache(LPCWSTR systemName, LPCWSTR accountName, PSID sid, LPDWORD cbSid,
                                LPWSTR domainName, LPDWORD cchDomainName, PSID_NAME_USE use) {
    if (!cbSid || !cchDomainName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TSidCacheStore& cache = SidCache();
    const std::wstring key = MachineKey(systemName);
    const DWORD self = GetCurrentThreadId();
    TSidCacheMachine* machine;
    bool fill = false;
    {
        std::unique_lock<std::mutex> hold(cache.Lock);
        std::unique_ptr<TSidCacheMachine>& slot = cache.Machines[key];
        if (!slot) {
            // In the cache before anything is resolved: a fill that fails is not tried again.
            slot = std::make_unique<TSidCacheMachine>();
            slot->Filler = self;
            fill = true;
        }
        machine = slot.get();
        if (!fill && machine->Filler != self) cache.Published.wait(hold, [machine] { return machine->Filled; });
    }
    if (fill) {
        TScopeExit publish([&cache, machine] {
            {
                std::lock_guard<std::mutex> hold(cache.Lock);
                machine->Filled = true;
            }
            cache.Published.notify_all();
        });
        FillMachine(key, machine->Records);
    }
    const std::wstring_view account = accountName ? accountName : L"";
    for (const auto& record : machine->Records) {
        if (AnsiCompareText(record->FullName, account) != 0) continue;
        const DWORD domainChars = static_cast<DWORD>(record->Domain.size() + 1);
        if (sid && domainName && *cbSid >= record->SidSize && *cchDomainName >= domainChars) {
            std::memcpy(sid, record->Sid.get(), record->SidSize);
            std::memcpy(domainName, record->Domain.c_str(), domainChars * sizeof(wchar_t));
            if (use) *use = record->NameUse;
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
        *cbSid = record->SidSize;
        *cchDomainName = domainChars;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
}

} // namespace

TSidCacheHooks& SidCacheHooks() {
    static TSidCacheHooks hooks;
    return hooks;
}

} // namespace tamrel

extern "C" BOOL WINAPI LookupAccountNameEx(LPCWSTR lpSystemName, LPCWSTR lpAccountName, PSID Sid, LPDWORD cbSid,
                                           LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                           PSID_NAME_USE peUse) {
    if (LookupAccountNameW(lpSystemName, lpAccountName, Sid, cbSid, ReferencedDomainName, cchReferencedDomainName,
                           peUse))
        return TRUE;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) return FALSE;
    // A system entry point: nothing may escape as an exception.
    try {
        return tamrel::LookupAccountNameFromCache(lpSystemName, lpAccountName, Sid, cbSid, ReferencedDomainName,
                                                  cchReferencedDomainName, peUse);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        SetLastError(ERROR_NONE_MAPPED);
    }
    return FALSE;
}
