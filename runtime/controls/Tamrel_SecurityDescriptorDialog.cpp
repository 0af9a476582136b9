#include "runtime/controls/Tamrel_SecurityDescriptorDialog.h"

#include "runtime/security/Tamrel_CenterUtils.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// The form

TAMREL_IMPLEMENT_CLASS(TRkSecurityDescriptorEditorForm) {
    using F = TRkSecurityDescriptorEditorForm;
    b.Field(L"PgSD", &F::PgSD);
    b.Field(L"TShPermissions", &F::TShPermissions);
    b.Field(L"TShAudit", &F::TShAudit);
    b.Field(L"TShOwner", &F::TShOwner);
    b.Field(L"AeAccess", &F::AeAccess);
    b.Field(L"CBxChangeAccess", &F::CBxChangeAccess);
    b.Field(L"BnAccessAddEntry", &F::BnAccessAddEntry);
    b.Field(L"BnAccessDeleteEntry", &F::BnAccessDeleteEntry);
    b.Field(L"BnAccessMoveUp", &F::BnAccessMoveUp);
    b.Field(L"BnAccessMoveDown", &F::BnAccessMoveDown);
    b.Field(L"AeAudit", &F::AeAudit);
    b.Field(L"CBxChangeAudit", &F::CBxChangeAudit);
    b.Field(L"BnAuditAddEntry", &F::BnAuditAddEntry);
    b.Field(L"BnAuditDeleteEntry", &F::BnAuditDeleteEntry);
    b.Field(L"BnAuditMoveUp", &F::BnAuditMoveUp);
    b.Field(L"BnAuditMoveDown", &F::BnAuditMoveDown);
    b.Field(L"Label1", &F::Label1);
    b.Field(L"CBxOwnerSidSource", &F::CBxOwnerSidSource);
    b.Field(L"LbOwner", &F::LbOwner);
    b.Field(L"CBxOwner", &F::CBxOwner);
    b.Field(L"CBxChangeOwner", &F::CBxChangeOwner);
    b.Field(L"LbOwnerGroup", &F::LbOwnerGroup);
    b.Field(L"CBxOwnerGroup", &F::CBxOwnerGroup);
    b.Field(L"CBxChangeOwnerGroup", &F::CBxChangeOwnerGroup);
    b.Field(L"BnTakeOwnerShip", &F::BnTakeOwnerShip);
    b.Field(L"BnOK", &F::BnOK);
    b.Field(L"BnCancel", &F::BnCancel);
    b.Field(L"BnHelp", &F::BnHelp);
    b.Field(L"EAD", &F::EAD);
    b.Method<&F::FormCreate>(L"FormCreate");
    b.Method<&F::CBxOwnerSidSourceClick>(L"CBxOwnerSidSourceClick");
    b.Method<&F::CBxChangeAccessClick>(L"CBxChangeAccessClick");
    b.Method<&F::CBxChangeAuditClick>(L"CBxChangeAuditClick");
    b.Method<&F::CBxChangeOwnerClick>(L"CBxChangeOwnerClick");
    b.Method<&F::CBxChangeOwnerGroupClick>(L"CBxChangeOwnerGroupClick");
    b.Method<&F::AeAccessClick>(L"AeAccessClick");
    b.Method<&F::AeAuditClick>(L"AeAuditClick");
    b.Method<&F::BnAccessAddEntryClick>(L"BnAccessAddEntryClick");
    b.Method<&F::BnAuditAddEntryClick>(L"BnAuditAddEntryClick");
    b.Method<&F::BnAccessDeleteEntryClick>(L"BnAccessDeleteEntryClick");
    b.Method<&F::BnAuditDeleteEntryClick>(L"BnAuditDeleteEntryClick");
    b.Method<&F::AeAccessDblClick>(L"AeAccessDblClick");
    b.Method<&F::AeAuditDblClick>(L"AeAuditDblClick");
    b.Method<&F::AeAccessKeyDown>(L"AeAccessKeyDown");
    b.Method<&F::AeAuditKeyDown>(L"AeAuditKeyDown");
    b.Method<&F::BnHelpClick>(L"BnHelpClick");
}

TRkSecurityDescriptorEditorForm::TRkSecurityDescriptorEditorForm(TComponent* AOwner) : TForm(AOwner) {
    // The classes the stored form names, registered here so that a program that compiles the
    // library in links them all.
    RegisterClasses({&TPageControl::StaticClassInfo(), &TTabSheet::StaticClassInfo(), &TrkAclEditor::StaticClassInfo(),
                     &TCheckBox::StaticClassInfo(), &TBitBtn::StaticClassInfo(), &TLabel::StaticClassInfo(),
                     &TrkSidSourceComboBox::StaticClassInfo(), &TrkUsersComboBox::StaticClassInfo(),
                     &TrkExplicitAccessDialog::StaticClassInfo()});
}

