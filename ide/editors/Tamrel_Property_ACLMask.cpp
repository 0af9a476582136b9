#include "ide/editors/Tamrel_Property_ACLMask.h"

#include "host/SysUtils.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TRkACLMaskPropertyEditorForm) {}

TrkSecurityDescriptorDialog* TACLMaskPropertyEditor::Component() const {
    return PropCount() > 0 ? dynamic_cast<TrkSecurityDescriptorDialog*>(GetComponent(0)) : nullptr;
}

bool TACLMaskPropertyEditor::IsSACL() const { return dynamic_cast<const TSACLMaskPropertyEditor*>(this) != nullptr; }

std::wstring TACLMaskPropertyEditor::GetValue() {
    TrkSecurityDescriptorDialog* dialog = Component();
    if (!dialog) return {};
    return L"$" + IntToHex(IsSACL() ? dialog->SACLMask() : dialog->DACLMask(), 8);
}

TPropertyAttributes TACLMaskPropertyEditor::GetAttributes() {
    TPropertyAttributes attributes = TIntegerProperty::GetAttributes();
    attributes.Exclude(paMultiSelect);
    attributes.Include(paDialog);
    return attributes;
}

void TACLMaskPropertyEditor::Edit() {
    TrkSecurityDescriptorDialog* dialog = Component();
    if (!dialog) return;
    TOwnedPtr<TRkACLMaskPropertyEditorForm> form(Create<TRkACLMaskPropertyEditorForm>(nullptr));
    TrkAccessBits* bits = form->SAE->MaskBits();
    bits->Assign(dialog->MaskBits());
    // A limit may hold any bit, also those no template names.
    for (int i = 0; i < 32; ++i) {
        TrkAccessBit* bit = bits->MaskBit(i);
        bit->SetIsUsed(true);
        if (bit->BitName().empty()) bit->SetBitName(Format(L"Bit %2d ($%S)", i, IntToHex(uint32_t(1) << i, 8)));
    }
    form->SAE->SetAccessMask(IsSACL() ? dialog->SACLMask() : dialog->DACLMask());
    form->SAEClick(form->SAE);
    if (form->ShowModal() != mrOk) return;
    if (IsSACL()) dialog->SetSACLMask(form->SAE->AccessMask());
    else dialog->SetDACLMask(form->SAE->AccessMask());
    // Once, with the value written.
    Modified();
}

void Tamrel_Property_ACLMask_DoRegister() {
    const TPropertyType cardinal = TPropertyType::Ordinal(TTypeKind::Cardinal);
    RegisterPropertyEditor(cardinal, &TrkSecurityDescriptorDialog::StaticClassInfo(), L"DACLMask",
                           PropertyEditorClass<TDACLMaskPropertyEditor>(L"TDACLMaskPropertyEditor"));
    RegisterPropertyEditor(cardinal, &TrkSecurityDescriptorDialog::StaticClassInfo(), L"SACLMask",
                           PropertyEditorClass<TSACLMaskPropertyEditor>(L"TSACLMaskPropertyEditor"));
}

} // namespace tamrel
