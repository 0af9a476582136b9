// The expert module and its document modules in the environment stand-in: the test program is
// the add-in (it carries the expert module's stored form), the environment is real.
#include "ide/msgtable/editor/EvLog_Expert.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_EditorFrame.h"
#include "ide/msgtable/editor/EvLog_LocalesForm.h"
#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"
#include "ide/msgtable/editor/EvLog_MessageBlockProperties.h"
#include "ide/msgtable/editor/EvLog_MessagesFrame.h"
#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"
#include "ide/msgtable/model/EvLog_PasSource.h"
#include "tests/ide/msgtable/editor/EditorFrameTestSupport.h"
#include "tests/ide/msgtable/editor/FrameInputTestSupport.h"
#include "tests/ide/msgtable/editor/PropertiesTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/tools/devenv/tamrelide/programs/ProbeCreators.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;
using namespace tamrel::test;

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

// After each edit the unit's buffer holds the generator's text of the document; an edit that
// leaves that text as it was leaves the undo list alone too, and one that changes it can be undone.
class TBufferWatch {
public:
    TBufferWatch(TIdeHost& host, std::wstring unit, TEvLogDocument& document)
        : FHost(host), FUnit(std::move(unit)), FDocument(document), FBuffer(host.Buffer(FUnit)),
          FDepth(host.UndoDepth(FUnit)) {}
    // TextChanges: whether the edit was to change the generated text.
    ::testing::AssertionResult Edited(bool textChanges) {
        const std::string before = std::exchange(FBuffer, FHost.Buffer(FUnit));
        const int depth = std::exchange(FDepth, FHost.UndoDepth(FUnit));
        if (FBuffer != Generated(FDocument))
            return ::testing::AssertionFailure() << "the buffer is not the generated text:\n" << FBuffer;
        if (textChanges && FBuffer == before) return ::testing::AssertionFailure() << "the text stayed as it was";
        if (!textChanges && FBuffer != before) return ::testing::AssertionFailure() << "the text changed:\n" << FBuffer;
        if (!textChanges && FDepth != depth)
            return ::testing::AssertionFailure() << "the undo depth went from " << depth << " to " << FDepth;
        if (textChanges && FDepth <= depth) return ::testing::AssertionFailure() << "no undo step";
        return ::testing::AssertionSuccess();
    }

private:
    TIdeHost& FHost;
    std::wstring FUnit;
    TEvLogDocument& FDocument;
    std::string FBuffer;
    int FDepth;
};

// What a message library says: the text of a message in one locale (without the line break the
// table adds), and its version.
std::wstring LibraryMessage(const std::wstring& dll, uint32_t id, uint32_t locale) {
    TModuleHandle library(LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!library) return L"(no library)";
    wchar_t text[256] = {};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, library.Get(), id, locale,
                                   text, 256, nullptr);
    std::wstring message(text, n);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    return message;
}

struct TLibraryVersion {
    DWORD FileVersionMS = 0, FileVersionLS = 0;
    std::wstring CompanyName;
};

TLibraryVersion LibraryVersion(const std::wstring& dll) {
    TLibraryVersion version;
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(dll.c_str(), &ignored));
    if (info.empty() || !GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(info.size()), info.data())) return version;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) && fixed) {
        version.FileVersionMS = fixed->dwFileVersionMS;
        version.FileVersionLS = fixed->dwFileVersionLS;
    }
    wchar_t* company = nullptr;
    if (VerQueryValueW(info.data(), L"\\StringFileInfo\\040904E4\\CompanyName", reinterpret_cast<void**>(&company), &size) &&
        company)
        version.CompanyName = company;
    return version;
}

TMessageBlock* BlockAt(TEvLogDocument& document, uint32_t lowId) {
    for (int i = 0; i < document.MessageTable().BlockCount(); ++i)
        if (document.MessageTable().Blocks(i)->LowId() == lowId) return document.MessageTable().Blocks(i);
    return nullptr;
}

