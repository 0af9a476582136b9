// The message-block frame as a person uses it, with real clicks and keys and the boxes and the
// dialog answered through the modal hook: texts and comments per locale (never lost to a click
// elsewhere), names (Enter, refused when invalid or taken), new and deleted messages, the four
// moves, the start id through the properties dialog, the timer, the document's notices of
// deleted blocks, and captures of the preview and the memo.
#include "ide/msgtable/editor/EvLog_MessageBlockFrame.h"

#include "host/forms/Capture.h"
#include "ide/msgtable/editor/EvLog_MessageBlockProperties.h"
#include "ide/msgtable/model/EvLog_Locales.h"
#include "tests/ide/msgtable/editor/FrameInputTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::test;

namespace {

constexpr uint32_t kEnglish = 1033, kGerman = 1031;

// What the document told its views.
class TNotices : public TInterfaced<IEvLogDocumentView> {
public:
    void STDMETHODCALLTYPE DocumentChanged(TEvLogDocumentChanges changes, TMessageBlock* mb) override {
        if (changes.Contains(eldcBlockModified)) {
            ++Modified;
            Blocks.push_back(mb);
        }
    }
    int Modified = 0;
    std::vector<TMessageBlock*> Blocks;
};

// The boxes and forms the hook saw, and how it answers them.
struct TModals {
    std::vector<std::wstring> Boxes;
    int BoxAnswer = IDOK;
    std::function<void(TMessageBlockProperties*)> OnForm;
    // Runs once a box was answered (the form it belongs to is still open).
    std::function<void()> AfterBox;
    void Hook(const TModalWindow& m) {
        if (m.Kind == TModalKind::mkMessageBox) {
            Boxes.push_back(m.Text);
            ClickDialogButton(m.Window, BoxAnswer);
            if (AfterBox) AfterBox();
        } else if (m.Kind == TModalKind::mkForm) {
            if (auto* form = dynamic_cast<TMessageBlockProperties*>(m.Form); form && OnForm) OnForm(form);
        }
    }
};

struct TDeleteRequests {
    int Count = 0;
    TObject* Sender = reinterpret_cast<TObject*>(1);
    TEvLogDocument* Document = nullptr;
    TMessageBlock* Block = nullptr;
    void Request(TObject* sender) {
        ++Count;
        Sender = sender;
        if (Document) Document->DeleteBlock(Block);
    }
};

class MessageBlockFrame : public testing::Test {
protected:
    void SetUp() override {
        document.SetUsedLocales({kEnglish, kGerman});
        block = document.AddBlock(); // $100, one message
        for (int i = 0; i < 3; ++i) {
            block->SetMessages(kEnglish, i, L"English " + std::to_wstring(i));
            block->SetMessages(kGerman, i, L"Deutsch " + std::to_wstring(i));
            block->SetComments(i, L"Comment " + std::to_wstring(i));
        }
        block->SetNames(1, L"DiskFull");
        notices = MakeInterfaced<TNotices>();
        document.AddView(notices.Get());
        form.reset(Create<TForm>(nullptr));
        form->SetBounds(0, 0, 1020, 700);
        frame = Create<TMessageBlockFrame>(form.get());
        frame->SetParent(form.get());
        frame->SetAlign(alClient);
        frame->SetDocument(&document);
        frame->SetMessageBlock(block);
        form->Show();
        SetForegroundWindow(form->Handle());
        PumpPending();
        notices->Modified = 0;
    }
    void TearDown() override {
        form.reset();
        document.RemoveView(notices.Get());
    }

    void ClickButton(TSpeedButton* button) { ClickCentre(button); }
    void ClickCell(int col, int row) { test::ClickCell(frame->vleMessages, col, row); }
    void ClickTab(int index) { test::ClickTab(frame->TbLocales, index); }
    void ClickMemo() { ClickControl(frame->mMessageEditor, POINT{40, 20}); }
    static void ClearFocusedEdit() { ClearFocusedText(); }
    // Clears the memo and types the text.
    void TypeIntoMemo(const std::wstring& text) { RetypeMemo(frame->mMessageEditor, text); }
    std::vector<std::wstring> Keys() {
        std::vector<std::wstring> keys;
        for (int r = 1; r < frame->vleMessages->RowCount(); ++r) keys.push_back(frame->vleMessages->Keys(r));
        return keys;
    }
    std::vector<std::wstring> GridNames() {
        std::vector<std::wstring> names;
        for (int r = 1; r < frame->vleMessages->RowCount(); ++r) names.push_back(frame->vleMessages->Cells(1, r));
        return names;
    }

