#include "runtime/security/Tamrel_RightsCenter.h"
#include "tests/runtime/security/FakeLsa.h"

#include "host/Streaming.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TRightsCenterPtr = TOwnedPtr<TrkAccountRightsCenter>;
TRightsCenterPtr NewCenter() { return TRightsCenterPtr(Create<TrkAccountRightsCenter>(nullptr)); }

const wchar_t Account[] = L"S-1-5-21-1-2-3-1001";

std::vector<std::wstring> Lines(TStrings* s) {
    std::vector<std::wstring> v;
    for (int i = 0; i < s->Count(); ++i) v.push_back(s->Get(i));
    return v;
}

TRightsCenterPtr CenterFor(const wchar_t* sid) {
    auto c = NewCenter();
    TStringSid account(sid);
    c->SetSid(account.Get());
    return c;
}

void SetLines(TStrings* target, std::initializer_list<const wchar_t*> lines) {
    TStringList list;
    for (const wchar_t* l : lines) list.Add(l);
    target->Assign(&list);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The table

TEST(RightsCenter, TableNamesAndTheirValues) {
    struct Case {
        TrkPrivilege p;
        const wchar_t* name;
    } cases[] = {
        {spCreateToken, L"SeCreateTokenPrivilege"},   {spSystemTyme, L"SeSystemtimePrivilege"},
        {spCreatePageFile, L"SeCreatePagefilePrivilege"}, {spSystemEnvironement, L"SeSystemEnvironmentPrivilege"},
        {spChangeNotify, L"SeChangeNotifyPrivilege"}, {spRemoteShutdown, L"SeRemoteShutdownPrivilege"},
        {spInteractiveLogon, L"SeInteractiveLogonRight"}, {spServiceLogon, L"SeServiceLogonRight"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.name, PrivilegeToString(c.p));
        TrkPrivilege back;
        ASSERT_TRUE(StringToPrivilege(c.name, back));
        EXPECT_EQ(c.p, back);
    }
    TrkPrivilege none;
    EXPECT_FALSE(StringToPrivilege(L"sedebugprivilege", none)); // names are compared exactly
    EXPECT_EQ(0x7FFFFFFu, AllPrivileges().Bits());
}

TEST(RightsCenter, WritingNewAdditionalMovesTableNamesIntoNewPrivileges) {
    auto c = NewCenter();
    c->SetNewPrivileges({spBackup});
    TStringList wanted;
    for (const wchar_t* l : {L"SeDebugPrivilege", L"SeCustomRight", L"sedebugprivilege", L"SeServiceLogonRight"})
        wanted.Add(l);
    c->SetNewAdditional(&wanted);
    EXPECT_EQ((std::vector<std::wstring>{L"SeCustomRight", L"sedebugprivilege"}), Lines(c->NewAdditional()));
    EXPECT_EQ((TrkPrivileges{spBackup, spDebug, spServiceLogon}), c->NewPrivileges());
    // Lines added to the list itself move on the next read.
    c->NewAdditional()->Add(L"SeShutdownPrivilege");
    EXPECT_EQ((TrkPrivileges{spBackup, spDebug, spShutdown, spServiceLogon}), c->NewPrivileges());
    EXPECT_EQ(2, c->NewAdditional()->Count());
}

// ---------------------------------------------------------------------------------------------
// Current state through the tests' LSA

TEST(RightsCenter, AccountWithoutRightsReadsEmptyWithoutRaising) {
    TFakeLsa lsa;
    auto c = CenterFor(Account);
    EXPECT_EQ(TrkPrivileges{}, c->CurrentPrivileges());
    EXPECT_EQ(0, c->CurrentAdditional()->Count());
    EXPECT_EQ(0, c->LastError());
    EXPECT_EQ(L"Open <local> 2064", lsa.Calls.front()); // look up names, create accounts
    EXPECT_EQ(std::wstring(L"Enumerate ") + Account, lsa.Calls[1]);
}

TEST(RightsCenter, RightsSplitIntoTableValuesAndAdditionalNames) {
    TFakeLsa lsa;
    lsa.Rights[Account] = {L"SeDebugPrivilege", L"SeCustomRight", L"SeServiceLogonRight"};
    auto c = CenterFor(Account);
    EXPECT_EQ((TrkPrivileges{spDebug, spServiceLogon}), c->CurrentPrivileges());
    EXPECT_EQ((std::vector<std::wstring>{L"SeCustomRight"}), Lines(c->CurrentAdditional()));
    EXPECT_EQ(0, lsa.BuffersOut);
    // The answer is a copy: changing it changes nothing.
    c->CurrentAdditional()->Add(L"Added");
    EXPECT_EQ(1, c->CurrentAdditional()->Count());
    EXPECT_EQ(1, lsa.Count(L"Enumerate"));
}

TEST(RightsCenter, FailingReadAnswersEmptyAndKeepsTheStatus) {
    TFakeLsa lsa;
    lsa.Rights[Account] = {L"SeDebugPrivilege"};
    lsa.FailCall = L"Enumerate";
    auto c = CenterFor(Account);
    EXPECT_EQ(TrkPrivileges{}, c->CurrentPrivileges());
    EXPECT_EQ(static_cast<int32_t>(StatusAccessDenied), c->LastError());
    // Nothing was cached: the next read asks again.
    lsa.FailCall.clear();
    EXPECT_EQ(TrkPrivileges{spDebug}, c->CurrentPrivileges());
    EXPECT_EQ(0, c->LastError());
}

TEST(RightsCenter, NoSidReadsEmptyWithoutAskingTheLsa) {
    TFakeLsa lsa;
    auto c = NewCenter();
    EXPECT_EQ(TrkPrivileges{}, c->CurrentPrivileges());
    c->SetNewPrivileges({spDebug});
    c->Commit();
    EXPECT_TRUE(lsa.Calls.empty());
}

TEST(RightsCenter, CacheFollowsTheSidInUse) {
    TFakeLsa lsa;
    lsa.Rights[Account] = {L"SeDebugPrivilege"};
    lsa.Rights[L"S-1-5-32-544"] = {L"SeBackupPrivilege"};
    auto c = CenterFor(Account);
    EXPECT_EQ(TrkPrivileges{spDebug}, c->CurrentPrivileges());
    EXPECT_EQ(TrkPrivileges{spDebug}, c->CurrentPrivileges());
    EXPECT_EQ(1, lsa.Count(L"Enumerate"));

    // A linked SID center supplies the SID; a new SID there drops the cache.
    TSidCenterPtr sids(Create<TrkSidCenter>(nullptr));
    sids->SetSidString(L"S-1-5-32-544");
    c->SetSidCenter(sids.get());
    EXPECT_EQ(TrkPrivileges{spBackup}, c->CurrentPrivileges());
    sids->SetSidString(Account);
    EXPECT_EQ(TrkPrivileges{spDebug}, c->CurrentPrivileges());
    EXPECT_EQ(3, lsa.Count(L"Enumerate"));

    // Freeing the linked center clears the link: the center's own SID is in use again.
    sids.reset();
    EXPECT_EQ(nullptr, c->SidCenter());
    EXPECT_EQ(Account, SidText(c->Sid()));

    // So does a change of server, which also closes the policy.
    c->CurrentPrivileges();
    int before = lsa.Count(L"Enumerate");
    c->SetServer(L"\\\\SRV");
    EXPECT_EQ(0, lsa.OpenHandles);
    c->CurrentPrivileges();
    EXPECT_EQ(before + 1, lsa.Count(L"Enumerate"));
    EXPECT_EQ(1, lsa.Count(L"Open \\\\SRV"));
}

// ---------------------------------------------------------------------------------------------
// Commits through the tests' LSA

TEST(RightsCenter, CommitAddsAndRemovesOneRightPerDifference) {
    TFakeLsa lsa;
    lsa.Rights[Account] = {L"SeBackupPrivilege", L"SeDebugPrivilege", L"OldRight", L"KeptRight"};
    auto c = CenterFor(Account);
    c->SetNewPrivileges({spDebug, spShutdown, spServiceLogon});
    SetLines(c->NewAdditional(), {L"keptright", L"NewRight"});
    EXPECT_FALSE(c->Committed());
    lsa.Calls.clear();
    c->SetCommitted(true);
    const std::wstring a = Account;
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Remove " + a + L" SeBackupPrivilege",
                  L"Add " + a + L" SeShutdownPrivilege",
                  L"Add " + a + L" SeServiceLogonRight",
                  L"Add " + a + L" NewRight",
                  L"Remove " + a + L" OldRight",
                  L"Close",
              }),
              lsa.Calls);
    EXPECT_EQ(0, lsa.OpenHandles);

    // The next read asks the LSA again and finds what was wanted.
    EXPECT_TRUE(c->Committed());
    EXPECT_EQ(1, lsa.Count(L"Enumerate"));
    EXPECT_EQ((TrkPrivileges{spDebug, spShutdown, spServiceLogon}), c->CurrentPrivileges());

    // Committing again changes nothing; False never does anything.
    lsa.Calls.clear();
    c->Commit();
    c->SetCommitted(false);
    EXPECT_EQ(0, lsa.Count(L"Add") + lsa.Count(L"Remove"));
}