// Counts the ticks of a block frame's timer and the paintings of its preview, each passed on to
// the frame's own handler.
class TBlockFrameActivity {
public:
    explicit TBlockFrameActivity(TMessageBlockFrame* frame)
        : FFrame(frame), FTick(frame->tmMessageEditor->OnTimer()), FPaint(frame->pbPreview->OnPaint()) {
        frame->tmMessageEditor->SetOnTimer(TNotifyEvent::Of<&TBlockFrameActivity::Ticked>(this));
        frame->pbPreview->SetOnPaint(TNotifyEvent::Of<&TBlockFrameActivity::Painted>(this));
    }
    ~TBlockFrameActivity() {
        FFrame->tmMessageEditor->SetOnTimer(FTick);
        FFrame->pbPreview->SetOnPaint(FPaint);
    }
    void Ticked(TObject* sender) {
        ++Ticks;
        FTick(sender);
    }
    void Painted(TObject* sender) {
        ++Paints;
        FPaint(sender);
    }
    int Ticks = 0;
    int Paints = 0;

private:
    TMessageBlockFrame* FFrame;
    TNotifyEvent FTick, FPaint;
};

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
    // A unit on disk as a save leaves it: its ".elp" document (one block, then as Fill makes it)
    // and its text generated from that document; opened.
    std::wstring OpenSavedUnit(const std::wstring& name, const std::function<void(TEvLogDocument&)>& fill) {
        TEvLogDocument document(InWork(name + L".elp"));
        document.AddBlock();
        fill(document);
        EXPECT_TRUE(document.SaveAs(InWork(name + L".elp")));
        const std::wstring unit = InWork(name + L".pas");
        std::ofstream(unit.c_str(), std::ios::binary) << Generated(document);
        EXPECT_TRUE(host.OpenFile(unit));
        return unit;
    }
    // The page of a new editor window on the unit, shown; the window made as large as the
    // screen allows, as a person does to see the whole of the frames.
    TEvLogEditorFrame* ShowPage(const std::wstring& unit, int* windowOut = nullptr) {
        const int window = host.OpenEditorWindow(unit);
        if (windowOut) *windowOut = window;
        if (!host.ShowEditorPage(window, PageCaption)) return nullptr;
        auto* frame = dynamic_cast<TEvLogEditorFrame*>(host.EditorFrame(window, PageCaption));
        if (TCustomForm* form = frame ? GetParentForm(frame) : nullptr) form->SetBounds(0, 0, 1010, 740);
        return frame;
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

TEST_F(EvLogExpert, APersonsEditsInEveryFrameReachTheDocumentTheBufferAndTheSavedFiles) {
    constexpr uint32_t English = 1033, German = 1031, French = 1036;
    const std::wstring unit = OpenSavedUnit(L"Edited", [](TEvLogDocument& d) {
        d.SetUsedLocales({English, German});
        d.SetUseCategories(true);
        d.CategoriesBlock();
    });
    TEvLogEditorFrame* frame = ShowPage(unit);
    ASSERT_NE(frame, nullptr);
    TEvLogDocument& document = *frame->Document();
    TMessageBlock* first = BlockAt(document, 0x100);
    ASSERT_NE(first, nullptr);
    TMessageBlockFrame* blockFrame = frame->MessageBlockFrame();
    TPropertiesFrame* properties = frame->PropertiesFrame();
    TMessagesFrame* list = frame->MessagesFrame();
    // Showing the page wrote nothing into the document (its last window would ask otherwise).
    EXPECT_FALSE(document.Modified());
    ShowInFront(*frame);
    TBufferWatch watch(host, unit, document);
    std::vector<std::wstring> boxes;
    host.AnswerDialog(L"Error", [&](const TModalWindow& box) {
        boxes.push_back(box.Text);
        ClickDialogButton(box.Window, IDOK);
    });

    // Looking around changes nothing.
    ClickNode(*frame, frame->MessagesNode());
    EXPECT_EQ(frame->ActiveFrame(), list);
    ClickNode(*frame, frame->BlockNode(first));
    EXPECT_EQ(blockFrame->MessageBlock(), first);
    PressKeys({VK_UP});
    ASSERT_TRUE(PumpUntil([&] { return frame->TreeView->Selected() == frame->MessagesNode(); }, 3000));
    ClickNode(*frame, frame->CategoriesNode());
    EXPECT_EQ(blockFrame->MessageBlock(), document.CategoriesBlock());
    EXPECT_TRUE(watch.Edited(false));

    // Texts per locale and a comment in the block frame, each taken at the next click: only the
    // comment is in the unit.
    ClickNode(*frame, frame->BlockNode(first));
    ClickTab(blockFrame->TbLocales, 1);
    RetypeMemo(blockFrame->mMessageEditor, L"Disk %1 is full");
    ClickTab(blockFrame->TbLocales, 2);
    EXPECT_EQ(first->Messages(English, 0), L"Disk %1 is full");
    EXPECT_TRUE(watch.Edited(false));
    RetypeMemo(blockFrame->mMessageEditor, L"Platte %1 voll");
    ClickTab(blockFrame->TbLocales, 0);
    EXPECT_EQ(first->Messages(German, 0), L"Platte %1 voll");
    EXPECT_TRUE(watch.Edited(false));
    RetypeMemo(blockFrame->mMessageEditor, L"Written when the disk is full");
    ClickNode(*frame, frame->MessagesNode());
    EXPECT_EQ(first->Comments(0), L"Written when the disk is full");
    EXPECT_NE(host.Buffer(unit).find("// Written when the disk is full"), std::string::npos);
    EXPECT_TRUE(watch.Edited(true));

    // A name, taken on Enter; an invalid one refused with a box.
    ClickNode(*frame, frame->BlockNode(first));
    ClickCell(blockFrame->vleMessages, 1, 1);
    ClearFocusedText();
    TypeText(L"DiskFull");
    PressKeys({VK_RETURN});
    EXPECT_EQ(first->Names(0), L"DiskFull");
    EXPECT_NE(host.Buffer(unit).find("const DiskFull = $100;"), std::string::npos);
    EXPECT_TRUE(watch.Edited(true));
    ClearFocusedText();
    TypeText(L"9Lives");
    PressKeys({VK_RETURN});
    EXPECT_EQ(boxes, std::vector<std::wstring>{L"\"9Lives\" is not a valid identifier"});
    EXPECT_EQ(first->Names(0), L"DiskFull");
    EXPECT_TRUE(watch.Edited(false));

    // A new block from the tool bar: its node is selected, the block list shows it.
    ClickButtonOf(*frame, frame->aBlockNew);
    TMessageBlock* added = BlockAt(document, 0x200);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(frame->TreeView->Selected(), frame->BlockNode(added));
    EXPECT_EQ(blockFrame->MessageBlock(), added);
    EXPECT_EQ(list->lvBlocks->Items()->Count(), 2);
    EXPECT_TRUE(watch.Edited(true));

    // A name of the other block's message is taken, whatever its case: both are constants of the
    // one unit.
    boxes.clear();
    ClickCell(blockFrame->vleMessages, 1, 1);
    ClearFocusedText();
    TypeText(L"diskfull");
    PressKeys({VK_RETURN});
    EXPECT_EQ(boxes, std::vector<std::wstring>{L"\"diskfull\" is the name of message $100 already"});
    EXPECT_EQ(added->Names(0), L"Block_0200_Message_200");
    EXPECT_TRUE(watch.Edited(false));
    ClearFocusedText();
    TypeText(L"NetworkDown");
    PressKeys({VK_RETURN});
    EXPECT_EQ(added->Names(0), L"NetworkDown");
    EXPECT_TRUE(watch.Edited(true));

    // The start id and prefix in the block-properties dialog: one that overlaps the first block
    // is refused with a box, the corrected one taken; the tree and the block list show it.
    boxes.clear();
    TMessageBlockProperties* dialog = nullptr;
    host.AnswerDialog(L"Message block properties", [&](const TModalWindow& m) {
        dialog = dynamic_cast<TMessageBlockProperties*>(m.Form);
        ASSERT_NE(dialog, nullptr);
        dialog->edLowId->SetText(L"100");
        dialog->edMessageNamePrefix->SetText(L"Network");
        SendMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
    });
    host.AnswerDialog(L"Error", [&](const TModalWindow& box) {
        boxes.push_back(box.Text);
        ClickDialogButton(box.Window, IDOK);
        if (dialog) {
            dialog->edLowId->SetText(L"3A0");
            PostMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
        }
    });
    ClickCentre(blockFrame->sbBlockConfigure);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"overlap"), std::wstring::npos) << WideToUtf8(boxes[0]);
    EXPECT_EQ(added->LowId(), 0x3A0u);
    EXPECT_EQ(added->MessageNamePrefix(), L"Network");
    EXPECT_EQ(frame->BlockNode(added)->Text(), L"Network");
    EXPECT_EQ(blockFrame->vleMessages->Keys(1), L"$3A0");
    ASSERT_EQ(list->lvBlocks->Items()->Count(), 2);
    EXPECT_EQ(list->lvBlocks->Items()->Item(1)->Caption(), L"Network");
    EXPECT_EQ(list->lvBlocks->Items()->Item(1)->SubItems()->Strings(0), L"03A0 - 03A0");
    EXPECT_NE(host.Buffer(unit).find("const NetworkDown = $3A0;"), std::string::npos);
    EXPECT_TRUE(watch.Edited(true));
    dialog = nullptr;
    host.AnswerDialog(L"Error", {});

    // The locale dialog of the properties frame: the block frame gains the locale's tab.
    ClickNode(*frame, frame->PropertiesNode());
    host.AnswerDialog(L"Select languages to be used", [](const TModalWindow& m) {
        auto* form = dynamic_cast<TLocalesForm*>(m.Form);
        ASSERT_NE(form, nullptr);
        ClickCheckBox(form->LV, IndexOfLocale(form->LV, French));
        PressKeys({VK_RETURN});
    });
    ClickCentre(properties->bnEditLocales);
    EXPECT_EQ(document.UsedLocales(), (std::vector<uint32_t>{German, English, French}));
    EXPECT_EQ(properties->lvLocales->Items()->Count(), 3);
    ASSERT_EQ(blockFrame->TbLocales->Tabs()->Count(), 4);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(blockFrame->TbLocales->Tabs()->Objects(3)), French);
    EXPECT_TRUE(watch.Edited(false));

    // Categories off: No keeps them, Yes removes them (the tree's node and the unit's constants);
    // on again without a question.
    int asked = 0;
    int answer = IDNO;
    host.AnswerDialog(L"Remove categories", [&](const TModalWindow& box) {
        ++asked;
        ClickDialogButton(box.Window, answer);
    });
    TCheckBox* categories = properties->cbUseCategories;
    ClickControl(categories, POINT{7, categories->Height() / 2});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(document.UseCategories());
    EXPECT_TRUE(categories->Checked());
    EXPECT_NE(frame->CategoriesNode(), nullptr);
    EXPECT_TRUE(watch.Edited(false));
    answer = IDYES;
    ClickControl(categories, POINT{7, categories->Height() / 2});
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(document.UseCategories());
    EXPECT_EQ(frame->CategoriesNode(), nullptr);
    EXPECT_EQ(TreeText(*frame), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0100", L"  Network"}));
    EXPECT_TRUE(watch.Edited(true));
    host.AnswerDialog(L"Remove categories", {}); // a question now would be a fault
    ClickControl(categories, POINT{7, categories->Height() / 2});
    EXPECT_TRUE(document.UseCategories());
    EXPECT_NE(frame->CategoriesNode(), nullptr);
    EXPECT_TRUE(watch.Edited(true));

    // Version fields: into the document, which tells no view; the unit stays as it is.
    ClickCell(properties->vleVersion, 1, 1);
    TypeText(L"Dunmere");
    ClickCell(properties->vleVersion, 1, 10);
    SelectFocusedLine();
    TypeText(L"17");
    EXPECT_EQ(document.CompanyName(), L"Dunmere");
    EXPECT_EQ(document.Build(), 17);
    EXPECT_TRUE(watch.Edited(false));

    // The event source as typed; a refused one keeps the document's, and typing it back makes
    // the text it was.
    RetypeEdit(properties->edEventSource, L"DiskWatch");
    EXPECT_EQ(document.EventSource(), L"DiskWatch");
    EXPECT_NE(host.Buffer(unit).find("DiskWatch"), std::string::npos);
    EXPECT_TRUE(watch.Edited(true));
    TypeText(L"\\");
    EXPECT_EQ(document.EventSource(), L"DiskWatch");
    EXPECT_NE(properties->lbEventSourceRefused->Caption(), L"");
    EXPECT_TRUE(watch.Edited(false));
    PressKeys({VK_BACK});
    EXPECT_EQ(document.EventSource(), L"DiskWatch");
    EXPECT_TRUE(watch.Edited(false));
    EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));

    // Saved: the unit as its buffer, the text document and the library with every edit.
    host.SaveAll();
    EXPECT_EQ(ReadFile(unit), host.Buffer(unit));
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.FileName(), InWork(L"Edited.elp"));
    TEvLogDocument reread;
    ASSERT_TRUE(reread.Open(InWork(L"Edited.elp")));
    EXPECT_EQ(reread.UsedLocales(), (std::vector<uint32_t>{German, English, French}));
    EXPECT_TRUE(reread.UseCategories());
    EXPECT_EQ(reread.EventSource(), L"DiskWatch");
    EXPECT_EQ(reread.CompanyName(), L"Dunmere");
    EXPECT_EQ(reread.Build(), 17);
    TMessageBlock* firstAgain = BlockAt(reread, 0x100);
    TMessageBlock* addedAgain = BlockAt(reread, 0x3A0);
    ASSERT_TRUE(firstAgain && addedAgain);
    EXPECT_EQ(firstAgain->Messages(English, 0), L"Disk %1 is full");
    EXPECT_EQ(firstAgain->Messages(German, 0), L"Platte %1 voll");
    EXPECT_EQ(firstAgain->Comments(0), L"Written when the disk is full");
    EXPECT_EQ(firstAgain->Names(0), L"DiskFull");
    EXPECT_EQ(addedAgain->MessageNamePrefix(), L"Network");
    EXPECT_EQ(addedAgain->Names(0), L"NetworkDown");
    const std::wstring dll = InWork(L"Edited.dll");
    EXPECT_EQ(LibraryMessage(dll, 0x100, English), L"Disk %1 is full");
    EXPECT_EQ(LibraryMessage(dll, 0x100, German), L"Platte %1 voll");
    const TLibraryVersion version = LibraryVersion(dll);
    EXPECT_EQ(version.FileVersionLS, 17u);
    EXPECT_EQ(version.CompanyName, L"Dunmere");
    EXPECT_TRUE(host.Faults().empty()) << WideToUtf8(host.Faults().front().Line());
}

