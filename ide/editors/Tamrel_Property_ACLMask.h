// The design-time editors of the DACL and SACL masks of a security descriptor dialog: the limit
// as "$" and 8 hexadecimal digits in the inspector, and a modal form that offers all 32 bits of
// the dialog's bit set, named or numbered.
#pragma once

#include "ide/editors/EditorsApi.h"
#include "ide/editors/Tamrel_Property_AccessMask.h"
#include "ide/framework/DesignEditors.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "runtime/controls/Tamrel_Masks.h"
#include "runtime/controls/Tamrel_SecurityDescriptorDialog.h"

namespace tamrel {

class TAMRELWIZ_API TRkACLMaskPropertyEditorForm : public TRkMaskPropertyEditorForm {
    TAMREL_CLASS(TRkACLMaskPropertyEditorForm, TRkMaskPropertyEditorForm)
public:
    explicit TRkACLMaskPropertyEditorForm(TComponent* AOwner) : TRkMaskPropertyEditorForm(AOwner) {}
};

class TAMRELWIZ_API TACLMaskPropertyEditor : public TIntegerProperty {
public:
    // "$" and the dialog's limit as 8 upper-case hexadecimal digits; empty for another class.
    std::wstring GetValue() override;
    void Edit() override;
    TPropertyAttributes GetAttributes() override;
    // The inspected object when it is a security descriptor dialog, else null.
    TrkSecurityDescriptorDialog* Component() const;

private:
    // Which of the dialog's two limits the editor's class stands for.
    bool IsSACL() const;
};

class TAMRELWIZ_API TDACLMaskPropertyEditor : public TACLMaskPropertyEditor {};
class TAMRELWIZ_API TSACLMaskPropertyEditor : public TACLMaskPropertyEditor {};

// Registers the DACL and SACL mask editors with the environment.
TAMRELWIZ_API void Tamrel_Property_ACLMask_DoRegister();

} // namespace tamrel