void TRkSecurityDescriptorEditorForm::FormCreate(TObject*) {
    for (TrkAclEditor* editor : {AeAccess, AeAudit}) {
        editor->SetColWidths(0, 184);
        editor->SetColWidths(1, 57);
        editor->SetColWidths(2, 148);
    }
    if (CBxOwnerSidSource->Count() > 0) CBxOwnerSidSource->SetItemIndex(0);
    CBxOwnerSidSourceClick(nullptr);
}

void TRkSecurityDescriptorEditorForm::CBxOwnerSidSourceClick(TObject*) {
    const int i = CBxOwnerSidSource->ItemIndex();
    const bool none = i < 0 || i >= CBxOwnerSidSource->Count();
    // One refresh per combo for the new source.
    for (TrkUsersComboBox* combo : {CBxOwner, CBxOwnerGroup}) {
        combo->BeginUpdate();
        TScopeExit end([combo] { combo->EndUpdate(); });
        combo->SetServer(none ? L"" : CBxOwnerSidSource->SidSources(i)->Server());
        combo->SetDomain(none ? L"" : CBxOwnerSidSource->SidSources(i)->Domain());
    }
}

TRkSecurityDescriptorEditorForm::TAclPage TRkSecurityDescriptorEditorForm::AccessPage() const {
    return {AeAccess, BnAccessAddEntry, BnAccessDeleteEntry, BnAccessMoveUp, BnAccessMoveDown, CBxChangeAccess,
            etControlAccess};
}

TRkSecurityDescriptorEditorForm::TAclPage TRkSecurityDescriptorEditorForm::AuditPage() const {
    return {AeAudit, BnAuditAddEntry, BnAuditDeleteEntry, BnAuditMoveUp, BnAuditMoveDown, CBxChangeAudit,
            etAuditAccess};
}

void TRkSecurityDescriptorEditorForm::UpdateButtons(const TAclPage& p) {
    const bool change = p.Change->Checked();
    const int32_t index = p.Editor->SelectedIndex();
    p.Delete->SetEnabled(change && (!p.Editor->IsEntries() || (index >= 0 && index < p.Editor->EntryCount())));
    p.Add->SetEnabled(change);
    p.MoveUp->SetEnabled(change);
    p.MoveDown->SetEnabled(change);
}

void TRkSecurityDescriptorEditorForm::UpdateAccessButtons() { UpdateButtons(AccessPage()); }
void TRkSecurityDescriptorEditorForm::UpdateAuditButtons() { UpdateButtons(AuditPage()); }

namespace {
// A part to be changed has its control enabled on the window colour, a part kept is greyed.
void ShowChangeState(TWinControl* control, bool change) {
    control->SetColor(change ? clWindow : clBtnFace);
    control->SetEnabled(change);
}
} // namespace

void TRkSecurityDescriptorEditorForm::ChangeBoxClick(const TAclPage& p) {
    UpdateButtons(p);
    ShowChangeState(p.Editor, p.Change->Checked());
}

void TRkSecurityDescriptorEditorForm::CBxChangeAccessClick(TObject*) { ChangeBoxClick(AccessPage()); }
void TRkSecurityDescriptorEditorForm::CBxChangeAuditClick(TObject*) { ChangeBoxClick(AuditPage()); }
void TRkSecurityDescriptorEditorForm::CBxChangeOwnerClick(TObject*) { ShowChangeState(CBxOwner, ChangeOwner()); }
void TRkSecurityDescriptorEditorForm::CBxChangeOwnerGroupClick(TObject*) {
    ShowChangeState(CBxOwnerGroup, ChangeOwnerGroup());
}

void TRkSecurityDescriptorEditorForm::AeAccessClick(TObject*) { UpdateAccessButtons(); }
void TRkSecurityDescriptorEditorForm::AeAuditClick(TObject*) { UpdateAuditButtons(); }

void TRkSecurityDescriptorEditorForm::PrepareEntryDialog(const TAclPage& p) {
    EAD->SetAccessMasks(p.Editor->AccessMasks());
    EAD->SetMaskBits(p.Editor->MaskBits());
    EAD->SetEntryType(p.Type);
}

void TRkSecurityDescriptorEditorForm::AddEntry(const TAclPage& p) {
    // The entry dialog starts from the record it holds: the last one edited or added here.
    PrepareEntryDialog(p);
    if (EAD->Execute()) {
        p.Editor->BeginUpdate();
        TScopeExit end([&p] { p.Editor->EndUpdate(); });
        p.Editor->AddEntry();
        // The grid keeps a copy of the trustee of its own, freed with its entry.
        p.Editor->SetEntries(p.Editor->EntryCount() - 1, EAD->ExplicitAccess());
    }
    UpdateButtons(p);
}

