// Dialogs of add-ins: every modal form and message box shown through the host layer reaches the
// environment's modal hook, which answers it by caption, or cancels it and records the fault.
#include "tools/devenv/tamrelide/IdeState.h"

#include "host/forms/Forms.h"
#include "host/SysUtils.h"

namespace tamrel {

namespace {

const wchar_t* KindName(TModalKind kind) {
    switch (kind) {
    case TModalKind::mkForm: return L"form";
    case TModalKind::mkMessageBox: return L"box";
    case TModalKind::mkFileDialog: return L"file";
    case TModalKind::mkModelessForm: return L"modeless";
    }
    return L"?";
}

std::wstring CaptionOf(const TModalWindow& dialog) {
    if (dialog.Kind == TModalKind::mkForm || dialog.Kind == TModalKind::mkModelessForm)
        if (auto* form = dynamic_cast<TCustomForm*>(dialog.Form)) return form->Caption();
    return dialog.Caption;
}

// As a user who closes it without choosing: a form ends with mrCancel, a box or system dialog
// as if Cancel (or Esc) were pressed.
void Cancel(const TModalWindow& dialog) {
    if (dialog.Kind == TModalKind::mkForm) {
        if (auto* form = dynamic_cast<TCustomForm*>(dialog.Form)) form->SetModalResult(mrCancel);
        return;
    }
    if (!ClickDialogButton(dialog.Window, IDCANCEL)) PostMessageW(dialog.Window, WM_COMMAND, IDCANCEL, 0);
}

void Answer(const THostLink& link, const TModalWindow& dialog) {
    TIdeHostImpl* host = *link;
    // A window shown without a modal loop waits for nobody: it is no dialog to answer.
    if (!host || dialog.Kind == TModalKind::mkModelessForm) return;
    const std::wstring caption = CaptionOf(dialog);
    host->Record(L"dialog", L"shown",
                 {TextField(L"kind", KindName(dialog.Kind)), TextField(L"caption", caption), TextField(L"text", dialog.Text),
                  NumField(L"depth", dialog.Depth)},
                 L"ok");
    TIdeHost::TDialogAnswer answer;
    for (const auto& [c, a] : host->DialogAnswers)
        if (c == caption) answer = a;
    // A modeless window needs no answer: it stays open until its owner closes it.
    if (!answer && dialog.Kind == TModalKind::mkModelessForm) return;
    if (!answer) {
        host->Record(L"dialog", L"unanswered", {TextField(L"caption", caption), TextField(L"reason", L"cancelled")}, L"fault");
        Cancel(dialog);
        return;
    }
    try {
        answer(dialog);
        if (TIdeHostImpl* still = *link) still->Record(L"dialog", L"answered", {TextField(L"caption", caption)}, L"ok");
    } catch (...) {
        // The answer is the test's or the script's: its failure must not leave the dialog open.
        const std::wstring message = CurrentExceptionText();
        if (TIdeHostImpl* still = *link)
            still->Record(L"dialog", L"answered", {TextField(L"caption", caption), TextField(L"message", message)}, L"exception");
        Cancel(dialog);
    }
}

} // namespace

void TIdeHostImpl::InstallDialogDriver() {
    THostLink link = Link;
    FormerModalHook = SetModalHook([link](const TModalWindow& dialog) { Answer(link, dialog); });
    FormerWatchdogHandler = SetModalWatchdogHandler([link](const std::wstring& what) {
        if (TIdeHostImpl* host = *link) host->Record(L"dialog", L"watchdog", {TextField(L"what", what)}, L"fault");
    });
}

void TIdeHostImpl::RemoveDialogDriver() {
    SetModalHook(std::move(FormerModalHook));
    SetModalWatchdogHandler(std::move(FormerWatchdogHandler));
}

void TIdeHost::AnswerDialog(const std::wstring& caption, TDialogAnswer answer) {
    auto& answers = FImpl->DialogAnswers;
    std::erase_if(answers, [&](const auto& a) { return a.first == caption; });
    if (answer) answers.emplace_back(caption, std::move(answer));
}

void TIdeHost::ClearDialogAnswers() { FImpl->DialogAnswers.clear(); }

} // namespace tamrel
