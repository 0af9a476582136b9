// The expert module and its document modules in the environment stand-in: the test program is
// the add-in (it carries the expert module's stored form), the environment is real.
#include "ide/msgtable/editor/EvLog_Expert.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_EditorFrame.h"
#include "ide/msgtable/model/EvLog_PasSource.h"
#include "tools/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace tamrel;
using namespace tamrel::evlog;

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

    // A second window on the same unit shares the document module.
    const int second = host.OpenEditorWindow(unit);
    ASSERT_TRUE(host.ShowEditorPage(second, PageCaption));
    EXPECT_EQ(expert->DocumentModuleCount(), 1);
    EXPECT_EQ(static_cast<TEvLogEditorFrame*>(host.EditorFrame(second, PageCaption))->Document(), &module->Document());
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

TEST_F(EvLogExpert, SaveWritesTheTextTheUnitAndTheLibraryAndTheDocumentStaysOnItsText) {
    const std::wstring unit = OpenUnit(L"Saved", true);
    host.OpenEditorWindow(unit);
    TEvLogDocument& document = expert->DocumentModules(0)->Document();
    TMessageBlock* block = document.AddBlock();
    block->SetMessages(DefaultLocale, 0, L"Disk %1 is full");
    document.ModifyMessages(block);
    host.SaveAll();

    EXPECT_EQ(ReadFile(unit), host.Buffer(unit));
    EXPECT_EQ(document.FileName(), InWork(L"Saved.elp"));
    EXPECT_FALSE(document.Modified());
    {
        TModuleHandle library(LoadLibraryExW(InWork(L"Saved.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(library);
        wchar_t text[256] = {};
        const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, library.Get(),
                                       block->LowId(), DefaultLocale, text, 256, nullptr);
        EXPECT_EQ(std::wstring(text, n).substr(0, 15), L"Disk %1 is full");
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

TEST_F(EvLogExpert, TheWizardsUnitTakesItsDocumentBoundBesideItAndSavesBothFiles) {
    const TWizardRun run = host.RunWizard(L"EventLog Resource DLL");
    ASSERT_TRUE(run.Succeeded) << WideToUtf8(run.Error);
    EXPECT_EQ(expert->CreatorDocument(), nullptr);
    ASSERT_EQ(expert->DocumentModuleCount(), 1);
    TEvLogDocumentModule* module = expert->DocumentModules(0);
    const std::wstring unit = module->Module()->GetFileName();
    EXPECT_EQ(module->Document().FileName(), ChangeFileExt(unit, L".elp"));
    EXPECT_EQ(module->Document().EventSource(), module->UnitName());
    EXPECT_EQ(TrimmedText(host.Buffer(unit)), Generated(module->Document()));

    host.SaveAll();
    EXPECT_TRUE(FileExists(ChangeFileExt(unit, L".elp")));
    EXPECT_TRUE(FileExists(ChangeFileExt(unit, L".dll")));
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
