// The security-descriptor dialog driven under the modal hook like a person: pages per part,
// masks narrowed per page, rows added through the nested entry dialog and deleted by key, the
// owner chosen, and the descriptor applied to an event and read back; the parts a user leaves
// alone stay as they were.
#include "runtime/controls/Tamrel_SecurityDescriptorDialog.h"

#include "host/forms/Capture.h"
#include "tests/runtime/security/SecurityTestSupport.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TSdForm = TRkSecurityDescriptorEditorForm;
using TEntryForm = TRkExplicitAccessEditorForm;

struct TSidHolder {
    PSID Sid = nullptr;
    explicit TSidHolder(const wchar_t* s) { ConvertStringSidToSidW(s, &Sid); }
    ~TSidHolder() { LocalFree(Sid); }
};

// An ACL of allow entries, one per (SID string, mask).
struct TAclHolder {
    PACL Acl = nullptr;
    TAclHolder(std::initializer_list<std::pair<const wchar_t*, DWORD>> entries) {
        DWORD size = sizeof(ACL);
        std::vector<TSidHolder*> sids;
        for (const auto& e : entries) {
            sids.push_back(new TSidHolder(e.first));
            size += sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sids.back()->Sid);
        }
        Acl = static_cast<PACL>(LocalAlloc(LPTR, size));
        InitializeAcl(Acl, size, ACL_REVISION);
        size_t i = 0;
        for (const auto& e : entries) AddAccessAllowedAce(Acl, ACL_REVISION, e.second, sids[i++]->Sid);
        for (TSidHolder* s : sids) delete s;
    }
    ~TAclHolder() { LocalFree(Acl); }
};

int IndexOfUser(TrkUsersComboBox* users, const std::wstring& name) {
    for (int i = 0; i < users->Count(); ++i)
        if (SameText(users->Users(i)->UserName(), name)) return i;
    return -1;
}

void ClickStrip(TrkCheckListBox* list, int index) {
    RECT r = list->ItemRect(index);
    PostMessageW(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 3));
    PostMessageW(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 3));
    PumpPending();
}

void Click(TWinControl* button) { SendMessageW(button->Handle(), BM_CLICK, 0, 0); }
void Post(TWinControl* button) { PostMessageW(button->Handle(), BM_CLICK, 0, 0); }

std::vector<bool> TabsShown(TSdForm& f) {
    return {f.TShPermissions->TabVisible(), f.TShAudit->TabVisible(), f.TShOwner->TabVisible()};
}

class SecurityDescriptorDialogTest : public testing::Test {
protected:
    void SetUp() override {
        Dialog.reset(Create<TrkSecurityDescriptorDialog>(nullptr));
        Dialog->AccessMasks()->SetMaskType(mtKey);
    }
    // Runs Execute; the outer form goes to Drive, a nested entry form to Entry (a test
    // failure when none is given).
    bool Execute(const std::function<void(TSdForm&)>& drive,
                 const std::function<void(TEntryForm&)>& entry = nullptr) {
        TModalHookScope hook([&](const TModalWindow& m) {
            ASSERT_EQ(m.Kind, TModalKind::mkForm);
            if (auto* sd = dynamic_cast<TSdForm*>(m.Form)) {
                ++Shown;
                drive(*sd);
            } else if (auto* e = dynamic_cast<TEntryForm*>(m.Form)) {
                ++EntryShown;
                ASSERT_TRUE(entry) << "an entry dialog opened";
                entry(*e);
            }
        });
        return Dialog->Execute();
    }
    TOwned<TrkSecurityDescriptorDialog> Dialog;
    int Shown = 0;
    int EntryShown = 0;
};

TEST_F(SecurityDescriptorDialogTest, NothingToShowMeansNoFormAndFalse) {
    Dialog->SetShowSdParts({});
    EXPECT_FALSE(Execute([](TSdForm& f) { Post(f.BnOK); }));
    EXPECT_EQ(Shown, 0);
}

