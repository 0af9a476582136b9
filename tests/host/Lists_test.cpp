#include "host/Lists.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using namespace tamrel;

namespace {

void* P(uintptr_t n) { return reinterpret_cast<void*>(n); }

std::vector<uintptr_t> Contents(const TList& list) {
    std::vector<uintptr_t> v;
    for (int32_t i = 0; i < list.Count(); ++i) v.push_back(reinterpret_cast<uintptr_t>(list.Items(i)));
    return v;
}

using V = std::vector<uintptr_t>;

} // namespace

TEST(List, AddInsertDeleteKeepOrder) {
    TList list;
    EXPECT_EQ(0, list.Add(P(1)));
    EXPECT_EQ(1, list.Add(P(2)));
    list.Insert(0, P(3));
    list.Insert(3, P(4)); // at Count: appends
    list.Insert(2, nullptr);
    EXPECT_EQ((V{3, 1, 0, 2, 4}), Contents(list));
    list.Delete(2);
    list.Delete(0);
    EXPECT_EQ((V{1, 2, 4}), Contents(list));
    EXPECT_EQ(P(1), list.First());
    EXPECT_EQ(P(4), list.Last());
    list.Clear();
    EXPECT_EQ(0, list.Count());
}

TEST(List, RemoveAndExtractTakeTheFirstOccurrence) {
    TList list;
    for (uintptr_t n : {1, 2, 1, 3}) list.Add(P(n));
    EXPECT_EQ(0, list.Remove(P(1)));
    EXPECT_EQ((V{2, 1, 3}), Contents(list));
    EXPECT_EQ(-1, list.Remove(P(9)));
    EXPECT_EQ(P(1), list.Extract(P(1)));
    EXPECT_EQ(nullptr, list.Extract(P(1)));
    EXPECT_EQ((V{2, 3}), Contents(list));
    EXPECT_EQ(1, list.IndexOf(P(3)));
    EXPECT_EQ(-1, list.IndexOf(P(1)));
}

TEST(List, ExchangeAndMove) {
    struct Case {
        const char* name;
        std::function<void(TList&)> op;
        V expected;
    } cases[] = {
        {"Exchange(0, 3)", [](TList& l) { l.Exchange(0, 3); }, {4, 2, 3, 1}},
        {"Exchange(1, 1)", [](TList& l) { l.Exchange(1, 1); }, {1, 2, 3, 4}},
        {"Move(0, 3)", [](TList& l) { l.Move(0, 3); }, {2, 3, 4, 1}},
        {"Move(3, 0)", [](TList& l) { l.Move(3, 0); }, {4, 1, 2, 3}},
        {"Move(1, 2)", [](TList& l) { l.Move(1, 2); }, {1, 3, 2, 4}},
        {"Move(2, 2)", [](TList& l) { l.Move(2, 2); }, {1, 2, 3, 4}},
        {"SetItems(2)", [](TList& l) { l.SetItems(2, P(9)); }, {1, 2, 9, 4}},
        {"operator[]", [](TList& l) { l[1] = P(8); }, {1, 8, 3, 4}},
    };
    for (const auto& c : cases) {
        TList list;
        for (uintptr_t n : {1, 2, 3, 4}) list.Add(P(n));
        c.op(list);
        EXPECT_EQ(c.expected, Contents(list)) << c.name;
    }
}

TEST(List, IndexOutsideTheListRaisesWithTheIndex) {
    TList list;
    list.Add(P(1));
    list.Add(P(2));
    struct Case {
        const char* name;
        std::function<void(TList&)> op;
        int32_t index;
    } cases[] = {
        {"Items(-1)", [](TList& l) { l.Items(-1); }, -1},
        {"Items(Count)", [](TList& l) { l.Items(2); }, 2},
        {"operator[](Count)", [](TList& l) { l[2]; }, 2},
        {"SetItems(Count)", [](TList& l) { l.SetItems(2, nullptr); }, 2},
        {"Insert(Count + 1)", [](TList& l) { l.Insert(3, nullptr); }, 3},
        {"Insert(-1)", [](TList& l) { l.Insert(-1, nullptr); }, -1},
        {"Delete(Count)", [](TList& l) { l.Delete(2); }, 2},
        {"Exchange(0, 5)", [](TList& l) { l.Exchange(0, 5); }, 5},
        {"Exchange(-2, 0)", [](TList& l) { l.Exchange(-2, 0); }, -2},
        {"Move(0, 2)", [](TList& l) { l.Move(0, 2); }, 2},
        {"Move(7, 0)", [](TList& l) { l.Move(7, 0); }, 7},
    };
    for (const auto& c : cases) {
        try {
            c.op(list);
            ADD_FAILURE() << c.name << " did not raise";
        } catch (const EListError& e) {
            EXPECT_EQ(Format(L"List index out of bounds (%d)", c.index), e.Message()) << c.name;
        }
    }
    EXPECT_EQ((V{1, 2}), Contents(list)) << "failed operations change nothing";
    TList empty;
    EXPECT_THROW(empty.First(), EListError);
    EXPECT_THROW(empty.Last(), EListError);
}

TEST(ThreadList, ThreadsAddAndRemoveUnderTheLock) {
    TThreadList shared;
    constexpr int kThreads = 4, kItems = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&shared, t] {
            for (int i = 0; i < kItems; ++i) shared.Add(P(static_cast<uintptr_t>(t * kItems + i + 1)));
            for (int i = 0; i < kItems; i += 2) shared.Remove(P(static_cast<uintptr_t>(t * kItems + i + 1)));
        });
    for (auto& th : threads) th.join();
    TList* list = shared.LockList();
    EXPECT_EQ(kThreads * kItems / 2, list->Count());
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(-1, list->IndexOf(P(static_cast<uintptr_t>(t * kItems + 1))));
        EXPECT_NE(-1, list->IndexOf(P(static_cast<uintptr_t>(t * kItems + 2))));
    }
    shared.UnlockList();
    shared.Clear();
    EXPECT_EQ(0, shared.LockList()->Count());
    shared.UnlockList();
}

TEST(ThreadList, LockListKeepsOtherThreadsOut) {
    TThreadList shared;
    TList* list = shared.LockList();
    std::thread adder([&shared] { shared.Add(P(1)); });
    Sleep(50);
    EXPECT_EQ(0, list->Count()) << "the add waited for the lock";
    EXPECT_EQ(list, shared.LockList()) << "the owner may lock again";
    shared.UnlockList();
    shared.UnlockList();
    adder.join();
    EXPECT_EQ(1, shared.LockList()->Count());
    shared.UnlockList();
}