TEST(RightsCenter, FailingCommitRaisesStopsAndClosesThePolicy) {
    TFakeLsa lsa;
    lsa.Rights[Account] = {L"SeBackupPrivilege"};
    auto c = CenterFor(Account);
    c->SetNewPrivileges({spDebug, spShutdown});
    lsa.FailCall = std::wstring(L"Add ") + Account + L" SeShutdownPrivilege";
    lsa.FailStatus = StatusAccessDenied;
    try {
        c->Commit();
        FAIL() << "the failing commit raised nothing";
    } catch (const EOSError& e) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), e.ErrorCode());
    }
    EXPECT_EQ(static_cast<int32_t>(StatusAccessDenied), c->LastError());
    EXPECT_EQ(0, lsa.OpenHandles);
    // Table order: the removal of spBackup came before the failure; spDebug would come after.
    EXPECT_EQ(1, lsa.Count(L"Remove"));
    EXPECT_EQ(0, lsa.Count(std::wstring(L"Add ") + Account + L" SeDebugPrivilege"));
    EXPECT_EQ(L"Close", lsa.Calls.back());
}

TEST(RightsCenter, PolicyThatCannotOpenRaisesOnCommit) {
    TFakeLsa lsa;
    lsa.FailCall = L"Open";
    auto c = CenterFor(Account);
    c->SetNewPrivileges({spDebug});
    EXPECT_EQ(TrkPrivileges{}, c->CurrentPrivileges()); // the getter stays quiet
    EXPECT_THROW(c->Commit(), EOSError);
    EXPECT_EQ(static_cast<int32_t>(StatusAccessDenied), c->LastError());
    EXPECT_EQ(0, lsa.Count(L"Add"));
}

