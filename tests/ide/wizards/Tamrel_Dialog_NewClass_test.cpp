// The new-class dialog of the COM-class wizards, driven as a user drives it: what OK refuses and
// where it puts the focus, the help button's text, and a cancelled dialog that changes nothing.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/forms/Controls.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

struct TBox {
    std::wstring Caption, Text;
};

} // namespace

TEST(NewClassDialog, OKRefusesMissingAndInvalidNamesWithTheFocusOnTheNameAtFault) {
    TWizardsIde ide;
    const std::wstring project = ide.NewProject();
    const std::string source = ide.Host().Buffer(project);
    const std::vector<std::wstring> files = ide.Files();
    const int undo = ide.Host().UndoDepth(project);
    ide.Host().ClearRecords();

    std::vector<TBox> boxes;
    const auto answerBox = [&boxes](const TModalWindow& box) {
        boxes.push_back({box.Caption, box.Text});
        ClickDialogButton(box.Window, IDOK);
    };
    ide.Host().AnswerDialog(L"Error", answerBox);
    ide.Host().AnswerDialog(L"Information", answerBox);
    bool answered = false;
    ide.Host().AnswerDialog(L"Automation Object in Service Wizard", [&](const TModalWindow& dialog) {
        answered = true;
        auto* form = dynamic_cast<TCustomForm*>(dialog.Form);
        ASSERT_NE(nullptr, form);
        auto* className = Control<TEdit>(form, L"EdClassName");
        auto* serviceName = Control<TEdit>(form, L"EdServiceName");
        // The defaults: the plain factory, no events, the help button hidden.
        EXPECT_TRUE(Control<TRadioButton>(form, L"RBnOrdinary")->Checked());
        EXPECT_FALSE(Control<TCheckBox>(form, L"CBxObjectEvents")->Checked());
        EXPECT_FALSE(Control<TButton>(form, L"BnHelp")->Visible());
        const struct {
            const wchar_t* ClassName;
            const wchar_t* ServiceName;
            const wchar_t* Text;
            TEdit* Focus;
        } steps[] = {
            {L"", L"", L"Class Name not specified", className},
            {L"", L"Svc", L"Class Name not specified", className},
            {L"1Foo", L"Svc", L"Invalid Class Name", className},
            {L"Foo Bar", L"Svc", L"Invalid Class Name", className},
            {L"Foo", L"", L"Service Name not specified", serviceName},
            {L"Foo", L"Svc 1", L"Invalid Service Name", serviceName},
            {L"Foo", L"9Svc", L"Invalid Service Name", serviceName},
        };
        for (const auto& step : steps) {
            className->SetText(step.ClassName);
            serviceName->SetText(step.ServiceName);
            // The focus starts on the other edit, so that the refusal is what moves it.
            (step.Focus == className ? serviceName : className)->SetFocus();
            const size_t shown = boxes.size();
            Press(Control<TButton>(form, L"BnOK"));
            ASSERT_EQ(shown + 1, boxes.size()) << ToUtf8(step.Text);
            EXPECT_EQ(L"Error", boxes.back().Caption);
            EXPECT_EQ(step.Text, boxes.back().Text);
            EXPECT_EQ(step.Focus->Handle(), GetFocus()) << ToUtf8(step.Text);
            EXPECT_EQ(mrNone, form->ModalResult()) << "the dialog stays open";
        }
        // Shown, the help button says that there is no help yet.
        auto* help = Control<TButton>(form, L"BnHelp");
        help->SetVisible(true);
        Press(help);
        ASSERT_EQ(std::size(steps) + 1, boxes.size());
        EXPECT_EQ(L"Sorry, not available yet", boxes.back().Text);
        Press(Control<TButton>(form, L"BnCancel"));
    });
    ide.Run(L"Automation Object in Service");
    EXPECT_TRUE(answered);

    // Cancelled: the project is as it was, no file was made and nothing was asked of the tools.
    EXPECT_EQ(source, ide.Host().Buffer(project));
    EXPECT_EQ(undo, ide.Host().UndoDepth(project));
    EXPECT_EQ(files, ide.Files());
    EXPECT_TRUE(ide.ToolsLog().empty());
    EXPECT_TRUE(Calls(ide.Host(), L"creator").empty());
    EXPECT_TRUE(ide.Host().Faults().empty());
}

TEST(NewClassDialog, CancelInEitherWizardLeavesTheProjectAsItWas) {
    for (const auto& [wizard, caption] :
         {std::pair{L"Automation Object in Service", L"Automation Object in Service Wizard"},
          std::pair{L"Remote Data Module in Service", L"Remote Data Module in Service Wizard"}}) {
        TWizardsIde ide;
        const std::wstring project = ide.NewProject();
        const std::string source = ide.Host().Buffer(project);
        const std::vector<std::wstring> files = ide.Files();
        ide.Host().ClearRecords();
        AnswerClassDialog(ide.Host(), caption, {L"Foo", L"Svc", L"RBnOrdinary", false, true});
        ide.Run(wizard);
        EXPECT_EQ(source, ide.Host().Buffer(project));
        EXPECT_EQ(files, ide.Files());
        EXPECT_TRUE(ide.ToolsLog().empty());
        EXPECT_TRUE(Calls(ide.Host(), L"creator").empty());
        EXPECT_TRUE(Calls(ide.Host(), L"modules").empty());
        EXPECT_TRUE(ide.Host().Faults().empty());
    }
}

// The remote data module has no events: its dialog hides the event support, unchecked.
TEST(NewClassDialog, RemoteDataModuleDialogHidesTheEventSupport) {
    TWizardsIde ide;
    ide.NewProject();
    bool answered = false;
    ide.Host().AnswerDialog(L"Remote Data Module in Service Wizard", [&](const TModalWindow& dialog) {
        answered = true;
        auto* events = Control<TCheckBox>(dialog.Form, L"CBxObjectEvents");
        EXPECT_FALSE(events->Checked());
        EXPECT_FALSE(events->Enabled());
        EXPECT_FALSE(events->Visible());
        Press(Control<TButton>(dialog.Form, L"BnCancel"));
    });
    ide.Run(L"Remote Data Module in Service");
    EXPECT_TRUE(answered);
}
