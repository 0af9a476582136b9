// The privileges list box: the lines Filter gives (every privilege and right under Wine), the
// mapping between lines and privileges, Privileges kept within Filter, clicks on a line's check,
// and a checked line that a grayed click turns off.
#include "runtime/controls/Tamrel_PrivilegesListBox.h"

#include "host/forms/Forms.h"
#include "runtime/security/Tamrel_ProcessRightsCenter.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class PrivilegesListBoxTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBounds(600, 100, 320, 400);
        List = Create<TrkPrivilegesListBox>(Form.get());
        List->SetBounds(0, 0, 300, 380);
    }
    // Shown lines as the window holds them.
    std::vector<std::wstring> WindowLines() {
        std::vector<std::wstring> lines;
        for (int i = 0; i < List->Items()->Count(); ++i) lines.push_back(List->Items()->Get(i));
        return lines;
    }
    void ClickCheck(int line) {
        RECT r = List->ItemRect(line);
        PostMessageW(List->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 3));
        PostMessageW(List->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 5, r.top + 3));
        PumpPending();
    }
    TOwned<TForm> Form;
    TrkPrivilegesListBox* List = nullptr;
};

TEST_F(PrivilegesListBoxTest, EveryPrivilegeIsALineByItsDisplayNameOnceTheBoxHasAParent) {
    EXPECT_EQ(List->Items()->Count(), 0); // no parent yet: no lines
    List->SetParent(Form.get());
    Form->Show();
    const std::vector<std::wstring> lines = WindowLines();
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(List->Filter(), AllPrivileges());
    for (int i = 0; i < 27; ++i) {
        EXPECT_EQ(List->PrivilegeByIdx(i), static_cast<TrkPrivilege>(i));
        EXPECT_EQ(lines[static_cast<size_t>(i)], PrivilegeToName(static_cast<TrkPrivilege>(i)));
        EXPECT_FALSE(lines[static_cast<size_t>(i)].empty()) << i;
    }
}

TEST_F(PrivilegesListBoxTest, FilterDecidesTheLinesAndKeepsPrivilegesWithinIt) {
    List->SetParent(Form.get());
    List->SetFilter({spSecurity, spBackup});
    EXPECT_EQ(WindowLines(), (std::vector<std::wstring>{PrivilegeToName(spSecurity), PrivilegeToName(spBackup)}));
    const std::pair<TrkPrivilege, int> lines[] = {
        {spSecurity, 0}, {spBackup, 1}, {spDebug, -1}, {spCreateToken, -1}, {spServiceLogon, -1}};
    for (const auto& [privilege, line] : lines) EXPECT_EQ(List->IdxByPrivilege(privilege), line) << privilege;
    List->SetPrivileges({spSecurity, spDebug});
    EXPECT_EQ(List->Privileges(), TrkPrivileges{spSecurity});
    // A narrower filter drops a checked privilege for good.
    List->SetFilter({spBackup});
    List->SetFilter(AllPrivileges());
    EXPECT_EQ(List->Privileges(), TrkPrivileges{});
    List->SetFilter({spSecurity, spBackup});
    for (int bad : {-1, 2}) {
        try {
            List->PrivilegeByIdx(bad);
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), L"PrivilegeByIdx: List index out of bounds");
        }
    }
}

TEST_F(PrivilegesListBoxTest, ClicksCheckAndUncheckAndAGrayedClickTurnsACheckedLineOff) {
    List->SetParent(Form.get());
    List->SetFilter({spSecurity, spBackup, spDebug});
    List->SetPrivileges({spBackup});
    Form->Show();
    ClickCheck(0);
    EXPECT_EQ(List->Privileges(), (TrkPrivileges{spSecurity, spBackup}));
    ClickCheck(1);
    EXPECT_EQ(List->Privileges(), TrkPrivileges{spSecurity});
    // A grayed state set on an unchecked line changes nothing.
    List->SetStateItem(2, gsGrayed);
    EXPECT_EQ(List->Privileges(), TrkPrivileges{spSecurity});
    // With AllowGrayed a click on a checked line grays it: the line goes off instead of staying on.
    List->SetAllowGrayed(true);
    ClickCheck(0);
    EXPECT_EQ(List->Privileges(), TrkPrivileges{});
    EXPECT_EQ(List->State(0), gsOff);
    ClickCheck(0);
    EXPECT_EQ(List->Privileges(), TrkPrivileges{spSecurity});
}

} // namespace