    TEvLogDocument document{L"Block.elp"};
    TMessageBlock* block = nullptr;
    TComPtr<TNotices> notices;
    TOwned<TForm> form;
    TMessageBlockFrame* frame = nullptr;
};

} // namespace

TEST_F(MessageBlockFrame, ShowsTheBlocksMessagesAndATabPerUsedLocale) {
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"$100", L"$101", L"$102"}));
    EXPECT_EQ(GridNames(), (std::vector<std::wstring>{L"Block_0100_Message_100", L"DiskFull", L"Block_0100_Message_102"}));
    TStrings* tabs = frame->TbLocales->Tabs();
    ASSERT_EQ(tabs->Count(), 3);
    EXPECT_EQ(tabs->Get(0), L"Comment");
    EXPECT_EQ(tabs->Get(1), FindLocale(kEnglish)->DisplayText());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tabs->Objects(2)), kGerman);
    EXPECT_EQ(frame->mMessageEditor->GetText(), L"Comment 0");
    std::unique_ptr<TBitmap> shot = CaptureControl(frame);
    SaveCapture(*shot, L"MessageBlockFrame_frame");
}

TEST_F(MessageBlockFrame, TheBlockKeepsTheShownLocaleAndMessageAndAnIndexPastTheEndShowsTheLast) {
    ClickCell(1, 2);
    ClickTab(2);
    EXPECT_EQ(block->SelectedLocaleId(), kGerman);
    EXPECT_EQ(block->SelectedMessageIndex(), 1);
    frame->SetMessageBlock(nullptr);
    EXPECT_EQ(frame->vleMessages->Strings()->Count(), 0);
    block->SetSelectedMessageIndex(99);
    frame->SetMessageBlock(block);
    EXPECT_EQ(frame->LocaleIndex(), 2);
    EXPECT_EQ(frame->MessageIndex(), 2);
    EXPECT_EQ(frame->vleMessages->Row(), 3);
    EXPECT_EQ(frame->mMessageEditor->GetText(), L"Deutsch 2");
}

TEST_F(MessageBlockFrame, TextsAndCommentsTypedPerLocaleGoIntoTheBlockAtEachTabAndRow) {
    // Without the timer only the clicks can take the texts.
    frame->tmMessageEditor->SetEnabled(false);
    ClickCell(1, 2);
    ClickTab(1);
    EXPECT_EQ(frame->mMessageEditor->GetText(), L"English 1");
    TypeIntoMemo(L"Disk is full");
    ClickTab(2);
    EXPECT_EQ(block->Messages(kEnglish, 1), L"Disk is full");
    EXPECT_EQ(frame->mMessageEditor->GetText(), L"Deutsch 1");
    EXPECT_GE(notices->Modified, 1);
    TypeIntoMemo(L"Platte voll");
    ClickCell(1, 3);
    EXPECT_EQ(block->Messages(kGerman, 1), L"Platte voll");
    EXPECT_EQ(frame->mMessageEditor->GetText(), L"Deutsch 2");
    ClickTab(0);
    TypeIntoMemo(L"Shown when the disk fills");
    ClickButton(frame->sbMessageAdd); // a speed button takes no focus: the action takes the text
    EXPECT_EQ(block->Comments(2), L"Shown when the disk fills");
    EXPECT_EQ(block->Messages(kEnglish, 2), L"English 2");
    EXPECT_EQ(notices->Blocks.back(), block);
}

TEST_F(MessageBlockFrame, TheCommentTabUsesTheDefaultCharacterSetAndALocaleTabItsOwn) {
    constexpr uint32_t kRussian = 1049;
    document.SetUsedLocales({kEnglish, kRussian});
    ClickTab(2);
    EXPECT_EQ(frame->mMessageEditor->Font()->Charset(), RUSSIAN_CHARSET);
    ClickTab(1);
    EXPECT_EQ(frame->mMessageEditor->Font()->Charset(), ANSI_CHARSET);
    ClickTab(0);
    EXPECT_EQ(frame->mMessageEditor->Font()->Charset(), DEFAULT_CHARSET);
}

