#include "ide/editors/Tamrel_SelectAccessBitsTemplate.h"

#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TRkSelectAccessBitsTemplateForm) {
    using F = TRkSelectAccessBitsTemplateForm;
    b.Field(L"RbStandard", &F::RbStandard);
    b.Field(L"RbUser", &F::RbUser);
    b.Field(L"CbTemplates", &F::CbTemplates);
    b.Field(L"LbPreview", &F::LbPreview);
    b.Field(L"GrMaskBits", &F::GrMaskBits);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"BnHelp", &F::BnHelp);
    b.Method<&F::FormCreate>(L"FormCreate");
    b.Method<&F::RbTemplatesClick>(L"RbTemplatesClick");
    b.Method<&F::CbTemplatesChange>(L"CbTemplatesChange");
}

TRkSelectAccessBitsTemplateForm::TRkSelectAccessBitsTemplateForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses({&TRadioButton::StaticClassInfo(), &TComboBox::StaticClassInfo(), &TLabel::StaticClassInfo(),
                     &TStringGrid::StaticClassInfo(), &TButton::StaticClassInfo()});
}

TRkSelectAccessBitsTemplateForm::~TRkSelectAccessBitsTemplateForm() {
    DestroyComponents();
}

void TRkSelectAccessBitsTemplateForm::FormCreate(TObject*) {
    FAccessMask = std::make_unique<TrkAccessBits>();
    FillList();
    FGrid = std::make_unique<TBitGrid>(GrMaskBits, false);
    FGrid->Prepare(Font(), 240);
    FGrid->Show(FAccessMask.get());
}

void TRkSelectAccessBitsTemplateForm::FillList() {
    CbTemplates->Items()->BeginUpdate();
    TScopeExit filled([this] { CbTemplates->Items()->EndUpdate(); });
    CbTemplates->Clear();
    if (RbStandard->Checked()) {
        for (int t = mtFile; t <= mtThread; ++t) CbTemplates->Items()->Add(GetMaskTemplateName(static_cast<TrkAccessMaskType>(t)));
    } else {
        for (const std::wstring& name : ReadMaskTemplateNames(GetMaskTemplateFileName())) CbTemplates->Items()->Add(name);
    }
}

void TRkSelectAccessBitsTemplateForm::ShowBits() {
    // Checking the other radio button clicks it, which fills the list.
    (FAccessMask->MaskType() != mtCustom ? RbStandard : RbUser)->SetChecked(true);
    CbTemplates->SetItemIndex(static_cast<int>(FAccessMask->MaskType()) - 1);
    FGrid->Show(FAccessMask.get());
}

void TRkSelectAccessBitsTemplateForm::SetAccessMask(TrkAccessBits* Value) {
    FAccessMask->Assign(Value);
    ShowBits();
}

void TRkSelectAccessBitsTemplateForm::SetAccessMaskType(TrkAccessMaskType Value) {
    FAccessMask->SetMaskType(Value);
    ShowBits();
}

void TRkSelectAccessBitsTemplateForm::RbTemplatesClick(TObject*) { FillList(); }

void TRkSelectAccessBitsTemplateForm::CbTemplatesChange(TObject*) {
    const int index = CbTemplates->ItemIndex();
    if (index < 0) return;
    if (RbStandard->Checked()) {
        SetAccessMaskType(static_cast<TrkAccessMaskType>(index + 1));
    } else {
        FAccessMask->LoadFromIni(GetMaskTemplateFileName(), CbTemplates->Items()->Get(index));
        ShowBits();
    }
    GrMaskBits->Invalidate();
}

} // namespace tamrel
