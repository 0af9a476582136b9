// The add-in entry as the design-time package starts it: the wizards in their order, the
// editors and dialogs registered, the about item and its click; and everything gone again when
// the package is unloaded, with or without the package's finalization.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/FormsTestSupport.h"
#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const wchar_t AboutCaption[] = L"Abou&t Tamrel ...";

const std::vector<std::wstring> Wizards = {L"Automation Object in Service", L"NT Service",
                                           L"Service with DCOM server", L"Remote Data Module in Service",
                                           L"NT Service Application"};

bool AddInLoaded() {
    return GetModuleHandleW(L"tamrelwiz64.dll") != nullptr || GetModuleHandleW(L"tamrelwiz.dll") != nullptr;
}

} // namespace

TEST(AddInEntry, RegistersTheWizardsEditorsAndDialogsInOrderAndTheAboutItem) {
    TWizardsIde ide;
    ASSERT_TRUE(ide.Loaded());
    EXPECT_EQ(Wizards, ide.Host().WizardIds());
    // The entry's steps in order, each wizard with its icon.
    std::vector<std::wstring> steps;
    for (const TIdeRecord& r : ide.Host().Records()) {
        if (r.Area == L"wizards" && r.Call == L"add") {
            steps.push_back(L"wizard " + r.Field(L"id"));
            EXPECT_NE(L"0x0", r.Field(L"glyph")) << ToUtf8(r.Field(L"id"));
        }
        if (r.Area == L"register" && r.Call == L"propertyeditor")
            steps.push_back(L"editor " + r.Field(L"name"));
        if (r.Area == L"register" && r.Call == L"component")
            steps.push_back(L"component " + r.Field(L"class"));
    }
    const std::vector<std::wstring> expected = {L"wizard Automation Object in Service",
                                                L"wizard NT Service",
                                                L"wizard Service with DCOM server",
                                                L"editor AppID",
                                                L"editor DependsOnServices",
                                                L"editor DependsOnGroups",
                                                L"wizard Remote Data Module in Service",
                                                L"wizard NT Service Application",
                                                L"editor AccessMask",
                                                L"editor MaskData",
                                                L"component TrkExplicitAccessDialog",
                                                L"component TrkSecurityDescriptorDialog"};
    ASSERT_GE(steps.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::wstring>(steps.begin(), steps.begin() + expected.size()));
    EXPECT_EQ((std::vector<std::wstring>{L"TrkExplicitAccessDialog", L"TrkSecurityDescriptorDialog"}),
              ide.Host().PaletteComponents(L"Tamrel"));
    EXPECT_EQ(std::vector<std::wstring>{AboutCaption}, ide.Host().HelpMenuItems());
    EXPECT_TRUE(ide.Host().Faults().empty());
}

TEST(AddInEntry, AboutItemShowsTheToolsAboutBox) {
    TWizardsIde ide;
    std::wstring text;
    {
        // The tools library shows a system box of its own: a CBT hook answers it.
        TCbtDialogDriver driver([&text](HWND box) {
            wchar_t buffer[256] = {};
            GetDlgItemTextW(box, 0xFFFF, buffer, 256);
            text = buffer;
            ClickDialogButton(box, IDOK);
        });
        ASSERT_TRUE(ide.Host().ClickHelpMenuItem(AboutCaption));
        EXPECT_NE(nullptr, driver.Dialog());
    }
    EXPECT_EQ(L"About Tamrel", text);
    EXPECT_EQ(std::vector<std::string>{"ShowAboutForm"}, ide.ToolsLog());
}

TEST(AddInEntry, WithoutTheMainWindowComponentThereIsNoAboutItem) {
    TWizardsIde::TOptions options;
    options.AppBuilder = false;
    TWizardsIde ide(options);
    ASSERT_TRUE(ide.Loaded());
    EXPECT_EQ(Wizards, ide.Host().WizardIds());
    EXPECT_EQ(2u, ide.Host().PaletteComponents(L"Tamrel").size());
    EXPECT_FALSE(ide.Host().PropertyEditors().empty());
    EXPECT_TRUE(ide.Host().HelpMenuItems().empty());
    EXPECT_TRUE(ide.Host().Faults().empty());
}

