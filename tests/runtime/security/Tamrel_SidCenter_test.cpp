#include "runtime/security/Tamrel_SidCenter.h"
#include "runtime/security/internal/Tamrel_SidCenterInternal.h"
#include "tests/runtime/security/SecurityTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/Handles.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

TSidCenterPtr NewCenter() { return TSidCenterPtr(Create<TrkSidCenter>(nullptr)); }

std::wstring SystemSidString(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"<invalid>";
    TLocalMem owner(text);
    return text;
}

// The canonical string of what a center holds, read through a second center given its binary
// SID (so that no string set by the caller comes back).
std::wstring RoundTripString(TrkSidCenter& center) {
    auto second = NewCenter();
    second->SetSid(center.GetSid());
    return second->GetSidString();
}

std::wstring ErrorLine(const std::wstring& message) { return L"Error: " + message; }

std::wstring WithNul(const wchar_t* before, const wchar_t* after) {
    return std::wstring(before) + std::wstring(1, L'\0') + after;
}

std::wstring ComputerName() {
    wchar_t name[64] = {};
    DWORD size = 64;
    GetComputerNameW(name, &size);
    return name;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// SID strings

TEST(SidCenter, SystemSidParsesInBothSpellingsAndResolves) {
    TStringSid system(L"S-1-5-18");
    for (const wchar_t* text : {L"s-1-5-18", L"S - 1 - 5 - 18"}) {
        SCOPED_TRACE(text);
        auto c = NewCenter();
        c->SetSidString(text);
        ASSERT_NE(nullptr, c->GetSid());
        EXPECT_TRUE(EqualSid(system.Get(), c->GetSid()));
        EXPECT_EQ(wkLocalSystem, c->GetWellKnown());
        EXPECT_EQ(L"NT AUTHORITY", c->GetDomain());
        EXPECT_EQ(L"SYSTEM", c->GetUserName());
        EXPECT_EQ(L"NT AUTHORITY\\SYSTEM", c->GetFullName());
        EXPECT_EQ(L"S-1-5-18", RoundTripString(*c));
        EXPECT_EQ(0, c->Errors()->Count());
    }
}

TEST(SidCenter, EveryParserErrorIsCollectedForItsInput) {
    struct Case {
        std::wstring text;
        std::wstring line;
    } cases[] = {
        {L"S-1-5", ErrorLine(WithNul(L"The '-' expected but '", L"' found"))},
        {L"", ErrorLine(WithNul(L"The 's' expected but '", L"' found"))},
        {L"X-1-5-18", ErrorLine(L"The 's' expected but 'X' found")},
        {L"S-2-5-18", ErrorLine(L"Invalid SID revision '2'")},
        {L"S-1-300-1", ErrorLine(L"Can't interpret IdentifierAuthority '300'")},
        {L"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", ErrorLine(L"Too many SubAuthorities")},
        {L"S-1-5-18x", ErrorLine(L"The '-' expected but 'x' found")},
        {L"S-1-5-18 ", ErrorLine(WithNul(L"The '-' expected but '", L"' found"))},
        {L"S+1-5-18", ErrorLine(L"The '-' expected but '+' found")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        auto center = NewCenter();
        center->SetSidString(c.text);
        EXPECT_THROW(center->GetSid(), EAbort);
        ASSERT_EQ(1, center->Errors()->Count());
        // Compared with their lengths: the line may hold a NUL character.
        EXPECT_EQ(c.line.size(), center->Errors()->Strings(0).size());
        EXPECT_EQ(c.line, center->Errors()->Strings(0));
        // The text getters and the classifier answer instead of raising.
        EXPECT_EQ(L"", center->GetDomain());
        EXPECT_EQ(L"", center->GetUserName());
        EXPECT_EQ(L"", center->GetFullName());
        EXPECT_EQ(wkOther, center->GetWellKnown());
    }
}

TEST(SidCenter, BorderlineTextsParse) {
    struct Case {
        const wchar_t* text;
        const wchar_t* canonical;
        int count;
    } cases[] = {
        {L"S-1-5-", L"S-1-5", 0},
        {L"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", L"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", 15},
        {L"S-1-5-18-", L"S-1-5-18", 1},
        {L"S-1-255-4294967295-1", L"S-1-255-4294967295-1", 2},
        {L"S-1-5-4294967297", L"S-1-5-1", 1}, // digits beyond 32 bits wrap
        {L"S-1-5--7", L"S-1-5-0-7", 2},       // an empty number is 0
        {L"s-001-05-018", L"S-1-5-18", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto center = NewCenter();
        center->SetSidString(c.text);
        EXPECT_EQ(c.count, center->SubAuthorityCount());
        EXPECT_EQ(c.canonical, RoundTripString(*center));
        EXPECT_EQ(0, center->Errors()->Count());
    }
}

TEST(SidCenter, FailedParseIsNotCachedByTheClassifier) {
    auto c = NewCenter();
    c->SetSidString(L"S-1-5");
    EXPECT_EQ(wkOther, c->GetWellKnown());
    EXPECT_EQ(wkOther, c->GetWellKnown());
    // Each read parsed again and collected its line again.
    EXPECT_EQ(2, c->Errors()->Count());
}

// ---------------------------------------------------------------------------------------------
// Binary SIDs and explicit data

TEST(SidCenter, TrailingAllOnesSubAuthorityIsDropped) {
    BYTE sid[16] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    auto c = NewCenter();
    c->SetSid(sid);
    EXPECT_EQ(1, c->SubAuthorityCount());
    EXPECT_EQ(L"S-1-5-32", c->GetSidString());
    EXPECT_EQ(wkBuildIn, c->GetWellKnown());
}

TEST(SidCenter, SidWithoutSubAuthoritiesReadsNothingBeforeItsArray) {
    // Authority bytes 2..5 are all ones: read as a "last sub-authority" they would look like the
    // no-identifier value and wrap the count to 255.
    BYTE sid[8] = {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 5};
    ASSERT_TRUE(IsValidSid(sid));
    auto c = NewCenter();
    c->SetSid(sid);
    EXPECT_EQ(0, c->SubAuthorityCount());
    EXPECT_EQ(1, c->Revision());
    EXPECT_EQ(L"S-1-5", c->GetSidString());
    EXPECT_EQ(wkOther, c->GetWellKnown());
}

// A center made in memory filled with all ones: whatever lies before its own sub-authority array
// (the authority's last bytes, padding) reads as the no-identifier value $FFFFFFFF.
class TAllOnesSidCenter : public TrkSidCenter {
public:
    using TrkSidCenter::TrkSidCenter;
    static void* operator new(size_t size) {
        void* p = ::operator new(size);
        // Volatile stores: the compiler may drop plain stores to an object whose construction
        // follows.
        auto* bytes = static_cast<volatile unsigned char*>(p);
        for (size_t i = 0; i < size; ++i) bytes[i] = 0xFF;
        return p;
    }
    static void operator delete(void* p) { ::operator delete(p); }
};

TEST(SidCenter, SidWithoutSubAuthoritiesIgnoresWhatLiesBeforeTheCentersArray) {
    // Read as the "last sub-authority", the four bytes before the array would be all ones, drop
    // a sub-authority that is not there and wrap the count to 255.
    BYTE sid[8] = {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(IsValidSid(sid));
    TSidCenterPtr c(Create<TAllOnesSidCenter>(nullptr));
    c->SetSid(sid);
    EXPECT_EQ(0, c->SubAuthorityCount());
    EXPECT_EQ(L"S-1-255", c->GetSidString());
}

TEST(SidCenter, OnlyTheLastAuthorityByteCounts) {
    BYTE sid[12] = {1, 1, 0, 0, 0, 0, 7, 5, 18, 0, 0, 0};
    auto c = NewCenter();
    c->SetSid(sid);
    EXPECT_EQ(L"S-1-5-18", c->GetSidString());
    EXPECT_EQ(wkLocalSystem, c->GetWellKnown());
    EXPECT_EQ(7, c->IdentifierAuthority().Value[4]);
}

TEST(SidCenter, ExplicitDataSettersBuildASid) {
    auto c = NewCenter();
    c->SetRevision(1);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    c->SetIdentifierAuthority(nt);
    c->SetSubAuthorityCount(2);
    c->SetSubAuthority(0, 32);
    c->SetSubAuthority(1, 545);
    EXPECT_EQ(ssData, c->Source());
    EXPECT_EQ(L"S-1-5-32-545", c->GetSidString());
    EXPECT_EQ(wkUsersAlias, c->GetWellKnown());
    TStringSid users(L"S-1-5-32-545");
    EXPECT_TRUE(EqualSid(users.Get(), c->GetSid()));
}

TEST(SidCenter, CounterAndIndexChecks) {
    auto c = NewCenter();
    c->SetSidString(L"S-1-5-21-7-8");
    try {
        c->SetSubAuthorityCount(16);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Counter '16' is out of bounds [0..15]", e.Message());
    }
    EXPECT_EQ(ssString, c->Source()); // nothing changed
    // Before the explicit data has been read the count is still 0.
    try {
        c->SubAuthority(0);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Index '0' is out of bounds [0..0]", e.Message());
    }
    ASSERT_EQ(3, c->SubAuthorityCount());
    EXPECT_EQ(8u, c->SubAuthority(2));
    try {
        c->SubAuthority(3);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Index '3' is out of bounds [0..3]", e.Message());
    }
    try {
        c->SetSubAuthority(3, 1);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Index '3' is out of bounds [0..3]", e.Message());
    }
    EXPECT_EQ(ssString, c->Source());
}

TEST(SidCenter, SourceRevalidatesTheFormsLastContent) {
    auto c = NewCenter();
    c->SetSidString(L"S-1-1-0");
    c->SetWellKnown(wkLocalSystem);
    EXPECT_EQ(ssWellKnown, c->Source());
    c->SetSource(ssString);
    EXPECT_EQ(L"S-1-1-0", c->GetSidString());
    EXPECT_EQ(wkWorld, c->GetWellKnown());
    try {
        c->SetSource(static_cast<TrkSidSource>(42));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"Unknown SID source", e.Message());
    }
    c->SetWellKnown(wkOther);
    EXPECT_EQ(ssNone, c->Source());
}

TEST(SidCenter, NilSidIsHeldAsNoSid) {
    // Read as a SID, nil would be dereferenced: under a deadline a failure with a message, not a
    // crash of the test program.
    auto readNilSid = [] {
        auto c = NewCenter();
        c->SetSid(nullptr);
        EXPECT_EQ(ssSID, c->Source());
        EXPECT_EQ(nullptr, c->GetSid());
        EXPECT_EQ(nullptr, c->GetSidCopy());
        EXPECT_EQ(L"", c->GetSidString());
        EXPECT_EQ(L"", c->GetUserName());
        EXPECT_EQ(wkOther, c->GetWellKnown());
    };
    EXPECT_TRUE(FinishesWithin(10000, readNilSid));
}

TEST(SidCenter, CopiesLiveUntilCleanUp) {
    auto c = NewCenter();
    c->SetSidString(L"S-1-5-32-544");
    PSID first = c->GetSidCopy();
    ASSERT_NE(nullptr, first);
    EXPECT_NE(c->GetSid(), first);
    c->SetSidString(L"S-1-1-0");
    PSID second = c->GetSidCopy();
    TStringSid admins(L"S-1-5-32-544"), world(L"S-1-1-0");
    EXPECT_TRUE(EqualSid(admins.Get(), first)); // still readable after the change
    EXPECT_TRUE(EqualSid(world.Get(), second));
    c->CleanUp();
    EXPECT_TRUE(EqualSid(world.Get(), c->GetSid()));
}

// ---------------------------------------------------------------------------------------------
// Well-known values and the classifier

TEST(SidCenter, EveryWellKnownValueBuildsAndClassifiesBack) {
    for (int v = wkNull; v <= wkPolicyAdmins; ++v) {
        const auto wk = static_cast<TrkWellKnownSid>(v);
        SCOPED_TRACE(EnumInfoOf(wk).Name(v));
        auto c = NewCenter();
        c->SetWellKnown(wk);
        PSID sid = nullptr;
        ASSERT_NO_THROW(sid = c->GetSid()) << c->Errors()->Text();
        ASSERT_NE(nullptr, sid);
        ASSERT_TRUE(IsValidSid(sid));
        auto fresh = NewCenter();
        fresh->SetSid(sid);
        EXPECT_EQ(wk, fresh->GetWellKnown());
        EXPECT_EQ(wk, c->GetWellKnown());
        EXPECT_EQ(ssWellKnown, c->Source());
    }
}

TEST(SidCenter, FixedWellKnownSidsMatchTheSystem) {
    struct Case {
        TrkWellKnownSid wk;
        const wchar_t* text;
    } cases[] = {
        {wkNull, L"S-1-0-0"},           {wkWorld, L"S-1-1-0"},          {wkLocal, L"S-1-2-0"},
        {wkCreatorOwner, L"S-1-3-0"},   {wkCreatorGroupServer, L"S-1-3-3"}, {wkDialup, L"S-1-5-1"},
        {wkService, L"S-1-5-6"},        {wkProxy, L"S-1-5-8"},          {wkBuildIn, L"S-1-5-32"},
        {wkAuthenticated, L"S-1-5-11"}, {wkLocalSystem, L"S-1-5-18"},   {wkAdminsAlias, L"S-1-5-32-544"},
        {wkReplicatorAlias, L"S-1-5-32-552"}, {wkSelf, L"S-1-5-10"},    {wkTerminalServer, L"S-1-5-13"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto center = NewCenter();
        center->SetWellKnown(c.wk);
        EXPECT_EQ(c.text, center->GetSidString());
        EXPECT_EQ(c.text, SystemSidString(center->GetSid()));
    }
}

TEST(SidCenter, DomainRelativeValuesSitBehindTheAccountDomain) {
    // The local account domain, as the system names it after this computer.
    auto domain = NewCenter();
    domain->SetDomain(L"");
    domain->SetUserName(L"");
    const std::wstring domainSid = domain->GetSidString();
    ASSERT_EQ(0u, domainSid.rfind(L"S-1-5-21", 0)) << domainSid;

    struct Case {
        TrkWellKnownSid wk;
        const wchar_t* rid;
    } cases[] = {{wkAdmin, L"-500"},       {wkGuest, L"-501"},     {wkAdminsGroup, L"-512"},
                 {wkGuestsGroup, L"-514"}, {wkComputers, L"-515"}, {wkPolicyAdmins, L"-520"}};
    for (const auto& c : cases) {
        auto center = NewCenter();
        center->SetWellKnown(c.wk);
        EXPECT_EQ(domainSid + c.rid, center->GetSidString());
        EXPECT_EQ(ssWellKnown, center->Source());
    }
    // Named explicitly, the domain gives the same SID.
    auto named = NewCenter();
    named->SetDomain(ComputerName());
    named->SetWellKnown(wkAdmin);
    EXPECT_EQ(domainSid + L"-500", named->GetSidString());
}

TEST(SidCenter, FailedDomainLookUpKeepsTheWellKnownFormAndItsErrors) {
    auto c = NewCenter();
    c->SetDomain(L"NO-SUCH-DOMAIN-7");
    c->SetWellKnown(wkAdmin);
    EXPECT_THROW(c->GetSid(), EAbort);
    EXPECT_EQ(ssWellKnown, c->Source());
    ASSERT_EQ(1, c->Errors()->Count());
    EXPECT_NE(std::wstring::npos, c->Errors()->Strings(0).find(L"1332")) << c->Errors()->Strings(0);
    // The well-known form is still the one set: reading again tries the same look-up again
    // instead of failing with "No well-known SID", and the name form used for the look-up
    // does not pass for a resolved name.
    EXPECT_EQ(wkAdmin, c->GetWellKnown());
    EXPECT_EQ(L"", c->GetDomain());
    EXPECT_EQ(L"", c->GetUserName());
    EXPECT_EQ(3, c->Errors()->Count());
    EXPECT_THROW(c->GetSid(), EAbort);
    EXPECT_EQ(ssWellKnown, c->Source());
}

TEST(SidCenter, CurrentUserComesFromTheProcessToken) {
    TKernelHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()));
    BYTE buffer[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size));
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;

    auto c = NewCenter();
    c->SetWellKnown(wkCurrentUser);
    ASSERT_NE(nullptr, c->GetSid());
    EXPECT_TRUE(EqualSid(user, c->GetSid()));
    EXPECT_EQ(wkCurrentUser, c->GetWellKnown());
    EXPECT_EQ(SystemSidString(user), c->GetSidString());
    // The classifier never answers the current user by itself.
    auto fresh = NewCenter();
    fresh->SetSid(user);
    EXPECT_NE(wkCurrentUser, fresh->GetWellKnown());
}

TEST(SidCenter, ClassifierTable) {
    struct Case {
        const wchar_t* text;
        TrkWellKnownSid wk;
    } cases[] = {
        {L"S-1-5-21-1-2-3-500", wkAdmin},     {L"S-1-5-21-9-500", wkAdmin},
        {L"S-1-5-21-1-2-3-513", wkUsersGroup}, {L"S-1-5-21-1-2-3-1000", wkOther},
        {L"S-1-5-21", wkOther},               {L"S-1-5-32-544", wkAdminsAlias},
        {L"S-1-5-32-552", wkReplicatorAlias}, {L"S-1-5-32-553", wkOther},
        {L"S-1-5-32", wkBuildIn},             {L"S-1-5-32-544-1", wkOther},
        {L"S-1-1-0", wkWorld},                {L"S-1-1-0-0", wkOther},
        {L"S-1-1-1", wkOther},                {L"S-1-3-1", wkCreatorGroup},
        {L"S-1-3-4", wkOther},                {L"S-1-4-1", wkOther},
        {L"S-1-5", wkOther},                  {L"S-1-5-2", wkNetwork},
        {L"S-1-5-2-1", wkOther},              {L"S-1-5-10-1", wkSelf},
        {L"S-1-5-18-7", wkLocalSystem},       {L"S-1-5-5", wkOther},
        {L"S-1-6-1", wkOther},                {L"S-1-16-12288", wkOther},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto center = NewCenter();
        center->SetSidString(c.text);
        EXPECT_EQ(c.wk, center->GetWellKnown());
    }
}

// ---------------------------------------------------------------------------------------------
// Names

TEST(SidCenter, NamesResolveThroughTheSystemAndTheCache) {
    // An empty domain looks the user up as ".\user", which this system answers from the cache.
    auto admins = NewCenter();
    admins->SetDomain(L"");
    admins->SetUserName(L"Administrators");
    EXPECT_EQ(L"S-1-5-32-544", RoundTripString(*admins));
    EXPECT_EQ(0, admins->Errors()->Count());

    auto full = NewCenter();
    full->SetFullName(L"BUILTIN\\Administrators");
    EXPECT_EQ(wkAdminsAlias, full->GetWellKnown());
    EXPECT_EQ(ssFullName, full->Source());

    // An account without a domain has the user name alone as its full name.
    auto world = NewCenter();
    world->SetWellKnown(wkWorld);
    EXPECT_EQ(L"", world->GetDomain());
    EXPECT_EQ(L"Everyone", world->GetFullName());
}

TEST(SidCenter, UnknownNameCollectsTheSystemErrorAndAborts) {
    auto c = NewCenter();
    c->SetDomain(L"BUILTIN");
    c->SetUserName(L"No Such Account 7");
    EXPECT_THROW(c->GetSid(), EAbort);
    ASSERT_EQ(1, c->Errors()->Count());
    EXPECT_EQ(OSErrorText(ERROR_NONE_MAPPED), c->Errors()->Strings(0));
    EXPECT_EQ(L"", c->GetSidString());
}

TEST(SidCenter, SidWithoutAccountGivesEmptyNamesAndNoErrorLine) {
    auto c = NewCenter();
    c->SetSidString(L"S-1-5-21-9-9-9-12345");
    EXPECT_EQ(L"", c->GetUserName());
    EXPECT_EQ(L"", c->GetDomain());
    EXPECT_EQ(0, c->Errors()->Count());
    EXPECT_EQ(L"S-1-5-21-9-9-9-12345", c->GetSidString());
}

TEST(SidCenter, SetDomainKeepsSourceAndErrors) {
    auto c = NewCenter();
    c->SetDomain(L"BUILTIN");
    c->SetUserName(L"No Such Account 7");
    EXPECT_THROW(c->GetSid(), EAbort);
    ASSERT_EQ(1, c->Errors()->Count());
    c->SetDomain(L"NT AUTHORITY");
    EXPECT_EQ(1, c->Errors()->Count());
    EXPECT_EQ(ssName, c->Source());
    c->SetUserName(L"SYSTEM");
    EXPECT_EQ(0, c->Errors()->Count());
    EXPECT_EQ(wkLocalSystem, c->GetWellKnown());
}

// ---------------------------------------------------------------------------------------------
// Form streaming

namespace {
struct TStoredCase {
    const wchar_t* name;
    std::function<void(TrkSidCenter&)> set;
    std::vector<const wchar_t*> written;
    std::vector<const wchar_t*> absent;
};
} // namespace

TEST(SidCenter, FormStreamingWritesOnlyWhatTheStoredRulesAllow) {
    std::vector<TStoredCase> cases = {
        {L"string", [](TrkSidCenter& c) { c.SetSidString(L"S-1-5-18"); },
         {L"  Server = ''", L"  SidString = 'S-1-5-18'", L"  WellKnown = wkLocalSystem", L"  Source = ssString"},
         {L"Domain =", L"UserName =", L"FullName ="}},
        {L"name",
         [](TrkSidCenter& c) {
             c.SetDomain(L"BUILTIN");
             c.SetUserName(L"Administrators");
         },
         {L"  Domain = 'BUILTIN'", L"  UserName = 'Administrators'", L"  WellKnown = wkAdminsAlias",
          L"  Source = ssName"},
         {L"SidString =", L"FullName ="}},
        {L"full name", [](TrkSidCenter& c) { c.SetFullName(L"NT AUTHORITY\\SYSTEM"); },
         {L"  FullName = 'NT AUTHORITY\\SYSTEM'", L"  Source = ssFullName"},
         {L"SidString =", L"Domain =", L"UserName ="}},
        {L"well-known", [](TrkSidCenter& c) { c.SetWellKnown(wkWorld); },
         {L"  WellKnown = wkWorld", L"  Source = ssWellKnown"}, {L"SidString =", L"Domain =", L"UserName ="}},
        {L"domain-relative", [](TrkSidCenter& c) { c.SetWellKnown(wkAdmin); },
         {L"  Domain = '", L"  WellKnown = wkAdmin", L"  Source = ssWellKnown"}, {L"SidString =", L"UserName ="}},
        {L"server",
         [](TrkSidCenter& c) {
             c.SetServer(L"\\\\" + ComputerName());
             c.SetSidString(L"S-1-1-0");
         },
         {L"  Server = '\\\\", L"  Source = ssString"}, {L"Domain ="}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto center = NewCenter();
        center->SetName(L"SidCenter1");
        c.set(*center);
        const std::wstring expectedSid = RoundTripString(*center);
        const std::wstring text = ComponentToText(center.get());
        for (const wchar_t* line : c.written) EXPECT_NE(std::wstring::npos, text.find(line)) << line << "\n" << text;
        for (const wchar_t* line : c.absent) EXPECT_EQ(std::wstring::npos, text.find(line)) << line << "\n" << text;

        auto copy = NewCenter();
        ReadComponentFromText(copy.get(), text);
        EXPECT_EQ(center->Source(), copy->Source());
        EXPECT_EQ(center->Server(), copy->Server());
        EXPECT_EQ(expectedSid, RoundTripString(*copy));
        EXPECT_EQ(text, ComponentToText(copy.get()));
    }
}

TEST(SidCenter, StoredNameFormComesBackValidWithoutALookUp) {
    auto c = NewCenter();
    c->SetName(L"SidCenter1");
    c->SetDomain(L"SOMEWHERE");
    c->SetUserName(L"nobody at all");
    const std::wstring text = ComponentToText(c.get());
    auto copy = NewCenter();
    ReadComponentFromText(copy.get(), text);
    EXPECT_EQ(ssName, copy->Source());
    EXPECT_EQ(L"SOMEWHERE", copy->GetDomain());
    EXPECT_EQ(L"nobody at all", copy->GetUserName());
}

// ---------------------------------------------------------------------------------------------
// The account-name look-up and its cache

TEST(LookupAccountNameEx, AnswersWhatTheSystemCannotFromTheCache) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    wchar_t domain[64];
    DWORD sidSize = sizeof(sid), domainSize = 64;
    SID_NAME_USE use = SidTypeUnknown;
    // The premise: this system does not resolve the ".\" form of a built-in alias.
    ASSERT_FALSE(LookupAccountNameW(nullptr, L".\\Administrators", sid, &sidSize, domain, &domainSize, &use));

    // The center's two-call protocol: a size probe first.
    sidSize = 0;
    domainSize = 64;
    EXPECT_FALSE(LookupAccountNameEx(nullptr, L".\\Administrators", nullptr, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    TStringSid admins(L"S-1-5-32-544");
    EXPECT_EQ(GetLengthSid(admins.Get()), sidSize);
    EXPECT_EQ(1u, domainSize); // the empty domain and its NUL

    use = SidTypeUnknown;
    domainSize = 64;
    ASSERT_TRUE(LookupAccountNameEx(nullptr, L".\\ADMINISTRATORS", sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    EXPECT_TRUE(EqualSid(admins.Get(), sid));
    EXPECT_EQ(L"", std::wstring(domain));
    EXPECT_EQ(SidTypeAlias, use);

    // The same for the system authority's accounts.
    sidSize = sizeof(sid);
    domainSize = 64;
    ASSERT_TRUE(LookupAccountNameEx(L"", L".\\system", sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(L"S-1-5-18", SystemSidString(sid));
    EXPECT_EQ(SidTypeWellKnownGroup, use);

    sidSize = sizeof(sid);
    domainSize = 64;
    EXPECT_FALSE(LookupAccountNameEx(nullptr, L".\\No Such Account 7", sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(DWORD(ERROR_NONE_MAPPED), GetLastError());
}

TEST(LookupAccountNameEx, ResolvedNamesPassThrough) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    wchar_t domain[64];
    DWORD sidSize = sizeof(sid), domainSize = 64;
    SID_NAME_USE use = SidTypeUnknown;
    ASSERT_TRUE(LookupAccountNameEx(nullptr, L"BUILTIN\\Users", sid, &sidSize, domain, &domainSize, &use));
    EXPECT_EQ(L"S-1-5-32-545", SystemSidString(sid));
    EXPECT_EQ(L"BUILTIN", std::wstring(domain));
    EXPECT_EQ(SidTypeAlias, use);
    // A system's own size answer is passed on unchanged.
    sidSize = 0;
    domainSize = 0;
    EXPECT_FALSE(LookupAccountNameEx(nullptr, L"BUILTIN\\Users", nullptr, &sidSize, nullptr, &domainSize, &use));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(16u, sidSize);
}

TEST(LookupAccountNameEx, UnreachableMachineGetsAnEmptyEntryOfItsOwn) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    wchar_t domain[64];
    DWORD sidSize = sizeof(sid), domainSize = 64;
    SID_NAME_USE use = SidTypeUnknown;
    // The system cannot reach this machine, so neither can the fill: nothing is mapped, and the
    // second call (another spelling of the same key) does not fill again.
    for (const wchar_t* machine : {L"NoSuchMachine7", L"NOSUCHMACHINE7"}) {
        EXPECT_FALSE(LookupAccountNameEx(machine, L".\\Administrators", sid, &sidSize, domain, &domainSize, &use));
        EXPECT_EQ(DWORD(ERROR_NONE_MAPPED), GetLastError());
    }
}

TEST(LookupAccountNameEx, ConcurrentFirstUseOfAMachineIsSafe) {
    // A new spelling of this computer: a machine key of its own, filled by whichever thread
    // comes first while the others wait.
    const std::wstring machine = L"\\\\" + ComputerName();
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 5; ++i) {
                BYTE sid[SECURITY_MAX_SID_SIZE];
                wchar_t domain[64];
                DWORD sidSize = sizeof(sid), domainSize = 64;
                SID_NAME_USE use = SidTypeUnknown;
                if (LookupAccountNameEx(machine.c_str(), L".\\Administrators", sid, &sidSize, domain, &domainSize,
                                        &use) &&
                    SystemSidString(sid) == L"S-1-5-32-544" && use == SidTypeAlias)
                    ++good;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(30, good.load());
}

TEST(LookupAccountNameEx, SlowFillOfOneMachineHoldsUpNoLookUpOnAnother) {
    // The fill of one machine is held at its start, as the first look-up against an unreachable
    // server would hold it; a look-up on this computer must be answered meanwhile.
    TKernelHandle filling(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TKernelHandle answered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SidCacheHooks().Filling = [&](const std::wstring& key) {
        if (key != L"SLOWMACHINE9") return;
        SetEvent(filling.Get());
        WaitForSingleObject(release.Get(), 30000);
    };
    TScopeExit clear([] { SidCacheHooks() = {}; });
    auto lookUp = [](const wchar_t* machine) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        wchar_t domain[64];
        DWORD sidSize = sizeof(sid), domainSize = 64;
        SID_NAME_USE use = SidTypeUnknown;
        return LookupAccountNameEx(machine, L".\\Administrators", sid, &sidSize, domain, &domainSize, &use) != FALSE;
    };
    std::thread slow([&] { lookUp(L"SlowMachine9"); });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(filling.Get(), 10000));
    bool local = false;
    std::thread other([&] {
        local = lookUp(nullptr);
        SetEvent(answered.Get());
    });
    const DWORD waited = WaitForSingleObject(answered.Get(), 10000);
    SetEvent(release.Get());
    slow.join();
    other.join();
    EXPECT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_TRUE(local);
}

TEST(LookupAccountNameEx, IsExportedUnderItsPlainName) {
    const wchar_t* dll = sizeof(void*) == 8 ? L"tamrelrt64.dll" : L"tamrelrt.dll";
    TModuleHandle module(LoadLibraryW(dll));
    ASSERT_TRUE(module) << GetLastError();
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(module.Get(), "LookupAccountNameEx")));
}

// ---------------------------------------------------------------------------------------------
// Explicit-access copies

TEST(ExplicitAccessCopy, NameTrusteeBecomesAnOwnedSid) {
    wchar_t name[] = L"BUILTIN\\Administrators";
    EXPLICIT_ACCESS_W source{};
    source.grfAccessPermissions = GENERIC_READ;
    source.grfAccessMode = GRANT_ACCESS;
    source.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    source.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    source.Trustee.ptstrName = name;
    EXPLICIT_ACCESS_W dest{};
    CopyExplicitAccess(dest, source);
    EXPECT_EQ(TRUSTEE_IS_SID, dest.Trustee.TrusteeForm);
    EXPECT_EQ(L"S-1-5-32-544", SystemSidString(dest.Trustee.ptstrName));
    EXPECT_EQ(DWORD(GENERIC_READ), dest.grfAccessPermissions);
    EXPECT_EQ(DWORD(SUB_CONTAINERS_AND_OBJECTS_INHERIT), dest.grfInheritance);

    // Copying a SID trustee over it frees the old SID and takes a copy of the new one.
    TStringSid world(L"S-1-1-0");
    EXPLICIT_ACCESS_W bySid = source;
    bySid.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    bySid.Trustee.ptstrName = static_cast<LPWSTR>(world.Get());
    CopyExplicitAccess(dest, bySid);
    EXPECT_NE(static_cast<void*>(world.Get()), static_cast<void*>(dest.Trustee.ptstrName));
    EXPECT_TRUE(EqualSid(world.Get(), dest.Trustee.ptstrName));
    CleanExplicitAccess(dest);
    EXPECT_EQ(nullptr, dest.Trustee.ptstrName);
}

TEST(ExplicitAccessCopy, UnresolvableNameRaisesAndKeepsTheNameTrustee) {
    wchar_t name[] = L"BUILTIN\\No Such Account 7";
    EXPLICIT_ACCESS_W source{};
    source.grfAccessMode = GRANT_ACCESS;
    source.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    source.Trustee.ptstrName = name;
    EXPLICIT_ACCESS_W dest{};
    EXPECT_THROW(CopyExplicitAccess(dest, source), EAbort);
    EXPECT_EQ(TRUSTEE_IS_NAME, dest.Trustee.TrusteeForm);
    EXPECT_EQ(name, dest.Trustee.ptstrName);
    CleanExplicitAccess(dest); // leaves the name alone
    EXPECT_EQ(name, dest.Trustee.ptstrName);
}

TEST(ExplicitAccessCopy, InvalidSidLeavesNothingToFree) {
    BYTE bad[12] = {9, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    EXPLICIT_ACCESS_W source{};
    source.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    source.Trustee.ptstrName = reinterpret_cast<LPWSTR>(bad);
    EXPLICIT_ACCESS_W dest{};
    EXPECT_THROW(CopyExplicitAccess(dest, source), EOSError);
    EXPECT_EQ(nullptr, dest.Trustee.ptstrName);
    CleanExplicitAccess(dest);
}

// ---------------------------------------------------------------------------------------------
// Bad input

TEST(SidCenter, RandomAndMutatedStringsNeverCrashTheParser) {
    std::mt19937 random(20240517);
    const std::wstring alphabet = L"Ss-0123456789 -  x\t+";
    const std::vector<std::wstring> seeds = {L"S-1-5-18", L"S-1-5-21-1004336348-1177238915-682003330-512",
                                             L"s - 1 - 0 - 0", L"S-1-5-32-544", L"S-1-255-4294967295"};
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    auto center = NewCenter();
    int parsed = 0;
    for (int i = 0; i < 100000; ++i) {
        std::wstring text;
        if (i % 2 == 0) {
            size_t length = pick(48);
            for (size_t k = 0; k < length; ++k) text += alphabet[pick(alphabet.size())];
            if (!text.empty() && pick(2)) text[0] = L'S';
        } else {
            text = seeds[pick(seeds.size())];
            for (size_t m = 1 + pick(4); m > 0; --m) {
                size_t at = pick(text.size() + 1);
                switch (pick(5)) {
                case 0: text.insert(at, 1, alphabet[pick(alphabet.size())]); break;
                case 1:
                    if (at < text.size()) text.erase(at, 1);
                    break;
                case 2: text.insert(at, std::wstring(1 + pick(30), L'9')); break;
                case 3: text.insert(at, L"-" + std::to_wstring(random())); break;
                case 4: text.insert(at, 1, L'\0'); break;
                }
            }
        }
        center->SetSidString(text);
        try {
            PSID sid = center->GetSid();
            ++parsed;
            ASSERT_TRUE(sid != nullptr);
            ASSERT_EQ(1, center->Revision());
            ASSERT_LE(center->SubAuthorityCount(), 15);
            ASSERT_EQ(0, center->Errors()->Count());
            const BYTE count = center->SubAuthorityCount();
            // What parsed comes back as a canonical string that parses to the same SID (a SID
            // without sub-authorities, or with a trailing no-identifier value, has a string
            // form the parser does not take back).
            if (i % 16 == 1 && count > 0 && center->SubAuthority(count - 1) != 0xFFFFFFFFu) {
                const std::wstring canonical = RoundTripString(*center);
                auto again = NewCenter();
                again->SetSidString(canonical);
                PSID reparsed = nullptr;
                EXPECT_NO_THROW(reparsed = again->GetSid()) << testing::PrintToString(canonical);
                ASSERT_TRUE(reparsed && EqualSid(sid, reparsed)) << testing::PrintToString(text);
            }
        } catch (const EAbort&) {
            ASSERT_EQ(1, center->Errors()->Count()) << testing::PrintToString(text);
            ASSERT_EQ(0u, center->Errors()->Strings(0).rfind(L"Error: ", 0));
        }
        center->GetWellKnown();
    }
    EXPECT_GT(parsed, 1000); // the mutations leave enough valid texts to exercise both paths
}
