// The expert module and its document modules in the environment stand-in: the test program is
// the add-in (it carries the expert module's stored form), the environment is real.
#include "ide/msgtable/editor/EvLog_Expert.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_EditorFrame.h"
#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"
#include "ide/msgtable/editor/EvLog_MessagesFrame.h"
#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"
#include "ide/msgtable/model/EvLog_PasSource.h"
#include "tests/ide/msgtable/editor/EditorFrameTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/tools/tamrelide/programs/ProbeCreators.h"
#include "tools/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;
using tamrel::test::PressKeys;
using tamrel::test::PumpPending;
using tamrel::test::PumpUntil;

namespace {

constexpr wchar_t PageCaption[] = L"Event log messages";

std::string ReadFile(const std::wstring& file) {
    std::ifstream in(file.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TrimmedText(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

// What the source generator makes of a document, as the unit's buffer is to hold it.
std::string Generated(TEvLogDocument& document) {
    TOwnedPtr<TPasSourceModule> generator(Create<TPasSourceModule>(nullptr));
    return TrimmedText(WideToAnsi(generator->PasSource(document)));
}

int UserBlocks(TEvLogDocument& document) {
    int n = 0;
    for (int i = 0; i < document.MessageTable().BlockCount(); ++i)
        if (document.MessageTable().Blocks(i)->LowId() != 1) ++n;
    return n;
}

class EvLogExpert : public ::testing::Test {
protected:
    TIdeHost host;
    TOwnedPtr<TEvLogExpertModule> expert{Create<TEvLogExpertModule>(nullptr)};

    std::wstring InWork(const std::wstring& name) { return IncludeTrailingPathDelimiter(host.WorkFolder()) + name; }

    // A unit on disk, opened; with its ".elp" document of one block when asked.
    std::wstring OpenUnit(const std::wstring& name, bool withDocument) {
        const std::wstring unit = InWork(name + L".pas");
        std::ofstream(unit.c_str(), std::ios::binary) << "unit " << WideToAnsi(name) << ";\r\n";
        if (withDocument) {
            TEvLogDocument document(InWork(name + L".elp"));
            document.AddBlock();
            EXPECT_TRUE(document.SaveAs(InWork(name + L".elp")));
        }
        EXPECT_TRUE(host.OpenFile(unit));
        return unit;
    }
    // The page of a new editor window on the unit, shown.
    TEvLogEditorFrame* ShowPage(const std::wstring& unit, int* windowOut = nullptr) {
        const int window = host.OpenEditorWindow(unit);
        if (windowOut) *windowOut = window;
        if (!host.ShowEditorPage(window, PageCaption)) return nullptr;
        return dynamic_cast<TEvLogEditorFrame*>(host.EditorFrame(window, PageCaption));
    }
};

} // namespace

TEST_F(EvLogExpert, ItsViewNotifierAndWizardAreRegisteredAndLeaveWithIt) {
    EXPECT_EQ(host.EditorViews(), std::vector<std::wstring>{PageCaption});
    EXPECT_EQ(host.IdeNotifierCount(), 1);
    EXPECT_EQ(host.WizardIds(), std::vector<std::wstring>{L"EventLog Resource DLL"});
    expert.reset();
    EXPECT_TRUE(host.EditorViews().empty());
    EXPECT_EQ(host.IdeNotifierCount(), 0);
    EXPECT_TRUE(host.WizardIds().empty());
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, AUnitWithItsDocumentGetsThePageAndTheFrameShowsTheDocument) {
    const std::wstring unit = OpenUnit(L"AppMessages", true);
    const int window = host.OpenEditorWindow(unit);
    ASSERT_EQ(host.EditorPages(window), std::vector<std::wstring>{PageCaption});
    ASSERT_EQ(expert->DocumentModuleCount(), 1);
    TEvLogDocumentModule* module = expert->DocumentModules(0);
    EXPECT_EQ(module->UnitName(), L"AppMessages");
    EXPECT_EQ(UserBlocks(module->Document()), 1);

    ASSERT_TRUE(host.ShowEditorPage(window, PageCaption));
    auto* frame = dynamic_cast<TEvLogEditorFrame*>(host.EditorFrame(window, PageCaption));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Document(), &module->Document());
    // The tree, the block list and the right-hand frames show the document read from the file.
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0100"}));
    EXPECT_EQ(frame->ActiveFrame(), frame->PropertiesFrame());
    EXPECT_TRUE(frame->PropertiesFrame()->Showing());
    EXPECT_EQ(frame->PropertiesFrame()->Document(), &module->Document());
    EXPECT_EQ(frame->MessageBlockFrame()->Document(), &module->Document());
    ASSERT_EQ(frame->MessagesFrame()->lvBlocks->Items()->Count(), 1);
    EXPECT_EQ(frame->MessagesFrame()->lvBlocks->Items()->Item(0)->SubItems()->Strings(0), L"0100 - 0100");

    // A second window on the same unit shares the document module.
    const int second = host.OpenEditorWindow(unit);
    ASSERT_TRUE(host.ShowEditorPage(second, PageCaption));
    EXPECT_EQ(expert->DocumentModuleCount(), 1);
    EXPECT_EQ(static_cast<TEvLogEditorFrame*>(host.EditorFrame(second, PageCaption))->Document(), &module->Document());
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, APersonsEditsThroughTheTreeKeepTheBufferEqualToTheGeneratedText) {
    const std::wstring unit = OpenUnit(L"Edited", true);
    TEvLogEditorFrame* frame = ShowPage(unit);
    ASSERT_NE(frame, nullptr);
    TEvLogDocument& document = *frame->Document();
    TMessageBlock* first = document.MessageTable().Blocks(0);
    ShowInFront(*frame);
    const std::string untouched = host.Buffer(unit);
    const int depth = host.UndoDepth(unit);

    // Looking around changes nothing.
    ClickNode(*frame, frame->MessagesNode());
    EXPECT_EQ(frame->ActiveFrame(), frame->MessagesFrame());
    ClickNode(*frame, frame->BlockNode(first));
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), first);
    PressKeys({VK_UP});
    ASSERT_TRUE(PumpUntil([&] { return frame->TreeView->Selected() == frame->MessagesNode(); }, 3000));
    EXPECT_EQ(host.Buffer(unit), untouched);
    EXPECT_EQ(host.UndoDepth(unit), depth);

