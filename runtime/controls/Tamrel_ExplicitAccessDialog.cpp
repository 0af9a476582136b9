#include "runtime/controls/Tamrel_ExplicitAccessDialog.h"

#include "host/forms/Hints.h"
#include "runtime/security/Tamrel_CenterUtils.h"

#include <commctrl.h>

namespace tamrel {

namespace {
// Wider than the longest line of any hint of the form.
constexpr LPARAM kHintWidth = 600;
} // namespace

// ---------------------------------------------------------------------------------------------
// The form

TAMREL_IMPLEMENT_CLASS(TRkExplicitAccessEditorForm) {
    b.Field(L"Glyph", &TRkExplicitAccessEditorForm::Glyph);
    b.Field(L"LbCaption", &TRkExplicitAccessEditorForm::LbCaption);
    b.Field(L"CBxSidSource", &TRkExplicitAccessEditorForm::CBxSidSource);
    b.Field(L"CBxUsers", &TRkExplicitAccessEditorForm::CBxUsers);
    b.Field(L"EdAccessMask", &TRkExplicitAccessEditorForm::EdAccessMask);
    b.Field(L"EdSpecialAccess", &TRkExplicitAccessEditorForm::EdSpecialAccess);
    b.Field(L"RbSetAccess", &TRkExplicitAccessEditorForm::RbSetAccess);
    b.Field(L"RbAllowAccess", &TRkExplicitAccessEditorForm::RbAllowAccess);
    b.Field(L"RbDenyAccess", &TRkExplicitAccessEditorForm::RbDenyAccess);
    b.Field(L"RbAuditSuccess", &TRkExplicitAccessEditorForm::RbAuditSuccess);
    b.Field(L"RbAuditFailure", &TRkExplicitAccessEditorForm::RbAuditFailure);
    b.Field(L"RbRevoke", &TRkExplicitAccessEditorForm::RbRevoke);
    b.Field(L"BnOK", &TRkExplicitAccessEditorForm::BnOK);
    b.Field(L"BnCancel", &TRkExplicitAccessEditorForm::BnCancel);
    b.Field(L"BnHelp", &TRkExplicitAccessEditorForm::BnHelp);
    b.Field(L"CBxObjectInherit", &TRkExplicitAccessEditorForm::CBxObjectInherit);
    b.Field(L"CBxContainerInherit", &TRkExplicitAccessEditorForm::CBxContainerInherit);
    b.Field(L"CBxNoPropage", &TRkExplicitAccessEditorForm::CBxNoPropage);
    b.Field(L"CBxInheritOnly", &TRkExplicitAccessEditorForm::CBxInheritOnly);
    b.Field(L"CBxInherited", &TRkExplicitAccessEditorForm::CBxInherited);
    b.Method<&TRkExplicitAccessEditorForm::FormCreate>(L"FormCreate");
    b.Method<&TRkExplicitAccessEditorForm::CBxSidSourceClick>(L"CBxSidSourceClick");
    b.Method<&TRkExplicitAccessEditorForm::RbAccessModeClick>(L"RbAccessModeClick");
    b.Method<&TRkExplicitAccessEditorForm::EdAccessMaskClick>(L"EdAccessMaskClick");
    b.Method<&TRkExplicitAccessEditorForm::EdSpecialAccessClick>(L"EdSpecialAccessClick");
    b.Method<&TRkExplicitAccessEditorForm::CBxUsersClick>(L"CBxUsersClick");
    b.Method<&TRkExplicitAccessEditorForm::BnHelpClick>(L"BnHelpClick");
}

TRkExplicitAccessEditorForm::TRkExplicitAccessEditorForm(TComponent* AOwner) : TForm(AOwner) {
    // The classes the stored form names, registered here so that a program that compiles the
    // library in links them all.
    RegisterClasses({&TImage::StaticClassInfo(), &TLabel::StaticClassInfo(), &TrkSidSourceComboBox::StaticClassInfo(),
                     &TrkUsersComboBox::StaticClassInfo(), &TrkAccessMaskEditor::StaticClassInfo(),
                     &TrkSpecialAccessEditor::StaticClassInfo(), &TRadioButton::StaticClassInfo(),
                     &TBitBtn::StaticClassInfo(), &TCheckBox::StaticClassInfo()});
}

void TRkExplicitAccessEditorForm::FormCreate(TObject*) {
    // The hints are written a phrase to a line: the tooltip breaks lines only with a width to
    // keep to.
    if (HWND tip = ShowControlHints(this)) SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, kHintWidth);
    AccessMode = 0;
    if (CBxSidSource->Count() > 0) CBxSidSource->SetItemIndex(0);
    CBxSidSourceClick(CBxSidSource);
}

