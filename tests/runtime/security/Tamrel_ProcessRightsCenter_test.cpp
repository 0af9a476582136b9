#include "runtime/security/Tamrel_ProcessRightsCenter.h"
#include "tests/runtime/security/SecurityTestSupport.h"

#include "host/Handles.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TProcessRightsPtr = TOwnedPtr<TrkProcessRightsCenter>;
TProcessRightsPtr NewCenter() { return TProcessRightsPtr(Create<TrkProcessRightsCenter>(nullptr)); }

// The process token as the system shows it: privilege name -> attributes.
std::map<std::wstring, DWORD> TokenState() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) RaiseLastOSError();
    TKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    Win32Check(GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(), size, &size));
    auto* tp = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    std::map<std::wstring, DWORD> state;
    for (DWORD i = 0; i < tp->PrivilegeCount; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        Win32Check(LookupPrivilegeNameW(nullptr, &tp->Privileges[i].Luid, name, &len));
        state[name] = tp->Privileges[i].Attributes;
    }
    return state;
}

bool Enabled(const wchar_t* name) { return (TokenState()[name] & SE_PRIVILEGE_ENABLED) != 0; }

// Switches a privilege behind the center's back.
void SetEnabled(const wchar_t* name, bool on) {
    HANDLE raw = nullptr;
    Win32Check(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw));
    TKernelHandle token(raw);
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    Win32Check(LookupPrivilegeValueW(nullptr, name, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = on ? SE_PRIVILEGE_ENABLED : 0;
    Win32Check(AdjustTokenPrivileges(token.Get(), FALSE, &tp, 0, nullptr, nullptr));
}

// Leaves the token as the test found it.
class ProcessRights : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& [name, attributes] : FSaved) {
            if (attributes & SE_PRIVILEGE_ENABLED) SetEnabled(name.c_str(), true);
            else SetEnabled(name.c_str(), false);
        }
    }
    std::map<std::wstring, DWORD> FSaved = TokenState();
};

std::vector<std::wstring> Lines(TStrings* s) {
    std::vector<std::wstring> v;
    for (int i = 0; i < s->Count(); ++i) v.push_back(s->Get(i));
    return v;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// LUIDs and names

TEST(PrivilegeNames, LuidsRoundTripForEveryPrivilegeTheSystemKnows) {
    int known = 0;
    for (int i = 0; i < PrivilegeCount; ++i) {
        auto p = static_cast<TrkPrivilege>(i);
        int64_t luid = PrivilegeToLuid(p);
        if (luid == 0) continue;
        ++known;
        EXPECT_EQ(PrivilegeToString(p), LuidToString(luid));
        EXPECT_EQ(p, LuidToPrivilege(luid));
    }
    EXPECT_GE(known, 20); // this system knows most of them
    // The logon rights are no privileges: no LUID, and so nothing maps back to them.
    for (TrkPrivilege p : {spInteractiveLogon, spNetworkLogon, spBatchLogon, spServiceLogon})
        EXPECT_EQ(0, PrivilegeToLuid(p)) << p;
    EXPECT_EQ(0, StringToLuid(L"SeInteractiveLogonRight"));
    EXPECT_EQ(0, StringToLuid(L"NoSuchPrivilege"));
    EXPECT_THROW(LuidToPrivilege(0), EAbort);
    EXPECT_THROW(LuidToPrivilege(0x7FFF0000), EAbort);
}

TEST(PrivilegeNames, NamesOfLogonRightsNeedNoSystemAndOthersFallBackToTheSystemName) {
    EXPECT_EQ(L"Logon interactive", PrivilegeToName(spInteractiveLogon));
    EXPECT_EQ(L"Network logon", PrivilegeToName(spNetworkLogon));
    EXPECT_EQ(L"Logon as a batch job", PrivilegeToName(spBatchLogon));
    EXPECT_EQ(L"Logon as a service", PrivilegeToName(spServiceLogon));
    // Wine keeps no display names: the system name stands in. Where the system has one, it is a
    // non-empty text.
    std::wstring name = PrivilegeToName(spShutdown);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name, LuidToName(PrivilegeToLuid(spShutdown)));
    // A LUID the system cannot name raises.
    try {
        LuidToString(0x7FFF0000);
        FAIL() << "an unknown LUID had a name";
    } catch (const EOSError& e) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE), e.ErrorCode());
    }
    EXPECT_THROW(LuidToName(0x7FFF0000), EOSError);
}

