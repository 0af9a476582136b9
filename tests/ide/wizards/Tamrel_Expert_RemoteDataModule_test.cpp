// The "Remote Data Module in Service" wizard: its unit with the full file name, its designer, and
// the type-library round and uses line it adds while the environment asks for the unit's source.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

TEST(RemoteDataModuleWizard, AddsTheModuleItsLibraryEntryAndItsUsesLine) {
    TWizardsIde ide;
    const std::wstring project = ide.NewProject();
    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Bar", L"BarService"});
    ide.Run(L"Remote Data Module in Service");
    const std::wstring unit = ide.Folder() + L"\\svc1.pas";
    const std::string folder = WideToAnsi(ide.Folder());
    std::string expected = ExpectedText(L"REMOTEDATAMODULEORDINARY");
    expected.replace(expected.find("@FOLDER@"), 8, folder);
    EXPECT_EQ(expected, ide.Host().Buffer(unit));
    // Designed as a data module named after the class.
    EXPECT_EQ(L"Bar", ide.Host().DesignRoot(unit)->Name());
    EXPECT_EQ(L"TDataModule", ide.Host().DesignRoot(unit)->ClassName());
    // The second line of its uses template, with the full file name.
    EXPECT_EQ(
        "program Project1;\r\n\r\nuses\r\n  Tamrel_NTService,\r\n  Project1_TLB in 'Project1_TLB.pas',\r\n  "
        "svc1 in '" +
            folder +
            "\\svc1.pas' {Bar: RemoteDataModule};\r\n\r\n{$R *.TLB}\r\n\r\n\r\n{$R *.RES}\r\n\r\nbegin\r\n"
            "  Application.Initialize;\r\n  Application.Run;\r\nend.\r\n",
        ide.Host().Buffer(project));
    // Neither events nor global events; the remote data module's base interface.
    const std::vector<std::string> log = ide.ToolsLog();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ("DuplicateTypeLibraryAndAddNewObject \"" + folder +
                  "\\Project1.tlb\" \"Bar\" 0 0 "
                  "{83F57D68-CA9A-11D2-9088-00C04FA35CFA}",
              log[1]);
    const std::vector<TTypeView> types = ReadTypeLibrary(ide.Folder() + L"\\Project1.tlb");
    ASSERT_EQ(2u, types.size());
    EXPECT_EQ(std::vector<std::wstring>{L"IRemoteDataModule:0"}, types[0].Impl);
    EXPECT_TRUE(ide.Host().Faults().empty());
}

// Without a project the module is still made; there is no library to extend and no uses clause.
TEST(RemoteDataModuleWizard, WithoutAProjectTheUnitIsMadeAndNoLibrary) {
    TWizardsIde ide;
    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Bar", L"BarService"});
    ide.Run(L"Remote Data Module in Service");
    EXPECT_EQ(0u, ide.Host().Buffer(ide.Folder() + L"\\svc1.pas").find("unit svc1;\r\n"));
    EXPECT_TRUE(ide.ToolsLog().empty());
    // Nothing written: no library, no importer's unit.
    EXPECT_TRUE(ide.Files().empty());
    EXPECT_TRUE(ide.Host().Faults().empty());
}