TEST_F(MessageBlockFrame, TheTimerTakesTheTypedTextWithoutLeavingTheMemo) {
    ClickTab(1);
    TypeIntoMemo(L"Ticked");
    EXPECT_TRUE(frame->mMessageEditor->Focused());
    ASSERT_TRUE(PumpUntil([&] { return block->Messages(kEnglish, 0) == L"Ticked"; }, 3000));
    EXPECT_TRUE(frame->mMessageEditor->Focused());
    EXPECT_FALSE(frame->MessageEditorIsChanged());
    EXPECT_EQ(notices->Blocks.back(), block);
}

TEST_F(MessageBlockFrame, TheTimerFollowsANewFontSizeOfThePreview) {
    const SIZE before = frame->PreviewTextExtent();
    frame->pbPreview->Font()->SetHeight(-24);
    ASSERT_TRUE(PumpUntil([&] { return frame->PreviewTextExtent().cy != before.cy; }, 3000));
    const SIZE after = frame->PreviewTextExtent();
    EXPECT_GT(after.cy, before.cy);
    EXPECT_EQ(frame->pbPreview->Height(), frame->PreviewHeight() * after.cy);
    EXPECT_EQ(frame->pbPreview->Width(), frame->PreviewWidth() * after.cx);
}

TEST_F(MessageBlockFrame, ANameTypedIntoTheGridIsTakenOnEnter) {
    ClickCell(1, 1);
    ASSERT_TRUE(frame->vleMessages->EditorMode());
    ClearFocusedEdit();
    TypeText(L"StartFailed");
    EXPECT_TRUE(frame->NameIsChanged());
    EXPECT_EQ(frame->NewName(), L"StartFailed");
    PressKeys({VK_RETURN});
    EXPECT_EQ(block->Names(0), L"StartFailed");
    EXPECT_FALSE(frame->NameIsChanged());
    EXPECT_GE(notices->Modified, 1);
    // Typed and then left for another row: taken too.
    ClearFocusedEdit();
    TypeText(L"StartDone");
    ClickCell(1, 3);
    EXPECT_EQ(block->Names(0), L"StartDone");
}

TEST_F(MessageBlockFrame, InvalidTakenAndEmptyNamesAreRefusedAndTheStoredNameShowsAgain) {
    TModals modals;
    TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
    const struct {
        std::wstring Typed, Box;
    } cases[] = {
        {L"9Lives", L"\"9Lives\" is not a valid identifier"},
        {L"Disk full", L"\"Disk full\" is not a valid identifier"},
        {L"diskfull", L"\"diskfull\" is the name of message $101 already"},
        {L"Label", L"\"Label\" is a reserved word of Object Pascal"},
        {L"EventSourceName", L"\"EventSourceName\" is a name the generated unit uses itself"},
        {L"", L"\"\" is not a valid identifier"},
    };
    ClickCell(1, 3);
    for (const auto& c : cases) {
        modals.Boxes.clear();
        ClearFocusedEdit();
        TypeText(c.Typed);
        PressKeys({VK_RETURN});
        EXPECT_EQ(modals.Boxes, std::vector<std::wstring>{c.Box}) << ToUtf8(c.Typed);
        EXPECT_EQ(block->Names(2), L"Block_0100_Message_102");
        EXPECT_EQ(frame->vleMessages->Values(L"$102"), L"Block_0100_Message_102");
        EXPECT_EQ(frame->vleMessages->InplaceEditor()->GetText(), L"Block_0100_Message_102");
    }
    EXPECT_EQ(notices->Modified, 0);
}

TEST_F(MessageBlockFrame, ANewMessageIsAppendedSelectedAndShown) {
    ClickButton(frame->sbMessageAdd);
    ASSERT_EQ(block->Count(), 4);
    EXPECT_EQ(Keys().back(), L"$103");
    EXPECT_EQ(GridNames().back(), L"Block_0100_Message_103");
    EXPECT_EQ(frame->MessageIndex(), 3);
    EXPECT_EQ(frame->vleMessages->Row(), 4);
    EXPECT_EQ(block->Comments(3), SCommentNotSpecified);
    EXPECT_EQ(frame->mMessageEditor->GetText(), SCommentNotSpecified);
    EXPECT_EQ(notices->Blocks, std::vector<TMessageBlock*>{block});
}