TEST(PrivilegeNames, ThreadsLookingUpTogetherAgree) {
    std::vector<int64_t> expected;
    for (int i = 0; i < PrivilegeCount; ++i) expected.push_back(StringToLuid(PrivilegeToString(static_cast<TrkPrivilege>(i))));
    std::vector<std::vector<int64_t>> seen(8);
    std::vector<std::thread> threads;
    for (auto& s : seen)
        threads.emplace_back([&s] {
            for (int round = 0; round < 50; ++round)
                for (int i = PrivilegeCount - 1; i >= 0; --i) s.push_back(PrivilegeToLuid(static_cast<TrkPrivilege>(i)));
        });
    for (auto& t : threads) t.join();
    for (const auto& s : seen)
        for (size_t k = 0; k < s.size(); ++k) ASSERT_EQ(expected[PrivilegeCount - 1 - k % PrivilegeCount], s[k]);
}

// ---------------------------------------------------------------------------------------------
// The real process token

TEST_F(ProcessRights, CurrentStateListsTheEnabledPrivilegesOfTheToken) {
    TrkPrivileges table;
    std::set<std::wstring> others;
    for (const auto& [name, attributes] : FSaved) {
        if (!(attributes & SE_PRIVILEGE_ENABLED)) continue;
        TrkPrivilege p;
        if (StringToPrivilege(name, p)) table.Include(p);
        else others.insert(name);
    }
    ASSERT_FALSE(table.Empty()); // Wine's token has some enabled from the start
    auto c = NewCenter();
    EXPECT_EQ(table, c->CurrentPrivileges());
    std::vector<std::wstring> additional = Lines(c->CurrentAdditional());
    EXPECT_EQ(others, std::set<std::wstring>(additional.begin(), additional.end()));
    EXPECT_EQ(0, c->LastError());
}

TEST_F(ProcessRights, EnablingAndDisablingIsReadBackFromTheToken) {
    SetEnabled(L"SeShutdownPrivilege", false);
    SetEnabled(L"SeDebugPrivilege", false);
    auto c = NewCenter();
    TrkPrivileges start = c->CurrentPrivileges();
    c->SetNewPrivileges(start + TrkPrivileges{spShutdown, spDebug});
    c->NewAdditional()->Assign(c->CurrentAdditional());
    EXPECT_FALSE(c->Committed());
    c->Commit();
    EXPECT_EQ(0, c->LastError());
    EXPECT_TRUE(Enabled(L"SeShutdownPrivilege"));
    EXPECT_TRUE(Enabled(L"SeDebugPrivilege"));
    EXPECT_TRUE(c->Committed());

    // A second commit changes nothing: switched off behind the center's back, it stays off
    // (the state read after the first commit is kept until the next one).
    SetEnabled(L"SeShutdownPrivilege", false);
    c->Commit();
    EXPECT_FALSE(Enabled(L"SeShutdownPrivilege"));

    c->SetNewPrivileges(start);
    c->Commit();
    EXPECT_FALSE(Enabled(L"SeShutdownPrivilege"));
    EXPECT_FALSE(Enabled(L"SeDebugPrivilege"));
    EXPECT_EQ(start, c->CurrentPrivileges());
}

