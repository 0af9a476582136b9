// The template manager on the machine's user template file (kept and put back by the fixture):
// one window however often it is shown, templates added, renamed and saved in order, names the
// file cannot keep apart refused with the file unchanged, an emptied list leaving no file, a
// failed write keeping the old file, Exit freeing the window, a template the bits editor adds
// while the manager is open reaching the manager's item, and the window going with the library.
// The manager is driven with real clicks on its tool bar and real keys in its list.
#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"
#include "ide/editors/Tamrel_Property_AccessBits.h"
#include "ide/editors/Tamrel_SelectAccessBits.h"

#include "tests/ide/editors/EditorsTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/forms/Capture.h"
#include "host/HostApplication.h"

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

// What reaches the application from the windows' handlers.
struct TExceptionLog {
    std::vector<std::wstring> Messages;
    void Caught(TObject*, Exception& e) { Messages.push_back(e.Message()); }
};

class TemplateManager : public testing::Test {
protected:
    void SetUp() override {
        File = GetMaskTemplateFileName();
        Had = GetFileAttributesW(File.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (Had) Saved = ReadFileBytes(File);
        DeleteFileW(File.c_str());
        HostApplication->SetOnException(TExceptionEvent::Of<&TExceptionLog::Caught>(&Errors));
    }
    void TearDown() override {
        HostApplication->SetOnException({});
        if (MaskTemplateManager()) Free(MaskTemplateManager());
        RemoveDirectoryW((File + L".tmp").c_str());
        DeleteFileW(File.c_str());
        if (Had) WriteFileBytes(File, Saved);
    }
    // The manager, shown and in front.
    static TRkManageAccessBitsTemplateForm* Open() {
        ShowMaskTemplateManager();
        TRkManageAccessBitsTemplateForm* manager = MaskTemplateManager();
        PumpPending();
        return manager;
    }
    // A new caption typed into the item's in-place editor, accepted with Enter.
    static void Rename(TListItem* item, const std::wstring& caption) {
        ASSERT_TRUE(item->EditCaption());
        HWND editor = item->ListView()->EditorHandle();
        ASSERT_NE(editor, nullptr);
        SendMessageW(editor, EM_SETSEL, 0, -1);
        TypeText(caption);
        PressKeys({VK_RETURN});
    }
    static std::vector<std::wstring> Captions(TListView* view) {
        std::vector<std::wstring> captions;
        for (int i = 0; i < view->Items()->Count(); ++i) captions.push_back(view->Items()->Item(i)->Caption());
        return captions;
    }
    static void Select(TListView* view, int index) {
        const RECT r = view->Items()->Item(index)->DisplayRect(true);
        ClickAt(view->ClientToScreen(POINT{r.left + 4, (r.top + r.bottom) / 2}));
    }
    TExceptionLog Errors;
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
    manager->TemplateSaved(L" Other ", bits);
    ASSERT_EQ(manager->LvTemplates->Items()->Count(), 2);
    EXPECT_EQ(manager->LvTemplates->Items()->Item(1)->Caption(), L"Other");
    manager->ActExit->Execute();
    EXPECT_TRUE(PumpUntil([] { return MaskTemplateManager() == nullptr; }));
}

TEST_F(TemplateManager, TemplatesAddedAndRenamedWithTheMouseAndKeysComeBackInOrderWhenReopened) {
    TRkManageAccessBitsTemplateForm* manager = Open();
    ClickButton(manager->TbAdd);
    ClickButton(manager->TbAdd);
    TListView* list = manager->LvTemplates;
    ASSERT_EQ(Captions(list), (std::vector<std::wstring>{L"New template", L"New template"}));
    EXPECT_TRUE(list->Items()->Item(1)->Selected());
    // The second template uses bit 3, through its preview grid.
    const RECT cell = manager->GrMaskBits->CellRect(1, 4);
    ClickAt(manager->GrMaskBits->ClientToScreen(POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2}));
    ASSERT_NE(manager->AccessMask(), nullptr);
    EXPECT_TRUE(manager->AccessMask()->MaskBit(3)->IsUsed());
    Rename(list->Items()->Item(0), L"\u00e9");
    Rename(list->Items()->Item(1), L"\u0416");
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"\u00e9", L"\u0416"}));
    SaveCapture(*CaptureControl(manager, true), L"TemplateManagerTwoTemplates");
    ClickButton(manager->TbSave);
    EXPECT_TRUE(Errors.Messages.empty());
    EXPECT_EQ(ReadFileBytes(File).substr(0, 2), std::string("\xFF\xFE")); // "\u0416" needs UTF-16
    ClickButton(manager->TbExit);
    ASSERT_TRUE(PumpUntil([] { return MaskTemplateManager() == nullptr; }));

    manager = Open();
    list = manager->LvTemplates;
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"\u00e9", L"\u0416"}));
    EXPECT_EQ(manager->AccessMask(), nullptr); // nothing selected at first
    Select(list, 1);
    ASSERT_NE(manager->AccessMask(), nullptr);
    EXPECT_TRUE(manager->AccessMask()->MaskBit(3)->IsUsed());
    EXPECT_EQ(manager->AccessMask()->UsedCount(), 1);
    SaveCapture(*CaptureControl(manager, true), L"TemplateManagerReopened");
}

