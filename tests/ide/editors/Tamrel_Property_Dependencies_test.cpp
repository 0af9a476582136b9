// The dependencies editor: the available list read from the machine, new placeholder
// dependencies, moving items across by button and by drag, the lists read and written, the
// in-place edit (blank names refused, the edit state cleared when an edit ends or its item goes),
// and the whole editor through the environment's inspector on a service module, as far as the
// record the service manager keeps after an install; components it cannot edit are refused by
// name.
#include "ide/editors/Tamrel_Property_Dependencies.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
#include "host/forms/DragDrop.h"
#include "host/forms/StdCtrls.h"
#include "host/SysUtils.h"
#include "runtime/service/Tamrel_NTService.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tamrel {

// A service module class that publishes its group list again, without a setter.
class TGetterOnlyService : public TNtService {
    TAMREL_CLASS(TGetterOnlyService, TNtService)
public:
    explicit TGetterOnlyService(TComponent* owner) : TNtService(owner) {}
    TStrings* Groups() const { return DependsOnGroups(); }
};

TAMREL_IMPLEMENT_CLASS(TGetterOnlyService) { b.Object(L"DependsOnGroups", &TGetterOnlyService::Groups); }

} // namespace tamrel

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

// The report of each list ends at its client edge: the given widths stay, the last column takes
// what they leave, also once enough dependencies are listed to need a vertical scroll bar.
TEST_F(DependenciesForm, TheColumnsFillEachListWithoutScrollingSideways) {
    auto fits = [](TListView* view) {
        const HWND list = view->Handle();
        RECT client = {};
        GetClientRect(list, &client);
        int total = 0;
        for (int i = 0; i < view->Columns()->Count(); ++i) {
            const int width = ListView_GetColumnWidth(list, i);
            if (i + 1 < view->Columns()->Count()) {
                EXPECT_EQ(width, view->Columns()->Items(i)->Width()) << i;
            }
            total += width;
        }
        EXPECT_EQ(total, RectWidth(client)) << ToUtf8(view->Name());
        return (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    };
    EXPECT_FALSE(fits(Form->LVDependencies)); // empty
    EXPECT_TRUE(fits(Form->LVAvailable));     // every service of the machine
    for (int i = 0; i < 30; ++i) ClickButton(Form->BnNewService);
    PumpPending();
    EXPECT_TRUE(fits(Form->LVDependencies));
    SaveCapture(*CaptureControl(Form.get(), true), L"DependenciesEditorColumns");
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

// The services the local service manager names, asked for another way than the form asks.
std::vector<std::wstring> ServicesOfTheMachine() {
    std::vector<std::wstring> names;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager) return names;
    DWORD needed = 0, count = 0, resume = 0;
    EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL, SERVICE_STATE_ALL, nullptr, 0, &needed, &count,
                          &resume, nullptr);
    std::vector<uint8_t> buffer(needed + 4096);
    resume = 0;
    if (EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL, SERVICE_STATE_ALL, buffer.data(),
                              static_cast<DWORD>(buffer.size()), &needed, &count, &resume, nullptr)) {
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) names.push_back(entries[i].lpServiceName);
    }
    CloseServiceHandle(manager);
    return names;
}

