// The design-time editor of one predefined mask (AccessMask of a TrkAccessMask in a TrkAccessMasks
// collection): a modal form with the mask's caption and its bits in a special-access editor.
#pragma once

#include "ide/editors/EditorsApi.h"
#include "ide/framework/DesignEditors.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "runtime/controls/Tamrel_Masks.h"

namespace tamrel {

// What the access-mask and the ACL-mask forms share: the special editor and the buttons.
class TAMRELWIZ_API TRkMaskPropertyEditorForm : public TForm {
    TAMREL_CLASS(TRkMaskPropertyEditorForm, TForm)
public:
    explicit TRkMaskPropertyEditorForm(TComponent* AOwner);

    TLabel* LbMaskBits = nullptr;
    TrkSpecialAccessEditor* SAE = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;
    TButton* BnHelp = nullptr;
    // Hidden and disabled: the form offers no files or templates.
    TButton* BnLoad = nullptr;
    TButton* BnSave = nullptr;
    TButton* BnGetTemplate = nullptr;
    TButton* BnAddTemplate = nullptr;
    TButton* BnManageTemplates = nullptr;

    // OK only for a mask that is not 0.
    void SAEClick(TObject* Sender);
    void BnLoadClick(TObject* Sender);
};

class TAMRELWIZ_API TRkAccessMaskPropertyEditorForm : public TRkMaskPropertyEditorForm {
    TAMREL_CLASS(TRkAccessMaskPropertyEditorForm, TRkMaskPropertyEditorForm)
public:
    explicit TRkAccessMaskPropertyEditorForm(TComponent* AOwner);

    TLabel* LbMaskCaption = nullptr;
    TEdit* EdMaskCaption = nullptr;
};

class TAMRELWIZ_API TAccessMaskPropertyEditor : public TIntegerProperty {
public:
    // "$" and the mask as 8 upper-case hexadecimal digits.
    std::wstring GetValue() override;
    void Edit() override;
    TPropertyAttributes GetAttributes() override;
};

TAMRELWIZ_API void Tamrel_Property_AccessMask_DoRegister();

} // namespace tamrel
