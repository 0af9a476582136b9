// The security-descriptor dialog: a component that edits the four parts of a security
// descriptor (owner, primary group, DACL, SACL) held in its own descriptor center, in the modal
// form TRkSecurityDescriptorEditorForm (a page for permissions, one for audit, one for owner and
// group). Only the parts whose "change" box is left checked are written back.
#pragma once

#include "host/forms/Buttons.h"
#include "host/forms/ComCtrls.h"
#include "host/forms/Forms.h"
#include "runtime/controls/Tamrel_AclEditor.h"
#include "runtime/controls/Tamrel_ExplicitAccessDialog.h"
#include "runtime/controls/Tamrel_Masks.h"
#include "runtime/controls/Tamrel_SidSourceComboBox.h"
#include "runtime/controls/Tamrel_UsersComboBox.h"
#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"

namespace tamrel {

class TAMREL_API TRkSecurityDescriptorEditorForm : public TForm {
    TAMREL_CLASS(TRkSecurityDescriptorEditorForm, TForm)
public:
    explicit TRkSecurityDescriptorEditorForm(TComponent* AOwner);

    TPageControl* PgSD = nullptr;
    TTabSheet* TShPermissions = nullptr;
    TTabSheet* TShAudit = nullptr;
    TTabSheet* TShOwner = nullptr;
    TrkAclEditor* AeAccess = nullptr;
    TCheckBox* CBxChangeAccess = nullptr;
    TBitBtn* BnAccessAddEntry = nullptr;
    TBitBtn* BnAccessDeleteEntry = nullptr;
    TBitBtn* BnAccessMoveUp = nullptr;
    TBitBtn* BnAccessMoveDown = nullptr;
    TrkAclEditor* AeAudit = nullptr;
    TCheckBox* CBxChangeAudit = nullptr;
    TBitBtn* BnAuditAddEntry = nullptr;
    TBitBtn* BnAuditDeleteEntry = nullptr;
    TBitBtn* BnAuditMoveUp = nullptr;
    TBitBtn* BnAuditMoveDown = nullptr;
    TLabel* Label1 = nullptr;
    TrkSidSourceComboBox* CBxOwnerSidSource = nullptr;
    TLabel* LbOwner = nullptr;
    TrkUsersComboBox* CBxOwner = nullptr;
    TCheckBox* CBxChangeOwner = nullptr;
    TLabel* LbOwnerGroup = nullptr;
    TrkUsersComboBox* CBxOwnerGroup = nullptr;
    TCheckBox* CBxChangeOwnerGroup = nullptr;
    TBitBtn* BnTakeOwnerShip = nullptr;
    TBitBtn* BnOK = nullptr;
    TBitBtn* BnCancel = nullptr;
    TBitBtn* BnHelp = nullptr;
    TrkExplicitAccessDialog* EAD = nullptr;

    TNotifyEvent OnHelpCopy;

    bool ChangeAccess() const { return CBxChangeAccess->Checked(); }
    bool ChangeAudit() const { return CBxChangeAudit->Checked(); }
    bool ChangeOwner() const { return CBxChangeOwner->Checked(); }
    bool ChangeOwnerGroup() const { return CBxChangeOwnerGroup->Checked(); }

