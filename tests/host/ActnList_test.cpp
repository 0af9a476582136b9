// Actions: clients hear of every change and let go when the action goes; a disabled action does
// not run.
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

} // namespace