void TRkSecurityDescriptorEditorForm::DeleteEntry(const TAclPage& p) {
    if (!p.Delete->Enabled()) return;
    // Without an ACL the one row stands for "no ACL": deleting it leaves an empty ACL.
    if (p.Editor->IsEntries()) p.Editor->DeleteEntry(p.Editor->SelectedIndex());
    else p.Editor->SetIsEntries(true);
    UpdateButtons(p);
}

void TRkSecurityDescriptorEditorForm::EditEntry(const TAclPage& p) {
    // Without an ACL there is no entry to edit.
    if (!p.Delete->Enabled() || !p.Editor->IsEntries()) return;
    const int32_t index = p.Editor->SelectedIndex();
    PrepareEntryDialog(p);
    // Both keep copies of the trustee of their own: neither frees the other's.
    EAD->SetExplicitAccess(*p.Editor->Entries(index));
    if (EAD->Execute()) {
        p.Editor->BeginUpdate();
        TScopeExit end([&p] { p.Editor->EndUpdate(); });
        p.Editor->SetEntries(index, EAD->ExplicitAccess());
    }
    UpdateButtons(p);
}

void TRkSecurityDescriptorEditorForm::KeyDown(const TAclPage& p, WORD Key, TShiftState Shift) {
    // Only a bare key acts (no modifier, no mouse button); the key goes on to the grid.
    if (!Shift.Empty()) return;
    switch (Key) {
    case VK_INSERT: p.Add->Click(); break;
    case VK_DELETE: p.Delete->Click(); break;
    case VK_SPACE: EditEntry(p); break;
    default: break;
    }
}

void TRkSecurityDescriptorEditorForm::BnAccessAddEntryClick(TObject*) { AddEntry(AccessPage()); }
void TRkSecurityDescriptorEditorForm::BnAuditAddEntryClick(TObject*) { AddEntry(AuditPage()); }
void TRkSecurityDescriptorEditorForm::BnAccessDeleteEntryClick(TObject*) { DeleteEntry(AccessPage()); }
void TRkSecurityDescriptorEditorForm::BnAuditDeleteEntryClick(TObject*) { DeleteEntry(AuditPage()); }
void TRkSecurityDescriptorEditorForm::AeAccessDblClick(TObject*) { EditEntry(AccessPage()); }
void TRkSecurityDescriptorEditorForm::AeAuditDblClick(TObject*) { EditEntry(AuditPage()); }
void TRkSecurityDescriptorEditorForm::AeAccessKeyDown(TObject*, WORD& Key, TShiftState Shift) {
    KeyDown(AccessPage(), Key, Shift);
}
void TRkSecurityDescriptorEditorForm::AeAuditKeyDown(TObject*, WORD& Key, TShiftState Shift) {
    KeyDown(AuditPage(), Key, Shift);
}

void TRkSecurityDescriptorEditorForm::BnHelpClick(TObject*) {
    if (OnHelpCopy) OnHelpCopy(nullptr);
}

// ---------------------------------------------------------------------------------------------
// The dialog

void RestrictAccessMasks(TrkAccessMasks* Masks, uint32_t Limit) {
    for (int i = Masks->Count() - 1; i >= 0; --i) {
        TrkAccessMask* mask = Masks->GetItems(i);
        mask->SetAccessMask(mask->AccessMask() & Limit);
        if (mask->AccessMask() == 0) Masks->Delete(i);
    }
}

void RestrictAccessBits(TrkAccessBits* Bits, uint32_t Limit) {
    for (int i = 0; i < 32; ++i) {
        TrkAccessBit* bit = Bits->MaskBit(i);
        bit->SetIsUsed(bit->IsUsed() && (Limit & (1u << i)) != 0);
    }
}

TAMREL_IMPLEMENT_CLASS(TrkSecurityDescriptorDialog) {
    using D = TrkSecurityDescriptorDialog;
    b.Set(L"ShowSdParts", &D::ShowSdParts, &D::SetShowSdParts, TrkSdParts{spOwner, spGroup, spDACL, spSACL});
    b.Cardinal(L"DACLMask", &D::DACLMask, &D::SetDACLMask, 0xFEFFFFFF);
    b.Cardinal(L"SACLMask", &D::SACLMask, &D::SetSACLMask, 0xFFFFFFFF);
    b.Boolean(L"MergeMask", &D::MergeMask, &D::SetMergeMask, false);
    b.Object(L"AccessMasks", &D::AccessMasks);
    b.Object(L"MaskBits", &D::MaskBits);
    b.Event(L"OnHelp", &D::OnHelp, &D::SetOnHelp);
}