    void FormCreate(TObject* Sender);
    void CBxOwnerSidSourceClick(TObject* Sender);
    void UpdateAccessButtons();
    void UpdateAuditButtons();
    void CBxChangeAccessClick(TObject* Sender);
    void CBxChangeAuditClick(TObject* Sender);
    void CBxChangeOwnerClick(TObject* Sender);
    void CBxChangeOwnerGroupClick(TObject* Sender);
    void AeAccessClick(TObject* Sender);
    void AeAuditClick(TObject* Sender);
    void BnAccessAddEntryClick(TObject* Sender);
    void BnAuditAddEntryClick(TObject* Sender);
    void BnAccessDeleteEntryClick(TObject* Sender);
    void BnAuditDeleteEntryClick(TObject* Sender);
    void AeAccessDblClick(TObject* Sender);
    void AeAuditDblClick(TObject* Sender);
    void AeAccessKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void AeAuditKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void BnHelpClick(TObject* Sender);

private:
    // One grid's page: its grid, its buttons, its change box and its entry type.
    struct TAclPage {
        TrkAclEditor* Editor;
        TBitBtn* Add;
        TBitBtn* Delete;
        TBitBtn* MoveUp;
        TBitBtn* MoveDown;
        TCheckBox* Change;
        TrkEntryType Type;
    };
    TAclPage AccessPage() const;
    TAclPage AuditPage() const;
    static void UpdateButtons(const TAclPage& p);
    void ChangeBoxClick(const TAclPage& p);
    void AddEntry(const TAclPage& p);
    void DeleteEntry(const TAclPage& p);
    void EditEntry(const TAclPage& p);
    void KeyDown(const TAclPage& p, WORD Key, TShiftState Shift);
    void PrepareEntryDialog(const TAclPage& p);
};

class TAMREL_API TrkSecurityDescriptorDialog : public TComponent {
    TAMREL_CLASS(TrkSecurityDescriptorDialog, TComponent)
public:
    explicit TrkSecurityDescriptorDialog(TComponent* AOwner);
    ~TrkSecurityDescriptorDialog() override;

    // The descriptor edited: load it before Execute, read it after.
    TrkSecurityDescriptorCenter* SecurityDescriptor() const { return FSecurityDescriptor.get(); }
    TrkSdParts ShowSdParts() const { return FShowSdParts; }
    void SetShowSdParts(TrkSdParts Value) { FShowSdParts = Value; }
    // The parts the last Execute ended with OK wrote back.
    TrkSdParts ChangedSdParts() const { return FChangedSdParts; }
    uint32_t DACLMask() const { return FDACLMask; }
    void SetDACLMask(uint32_t Value) { FDACLMask = Value; }
    uint32_t SACLMask() const { return FSACLMask; }
    void SetSACLMask(uint32_t Value) { FSACLMask = Value; }
    bool MergeMask() const { return FMergeMask; }
    void SetMergeMask(bool Value) { FMergeMask = Value; }
    TrkAccessMasks* AccessMasks() const { return FAccessMasks.get(); }
    void SetAccessMasks(TrkAccessMasks* Value) { FAccessMasks->Assign(Value); }
    TrkAccessBits* MaskBits() const { return FMaskBits.get(); }
    void SetMaskBits(TrkAccessBits* Value);
    TNotifyEvent OnHelp() const { return FOnHelp; }
    void SetOnHelp(TNotifyEvent e) { FOnHelp = e; }

    // Shows the form; true when the user closed it with OK (the checked parts are then written).
    bool Execute();

private:
    std::unique_ptr<TrkSecurityDescriptorCenter, TFreeComponent> FSecurityDescriptor;
    TrkSdParts FShowSdParts = {spOwner, spGroup, spDACL, spSACL};
    TrkSdParts FChangedSdParts;
    uint32_t FDACLMask = 0xFEFFFFFF;
    uint32_t FSACLMask = 0xFFFFFFFF;
    bool FMergeMask = false;
    std::unique_ptr<TrkAccessMasks> FAccessMasks;
    std::unique_ptr<TrkAccessBits> FMaskBits;
    TNotifyEvent FOnHelp;
};

// Narrows each predefined mask to Limit (last to first); a mask left empty is removed.
TAMREL_API void RestrictAccessMasks(TrkAccessMasks* Masks, uint32_t Limit);
// Leaves used only the bits that Limit holds.
TAMREL_API void RestrictAccessBits(TrkAccessBits* Bits, uint32_t Limit);

// Puts the dialog component on the palette page "Tamrel"; the add-in's start-up calls it.
TAMREL_API void Tamrel_SecurityDescriptorDialog_DoRegister();

} // namespace tamrel