TEST_F(DependenciesForm, TheAvailableListHoldsTheGroupTDIAndEveryServiceOfTheMachine) {
    std::vector<std::wstring> groups, services;
    for (const TRow& r : Rows(Form->LVAvailable)) (r.Image == 1 ? groups : services).push_back(r.Caption);
    EXPECT_EQ(groups, std::vector<std::wstring>{L"TDI"}); // what this machine's "List" holds
    std::vector<std::wstring> expected = ServicesOfTheMachine();
    ASSERT_GE(expected.size(), 23u);
    std::sort(services.begin(), services.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(services, expected);
    SaveCapture(*CaptureControl(Form.get(), true), L"DependenciesFormOpened");
}

TEST_F(DependenciesForm, DraggingAnAvailableServiceAddsItOnceAndDraggingItBackDeletesIt) {
    auto drag = [](TListView* from, int index, TListView* to) {
        ListView_EnsureVisible(from->Handle(), index, FALSE);
        PumpPending();
        const RECT r = from->Items()->Item(index)->DisplayRect(true);
        DragWithMouse(from->ClientToScreen(POINT{r.left + 5, (r.top + r.bottom) / 2}), to->ClientToScreen(POINT{60, 150}));
        PumpUntil([from] { return !Dragging(from); }, 3000);
        PumpPending();
    };
    const std::vector<TRow> available = Rows(Form->LVAvailable);
    const auto rpc = std::find_if(available.begin(), available.end(), [](const TRow& r) { return r.Caption == L"RpcSs"; });
    ASSERT_NE(rpc, available.end());
    const int index = static_cast<int>(rpc - available.begin());
    drag(Form->LVAvailable, index, Form->LVDependencies);
    EXPECT_EQ(Rows(Form->LVDependencies), std::vector<TRow>{*rpc});
    drag(Form->LVAvailable, index, Form->LVDependencies); // listed already: nothing more
    EXPECT_EQ(Rows(Form->LVDependencies).size(), 1u);
    SaveCapture(*CaptureControl(Form.get(), true), L"DependenciesFormDragged");
    // A list does not take its own items.
    drag(Form->LVDependencies, 0, Form->LVDependencies);
    EXPECT_EQ(Rows(Form->LVDependencies).size(), 1u);
    drag(Form->LVDependencies, 0, Form->LVAvailable);
    EXPECT_TRUE(Rows(Form->LVDependencies).empty());
    EXPECT_EQ(Rows(Form->LVAvailable), available); // the available list never changes
}

TEST_F(DependenciesForm, TheViewMenuShowsAndSetsTheListsStyle) {
    EXPECT_EQ(Form->LVDependencies->ViewStyle(), vsReport);
    TMenuItem* list = Form->PmDependencies->Items()->Items(2);
    EXPECT_EQ(list->Caption(), L"View L&ist");
    list->Click();
    EXPECT_EQ(Form->LVDependencies->ViewStyle(), vsList);
    EXPECT_EQ(Form->LVAvailable->ViewStyle(), vsReport);
    Form->LVDependencies->SetViewStyle(vsSmallIcon);
    Form->ViewPopup(Form->PmDependencies);
    EXPECT_TRUE(Form->PmDependencies->Items()->Items(1)->Checked());
    EXPECT_FALSE(Form->PmDependencies->Items()->Items(2)->Checked());
    EXPECT_TRUE(Form->PmAvailable->Items()->Items(3)->Checked());
}

// What reg.exe reads of a value of the service's record: its data, "" when reg.exe finds none.
std::string RegistryValue(const std::wstring& service, const wchar_t* value) {
    const TProcessResult r = RunProcess(L"reg.exe query \"HKLM\\System\\CurrentControlSet\\Services\\" + service + L"\" /v " + value);
    for (const std::string& line : SplitLines(r.Out)) {
        const size_t type = line.find("REG_MULTI_SZ");
        if (type == std::string::npos) continue;
        std::string data = line.substr(type + 12);
        data.erase(0, data.find_first_not_of(" \t"));
        return data;
    }
    return {};
}

TEST_F(DependenciesEditor, WhatOKWroteReachesTheServiceManagersRecordAtInstall) {
    std::vector<std::wstring> order; // the two services as the available list has them
    TModalHookScope hook([&](const TModalWindow& m) {
        auto* form = dynamic_cast<TDependenciesEditorForm*>(m.Form);
        if (!form) return;
        for (const TRow& r : Rows(form->LVAvailable))
            if (r.Caption == L"RpcSs" || r.Caption == L"PlugPlay") order.push_back(r.Caption);
        Select(form->LVAvailable, {L"TDI", L"RpcSs", L"PlugPlay"});
        ClickButton(form->SbAdd);
        SaveCapture(*CaptureControl(form, true), L"DependenciesEditorBeforeOK");
        ClickButton(form->BnOK);
    });
    ASSERT_TRUE(Design.Inspect(TInspectorOp::Edit, L"DependsOnServices").Succeeded);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(Lines(Svc()->DependsOnServices()), order);
    EXPECT_EQ(Lines(Svc()->DependsOnGroups()), std::vector<std::wstring>{L"TDI"});

    const std::wstring name = L"TamrelDependencies" + std::to_wstring(GetCurrentProcessId());
    Svc()->SetServiceName(name);
    Svc()->SetStartType(stManual);
    Svc()->Install();
    TScopeExit removed([&] { Svc()->Uninstall(); });
    EXPECT_EQ(RegistryValue(name, L"DependOnService"), ToUtf8(order[0]) + "\\0" + ToUtf8(order[1]));
    EXPECT_EQ(RegistryValue(name, L"DependOnGroup"), "TDI");
}

TEST_F(DependenciesEditor, AnotherClassOrAListWithoutASetterIsRefusedByName) {
    RegisterClasses({&TListBox::StaticClassInfo(), &TGetterOnlyService::StaticClassInfo()});
    ASSERT_NE(Design.Host().AddComponent(Design.File(), L"TListBox", L"List"), nullptr);
    TModalHookScope hook([&](const TModalWindow& m) { ADD_FAILURE() << "a window opened: " << ToUtf8(m.Caption); });
    TInspectorCall other = Design.Host().Inspect(TInspectorOp::Edit, Design.File(), L"List", L"Items", {},
                                                 L"TDependenciesPropertyEditor");
    EXPECT_TRUE(other.Found);
    EXPECT_FALSE(other.Succeeded);
    EXPECT_EQ(other.Error, L"Can not edit \"TListBox\"");

    const std::wstring file = Design.Host().OpenDesigner(L"TGetterOnlyService");
    TInspectorCall getterOnly = Design.Host().Inspect(TInspectorOp::Edit, file, L"", L"DependsOnServices");
    EXPECT_EQ(getterOnly.Editor, L"TDependenciesPropertyEditor");
    EXPECT_FALSE(getterOnly.Succeeded);
    EXPECT_EQ(getterOnly.Error,
              L"Can not edit \"TGetterOnlyService\" : property \"DependsOnGroups\" get/set methods are not available");
    EXPECT_TRUE(Design.ModifiedValues().empty());
}

} // namespace
