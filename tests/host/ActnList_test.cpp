// Actions: clients hear of every change and let go when the action goes; a disabled action does
// not run; in an action list an action without a handler is disabled until it gets one, and the
// list and its actions may go in either order.
#include "host/ActnList.h"

#include <gtest/gtest.h>

using namespace tamrel;

namespace {

struct TClient : TActionClient {
    std::vector<TBasicAction*> Heard;
    void ActionChanged(TBasicAction* action) override { Heard.push_back(action); }
};

struct TRuns {
    int Count = 0;
    void Run(TObject*) { ++Count; }
};

TEST(Actions, ClientsHearOfChangesAndOfTheEnd) {
    TClient a, b;
    TAction* action = Create<TAction>(nullptr);
    action->RegisterClient(&a);
    action->RegisterClient(&b);
    action->RegisterClient(&a); // once only
    action->SetCaption(L"x");
    action->UnRegisterClient(&b);
    action->SetChecked(true);
    Free(action);
    EXPECT_EQ(a.Heard, (std::vector<TBasicAction*>{action, action, nullptr}));
    EXPECT_EQ(b.Heard, std::vector<TBasicAction*>{action});
}

TEST(Actions, OnlyAnEnabledActionWithAHandlerRuns) {
    TRuns runs;
    TOwnedPtr<TAction> action(Create<TAction>(nullptr));
    EXPECT_FALSE(action->Execute());
    action->SetOnExecute(TNotifyEvent::Of<&TRuns::Run>(&runs));
    EXPECT_TRUE(action->Execute());
    action->SetEnabled(false);
    EXPECT_FALSE(action->Execute());
    EXPECT_EQ(runs.Count, 1);
}

TEST(ActionList, AnActionWithoutAHandlerIsDisabledInAListAndClientsSeeItChange) {
    TRuns runs;
    TOwnedPtr<TComponent> owner(Create<TComponent>(nullptr));
    TActionList* list = Create<TActionList>(owner.get());
    TAction* action = Create<TAction>(owner.get());
    TClient client;
    action->RegisterClient(&client);
    EXPECT_TRUE(action->Enabled()); // on its own
    action->SetActionList(list);
    EXPECT_FALSE(action->Enabled());
    EXPECT_FALSE(action->Execute());
    action->SetEnabled(true); // stays off without a handler
    EXPECT_FALSE(action->Enabled());
    const size_t heard = client.Heard.size();
    action->SetOnExecute(TNotifyEvent::Of<&TRuns::Run>(&runs));
    EXPECT_GT(client.Heard.size(), heard); // the handler is news to the client
    EXPECT_TRUE(action->Enabled());
    EXPECT_TRUE(action->Execute());
    action->SetOnExecute(nullptr);
    EXPECT_FALSE(action->Enabled());
    action->SetDisableIfNoHandler(false);
    EXPECT_TRUE(action->Enabled());
    EXPECT_FALSE(action->Execute()); // enabled, but nothing to run
    EXPECT_EQ(runs.Count, 1);
    action->UnRegisterClient(&client);
}

TEST(ActionList, ListsItsActionsInOrderAndEitherMayGoFirst) {
    TOwnedPtr<TActionList> list(Create<TActionList>(nullptr));
    TAction* first = Create<TAction>(nullptr);
    TAction* second = Create<TAction>(nullptr);
    first->SetActionList(list.get());
    second->SetActionList(list.get());
    ASSERT_EQ(list->ActionCount(), 2);
    EXPECT_EQ(list->Actions(1), second);
    EXPECT_EQ(list->IndexOf(first), 0);
    EXPECT_THROW(list->Actions(2), EListError);
    Free(first);
    ASSERT_EQ(list->ActionCount(), 1);
    EXPECT_EQ(list->Actions(0), second);
    list.reset();
    EXPECT_EQ(second->ActionList(), nullptr);
    EXPECT_TRUE(second->Enabled());
    Free(second);
}

} // namespace
