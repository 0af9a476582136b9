#include "ide/editors/Tamrel_Property_AccessBits.h"

#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"
#include "ide/editors/Tamrel_SelectAccessBits.h"
#include "ide/editors/Tamrel_SelectAccessBitsTemplate.h"

#include "host/FileDialog.h"
#include "host/SysUtils.h"

namespace tamrel {

bool ExecuteIniFileDialog(bool save, TCustomForm* owner, std::wstring& fileName) {
    static const wchar_t kFilter[] = L"Ini files (*.ini)\0*.ini\0All files (*.*)\0*.*\0";
    std::vector<wchar_t> buffer(MAX_PATH * 4, L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner ? owner->Handle() : nullptr;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrDefExt = L"INI";
    ofn.Flags = OFN_ENABLESIZING | (save ? OFN_PATHMUSTEXIST | OFN_HIDEREADONLY : OFN_FILEMUSTEXIST);
    if (!ShowFileDialog(ofn, save)) return false;
    fileName = buffer.data();
    return true;
}

namespace {

// The section picker on a file; true with the section (as typed) on OK.
bool AskSection(const std::wstring& fileName, std::wstring& section) {
    TOwnedPtr<TRkSelectAccessBitsForm> picker(Create<TRkSelectAccessBitsForm>(nullptr));
    TIniFile ini(fileName);
    picker->SetIniFile(&ini);
    if (picker->ShowModal() != mrOk) return false;
    section = picker->Section();
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The form

TAMREL_IMPLEMENT_CLASS(TRkAccessBitsEditorForm) {
    using F = TRkAccessBitsEditorForm;
    b.Field(L"LbMaskBits", &F::LbMaskBits);
    b.Field(L"GrMaskBits", &F::GrMaskBits);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"BnLoad", &F::BnLoad);
    b.Field(L"BnSave", &F::BnSave);
    b.Field(L"BnGetTemplate", &F::BnGetTemplate);
    b.Field(L"BnAddTemplate", &F::BnAddTemplate);
    b.Field(L"BnManageTemplates", &F::BnManageTemplates);
    b.Field(L"BnHelp", &F::BnHelp);
    b.Method<&F::FormCreate>(L"FormCreate");
    b.Method<&F::BnLoadClick>(L"BnLoadClick");
    b.Method<&F::BnSaveClick>(L"BnSaveClick");
    b.Method<&F::BnGetTemplateClick>(L"BnGetTemplateClick");
    b.Method<&F::BnAddTemplateClick>(L"BnAddTemplateClick");
    b.Method<&F::BnManageTemplatesClick>(L"BnManageTemplatesClick");
}

TRkAccessBitsEditorForm::TRkAccessBitsEditorForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TLabel::StaticClassInfo(), &TStringGrid::StaticClassInfo(), &TButton::StaticClassInfo()});
}

TRkAccessBitsEditorForm::~TRkAccessBitsEditorForm() { DestroyComponents(); }

void TRkAccessBitsEditorForm::FormCreate(TObject*) {
    FAccessMask = std::make_unique<TrkAccessBits>();
    FGrid = std::make_unique<TBitGrid>(GrMaskBits, true);
    FGrid->Prepare(Font(), 220);
    FGrid->Show(FAccessMask.get());
}

void TRkAccessBitsEditorForm::SetAccessMask(TrkAccessBits* Value) {
    FAccessMask->Assign(Value);
    FGrid->Show(FAccessMask.get());
}

void TRkAccessBitsEditorForm::BnLoadClick(TObject*) {
    std::wstring file, section;
    if (!ExecuteIniFileDialog(false, this, file) || !AskSection(file, section)) return;
    FAccessMask->LoadFromIni(file, section);
    FGrid->Show(FAccessMask.get());
}

void TRkAccessBitsEditorForm::BnSaveClick(TObject*) {
    std::wstring file, section;
    if (!ExecuteIniFileDialog(true, this, file) || !AskSection(file, section)) return;
    GrMaskBits->HideEditor();
    FAccessMask->SaveToIni(file, section);
}

void TRkAccessBitsEditorForm::BnGetTemplateClick(TObject*) {
    TOwnedPtr<TRkSelectAccessBitsTemplateForm> picker(Create<TRkSelectAccessBitsTemplateForm>(nullptr));
    picker->SetAccessMask(FAccessMask.get());
    if (picker->ShowModal() != mrOk) return;
    SetAccessMask(picker->AccessMask());
}

void TRkAccessBitsEditorForm::BnAddTemplateClick(TObject*) {
    const std::wstring file = GetMaskTemplateFileName();
    std::wstring section;
    if (!AskSection(file, section) || Trim(section).empty()) return;
    GrMaskBits->HideEditor();
    SaveMaskTemplate(file, section, *FAccessMask);
    // An open manager would otherwise write its older copy back on its next Save.
    if (TRkManageAccessBitsTemplateForm* manager = MaskTemplateManager()) manager->TemplateSaved(section, *FAccessMask);
}

void TRkAccessBitsEditorForm::BnManageTemplatesClick(TObject*) { ShowMaskTemplateManager(); }

// ---------------------------------------------------------------------------------------------
// The property editor

TPropertyAttributes TAccessBitsPropertyEditor::GetAttributes() { return {paDialog}; }

void TAccessBitsPropertyEditor::Edit() {
    auto* bits = dynamic_cast<TrkAccessBits*>(GetComponent(0));
    if (!bits) return;
    TOwnedPtr<TRkAccessBitsEditorForm> form(Create<TRkAccessBitsEditorForm>(nullptr));
    form->SetAccessMask(bits);
    if (form->ShowModal() != mrOk) return;
    bits->Assign(form->AccessMask());
    Modified();
}

void Tamrel_Property_AccessBits_DoRegister() {
    RegisterPropertyEditor(TPropertyType::Object(TObject::StaticClassInfo()), &TrkAccessBits::StaticClassInfo(), L"MaskData",
                           PropertyEditorClass<TAccessBitsPropertyEditor>(L"TAccessBitsPropertyEditor"));
}

} // namespace tamrel
