#include "fmMain.h"

#include "Tamrel_SecurityObjects.h"
#include "host/MessageBox.h"

namespace tamrel {

namespace {
const TrkSdParts kAllParts = {spOwner, spGroup, spDACL, spSACL};
const wchar_t* const kSecurityFilter = L"Security data (*.security)|*.security|All files (*.*)|*.*";

std::wstring ModeName(DWORD mode) {
    static const wchar_t* const names[] = {L"NOT_USED_ACCESS", L"GRANT_ACCESS", L"SET_ACCESS", L"DENY_ACCESS",
                                           L"REVOKE_ACCESS", L"SET_AUDIT_SUCCESS", L"SET_AUDIT_FAILURE"};
    return mode < std::size(names) ? names[mode] : IntToHex(mode, 8);
}

// The string form of a SID through the SID center; empty for none.
std::wstring SidText(TrkSidCenter* sc, PSID sid) {
    if (!sid) return std::wstring();
    sc->SetSid(sid);
    return sc->SidString();
}

// The SID of a string form through the SID center (its own block); nil for an empty text.
PSID SidOf(TrkSidCenter* sc, const std::wstring& text) {
    if (text.empty()) return nullptr;
    sc->SetSidString(text);
    return sc->Sid();
}

TMenuItem* MenuItem(TComponent* owner, TMenuItem* parent, const std::wstring& caption, TNotifyEvent onClick) {
    auto* item = Create<TMenuItem>(owner);
    item->SetCaption(caption);
    item->SetOnClick(onClick);
    parent->Add(item);
    return item;
}
} // namespace

TAMREL_IMPLEMENT_CLASS(TAclViewerForm) {}

TAclViewerForm::TAclViewerForm(TComponent* AOwner) : TForm(AOwner) {
    using F = TAclViewerForm;
    SetCaption(L"ACL viewer");
    SetClientWidth(520);
    SetClientHeight(420);
    MSecurityData = Create<TMemo>(this);
    MSecurityData->SetParent(this);
    MSecurityData->SetAlign(alClient);
    MSecurityData->SetReadOnly(true);
    MSecurityData->SetScrollBars(scBoth);
    MSecurityData->SetWordWrap(false);

    MainMenu = Create<TMainMenu>(this);
    MM_File = MenuItem(this, MainMenu->Items(), L"&File", TNotifyEvent::Of<&F::MM_FileClick>(this));
    MM_File_GetFileSecurity = MenuItem(this, MM_File, L"&Get file security...",
                                       TNotifyEvent::Of<&F::MM_File_GetFileSecurityClick>(this));
    MM_File_ApplyFileSecurity = MenuItem(this, MM_File, L"&Apply file security...",
                                         TNotifyEvent::Of<&F::MM_File_ApplyFileSecurityClick>(this));
    MenuItem(this, MM_File, L"-", nullptr);
    MM_File_LoadSecurityData = MenuItem(this, MM_File, L"&Load security data...",
                                        TNotifyEvent::Of<&F::MM_File_LoadSecurityDataClick>(this));
    MM_File_SaveSecurityData = MenuItem(this, MM_File, L"&Save security data...",
                                        TNotifyEvent::Of<&F::MM_File_SaveSecurityDataClick>(this));
    MM_File_ClearSecurityData = MenuItem(this, MM_File, L"Clear security data",
                                         TNotifyEvent::Of<&F::MM_File_ClearSecurityDataClick>(this));
    MenuItem(this, MM_File, L"-", nullptr);
    MM_File_Exit = MenuItem(this, MM_File, L"Exit", TNotifyEvent::Of<&F::MM_File_ExitClick>(this));
    SetMenu(MainMenu);

    OpenDialog = Create<TOpenDialog>(this);
    OpenDialog->SetFilter(L"All files (*.*)|*.*");
    OpenDialog->SetOptions(OpenDialog->Options() + TOpenOptions{ofFileMustExist});
    LoadSecurityDialog = Create<TOpenDialog>(this);
    LoadSecurityDialog->SetDefaultExt(L"security");
    LoadSecurityDialog->SetFilter(kSecurityFilter);
    SaveSecurityDialog = Create<TSaveDialog>(this);
    SaveSecurityDialog->SetDefaultExt(L"security");
    SaveSecurityDialog->SetFilter(kSecurityFilter);
    SaveSecurityDialog->SetOptions(SaveSecurityDialog->Options() + TOpenOptions{ofPathMustExist});

    SDC = Create<TrkSecurityDescriptorCenter>(this);
    SC = Create<TrkSidCenter>(this);
    ACLC = Create<TrkAclCenter>(this);
    ACLC->SetMergeMasks(false);
    PRC = Create<TrkProcessRightsCenter>(this);
    PRC->SetNewPrivileges({});
    SetOnCreate(TNotifyEvent::Of<&F::FormCreate>(this));
}

void TAclViewerForm::FormCreate(TObject*) {
    // The security privilege reads and writes SACLs.
    PRC->SetNewPrivileges(PRC->CurrentPrivileges() + TrkPrivileges{spSecurity});
    PRC->Commit();
}

void TAclViewerForm::SetSecurityDataExist(bool Value) {
    FSecurityDataExist = Value;
    RedrawMemo();
}

void TAclViewerForm::MM_FileClick(TObject*) {
    MM_File_ApplyFileSecurity->SetEnabled(FSecurityDataExist);
    MM_File_SaveSecurityData->SetEnabled(FSecurityDataExist);
}

void TAclViewerForm::MM_File_GetFileSecurityClick(TObject*) {
    if (!OpenDialog->Execute()) return;
    const std::wstring file = OpenDialog->FileName();
    TrkSdParts parts = kAllParts;
    DWORD code = ReadFileSecurity(file, parts, SDC);
    std::wstring leftOut;
    if (code == ERROR_PRIVILEGE_NOT_HELD) {
        // The SACL needs the security privilege, which the user may not hold: the rest can
        // still be read and shown.
        leftOut = L"The SACL was not read: " + SysErrorMessage(code);
        parts = {spOwner, spGroup, spDACL};
        code = ReadFileSecurity(file, parts, SDC);
    }
    FSecurityParts = code == 0 ? parts : TrkSdParts{};
    SetSecurityDataExist(code == 0);
    if (code != 0) ShowMessageBox(Handle(), SysErrorMessage(code), Caption(), MB_OK | MB_ICONERROR);
    else if (!leftOut.empty()) ShowMessageBox(Handle(), leftOut, Caption(), MB_OK | MB_ICONWARNING);
}

void TAclViewerForm::MM_File_ApplyFileSecurityClick(TObject*) {
    if (!OpenDialog->Execute()) return;
    // Only the parts that were read: a part left out must not overwrite the file's own.
    const DWORD code = WriteFileSecurity(OpenDialog->FileName(), FSecurityParts, SDC);
    // A failure says why: the file keeps its old security.
    if (code != 0) ShowMessageBox(Handle(), SysErrorMessage(code), Caption(), MB_OK | MB_ICONERROR);
}

void TAclViewerForm::MM_File_ClearSecurityDataClick(TObject*) { SetSecurityDataExist(false); }

void TAclViewerForm::MM_File_ExitClick(TObject*) { Close(); }

void TAclViewerForm::SaveAcl(TIniFile& Ini, const std::wstring& Name, PACL Acl, bool IsAcl) {
    const bool isNull = !IsAcl || !Acl;
    Ini.WriteBool(Name, L"AclIsNull", isNull);
    if (isNull) return;
    ACLC->SetACL(Acl);
    const int32_t count = ACLC->EntryCount();
    Ini.WriteInteger(Name, L"AceCount", count);
    for (int32_t i = 0; i < count; ++i) {
        EXPLICIT_ACCESS_W* e = ACLC->Entries(i);
        const std::wstring section = Name + L"Ace" + std::to_wstring(i);
        Ini.WriteString(section, L"SID", SidText(SC, reinterpret_cast<PSID>(e->Trustee.ptstrName)));
        Ini.WriteInteger(section, L"Inheritance", static_cast<int32_t>(e->grfInheritance));
        Ini.WriteInteger(section, L"AccessMode", static_cast<int32_t>(e->grfAccessMode));
        Ini.WriteString(section, L"AccessPermissions", IntToHex(e->grfAccessPermissions, 8));
    }
}

void TAclViewerForm::MM_File_SaveSecurityDataClick(TObject*) {
    if (!SaveSecurityDialog->Execute()) return;
    const std::wstring target = SaveSecurityDialog->FileName();
    // Written beside the old file first, which is replaced only once the new one is complete.
    const std::wstring temp = target + L".~tmp";
    DeleteFileW(temp.c_str());
    try {
        TIniFile ini(temp);
        ini.WriteString(L"Owner", L"SID", SidText(SC, SDC->SdOwner()));
        ini.WriteString(L"Group", L"SID", SidText(SC, SDC->SdGroup()));
        SaveAcl(ini, L"DACL", SDC->DACL(), SDC->IsDACL());
        // A SACL that was not read is not written as an absent one.
        if (FSecurityParts.Contains(spSACL)) SaveAcl(ini, L"SACL", SDC->SACL(), SDC->IsSACL());
        // The system may keep the writes cached: on disk before the file is moved.
        ini.UpdateFile();
    } catch (...) {
        DeleteFileW(temp.c_str());
        throw;
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD code = GetLastError();
        DeleteFileW(temp.c_str());
        RaiseLastOSError(code);
    }
}

PACL TAclViewerForm::LoadAcl(const TIniFile& Ini, const std::wstring& Name) {
    if (Ini.ReadBool(Name, L"AclIsNull", true)) return nullptr;
    ACLC->SetACL(nullptr);
    ACLC->SetIsEntries(true);
    const int32_t count = Ini.ReadInteger(Name, L"AceCount", 0);
    for (int32_t i = 0; i < count; ++i) {
        const std::wstring section = Name + L"Ace" + std::to_wstring(i);
        EXPLICIT_ACCESS_W e = {};
        e.grfInheritance = static_cast<DWORD>(Ini.ReadInteger(section, L"Inheritance", 0));
        e.grfAccessMode = static_cast<ACCESS_MODE>(Ini.ReadInteger(section, L"AccessMode", 0));
        e.grfAccessPermissions =
            static_cast<DWORD>(StrToInt64(L"$" + Ini.ReadString(section, L"AccessPermissions", L"0")));
        e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        // SC's block, of which ACLC keeps a copy of its own.
        e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(SidOf(SC, Ini.ReadString(section, L"SID", L"")));
        ACLC->AddEntry();
        ACLC->SetEntries(i, e);
    }
    // The file holds an ACL's entries in the ACL's order, which decides what it grants.
    ACLC->KeepEntryOrder();
    return ACLC->ACL();
}

void TAclViewerForm::MM_File_LoadSecurityDataClick(TObject*) {
    if (!LoadSecurityDialog->Execute()) return;
    SetSecurityDataExist(false);
    TIniFile ini(LoadSecurityDialog->FileName());
    SDC->SetSdOwner(SidOf(SC, ini.ReadString(L"Owner", L"SID", L"")));
    SDC->SetSdGroup(SidOf(SC, ini.ReadString(L"Group", L"SID", L"")));
    SDC->SetDACL(LoadAcl(ini, L"DACL"));
    SDC->SetSACL(LoadAcl(ini, L"SACL"));
    FSecurityParts = kAllParts;
    SetSecurityDataExist(true);
}

void TAclViewerForm::AddSidLines(PSID Sid, const std::wstring& Indent) {
    TStrings* lines = MSecurityData->Lines();
    const std::wstring text = SidText(SC, Sid);
    lines->Add(Format(Indent + L"%s = %s", L"SID as string", text));
    lines->Add(Format(Indent + L"%s = %s", L"Onwer domain", Sid ? SC->Domain() : std::wstring()));
    lines->Add(Format(Indent + L"%s = %s", L"Onwer name", Sid ? SC->UserName() : std::wstring()));
}

void TAclViewerForm::AddAclLines(const std::wstring& Title, PACL Acl, bool IsAcl, bool Held) {
    TStrings* lines = MSecurityData->Lines();
    lines->Add(Title);
    if (!Held) {
        lines->Add(L"    ACL was not read");
        return;
    }
    if (!IsAcl || !Acl) {
        lines->Add(L"    ACL is NULL");
        return;
    }
    ACLC->SetACL(Acl);
    lines->Add(Format(L"    %s = %d", L"ACE count", ACLC->EntryCount()));
    for (int32_t i = 0; i < ACLC->EntryCount(); ++i) {
        EXPLICIT_ACCESS_W* e = ACLC->Entries(i);
        if (e->Trustee.TrusteeForm == TRUSTEE_IS_SID) {
            AddSidLines(reinterpret_cast<PSID>(e->Trustee.ptstrName), L"        ");
        } else if (e->Trustee.TrusteeForm == TRUSTEE_IS_NAME) {
            SC->SetFullName(e->Trustee.ptstrName);
            AddSidLines(SC->Sid(), L"        ");
        }
        lines->Add(Format(L"        %s = %s", L"Mode", ModeName(e->grfAccessMode)));
        lines->Add(Format(L"        %s = %s", L"Inheritance", IntToHex(e->grfInheritance, 8)));
        lines->Add(Format(L"        %s = %s", L"Permissions", IntToHex(e->grfAccessPermissions, 8)));
        lines->Add(L"");
    }
}

void TAclViewerForm::RedrawMemo() {
    TStrings* lines = MSecurityData->Lines();
    lines->Clear();
    if (!FSecurityDataExist) return;
    lines->BeginUpdate();
    TScopeExit end([lines] { lines->EndUpdate(); });
    lines->Add(L"OWNER");
    AddSidLines(SDC->SdOwner(), L"    ");
    lines->Add(L"");
    lines->Add(L"OWNER GROUP");
    AddSidLines(SDC->SdGroup(), L"    ");
    lines->Add(L"");
    AddAclLines(L"DACL", SDC->DACL(), SDC->IsDACL(), FSecurityParts.Contains(spDACL));
    AddAclLines(L"SACL", SDC->SACL(), SDC->IsSACL(), FSecurityParts.Contains(spSACL));
}

} // namespace tamrel
