// The dialog of the two COM-class wizards: the new class's name, the service that hosts it, the
// kind of class factory and whether the class fires events. The caller sets the caption, shows it
// modally and releases it; OK closes it only when both names are identifiers and the class name
// is free.
#pragma once

#include "ide/editors/EditorsApi.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"

#include <functional>
#include <string>

namespace tamrel {

// The factory the new class gets.
enum class TSvcFactoryKind { Ordinary, Apartment, Singleton };

class TAMRELWIZ_API TSvcClassWizardForm : public TForm {
    TAMREL_CLASS(TSvcClassWizardForm, TForm)
public:
    explicit TSvcClassWizardForm(TComponent* AOwner);

    TGroupBox* GbxObject = nullptr;
    TLabel* LbClassName = nullptr;
    TEdit* EdClassName = nullptr;
    TLabel* LbServiceName = nullptr;
    TEdit* EdServiceName = nullptr;
    TGroupBox* GbxFactory = nullptr;
    TRadioButton* RBnOrdinary = nullptr;
    TRadioButton* RBnApartmentFactory = nullptr;
    TRadioButton* RBnSingletoneFactory = nullptr;
    TCheckBox* CBxObjectEvents = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;
    TButton* BnHelp = nullptr;

    // Answers which of the names the class would take is in use already (empty: none), given
    // the class name and the event support; the caller's look-up, unset: none is.
    std::function<std::wstring(const std::wstring& className, bool events)> TakenName;

    std::wstring ClassNameText() const { return EdClassName->GetText(); }
    std::wstring ServiceNameText() const { return EdServiceName->GetText(); }
    TSvcFactoryKind FactoryKind() const;
    bool EventSupport() const { return CBxObjectEvents->Checked(); }
    // The template parts the answers leave out, in the templates' order: the two factories not
    // chosen, the event support when it is not asked for, and the initialization when neither
    // the singleton factory nor the event support needs one.
    void GetSkipParts(TStrings* parts) const;

    // Closes with OK once both names are given and are identifiers and the class name is not
    // taken; otherwise says what is wrong and puts the focus on that name.
    void BnOKClick(TObject* Sender);
    void BnHelpClick(TObject* Sender);
    // Closing only hides the form: the caller reads the answers, then releases it.
    void FormClose(TObject* Sender, TCloseAction& Action);

private:
    void Refuse(const std::wstring& text, TEdit* edit);
};

} // namespace tamrel
