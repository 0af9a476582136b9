// The dependencies editor: the available list read from the machine, new placeholder
// dependencies, moving items across by button and by drag, the lists read and written, the
// in-place edit (blank names refused, the edit state cleared when an edit ends or its item goes),
// and the whole editor through the environment's inspector on a service module.
#include "ide/editors/Tamrel_Property_Dependencies.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"
#include "runtime/service/Tamrel_NTService.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TRow {
    std::wstring Caption, Type, Display;
    int Image = -1;
    bool operator==(const TRow&) const = default;
};

std::vector<TRow> Rows(TListView* view) {
    std::vector<TRow> rows;
    for (int i = 0; i < view->Items()->Count(); ++i) {
        TListItem* item = view->Items()->Item(i);
        TRow row{item->Caption(), L"", L"", item->ImageIndex()};
        if (item->SubItems()->Count() > 0) row.Type = item->SubItems()->Get(0);
        if (item->SubItems()->Count() > 1) row.Display = item->SubItems()->Get(1);
        rows.push_back(row);
    }
    return rows;
}

const TRow* Find(const std::vector<TRow>& rows, const std::wstring& caption) {
    for (const TRow& r : rows)
        if (SameText(r.Caption, caption)) return &r;
    return nullptr;
}

void Select(TListView* view, std::initializer_list<std::wstring> captions) {
    for (int i = 0; i < view->Items()->Count(); ++i) {
        TListItem* item = view->Items()->Item(i);
        bool wanted = false;
        for (const std::wstring& c : captions) wanted = wanted || SameText(item->Caption(), c);
        item->SetSelected(wanted);
    }
}

std::vector<std::wstring> Lines(TStrings* strings) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < strings->Count(); ++i) lines.push_back(strings->Get(i));
    return lines;
}

class DependenciesForm : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TDependenciesEditorForm>(nullptr));
        Form->Show();
        PumpPending();
    }
    TOwned<TDependenciesEditorForm> Form;
};

TEST_F(DependenciesForm, TheMachinesGroupsComeFirstThenItsServices) {
    const std::vector<TRow> rows = Rows(Form->LVAvailable);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), (TRow{L"TDI", L"Group", L"", 1}));
    const TRow* rpc = Find(rows, L"RpcSs");
    ASSERT_NE(rpc, nullptr);
    EXPECT_EQ(rpc->Type, L"Service");
    EXPECT_EQ(rpc->Image, 0);
    EXPECT_FALSE(rpc->Display.empty());
    // No group after the first service.
    bool service = false;
    for (const TRow& r : rows) {
        if (r.Image == 0) service = true;
        else EXPECT_FALSE(service) << ToUtf8(r.Caption);
    }
}

TEST_F(DependenciesForm, NewDependenciesTakeTheFirstFreePlaceholderName) {
    ClickButton(Form->BnNewService);
    ClickButton(Form->BnNewGroup);
    ClickButton(Form->BnNewService);
    Form->LVDependencies->Items()->Item(1)->Delete(); // "------(1)" is free again
    ClickButton(Form->BnNewGroup);
    EXPECT_EQ(Rows(Form->LVDependencies), (std::vector<TRow>{{L"------", L"Service", L"???????", 0},
                                                             {L"------(2)", L"Service", L"???????", 0},
                                                             {L"------(1)", L"Group", L"???????", 1}}));
}

TEST_F(DependenciesForm, AddingCopiesTheSelectedOnceAndNeverANameListedAlready) {
    Select(Form->LVAvailable, {L"TDI", L"RpcSs"});
    ClickButton(Form->SbAdd);
    ClickButton(Form->SbAdd);
    std::vector<TRow> rows = Rows(Form->LVDependencies);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], Rows(Form->LVAvailable).front());
    EXPECT_EQ(rows[1], *Find(Rows(Form->LVAvailable), L"RpcSs"));
    // A group dependency named like an available service keeps that service out.
    TStringList groups;
    groups.Add(L"TDI");
    groups.Add(L"PlugPlay");
    Form->SetDependsOnGroups(&groups);
    Select(Form->LVAvailable, {L"PlugPlay"});
    ClickButton(Form->SbAdd);
    rows = Rows(Form->LVDependencies);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2], (TRow{L"PlugPlay", L"Group", L"???????", 1}));
    Select(Form->LVDependencies, {L"TDI", L"PlugPlay"});
    ClickButton(Form->SbDelete);
    EXPECT_EQ(Lines(Form->DependsOnServices()), std::vector<std::wstring>{L"RpcSs"});
    EXPECT_TRUE(Lines(Form->DependsOnGroups()).empty());
    ClickButton(Form->SbDeleteAll);
    EXPECT_TRUE(Rows(Form->LVDependencies).empty());
}

