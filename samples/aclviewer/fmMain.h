// The ACL viewer's window: reads a file's security descriptor, shows it as text, applies it to
// another file, and saves and loads it as a ".security" file in INI form.
#pragma once

#include "host/forms/Dialogs.h"
#include "host/forms/Forms.h"
#include "host/IniFiles.h"
#include "host/Menus.h"
#include "host/forms/StdCtrls.h"
#include "runtime/security/Tamrel_AclCenter.h"
#include "runtime/security/Tamrel_ProcessRightsCenter.h"
#include "runtime/security/Tamrel_SecurityDescriptorCenter.h"
#include "runtime/security/Tamrel_SidCenter.h"

namespace tamrel {

class TAclViewerForm : public TForm {
    TAMREL_CLASS(TAclViewerForm, TForm)
public:
    explicit TAclViewerForm(TComponent* AOwner);

    TMemo* MSecurityData = nullptr;
    TMainMenu* MainMenu = nullptr;
    TMenuItem* MM_File = nullptr;
    TMenuItem* MM_File_GetFileSecurity = nullptr;
    TMenuItem* MM_File_ApplyFileSecurity = nullptr;
    TMenuItem* MM_File_LoadSecurityData = nullptr;
    TMenuItem* MM_File_SaveSecurityData = nullptr;
    TMenuItem* MM_File_ClearSecurityData = nullptr;
    TMenuItem* MM_File_Exit = nullptr;
    TOpenDialog* OpenDialog = nullptr;
    TOpenDialog* LoadSecurityDialog = nullptr;
    TSaveDialog* SaveSecurityDialog = nullptr;
    TrkSecurityDescriptorCenter* SDC = nullptr;
    TrkSidCenter* SC = nullptr;
    TrkAclCenter* ACLC = nullptr;
    TrkProcessRightsCenter* PRC = nullptr;

    bool SecurityDataExist() const { return FSecurityDataExist; }

    void FormCreate(TObject* Sender);
    void MM_FileClick(TObject* Sender);
    void MM_File_GetFileSecurityClick(TObject* Sender);
    void MM_File_ApplyFileSecurityClick(TObject* Sender);
    void MM_File_LoadSecurityDataClick(TObject* Sender);
    void MM_File_SaveSecurityDataClick(TObject* Sender);
    void MM_File_ClearSecurityDataClick(TObject* Sender);
    void MM_File_ExitClick(TObject* Sender);

private:
    void SetSecurityDataExist(bool Value);
    void RedrawMemo();
    void AddSidLines(PSID Sid, const std::wstring& Indent);
    void AddAclLines(const std::wstring& Title, PACL Acl, bool IsAcl, bool Held);
    void SaveAcl(TIniFile& Ini, const std::wstring& Name, PACL Acl, bool IsAcl);
    // The ACL of one block of the file (nil: a NULL ACL); the copy is ACLC's until its next change.
    PACL LoadAcl(const TIniFile& Ini, const std::wstring& Name);
    bool FSecurityDataExist = false;
    // The parts SDC holds: a read without the security privilege leaves out the SACL.
    TrkSdParts FSecurityParts;
};

} // namespace tamrel
