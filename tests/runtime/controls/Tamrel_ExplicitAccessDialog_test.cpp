// The explicit-access dialog driven under the modal hook like a person: radios per entry type,
// Revoke, the OK rule, Cancel, inheritance, and an entry picked, ticked and applied to an event.
#include "runtime/controls/Tamrel_ExplicitAccessDialog.h"

#include "host/forms/Capture.h"
#include "tests/runtime/controls/FakeAccountSource.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cstring>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using TForm_ = TRkExplicitAccessEditorForm;

// Runs Execute with Drive acting on the shown form; answers Execute's result.
bool ExecuteDriven(TrkExplicitAccessDialog& dialog, const std::function<void(TForm_&)>& drive) {
    TModalHookScope hook([&](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkForm);
        drive(*static_cast<TForm_*>(m.Form));
    });
    return dialog.Execute();
}

void Cancel(TForm_& f) { PostMessageW(f.BnCancel->Handle(), BM_CLICK, 0, 0); }

void ClickStrip(TrkCheckListBox* list, int index) {
    RECT r = list->ItemRect(index);
    PostMessageW(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 3));
    PostMessageW(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 3));
    PumpPending();
}

int IndexOfUser(TrkUsersComboBox* users, const std::wstring& name) {
    for (int i = 0; i < users->Count(); ++i)
        if (SameText(users->Users(i)->UserName(), name)) return i;
    return -1;
}

struct TSidHolder {
    PSID Sid = nullptr;
    explicit TSidHolder(const wchar_t* s) { ConvertStringSidToSidW(s, &Sid); }
    ~TSidHolder() { LocalFree(Sid); }
};

// The tooltip window the form owns, or null.
HWND TooltipOf(TForm_& f) {
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr)))
        if (GetWindow(w, GW_OWNER) == f.Handle()) return w;
    return nullptr;
}

// Rests the pointer on Control until the form's tooltip shows its hint; the tooltip's height then.
int HintHeightOver(TForm_& f, TWinControl* control) {
    MoveMouseTo(CenterOf(control));
    HWND tip = nullptr;
    const bool shown = PumpUntil(
        [&] {
            tip = TooltipOf(f);
            if (!tip || !IsWindowVisible(tip)) return false;
            TTTOOLINFOW tool = {};
            tool.cbSize = sizeof tool;
            return SendMessageW(tip, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) &&
                   tool.uId == reinterpret_cast<UINT_PTR>(control->Handle());
        },
        3000);
    EXPECT_TRUE(shown) << ToUtf8(control->Name());
    if (!shown) return 0;
    RECT r = {};
    GetWindowRect(tip, &r);
    return RectHeight(r);
}

class ExplicitAccessDialogTest : public testing::Test {
protected:
    void SetUp() override {
        Dialog.reset(Create<TrkExplicitAccessDialog>(nullptr));
        Dialog->AccessMasks()->SetMaskType(mtKey);
    }
    TOwned<TrkExplicitAccessDialog> Dialog;
};

TEST_F(ExplicitAccessDialogTest, EntryTypeDecidesWhichModesAreOffered) {
    for (TrkEntryType type : {etControlAccess, etAuditAccess}) {
        Dialog->SetEntryType(type);
        std::vector<bool> enabled;
        EXPECT_FALSE(ExecuteDriven(*Dialog, [&](TForm_& f) {
            for (int mode = 1; mode <= 6; ++mode) enabled.push_back(f.ModeRadio(mode)->Enabled());
            EXPECT_EQ(f.Caption(), L"Access entry editor");
            EXPECT_EQ(f.ClientWidth(), 426);
            Cancel(f);
        }));
        const bool c = type == etControlAccess;
        EXPECT_EQ(enabled, (std::vector<bool>{c, c, c, true, !c, !c})) << type;
    }
}

TEST_F(ExplicitAccessDialogTest, RevokeMakesTheEditorsReadOnlyAndModeZeroKeepsOkOff) {
    EXPLICIT_ACCESS_W e = {};
    e.grfAccessPermissions = 0x20019; // "Read only"
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    TSidHolder everyone(L"S-1-1-0");
    e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone.Sid);
    Dialog->SetExplicitAccess(e);
    EXPECT_FALSE(ExecuteDriven(*Dialog, [&](TForm_& f) {
        EXPECT_EQ(f.AccessMode, 0);
        for (int mode = 1; mode <= 6; ++mode) EXPECT_FALSE(f.ModeRadio(mode)->Checked());
        EXPECT_GE(f.CBxUsers->ItemIndex(), 0); // Everyone is selected
        EXPECT_FALSE(f.BnOK->Enabled());        // no mode yet
        SendMessageW(f.RbRevoke->Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(f.AccessMode, REVOKE_ACCESS);
        EXPECT_FALSE(f.EdAccessMask->Enabled());
        EXPECT_TRUE(f.EdAccessMask->ReadOnly());
        EXPECT_TRUE(f.EdSpecialAccess->ReadOnly());
        EXPECT_TRUE(f.BnOK->Enabled());
        SendMessageW(f.RbSetAccess->Handle(), BM_CLICK, 0, 0);
        EXPECT_TRUE(f.EdAccessMask->Enabled());
        EXPECT_FALSE(f.EdSpecialAccess->ReadOnly());
        // A mask of 0 keeps OK off.
        f.EdAccessMask->SetAccessMask(0);
        f.CheckOkButtonState();
        EXPECT_FALSE(f.BnOK->Enabled());
        auto capture = CaptureControl(&f, true);
        SaveCapture(*capture, L"ExplicitAccessDialog");
        Cancel(f);
    }));
}

