// The ACL grid: the no-ACL row, an empty ACL, entries with their mode and access type, one
// repaint per update bracket, the selection and its edges, unresolvable principals, glyphs in
// both directions.
#include "runtime/controls/Tamrel_AclEditor.h"

#include "host/forms/Capture.h"
#include "host/forms/Forms.h"
#include "tests/runtime/controls/FakeAccountSource.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

using namespace tamrel;
using namespace tamrel::test;

namespace tamrel {

// Counts the repaints the grid asks for and records the texts of the cells it draws.
class TTestAclEditor : public TrkAclEditor {
    TAMREL_CLASS(TTestAclEditor, TrkAclEditor)
public:
    explicit TTestAclEditor(TComponent* owner) : TrkAclEditor(owner) {}
    int Invalidations = 0;
    std::wstring Text(int col, int row) {
        TrkUserInfo* user = nullptr;
        return CellText(col, row, user);
    }
    void Invalidate() override {
        ++Invalidations;
        TrkAclEditor::Invalidate();
    }
};

TAMREL_IMPLEMENT_CLASS(TTestAclEditor) {}

} // namespace tamrel

namespace {

struct TSid {
    PSID Sid = nullptr;
    explicit TSid(const wchar_t* text) { ConvertStringSidToSidW(text, &Sid); }
    ~TSid() { LocalFree(Sid); }
};

class AclEditorTest : public testing::Test {
protected:
    void SetUp() override {
        Form.reset(Create<TForm>(nullptr));
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(420, 40, 400, 200);
        Grid = Create<TTestAclEditor>(Form.get());
        Grid->SetBounds(0, 0, 400, 200);
        Grid->SetParent(Form.get());
        Grid->AccessMasks()->SetMaskType(mtFile);
    }
    void AddEntry(const wchar_t* sid, ACCESS_MODE mode, DWORD mask) {
        Sids.push_back(std::make_unique<TSid>(sid));
        EXPLICIT_ACCESS_W e = {};
        e.grfAccessMode = mode;
        e.grfAccessPermissions = mask;
        e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        e.Trustee.ptstrName = reinterpret_cast<LPWSTR>(Sids.back()->Sid);
        Grid->SetEntries(Grid->EntryCount() - 1, (Grid->AddEntry(), e));
    }
    TOwned<TForm> Form;
    TTestAclEditor* Grid = nullptr;
    std::vector<std::unique_ptr<TSid>> Sids;
};

TEST_F(AclEditorTest, NullAclShowsOneRowForEveryoneAndAnEmptyAclOneEmptyRow) {
    EXPECT_FALSE(Grid->IsEntries());
    EXPECT_EQ(Grid->RowCount(), 2);
    EXPECT_EQ(Grid->ColCount(), 3);
    EXPECT_EQ(Grid->FixedRows(), 1);
    EXPECT_EQ(Grid->FixedCols(), 0);
    EXPECT_EQ(Grid->Text(0, 0), L"User/Group Name");
    EXPECT_EQ(Grid->Text(2, 0), L"Access type");
    EXPECT_EQ(Grid->Text(0, 1), L"Everyone");
    EXPECT_EQ(Grid->Text(1, 1), L"Set");
    EXPECT_EQ(Grid->Text(2, 1), L"Full control");
    Form->Show();
    auto capture = CaptureControl(Grid);
    SaveCapture(*capture, L"AclGridNullAcl");
    TBitmap* world = RkGetSidGlyph(wkWorld, stWellKnownGroup);
    RECT r = Grid->CellRect(0, 1);
    EXPECT_TRUE(ShowsGlyph(*capture, r.left + (24 - world->Width()) / 2, r.top + (RectHeight(r) - 1 - world->Height()) / 2,
                           *world));
    Grid->SetIsEntries(true);
    EXPECT_EQ(Grid->EntryCount(), 0);
    EXPECT_EQ(Grid->RowCount(), 2); // one empty data row
    EXPECT_EQ(Grid->Text(0, 1), L"");
    capture = CaptureControl(Grid);
    EXPECT_FALSE(ShowsGlyph(*capture, r.left + (24 - world->Width()) / 2,
                            r.top + (RectHeight(r) - 1 - world->Height()) / 2, *world));
}

TEST_F(AclEditorTest, ChangesInsideAnUpdateBracketRepaintOnce) {
    Grid->SetIsEntries(true);
    AddEntry(L"S-1-1-0", GRANT_ACCESS, 0x120089);
    // What one change costs outside a bracket: a new row and a repaint.
    int before = Grid->Invalidations;
    Grid->AddEntry();
    const int one = Grid->Invalidations - before;
    Grid->SetEntries(1, *Grid->Entries(0));
    ASSERT_GT(one, 0);
    before = Grid->Invalidations;
    Grid->BeginUpdate();
    Grid->BeginUpdate();
    AddEntry(L"S-1-5-32-544", DENY_ACCESS, 0x1F01FF);
    AddEntry(L"S-1-5-32-545", GRANT_ACCESS, 0x1F01FF);
    Grid->DeleteEntry(0);
    EXPECT_EQ(Grid->RowCount(), 3); // held
    Grid->EndUpdate();
    EXPECT_EQ(Grid->Invalidations, before);
    Grid->EndUpdate();
    EXPECT_EQ(Grid->RowCount(), 4);
    EXPECT_EQ(Grid->Invalidations, before + one);
}

TEST_F(AclEditorTest, SelectionIsClampedAndSpansTheRowToTheLastColumn) {
    Grid->SetIsEntries(true);
    AddEntry(L"S-1-1-0", GRANT_ACCESS, 0x120089);
    AddEntry(L"S-1-5-32-544", DENY_ACCESS, 0x1F01FF);
    AddEntry(L"S-1-5-18", SET_ACCESS, 0x3);
    Grid->SetSelectedIndex(99);
    EXPECT_EQ(Grid->SelectedIndex(), 2);
    EXPECT_EQ(Grid->Selection(), (TGridRect{0, 3, 2, 3}));
    EXPECT_EQ(Grid->Row(), 3);
    Grid->SetSelectedIndex(-5);
    EXPECT_EQ(Grid->SelectedIndex(), -1);
    EXPECT_EQ(Grid->Row(), -1); // never read as a cell
    Form->Show();
    // A click on a row selects its entry.
    RECT r = Grid->CellRect(1, 2);
    PostMessageW(Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 4, r.top + 4));
    PostMessageW(Grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.left + 4, r.top + 4));
    PumpPending();
    EXPECT_EQ(Grid->SelectedIndex(), 1);
    // Down from no selection lands on the first entry.
    Grid->SetSelectedIndex(-1);
    PostMessageW(Grid->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    PumpPending();
    EXPECT_EQ(Grid->SelectedIndex(), 0);
}