void TRkExplicitAccessEditorForm::CBxSidSourceClick(TObject*) {
    {
        // One refresh of the users for the new source.
        CBxUsers->BeginUpdate();
        TScopeExit end([this] { CBxUsers->EndUpdate(); });
        const int i = CBxSidSource->ItemIndex();
        if (i < 0 || i >= CBxSidSource->Count()) {
            CBxUsers->SetServer(L"");
            CBxUsers->SetDomain(L"");
        } else {
            CBxUsers->SetServer(CBxSidSource->SidSources(i)->Server());
            CBxUsers->SetDomain(CBxSidSource->SidSources(i)->Domain());
        }
    }
    // The principal chosen may not be among the new source's.
    CheckOkButtonState();
}

TRadioButton* TRkExplicitAccessEditorForm::ModeRadio(int mode) const {
    switch (mode) {
    case GRANT_ACCESS: return RbAllowAccess;
    case SET_ACCESS: return RbSetAccess;
    case DENY_ACCESS: return RbDenyAccess;
    case REVOKE_ACCESS: return RbRevoke;
    case SET_AUDIT_SUCCESS: return RbAuditSuccess;
    case SET_AUDIT_FAILURE: return RbAuditFailure;
    default: return nullptr;
    }
}

TCheckBox* TRkExplicitAccessEditorForm::InheritanceBox(int bit) const {
    switch (bit) {
    case OBJECT_INHERIT_ACE: return CBxObjectInherit;
    case CONTAINER_INHERIT_ACE: return CBxContainerInherit;
    case NO_PROPAGATE_INHERIT_ACE: return CBxNoPropage;
    case INHERIT_ONLY_ACE: return CBxInheritOnly;
    case INHERITED_ACE: return CBxInherited;
    default: return nullptr;
    }
}

void TRkExplicitAccessEditorForm::RbAccessModeClick(TObject*) {
    const std::pair<TRadioButton*, uint8_t> order[] = {{RbAuditSuccess, SET_AUDIT_SUCCESS}, {RbAuditFailure, SET_AUDIT_FAILURE},
                                                       {RbSetAccess, SET_ACCESS},         {RbAllowAccess, GRANT_ACCESS},
                                                       {RbDenyAccess, DENY_ACCESS},       {RbRevoke, REVOKE_ACCESS}};
    for (const auto& [radio, mode] : order)
        if (radio->Checked()) AccessMode = mode;
    const bool readOnly = AccessMode == REVOKE_ACCESS;
    for (TrkCheckListBox* editor : {static_cast<TrkCheckListBox*>(EdAccessMask), static_cast<TrkCheckListBox*>(EdSpecialAccess)}) {
        if (editor->Enabled() == readOnly) editor->SetEnabled(!readOnly);
        if (editor->ReadOnly() != readOnly) editor->SetReadOnly(readOnly);
    }
    CheckOkButtonState();
}

void TRkExplicitAccessEditorForm::EdAccessMaskClick(TObject*) { CheckOkButtonState(); }
void TRkExplicitAccessEditorForm::EdSpecialAccessClick(TObject*) { CheckOkButtonState(); }
void TRkExplicitAccessEditorForm::CBxUsersClick(TObject*) { CheckOkButtonState(); }

void TRkExplicitAccessEditorForm::BnHelpClick(TObject*) {
    if (OnHelpCopy) OnHelpCopy(nullptr);
}

void TRkExplicitAccessEditorForm::CheckOkButtonState() {
    BnOK->SetEnabled(CBxUsers->ItemIndex() >= 0 && EdAccessMask->AccessMask() != 0 && AccessMode != 0);
}

// ---------------------------------------------------------------------------------------------
// The dialog

