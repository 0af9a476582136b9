// The environment stand-in's dialogs (answered by caption, cancelled and recorded when nobody
// answers), files opened beside units and reloaded from disk, the host application's Help menu
// and its leftovers, and the code-only ancestor of automation objects.
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/tools/devenv/tamrelide/programs/ProbeCreators.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/forms/Forms.h"
#include "host/HostApplication.h"
#include "host/Menus.h"
#include "host/MessageBox.h"
#include "host/forms/StdCtrls.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tamrel;
using namespace tamrel::probe;
using namespace tamrel::test;

namespace {

std::vector<TIdeRecord> RecordsOf(const TIdeHost& host, const std::wstring& area) {
    std::vector<TIdeRecord> found;
    for (TIdeRecord& r : host.Records())
        if (r.Area == area) found.push_back(std::move(r));
    return found;
}

TModalResult ShowForm(const std::wstring& caption) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetCaption(caption);
    return form->ShowModal();
}

std::wstring ProbePath(const wchar_t* name) { return BinDir() + L"probe addins\\" + name; }

} // namespace

TEST(IdeDialogs, FormsAndBoxesAreAnsweredByTheirCaption) {
    TIdeHost host;
    std::wstring seenText;
    host.AnswerDialog(L"Probe form", [](const TModalWindow& d) { static_cast<TCustomForm*>(d.Form)->SetModalResult(mrOk); });
    host.AnswerDialog(L"Probe box", [&](const TModalWindow& d) {
        seenText = d.Text;
        ClickDialogButton(d.Window, IDNO);
    });
    EXPECT_EQ(mrOk, ShowForm(L"Probe form"));
    EXPECT_EQ(IDNO, ShowMessageBox(nullptr, L"Go on?", L"Probe box", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(L"Go on?", seenText);
    EXPECT_TRUE(host.Faults().empty());

    const auto dialogs = RecordsOf(host, L"dialog");
    ASSERT_EQ(4u, dialogs.size());
    EXPECT_EQ(L"shown", dialogs[0].Call);
    EXPECT_EQ(L"form", dialogs[0].Field(L"kind"));
    EXPECT_EQ(L"Probe form", dialogs[0].Field(L"caption"));
    EXPECT_EQ(L"answered", dialogs[1].Call);
    EXPECT_EQ(L"box", dialogs[2].Field(L"kind"));
    EXPECT_EQ(L"Go on?", dialogs[2].Field(L"text"));
}

TEST(IdeDialogs, ADialogNobodyAnswersIsCancelledAndRecordedAsAFault) {
    TIdeHost host;
    EXPECT_EQ(mrCancel, ShowForm(L"Nobody's form"));
    EXPECT_EQ(IDCANCEL, ShowMessageBox(nullptr, L"Sure?", L"Nobody's box", MB_OKCANCEL));
    // A box without a Cancel button ends as Esc ends it.
    ShowMessageBox(nullptr, L"Done.", L"Nobody's note", MB_OK);
    const auto faults = host.Faults();
    ASSERT_EQ(3u, faults.size());
    EXPECT_EQ(L"unanswered", faults[0].Call);
    EXPECT_EQ(L"Nobody's form", faults[0].Field(L"caption"));
    EXPECT_EQ(L"Nobody's box", faults[1].Field(L"caption"));
    EXPECT_EQ(L"Nobody's note", faults[2].Field(L"caption"));
}

TEST(IdeDialogs, AnAnswerThatFailsCancelsTheDialog) {
    TIdeHost host;
    host.AnswerDialog(L"Fragile", [](const TModalWindow&) { throw EInvalidOperation(L"the answer broke"); });
    EXPECT_EQ(mrCancel, ShowForm(L"Fragile"));
    const auto dialogs = RecordsOf(host, L"dialog");
    ASSERT_EQ(2u, dialogs.size());
    EXPECT_EQ(L"exception", dialogs[1].Result);
    EXPECT_EQ(L"the answer broke", dialogs[1].Field(L"message"));
}

TEST(IdeDialogs, AnAnswerMayClickThroughANestedBox) {
    // The form's button asks a question first; the click returns once the box is answered.
    TIdeHost host;
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetCaption(L"Outer");
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    struct TAsk {
        TForm* Form;
        void Click(TObject*) {
            if (ShowMessageBox(Form->Handle(), L"Close it?", L"Inner", MB_YESNO) == IDYES) Form->SetModalResult(mrOk);
        }
    } ask{form.get()};
    button->SetOnClick(MakeMethod<&TAsk::Click>(&ask));
    int depthOfInner = 0;
    host.AnswerDialog(L"Inner", [&](const TModalWindow& d) {
        depthOfInner = d.Depth;
        ClickDialogButton(d.Window, IDYES);
    });
    host.AnswerDialog(L"Outer", [&](const TModalWindow&) { SendMessageW(button->Handle(), BM_CLICK, 0, 0); });
    EXPECT_EQ(mrOk, form->ShowModal());
    EXPECT_EQ(2, depthOfInner);
    EXPECT_TRUE(host.Faults().empty());
}

TEST(IdeDialogs, TheFormerHookComesBackWithTheEnvironment) {
    EXPECT_FALSE(ModalHookInstalled());
    {
        TIdeHost host;
        EXPECT_TRUE(ModalHookInstalled());
    }
    EXPECT_FALSE(ModalHookInstalled());
}

TEST(IdeFiles, AFileOpensModifiesSavesAndReloadsFromDisk) {
    TIdeHost host;
    const std::wstring file = host.WorkFolder() + L"\\Library.tlb";
    WriteFileBytes(file, std::string("MSFT\0\x01\x02", 7));
    ASSERT_TRUE(host.OpenFile(file));
    EXPECT_FALSE(host.OpenFile(file)); // open already
    EXPECT_FALSE(host.OpenFile(host.WorkFolder() + L"\\Missing.tlb"));
    EXPECT_EQ(std::string("MSFT\0\x01\x02", 7), host.Buffer(file));
    EXPECT_FALSE(host.Modified(file));

    TComPtr<IOTAModule> module = IdeService<IOTAModuleServices>()->FindModule(file);
    ASSERT_TRUE(module);
    TComPtr<IOTAEditor> editor = module->GetModuleFileEditor(0);
    {
        TComPtr<IOTAEditWriter> writer = editor.As<IOTASourceEditor>()->CreateUndoableWriter();
        writer->Insert("edited ");
    }
    EXPECT_TRUE(editor->GetModified());
    EXPECT_TRUE(host.Modified(file));

    // Reloading takes the text from disk again.
    TComPtr<IOTAActionServices> actions = IdeService<IOTAActionServices>();
    ASSERT_TRUE(actions);
    WriteFileBytes(file, "changed on disk");
    EXPECT_TRUE(actions->ReloadFile(file));
    EXPECT_EQ("changed on disk", host.Buffer(file));
    EXPECT_FALSE(editor->GetModified());
    EXPECT_FALSE(actions->ReloadFile(host.WorkFolder() + L"\\Missing.tlb"));

    // Saving writes the buffer and clears the flag.
    {
        TComPtr<IOTAEditWriter> writer = editor.As<IOTASourceEditor>()->CreateUndoableWriter();
        writer->Insert(">");
    }
    EXPECT_TRUE(module->Save(false, true));
    EXPECT_FALSE(editor->GetModified());
    EXPECT_EQ(">changed on disk", ReadFileBytes(file));
}

TEST(IdeApplication, TheHelpMenuOfAppBuilderTakesItemsAndGoesWithTheEnvironment) {
    {
        TIdeHost host;
        TComponent* builder = HostApplication->FindComponent(L"AppBuilder");
        ASSERT_NE(nullptr, builder);
        auto* help = dynamic_cast<TMenuItem*>(builder->FindComponent(L"HelpMenu"));
        ASSERT_NE(nullptr, help);
        struct TCounter {
            int Clicks = 0;
            void Click(TObject*) { ++Clicks; }
        } counter;
        auto* item = new TMenuItem(builder);
        item->SetCaption(L"About it");
        item->SetOnClick(MakeMethod<&TCounter::Click>(&counter));
        help->Add(item);
        EXPECT_EQ(std::vector<std::wstring>{L"About it"}, host.HelpMenuItems());
        EXPECT_TRUE(host.ClickHelpMenuItem(L"About it"));
        EXPECT_FALSE(host.ClickHelpMenuItem(L"Missing"));
        EXPECT_EQ(1, counter.Clicks);
    }
    EXPECT_EQ(nullptr, HostApplication->FindComponent(L"AppBuilder"));

    TIdeHost::TOptions options;
    options.AppBuilder = false;
    TIdeHost bare(options);
    EXPECT_EQ(nullptr, HostApplication->FindComponent(L"AppBuilder"));
    EXPECT_TRUE(bare.HelpMenuItems().empty());
}

TEST(IdeApplication, AMenuItemLeftByAnUnloadedPackageIsAFaultAndIsRemoved) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadPackage(ProbePath(L"probe_menu.dll")));
    EXPECT_EQ(std::vector<std::wstring>{L"Probe item"}, host.HelpMenuItems());
    EXPECT_TRUE(host.ClickHelpMenuItem(L"Probe item"));
    HMODULE probe = GetModuleHandleW(ProbePath(L"probe_menu.dll").c_str());
    using TClicks = int(__stdcall*)();
    auto clicks = reinterpret_cast<TClicks>(reinterpret_cast<void (*)()>(GetProcAddress(probe, "ProbeMenuClicks")));
    ASSERT_NE(nullptr, clicks);
    EXPECT_EQ(1, clicks());

    ASSERT_TRUE(host.Unload(ProbePath(L"probe_menu.dll")));
    EXPECT_TRUE(host.HelpMenuItems().empty());
    const auto faults = host.Faults();
    ASSERT_EQ(1u, faults.size());
    EXPECT_EQ(L"leftover", faults[0].Call);
    EXPECT_EQ(L"menu item", faults[0].Field(L"kind"));
    EXPECT_EQ(L"Probe item", faults[0].Field(L"caption"));
}

TEST(IdeModules, AnAutomationObjectIsAUnitWithoutADesigner) {
    TIdeHost host;
    TEvents events;
    TProbeModuleCreator::TSettings unit;
    unit.Ancestor = L"AutoObject";
    unit.FormName = L"Probe";
    TComPtr<IOTAModule> module = CreateModule(MakeInterfaced<TProbeModuleCreator, IOTACreator>(events, unit).Get());
    ASSERT_TRUE(module);
    EXPECT_EQ(1, module->GetModuleFileCount());
    EXPECT_NE(events.end(), std::find(events.begin(), events.end(), L"NewImplSource(Unit1,Probe,AutoObject)"));
    EXPECT_EQ(events.end(), std::find(events.begin(), events.end(), L"FormCreated"));
}
