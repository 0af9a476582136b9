// The section picker: asks for the name of a section of an INI file, offering the sections the
// file has.
#pragma once

#include "ide/editors/EditorsApi.h"

#include "host/forms/Forms.h"
#include "host/IniFiles.h"
#include "host/forms/StdCtrls.h"

namespace tamrel {

class TAMRELWIZ_API TRkSelectAccessBitsForm : public TForm {
    TAMREL_CLASS(TRkSelectAccessBitsForm, TForm)
public:
    explicit TRkSelectAccessBitsForm(TComponent* AOwner);

    TLabel* LbSection = nullptr;
    TEdit* EdSection = nullptr;
    TLabel* LbSections = nullptr;
    TListBox* LbxSections = nullptr;
    TButton* BnOK = nullptr;
    TButton* BnCancel = nullptr;
    TButton* BnHelp = nullptr;

    // The name as typed.
    std::wstring Section() const { return EdSection->GetText(); }
    // Fills the list with the file's sections (null: none).
    void SetIniFile(TIniFile* Value);

    void EdSectionChange(TObject* Sender);
    void LbxSectionsClick(TObject* Sender);
};

} // namespace tamrel
