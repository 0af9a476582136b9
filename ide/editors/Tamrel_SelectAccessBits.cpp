#include "ide/editors/Tamrel_SelectAccessBits.h"

#include "host/SysUtils.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TRkSelectAccessBitsForm) {
    using F = TRkSelectAccessBitsForm;
    b.Field(L"LbSection", &F::LbSection);
    b.Field(L"EdSection", &F::EdSection);
    b.Field(L"LbSections", &F::LbSections);
    b.Field(L"LbxSections", &F::LbxSections);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"BnHelp", &F::BnHelp);
    b.Method<&F::EdSectionChange>(L"EdSectionChange");
    b.Method<&F::LbxSectionsClick>(L"LbxSectionsClick");
}

TRkSelectAccessBitsForm::TRkSelectAccessBitsForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TLabel::StaticClassInfo(), &TEdit::StaticClassInfo(), &TListBox::StaticClassInfo(),
                     &TButton::StaticClassInfo()});
}

void TRkSelectAccessBitsForm::SetIniFile(TIniFile* Value) {
    LbxSections->Items()->BeginUpdate();
    TScopeExit filled([this] { LbxSections->Items()->EndUpdate(); });
    LbxSections->Clear();
    if (Value && FileExists(Value->FileName()))
        for (const std::wstring& section : Value->ReadSections()) LbxSections->Items()->Add(section);
}

void TRkSelectAccessBitsForm::EdSectionChange(TObject*) { BnOK->SetEnabled(!Trim(EdSection->GetText()).empty()); }

void TRkSelectAccessBitsForm::LbxSectionsClick(TObject*) {
    const int i = LbxSections->ItemIndex();
    if (i >= 0) EdSection->SetText(LbxSections->Items()->Get(i));
}

} // namespace tamrel