TAMREL_IMPLEMENT_CLASS(TrkExplicitAccessDialog) {
    b.Enum(L"EntryType", &TrkExplicitAccessDialog::EntryType, &TrkExplicitAccessDialog::SetEntryType, etControlAccess);
    b.Object(L"AccessMasks", &TrkExplicitAccessDialog::AccessMasks);
    b.Object(L"MaskBits", &TrkExplicitAccessDialog::MaskBits);
    b.String(L"Server", &TrkExplicitAccessDialog::Server, &TrkExplicitAccessDialog::SetServer);
    b.Event(L"OnHelp", &TrkExplicitAccessDialog::OnHelp, &TrkExplicitAccessDialog::SetOnHelp);
}

TrkExplicitAccessDialog::TrkExplicitAccessDialog(TComponent* AOwner)
    : TComponent(AOwner), FAccessMasks(new TrkAccessMasks(this)), FMaskBits(new TrkAccessBits),
      FSidCenter(Create<TrkSidCenter>(nullptr)) {
    FMaskBits->SetAccessMasks(FAccessMasks.get());
    FAccessMasks->SetMaskBits(FMaskBits.get());
}

TrkExplicitAccessDialog::~TrkExplicitAccessDialog() {
    CleanExplicitAccess(FExplicitAccess);
    FAccessMasks->SetMaskBits(nullptr);
    FMaskBits->SetAccessMasks(nullptr);
}

void TrkExplicitAccessDialog::SetExplicitAccess(const EXPLICIT_ACCESS_W& Value) { CopyExplicitAccess(FExplicitAccess, Value); }

bool TrkExplicitAccessDialog::Execute() {
    auto* form = Create<TRkExplicitAccessEditorForm>(nullptr);
    // Released on every path: freed once the messages still waiting for it are handled.
    TScopeExit release([form] { form->Release(); });
    form->OnHelpCopy = FOnHelp;
    form->EdAccessMask->SetAccessMasks(FAccessMasks.get());
    form->EdAccessMask->SetMaskBits(FMaskBits.get());
    form->EdAccessMask->SetAccessMask(FExplicitAccess.grfAccessPermissions);
    form->CBxUsers->SetSelectedSid(FExplicitAccess.Trustee.TrusteeForm == TRUSTEE_IS_SID
                                       ? reinterpret_cast<PSID>(FExplicitAccess.Trustee.ptstrName)
                                       : nullptr);
    const bool control = FEntryType == etControlAccess;
    form->RbSetAccess->SetEnabled(control);
    form->RbAllowAccess->SetEnabled(control);
    form->RbDenyAccess->SetEnabled(control);
    form->RbAuditSuccess->SetEnabled(!control);
    form->RbAuditFailure->SetEnabled(!control);
    form->RbRevoke->SetEnabled(true);
    // A record whose mode this entry type does not offer opens with no mode chosen.
    uint8_t mode = static_cast<uint8_t>(FExplicitAccess.grfAccessMode);
    TRadioButton* radio = form->ModeRadio(mode);
    if (radio && !radio->Enabled()) {
        mode = 0;
        radio = nullptr;
    }
    form->AccessMode = mode;
    if (radio) radio->SetChecked(true);
    for (int bit = OBJECT_INHERIT_ACE; bit <= INHERITED_ACE; bit <<= 1)
        if (FExplicitAccess.grfInheritance & static_cast<DWORD>(bit)) form->InheritanceBox(bit)->SetChecked(true);
    form->CheckOkButtonState();
    if (form->ShowModal() != mrOk) return false;

    DWORD inheritance = 0;
    for (int bit = OBJECT_INHERIT_ACE; bit <= INHERITED_ACE; bit <<= 1)
        if (form->InheritanceBox(bit)->Checked()) inheritance |= static_cast<DWORD>(bit);
    uint32_t size = 0;
    TCenterBlock sid = DuplicateSidBlock(form->CBxUsers->SelectedSid(), size);
    CleanExplicitAccess(FExplicitAccess);
    FExplicitAccess.grfInheritance = inheritance;
    FExplicitAccess.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    FExplicitAccess.Trustee.ptstrName = static_cast<LPWSTR>(sid.release());
    FExplicitAccess.grfAccessPermissions = form->EdAccessMask->AccessMask();
    FExplicitAccess.grfAccessMode = static_cast<ACCESS_MODE>(form->AccessMode);
    return true;
}

void Tamrel_ExplicitAccessDialog_DoRegster() { RegisterComponents(L"Tamrel", {&TrkExplicitAccessDialog::StaticClassInfo()}); }

} // namespace tamrel