TEST_F(MessageBlockFrame, ANewMessageThatWouldTakeTheNextBlocksIdIsRefusedWithTheReason) {
    document.AddBlock(); // $200
    block->SetLowId(0x1FD);
    frame->SetMessageBlock(block);
    TModals modals;
    TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
    ClickButton(frame->sbMessageAdd);
    EXPECT_EQ(modals.Boxes,
              std::vector<std::wstring>{L"The IDs 01FD - 0200 overlap the block Block_0200 (0200 - 0200)"});
    EXPECT_EQ(block->Count(), 3);
    EXPECT_EQ(Keys().back(), L"$1FF");
    EXPECT_EQ(notices->Modified, 0);
}

TEST_F(MessageBlockFrame, DeletingSelectsTheSameRowOrTheOneBeforeAndOnlyWhileTheGridHasTheFocus) {
    ClickMemo();
    EXPECT_FALSE(frame->aMessageDelete->Enabled());
    ClickCell(1, 2);
    ASSERT_TRUE(frame->aMessageDelete->Enabled());
    ClickButton(frame->sbMessageDelete);
    ASSERT_EQ(block->Count(), 2);
    EXPECT_EQ(block->Comments(1), L"Comment 2");
    EXPECT_EQ(frame->MessageIndex(), 1);
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"$100", L"$101"}));
    EXPECT_EQ(notices->Modified, 1);
    ClickButton(frame->sbMessageDelete); // the last row: the one before is selected
    ASSERT_EQ(block->Count(), 1);
    EXPECT_EQ(frame->MessageIndex(), 0);
    EXPECT_EQ(block->Comments(0), L"Comment 0");
}

TEST_F(MessageBlockFrame, TheOneMessageLeftIsDeletedWithItsBlockOnlyWhenTheQuestionIsAnsweredOK) {
    block->Delete(2);
    block->Delete(1);
    frame->SetMessageBlock(block);
    TDeleteRequests requests;
    frame->SetDoDeleteBlock(TNotifyEvent::Of<&TDeleteRequests::Request>(&requests));
    TModals modals;
    TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
    ClickCell(1, 1);
    modals.BoxAnswer = IDCANCEL;
    ClickButton(frame->sbMessageDelete);
    EXPECT_EQ(modals.Boxes, std::vector<std::wstring>{SDeleteLastMessage});
    EXPECT_EQ(requests.Count, 0);
    EXPECT_EQ(block->Count(), 1);
    modals.BoxAnswer = IDOK;
    requests.Document = &document;
    requests.Block = block;
    ClickButton(frame->sbMessageDelete);
    EXPECT_EQ(requests.Count, 1);
    EXPECT_EQ(requests.Sender, nullptr);
    EXPECT_EQ(document.MessageTable().BlockCount(), 0);
    EXPECT_EQ(frame->MessageBlock(), nullptr);
}

TEST_F(MessageBlockFrame, MovesExchangeTwoMessagesAndTheOthersKeepTheirPlaces) {
    // Five messages; a locale no longer used keeps its texts with their messages.
    for (int i = 3; i < 5; ++i) {
        block->SetMessages(kEnglish, i, L"English " + std::to_wstring(i));
        block->SetComments(i, L"Comment " + std::to_wstring(i));
    }
    for (int i = 0; i < 5; ++i) block->SetMessages(1036, i, L"Francais " + std::to_wstring(i));
    frame->SetMessageBlock(block);
    auto comments = [&] {
        std::wstring s;
        for (int i = 0; i < block->Count(); ++i) s += block->Comments(i).substr(8);
        return s;
    };
    ClickCell(1, 3);
    ClickButton(frame->sbMessageMoveTop);
    EXPECT_EQ(comments(), L"21034");
    EXPECT_EQ(frame->MessageIndex(), 0);
    EXPECT_EQ(block->Messages(1036, 0), L"Francais 2");
    EXPECT_EQ(block->Messages(kGerman, 2), L"Deutsch 0");
    // The default name moves as the explicit name it was.
    EXPECT_EQ(block->Names(0), L"Block_0100_Message_102");
    EXPECT_EQ(frame->vleMessages->Values(L"$100"), L"Block_0100_Message_102");
    ClickButton(frame->sbMessageMoveDown);
    EXPECT_EQ(comments(), L"12034");
    EXPECT_EQ(frame->MessageIndex(), 1);
    ClickButton(frame->sbMessageMoveBottom);
    EXPECT_EQ(comments(), L"14032");
    EXPECT_EQ(frame->MessageIndex(), 4);
    EXPECT_EQ(block->Names(4), L"Block_0100_Message_102");
    EXPECT_EQ(block->Names(0), L"DiskFull");
    EXPECT_FALSE(frame->aMessageMoveDown->Enabled());
    EXPECT_FALSE(frame->aMessageMoveBottom->Enabled());
    ClickButton(frame->sbMessageMoveUp);
    EXPECT_EQ(comments(), L"14023");
    EXPECT_EQ(frame->MessageIndex(), 3);
    EXPECT_EQ(frame->vleMessages->Row(), 4);
    EXPECT_EQ(notices->Modified, 4);
    EXPECT_EQ(GridNames()[3], block->Names(3));
}

