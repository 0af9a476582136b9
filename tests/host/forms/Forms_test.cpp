// Forms: made from their stored form, shown modally under the modal hook (buttons, Enter, Esc,
// nesting, the watchdog), released after their pending messages, closed through their events.
#include "host/forms/Forms.h"

#include "host/forms/Capture.h"
#include "host/MessageBox.h"
#include "host/forms/StdCtrls.h"
#include "host/Streaming.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace tamrel {

// The form of StoredTestForm.txt, embedded in this program.
class TStoredTestForm : public TForm {
    TAMREL_CLASS(TStoredTestForm, TForm)
public:
    explicit TStoredTestForm(TComponent* owner) : TForm(owner) {}
    TPanel* TopPanel = nullptr;
    TLabel* NameLabel = nullptr;
    TEdit* NameEdit = nullptr;
    TListBox* Choices = nullptr;
    TComboBox* Kinds = nullptr;
    TCheckBox* Agree = nullptr;
    TButton* OkButton = nullptr;
    TButton* CancelButton = nullptr;
    int OkClicks = 0;
    void OkButtonClick(TObject*) { ++OkClicks; }
};

TAMREL_IMPLEMENT_CLASS(TStoredTestForm) {
    b.Field(L"TopPanel", &TStoredTestForm::TopPanel);
    b.Field(L"NameLabel", &TStoredTestForm::NameLabel);
    b.Field(L"NameEdit", &TStoredTestForm::NameEdit);
    b.Field(L"Choices", &TStoredTestForm::Choices);
    b.Field(L"Kinds", &TStoredTestForm::Kinds);
    b.Field(L"Agree", &TStoredTestForm::Agree);
    b.Field(L"OkButton", &TStoredTestForm::OkButton);
    b.Field(L"CancelButton", &TStoredTestForm::CancelButton);
    b.Method<&TStoredTestForm::OkButtonClick>(L"OkButtonClick");
}

// A frame of StoredTestFrame.txt.
class TStoredTestFrame : public TFrame {
    TAMREL_CLASS(TStoredTestFrame, TFrame)
public:
    explicit TStoredTestFrame(TComponent* owner) : TFrame(owner) {}
    TEdit* FrameEdit = nullptr;
};

TAMREL_IMPLEMENT_CLASS(TStoredTestFrame) { b.Field(L"FrameEdit", &TStoredTestFrame::FrameEdit); }

// A form that notes the private messages it handles and whether it was whole then.
class TReleaseTestForm : public TForm {
    TAMREL_CLASS(TReleaseTestForm, TForm)
public:
    explicit TReleaseTestForm(TComponent* owner) : TForm(owner) {}
    std::vector<std::string>* Log = nullptr;
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_APP + 5 && Log) Log->push_back("message");
        TForm::WndProc(m);
    }
};

TAMREL_IMPLEMENT_CLASS(TReleaseTestForm) {}

// Hears of a component's destruction.
class TWatcher : public TComponent {
    TAMREL_CLASS(TWatcher, TComponent)
public:
    explicit TWatcher(TComponent* owner) : TComponent(owner) {}
    std::vector<std::string>* Log = nullptr;
    bool Gone = false;
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove && c != this) {
            Gone = true;
            if (Log) Log->push_back("freed");
        }
    }
};

TAMREL_IMPLEMENT_CLASS(TWatcher) {}

} // namespace tamrel