TEST_F(SecurityDescriptorDialogTest, AuditAloneShowsOnePageAndWritesOnlyTheSacl) {
    // A mask of ACCESS_SYSTEM_SECURITY alone belongs to audit only.
    TrkAccessMask* system = Dialog->AccessMasks()->Add();
    system->SetMaskCaption(L"System security");
    system->SetAccessMask(ACCESS_SYSTEM_SECURITY);
    const int masks = Dialog->AccessMasks()->Count();
    TSidHolder admins(L"S-1-5-32-544");
    Dialog->SecurityDescriptor()->SetSdOwner(admins.Sid);
    Dialog->SetShowSdParts({spSACL});
    ASSERT_TRUE(Execute([&](TSdForm& f) {
        EXPECT_EQ(f.Caption(), L"RkSecurityDescriptorEditorForm");
        EXPECT_EQ(f.ClientWidth(), 448);
        EXPECT_EQ(f.ClientHeight(), 357);
        EXPECT_EQ(TabsShown(f), (std::vector<bool>{false, true, false}));
        EXPECT_EQ(f.PgSD->ActivePage(), f.TShAudit);
        EXPECT_EQ(f.AeAudit->AccessMasks()->Count(), masks);
        EXPECT_EQ(f.AeAccess->AccessMasks()->Count(), masks - 1);
        EXPECT_EQ(f.AeAudit->ColWidths(1), 57);
        // Parts not offered are kept: their controls are greyed.
        EXPECT_FALSE(f.ChangeAccess());
        EXPECT_FALSE(f.AeAccess->Enabled());
        EXPECT_EQ(f.AeAccess->Color(), clBtnFace);
        EXPECT_FALSE(f.BnAccessAddEntry->Enabled());
        EXPECT_TRUE(f.BnAuditAddEntry->Enabled());
        EXPECT_FALSE(f.CBxOwner->Enabled());
        SaveCapture(*CaptureControl(&f, true), L"SecurityDescriptorDialog_Audit");
        Post(f.BnOK);
    }));
    EXPECT_EQ(Dialog->ChangedSdParts(), TrkSdParts{spSACL});
    EXPECT_TRUE(EqualSid(Dialog->SecurityDescriptor()->SdOwner(), admins.Sid));
}

TEST_F(SecurityDescriptorDialogTest, NoAclRowIsDeletedIntoAnEmptyAclAndCannotBeEdited) {
    Dialog->SetShowSdParts({spDACL});
    ASSERT_TRUE(Execute([](TSdForm& f) {
        EXPECT_EQ(TabsShown(f), (std::vector<bool>{true, false, false}));
        ASSERT_FALSE(f.AeAccess->IsEntries());
        EXPECT_TRUE(f.BnAccessDeleteEntry->Enabled());
        // Space edits a row: on the no-ACL row it opens nothing.
        WORD space = VK_SPACE;
        f.AeAccessKeyDown(f.AeAccess, space, {});
        // A modifier held: Delete is not acted on.
        WORD del = VK_DELETE;
        f.AeAccessKeyDown(f.AeAccess, del, {ssCtrl});
        EXPECT_FALSE(f.AeAccess->IsEntries());
        Click(f.BnAccessDeleteEntry);
        EXPECT_TRUE(f.AeAccess->IsEntries());
        EXPECT_EQ(f.AeAccess->EntryCount(), 0);
        EXPECT_FALSE(f.BnAccessDeleteEntry->Enabled());
        Post(f.BnOK);
    }));
    EXPECT_EQ(EntryShown, 0);
    EXPECT_EQ(Dialog->ChangedSdParts(), TrkSdParts{spDACL});
    PACL dacl = Dialog->SecurityDescriptor()->DACL();
    ASSERT_NE(dacl, nullptr);
    EXPECT_EQ(dacl->AceCount, 0);
}

