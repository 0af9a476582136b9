// The properties frame edited as a person edits it, with real keys and clicks, its dialogs and
// boxes answered through the modal hook: what it shows of a document (and that showing it writes
// nothing), the journal, the event source (refused names keep the document's and say why),
// categories switched off only when confirmed, the locales through the locale dialog, the
// version fields typed and pasted into the key/value grid.
#include "ide/msgtable/editor/EvLog_PropertiesFrame.h"

#include "host/forms/Capture.h"
#include "ide/msgtable/editor/EvLog_LocalesForm.h"
#include "ide/msgtable/model/EvLog_Locales.h"
#include "tests/ide/msgtable/editor/FrameInputTestSupport.h"
#include "tests/ide/msgtable/editor/PropertiesTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::test;

namespace {

// What the document told its views.
class TRecorder : public TInterfaced<IEvLogDocumentView> {
public:
    void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock*) override {
        Changes.push_back(changes);
    }
    std::vector<TEvLogDocumentChanges> Changes;
};

std::vector<std::wstring> Captions(TListView* list) {
    std::vector<std::wstring> captions;
    for (int i = 0; i < list->Items()->Count(); ++i) captions.push_back(list->Items()->Item(i)->Caption());
    return captions;
}

class PropertiesFrameTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(20, 0, 500, 740);
        Frame = Create<TPropertiesFrame>(Form.get());
        Frame->SetParent(Form.get());
        Frame->SetAlign(alClient);
        Document.AddView(Recorder.Get());
        Form->Show();
        PumpPending();
    }
    void TearDown() override { Document.RemoveView(Recorder.Get()); }

    // The document shown afresh, as saved: no longer modified, nothing heard yet.
    void Show() {
        Frame->SetDocument(&Document);
        PumpPending();
    }
    void Unmodify() {
        Document.SetModified(false);
        Recorder->Changes.clear();
    }
    // Replaces the edit's whole text by typing, as a person selects it all and types.
    void RetypeEventSource(const std::wstring& text) { RetypeEdit(Frame->edEventSource, text); }
    // Clicks a value cell of the version grid: the editor opens on it.
    void ClickVersionValue(int32_t row) {
        TValueListEditor* grid = Frame->vleVersion;
        ClickCell(grid, 1, row);
        ASSERT_TRUE(grid->EditorMode());
        ASSERT_EQ(grid->Row(), row);
    }
    static void SelectAllTyped() { SelectFocusedLine(); }
    // Pastes text with Ctrl+V, as one change of the editor's text.
    static void Paste(const std::wstring& text) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
        PressKey('V', {VK_CONTROL});
        PumpPending();
    }
    std::wstring EditorText() const { return Frame->vleVersion->InplaceEditor()->GetText(); }
    void ClickCategories() { ClickControl(Frame->cbUseCategories, POINT{7, Frame->cbUseCategories->Height() / 2}); }

    TEvLogDocument Document{L"Props.elp"};
    TComPtr<TRecorder> Recorder = MakeInterfaced<TRecorder>();
    TOwned<TForm> Form;
    TPropertiesFrame* Frame = nullptr;
};