TEST_F(DependenciesForm, WritingAListKeepsWhatIsListedAndAddsBesideTheOtherType) {
    TStringList services;
    services.Add(L"RpcSs");
    services.Add(L"NoSuchService");
    Form->SetDependsOnServices(&services);
    TStringList groups;
    groups.Add(L"RpcSs"); // only a service of that name: a group item beside it
    Form->SetDependsOnGroups(&groups);
    services.Delete(1);
    Form->SetDependsOnServices(&services);
    const std::vector<TRow> rows = Rows(Form->LVDependencies);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Image, 0);
    EXPECT_NE(rows[0].Display, L"???????");
    EXPECT_EQ(rows[1], (TRow{L"RpcSs", L"Group", L"???????", 1}));
    EXPECT_EQ(Lines(Form->DependsOnServices()), std::vector<std::wstring>{L"RpcSs"});
    EXPECT_EQ(Lines(Form->DependsOnGroups()), std::vector<std::wstring>{L"RpcSs"});
}

TEST_F(DependenciesForm, F2EditsEnterAcceptsWithLookUpAndABlankNameIsRefused) {
    ClickButton(Form->BnNewService);
    TListItem* item = Form->LVDependencies->Items()->Item(0);
    item->SetSelected(true);
    Form->LVDependencies->SetFocus();
    PressKeys({VK_F2});
    ASSERT_EQ(Form->EditedItem, item);
    HWND editor = Form->LVDependencies->EditorHandle();
    ASSERT_NE(editor, nullptr);
    SendMessageW(editor, EM_SETSEL, 0, -1);
    TypeText(L"RpcSs");
    PressKeys({VK_RETURN});
    EXPECT_EQ(Form->EditedItem, nullptr);
    EXPECT_EQ(item->Caption(), L"RpcSs");
    EXPECT_EQ(item->SubItems()->Get(1), Find(Rows(Form->LVAvailable), L"RpcSs")->Display);

    // A blank caption would cut the record's list short: the old one stays.
    PressKeys({VK_F2});
    ASSERT_EQ(Form->EditedItem, item);
    SendMessageW(Form->LVDependencies->EditorHandle(), EM_SETSEL, 0, -1);
    TypeText(L"  ");
    PressKeys({VK_RETURN});
    EXPECT_EQ(item->Caption(), L"RpcSs");
    EXPECT_EQ(Form->EditedItem, nullptr);

    // Esc ends the edit too: F2 starts the next one.
    PressKeys({VK_F2});
    ASSERT_EQ(Form->EditedItem, item);
    PressKeys({VK_ESCAPE});
    EXPECT_EQ(Form->EditedItem, nullptr);
    PressKeys({VK_F2});
    EXPECT_EQ(Form->EditedItem, item);
    PressKeys({VK_ESCAPE});
}

TEST_F(DependenciesForm, DeletingTheItemUnderEditForgetsIt) {
    ClickButton(Form->BnNewGroup);
    TListItem* item = Form->LVDependencies->Items()->Item(0);
    item->SetSelected(true);
    ASSERT_TRUE(item->EditCaption());
    ASSERT_EQ(Form->EditedItem, item);
    ClickButton(Form->SbDeleteAll);
    EXPECT_EQ(Form->EditedItem, nullptr);
}

class DependenciesEditor : public testing::Test {
protected:
    DependenciesEditor() : Design(L"TNtService") {}
    TNtService* Svc() { return static_cast<TNtService*>(Design.Root()); }
    TEditorsDesign Design;
};

TEST_F(DependenciesEditor, OKWritesBothListsAndTellsTheDesignerOnceCancelNothing) {
    EXPECT_EQ(Design.Inspect(TInspectorOp::GetValue, L"DependsOnServices").Value, L"(TStrings)");
    bool ok = true;
    std::wstring caption;
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TDependenciesEditorForm*>(m.Form);
        if (!form) return;
        caption = form->Caption();
        Select(form->LVAvailable, {L"TDI", L"RpcSs"});
        ClickButton(form->SbAdd);
        ClickButton(ok ? form->BnOK : form->BnCancel);
    });
    ok = false;
    ASSERT_TRUE(Design.Inspect(TInspectorOp::Edit, L"DependsOnServices").Succeeded);
    EXPECT_TRUE(Svc()->DependsOnServices()->Count() == 0);
    EXPECT_TRUE(Design.ModifiedValues().empty());
    ok = true;
    TInspectorCall edit = Design.Inspect(TInspectorOp::Edit, L"DependsOnGroups");
    ASSERT_TRUE(edit.Succeeded) << ToUtf8(edit.Error);
    EXPECT_EQ(caption, L"Dependencies of the \"" + Svc()->Name() + L"\" service");
    EXPECT_EQ(Lines(Svc()->DependsOnServices()), std::vector<std::wstring>{L"RpcSs"});
    EXPECT_EQ(Lines(Svc()->DependsOnGroups()), std::vector<std::wstring>{L"TDI"});
    EXPECT_EQ(Design.ModifiedValues().size(), 1u);
}

} // namespace
