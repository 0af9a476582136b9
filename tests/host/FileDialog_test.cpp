// The open-file dialog: the real dialog given a name through a CBT hook, the modal hook, and the
// replaceable function.
#include "host/FileDialog.h"

#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::wstring gFileName;

// Types the name into the dialog's file-name box and presses OK.
void EnterNameAndOk(HWND dialog) {
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box) box = GetDlgItem(dialog, edt1);
    SetWindowTextW(box, gFileName.c_str());
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

struct TOpenRequest {
    wchar_t File[MAX_PATH] = {};
    OPENFILENAMEW Ofn = {};
    TOpenRequest() {
        Ofn.lStructSize = sizeof Ofn;
        Ofn.lpstrFile = File;
        Ofn.nMaxFile = MAX_PATH;
        Ofn.lpstrFilter = L"All files\0*.*\0";
        Ofn.lpstrTitle = L"Pick a file";
        Ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    }
};

TEST(FileDialog, RealOpenDialogGivenANameThroughACbtHook) {
    gFileName = TempFileName(L"pick");
    WriteFileBytes(gFileName, "data");
    TCbtDialogDriver driver(&EnterNameAndOk, 200);
    TOpenRequest request;
    EXPECT_TRUE(ShowFileDialog(request.Ofn, false));
    EXPECT_TRUE(SameText(request.File, gFileName)) << ToUtf8(request.File);
    DeleteFileW(gFileName.c_str());
}

TEST(FileDialog, ModalHookSeesTheDialog) {
    gFileName = TempFileName(L"pick");
    WriteFileBytes(gFileName, "data");
    std::vector<TModalKind> kinds;
    TModalHookScope scope([&](const TModalWindow& m) {
        kinds.push_back(m.Kind);
        EXPECT_EQ(m.Caption, L"Pick a file");
        EnterNameAndOk(m.Window);
    });
    TOpenRequest request;
    EXPECT_TRUE(ShowFileDialog(request.Ofn, false));
    EXPECT_EQ(kinds, std::vector<TModalKind>{TModalKind::mkFileDialog});
    DeleteFileW(gFileName.c_str());
}

bool FakeDialog(OPENFILENAMEW& ofn, bool save) {
    lstrcpynW(ofn.lpstrFile, save ? L"C:\\saved.txt" : L"C:\\opened.txt", static_cast<int>(ofn.nMaxFile));
    return true;
}

TEST(FileDialog, ReplacedFunctionAnswers) {
    EXPECT_EQ(SetFileDialogFunc(&FakeDialog), nullptr);
    TOpenRequest request;
    EXPECT_TRUE(ShowFileDialog(request.Ofn, true));
    EXPECT_STREQ(request.File, L"C:\\saved.txt");
    EXPECT_EQ(SetFileDialogFunc(nullptr), &FakeDialog);
}

} // namespace
