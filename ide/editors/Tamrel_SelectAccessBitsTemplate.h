// The template picker: shows the standard templates or the user-defined ones, and the bits of the
// chosen one; a caller writes a bit set in, shows the form and reads the chosen set back.
#pragma once

#include "ide/editors/BitGrid.h"
#include "ide/editors/EditorsApi.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"

#include <memory>

namespace tamrel {

class TAMRELWIZ_API TRkSelectAccessBitsTemplateForm : public TForm {
    TAMREL_CLASS(TRkSelectAccessBitsTemplateForm, TForm)
public:
    explicit TRkSelectAccessBitsTemplateForm(TComponent* AOwner);
    ~TRkSelectAccessBitsTemplateForm() override;

    TRadioButton* RbStandard = nullptr;
    TRadioButton* RbUser = nullptr;
    TComboBox* CbTemplates = nullptr;
    TLabel* LbPreview = nullptr;
    TStringGrid* GrMaskBits = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;
    TButton* BnHelp = nullptr;

    // The form's own set; writing copies a set in and shows it.
    TrkAccessBits* AccessMask() const { return FAccessMask.get(); }
    void SetAccessMask(TrkAccessBits* Value);
    TrkAccessMaskType AccessMaskType() const { return FAccessMask->MaskType(); }
    void SetAccessMaskType(TrkAccessMaskType Value);

    void FormCreate(TObject* Sender);
    void RbTemplatesClick(TObject* Sender);
    void CbTemplatesChange(TObject* Sender);

private:
    void FillList();
    void ShowBits();
    std::unique_ptr<TrkAccessBits> FAccessMask;
    std::unique_ptr<TBitGrid> FGrid;
};

} // namespace tamrel
