#include "ide/wizards/Tamrel_Dialog_NewClass.h"

#include "host/MessageBox.h"
#include "host/SysUtils.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TSvcClassWizardForm) {
    using F = TSvcClassWizardForm;
    b.Field(L"GbxObject", &F::GbxObject);
    b.Field(L"LbClassName", &F::LbClassName);
    b.Field(L"EdClassName", &F::EdClassName);
    b.Field(L"LbServiceName", &F::LbServiceName);
    b.Field(L"EdServiceName", &F::EdServiceName);
    b.Field(L"GbxFactory", &F::GbxFactory);
    b.Field(L"RBnOrdinary", &F::RBnOrdinary);
    b.Field(L"RBnApartmentFactory", &F::RBnApartmentFactory);
    b.Field(L"RBnSingletoneFactory", &F::RBnSingletoneFactory);
    b.Field(L"CBxObjectEvents", &F::CBxObjectEvents);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"BnHelp", &F::BnHelp);
    b.Method<&F::BnOKClick>(L"BnOKClick");
    b.Method<&F::BnHelpClick>(L"BnHelpClick");
    b.Method<&F::FormClose>(L"FormClose");
}

TSvcClassWizardForm::TSvcClassWizardForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TGroupBox::StaticClassInfo(), &TLabel::StaticClassInfo(), &TEdit::StaticClassInfo(),
                     &TRadioButton::StaticClassInfo(), &TCheckBox::StaticClassInfo(),
                     &TButton::StaticClassInfo()});
}

TSvcFactoryKind TSvcClassWizardForm::FactoryKind() const {
    if (RBnApartmentFactory->Checked()) return TSvcFactoryKind::Apartment;
    if (RBnSingletoneFactory->Checked()) return TSvcFactoryKind::Singleton;
    return TSvcFactoryKind::Ordinary;
}

void TSvcClassWizardForm::GetSkipParts(TStrings* parts) const {
    const TSvcFactoryKind kind = FactoryKind();
    const bool events = EventSupport();
    parts->Clear();
    if (kind != TSvcFactoryKind::Ordinary) parts->Add(L"SkipOrdinaryFactory");
    if (kind != TSvcFactoryKind::Apartment) parts->Add(L"SkipThreadedFactory");
    if (kind != TSvcFactoryKind::Singleton) parts->Add(L"SkipSingletoneFactory");
    if (!events) parts->Add(L"SkipEventSupport");
    if (kind != TSvcFactoryKind::Singleton && !events) parts->Add(L"SkipInitialize");
}

void TSvcClassWizardForm::Refuse(const std::wstring& text, TEdit* edit) {
    ShowMessageBox(Handle(), text, L"Error", MB_OK | MB_ICONERROR);
    edit->SetFocus();
}

void TSvcClassWizardForm::BnOKClick(TObject*) {
    const std::wstring className = ClassNameText();
    const std::wstring serviceName = ServiceNameText();
    if (className.empty()) return Refuse(L"Class Name not specified", EdClassName);
    if (!IsValidIdent(className)) return Refuse(L"Invalid Class Name", EdClassName);
    if (const std::wstring taken = TakenName ? TakenName(className, EventSupport()) : std::wstring(); !taken.empty())
        return Refuse(Format(L"The project's type library holds \"%s\" already", taken), EdClassName);
    if (serviceName.empty()) return Refuse(L"Service Name not specified", EdServiceName);
    if (!IsValidIdent(serviceName)) return Refuse(L"Invalid Service Name", EdServiceName);
    SetModalResult(mrOk);
}

void TSvcClassWizardForm::BnHelpClick(TObject*) {
    ShowMessageBox(Handle(), L"Sorry, not available yet", L"Information", MB_OK | MB_ICONINFORMATION);
}

void TSvcClassWizardForm::FormClose(TObject*, TCloseAction& Action) {
    Action = caHide;
}

} // namespace tamrel