TEST_F(SecurityDescriptorDialogTest, UncheckedBoxesAndAnOwnerNotListedChangeNothing) {
    TSidHolder system(L"S-1-5-18"), admins(L"S-1-5-32-544");
    TAclHolder acl({{L"S-1-1-0", 0x20019}});
    TrkSecurityDescriptorCenter* sd = Dialog->SecurityDescriptor();
    sd->SetSdOwner(system.Sid); // a well-known group: the owner combo does not list it
    sd->SetSdGroup(admins.Sid);
    sd->SetDACL(acl.Acl);
    ASSERT_TRUE(Execute([](TSdForm& f) {
        EXPECT_EQ(f.PgSD->ActivePage(), f.TShPermissions);
        // The combos of the page not shown yet have their selection fields as high as an item.
        for (TrkCustomComboBox* combo : std::initializer_list<TrkCustomComboBox*>{f.CBxOwnerSidSource, f.CBxOwner,
                                                                                  f.CBxOwnerGroup}) {
            COMBOBOXINFO info = {};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(combo->Handle(), &info));
            EXPECT_GE(RectHeight(info.rcItem), combo->DefaultItemHeight()) << combo->Name();
        }
        EXPECT_EQ(f.CBxOwner->ItemIndex(), -1);
        EXPECT_GE(f.CBxOwnerGroup->ItemIndex(), 0);
        Click(f.CBxChangeAccess);
        EXPECT_FALSE(f.AeAccess->Enabled());
        EXPECT_FALSE(f.BnAccessDeleteEntry->Enabled());
        Click(f.CBxChangeOwnerGroup);
        EXPECT_EQ(f.CBxOwnerGroup->Color(), clBtnFace);
        Post(f.BnOK);
    }));
    // The owner box stayed checked with nothing chosen: the owner is kept, not erased.
    EXPECT_EQ(Dialog->ChangedSdParts(), TrkSdParts{spSACL});
    EXPECT_TRUE(EqualSid(sd->SdOwner(), system.Sid));
    EXPECT_TRUE(EqualSid(sd->SdGroup(), admins.Sid));
    ASSERT_NE(sd->DACL(), nullptr);
    EXPECT_EQ(sd->DACL()->AceCount, 1);
    // Cancel keeps the last OK's parts.
    EXPECT_FALSE(Execute([](TSdForm& f) { Post(f.BnCancel); }));
    EXPECT_EQ(Dialog->ChangedSdParts(), TrkSdParts{spSACL});
}

TEST_F(SecurityDescriptorDialogTest, DenyRowAddedEntryDeletedByKeyAndOwnerChosenApplyToAnEvent) {
    TSidHolder world(L"S-1-1-0"), admins(L"S-1-5-32-544"), system(L"S-1-5-18");
    TAclHolder acl({{L"S-1-5-18", 0xF003F}});
    TrkSecurityDescriptorCenter* sd = Dialog->SecurityDescriptor();
    sd->SetSdOwner(system.Sid);
    sd->SetSdGroup(system.Sid);
    sd->SetDACL(acl.Acl);
    Dialog->SetShowSdParts({spOwner, spGroup, spDACL});
    ASSERT_TRUE(Execute(
        [&](TSdForm& f) {
            ASSERT_EQ(f.AeAccess->EntryCount(), 1);
            // Add: the nested entry dialog gives a deny row for Everyone.
            Click(f.BnAccessAddEntry);
            ASSERT_EQ(f.AeAccess->EntryCount(), 2);
            EXPECT_EQ(f.AeAccess->Entries(1)->grfAccessMode, DENY_ACCESS);
            // The first row selected and deleted with the Delete key (sent to the grid's window:
            // real input would go to whichever window is in front on a shared display).
            f.AeAccess->SetSelectedIndex(0);
            f.AeAccess->SetFocus();
            SendMessageW(f.AeAccess->Handle(), WM_KEYDOWN, VK_DELETE, 0);
            ASSERT_EQ(f.AeAccess->EntryCount(), 1);
            EXPECT_EQ(f.AeAccess->Entries(0)->grfAccessMode, DENY_ACCESS);
            // The owner: Administrators.
            f.PgSD->SetActivePage(f.TShOwner);
            const int i = IndexOfUser(f.CBxOwner, L"Administrators");
            ASSERT_GE(i, 0);
            f.CBxOwner->SetItemIndex(i);
            SaveCapture(*CaptureControl(&f, true), L"SecurityDescriptorDialog_Owner");
            Post(f.BnOK);
        },
        [](TEntryForm& e) {
            const int everyone = IndexOfUser(e.CBxUsers, L"Everyone");
            ASSERT_GE(everyone, 0);
            e.CBxUsers->SetItemIndex(everyone);
            SendMessageW(e.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(e.CBxUsers->Handle()), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(e.CBxUsers->Handle()));
            ClickStrip(e.EdSpecialAccess, 0);
            ClickStrip(e.EdSpecialAccess, 1);
            Click(e.RbDenyAccess);
            Post(e.BnOK);
        }));
    EXPECT_EQ(EntryShown, 1);
    EXPECT_EQ(Dialog->ChangedSdParts(), (TrkSdParts{spOwner, spGroup, spDACL}));
    EXPECT_TRUE(EqualSid(sd->SdOwner(), admins.Sid));
    EXPECT_TRUE(EqualSid(sd->SdGroup(), system.Sid));

    // Applied to an event, the parts read back.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    ASSERT_EQ(SetSecurityInfo(event, SE_KERNEL_OBJECT,
                              OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              sd->SdOwner(), sd->SdGroup(), sd->DACL(), nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    PSID owner = nullptr, group = nullptr;
    PACL read = nullptr;
    PSECURITY_DESCRIPTOR back = nullptr;
    ASSERT_EQ(GetSecurityInfo(event, SE_KERNEL_OBJECT,
                              OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              &group, &read, nullptr, &back),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(EqualSid(owner, admins.Sid));
    EXPECT_TRUE(EqualSid(group, system.Sid));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->AceCount, 1);
    ACCESS_DENIED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(read, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_DENIED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, 0x3u);
    EXPECT_TRUE(EqualSid(&ace->SidStart, world.Sid));
    LocalFree(back);
    CloseHandle(event);
}

