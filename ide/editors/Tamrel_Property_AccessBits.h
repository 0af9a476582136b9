// The design-time editor of a whole access-bits table (the published MaskData of a TrkAccessBits):
// a modal form with the 32 bits in a grid, loading and saving them in INI files, taking them from
// a template and adding them to the user-defined templates.
#pragma once

#include "ide/editors/BitGrid.h"
#include "ide/editors/EditorsApi.h"
#include "ide/framework/DesignEditors.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"

#include <memory>

namespace tamrel {

class TAMRELWIZ_API TRkAccessBitsEditorForm : public TForm {
    TAMREL_CLASS(TRkAccessBitsEditorForm, TForm)
public:
    explicit TRkAccessBitsEditorForm(TComponent* AOwner);
    ~TRkAccessBitsEditorForm() override;

    TLabel* LbMaskBits = nullptr;
    TStringGrid* GrMaskBits = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;
    TButton* BnLoad = nullptr;
    TButton* BnSave = nullptr;
    TButton* BnGetTemplate = nullptr;
    TButton* BnAddTemplate = nullptr;
    TButton* BnManageTemplates = nullptr;
    TButton* BnHelp = nullptr;

    // The form's own set; writing copies a set in and shows it.
    TrkAccessBits* AccessMask() const { return FAccessMask.get(); }
    void SetAccessMask(TrkAccessBits* Value);

    void FormCreate(TObject* Sender);
    void BnLoadClick(TObject* Sender);
    void BnSaveClick(TObject* Sender);
    void BnGetTemplateClick(TObject* Sender);
    void BnAddTemplateClick(TObject* Sender);
    void BnManageTemplatesClick(TObject* Sender);

private:
    std::unique_ptr<TrkAccessBits> FAccessMask;
    std::unique_ptr<TBitGrid> FGrid;
};

class TAMRELWIZ_API TAccessBitsPropertyEditor : public TPropertyEditor {
public:
    TPropertyAttributes GetAttributes() override;
    void Edit() override;
};

// Runs the open (file must exist) or save (its folder must exist) dialog for INI files; true with
// the chosen name when the user pressed OK.
TAMRELWIZ_API bool ExecuteIniFileDialog(bool save, TCustomForm* owner, std::wstring& fileName);

TAMRELWIZ_API void Tamrel_Property_AccessBits_DoRegister();

} // namespace tamrel
