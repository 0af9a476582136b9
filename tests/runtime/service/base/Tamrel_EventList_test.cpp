#include "runtime/service/base/Tamrel_EventList.h"

#include "host/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace tamrel;

namespace {

// Records each call as "<name>:<sender>".
struct TRecorder {
    std::string* Log;
    std::string Name;
    void First(TObject* sender) { *Log += Name + ".First:" + std::to_string(reinterpret_cast<uintptr_t>(sender)) + " "; }
    void Second(TObject*) { *Log += Name + ".Second "; }
    void Throws(TObject*) { throw Exception(L"handler failed"); }
};

TObject* Sender(uintptr_t n) { return reinterpret_cast<TObject*>(n); }

struct TSelfRemover {
    TrkEventList* List;
    int Calls = 0;
    void Handler(TObject*) {
        ++Calls;
        List->Remove(MakeMethod<&TSelfRemover::Handler>(this));
        List->Clear();
    }
};

} // namespace

class EventList : public ::testing::Test {
protected:
    std::string log;
    TRecorder a{&log, "a"};
    TRecorder b{&log, "b"};
    TNotifyEvent aFirst = MakeMethod<&TRecorder::First>(&a);
    TNotifyEvent aSecond = MakeMethod<&TRecorder::Second>(&a);
    TNotifyEvent bFirst = MakeMethod<&TRecorder::First>(&b);
    TrkEventList list;

    void CallAll() {
        for (int32_t i = 0; i < list.Count(); ++i) list.CallItem(i, Sender(7));
    }
};

TEST_F(EventList, KeepsOrderOfAddAndInsert) {
    list.Add(aFirst);
    list.Add(bFirst);
    list.Insert(0, aSecond);
    list.Insert(3, aSecond); // at Count: appends
    ASSERT_EQ(4, list.Count());
    CallAll();
    EXPECT_EQ("a.Second a.First:7 b.First:7 a.Second ", log);
}

TEST_F(EventList, DuplicatesAreKeptAndRemoveTakesTheFirstOnly) {
    list.Add(aFirst);
    list.Add(bFirst);
    list.Add(aFirst);
    EXPECT_EQ(3, list.Count());
    list.Remove(aFirst);
    ASSERT_EQ(2, list.Count());
    EXPECT_TRUE(list.Items(0) == bFirst);
    EXPECT_TRUE(list.Items(1) == aFirst);
    list.Remove(aSecond); // not queued: nothing happens
    EXPECT_EQ(2, list.Count());
}

TEST_F(EventList, IdentityIsObjectAndMethodTogether) {
    list.Add(aFirst);
    list.Add(aSecond);
    list.Add(bFirst);
    TRecorder c{&log, "c"};
    struct Case {
        const char* name;
        TNotifyEvent event;
        int32_t index;
    } cases[] = {
        {"same object, same method", MakeMethod<&TRecorder::First>(&a), 0},
        {"same object, other method", MakeMethod<&TRecorder::Second>(&a), 1},
        {"same method, other object", MakeMethod<&TRecorder::First>(&b), 2},
        {"same method, object not queued", MakeMethod<&TRecorder::First>(&c), -1},
        {"method not queued", MakeMethod<&TRecorder::Second>(&b), -1},
        {"empty closure", TNotifyEvent(), -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.index, list.IndexOf(c.event)) << c.name;
}

TEST_F(EventList, ItemsCanBeReadAndOverwritten) {
    list.Add(aFirst);
    list.Add(aFirst);
    list.SetItems(1, bFirst);
    EXPECT_TRUE(list.GetItems(1) == bFirst);
    EXPECT_EQ(1, list.IndexOf(bFirst));
    list.Delete(0);
    EXPECT_EQ(0, list.IndexOf(bFirst));
    list.Clear();
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(-1, list.IndexOf(bFirst));
}

TEST_F(EventList, IndexOutsideTheListRaisesListIndexError) {
    list.Add(aFirst);
    struct Case {
        const char* name;
        std::function<void()> call;
        int32_t index;
    } cases[] = {
        {"Items(-1)", [&] { list.Items(-1); }, -1},
        {"Items(Count)", [&] { list.Items(1); }, 1},
        {"SetItems(Count)", [&] { list.SetItems(1, bFirst); }, 1},
        {"Delete(-1)", [&] { list.Delete(-1); }, -1},
        {"Delete(Count)", [&] { list.Delete(1); }, 1},
        {"Insert(Count + 1)", [&] { list.Insert(2, bFirst); }, 2},
        {"Insert(-1)", [&] { list.Insert(-1, bFirst); }, -1},
        {"CallItem(Count)", [&] { list.CallItem(1, nullptr); }, 1},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.name << " did not raise";
        } catch (const EListError& e) {
            EXPECT_EQ(Format(SListIndexError, c.index), e.Message()) << c.name;
        }
    }
    EXPECT_EQ(1, list.Count()) << "a failed operation changes nothing";
    EXPECT_EQ("", log);
}

TEST_F(EventList, CallItemPassesSenderAndLetsExceptionsThrough) {
    list.Add(aFirst);
    list.Add(MakeMethod<&TRecorder::Throws>(&a));
    list.CallItem(0, Sender(42));
    EXPECT_EQ("a.First:42 ", log);
    EXPECT_THROW(list.CallItem(1, Sender(42)), Exception);
}

TEST_F(EventList, EntryWithoutCodeIsSkipped) {
    list.Add(TNotifyEvent());
    // Called, the empty entry would jump to address 0: under a deadline that is a failure with a
    // message, not a crash of the test program.
    auto callEmptyEntry = [&] { EXPECT_NO_THROW(list.CallItem(0, nullptr)); };
    EXPECT_TRUE(test::FinishesWithin(10000, callEmptyEntry));
}

TEST_F(EventList, HandlerMayEmptyTheQueueWhileItRuns) {
    TSelfRemover remover{&list};
    list.Add(MakeMethod<&TSelfRemover::Handler>(&remover));
    list.Add(aFirst);
    list.CallItem(0, nullptr);
    EXPECT_EQ(1, remover.Calls);
    EXPECT_EQ(0, list.Count());
}