TEST_F(PropertiesFrameTest, ShowsTheDocumentAndShowingItWritesNothing) {
    Document.SetEventType(etSystem);
    Document.SetEventSource(L"Disk watcher");
    Document.SetUseCategories(true);
    Document.SetUsedLocales({1033, 1031});
    Unmodify();
    Show();
    EXPECT_EQ(Frame->cbJournal->ItemIndex(), 1);
    EXPECT_EQ(Frame->cbJournal->GetText(), L"System");
    EXPECT_EQ(Frame->edEventSource->GetText(), L"Disk watcher");
    EXPECT_TRUE(Frame->cbUseCategories->Checked());
    EXPECT_EQ(Captions(Frame->lvLocales), (std::vector<std::wstring>{L"English (United States)", L"German (Germany)"}));
    EXPECT_EQ(GetWindowLongPtrW(Frame->lvLocales->Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_LIST);
    // The edit reports its text set while filling as a change; the frame must not write it back.
    EXPECT_FALSE(Document.Modified());
    EXPECT_TRUE(Recorder->Changes.empty());
    Show(); // the same document again: unchanged texts, still nothing written
    EXPECT_FALSE(Document.Modified());
    EXPECT_TRUE(Recorder->Changes.empty());
    EXPECT_FALSE(Frame->Updating());
    // The notes show their "&" as written: it marks no access key.
    int notes = 0;
    for (int i = 0; i < Frame->ComponentCount(); ++i)
        if (auto* label = dynamic_cast<TLabel*>(Frame->Components(i)); label && label->Caption().find(L"&lt &gl.") != std::wstring::npos) {
            ++notes;
            EXPECT_EQ(label->Caption(), L" with the exception of XML Escape sequences such as &lt &gl.");
            EXPECT_NE(GetWindowLongPtrW(label->Handle(), GWL_STYLE) & SS_NOPREFIX, 0);
        }
    EXPECT_EQ(notes, 1);
    SaveCapture(*CaptureControl(Frame), L"PropertiesFrame");
}

TEST_F(PropertiesFrameTest, TheJournalFollowsTheKeys) {
    Unmodify();
    Show();
    ASSERT_EQ(Frame->cbJournal->ItemIndex(), 0);
    Frame->cbJournal->SetFocus();
    const std::pair<WORD, TEvLogEventType> steps[] = {{VK_DOWN, etSystem}, {VK_DOWN, etSecurity}, {VK_HOME, etApplication}};
    for (const auto& [key, journal] : steps) {
        PressKeys({key});
        PumpPending();
        EXPECT_EQ(Document.EventType(), journal);
    }
    EXPECT_TRUE(Document.Modified());
    ASSERT_EQ(Recorder->Changes.size(), 3u);
    for (TEvLogDocumentChanges c : Recorder->Changes) EXPECT_EQ(c, TEvLogDocumentChanges{eldcEventSource});
}

TEST_F(PropertiesFrameTest, TypedEventSourcesAreTakenAndRefusedOnesKeepTheDocumentsWithTheReason) {
    Document.SetEventSource(L"Old");
    Unmodify();
    Show();
    EXPECT_EQ(Frame->lbEventSourceRefused->Caption(), L"");

    RetypeEventSource(L"Disk");
    EXPECT_EQ(Document.EventSource(), L"Disk");
    EXPECT_TRUE(Document.Modified());
    EXPECT_EQ(Frame->lbEventSourceRefused->Caption(), L"");

    TypeText(L"\\");
    PumpPending();
    EXPECT_EQ(Frame->edEventSource->GetText(), L"Disk\\");
    EXPECT_EQ(Document.EventSource(), L"Disk");
    EXPECT_NE(Frame->lbEventSourceRefused->Caption().find(L"\"\\\""), std::wstring::npos)
        << ToUtf8(Frame->lbEventSourceRefused->Caption());
    PressKeys({VK_BACK});
    PumpPending();
    EXPECT_EQ(Document.EventSource(), L"Disk");
    EXPECT_EQ(Frame->lbEventSourceRefused->Caption(), L"");

    RetypeEventSource(L"");
    EXPECT_EQ(Frame->edEventSource->GetText(), L"");
    EXPECT_EQ(Document.EventSource(), L"Disk");
    EXPECT_NE(Frame->lbEventSourceRefused->Caption().find(L"empty"), std::wstring::npos);

    const std::wstring longest(255, L'x');
    RetypeEventSource(longest);
    EXPECT_EQ(Document.EventSource(), longest);
    TypeText(L"y");
    PumpPending();
    SaveCapture(*CaptureControl(Frame), L"PropertiesFrame_EventSourceRefused");
    EXPECT_EQ(Frame->edEventSource->GetText().size(), 256u);
    EXPECT_EQ(Document.EventSource(), longest);
    EXPECT_NE(Frame->lbEventSourceRefused->Caption().find(L"255"), std::wstring::npos);

    // Shown afresh, the frame shows the document's name and no reason.
    Show();
    EXPECT_EQ(Frame->edEventSource->GetText(), longest);
    EXPECT_EQ(Frame->lbEventSourceRefused->Caption(), L"");
}

TEST_F(PropertiesFrameTest, CategoriesGoOffOnlyWhenTheBoxIsAnsweredYesAndComeOnWithoutAQuestion) {
    Document.SetUseCategories(true);
    TMessageBlock* categories = Document.CategoriesBlock();
    Unmodify();
    Show();
    std::vector<std::wstring> boxes;
    int answer = IDNO;
    TModalHookScope hook([&](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkMessageBox);
        boxes.push_back(m.Caption + L"|" + m.Text);
        // No is the default button (Enter gives it).
        EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(m.Window, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        ClickDialogButton(m.Window, answer);
    });

    ClickCategories();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], L"Remove categories|Categories block is not empty now. \r\nAre you sure you want to remove it?");
    EXPECT_TRUE(Frame->cbUseCategories->Checked());
    EXPECT_TRUE(Document.UseCategories());
    EXPECT_FALSE(Document.Modified());
    EXPECT_TRUE(Recorder->Changes.empty());

    answer = IDYES;
    ClickCategories();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(Frame->cbUseCategories->Checked());
    EXPECT_FALSE(Document.UseCategories());
    EXPECT_EQ(Recorder->Changes, std::vector<TEvLogDocumentChanges>{TEvLogDocumentChanges{eldcUseCategories}});
    // Only the use is switched: the block stays.
    EXPECT_EQ(Document.MessageTable().BlockCount(), 1);
    EXPECT_EQ(Document.MessageTable().Blocks(0), categories);

    ClickCategories();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(Frame->cbUseCategories->Checked());
    EXPECT_TRUE(Document.UseCategories());
    EXPECT_FALSE(Frame->Updating());
}