TEST_F(AclEditorTest, OptionsRefuseEditingAndKeepRowSelect) {
    Grid->SetOptions(TGridOptions{goEditing, goRangeSelect, goVertLine});
    EXPECT_FALSE(Grid->Options().Contains(goEditing));
    EXPECT_FALSE(Grid->Options().Contains(goRangeSelect));
    EXPECT_TRUE(Grid->Options().Contains(goRowSelect));
    EXPECT_TRUE(Grid->Options().Contains(goVertLine));
}

TEST_F(AclEditorTest, RowsShowPrincipalGlyphsInBothDirectionsAndUnknownSidsAsText) {
    Grid->SetIsEntries(true);
    AddEntry(L"S-1-1-0", GRANT_ACCESS, 0x120089);
    AddEntry(L"S-1-5-21-1-2-3-1234", DENY_ACCESS, 0x3);
    Form->Show();
    auto capture = CaptureControl(Grid);
    SaveCapture(*capture, L"AclGridEntries");
    TBitmap* world = RkGetSidGlyph(wkWorld, stWellKnownGroup);
    RECT c0 = Grid->CellRect(0, 1);
    EXPECT_TRUE(ShowsGlyph(*capture, c0.left + (24 - world->Width()) / 2,
                           c0.top + (RectHeight(c0) - 1 - world->Height()) / 2, *world));
    // The unknown principal's row: no glyph, but its SID as text (dark pixels in the name cell).
    RECT u = Grid->CellRect(0, 2);
    int dark = 0;
    for (int y = u.top; y < u.bottom - 1; ++y)
        for (int x = u.left + 24; x < u.right - 1; ++x)
            if (PixelOf(*capture, x, y) == RGB(0, 0, 0)) ++dark;
    EXPECT_GT(dark, 20);
    Grid->SetBiDiMode(bdRightToLeft);
    capture = CaptureControl(Grid);
    SaveCapture(*capture, L"AclGridEntriesRightToLeft");
    RECT c2 = Grid->CellRect(2, 1);
    EXPECT_TRUE(ShowsGlyph(*capture, c2.right - 1 - 24 + (24 - world->Width()) / 2,
                           c2.top + (RectHeight(c2) - 1 - world->Height()) / 2, *world));
}

TEST_F(AclEditorTest, APrincipalThatDoesNotResolveIsLookedUpOncePerFill) {
    TFakeNet net; // counts the look-ups
    Grid->SetIsEntries(true);
    AddEntry(L"S-1-5-21-1-2-3-1234", DENY_ACCESS, 0x3);
    Form->Show();
    for (int paint = 0; paint < 3; ++paint) {
        Grid->Invalidate();
        UpdateWindow(Grid->Handle());
    }
    EXPECT_EQ(net.LookupCalls, 1);
    // A new ACL is a new fill: the principal is tried once more.
    Grid->SetACL(Grid->ACL());
    Grid->Invalidate();
    UpdateWindow(Grid->Handle());
    EXPECT_EQ(net.LookupCalls, 2);
}

TEST_F(AclEditorTest, ModeAndAccessTypeOfEachEntry) {
    Grid->SetIsEntries(true);
    AddEntry(L"S-1-1-0", GRANT_ACCESS, 0x120089);
    AddEntry(L"S-1-5-32-544", DENY_ACCESS, 0x3);
    AddEntry(L"S-1-5-21-1-2-3-1234", SET_AUDIT_FAILURE, 0x1F01FF);
    const std::vector<std::vector<std::wstring>> expected = {
        {L"Everyone", L"Grant", L"Read only"},
        {L"Administrators", L"Deny", L"Special access"},
        {L"S-1-5-21-1-2-3-1234", L"Audit failure", L"All access"}};
    for (int row = 1; row <= 3; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(Grid->Text(col, row), expected[static_cast<size_t>(row - 1)][static_cast<size_t>(col)])
                << col << "," << row;
    // Printer masks: three share $20008, the first names it.
    Grid->AccessMasks()->SetMaskType(mtPrinter);
    Grid->SetEntries(0, [&] {
        EXPLICIT_ACCESS_W e = *Grid->Entries(0);
        e.grfAccessPermissions = 0x20008;
        return e;
    }());
    EXPECT_EQ(Grid->Text(2, 1), L"Read only");
    EXPECT_EQ(Grid->Text(0, 4), L""); // past the entries
}

} // namespace