TEST_F(TemplateManager, NamesEqualAsTheFileComparesThemAreRefusedByNameAndTheFileStays) {
    TRkManageAccessBitsTemplateForm* manager = Open();
    ClickButton(manager->TbAdd);
    ClickButton(manager->TbAdd);
    TListView* list = manager->LvTemplates;
    Rename(list->Items()->Item(0), L"Kept");
    Rename(list->Items()->Item(1), L"Other");
    ClickButton(manager->TbSave);
    const std::string saved = ReadFileBytes(File);
    ASSERT_FALSE(saved.empty());

    Rename(list->Items()->Item(0), L"A");
    Rename(list->Items()->Item(1), L" a ");
    ClickButton(manager->TbSave);
    ASSERT_EQ(Errors.Messages.size(), 1u);
    EXPECT_NE(Errors.Messages[0].find(L"\"a\""), std::wstring::npos) << ToUtf8(Errors.Messages[0]);
    EXPECT_EQ(ReadFileBytes(File), saved);

    // A blank name is refused too.
    Rename(list->Items()->Item(1), L"   ");
    ClickButton(manager->TbSave);
    ASSERT_EQ(Errors.Messages.size(), 2u);
    EXPECT_NE(Errors.Messages[1].find(L"no name"), std::wstring::npos) << ToUtf8(Errors.Messages[1]);
    EXPECT_EQ(ReadFileBytes(File), saved);

    // Removing them all and saving leaves no file.
    for (int left = list->Items()->Count(); left > 0; --left) {
        Select(list, 0);
        ClickButton(manager->TbRemove);
        EXPECT_EQ(manager->AccessMask(), nullptr);
    }
    EXPECT_EQ(list->Items()->Count(), 0);
    ClickButton(manager->TbSave);
    EXPECT_EQ(GetFileAttributesW(File.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Errors.Messages.size(), 2u);
}

TEST_F(TemplateManager, AFolderInTheWayOfTheTemporaryFileKeepsTheOldFileAndReportsTheFailure) {
    TRkManageAccessBitsTemplateForm* manager = Open();
    ClickButton(manager->TbAdd);
    ClickButton(manager->TbSave);
    const std::string saved = ReadFileBytes(File);
    ASSERT_FALSE(saved.empty());
    Rename(manager->LvTemplates->Items()->Item(0), L"Renamed");
    ASSERT_TRUE(CreateDirectoryW((File + L".tmp").c_str(), nullptr));
    ClickButton(manager->TbSave);
    ASSERT_EQ(Errors.Messages.size(), 1u);
    EXPECT_FALSE(Errors.Messages[0].empty());
    EXPECT_EQ(ReadFileBytes(File), saved);
    EXPECT_EQ(ReadMaskTemplateNames(File), std::vector<std::wstring>{L"New template"});
}

TEST_F(TemplateManager, AddToTemplatesOfTheBitsEditorUpdatesTheOpenManagersItemWhichSavesIt) {
    TRkManageAccessBitsTemplateForm* manager = Open();
    ClickButton(manager->TbAdd);
    Rename(manager->LvTemplates->Items()->Item(0), L"Mine");
    ClickButton(manager->TbSave);

    TrkAccessBits key;
    key.SetMaskType(mtKey);
    key.MaskBit(0)->SetBitName(L"From the bits editor");
    TOwned<TRkAccessBitsEditorForm> form(Create<TRkAccessBitsEditorForm>(nullptr));
    form->SetAccessMask(&key);
    std::vector<std::wstring> offered;
    {
        TModalHookScope hook([&](const TModalWindow& m) {
            if (auto* picker = dynamic_cast<TRkSelectAccessBitsForm*>(m.Form)) {
                for (int i = 0; i < picker->LbxSections->Items()->Count(); ++i) offered.push_back(picker->LbxSections->Items()->Get(i));
                picker->EdSection->SetFocus();
                TypeText(L" mine ");
                ClickButton(picker->BnOK);
            } else if (m.Form == form.get()) {
                ClickButton(form->BnAddTemplate);
                ClickButton(form->BnCancel);
            }
        });
        form->ShowModal();
    }
    EXPECT_EQ(offered, std::vector<std::wstring>{L"Mine"});
    // The file got the bits editor's set in the section of that name, as the file compares names...
    ASSERT_EQ(ReadMaskTemplateNames(File), std::vector<std::wstring>{L"Mine"});
    TrkAccessBits read;
    read.LoadFromIni(File, L"mine");
    EXPECT_EQ(read.MaskBit(0)->BitName(), L"From the bits editor");
    // ...and so did the manager's item, which a Save of the manager now writes back unchanged.
    ASSERT_EQ(manager->LvTemplates->Items()->Count(), 1);
    auto* held = static_cast<TrkAccessBits*>(manager->LvTemplates->Items()->Item(0)->Data());
    EXPECT_EQ(held->MaskBit(0)->BitName(), L"From the bits editor");
    ClickButton(manager->TbSave);
    TrkAccessBits again;
    again.LoadFromIni(File, L"Mine");
    EXPECT_EQ(again.MaskBit(0)->BitName(), L"From the bits editor");
    EXPECT_TRUE(again.MaskBit(5)->IsUsed());
    EXPECT_TRUE(Errors.Messages.empty());
}

TEST_F(TemplateManager, AManagerStillOpenWhenTheLibraryUnloadsGoesWithIt) {
    // In a process of its own: this program keeps the library loaded.
    const TProcessResult r = RunProcess(ProgramPath(L"editors_unload_probe.exe") + L" " + TAMRELWIZ_FILE_NAME + L" " +
                                          TAMRELRT_FILE_NAME);
    ASSERT_FALSE(r.TimedOut);
    EXPECT_EQ(r.ExitCode, 0u) << r.Out << r.Err;
    EXPECT_EQ(SplitLines(r.Out), (std::vector<std::string>{"shown", "unloaded", "gone"})) << r.Err;
}

TEST_F(TemplateManager, TheMenuBarRunsTheActionsAndOpeningItsTopItemAddsNothing) {
    TRkManageAccessBitsTemplateForm* manager = Open();
    ASSERT_EQ(GetMenu(manager->Handle()), manager->MenuHandle());
    TMenuItem* top = manager->MainMenuItems()->Items()->Items(0);
    EXPECT_EQ(top->Caption(), L"&Add");
    EXPECT_EQ(top->Action(), nullptr);
    std::vector<std::wstring> captions;
    for (int i = 0; i < top->Count(); ++i) captions.push_back(top->Items(i)->Caption());
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"&Add", L"&Remove", L"&Save", L"-", L"E&xit"}));
    EXPECT_EQ(top->Items(0)->Action(), manager->ActAdd);
    // F10 enters the bar, Down opens "&Add" (Alt+A is the list's label's), Enter chooses its
    // first command: one template, not two.
    ASSERT_TRUE(PressKey(VK_F10));
    ASSERT_TRUE(PressKey(VK_DOWN));
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(PumpUntil([&] { return manager->LvTemplates->Items()->Count() > 0; }));
    PumpPending();
    EXPECT_EQ(manager->LvTemplates->Items()->Count(), 1);
    // E&xit from the menu closes and frees the window.
    ASSERT_TRUE(PressKey(VK_F10));
    ASSERT_TRUE(PressKey(VK_DOWN));
    ASSERT_TRUE(PressKey(VK_UP));
    ASSERT_TRUE(PressKey(VK_RETURN));
    EXPECT_TRUE(PumpUntil([] { return MaskTemplateManager() == nullptr; }));
}

} // namespace
