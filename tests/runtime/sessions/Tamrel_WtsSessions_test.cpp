#include "runtime/sessions/Tamrel_WtsSessions.h"
#include "runtime/sessions/internal/Tamrel_WtsSessionsInternal.h"
#include "tests/runtime/sessions/SessionsTestSupport.h"

#include "host/Registry.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// The sessions and the station SID that the injected source answers.
struct TInjected {
    std::vector<TWtsSessionRecord> Sessions;
    bool Fail = false;
    bool StationReadable = true;
    std::wstring StationSid;
    std::vector<std::wstring> Events;

    TWtsSessionSource Source(bool station) {
        TWtsSessionSource s;
        s.Enumerate = [this] {
            if (Fail) RaiseLastOSError(ERROR_ACCESS_DENIED);
            return Sessions;
        };
        if (station)
            s.StationUserSid = [this](std::wstring& sid) {
                sid = StationSid;
                return StationReadable;
            };
        return s;
    }
    void Record(const wchar_t* what, TrkWtsSessionInfo* s) {
        Events.push_back(Format(L"%s %u %s state=%d old=%d", std::wstring(what), s->SessionId, s->WinStaName,
                                static_cast<int>(s->State), static_cast<int>(s->OldState)));
    }
    void Added(TObject*, TrkWtsSessionInfo* s) { Record(L"add", s); }
    void Deleting(TObject*, TrkWtsSessionInfo* s) { Record(L"delete", s); }
    void Changed(TObject*, TrkWtsSessionInfo* s) { Record(L"change", s); }
    void Wire(TrkWtsSessions& w) {
        w.SetSessionAfterAdd(TrkWtsSessionEvent::Of<&TInjected::Added>(this));
        w.SetSessionBeforeDelete(TrkWtsSessionEvent::Of<&TInjected::Deleting>(this));
        w.SetSessionStateChanged(TrkWtsSessionEvent::Of<&TInjected::Changed>(this));
    }
};

using TSessionsPtr = TOwnedPtr<TrkWtsSessions>;

std::vector<std::wstring> Listed(TrkWtsSessions& w) {
    std::vector<std::wstring> out;
    w.Lock();
    for (int i = 0; i < w.SessionCount(); ++i)
        out.push_back(Format(L"%u state=%d", w.Sessions(i)->SessionId, static_cast<int>(w.Sessions(i)->State)));
    w.Unlock();
    return out;
}

} // namespace

TEST(WtsSessions, SessionsAreAddedChangedAndDeletedWithTheirLastState) {
    TInjected in;
    in.Sessions = {{1, L"RDP-Tcp#1", WTSActive}, {2, L"RDP-Tcp#2", WTSConnected}};
    TWtsSessionSourceOverride source(in.Source(true));
    TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
    in.Wire(*w);
    w->UpdateSessions(); // the first update ran in the constructor, before the events were set
    EXPECT_TRUE(in.Events.empty());
    in.Sessions = {{1, L"RDP-Tcp#1", WTSDisconnected}, {3, L"Console", WTSActive}};
    w->UpdateSessions();
    EXPECT_EQ((std::vector<std::wstring>{L"change 1 RDP-Tcp#1 state=4 old=0", L"add 3 Console state=0 old=0",
                                         L"delete 2 RDP-Tcp#2 state=1 old=1"}),
              in.Events);
    EXPECT_EQ((std::vector<std::wstring>{L"1 state=4", L"3 state=0"}), Listed(*w));
    w->Lock();
    EXPECT_EQ(nullptr, w->SessionsById(2));
    EXPECT_EQ(L"Console", w->SessionsById(3)->WinStaName);
    w->Unlock();
}

TEST(WtsSessions, FailingEnumerationChangesNothing) {
    TInjected in;
    in.Sessions = {{1, L"a", WTSActive}};
    TWtsSessionSourceOverride source(in.Source(true));
    TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
    in.Wire(*w);
    in.Fail = true;
    in.Sessions.clear();
    EXPECT_THROW(w->UpdateSessions(), EOSError);
    EXPECT_TRUE(in.Events.empty());
    EXPECT_EQ(std::vector<std::wstring>{L"1 state=0"}, Listed(*w));
}