TEST_F(MessageBlockFrame, TheStartIdAndPrefixComeFromThePropertiesDialog) {
    TModals modals;
    bool disabled = true;
    modals.OnForm = [&](TMessageBlockProperties* dialog) {
        disabled = !dialog->edLowId->Enabled();
        EXPECT_EQ(dialog->edLowId->GetText(), L"00000100");
        EXPECT_EQ(dialog->edMessageNamePrefix->GetText(), L"Block_0100");
        dialog->edLowId->SetText(L"3a0");
        dialog->edMessageNamePrefix->SetText(L"Disk");
        SendMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
    };
    TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
    ClickButton(frame->sbBlockConfigure);
    EXPECT_FALSE(disabled);
    EXPECT_TRUE(modals.Boxes.empty());
    EXPECT_EQ(block->LowId(), 0x3A0u);
    EXPECT_EQ(block->MessageNamePrefix(), L"Disk");
    EXPECT_EQ(Keys(), (std::vector<std::wstring>{L"$3A0", L"$3A1", L"$3A2"}));
    EXPECT_EQ(GridNames()[0], L"Disk_Message_3A0");
    EXPECT_EQ(notices->Blocks, std::vector<TMessageBlock*>{block});
}

TEST_F(MessageBlockFrame, TheDialogRefusesAStartIdThatDoesNotFitAndChangesNothing) {
    TMessageBlock* other = document.AddBlock(); // $200
    document.AddMessage(other);
    notices->Modified = 0;
    const struct {
        std::wstring Typed, Prefix, Box;
    } cases[] = {
        {L"12G", L"Block_0100", L"\"12G\" is not a hexadecimal message ID"},
        {L"$100", L"Block_0100", L"\"$100\" is not a hexadecimal message ID"},
        {L"100000000", L"Block_0100", L"\"100000000\" is not a hexadecimal message ID"},
        {L"1", L"Block_0100", L"The ID 1 is kept for the categories block"},
        {L"1FF", L"Block_0100", L"The IDs 01FF - 0201 overlap the block Block_0200 (0200 - 0201)"},
        {L"FFFFFFFE", L"Block_0100",
         L"The 3 messages of the block starting at FFFFFFFE would pass the last message ID FFFFFFFF"},
        {L"500", L"Disk full", L"\"Disk full\" is not a valid identifier"},
    };
    for (const auto& c : cases) {
        TModals modals;
        TMessageBlockProperties* shown = nullptr;
        modals.OnForm = [&](TMessageBlockProperties* dialog) {
            shown = dialog;
            dialog->edLowId->SetText(c.Typed);
            dialog->edMessageNamePrefix->SetText(c.Prefix);
            SendMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
        };
        // The dialog stays open after the box; the user gives up.
        modals.AfterBox = [&] { PostMessageW(shown->btCancel->Handle(), BM_CLICK, 0, 0); };
        TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
        ClickButton(frame->sbBlockConfigure);
        EXPECT_EQ(modals.Boxes, std::vector<std::wstring>{c.Box}) << ToUtf8(c.Typed);
        EXPECT_EQ(block->LowId(), 0x100u);
        EXPECT_EQ(block->MessageNamePrefix(), L"Block_0100");
    }
    EXPECT_EQ(Keys().front(), L"$100");
    EXPECT_EQ(notices->Modified, 0);
}

