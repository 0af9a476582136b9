// The ACL viewer's window in-process, the file dialogs answered by the test: a file's security
// read (opened by Alt+F, G), shown as the system sees it, saved, cleared, loaded back and applied
// to another file; the ".security" files' defaults and errors; failures that leave the centre,
// the file on disk and the user informed.
#include "fmMain.h"
#include "Tamrel_SecurityObjects.h"

#include "host/FileDialog.h"
#include "host/ModalHook.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>


using namespace tamrel;
using namespace tamrel::test;

namespace {

// The name the next file dialog answers with (empty: the user cancels).
std::wstring gChosen;
bool ChooseFile(OPENFILENAMEW& ofn, bool) {
    if (gChosen.empty()) return false;
    wcsncpy(ofn.lpstrFile, gChosen.c_str(), ofn.nMaxFile - 1);
    return true;
}

std::wstring SidString(PSID sid) {
    wchar_t* s = nullptr;
    ConvertSidToStringSidW(sid, &s);
    std::wstring r = s ? s : L"";
    LocalFree(s);
    return r;
}

// The DACL of a file as the system reports it: (SID string, mask) per entry.
std::vector<std::pair<std::wstring, DWORD>> FileDacl(const std::wstring& file) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    std::vector<std::pair<std::wstring, DWORD>> entries;
    if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &sd) != ERROR_SUCCESS)
        return entries;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        GetAce(dacl, i, reinterpret_cast<void**>(&ace));
        entries.emplace_back(SidString(&ace->SidStart), ace->Mask);
    }
    LocalFree(sd);
    return entries;
}

