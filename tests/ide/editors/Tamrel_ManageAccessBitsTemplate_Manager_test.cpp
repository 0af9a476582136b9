// The template manager on the machine's user template file (kept and put back by the fixture):
// one window however often it is shown, templates added, renamed and saved in order, names the
// file cannot keep apart refused with the file unchanged, an emptied list leaving no file, and
// Exit freeing the window.
#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"

#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Counts the visible windows captioned as the manager.
BOOL CALLBACK CountManagerWindow(HWND window, LPARAM counter) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    if (IsWindowVisible(window) && std::wstring(text) == L"Access bits templates manager") ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

class TemplateManager : public testing::Test {
protected:
    void SetUp() override {
        File = GetMaskTemplateFileName();
        Had = GetFileAttributesW(File.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (Had) Saved = ReadFileBytes(File);
        DeleteFileW(File.c_str());
    }
    void TearDown() override {
        if (MaskTemplateManager()) Free(MaskTemplateManager());
        DeleteFileW(File.c_str());
        if (Had) WriteFileBytes(File, Saved);
    }
    static int ManagerWindows() {
        int count = 0;
        EnumThreadWindows(GetCurrentThreadId(), CountManagerWindow, reinterpret_cast<LPARAM>(&count));
        return count;
    }
    std::wstring File;
    bool Had = false;
    std::string Saved;
};

TEST_F(TemplateManager, OneWindowSavesItsTemplatesInOrderAndRefusesEqualNames) {
    ShowMaskTemplateManager();
    TRkManageAccessBitsTemplateForm* manager = MaskTemplateManager();
    ASSERT_NE(manager, nullptr);
    ShowMaskTemplateManager();
    PumpPending();
    EXPECT_EQ(MaskTemplateManager(), manager);
    EXPECT_EQ(ManagerWindows(), 1);

    manager->ActAdd->Execute();
    manager->ActAdd->Execute();
    TListItems* items = manager->LvTemplates->Items();
    ASSERT_EQ(items->Count(), 2);
    EXPECT_EQ(items->Item(1)->Caption(), L"New template");
    EXPECT_TRUE(items->Item(1)->Selected());
    items->Item(0)->SetCaption(L"é");
    items->Item(1)->SetCaption(L"Ж");
    manager->ActSave->Execute();
    EXPECT_EQ(ReadMaskTemplateNames(File), (std::vector<std::wstring>{L"é", L"Ж"}));
    const std::string saved = ReadFileBytes(File);

    manager->ActAdd->Execute();
    items->Item(2)->SetCaption(L" é ");
    EXPECT_THROW(manager->ActSave->Execute(), Exception);
    EXPECT_EQ(ReadFileBytes(File), saved);

    while (items->Count() > 0) {
        items->Item(0)->SetSelected(true);
        manager->ActRemove->Execute();
    }
    EXPECT_EQ(manager->AccessMask(), nullptr);
    manager->ActSave->Execute();
    EXPECT_EQ(GetFileAttributesW(File.c_str()), INVALID_FILE_ATTRIBUTES);

    manager->ActExit->Execute();
    EXPECT_TRUE(PumpUntil([] { return MaskTemplateManager() == nullptr; }));
    EXPECT_EQ(ManagerWindows(), 0);
}

// The window goes while it still lists templates, one of them shown in the preview.
TEST_F(TemplateManager, ATemplateSavedElsewhereReachesTheOpenManagersItemOfThatName) {
    ShowMaskTemplateManager();
    TRkManageAccessBitsTemplateForm* manager = MaskTemplateManager();
    manager->ActAdd->Execute();
    manager->LvTemplates->Items()->Item(0)->SetCaption(L"Mine");
    TrkAccessBits bits;
    bits.SetMaskType(mtKey);
    bits.MaskBit(5)->SetBitName(L"from the bits editor");
    manager->TemplateSaved(L" mine ", bits);
    ASSERT_EQ(manager->LvTemplates->Items()->Count(), 1);
    auto* held = static_cast<TrkAccessBits*>(manager->LvTemplates->Items()->Item(0)->Data());
    EXPECT_EQ(held->MaskBit(5)->BitName(), L"from the bits editor");
    manager->TemplateSaved(L"Other", bits);
    EXPECT_EQ(manager->LvTemplates->Items()->Count(), 2);
    manager->ActExit->Execute();
    EXPECT_TRUE(PumpUntil([] { return MaskTemplateManager() == nullptr; }));
}

} // namespace