// Clicks "Edit..." and lets Drive act on the locale dialog; answers how often it was shown.
int EditLocales(TPropertiesFrame* frame, const std::function<void(TLocalesForm&)>& drive) {
    int shown = 0;
    TModalHookScope hook([&](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkForm);
        auto* form = dynamic_cast<TLocalesForm*>(m.Form);
        ASSERT_NE(form, nullptr);
        ++shown;
        drive(*form);
    });
    SendMessageW(frame->bnEditLocales->Handle(), BM_CLICK, 0, 0);
    PumpPending();
    return shown;
}

TEST_F(PropertiesFrameTest, LocalesCheckedInTheDialogBecomeTheDocumentsInTheDialogsOrder) {
    Document.SetUsedLocales({1036, 1033});
    Unmodify();
    Show();
    ASSERT_EQ(Captions(Frame->lvLocales), (std::vector<std::wstring>{L"French (France)", L"English (United States)"}));
    EXPECT_EQ(EditLocales(Frame, [](TLocalesForm& f) {
        EXPECT_EQ(CheckedLocales(f.LV), (std::vector<uint32_t>{1033, 1036}));
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1031));
        PressKeys({VK_RETURN});
    }), 1);
    EXPECT_EQ(Document.UsedLocales(), (std::vector<uint32_t>{1031, 1033, 1036}));
    EXPECT_EQ(Captions(Frame->lvLocales),
              (std::vector<std::wstring>{L"German (Germany)", L"English (United States)", L"French (France)"}));
    EXPECT_EQ(Recorder->Changes, std::vector<TEvLogDocumentChanges>{TEvLogDocumentChanges{eldcUsedLocales}});
}