TEST_F(ProcessRights, UnknownNameIsSkippedAndTheOthersStillApply) {
    SetEnabled(L"SeShutdownPrivilege", false);
    auto c = NewCenter();
    c->SetNewPrivileges(c->CurrentPrivileges() + TrkPrivileges{spShutdown});
    c->NewAdditional()->Assign(c->CurrentAdditional());
    c->NewAdditional()->Add(L"SeNoSuchPrivilege");
    c->Commit();
    EXPECT_EQ(0, c->LastError());
    EXPECT_TRUE(Enabled(L"SeShutdownPrivilege"));
    EXPECT_FALSE(c->Committed()); // the unknown name never becomes current
}

TEST_F(ProcessRights, PrivilegeTheTokenDoesNotHoldLeavesNotAllAssigned) {
    ASSERT_EQ(0u, FSaved.count(L"SeCreateTokenPrivilege"));
    SetEnabled(L"SeShutdownPrivilege", false);
    auto c = NewCenter();
    c->SetNewPrivileges(c->CurrentPrivileges() + TrkPrivileges{spCreateToken, spShutdown});
    c->NewAdditional()->Assign(c->CurrentAdditional());
    EXPECT_NO_THROW(c->Commit());
    EXPECT_EQ(ERROR_NOT_ALL_ASSIGNED, c->LastError());
    EXPECT_TRUE(Enabled(L"SeShutdownPrivilege"));
    // A logon right is no privilege: wanting it sends nothing and raises nothing.
    auto d = NewCenter();
    d->SetNewPrivileges(d->CurrentPrivileges() + TrkPrivileges{spServiceLogon});
    d->NewAdditional()->Assign(d->CurrentAdditional());
    d->Commit();
    EXPECT_EQ(0, d->LastError());
}

TEST_F(ProcessRights, PrivilegeOnByDefaultSwitchedOffIsNotCurrent) {
    ASSERT_TRUE(FSaved[L"SeChangeNotifyPrivilege"] & SE_PRIVILEGE_ENABLED_BY_DEFAULT);
    SetEnabled(L"SeChangeNotifyPrivilege", true);
    auto c = NewCenter();
    ASSERT_TRUE(c->CurrentPrivileges().Contains(spChangeNotify));
    c->SetNewPrivileges(c->CurrentPrivileges() - TrkPrivileges{spChangeNotify});
    c->NewAdditional()->Assign(c->CurrentAdditional());
    c->Commit();
    // The token still marks it as on by default, but it is off.
    EXPECT_EQ(static_cast<DWORD>(SE_PRIVILEGE_ENABLED_BY_DEFAULT), TokenState()[L"SeChangeNotifyPrivilege"]);
    EXPECT_FALSE(c->CurrentPrivileges().Contains(spChangeNotify));
    EXPECT_TRUE(c->Committed());
}

// ---------------------------------------------------------------------------------------------
// Streaming

TEST(ProcessRightsCenter, StoredPropertiesRoundTripThroughTheFormText) {
    auto root = NewHolder();
    auto* c = Create<TrkProcessRightsCenter>(root.get());
    c->SetName(L"Process1");
    c->SetNewPrivileges({spTCB, spShutdown});
    c->NewAdditional()->Add(L"SeImpersonatePrivilege");
    c->NewAdditional()->Add(L"SeDebugPrivilege");
    // The text carries nothing that depends on the processor: both builds write it so.
    const std::wstring expected = L"object Holder: TDataModule\r\n"
                                  L"  object Process1: TrkProcessRightsCenter\r\n"
                                  L"    NewPrivileges = [spTCB, spShutdown, spDebug]\r\n"
                                  L"    NewAdditional.Strings = (\r\n"
                                  L"      'SeImpersonatePrivilege')\r\n"
                                  L"  end\r\n"
                                  L"end\r\n";
    EXPECT_EQ(expected, ComponentToText(root.get()));
    auto copy = ReadBack(expected);
    auto* back = Part<TrkProcessRightsCenter>(*copy, L"Process1");
    ASSERT_NE(nullptr, back);
    EXPECT_EQ((TrkPrivileges{spTCB, spShutdown, spDebug}), back->NewPrivileges());
    EXPECT_EQ((std::vector<std::wstring>{L"SeImpersonatePrivilege"}), Lines(back->NewAdditional()));
}
