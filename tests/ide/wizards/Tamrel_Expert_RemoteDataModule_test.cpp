// The "Remote Data Module in Service" wizard: its unit with the full file name, its designer, the
// type-library round before the unit is made and the uses line it adds while the environment asks
// for the unit's source, in a folder with a quote and braces.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// The work folder as the wizard writes it in a Pascal string: its quotes doubled.
std::string PascalFolder(const TWizardsIde& ide) {
    std::string folder = WideToAnsi(ide.Folder());
    for (size_t at = folder.find('\''); at != std::string::npos; at = folder.find('\'', at + 2))
        folder.insert(at, 1, '\'');
    return folder;
}

std::string ExpectedIn(const TWizardsIde& ide, const wchar_t* name) {
    std::string text = ExpectedText(name);
    text.replace(text.find("@FOLDER@"), 8, PascalFolder(ide));
    return text;
}

} // namespace

// In a folder with a quote and braces: the full file name is a Pascal string with its quote
// doubled, in the project's uses clause and in the unit's header, a (* *) comment that a brace
// does not end. The project still parses, so a second module joins it.
TEST(RemoteDataModuleWizard, AddsTheModuleItsLibraryEntryAndItsUsesLine) {
    TWizardsIde::TOptions options;
    options.FolderName = L"O'Brien {work} ";
    TWizardsIde ide(options);
    const std::wstring project = ide.NewProject();
    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Bar", L"BarService"});
    ide.Run(L"Remote Data Module in Service");
    const std::wstring unit = ide.Folder() + L"\\svc1.pas";
    const std::string folder = WideToAnsi(ide.Folder());
    ASSERT_NE(std::string::npos, folder.find("O'Brien {work} "));
    EXPECT_EQ(ExpectedIn(ide, L"REMOTEDATAMODULEORDINARY"), ide.Host().Buffer(unit));
    // Designed as a data module named after the class.
    EXPECT_EQ(L"Bar", ide.Host().DesignRoot(unit)->Name());
    EXPECT_EQ(L"TDataModule", ide.Host().DesignRoot(unit)->ClassName());
    // The second line of its uses template, with the full file name.
    EXPECT_EQ(ExpectedIn(ide, L"PROJECTREMOTEDATAMODULE"), ide.Host().Buffer(project));
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

    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard", {L"Baz", L"BarService"});
    ide.Run(L"Remote Data Module in Service");
    const std::string quoted = PascalFolder(ide);
    const std::string uses = "  svc1 in '" + quoted + "\\svc1.pas' {Bar: RemoteDataModule},\r\n  svc2 in '" + quoted +
                             "\\svc2.pas' {Baz: RemoteDataModule};\r\n";
    EXPECT_NE(std::string::npos, ide.Host().Buffer(project).find(uses));
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
        EXPECT_EQ(ExpectedIn(ide, name), ide.Host().Buffer(ide.Folder() + L"\\svc1.pas"));
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