TEST(WtsSessions, UpdatesWaitForTheLastUnlockAndReadsNeedTheLock) {
    TInjected in;
    TWtsSessionSourceOverride source(in.Source(true));
    TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
    in.Wire(*w);
    try {
        w->SessionCount();
        FAIL() << "read without the lock";
    } catch (const Exception& e) {
        EXPECT_EQ(SSessionsNotLocked, e.Message());
    }
    in.Sessions = {{5, L"x", WTSActive}};
    w->Lock();
    w->Lock();
    w->UpdateSessions();
    EXPECT_EQ(0, w->SessionCount());
    w->Unlock();
    EXPECT_TRUE(in.Events.empty()); // still locked once
    w->Unlock();
    EXPECT_EQ(std::vector<std::wstring>{L"add 5 x state=0 old=0"}, in.Events);
    // More unlocks than locks leave the counter at 0: reading needs a new lock.
    w->Unlock();
    EXPECT_THROW(w->SessionCount(), Exception);
}

TEST(WtsSessions, DeferredUpdateThatFailsReachesTheCallerInsteadOfEndingTheProgram) {
    // A handler asks for another update while the list is locked; it runs when the update ends
    // and its enumeration fails. Run from an unlocking destructor, that failure ended the program.
    TInjected in;
    TWtsSessionSourceOverride source(in.Source(true));
    TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
    struct TAgain {
        TrkWtsSessions* Sessions;
        TInjected* In;
        void Added(TObject*, TrkWtsSessionInfo*) {
            In->Fail = true;
            Sessions->UpdateSessions();
        }
    } again{w.get(), &in};
    w->SetSessionAfterAdd(TrkWtsSessionEvent::Of<&TAgain::Added>(&again));
    in.Sessions = {{7, L"x", WTSActive}};
    EXPECT_THROW(w->UpdateSessions(), EOSError);
    // The update itself was done and the counter given back: reading needs a lock of its own.
    EXPECT_THROW(w->SessionCount(), Exception);
    EXPECT_EQ(std::vector<std::wstring>{L"7 state=0"}, Listed(*w));
}

TEST(WtsSessions, SessionZeroWithoutTerminalServicesFollowsTheInteractiveStation) {
    ASSERT_FALSE(AllowMultipleTSSessions());
    TInjected in;
    in.Sessions = {{0, L"Console", WTSActive}};
    {
        // Wine's station answers that nobody is logged on: listed as disconnected, no event.
        TWtsSessionSourceOverride source(in.Source(false));
        TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
        in.Wire(*w);
        w->UpdateSessions();
        EXPECT_TRUE(in.Events.empty());
        EXPECT_EQ(std::vector<std::wstring>{L"0 state=4"}, Listed(*w));
        EXPECT_EQ(L"", w->LogonSid());
    }
    TWtsSessionSourceOverride source(in.Source(true));
    TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
    in.Wire(*w);
    in.StationSid = L"010500000000000515000000";
    w->UpdateSessions();
    EXPECT_EQ(std::vector<std::wstring>{L"change 0 Console state=0 old=4"}, in.Events);
    EXPECT_EQ(L"010500000000000515000000", w->LogonSid());
    w->UpdateSessions(); // the same user: no event
    in.StationReadable = false;
    w->UpdateSessions(); // an unreadable station changes nothing
    EXPECT_EQ(1u, in.Events.size());
    in.StationReadable = true;
    in.StationSid.clear();
    w->UpdateSessions();
    EXPECT_EQ(L"change 0 Console state=4 old=0", in.Events.back());
}

TEST(WtsSessions, WineHasNoTerminalServerSessions) {
    TSessionsPtr w(Create<TrkWtsSessions>(nullptr));
    EXPECT_TRUE(Listed(*w).empty());
}

TEST(WtsSessions, MultipleSessionsAreAllowedOnlyByTheWinlogonValueOne) {
    EXPECT_FALSE(AllowMultipleTSSessions());
    TRegistry r;
    r.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(r.OpenKey(WinlogonKey, false));
    TScopeExit restore([&] { r.DeleteValue(L"AllowMultipleTSSessions"); });
    r.WriteInteger(L"AllowMultipleTSSessions", 1);
    EXPECT_TRUE(AllowMultipleTSSessions());
    r.WriteInteger(L"AllowMultipleTSSessions", 2);
    EXPECT_FALSE(AllowMultipleTSSessions());
    r.WriteString(L"AllowMultipleTSSessions", L"1");
    EXPECT_FALSE(AllowMultipleTSSessions());
}