TEST_F(MessageBlockFrame, AfterARefusalTheCorrectedStartIdIsTaken) {
    TModals modals;
    TMessageBlockProperties* shown = nullptr;
    modals.OnForm = [&](TMessageBlockProperties* dialog) {
        shown = dialog;
        dialog->edLowId->SetText(L"zz");
        SendMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
    };
    modals.AfterBox = [&] {
        shown->edLowId->SetText(L"0000FF00");
        PostMessageW(shown->btOK->Handle(), BM_CLICK, 0, 0);
    };
    TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
    ClickButton(frame->sbBlockConfigure);
    EXPECT_EQ(modals.Boxes.size(), 1u);
    EXPECT_EQ(block->LowId(), 0xFF00u);
    // A new start id gives the default prefix, then the dialog's prefix is taken.
    EXPECT_EQ(block->MessageNamePrefix(), L"Block_0100");
}

TEST_F(MessageBlockFrame, TheCategoriesBlockKeepsItsStartId) {
    document.SetUseCategories(true);
    TMessageBlock* categories = document.CategoriesBlock();
    frame->SetMessageBlock(categories);
    TModals modals;
    bool enabled = true;
    modals.OnForm = [&](TMessageBlockProperties* dialog) {
        enabled = dialog->edLowId->Enabled();
        dialog->edMessageNamePrefix->SetText(L"Category");
        SendMessageW(dialog->btOK->Handle(), BM_CLICK, 0, 0);
    };
    TModalHookScope hook([&](const TModalWindow& m) { modals.Hook(m); });
    ClickButton(frame->sbBlockConfigure);
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(modals.Boxes.empty());
    EXPECT_EQ(categories->LowId(), 1u);
    EXPECT_EQ(Keys().front(), L"$01");
}

TEST_F(MessageBlockFrame, ADeletedBlockIsDroppedByEveryFrameShowingIt) {
    TMessageBlockFrame* second = Create<TMessageBlockFrame>(form.get());
    second->SetParent(form.get());
    second->SetBounds(0, 0, 10, 10);
    second->SetDocument(&document);
    second->SetMessageBlock(block);
    ClickTab(1);
    TypeIntoMemo(L"Gone with the block");
    document.DeleteBlock(block);
    EXPECT_EQ(frame->MessageBlock(), nullptr);
    EXPECT_EQ(second->MessageBlock(), nullptr);
    EXPECT_EQ(frame->vleMessages->Strings()->Count(), 0);
    EXPECT_FALSE(frame->aMessageAdd->Enabled());
    // A tick after that (it follows the new font) and a repaint find nothing to touch.
    const int modified = notices->Modified;
    const SIZE before = frame->PreviewTextExtent();
    frame->pbPreview->Font()->SetHeight(-20);
    frame->pbPreview->Invalidate();
    ASSERT_TRUE(PumpUntil([&] { return frame->PreviewTextExtent().cy != before.cy; }, 3000));
    PumpPending();
    EXPECT_EQ(notices->Modified, modified);
}

TEST_F(MessageBlockFrame, ANoticeWithoutABlockDropsAShownBlockNoLongerInTheTable) {
    TMessageBlock* other = document.AddBlock();
    frame->SetMessageBlock(other);
    document.BeginUpdate();
    document.DeleteBlock(other);
    document.ModifyMessages(block);
    EXPECT_EQ(frame->MessageBlock(), other); // nothing told yet
    document.EndUpdate();
    EXPECT_EQ(frame->MessageBlock(), nullptr);
    // A block still in the table stays.
    frame->SetMessageBlock(block);
    document.BeginUpdate();
    document.ModifyMessages(block);
    document.AddBlock();
    document.EndUpdate();
    EXPECT_EQ(frame->MessageBlock(), block);
}

namespace {

// Whether the capture holds a pixel of the colour inside the cells from Column (Length cells
// wide) on Line, the cell of the preview font being Cell.
bool ColourInCells(TBitmap& shot, SIZE cell, int column, int length, int line, COLORREF colour) {
    for (int y = line * cell.cy; y < (line + 1) * cell.cy && y < shot.Height(); ++y)
        for (int x = column * cell.cx; x < (column + length) * cell.cx && x < shot.Width(); ++x)
            if (PixelOf(shot, x, y) == colour) return true;
    return false;
}

} // namespace

