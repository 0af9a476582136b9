// The explicit-access dialog: a component that edits one access-control entry (an
// EXPLICIT_ACCESS_W record: principal, access mask, access mode, inheritance) in the modal form
// TRkExplicitAccessEditorForm, whose stored form lives in the library.
#pragma once

#include "host/forms/Buttons.h"
#include "host/forms/Forms.h"
#include "runtime/controls/Tamrel_Masks.h"
#include "runtime/controls/Tamrel_SidSourceComboBox.h"
#include "runtime/controls/Tamrel_UsersComboBox.h"
#include "runtime/security/Tamrel_SidCenter.h"

#include <aclapi.h>

namespace tamrel {

// Whether an access entry belongs to a DACL or a SACL.
TAMREL_ENUM(TrkEntryType, etControlAccess, etAuditAccess);

class TAMREL_API TRkExplicitAccessEditorForm : public TForm {
    TAMREL_CLASS(TRkExplicitAccessEditorForm, TForm)
public:
    explicit TRkExplicitAccessEditorForm(TComponent* AOwner);

    TImage* Glyph = nullptr;
    TLabel* LbCaption = nullptr;
    TrkSidSourceComboBox* CBxSidSource = nullptr;
    TrkUsersComboBox* CBxUsers = nullptr;
    TrkAccessMaskEditor* EdAccessMask = nullptr;
    TrkSpecialAccessEditor* EdSpecialAccess = nullptr;
    TRadioButton* RbSetAccess = nullptr;
    TRadioButton* RbAllowAccess = nullptr;
    TRadioButton* RbDenyAccess = nullptr;
    TRadioButton* RbAuditSuccess = nullptr;
    TRadioButton* RbAuditFailure = nullptr;
    TRadioButton* RbRevoke = nullptr;
    TBitBtn* BnOK = nullptr;
    TBitBtn* BnCancel = nullptr;
    TBitBtn* BnHelp = nullptr;
    TCheckBox* CBxObjectInherit = nullptr;
    TCheckBox* CBxContainerInherit = nullptr;
    TCheckBox* CBxNoPropage = nullptr;
    TCheckBox* CBxInheritOnly = nullptr;
    TCheckBox* CBxInherited = nullptr;

    // The chosen access mode (0: none).
    uint8_t AccessMode = 0;
    TNotifyEvent OnHelpCopy;

    void FormCreate(TObject* Sender);
    void CBxSidSourceClick(TObject* Sender);
    void RbAccessModeClick(TObject* Sender);
    void EdAccessMaskClick(TObject* Sender);
    void EdSpecialAccessClick(TObject* Sender);
    void CBxUsersClick(TObject* Sender);
    void BnHelpClick(TObject* Sender);
    // OK needs a principal, a mask and a mode.
    void CheckOkButtonState();
    // The radio of a mode (1..6), null for any other.
    TRadioButton* ModeRadio(int mode) const;
    // The inheritance boxes by bit ($01..$10).
    TCheckBox* InheritanceBox(int bit) const;
};

class TAMREL_API TrkExplicitAccessDialog : public TComponent {
    TAMREL_CLASS(TrkExplicitAccessDialog, TComponent)
public:
    explicit TrkExplicitAccessDialog(TComponent* AOwner);
    ~TrkExplicitAccessDialog() override;

    // The entry edited; the dialog owns its trustee SID.
    const EXPLICIT_ACCESS_W& ExplicitAccess() const { return FExplicitAccess; }
    // Copies the record (a name trustee is resolved into a SID of the dialog's own).
    void SetExplicitAccess(const EXPLICIT_ACCESS_W& Value);
    TrkEntryType EntryType() const { return FEntryType; }
    void SetEntryType(TrkEntryType Value) { FEntryType = Value; }
    TrkAccessMasks* AccessMasks() const { return FAccessMasks.get(); }
    void SetAccessMasks(TrkAccessMasks* Value) { FAccessMasks->Assign(Value); }
    TrkAccessBits* MaskBits() const { return FMaskBits.get(); }
    void SetMaskBits(TrkAccessBits* Value) { FMaskBits->Assign(Value); }
    const std::wstring& Server() const { return FServer; }
    void SetServer(const std::wstring& Value) { FServer = Value; }
    TNotifyEvent OnHelp() const { return FOnHelp; }
    void SetOnHelp(TNotifyEvent e) { FOnHelp = e; }

    // Shows the form; true when the user closed it with OK (the record is then rewritten).
    bool Execute();

private:
    EXPLICIT_ACCESS_W FExplicitAccess{};
    TrkEntryType FEntryType = etControlAccess;
    std::unique_ptr<TrkAccessMasks> FAccessMasks;
    std::unique_ptr<TrkAccessBits> FMaskBits;
    std::wstring FServer;
    TNotifyEvent FOnHelp;
    std::unique_ptr<TrkSidCenter, TFreeComponent> FSidCenter;
};

// Puts the dialog component on the palette page "Tamrel"; the add-in's start-up calls it.
TAMREL_API void Tamrel_ExplicitAccessDialog_DoRegster();

} // namespace tamrel