TEST_F(EvLogExpert, TwoWindowsOnOneUnitFollowTheBlocksTheOtherAddsAndDeletes) {
    const std::wstring unit = OpenSavedUnit(L"Twice", [](TEvLogDocument&) {});
    TEvLogEditorFrame* first = ShowPage(unit);
    TEvLogEditorFrame* second = ShowPage(unit);
    ASSERT_TRUE(first && second);
    TEvLogDocument& document = *first->Document();
    ASSERT_EQ(second->Document(), &document);
    TBufferWatch watch(host, unit, document);
    TMessageBlock* original = document.MessageTable().Blocks(0);
    // The second window's block frame shows the block the first deletes.
    ShowInFront(*second);
    ClickNode(*second, second->BlockNode(original));
    ASSERT_EQ(second->MessageBlockFrame()->MessageBlock(), original);
    TBlockFrameActivity activity(second->MessageBlockFrame());
    // Both windows painted anew, then the second one's block frame ticked twice and its preview
    // painted: none of it may reach a block the document no longer has.
    auto ticksAndPaints = [&](bool previewShown) {
        const int ticks = activity.Ticks, paints = activity.Paints;
        ShowInFront(*second);
        for (TEvLogEditorFrame* frame : {first, second})
            RedrawWindow(GetParentForm(frame)->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        EXPECT_TRUE(PumpUntil([&] { return activity.Ticks >= ticks + 2 && (!previewShown || activity.Paints > paints); }, 5000));
        for (TEvLogEditorFrame* frame : {first, second}) EXPECT_TRUE(RefersToLiveBlocksOnly(*frame, document));
    };

    ShowInFront(*first);
    ClickButtonOf(*first, first->aBlockNew);
    ASSERT_EQ(UserBlocks(document), 2);
    TMessageBlock* added = document.MessageTable().Blocks(1);
    EXPECT_NE(second->BlockNode(added), nullptr);
    EXPECT_EQ(second->MessagesFrame()->lvBlocks->Items()->Count(), 2);
    EXPECT_EQ(second->MessageBlockFrame()->MessageBlock(), original); // its selection stays its own
    EXPECT_TRUE(watch.Edited(true));

    // A message added to that block in the first window's block frame: the second one's grid
    // shows it, and a name typed there goes to that message.
    ClickNode(*first, first->BlockNode(original));
    ClickCentre(first->MessageBlockFrame()->sbMessageAdd);
    ASSERT_EQ(original->Count(), 2);
    TValueListEditor* grid = second->MessageBlockFrame()->vleMessages;
    EXPECT_EQ(grid->Keys(2), L"$101");
    EXPECT_TRUE(watch.Edited(true));
    ShowInFront(*second);
    ClickCell(grid, 1, 2);
    ClearFocusedText();
    TypeText(L"Second");
    PressKeys({VK_RETURN});
    EXPECT_EQ(original->Names(1), L"Second");
    EXPECT_EQ(original->Names(0), L"Block_0100_Message_100");
    EXPECT_TRUE(watch.Edited(true));

    ShowInFront(*first);
    ClickNode(*first, first->BlockNode(original));
    ClickButtonOf(*first, first->aBlockDelete);
    EXPECT_EQ(TreeText(*second), (std::vector<std::wstring>{L"Properties", L"Messages", L"  Block_0200"}));
    EXPECT_EQ(second->MessagesFrame()->lvBlocks->Items()->Count(), 1);
    EXPECT_EQ(second->TreeView->Selected(), second->BlockNode(added));
    EXPECT_EQ(second->MessageBlockFrame()->MessageBlock(), added);
    ticksAndPaints(true);
    EXPECT_TRUE(watch.Edited(true));

    // The block the first window added, shown by the second now, goes too.
    ShowInFront(*first);
    ClickNode(*first, first->BlockNode(added));
    ClickButtonOf(*first, first->aBlockDelete);
    EXPECT_EQ(TreeText(*second), (std::vector<std::wstring>{L"Properties", L"Messages"}));
    EXPECT_EQ(second->MessagesFrame()->lvBlocks->Items()->Count(), 0);
    EXPECT_EQ(second->TreeView->Selected(), second->MessagesNode());
    EXPECT_EQ(second->MessageBlockFrame()->MessageBlock(), nullptr);
    ticksAndPaints(false);
    EXPECT_TRUE(watch.Edited(true));
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
    const std::wstring dll = InWork(L"Saved.dll");
    EXPECT_EQ(LibraryMessage(dll, block->LowId(), DefaultLocale), L"Disk %1 is full");
    EXPECT_EQ(LibraryMessage(dll, block->LowId(), Russian), L"\u0414\u0438\u0441\u043a %1");
    const TLibraryVersion version = LibraryVersion(dll);
    EXPECT_EQ(version.FileVersionMS, 0x00020000u);
    EXPECT_EQ(version.FileVersionLS, 17u);
    EXPECT_EQ(version.CompanyName, L"Dunmere");
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

TEST_F(EvLogExpert, ALibraryThatCannotBeBuiltIsShownWithTheBuildsReason) {
    host.OpenEditorWindow(OpenUnit(L"Versioned", true));
    std::wstring shown;
    host.AnswerDialog(L"Error", [&](const TModalWindow& box) {
        shown = box.Text;
        ClickDialogButton(box.Window, IDOK);
    });
    expert->DocumentModules(0)->Document().SetMajorVersion(70000);
    expert->DocumentModules(0)->Document().AddBlock();
    host.SaveAll();
    EXPECT_EQ(shown, L"Unable to write file\r\n" + InWork(L"Versioned.dll") +
                         L"\r\n\r\nMajorVersion is 70000: a part of the file version cannot exceed 65535");
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
        int first = 0, last = 0;
        ASSERT_NE(ShowPage(unit, &first), nullptr);
        TEvLogEditorFrame* frame = ShowPage(unit, &last);
        ASSERT_NE(frame, nullptr);
        // A version edit in the properties frame changes the document without a notice (the
        // unit stays as it is).
        TEvLogDocument& document = *frame->Document();
        const std::string buffer = host.Buffer(unit);
        ShowInFront(*frame);
        ClickCell(frame->PropertiesFrame()->vleVersion, 1, 7);
        SelectFocusedLine();
        TypeText(L"7");
        ASSERT_EQ(document.MajorVersion(), 7);
        EXPECT_EQ(host.Buffer(unit), buffer);

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

TEST_F(EvLogExpert, WhatWasTypedAMomentAgoIsSavedAndAskedAboutOnTheLastClose) {
    const std::wstring unit = OpenUnit(L"Typed", true);
    int window = 0;
    TEvLogEditorFrame* frame = ShowPage(unit, &window);
    ASSERT_NE(frame, nullptr);
    TEvLogDocument& document = *frame->Document();
    TMessageBlock* block = document.MessageTable().Blocks(0);
    TMessageBlockFrame* blockFrame = frame->MessageBlockFrame();
    ShowInFront(*frame);
    ClickNode(*frame, frame->BlockNode(block));
    // Without the timer only the save or the close can take the text: the environment's save
    // takes no focus from the memo.
    blockFrame->tmMessageEditor->SetEnabled(false);
    ClickTab(blockFrame->TbLocales, 1);
    RetypeMemo(blockFrame->mMessageEditor, L"Typed just before the save");
    ASSERT_TRUE(blockFrame->MessageEditorIsChanged());
    host.SaveAll();
    {
        TEvLogDocument reread;
        ASSERT_TRUE(reread.Open(InWork(L"Typed.elp")));
        EXPECT_EQ(reread.MessageTable().Blocks(0)->Messages(DefaultLocale, 0), L"Typed just before the save");
    }
    EXPECT_EQ(ReadFile(unit), host.Buffer(unit));
    EXPECT_FALSE(document.Modified());

    // A name typed into the grid and not entered: the saved document is modified by it, so the
    // last window asks, and Yes writes it.
    ClickCell(blockFrame->vleMessages, 1, 1);
    ClearFocusedText();
    TypeText(L"TypedName");
    ASSERT_TRUE(blockFrame->NameIsChanged());
    ASSERT_FALSE(document.Modified());
    std::wstring asked;
    host.AnswerDialog(L"Confirm", [&](const TModalWindow& box) {
        asked = box.Text;
        ClickDialogButton(box.Window, IDYES);
    });
    ASSERT_TRUE(host.CloseEditorWindow(window));
    EXPECT_EQ(asked, L"Save changes to Typed.elp?");
    TEvLogDocument reread;
    ASSERT_TRUE(reread.Open(InWork(L"Typed.elp")));
    EXPECT_EQ(reread.MessageTable().Blocks(0)->Names(0), L"TypedName");
    EXPECT_NE(host.Buffer(unit).find("const TypedName = $100;"), std::string::npos);
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