TEST_F(MessageBlockFrame, ThePreviewShowsTheConstantsInTheirColoursAtTheirColumns) {
    block->Delete(2);
    block->SetMessages(kEnglish, 0, L"Two\r\nlines");
    // A short prefix keeps the ids within the visible part of the preview.
    block->SetMessageNamePrefix(L"B");
    frame->SetMessageBlock(block);
    PumpPending();
    std::unique_ptr<TBitmap> shot = CaptureControl(frame->sbPreview);
    SaveCapture(*shot, L"MessageBlockFrame_preview");
    const SIZE cell = frame->PreviewTextExtent();
    ASSERT_GT(cell.cx, 0);
    // The lines of a message, as the preview lays them out: its comment lines, the const line,
    // "(*", for each used locale its text lines and an empty line, "*)" and an empty line.
    const std::wstring name0 = L"B_Message_100", name1 = L"DiskFull";
    const int const0 = 1;                   // after one comment line
    const int const1 = 1 + 1 + 1 + (2 + 1) + (1 + 1) + 1 + 1 + 1;
    struct TCells {
        int Column, Length, Line;
        COLORREF Colour;
    };
    const TCells cells[] = {
        {0, 5, const0, RGB(255, 255, 255)},                                        // const
        {6, static_cast<int>(name0.size()), const0, RGB(255, 255, 0)},            // the name
        {6 + static_cast<int>(name0.size()) + 1, 1, const0, RGB(255, 255, 255)}, // =
        {6 + static_cast<int>(name0.size()) + 3, 4, const0, RGB(0, 255, 255)},   // $100
        {0, 5, const1, RGB(255, 255, 255)},
        {6, static_cast<int>(name1.size()), const1, RGB(255, 255, 0)},
        {6 + static_cast<int>(name1.size()) + 3, 4, const1, RGB(0, 255, 255)},   // $101
        {0, 2, const0 - 1, RGB(192, 192, 192)},                                  // "// "
        {4, 3, const0 + 2, RGB(192, 192, 192)},                                  // Two
        {4, 5, const0 + 3, RGB(192, 192, 192)},                                  // lines
    };
    for (const TCells& c : cells)
        EXPECT_TRUE(ColourInCells(*shot, cell, c.Column, c.Length, c.Line, c.Colour))
            << c.Column << "," << c.Line << " " << std::hex << c.Colour;
    // The yellow of the names starts at column 6, and the ground is navy.
    EXPECT_FALSE(ColourInCells(*shot, cell, 0, 6, const0, RGB(255, 255, 0)));
    EXPECT_EQ(PixelOf(*shot, shot->Width() - 3, shot->Height() - 3), ColorToRGB(clNavy));
    EXPECT_EQ(PixelOf(*shot, 28 * cell.cx, const0 * cell.cy + cell.cy / 2), ColorToRGB(clNavy));
    // Every painted line fits: 4 lines and one per used locale besides the texts and comments.
    EXPECT_EQ(frame->PreviewHeight(), 1 + 2 + 1 + 4 + 2 + 1 + 1 + 1 + 4 + 2);
    EXPECT_GE(frame->pbPreview->Height(), frame->PreviewHeight() * cell.cy);

    // A new name shows at once, and the preview grows to hold it.
    ClickCell(1, 2);
    ClearFocusedEdit();
    const std::wstring longName = L"TheDiskHoldingTheLogFilesIsFullNowAndNothingMoreCanBeWritten";
    TypeText(longName);
    PressKeys({VK_RETURN});
    EXPECT_GE(frame->PreviewWidth(), static_cast<int>(longName.size()) + 20);
    shot = CaptureControl(frame->sbPreview);
    SaveCapture(*shot, L"MessageBlockFrame_preview_renamed");
    EXPECT_TRUE(ColourInCells(*shot, cell, 6, 10, const1, RGB(255, 255, 0)));
}

TEST_F(MessageBlockFrame, TheMemoIsMoneyGreen) {
    ClickTab(1);
    std::unique_ptr<TBitmap> shot = CaptureControl(frame->mMessageEditor);
    SaveCapture(*shot, L"MessageBlockFrame_memo");
    EXPECT_EQ(PixelOf(*shot, shot->Width() / 2, shot->Height() / 2), RGB(0xC0, 0xDC, 0xC0));
}

TEST_F(MessageBlockFrame, AFreedFrameTakesWhatWasTypedAndLeavesItsDocument) {
    frame->tmMessageEditor->SetEnabled(false);
    ClickTab(1);
    TypeIntoMemo(L"Last words");
    const int views = document.ViewCount();
    form.reset();
    EXPECT_EQ(document.ViewCount(), views - 1);
    EXPECT_EQ(block->Messages(kEnglish, 0), L"Last words");
    document.AddBlock(); // would reach the freed frame
}
