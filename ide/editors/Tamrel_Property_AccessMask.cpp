#include "ide/editors/Tamrel_Property_AccessMask.h"

#include "ide/editors/Tamrel_Property_AccessBits.h"

#include "host/SysUtils.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TRkMaskPropertyEditorForm) {
    using F = TRkMaskPropertyEditorForm;
    b.Field(L"LbMaskBits", &F::LbMaskBits);
    b.Field(L"SAE", &F::SAE);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"BnHelp", &F::BnHelp);
    b.Field(L"BnLoad", &F::BnLoad);
    b.Field(L"BnSave", &F::BnSave);
    b.Field(L"BnGetTemplate", &F::BnGetTemplate);
    b.Field(L"BnAddTemplate", &F::BnAddTemplate);
    b.Field(L"BnManageTemplates", &F::BnManageTemplates);
    b.Method<&F::SAEClick>(L"SAEClick");
    b.Method<&F::BnLoadClick>(L"BnLoadClick");
}

TRkMaskPropertyEditorForm::TRkMaskPropertyEditorForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TLabel::StaticClassInfo(), &TrkSpecialAccessEditor::StaticClassInfo(), &TButton::StaticClassInfo()});
}

void TRkMaskPropertyEditorForm::SAEClick(TObject*) { BnOK->SetEnabled(SAE->AccessMask() != 0); }

void TRkMaskPropertyEditorForm::BnLoadClick(TObject*) {
    std::wstring ignored;
    ExecuteIniFileDialog(false, this, ignored);
}

TAMREL_IMPLEMENT_CLASS(TRkAccessMaskPropertyEditorForm) {
    using F = TRkAccessMaskPropertyEditorForm;
    b.Field(L"LbMaskCaption", &F::LbMaskCaption);
    b.Field(L"EdMaskCaption", &F::EdMaskCaption);
}

TRkAccessMaskPropertyEditorForm::TRkAccessMaskPropertyEditorForm(TComponent* AOwner)
    : TRkMaskPropertyEditorForm(AOwner) {
    RegisterClasses({&TEdit::StaticClassInfo()});
}

std::wstring TAccessMaskPropertyEditor::GetValue() {
    return L"$" + IntToHex(static_cast<uint32_t>(GetOrdValue()), 8);
}

TPropertyAttributes TAccessMaskPropertyEditor::GetAttributes() {
    TPropertyAttributes attributes = TIntegerProperty::GetAttributes();
    attributes.Exclude(paMultiSelect);
    attributes.Include(paDialog);
    return attributes;
}

void TAccessMaskPropertyEditor::Edit() {
    auto* item = dynamic_cast<TrkAccessMask*>(GetComponent(0));
    auto* masks = item ? dynamic_cast<TrkAccessMasks*>(item->Collection()) : nullptr;
    if (!masks) return;
    TOwnedPtr<TRkAccessMaskPropertyEditorForm> form(Create<TRkAccessMaskPropertyEditorForm>(nullptr));
    if (masks->MaskBits()) form->SAE->SetMaskBits(masks->MaskBits());
    form->SAE->SetAccessMask(item->AccessMask());
    form->EdMaskCaption->SetText(item->MaskCaption());
    form->SAEClick(form->SAE);
    if (form->ShowModal() != mrOk) return;
    item->SetMaskCaption(form->EdMaskCaption->GetText());
    item->SetAccessMask(form->SAE->AccessMask());
    // Once, with the values written.
    Modified();
}

void Tamrel_Property_AccessMask_DoRegister() {
    RegisterPropertyEditor(TPropertyType::Ordinal(TTypeKind::Cardinal), &TrkAccessMask::StaticClassInfo(), L"AccessMask",
                           PropertyEditorClass<TAccessMaskPropertyEditor>(L"TAccessMaskPropertyEditor"));
}

} // namespace tamrel