    // A new block: one undo step, the generated text.
    ClickButtonOf(*frame, frame->aBlockNew);
    ASSERT_EQ(UserBlocks(document), 2);
    TMessageBlock* added = document.MessageTable().Blocks(1);
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(added));
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_NE(host.Buffer(unit).find("Block_0200"), std::string::npos);
    EXPECT_EQ(host.UndoDepth(unit), depth + 1);

    // The first block deleted: the next one is selected.
    ClickNode(*frame, frame->BlockNode(first));
    ClickButtonOf(*frame, frame->aBlockDelete);
    ASSERT_EQ(UserBlocks(document), 1);
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(added));
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0200"}));
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_EQ(host.UndoDepth(unit), depth + 2);

    // Categories switched on in the document: the tree gains the node, the unit the constants.
    document.SetUseCategories(true);
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Categories", L"Messages", L"  Block_0200"}));
    ClickNode(*frame, frame->CategoriesNode());
    EXPECT_EQ(frame->MessageBlockFrame()->MessageBlock(), document.CategoriesBlock());
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_EQ(host.UndoDepth(unit), depth + 3);
    document.SetUseCategories(false);
    EXPECT_EQ(frame->CategoriesNode(), nullptr);
    EXPECT_EQ(frame->TreeView->Selected(), frame->MessagesNode());
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_EQ(host.UndoDepth(unit), depth + 4);

    // A notice whose text is the same as the buffer's adds no undo step.
    document.ModifyBlock(added);
    EXPECT_EQ(host.UndoDepth(unit), depth + 4);
    EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, TwoWindowsOnOneUnitFollowTheBlocksTheOtherAddsAndDeletes) {
    const std::wstring unit = OpenUnit(L"Twice", true);
    TEvLogEditorFrame* first = ShowPage(unit);
    TEvLogEditorFrame* second = ShowPage(unit);
    ASSERT_TRUE(first && second);
    TEvLogDocument& document = *first->Document();
    ASSERT_EQ(second->Document(), &document);
    TMessageBlock* original = document.MessageTable().Blocks(0);
    // The second window shows the block the first deletes.
    second->TreeView->SetSelected(second->BlockNode(original));
    ASSERT_EQ(second->MessageBlockFrame()->MessageBlock(), original);

    ShowInFront(*first);
    ClickButtonOf(*first, first->aBlockNew);
    ASSERT_EQ(UserBlocks(document), 2);
    TMessageBlock* added = document.MessageTable().Blocks(1);
    EXPECT_NE(second->BlockNode(added), nullptr);
    EXPECT_EQ(second->MessagesFrame()->lvBlocks->Items()->Count(), 2);

    ClickNode(*first, first->BlockNode(original));
    ClickButtonOf(*first, first->aBlockDelete);
    EXPECT_EQ(TreeText(*second), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0200"}));
    EXPECT_EQ(second->MessagesFrame()->lvBlocks->Items()->Count(), 1);
    EXPECT_EQ(second->TreeView->Selected(), second->BlockNode(added));
    EXPECT_EQ(second->MessageBlockFrame()->MessageBlock(), added);
    for (TEvLogEditorFrame* frame : {first, second}) EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
    // Both windows go on painting and ticking with what is left.
    for (TEvLogEditorFrame* frame : {first, second}) RedrawWindow(GetParentForm(frame)->Handle(), nullptr, nullptr,
                                                                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const DWORD until = GetTickCount() + 700;
    PumpUntil([&] { return GetTickCount() >= until; }, 2000);
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, AUnitWithoutItsDocumentGetsNoPageAndNoDocumentModule) {
    const int window = host.OpenEditorWindow(OpenUnit(L"Plain", false));
    EXPECT_TRUE(host.EditorPages(window).empty());
    EXPECT_EQ(expert->DocumentModuleCount(), 0);
}

TEST_F(EvLogExpert, DocumentChangesRewriteTheBufferAsOneUndoStepAndEqualTextsTouchNothing) {
    const std::wstring unit = OpenUnit(L"Regen", true);
    host.OpenEditorWindow(unit);
    TEvLogDocument& document = expert->DocumentModules(0)->Document();
    const int depth = host.UndoDepth(unit);

    TMessageBlock* block = document.AddBlock();
    EXPECT_EQ(host.Buffer(unit), Generated(document)); // trimmed: no trailing line break
    EXPECT_EQ(host.UndoDepth(unit), depth + 1);

    // A change that leaves the generated text as it is adds no undo step.
    document.ModifyBlock(block);
    EXPECT_EQ(host.UndoDepth(unit), depth + 1);
    ASSERT_TRUE(host.Undo(unit));
    EXPECT_EQ(host.Buffer(unit), "unit Regen;\r\n");
}

TEST_F(EvLogExpert, ADeletedBlockLeavesTheUnitOnceTheDocumentLetItGoAlsoWhenASaveComesFirst) {
    const std::wstring unit = OpenUnit(L"Deleting", true);
    host.OpenEditorWindow(unit);
    TEvLogDocument& document = expert->DocumentModules(0)->Document();
    TMessageBlock* added = document.AddBlock();
    const int depth = host.UndoDepth(unit);
    // The block is still in the table while the views hear of its deletion; a save straight
    // after writes the unit without it.
    document.DeleteBlock(added);
    host.SaveAll();
    EXPECT_EQ(ReadFile(unit), host.Buffer(unit));
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_EQ(host.Buffer(unit).find("Block_0200"), std::string::npos);
    EXPECT_EQ(host.UndoDepth(unit), depth + 1);
    // Without a save, once the messages waiting now are handled.
    document.DeleteBlock(document.MessageTable().Blocks(0));
    PumpPending();
    EXPECT_EQ(host.Buffer(unit), Generated(document));
    EXPECT_EQ(host.Buffer(unit).find("Block_0100"), std::string::npos);
    EXPECT_EQ(host.UndoDepth(unit), depth + 2);
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, SaveWritesTheTextTheUnitAndTheLibraryAndTheDocumentStaysOnItsText) {
    const std::wstring unit = OpenUnit(L"Saved", true);
    TEvLogEditorFrame* frame = ShowPage(unit);
    ASSERT_NE(frame, nullptr);
    TEvLogDocument& document = *frame->Document();
    constexpr uint32_t Russian = 1049;
    document.SetUsedLocales({DefaultLocale, Russian});
    TMessageBlock* block = document.AddBlock();
    block->SetMessages(DefaultLocale, 0, L"Disk %1 is full");
    block->SetMessages(Russian, 0, L"\u0414\u0438\u0441\u043a %1");
    document.ModifyMessages(block);
    document.SetCompanyName(L"Dunmere");
    document.SetMajorVersion(2);
    document.SetBuild(17);
    host.SaveAll();

    EXPECT_EQ(ReadFile(unit), host.Buffer(unit));
    EXPECT_EQ(TrimmedText(ReadFile(unit)), Generated(document));
    EXPECT_EQ(document.FileName(), InWork(L"Saved.elp"));
    EXPECT_FALSE(document.Modified());
    {
        TModuleHandle library(LoadLibraryExW(InWork(L"Saved.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(library);
        auto message = [&](uint32_t locale) {
            wchar_t text[256] = {};
            const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, library.Get(),
                                           block->LowId(), locale, text, 256, nullptr);
            return std::wstring(text, n);
        };
        EXPECT_EQ(message(DefaultLocale).substr(0, 15), L"Disk %1 is full");
        EXPECT_EQ(message(Russian).substr(0, 7), L"\u0414\u0438\u0441\u043a %1");
    }
    {
        const std::wstring dll = InWork(L"Saved.dll");
        DWORD ignored = 0;
        std::vector<BYTE> info(GetFileVersionInfoSizeW(dll.c_str(), &ignored));
        ASSERT_FALSE(info.empty());
        ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
        EXPECT_EQ(fixed->dwFileVersionLS, 17u);
        wchar_t* company = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904E4\\CompanyName", reinterpret_cast<void**>(&company), &size));
        EXPECT_EQ(std::wstring(company), L"Dunmere");
    }
    {
        TEvLogDocument reread;
        ASSERT_TRUE(reread.Open(InWork(L"Saved.elp")));
        EXPECT_EQ(reread.UsedLocales(), (std::vector<uint32_t>{DefaultLocale, Russian}));
        ASSERT_EQ(UserBlocks(reread), 2);
        TMessageBlock* again = reread.MessageTable().Blocks(1);
        EXPECT_EQ(again->Messages(DefaultLocale, 0), L"Disk %1 is full");
        EXPECT_EQ(again->Messages(Russian, 0), L"\u0414\u0438\u0441\u043a %1");
        EXPECT_EQ(reread.CompanyName(), L"Dunmere");
        EXPECT_EQ(reread.Build(), 17);
    }

    // Edits after a save reach the text document at the next save (the library build must not
    // have taken the document over).
    document.AddBlock();
    host.SaveAll();
    TEvLogDocument reread;
    ASSERT_TRUE(reread.Open(InWork(L"Saved.elp")));
    EXPECT_EQ(UserBlocks(reread), 3);
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, ALibraryThatCannotBeWrittenIsShownByNameAndTheUnitIsSavedAnyway) {
    const std::wstring unit = OpenUnit(L"Blocked", true);
    host.OpenEditorWindow(unit);
    ASSERT_TRUE(CreateDirectoryW(InWork(L"Blocked.dll").c_str(), nullptr));
    std::wstring shown;
    host.AnswerDialog(L"Error", [&](const TModalWindow& box) {
        shown = box.Text;
        ClickDialogButton(box.Window, IDOK);
    });
    expert->DocumentModules(0)->Document().AddBlock();
    host.SaveAll();
    EXPECT_NE(shown.find(InWork(L"Blocked.dll")), std::wstring::npos) << WideToUtf8(shown);
    EXPECT_EQ(ReadFile(unit), host.Buffer(unit));
    TEvLogDocument reread;
    ASSERT_TRUE(reread.Open(InWork(L"Blocked.elp")));
    EXPECT_EQ(UserBlocks(reread), 2);
}

namespace {
// While the wizard runs, the environment opens another unit and a window on it as soon as the
// wizard's unit is opened: that unit is asked about first and must not take the wizard's document.
class TOpensAnotherUnit : public TInterfaced<IOTAIDENotifier> {
public:
    TOpensAnotherUnit(TIdeHost& host, std::wstring other) : FHost(host), FOther(std::move(other)) {}
    void AfterSave() override {}
    void BeforeSave() override {}
    void Destroyed() override {}
    void Modified() override {}
    void FileNotification(TOTAFileNotification code, const std::wstring& fileName, bool&) override {
        if (code != ofnFileOpened || SameText(fileName, FOther) || Window) return;
        ASSERT_TRUE(FHost.OpenFile(FOther));
        Window = FHost.OpenEditorWindow(FOther);
    }
    void BeforeCompile(IOTAProject*, bool&) override {}
    void AfterCompile(bool) override {}
    int Window = 0;

private:
    TIdeHost& FHost;
    std::wstring FOther;
};
} // namespace

TEST_F(EvLogExpert, TheWizardsUnitJoinsTheActiveProjectTakesItsDocumentAndSavesBothFilesBesideIt) {
    probe::TEvents events;
    TComPtr<IOTAModule> project = IdeService<IOTAModuleServices>()->CreateModule(
        MakeInterfaced<probe::TProbeProjectCreator, IOTACreator>(events, L"", nullptr).Get());
    ASSERT_TRUE(project);
    const std::wstring other = InWork(L"OpenedMeanwhile.pas");
    std::ofstream(other.c_str(), std::ios::binary) << "unit OpenedMeanwhile;\r\n";
    auto meanwhile = MakeInterfaced<TOpensAnotherUnit>(host, other);
    TComPtr<IOTAServices> notifiers = IdeService<IOTAServices>();
    const int32_t index = notifiers->AddNotifier(meanwhile.Get());

    const TWizardRun run = host.RunWizard(L"EventLog Resource DLL");
    notifiers->RemoveNotifier(index);
    ASSERT_TRUE(run.Succeeded) << WideToUtf8(run.Error);
    EXPECT_EQ(expert->CreatorDocument(), nullptr);
    // The unit opened during the run was asked about and got neither the document nor a page.
    ASSERT_NE(meanwhile->Window, 0);
    EXPECT_TRUE(host.EditorPages(meanwhile->Window).empty());
    ASSERT_EQ(expert->DocumentModuleCount(), 1);
    TEvLogDocumentModule* module = expert->DocumentModules(0);
    const std::wstring unit = module->Module()->GetFileName();
    EXPECT_FALSE(SameText(unit, other));
    // In the active project, bound beside the unit, its text the generated one.
    TComPtr<IOTAProject> active = probe::ActiveProject();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->GetUnitCount(), 1);
    EXPECT_TRUE(SameText(active->GetUnitFileName(0), unit)) << WideToUtf8(active->GetUnitFileName(0));
    EXPECT_EQ(module->Document().FileName(), ChangeFileExt(unit, L".elp"));
    EXPECT_EQ(module->Document().EventSource(), module->UnitName());
    EXPECT_EQ(TrimmedText(host.Buffer(unit)), Generated(module->Document()));

    host.SaveAll();
    EXPECT_TRUE(FileExists(ChangeFileExt(unit, L".elp")));
    EXPECT_TRUE(FileExists(ChangeFileExt(unit, L".dll")));
    EXPECT_FALSE(FileExists(ChangeFileExt(other, L".elp")));
    // Outside the run, a new unit without its document is not taken.
    EXPECT_TRUE(host.EditorPages(host.OpenEditorWindow(OpenUnit(L"After", false))).empty());
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, ARenamedUnitRebindsItsDocumentAndRegenerates) {
    const std::wstring unit = OpenUnit(L"OldName", true);
    host.OpenEditorWindow(unit);
    TEvLogDocumentModule* module = expert->DocumentModules(0);
    module->ModuleRenamed(InWork(L"NewName.pas"));
    EXPECT_EQ(module->UnitName(), L"NewName");
    EXPECT_EQ(module->Document().FileName(), InWork(L"NewName.elp"));
    EXPECT_EQ(host.Buffer(unit).rfind("unit NewName;", 0), 0u) << host.Buffer(unit);
}

TEST_F(EvLogExpert, ClosingTheUnitTakesTheNotifierOffOnceAndTheExpertEndsCleanly) {
    const std::wstring unit = OpenUnit(L"Closed", true);
    host.OpenEditorWindow(unit);
    TEvLogDocumentModule* module = expert->DocumentModules(0);
    ASSERT_TRUE(host.CloseModule(unit));
    EXPECT_EQ(module->Module(), nullptr);
    module->RemoveNotifier();
    expert.reset();
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, OnlyTheLastWindowOfAModifiedDocumentAsksAndItsAnswerDecides) {
    struct TCase {
        int Button;
        bool Written;
        bool Closed;
    };
    const TCase cases[] = {{IDYES, true, true}, {IDNO, false, true}, {IDCANCEL, false, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Button);
        const std::wstring name = L"Close" + IntToStr(c.Button);
        const std::wstring unit = OpenUnit(name, true);
        const int first = host.OpenEditorWindow(unit);
        const int last = host.OpenEditorWindow(unit);
        ASSERT_TRUE(host.ShowEditorPage(first, PageCaption));
        ASSERT_TRUE(host.ShowEditorPage(last, PageCaption));
        // A version edit changes the document without a notice (the unit stays as it is).
        TEvLogDocument& document = *static_cast<TEvLogEditorFrame*>(host.EditorFrame(last, PageCaption))->Document();
        document.SetMajorVersion(7);

        std::wstring asked;
        host.AnswerDialog(L"Confirm", [&](const TModalWindow& box) {
            asked = box.Text;
            ClickDialogButton(box.Window, c.Button);
        });
        ASSERT_TRUE(host.CloseEditorWindow(first));
        EXPECT_EQ(asked, L"");
        EXPECT_EQ(host.CloseEditorWindow(last), c.Closed);
        EXPECT_EQ(asked, L"Save changes to " + name + L".elp?");
        EXPECT_EQ(ReadFile(InWork(name + L".elp")).find("MajorVersion=7") != std::string::npos, c.Written);
        EXPECT_EQ(FileExists(InWork(name + L".dll")), c.Written);
        EXPECT_EQ(host.EditorPages(last).size(), c.Closed ? 0u : 1u);
        host.ClearDialogAnswers();
    }
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, AUnitClosedAndOpenedAgainSavesTheDocumentItsWindowShowsOnTheLastClose) {
    const std::wstring unit = OpenUnit(L"Reopened", true);
    ASSERT_NE(ShowPage(unit), nullptr);
    ASSERT_TRUE(host.CloseModule(unit));
    // Opened again: a new document module on the same file, with a document of its own.
    ASSERT_TRUE(host.OpenFile(unit));
    int window = 0;
    TEvLogEditorFrame* frame = ShowPage(unit, &window);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(expert->DocumentModuleCount(), 2);
    ASSERT_NE(frame->Document(), &expert->DocumentModules(0)->Document());
    frame->Document()->SetMajorVersion(9);
    host.AnswerDialog(L"Confirm", [](const TModalWindow& box) { ClickDialogButton(box.Window, IDYES); });
    ASSERT_TRUE(host.CloseEditorWindow(window));
    EXPECT_NE(ReadFile(InWork(L"Reopened.elp")).find("MajorVersion=9"), std::string::npos);
    EXPECT_TRUE(host.Faults().empty());
}

TEST_F(EvLogExpert, TheWholeOldTextGoesWhateverItsLengthAgainstTheReadersChunks) {
    for (const size_t length : {size_t(4095), size_t(4096), size_t(4097), size_t(9000)}) {
        SCOPED_TRACE(length);
        const std::wstring name = L"Long" + IntToStr(static_cast<int>(length));
        const std::wstring unit = OpenUnit(name, true);
        host.OpenEditorWindow(unit);
        TEvLogDocumentModule* module = expert->FindDocumentModuleByFileName(InWork(name + L".elp"));
        ASSERT_NE(module, nullptr);
        // The buffer is made exactly that long by an undoable writer of the environment's own.
        TComPtr<IOTASourceEditor> editor = Supports<IOTASourceEditor>(module->Module()->GetCurrentEditor().Get());
        {
            TComPtr<IOTAEditWriter> writer = editor->CreateUndoableWriter();
            writer->DeleteTo(static_cast<int32_t>(host.Buffer(unit).size()));
            writer->Insert(std::string(length, 'x').c_str());
        }
        ASSERT_EQ(host.Buffer(unit).size(), length);
        module->Document().AddBlock();
        EXPECT_EQ(host.Buffer(unit), Generated(module->Document()));
    }
}