TEST_F(PropertiesFrameTest, CancelInTheLocaleDialogChangesNothing) {
    Document.SetUsedLocales({1036, 1033});
    Unmodify();
    Show();
    EditLocales(Frame, [](TLocalesForm& f) {
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1036));
        PressKeys({VK_ESCAPE});
    });
    EXPECT_EQ(Document.UsedLocales(), (std::vector<uint32_t>{1036, 1033}));
    EXPECT_EQ(Captions(Frame->lvLocales), (std::vector<std::wstring>{L"French (France)", L"English (United States)"}));
    EXPECT_FALSE(Document.Modified());
    EXPECT_TRUE(Recorder->Changes.empty());
}

TEST_F(PropertiesFrameTest, NoLocaleCheckedGivesTheDocumentsDefaultEnglish) {
    Document.SetUsedLocales({1031});
    Unmodify();
    Show();
    EditLocales(Frame, [](TLocalesForm& f) {
        ClickCheckBox(f.LV, IndexOfLocale(f.LV, 1031));
        ASSERT_TRUE(CheckedLocales(f.LV).empty());
        PressKeys({VK_RETURN});
    });
    EXPECT_EQ(Document.UsedLocales(), std::vector<uint32_t>{1033});
    EXPECT_EQ(Captions(Frame->lvLocales), std::vector<std::wstring>{L"English (United States)"});
}

TEST_F(PropertiesFrameTest, ALocaleUnknownToTheSystemIsShownAndSurvivesTheDialog) {
    ASSERT_EQ(FindLocale(kUnknownLocale), nullptr);
    Document.SetUsedLocales({1033, kUnknownLocale});
    Unmodify();
    Show();
    const std::vector<std::wstring> shown = Captions(Frame->lvLocales);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], L"English (United States)");
    EXPECT_NE(shown[1].find(std::to_wstring(kUnknownLocale)), std::wstring::npos) << ToUtf8(shown[1]);
    EditLocales(Frame, [](TLocalesForm&) { PressKeys({VK_RETURN}); });
    EXPECT_EQ(Document.UsedLocales(), (std::vector<uint32_t>{1033, kUnknownLocale}));
    EXPECT_EQ(Captions(Frame->lvLocales), shown);
}

TEST_F(PropertiesFrameTest, WithoutADocumentTheControlsWriteNowhere) {
    Frame->SetDocument(nullptr);
    RetypeEventSource(L"Nowhere");
    ClickCategories();
    EXPECT_EQ(EditLocales(Frame, [](TLocalesForm&) {}), 0);
    EXPECT_TRUE(Frame->lvLocales->Items()->Count() == 0);
}

TEST_F(PropertiesFrameTest, TheVersionGridShowsTheTenFieldsAndShowingThemWritesNothing) {
    Document.SetCompanyName(L"Dunmere");
    Document.SetProductVersion(L"2.1");
    Document.SetMajorVersion(2);
    Document.SetBuild(65535);
    Unmodify();
    Show();
    TValueListEditor* grid = Frame->vleVersion;
    const std::vector<std::wstring> keys = {L"Company name",  L"File description", L"Legal copyright", L"Legal trademarks",
                                            L"Product name",  L"Product version",  L"Major version",   L"Minor version",
                                            L"Release",       L"Build"};
    ASSERT_EQ(grid->Strings()->Count(), 10);
    for (int32_t row = 1; row <= 10; ++row) EXPECT_EQ(grid->Keys(row), keys[static_cast<size_t>(row - 1)]);
    EXPECT_EQ(grid->ColWidths(0), 159);
    EXPECT_EQ(grid->ColWidths(1), 260);
    EXPECT_EQ(grid->Values(L"Company name"), L"Dunmere");
    EXPECT_EQ(grid->Values(L"Product version"), L"2.1");
    EXPECT_EQ(grid->Values(L"Major version"), L"2");
    EXPECT_EQ(grid->Values(L"Minor version"), L"0");
    EXPECT_EQ(grid->Values(L"Build"), L"65535");
    EXPECT_FALSE(Document.Modified());
    // Shown with the editor open on a cell, a second document replaces what the editor shows.
    ClickVersionValue(1);
    TEvLogDocument other(L"Other.elp");
    Frame->SetDocument(&other);
    PumpPending();
    EXPECT_EQ(EditorText(), L"");
    EXPECT_EQ(grid->Values(L"Build"), L"0");
    EXPECT_FALSE(other.Modified());
    EXPECT_EQ(Document.CompanyName(), L"Dunmere");
}