// ---------------------------------------------------------------------------------------------
// Wine's own LSA: it says every account is without rights, and accepts changes it never keeps

TEST(RightsCenter, WineLsaReadsNoRightsAndAcceptsCommits) {
    auto c = CenterFor(L"S-1-5-21-0-0-0-1000");
    EXPECT_EQ(TrkPrivileges{}, c->CurrentPrivileges());
    EXPECT_EQ(0, c->LastError());
    c->SetNewPrivileges({spServiceLogon});
    EXPECT_NO_THROW(c->Commit());
    EXPECT_FALSE(c->Committed());
}

// ---------------------------------------------------------------------------------------------
// Streaming

TEST(RightsCenter, StoredPropertiesRoundTripThroughTheFormText) {
    TFakeLsa lsa; // writing or reading a form never reaches the LSA
    auto root = NewHolder();
    auto* sids = Create<TrkSidCenter>(root.get());
    sids->SetName(L"Sids");
    sids->SetSidString(L"S-1-5-32-544");
    auto* c = Create<TrkAccountRightsCenter>(root.get());
    c->SetName(L"Rights1");
    c->SetServer(L"\\\\SRV");
    c->SetSidCenter(sids);
    c->SetNewPrivileges({spDebug, spServiceLogon});
    SetLines(c->NewAdditional(), {L"SeCustomRight", L"SeShutdownPrivilege"});
    // The text carries nothing that depends on the processor: both builds write it so.
    const std::wstring expected = L"object Holder: TDataModule\r\n"
                                  L"  object Sids: TrkSidCenter\r\n"
                                  L"    Server = ''\r\n"
                                  L"    SidString = 'S-1-5-32-544'\r\n"
                                  L"    WellKnown = wkAdminsAlias\r\n"
                                  L"    Source = ssString\r\n"
                                  L"  end\r\n"
                                  L"  object Rights1: TrkAccountRightsCenter\r\n"
                                  L"    NewPrivileges = [spShutdown, spDebug, spServiceLogon]\r\n"
                                  L"    NewAdditional.Strings = (\r\n"
                                  L"      'SeCustomRight')\r\n"
                                  L"    Server = '\\\\SRV'\r\n"
                                  L"    SidCenter = Sids\r\n"
                                  L"  end\r\n"
                                  L"end\r\n";
    EXPECT_EQ(expected, ComponentToText(root.get()));
    auto copy = ReadBack(expected);
    auto* back = Part<TrkAccountRightsCenter>(*copy, L"Rights1");
    ASSERT_NE(nullptr, back);
    EXPECT_EQ((TrkPrivileges{spShutdown, spDebug, spServiceLogon}), back->NewPrivileges());
    EXPECT_EQ((std::vector<std::wstring>{L"SeCustomRight"}), Lines(back->NewAdditional()));
    EXPECT_EQ(L"\\\\SRV", back->Server());
    EXPECT_EQ(copy->FindComponent(L"Sids"), back->SidCenter());
    EXPECT_TRUE(lsa.Calls.empty());
}