// Unloaded with the package's finalization, nothing of the add-in is left and the library goes;
// a second load makes one set again.
TEST(AddInEntry, UnloadLeavesNothingAndASecondLoadMakesOneItem) {
    TWizardsIde ide;
    ASSERT_TRUE(ide.Loaded());
    ASSERT_TRUE(AddInLoaded());
    ASSERT_TRUE(ide.Host().Unload(ide.Package()));
    EXPECT_FALSE(AddInLoaded());
    EXPECT_TRUE(ide.Host().WizardIds().empty());
    EXPECT_TRUE(ide.Host().HelpMenuItems().empty());
    EXPECT_TRUE(ide.Host().PropertyEditors().empty());
    EXPECT_TRUE(ide.Host().PaletteComponents(L"Tamrel").empty());
    EXPECT_TRUE(ide.Host().Faults().empty());

    ASSERT_TRUE(ide.Host().LoadPackage(ide.Package()));
    EXPECT_EQ(Wizards, ide.Host().WizardIds());
    EXPECT_EQ(std::vector<std::wstring>{AboutCaption}, ide.Host().HelpMenuItems());
    // The second set works: the item still reaches the tools.
    TCbtDialogDriver driver([](HWND box) { ClickDialogButton(box, IDOK); });
    EXPECT_TRUE(ide.Host().ClickHelpMenuItem(AboutCaption));
    EXPECT_EQ(std::vector<std::string>{"ShowAboutForm"}, ide.ToolsLog());
    EXPECT_TRUE(ide.Host().Faults().empty());
}

// A package freed without its finalization: the add-in does nothing as it would be detached
// (freeing forms and menu items under the loader lock can deadlock); it stays loaded instead,
// its wizards and about item working, and the next load replaces them with one set. Its
// finalization, run late, still removes everything and lets the library go.
TEST(AddInEntry, WithoutThePackagesFinalizationTheAddInStaysLoadedAndWorking) {
    TWizardsIde::TOptions options;
    options.NoFinalize = true;
    TWizardsIde ide(options);
    ASSERT_TRUE(ide.Loaded());
    ASSERT_TRUE(ide.Host().Unload(ide.Package()));
    EXPECT_TRUE(AddInLoaded());
    EXPECT_EQ(Wizards, ide.Host().WizardIds());
    EXPECT_EQ(std::vector<std::wstring>{AboutCaption}, ide.Host().HelpMenuItems());
    {
        TCbtDialogDriver driver([](HWND box) { ClickDialogButton(box, IDOK); });
        EXPECT_TRUE(ide.Host().ClickHelpMenuItem(AboutCaption));
    }
    EXPECT_TRUE(ide.Host().Faults().empty());

    ASSERT_TRUE(ide.Host().LoadPackage(ide.Package()));
    EXPECT_EQ(Wizards, ide.Host().WizardIds());
    EXPECT_EQ(std::vector<std::wstring>{AboutCaption}, ide.Host().HelpMenuItems());
    EXPECT_TRUE(ide.Host().Faults().empty());

    // The package holds the library while its finalization runs, as the design-time package does.
    HMODULE addIn = GetModuleHandleW(L"tamrelwiz64.dll");
    if (!addIn) addIn = GetModuleHandleW(L"tamrelwiz.dll");
    ASSERT_NE(nullptr, addIn);
    const auto finalize = reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(addIn, "FinalizeTamrelExperts")));
    ASSERT_NE(nullptr, finalize);
    finalize();
    EXPECT_TRUE(ide.Host().WizardIds().empty());
    EXPECT_TRUE(ide.Host().HelpMenuItems().empty());
    ASSERT_TRUE(ide.Host().Unload(ide.Package()));
    EXPECT_FALSE(AddInLoaded());
    EXPECT_TRUE(ide.Host().Faults().empty());
}