TEST_F(PropertiesFrameTest, TheSixTextsGoIntoTheirFieldsAsTheyAreTyped) {
    Unmodify();
    Show();
    ClickVersionValue(1);
    for (int row = 1; row <= 6; ++row) {
        TypeText(L"Text " + std::to_wstring(row));
        PressKeys({VK_DOWN});
        PumpPending();
    }
    EXPECT_EQ(Document.CompanyName(), L"Text 1");
    EXPECT_EQ(Document.FileDescription(), L"Text 2");
    EXPECT_EQ(Document.LegalCopyright(), L"Text 3");
    EXPECT_EQ(Document.LegalTrademarks(), L"Text 4");
    EXPECT_EQ(Document.ProductName(), L"Text 5");
    EXPECT_EQ(Document.ProductVersion(), L"Text 6");
    EXPECT_TRUE(Document.Modified());
    EXPECT_TRUE(Recorder->Changes.empty()); // version fields tell no view
    EXPECT_EQ(Frame->vleVersion->Values(L"Legal trademarks"), L"Text 4");
}

TEST_F(PropertiesFrameTest, VersionPartsTakeNumbersZeroOrNothingAndRefusedTextRestoresTheCell) {
    Document.SetRelease(3);
    Document.SetBuild(7);
    Unmodify();
    Show();
    TValueListEditor* grid = Frame->vleVersion;

    // Build (row 10): "0" stores 0, "00" is refused.
    ClickVersionValue(10);
    SelectAllTyped();
    TypeText(L"0");
    EXPECT_EQ(Document.Build(), 0);
    EXPECT_TRUE(Document.Modified());
    TypeText(L"0");
    EXPECT_EQ(Document.Build(), 0);
    EXPECT_EQ(grid->Values(L"Build"), L"0");
    EXPECT_EQ(EditorText(), L"0");

    // Numbers are taken as they are typed; a letter or a minus sign puts the document's back.
    PressKeys({VK_BACK});
    TypeText(L"42");
    EXPECT_EQ(Document.Build(), 42);
    TypeText(L"a");
    EXPECT_EQ(Document.Build(), 42);
    EXPECT_EQ(EditorText(), L"42");
    SelectAllTyped();
    TypeText(L"-");
    EXPECT_EQ(Document.Build(), 42);
    EXPECT_EQ(EditorText(), L"42");
    SelectAllTyped();
    Paste(L"-1");
    EXPECT_EQ(Document.Build(), 42);
    EXPECT_EQ(EditorText(), L"42");
    EXPECT_EQ(grid->Values(L"Build"), L"42");

    // The file version holds 16 bits a part: 65,535 is taken, more restores the cell.
    SelectAllTyped();
    Paste(L"65535");
    EXPECT_EQ(Document.Build(), 65535);
    TypeText(L"6");
    EXPECT_EQ(Document.Build(), 65535);
    EXPECT_EQ(EditorText(), L"65535");
    SelectAllTyped();
    Paste(L"70000");
    EXPECT_EQ(Document.Build(), 65535);
    EXPECT_EQ(grid->Values(L"Build"), L"65535");
    EXPECT_NO_THROW(Document.VersionInfo());

    // Release (row 9): emptied, it stores 0.
    ClickVersionValue(9);
    SelectAllTyped();
    PressKeys({VK_DELETE});
    PumpPending();
    EXPECT_EQ(Document.Release(), 0);
    EXPECT_EQ(grid->Values(L"Release"), L"");
    EXPECT_FALSE(Frame->Updating());
    EXPECT_TRUE(Recorder->Changes.empty());
}

} // namespace