// A descriptor in SDDL as the system writes it back, for comparing texts.
std::wstring NormalSddl(PSECURITY_DESCRIPTOR sd) {
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            sd, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &text, nullptr))
        return L"(none)";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

TEST_F(SecurityDescriptorDialogTest, AnEditedRowKeepsItsPrincipalAndItsPlace) {
    Dialog->SecurityDescriptor()->SetSD(TSddl(L"O:BAG:SYD:(A;;0xf003f;;;SY)(A;;0x1;;;BU)").Get());
    TSidHolder users(L"S-1-5-32-545");
    ASSERT_TRUE(Execute(
        [&](TSdForm& f) {
            ASSERT_EQ(f.AeAccess->EntryCount(), 2);
            // A double click on the Users row, OK in the entry dialog, then the row as the grid keeps it.
            RECT row = f.AeAccess->CellRect(1, 2);
            ASSERT_TRUE(ClickScreen(f.AeAccess->ClientToScreen(POINT{row.left + 4, row.top + 4}), false, true));
            ASSERT_TRUE(PumpUntil([&] { return EntryShown == 1; }));
            PSID trustee = reinterpret_cast<PSID>(f.AeAccess->Entries(1)->Trustee.ptstrName);
            const bool valid = trustee && IsValidSid(trustee);
            EXPECT_TRUE(valid);
            EXPECT_TRUE(valid && EqualSid(trustee, users.Sid));
            EXPECT_EQ(f.AeAccess->Entries(1)->grfAccessPermissions, 0x20019u);
            // OK builds the DACL from the rows (a row without its principal raises here).
            ClickAt(CenterOf(f.BnOK));
        },
        [&](TEntryForm& e) {
            ASSERT_TRUE(e.CBxUsers->SelectedSid());
            EXPECT_TRUE(EqualSid(e.CBxUsers->SelectedSid(), users.Sid));
            // "Read only", then OK.
            RECT item = e.EdAccessMask->ItemRect(0);
            ClickAt(e.EdAccessMask->ClientToScreen(POINT{item.left + 5, item.top + RectHeight(item) / 2}));
            EXPECT_EQ(e.EdAccessMask->AccessMask(), 0x20019u);
            ASSERT_TRUE(e.BnOK->Enabled());
            ClickAt(CenterOf(e.BnOK));
        }));
    EXPECT_EQ(NormalSddl(Dialog->SecurityDescriptor()->RelativeSD()),
              NormalSddl(TSddl(L"O:BAG:SYD:(A;;0xf003f;;;SY)(A;;0x20019;;;BU)").Get()));
}

} // namespace

// Both dialog components go on the palette page "Tamrel", one call each.
namespace {
std::vector<std::pair<std::wstring, std::wstring>> gPalette;
void RecordPalette(const std::wstring& page, const std::vector<const TClassInfo*>& classes) {
    for (const TClassInfo* c : classes) gPalette.emplace_back(page, c->Name());
}
} // namespace

TEST(DialogRegistration, EachDialogGoesOnThePalettePageTamrel) {
    gPalette.clear();
    TRegisterComponentsProc before = SetRegisterComponentsProc(&RecordPalette);
    Tamrel_ExplicitAccessDialog_DoRegster();
    Tamrel_SecurityDescriptorDialog_DoRegister();
    SetRegisterComponentsProc(before);
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"Tamrel", L"TrkExplicitAccessDialog"}, {L"Tamrel", L"TrkSecurityDescriptorDialog"}};
    EXPECT_EQ(gPalette, expected);
}
