// The open and save dialogs: what they hand the system (filter, flags, default extension, the
// name to start with), what they take back, and a real save dialog that adds the extension.
#include "host/forms/Dialogs.h"

#include "host/FileDialog.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// What the replaced system function saw, and what it answers.
struct TSeen {
    bool Save = false;
    std::wstring Filter; // with the separators shown as '|'
    DWORD FilterIndex = 0;
    DWORD Flags = 0;
    std::wstring DefExt, StartName, Title;
    bool Answer = true;
    std::wstring AnswerName = L"C:\\chosen.security";
    DWORD AnswerIndex = 2;
    DWORD AnswerFlags = 0;
} gSeen;

bool RecordingDialog(OPENFILENAMEW& ofn, bool save) {
    gSeen.Save = save;
    gSeen.Filter.clear();
    // Pairs up to the empty string that ends them.
    for (const wchar_t* p = ofn.lpstrFilter; p && *p; p += wcslen(p) + 1) gSeen.Filter += std::wstring(p) + L"|";
    gSeen.FilterIndex = ofn.nFilterIndex;
    gSeen.Flags = ofn.Flags;
    gSeen.DefExt = ofn.lpstrDefExt ? ofn.lpstrDefExt : L"(none)";
    gSeen.StartName = ofn.lpstrFile;
    gSeen.Title = ofn.lpstrTitle ? ofn.lpstrTitle : L"(none)";
    if (!gSeen.Answer) return false;
    lstrcpynW(ofn.lpstrFile, gSeen.AnswerName.c_str(), static_cast<int>(ofn.nMaxFile));
    ofn.nFilterIndex = gSeen.AnswerIndex;
    ofn.Flags |= gSeen.AnswerFlags;
    return true;
}

class DialogsTest : public testing::Test {
protected:
    void SetUp() override {
        gSeen = TSeen();
        SetFileDialogFunc(&RecordingDialog);
    }
    void TearDown() override { SetFileDialogFunc(nullptr); }
};

TEST_F(DialogsTest, OpenDialogHandsTheSystemItsSettingsAndTakesTheChoiceBack) {
    TOwned<TOpenDialog> dialog(Create<TOpenDialog>(nullptr));
    dialog->SetFilter(L"Security data (*.security)|*.security|All files (*.*)|*.*");
    dialog->SetDefaultExt(L"security");
    dialog->SetFileName(L"C:\\start.security");
    dialog->SetOptions({ofFileMustExist, ofHideReadOnly});
    gSeen.AnswerFlags = OFN_READONLY;
    ASSERT_TRUE(dialog->Execute());
    EXPECT_FALSE(gSeen.Save);
    EXPECT_EQ(gSeen.Filter, L"Security data (*.security)|*.security|All files (*.*)|*.*|");
    EXPECT_EQ(gSeen.FilterIndex, 1u);
    EXPECT_EQ(gSeen.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));
    EXPECT_EQ(gSeen.DefExt, L"security");
    EXPECT_EQ(gSeen.StartName, L"C:\\start.security");
    EXPECT_EQ(gSeen.Title, L"(none)");
    EXPECT_EQ(dialog->FileName(), L"C:\\chosen.security");
    EXPECT_EQ(dialog->FilterIndex(), 2);
    EXPECT_TRUE(dialog->Options().Contains(ofReadOnly));
    EXPECT_FALSE(dialog->Options().Contains(ofExtensionDifferent));
}

TEST_F(DialogsTest, OptionsMapToTheirFlagsOneByOne) {
    const std::pair<TOpenOption, DWORD> table[] = {
        {ofReadOnly, OFN_READONLY},          {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
        {ofHideReadOnly, OFN_HIDEREADONLY},  {ofNoChangeDir, OFN_NOCHANGEDIR},
        {ofNoValidate, OFN_NOVALIDATE},      {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
        {ofPathMustExist, OFN_PATHMUSTEXIST}, {ofFileMustExist, OFN_FILEMUSTEXIST},
        {ofCreatePrompt, OFN_CREATEPROMPT},  {ofShareAware, OFN_SHAREAWARE},
        {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN}, {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
        {ofNoNetworkButton, OFN_NONETWORKBUTTON}, {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
        {ofEnableSizing, OFN_ENABLESIZING}};
    DWORD all = 0;
    TOpenOptions options;
    for (const auto& [option, flag] : table) {
        EXPECT_EQ(OpenOptionsToFlags({option}), flag) << option;
        all |= flag;
        options.Include(option);
    }
    EXPECT_EQ(OpenOptionsToFlags(options), all);
}

TEST_F(DialogsTest, SaveDialogAsksForSavingAndACancelChangesNothing) {
    TOwned<TSaveDialog> dialog(Create<TSaveDialog>(nullptr));
    dialog->SetTitle(L"Save it");
    dialog->SetFileName(L"kept");
    EXPECT_EQ(dialog->Options(), (TOpenOptions{ofHideReadOnly, ofEnableSizing}));
    gSeen.Answer = false;
    EXPECT_FALSE(dialog->Execute());
    EXPECT_TRUE(gSeen.Save);
    EXPECT_EQ(gSeen.Title, L"Save it");
    EXPECT_EQ(gSeen.Filter, L"");
    EXPECT_EQ(gSeen.DefExt, L"(none)");
    EXPECT_EQ(dialog->FileName(), L"kept");
    EXPECT_EQ(dialog->FilterIndex(), 1);
}

TEST(DialogsReal, SaveDialogAddsTheDefaultExtensionToATypedName) {
    const std::wstring dir = TempFileName(L"dlg");
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    TOwned<TSaveDialog> dialog(Create<TSaveDialog>(nullptr));
    dialog->SetDefaultExt(L"security");
    dialog->SetFilter(L"Security data (*.security)|*.security|All files (*.*)|*.*");
    dialog->SetOptions({ofPathMustExist, ofHideReadOnly});
    TModalHookScope hook([&](const TModalWindow& m) {
        ASSERT_EQ(m.Kind, TModalKind::mkFileDialog);
        HWND box = GetDlgItem(m.Window, cmb13);
        if (!box) box = GetDlgItem(m.Window, edt1);
        SetWindowTextW(box, (dir + L"\\typed").c_str());
        SendMessageW(GetDlgItem(m.Window, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_TRUE(dialog->Execute());
    EXPECT_TRUE(SameText(dialog->FileName(), dir + L"\\typed.security")) << ToUtf8(dialog->FileName());
    RemoveDirectoryW(dir.c_str());
}

} // namespace