std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[256];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    return SidString(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

class AclViewerTest : public testing::Test {
protected:
    void SetUp() override {
        Old = SetFileDialogFunc(&ChooseFile);
        Form.reset(Create<TAclViewerForm>(nullptr));
        FileA = TempFileName(L"aclA");
        FileB = TempFileName(L"aclB");
        Saved = TempFileName(L"acl") + L".security";
        WriteFileBytes(FileA, "a");
        WriteFileBytes(FileB, "b");
    }
    void TearDown() override {
        SetFileDialogFunc(Old);
        for (const std::wstring& f : {FileA, FileB, Saved}) DeleteFileW(f.c_str());
        gChosen.clear();
    }
    std::wstring Memo() { return Form->MSecurityData->GetText(); }
    // The menu opened (its items enabled as it decides), then Item chosen, then File.
    void Choose(const std::wstring& file, TMenuItem* item) {
        Form->MM_File->Click();
        gChosen = file;
        item->Click();
    }
    void WriteSecurityFile(const std::string& text) { WriteFileBytes(Saved, text); }
    TFileDialogFunc Old = nullptr;
    TOwned<TAclViewerForm> Form;
    std::wstring FileA, FileB, Saved;
};

TEST_F(AclViewerTest, ReadShowSaveClearLoadAndApplyThroughTheMenu) {
    // File A's DACL narrowed to the user.
    const std::wstring user = CurrentUserSid();
    PSID userSid = nullptr;
    ConvertStringSidToSidW(user.c_str(), &userSid);
    EXPLICIT_ACCESS_W e = {};
    e.grfAccessPermissions = FILE_ALL_ACCESS;
    e.grfAccessMode = SET_ACCESS;
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(userSid);
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &e, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(SetNamedSecurityInfoW(const_cast<LPWSTR>(FileA.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(acl);
    LocalFree(userSid);
    const auto systemView = FileDacl(FileA);
    ASSERT_FALSE(systemView.empty());

    // Alt+F, G: the menu opens (Apply and Save greyed), the file is read and shown.
    Form->Show();
    PumpPending();
    gChosen = FileA;
    ASSERT_TRUE(PressKey('F', {VK_MENU}));
    ASSERT_TRUE(PressKey('G'));
    ASSERT_TRUE(PumpUntil([&] { return Form->SecurityDataExist(); }));
    const std::wstring shown = Memo();
    EXPECT_EQ(shown.rfind(L"OWNER\r\n    SID as string = S-1-", 0), 0u) << shown;
    EXPECT_NE(shown.find(L"DACL\r\n    ACE count = " + std::to_wstring(systemView.size()) + L"\r\n"), std::wstring::npos)
        << shown;
    for (const auto& [sid, mask] : systemView) {
        EXPECT_NE(shown.find(L"        SID as string = " + sid + L"\r\n"), std::wstring::npos) << sid;
        EXPECT_NE(shown.find(L"        Permissions = " + IntToHex(mask, 8) + L"\r\n"), std::wstring::npos) << mask;
    }
    EXPECT_NE(shown.find(L"        Mode = GRANT_ACCESS\r\n"), std::wstring::npos);

    // Save; clear (the menu greys Apply and Save); load: the same text.
    Choose(Saved, Form->MM_File_SaveSecurityData);
    Form->MM_File_ClearSecurityData->Click();
    EXPECT_EQ(Memo(), L"");
    Form->MM_File->Click();
    EXPECT_FALSE(Form->MM_File_ApplyFileSecurity->Enabled());
    EXPECT_FALSE(Form->MM_File_SaveSecurityData->Enabled());
    Choose(Saved, Form->MM_File_LoadSecurityData);
    EXPECT_EQ(Memo(), shown);
    Form->MM_File->Click();
    EXPECT_TRUE(Form->MM_File_ApplyFileSecurity->Enabled());

    // Applied to file B, B's DACL reads back as A's.
    Choose(FileB, Form->MM_File_ApplyFileSecurity);
    EXPECT_EQ(FileDacl(FileB), systemView);
}

TEST_F(AclViewerTest, LoadThenSaveKeepsTheOrderOfTheEntries) {
    WriteSecurityFile("[Owner]\r\nSID=S-1-5-32-544\r\n[Group]\r\nSID=S-1-5-18\r\n[DACL]\r\nAclIsNull=0\r\nAceCount=2\r\n"
                      "[DACLAce0]\r\nSID=S-1-1-0\r\nInheritance=0\r\nAccessMode=1\r\nAccessPermissions=00120089\r\n"
                      "[DACLAce1]\r\nSID=S-1-5-32-544\r\nInheritance=0\r\nAccessMode=1\r\nAccessPermissions=001F01FF\r\n");
    Choose(Saved, Form->MM_File_LoadSecurityData);
    const std::wstring again = TempFileName(L"acl2") + L".security";
    Choose(again, Form->MM_File_SaveSecurityData);
    TIniFile ini(again);
    EXPECT_EQ(ini.ReadString(L"DACLAce0", L"SID", L""), L"S-1-1-0");
    EXPECT_EQ(ini.ReadString(L"DACLAce0", L"AccessPermissions", L""), L"00120089");
    EXPECT_EQ(ini.ReadString(L"DACLAce1", L"SID", L""), L"S-1-5-32-544");
    DeleteFileW(again.c_str());
}

// Without the security privilege: the SACL cannot be read, the other parts can.
BOOL WINAPI NoSaclWithoutPrivilege(LPCWSTR file, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd, DWORD size,
                                   LPDWORD needed) {
    if (info & SACL_SECURITY_INFORMATION) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    return GetFileSecurityW(file, info, sd, size, needed);
}

SECURITY_INFORMATION gWritten = 0;
BOOL WINAPI RecordWrite(LPCWSTR, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR) {
    gWritten = info;
    return TRUE;
}

TEST_F(AclViewerTest, WithoutTheSecurityPrivilegeTheOtherPartsShowAndTheSaclIsNamed) {
    TGetFileSecurityFunc oldGet = SetGetFileSecurityFunc(&NoSaclWithoutPrivilege);
    TSetFileSecurityFunc oldSet = SetSetFileSecurityFunc(&RecordWrite);
    TScopeExit restore([&] {
        SetGetFileSecurityFunc(oldGet);
        SetSetFileSecurityFunc(oldSet);
    });
    std::vector<std::wstring> texts;
    {
        TModalHookScope hook([&](const TModalWindow& m) {
            ASSERT_EQ(m.Kind, TModalKind::mkMessageBox);
            texts.push_back(m.Text);
            ClickDialogButton(m.Window, IDOK);
        });
        Choose(FileA, Form->MM_File_GetFileSecurity);
        ASSERT_EQ(texts.size(), 1u);
        // What can be read is shown; what was left out says why.
        EXPECT_TRUE(Form->SecurityDataExist());
        EXPECT_NE(Memo().find(L"DACL\r\n    ACE count = "), std::wstring::npos) << Memo();
        EXPECT_NE(Memo().find(L"SACL\r\n    ACL was not read"), std::wstring::npos) << Memo();
        EXPECT_NE(texts[0].find(L"SACL"), std::wstring::npos) << texts[0];
        EXPECT_NE(texts[0].find(SysErrorMessage(ERROR_PRIVILEGE_NOT_HELD)), std::wstring::npos) << texts[0];
        // Applied elsewhere, only the parts read are written.
        Choose(FileB, Form->MM_File_ApplyFileSecurity);
        EXPECT_EQ(gWritten, static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                                              DACL_SECURITY_INFORMATION));
    }
}

TEST_F(AclViewerTest, SecurityFilesDefaultToANullDaclAndReadHexadecimalMasks) {
    // No [DACL]: a NULL DACL.
    WriteSecurityFile("[Owner]\r\nSID=S-1-5-32-544\r\n[Group]\r\nSID=S-1-5-18\r\n");
    Choose(Saved, Form->MM_File_LoadSecurityData);
    EXPECT_NE(Memo().find(L"DACL\r\n    ACL is NULL\r\nSACL\r\n    ACL is NULL"), std::wstring::npos) << Memo();
    EXPECT_NE(Memo().find(L"    SID as string = S-1-5-32-544\r\n"), std::wstring::npos);
    // AccessPermissions 80000000 (a mask beyond the integers) loads.
    WriteSecurityFile("[Owner]\r\nSID=S-1-5-32-544\r\n[Group]\r\nSID=S-1-5-18\r\n[DACL]\r\nAclIsNull=0\r\nAceCount=1\r\n"
                      "[DACLAce0]\r\nSID=S-1-1-0\r\nInheritance=0\r\nAccessMode=1\r\nAccessPermissions=80000000\r\n");
    Choose(Saved, Form->MM_File_LoadSecurityData);
    EXPECT_NE(Memo().find(L"        Permissions = 80000000\r\n"), std::wstring::npos) << Memo();
    // "zz" is no hexadecimal number: the conversion error, and nothing shown.
    WriteSecurityFile("[Owner]\r\nSID=S-1-5-32-544\r\n[DACL]\r\nAclIsNull=0\r\nAceCount=1\r\n"
                      "[DACLAce0]\r\nSID=S-1-1-0\r\nAccessMode=1\r\nAccessPermissions=zz\r\n");
    EXPECT_THROW(Choose(Saved, Form->MM_File_LoadSecurityData), EConvertError);
    EXPECT_EQ(Memo(), L"");
    EXPECT_FALSE(Form->SecurityDataExist());
}

// First answer: the size; second: access denied.
BOOL WINAPI SizeThenDenied(LPCWSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR sd, DWORD, LPDWORD needed) {
    *needed = 64;
    SetLastError(sd ? ERROR_ACCESS_DENIED : ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
}

TEST_F(AclViewerTest, AFailingSecondReadLeavesTheCentreAlone) {
    PSID admins = nullptr;
    ConvertStringSidToSidW(L"S-1-5-32-544", &admins);
    Form->SDC->SetSdOwner(admins);
    TGetFileSecurityFunc old = SetGetFileSecurityFunc(&SizeThenDenied);
    EXPECT_EQ(ReadFileSecurity(FileA, {spOwner, spDACL}, Form->SDC), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetGetFileSecurityFunc(old);
    ASSERT_NE(Form->SDC->SdOwner(), nullptr);
    EXPECT_TRUE(EqualSid(Form->SDC->SdOwner(), admins));
    LocalFree(admins);
    const std::pair<TrkSdParts, SECURITY_INFORMATION> infos[] = {
        {{spOwner}, 1}, {{spGroup}, 2}, {{spDACL}, 4}, {{spSACL}, 8}, {{spOwner, spGroup, spDACL, spSACL}, 15}};
    for (const auto& [parts, info] : infos) EXPECT_EQ(SecurityPartsToInformation(parts), info);
}

TEST_F(AclViewerTest, ReadingOrApplyingAMissingFileSaysWhy) {
    std::vector<std::wstring> texts;
    TModalHookScope hook([&](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkMessageBox);
        texts.push_back(m.Text);
        ClickDialogButton(m.Window, IDOK);
    });
    Choose(FileA + L".missing", Form->MM_File_GetFileSecurity);
    EXPECT_FALSE(Form->SecurityDataExist());
    Choose(FileA, Form->MM_File_GetFileSecurity);
    ASSERT_TRUE(Form->SecurityDataExist());
    Choose(FileA + L".missing", Form->MM_File_ApplyFileSecurity);
    EXPECT_EQ(texts, std::vector<std::wstring>(2, SysErrorMessage(ERROR_FILE_NOT_FOUND)));
}

TEST_F(AclViewerTest, AFailedSaveKeepsTheOldFile) {
    Choose(FileA, Form->MM_File_GetFileSecurity);
    ASSERT_TRUE(Form->SecurityDataExist());
    WriteSecurityFile("[Old]\r\nKey=1\r\n");
    // The new file cannot be written beside the old one.
    const std::wstring blocker = Saved + L".~tmp";
    ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
    EXPECT_THROW(Choose(Saved, Form->MM_File_SaveSecurityData), Exception);
    RemoveDirectoryW(blocker.c_str());
    EXPECT_EQ(ReadFileBytes(Saved), "[Old]\r\nKey=1\r\n");
    // Saving over an existing file replaces it wholly.
    Choose(Saved, Form->MM_File_SaveSecurityData);
    const std::string saved = ReadFileBytes(Saved);
    EXPECT_EQ(saved.find("[Old]"), std::string::npos);
    EXPECT_NE(saved.find("[Owner]"), std::string::npos);
}

} // namespace