namespace {


TEST(StoredForm, MakesItsControlsWithTheStoredValues) {
    TOwned<TStoredTestForm> form(Create<TStoredTestForm>(nullptr));
    EXPECT_EQ(form->Name(), L"StoredTestForm");
    EXPECT_EQ(form->Caption(), L"Stored form");
    EXPECT_EQ(form->BorderStyle(), bsDialog);
    EXPECT_EQ(form->Position(), poScreenCenter);
    ASSERT_TRUE(form->TopPanel && form->NameLabel && form->NameEdit && form->Choices && form->Kinds && form->Agree &&
                form->OkButton && form->CancelButton);
    EXPECT_FALSE(form->HandleAllocated()); // nothing is made before it is needed
    EXPECT_EQ(form->TopPanel->Parent(), form.get());
    EXPECT_EQ(form->NameEdit->Parent(), form->TopPanel);
    EXPECT_EQ(form->NameLabel->Parent(), form->TopPanel);
    EXPECT_EQ(form->NameEdit->Owner(), form.get());
    EXPECT_EQ(form->ActiveControl(), form->NameEdit);
    EXPECT_EQ(form->NameEdit->GetText(), L"initial");
    EXPECT_EQ(form->NameEdit->MaxLength(), 20);
    EXPECT_EQ(form->Choices->Items()->Count(), 3);
    EXPECT_EQ(form->Kinds->ItemIndex(), 1);
    EXPECT_TRUE(form->Agree->Checked());
    EXPECT_TRUE(form->OkButton->Default());
    EXPECT_EQ(form->OkButton->ModalResult(), mrOk);
    EXPECT_TRUE(form->CancelButton->Cancel());
    // The controls take the form's font.
    EXPECT_EQ(form->NameEdit->Font()->Height(), -13);
    EXPECT_TRUE(form->NameEdit->ParentFont());

    form->Show();
    ASSERT_TRUE(form->HandleAllocated());
    EXPECT_EQ(form->ClientWidth(), 360);
    EXPECT_EQ(form->ClientHeight(), 240);
    EXPECT_EQ(form->TopPanel->Width(), 360); // aligned to the top
    wchar_t text[64] = {};
    GetWindowTextW(form->NameEdit->Handle(), text, 64);
    EXPECT_STREQ(text, L"initial");
    EXPECT_EQ(SendMessageW(form->Choices->Handle(), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(form->Kinds->Handle(), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(form->Agree->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(GetParent(form->NameEdit->Handle()), form->TopPanel->Handle());
    EXPECT_EQ(GetFocus(), form->NameEdit->Handle());
    auto capture = CaptureControl(form.get(), true);
    SaveCapture(*capture, L"StoredForm");
}

TEST(StoredForm, WritesControlsNestedInTheirParents) {
    TOwned<TStoredTestForm> form(Create<TStoredTestForm>(nullptr));
    std::wstring text = ComponentToText(form.get());
    size_t panel = text.find(L"  object TopPanel: TPanel");
    size_t edit = text.find(L"    object NameEdit: TEdit");
    size_t list = text.find(L"  object Choices: TListBox");
    ASSERT_NE(panel, std::wstring::npos) << ToUtf8(text);
    ASSERT_NE(edit, std::wstring::npos) << ToUtf8(text);
    EXPECT_LT(panel, edit);
    EXPECT_LT(edit, list);
    // Read back into another form: the values come from the text.
    form->NameEdit->SetText(L"changed");
    text = ComponentToText(form.get());
    TOwned<TStoredTestForm> other(Create<TStoredTestForm>(nullptr));
    ReadComponentFromText(other.get(), text);
    EXPECT_EQ(other->NameEdit->GetText(), L"changed");
    EXPECT_EQ(other->NameEdit->Parent(), other->TopPanel);
}

TEST(StoredForm, FrameMakesItsControlsAndSitsInAForm) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    auto* frame = Create<TStoredTestFrame>(form.get());
    frame->SetParent(form.get());
    ASSERT_NE(frame->FrameEdit, nullptr);
    EXPECT_EQ(frame->FrameEdit->Owner(), frame);
    EXPECT_EQ(frame->FrameEdit->Parent(), frame);
    EXPECT_EQ(frame->Width(), 200);
    form->Show();
    wchar_t text[32] = {};
    GetWindowTextW(frame->FrameEdit->Handle(), text, 32);
    EXPECT_STREQ(text, L"frame text");
    EXPECT_EQ(GetParent(frame->Handle()), form->Handle());
}

TEST(StoredForm, FormOfALibraryIsReadFromTheLibrarysModule) {
    // The form class and its stored form live in a DLL; the program has neither.
    TProcessResult r = RunProcess(ProgramPath(L"formlib_probe.exe"));
    ASSERT_EQ(r.ExitCode, 0u) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("caption=Library form"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("button=Close;parent=LibForm"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("program has no stored form"), std::string::npos) << r.Out;
}

// ---------------------------------------------------------------------------------------------
// Modal forms

TModalResult ShowStoredModal(const std::function<void(TStoredTestForm&)>& drive, int* okClicks = nullptr) {
    TOwned<TStoredTestForm> form(Create<TStoredTestForm>(nullptr));
    TModalHookScope hook([&drive](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkForm);
        ASSERT_TRUE(IsWindowVisible(m.Window));
        drive(*static_cast<TStoredTestForm*>(m.Form));
    });
    TModalResult result = form->ShowModal();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    if (okClicks) *okClicks = form->OkClicks;
    return result;
}

TEST(ModalForm, ButtonsKeysAndTheDefaultButtonGiveTheirResults) {
    int clicks = 0;
    EXPECT_EQ(ShowStoredModal([](TStoredTestForm& f) { PostMessageW(f.OkButton->Handle(), BM_CLICK, 0, 0); }, &clicks),
              mrOk);
    EXPECT_EQ(clicks, 1);
    // Esc presses the cancel button.
    EXPECT_EQ(ShowStoredModal([](TStoredTestForm& f) {
                  PostMessageW(f.NameEdit->Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
              }),
              mrCancel);
    // Enter in the edit presses the default button.
    EXPECT_EQ(ShowStoredModal([](TStoredTestForm& f) {
                  PostMessageW(f.NameEdit->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
              }, &clicks),
              mrOk);
    EXPECT_EQ(clicks, 1);
    // Enter on a focused button presses that one.
    EXPECT_EQ(ShowStoredModal([](TStoredTestForm& f) {
                  f.CancelButton->SetFocus();
                  PostMessageW(f.CancelButton->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
              }, &clicks),
              mrCancel);
    EXPECT_EQ(clicks, 0);
    // Closing the window cancels.
    EXPECT_EQ(ShowStoredModal([](TStoredTestForm& f) { PostMessageW(f.Handle(), WM_CLOSE, 0, 0); }), mrCancel);
}

TEST(ModalForm, ShowingAVisibleFormModallyRaises) {
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->Show();
    EXPECT_THROW(form->ShowModal(), EInvalidOperation);
}

struct TNested {
    TForm* Outer = nullptr;
    TModalResult InnerResult = mrNone;
    static void OpenInner(void* ctx, TObject*) {
        auto* self = static_cast<TNested*>(ctx);
        TOwned<TForm> inner(Create<TForm>(nullptr));
        inner->SetCaption(L"Inner");
        self->InnerResult = inner->ShowModal();
        self->Outer->SetModalResult(mrOk);
    }
};

TEST(ModalForm, NestedModalFormsReachTheHookInTurn) {
    TNested nested;
    TOwned<TForm> outer(Create<TForm>(nullptr));
    outer->SetCaption(L"Outer");
    nested.Outer = outer.get();
    TButton* open = Create<TButton>(outer.get());
    open->SetParent(outer.get());
    open->SetOnClick(TNotifyEvent::FromFunction(&TNested::OpenInner, &nested));
    std::vector<std::pair<int, std::wstring>> seen;
    TModalHookScope hook([&](const TModalWindow& m) {
        seen.emplace_back(m.Depth, m.Caption);
        if (m.Depth == 1) PostMessageW(open->Handle(), BM_CLICK, 0, 0);
        else static_cast<TCustomForm*>(m.Form)->SetModalResult(mrYes);
    });
    EXPECT_EQ(outer->ShowModal(), mrOk);
    EXPECT_EQ(nested.InnerResult, mrYes);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(1, std::wstring(L"Outer")));
    EXPECT_EQ(seen[1], std::make_pair(2, std::wstring(L"Inner")));
}

TEST(ModalForm, WatchdogEndsAFormNobodyClosesWithCancel) {
    TOwned<TStoredTestForm> form(Create<TStoredTestForm>(nullptr));
    TModalHookScope hook([](const TModalWindow&) {}, 300, false);
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_EQ(hook.Fired(), 1);
    EXPECT_NE(hook.LastWatchdogText().find(L"StoredTestForm"), std::wstring::npos);
}

struct TBoxFromForm {
    int Answer = 0;
    static void ShowBox(void* ctx, TObject* sender) {
        auto* self = static_cast<TBoxFromForm*>(ctx);
        self->Answer = ShowMessageBox(static_cast<TWinControl*>(sender)->Handle(), L"Really?", L"Question", MB_YESNO);
        GetParentForm(static_cast<TControl*>(sender))->SetModalResult(mrOk);
    }
};

TEST(ModalForm, HookSeesAMessageBoxShownByAModalForm) {
    TBoxFromForm box;
    TOwned<TForm> form(Create<TForm>(nullptr));
    TButton* ask = Create<TButton>(form.get());
    ask->SetParent(form.get());
    ask->SetOnClick(TNotifyEvent::FromFunction(&TBoxFromForm::ShowBox, &box));
    std::vector<TModalKind> kinds;
    TModalHookScope hook([&](const TModalWindow& m) {
        kinds.push_back(m.Kind);
        if (m.Kind == TModalKind::mkForm) PostMessageW(ask->Handle(), BM_CLICK, 0, 0);
        else EXPECT_TRUE(ClickDialogButton(m.Window, IDNO));
    });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(box.Answer, IDNO);
    EXPECT_EQ(kinds, (std::vector<TModalKind>{TModalKind::mkForm, TModalKind::mkMessageBox}));
}

struct TShowBeside {
    TForm* Beside = nullptr;
    static void Show(void* ctx, TObject*) { static_cast<TShowBeside*>(ctx)->Beside->Show(); }
};

TEST(ModalForm, AFormShownBesideAModalOneReachesTheHookFromTheModalLoop) {
    TShowBeside beside;
    TOwned<TForm> form(Create<TForm>(nullptr));
    form->SetCaption(L"Modal");
    TOwned<TForm> modeless(Create<TForm>(nullptr));
    modeless->SetCaption(L"Beside");
    beside.Beside = modeless.get();
    TButton* open = Create<TButton>(form.get());
    open->SetParent(form.get());
    open->SetOnClick(TNotifyEvent::FromFunction(&TShowBeside::Show, &beside));
    std::vector<std::pair<TModalKind, std::wstring>> seen;
    TModalHookScope hook([&](const TModalWindow& m) {
        seen.emplace_back(m.Kind, m.Caption);
        if (m.Kind == TModalKind::mkForm) {
            SendMessageW(open->Handle(), BM_CLICK, 0, 0);
            return;
        }
        // Beside the modal form and usable: the modal loop did not disable it.
        EXPECT_EQ(m.Form, modeless.get());
        EXPECT_TRUE(IsWindowEnabled(m.Window));
        form->SetModalResult(mrOk);
    });
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(seen, (std::vector<std::pair<TModalKind, std::wstring>>{{TModalKind::mkForm, L"Modal"},
                                                                        {TModalKind::mkModelessForm, L"Beside"}}));
    // Shown again later: reported again, from whichever loop runs.
    modeless->Hide();
    modeless->Show();
    EXPECT_TRUE(PumpUntil([&] { return seen.size() == 3; }, 3000));
}

// ---------------------------------------------------------------------------------------------
// Release and close

TEST(FormLifetime, ReleaseFreesTheFormAfterItsPendingMessages) {
    std::vector<std::string> log;
    TOwned<TWatcher> watcher(Create<TWatcher>(nullptr));
    watcher->Log = &log;
    auto* form = Create<TReleaseTestForm>(nullptr);
    form->Log = &log;
    form->FreeNotification(watcher.get());
    PostMessageW(form->Handle(), WM_APP + 5, 0, 0);
    form->Release();
    EXPECT_FALSE(watcher->Gone); // not at once
    ASSERT_TRUE(PumpUntil([&] { return watcher->Gone; }));
    EXPECT_EQ(log, (std::vector<std::string>{"message", "freed"}));
}

struct TCloseHandlers {
    bool Allow = false;
    TCloseAction Action = caHide;
    int Queries = 0;
    void CloseQuery(TObject*, bool& canClose) {
        ++Queries;
        canClose = Allow;
    }
    void Close(TObject*, TCloseAction& action) { action = Action; }
};

TEST(FormLifetime, CloseAsksCloseQueryAndDoesWhatOnCloseSays) {
    TCloseHandlers h;
    TOwned<TWatcher> watcher(Create<TWatcher>(nullptr));
    auto* form = Create<TForm>(nullptr);
    form->FreeNotification(watcher.get());
    form->SetOnCloseQuery(TCloseQueryEvent::Of<&TCloseHandlers::CloseQuery>(&h));
    form->SetOnClose(TCloseEvent::Of<&TCloseHandlers::Close>(&h));
    form->Show();
    form->Close();
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(h.Queries, 1);
    h.Allow = true;
    form->Close(); // caHide
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    form->Show();
    h.Action = caFree;
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return watcher->Gone; }));
}

TEST(Screen, KnowsTheFormsAndTheActiveOne) {
    int before = Screen->FormCount();
    TOwned<TStoredTestForm> form(Create<TStoredTestForm>(nullptr));
    EXPECT_EQ(Screen->FormCount(), before + 1);
    EXPECT_EQ(Screen->Forms(before), form.get());
    form->Show();
    EXPECT_EQ(Screen->ActiveForm(), form.get());
    EXPECT_EQ(Screen->ActiveControl(), form->NameEdit);
    EXPECT_EQ(Screen->PixelsPerInch(), 96);
    form.reset();
    EXPECT_EQ(Screen->FormCount(), before);
}

} // namespace