TEST_F(ExplicitAccessDialogTest, CancelLeavesTheRecordAsItWas) {
    EXPLICIT_ACCESS_W e = {};
    e.grfAccessPermissions = 0xF003F;
    e.grfAccessMode = DENY_ACCESS;
    e.grfInheritance = CONTAINER_INHERIT_ACE;
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    TSidHolder admins(L"S-1-5-32-544");
    e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(admins.Sid);
    Dialog->SetExplicitAccess(e);
    EXPLICIT_ACCESS_W before = Dialog->ExplicitAccess();
    EXPECT_FALSE(ExecuteDriven(*Dialog, [](TForm_& f) {
        EXPECT_TRUE(f.RbDenyAccess->Checked());
        EXPECT_TRUE(f.CBxContainerInherit->Checked());
        PostMessageW(f.CBxUsers->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    }));
    EXPECT_EQ(std::memcmp(&before, &Dialog->ExplicitAccess(), sizeof before), 0);
}

TEST_F(ExplicitAccessDialogTest, ASourceWithoutTheChosenPrincipalLeavesNoneChosenAndOkOff) {
    TFakeNet net;
    net.Domains = {L"DOMAIN1"};
    net.ReachableDomains = {L"DOMAIN1"};
    // The Wine user, as the record's principal: listed by the computer, not by the domain.
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE user[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &size));
    CloseHandle(token);
    EXPLICIT_ACCESS_W e = {};
    e.grfAccessPermissions = 0x20019;
    e.grfAccessMode = GRANT_ACCESS;
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    Dialog->SetExplicitAccess(e);
    EXPECT_FALSE(ExecuteDriven(*Dialog, [&](TForm_& f) {
        ASSERT_EQ(f.CBxSidSource->Count(), 2);
        ASSERT_GE(f.CBxUsers->ItemIndex(), 0);
        EXPECT_TRUE(f.BnOK->Enabled());
        net.UserPages = {};
        // The user picks the domain with the keyboard.
        f.CBxSidSource->SetFocus();
        PressKeys({VK_DOWN});
        ASSERT_EQ(f.CBxSidSource->ItemIndex(), 1);
        EXPECT_EQ(f.CBxUsers->Server(), L"DC-DOMAIN1");
        EXPECT_EQ(f.CBxUsers->ItemIndex(), -1);
        EXPECT_EQ(f.CBxUsers->SelectedSid(), nullptr);
        EXPECT_FALSE(f.BnOK->Enabled());
        Cancel(f);
    }));
}

TEST_F(ExplicitAccessDialogTest, HintsShowWhereThePointerRestsAPhraseToALine) {
    EXPECT_FALSE(ExecuteDriven(*Dialog, [&](TForm_& f) {
        const int one = HintHeightOver(f, f.EdAccessMask); // "Select desired access type"
        const int four = HintHeightOver(f, f.RbAllowAccess); // four phrases
        EXPECT_GT(four, 2 * one);
        Cancel(f);
    }));
}

TEST_F(ExplicitAccessDialogTest, PickTickAllowAndOkGiveAnEntryThatAppliesToAnEvent) {
    EXPLICIT_ACCESS_W e = {};
    e.grfInheritance = 0x1E0 | OBJECT_INHERIT_ACE; // bits beyond $1F are dropped on OK
    Dialog->SetExplicitAccess(e);
    ASSERT_TRUE(ExecuteDriven(*Dialog, [](TForm_& f) {
        // The user picks Everyone in the combo.
        int everyone = IndexOfUser(f.CBxUsers, L"Everyone");
        ASSERT_GE(everyone, 0);
        f.CBxUsers->SetItemIndex(everyone);
        SendMessageW(f.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(f.CBxUsers->Handle()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(f.CBxUsers->Handle()));
        // Ticks "Query value" and "Set value": no predefined mask is $3.
        ClickStrip(f.EdSpecialAccess, 0);
        ClickStrip(f.EdSpecialAccess, 1);
        EXPECT_EQ(f.EdAccessMask->AccessMask(), 0x3u);
        EXPECT_FALSE(f.BnOK->Enabled()); // no mode yet
        SendMessageW(f.RbAllowAccess->Handle(), BM_CLICK, 0, 0);
        EXPECT_TRUE(f.BnOK->Enabled());
        PostMessageW(f.BnOK->Handle(), BM_CLICK, 0, 0);
    }));
    const EXPLICIT_ACCESS_W& r = Dialog->ExplicitAccess();
    EXPECT_EQ(r.grfAccessMode, GRANT_ACCESS);
    EXPECT_EQ(r.grfAccessPermissions, 0x3u);
    EXPECT_EQ(r.grfInheritance, static_cast<DWORD>(OBJECT_INHERIT_ACE));
    ASSERT_EQ(r.Trustee.TrusteeForm, TRUSTEE_IS_SID);
    TSidHolder world(L"S-1-1-0");
    ASSERT_TRUE(EqualSid(reinterpret_cast<PSID>(r.Trustee.ptstrName), world.Sid));

    // The entry applied to an event's DACL reads back.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPLICIT_ACCESS_W entry = r;
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &entry, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(SetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(acl);
    PACL read = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_EQ(GetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &read, nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(read, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask, 0x3u);
    EXPECT_TRUE(EqualSid(&ace->SidStart, world.Sid));
    LocalFree(sd);
    CloseHandle(event);
}

} // namespace
