// The "Remote Data Module in Service" wizard: its unit with the full file name, its designer, the
// type-library round before the unit is made and the uses line it adds while the environment asks
// for the unit's source; a quote and braces in the project's folder.
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
    std::string program = ExpectedText(L"PROJECTREMOTEDATAMODULE");
    program.replace(program.find("@FOLDER@"), 8, folder);
    EXPECT_EQ(program, ide.Host().Buffer(project));
    // The importer's unit builds on the remote data module's library: it names that library's
    // unit, which the importer writes beside it (GUIDs aside).
    EXPECT_EQ(ExpectedText(L"PROJECT1TLBREMOTEDATAMODULE"), WithoutGuids(ReadFileBytes(ide.Folder() + L"\\Project1_TLB.pas")));
    EXPECT_EQ(ExpectedText(L"TAMRELREMOTEDATAMODULETLB"),
              WithoutGuids(ReadFileBytes(ide.Folder() + L"\\TamrelRemoteDataModule_TLB.pas")));
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

// The apartment and the singleton factory give their units too.
TEST(RemoteDataModuleWizard, EachFactoryGivesItsUnit) {
    for (const auto& [factory, name] : {std::pair{L"RBnApartmentFactory", L"REMOTEDATAMODULEAPARTMENT"},
                                        std::pair{L"RBnSingletoneFactory", L"REMOTEDATAMODULESINGLETON"}}) {
        SCOPED_TRACE(ToUtf8(name));
        TWizardsIde ide;
        ide.NewProject();
        AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Bar", L"BarService", factory});
        ide.Run(L"Remote Data Module in Service");
        std::string expected = ExpectedText(name);
        expected.replace(expected.find("@FOLDER@"), 8, WideToAnsi(ide.Folder()));
        EXPECT_EQ(expected, ide.Host().Buffer(ide.Folder() + L"\\svc1.pas"));
        EXPECT_TRUE(ide.Host().Faults().empty());
    }
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

// A quote and braces in the project's folder: the full file name is a Pascal string with its
// quote doubled, in the project's uses clause and in the unit's header, a (* *) comment that a
// brace does not end. The project still parses, so a second module joins it.
TEST(RemoteDataModuleWizard, AQuoteAndBracesInTheFolderKeepTheProjectAndTheUnitWhole) {
    TWizardsIde::TOptions options;
    options.FolderName = L"O'Brien {work} ";
    TWizardsIde ide(options);
    const std::wstring project = ide.NewProject();
    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Bar", L"BarService"});
    ide.Run(L"Remote Data Module in Service");
    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Baz", L"BarService"});
    ide.Run(L"Remote Data Module in Service");
    const std::string folder = WideToAnsi(ide.Folder());
    const size_t quote = folder.find("O'Brien");
    ASSERT_NE(std::string::npos, quote);
    const std::string quoted = folder.substr(0, quote) + "O''Brien" + folder.substr(quote + 7);
    const std::vector<std::string> unit = SplitLines(ide.Host().Buffer(ide.Folder() + L"\\svc1.pas"));
    ASSERT_LT(4u, unit.size());
    EXPECT_EQ("(* svc1 in '" + quoted + "\\svc1.pas'", unit[2]);
    EXPECT_EQ("   while the service BarService runs; its interface is declared in Project1_TLB. *)", unit[4]);
    EXPECT_NE(std::string::npos, ide.Host().Buffer(project).find("  svc1 in '" + quoted +
                                                                 "\\svc1.pas' {Bar: RemoteDataModule},\r\n  svc2 in '" +
                                                                 quoted + "\\svc2.pas' {Baz: RemoteDataModule};\r\n"));
    EXPECT_TRUE(ide.Host().Faults().empty());
}