TrkSecurityDescriptorDialog::TrkSecurityDescriptorDialog(TComponent* AOwner)
    : TComponent(AOwner), FSecurityDescriptor(Create<TrkSecurityDescriptorCenter>(nullptr)),
      FAccessMasks(new TrkAccessMasks(this)), FMaskBits(new TrkAccessBits) {
    FMaskBits->SetAccessMasks(FAccessMasks.get());
    FAccessMasks->SetMaskBits(FMaskBits.get());
}

TrkSecurityDescriptorDialog::~TrkSecurityDescriptorDialog() {
    FAccessMasks->SetMaskBits(nullptr);
    FMaskBits->SetAccessMasks(nullptr);
}

void TrkSecurityDescriptorDialog::SetMaskBits(TrkAccessBits* Value) {
    FMaskBits->Assign(Value);
    FAccessMasks->SetMaskBits(FMaskBits.get());
}

bool TrkSecurityDescriptorDialog::Execute() {
    if (FShowSdParts.Empty()) return false;
    auto* form = Create<TRkSecurityDescriptorEditorForm>(nullptr);
    // Released on every path: freed once the messages still waiting for it are handled.
    TScopeExit release([form] { form->Release(); });
    form->OnHelpCopy = FOnHelp;
    const std::pair<TrkAclEditor*, uint32_t> editors[] = {{form->AeAccess, FDACLMask}, {form->AeAudit, FSACLMask}};
    for (const auto& [editor, limit] : editors) {
        editor->SetAccessMasks(FAccessMasks.get());
        editor->SetMaskBits(FMaskBits.get());
        editor->SetMergeMasks(FMergeMask);
        RestrictAccessMasks(editor->AccessMasks(), limit);
        RestrictAccessBits(editor->MaskBits(), limit);
    }
    TrkSecurityDescriptorCenter* sd = FSecurityDescriptor.get();
    form->AeAccess->SetACL(sd->DACL());
    form->CBxChangeAccess->SetChecked(FShowSdParts.Contains(spDACL));
    form->CBxChangeAccessClick(nullptr);
    form->TShPermissions->SetTabVisible(FShowSdParts.Contains(spDACL));
    form->AeAudit->SetACL(sd->SACL());
    form->CBxChangeAudit->SetChecked(FShowSdParts.Contains(spSACL));
    form->CBxChangeAuditClick(nullptr);
    form->TShAudit->SetTabVisible(FShowSdParts.Contains(spSACL));
    form->CBxOwner->SetSelectedSid(sd->SdOwner());
    form->CBxChangeOwner->SetChecked(FShowSdParts.Contains(spOwner));
    form->CBxChangeOwnerClick(nullptr);
    form->CBxOwnerGroup->SetSelectedSid(sd->SdGroup());
    form->CBxChangeOwnerGroup->SetChecked(FShowSdParts.Contains(spGroup));
    form->CBxChangeOwnerGroupClick(nullptr);
    form->TShOwner->SetTabVisible(FShowSdParts.Contains(spOwner) || FShowSdParts.Contains(spGroup));
    if (form->TShPermissions->TabVisible()) form->PgSD->SetActivePage(form->TShPermissions);
    else if (form->TShAudit->TabVisible()) form->PgSD->SetActivePage(form->TShAudit);
    else form->PgSD->SetActivePage(form->TShOwner);
    if (form->ShowModal() != mrOk) return false;

    FChangedSdParts = {};
    if (form->ChangeAccess()) {
        sd->SetDACL(form->AeAccess->ACL());
        FChangedSdParts = FChangedSdParts + TrkSdParts{spDACL};
    }
    if (form->ChangeAudit()) {
        sd->SetSACL(form->AeAudit->ACL());
        FChangedSdParts = FChangedSdParts + TrkSdParts{spSACL};
    }
    // A checked box with no principal chosen keeps the part: a descriptor loses no owner or
    // group because its principal is not among the combo's items.
    if (form->ChangeOwner() && form->CBxOwner->SelectedSid()) {
        sd->SetSdOwner(form->CBxOwner->SelectedSid());
        FChangedSdParts = FChangedSdParts + TrkSdParts{spOwner};
    }
    if (form->ChangeOwnerGroup() && form->CBxOwnerGroup->SelectedSid()) {
        sd->SetSdGroup(form->CBxOwnerGroup->SelectedSid());
        FChangedSdParts = FChangedSdParts + TrkSdParts{spGroup};
    }
    return true;
}

void Tamrel_SecurityDescriptorDialog_DoRegister() { RegisterComponents(L"Tamrel", {&TrkSecurityDescriptorDialog::StaticClassInfo()}); }

} // namespace tamrel
