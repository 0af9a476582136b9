// The "Automation Object in Service" wizard: the unit each factory and event choice gives, the
// project's uses clause, the calls made of the environment, the tools library and the importer;
// and the type library of a project through two automation classes and a remote data module.
#include "tests/ide/wizards/WizardsTestSupport.h"

#include "tests/support/TestSupport.h"

#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <set>
#include <tuple>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const wchar_t Caption[] = L"Automation Object in Service Wizard";

// The importer's line in the tools log for the project's library: quoted arguments, the project
// folder with its blank.
std::string ImporterLine(const TWizardsIde& ide) {
    const std::string folder = WideToAnsi(ide.Folder());
    return "tlibimp " + WideToAnsi(BinDir()) + "tlibimp.exe -P \"-d" + folder + "\\\" \"" + folder +
           "\\Project1.tlb\"";
}

struct TBoxes {
    std::vector<std::wstring> Texts;
    explicit TBoxes(TIdeHost& host) {
        host.AnswerDialog(L"Tamrel", [this](const TModalWindow& box) {
            Texts.push_back(box.Text);
            ClickDialogButton(box.Window, IDOK);
        });
    }
};

} // namespace

TEST(AutoObjectWizard, EachFactoryWithAndWithoutEventsGivesItsUnit) {
    const struct {
        const wchar_t* Factory;
        bool Events;
        const wchar_t* Expected;
    } cases[] = {
        {L"RBnOrdinary", false, L"AUTOOBJECTORDINARY"},
        {L"RBnOrdinary", true, L"AUTOOBJECTORDINARYEVENTS"},
        {L"RBnApartmentFactory", false, L"AUTOOBJECTAPARTMENT"},
        {L"RBnApartmentFactory", true, L"AUTOOBJECTAPARTMENTEVENTS"},
        {L"RBnSingletoneFactory", false, L"AUTOOBJECTSINGLETON"},
        {L"RBnSingletoneFactory", true, L"AUTOOBJECTSINGLETONEVENTS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Expected));
        TWizardsIde ide;
        TBoxes boxes(ide.Host());
        const std::wstring project = ide.NewProject();
        AnswerClassDialog(ide.Host(), Caption, {L"Foo", L"FooService", c.Factory, c.Events});
        ide.Run(L"Automation Object in Service");
        EXPECT_EQ(ExpectedText(c.Expected), ide.Host().Buffer(ide.Folder() + L"\\svc1.pas"));
        // The unit's line (the bare file name) and the type library's unit in the uses clause.
        EXPECT_EQ(ExpectedText(L"PROJECTAUTOOBJECT"), ide.Host().Buffer(project));
        // The importer's unit, GUIDs aside (one with events serves every unit).
        if (c.Events) {
            EXPECT_EQ(ExpectedText(L"PROJECT1TLBAUTOOBJECT"),
                      WithoutGuids(ReadFileBytes(ide.Folder() + L"\\Project1_TLB.pas")));
        }
        // The events flag reaches the tools library; the global-events flag is always off.
        const std::vector<std::string> log = ide.ToolsLog();
        ASSERT_EQ(3u, log.size());
        EXPECT_EQ("CreateNewTypeLibrary \"" + WideToAnsi(ide.Folder()) + "\\Project1.tlb\"", log[0]);
        EXPECT_EQ("DuplicateTypeLibraryAndAddNewObject \"" + WideToAnsi(ide.Folder()) +
                      "\\Project1.tlb\" \"Foo\" " + (c.Events ? "1" : "0") +
                      " 0 {00020430-0000-0000-C000-000000000046}",
                  log[1]);
        EXPECT_EQ(ImporterLine(ide), log[2]);
        EXPECT_TRUE(boxes.Texts.empty());
        EXPECT_TRUE(ide.Host().Faults().empty());
    }
}

TEST(AutoObjectWizard, CallsTheEnvironmentInOrder) {
    TWizardsIde ide;
    TBoxes boxes(ide.Host());
    ide.NewProject();
    AnswerClassDialog(ide.Host(), Caption, {L"Foo", L"FooService"});
    ide.Host().ClearRecords();
    ide.Run(L"Automation Object in Service");
    const std::wstring library = ide.Folder() + L"\\Project1.tlb";
    const std::wstring unit = ide.Folder() + L"\\svc1.pas";
    // The calls that change something, in the order they were made: the dialog, the project's
    // type-library directive and unit, the library closed (it is not open) and given back around
    // the tools' call, then, the class being in the library, the unit and its line in the
    // project's uses clause.
    std::vector<std::wstring> calls;
    for (const TIdeRecord& r : ide.Host().Records()) {
        const std::wstring call = r.Area + L" " + r.Call;
        if (call == L"dialog shown" || call == L"modules CreateModule" || call == L"modules open" ||
            call == L"modules FindModule" || call == L"actions ReloadFile" || call == L"editor SetContent" ||
            call == L"tools CreateEditWriter" || call == L"editor Insert")
            calls.push_back(call + L" " + r.Field(L"caption") + r.Field(L"file"));
    }
    const std::wstring project = ide.Folder() + L"\\Project1.dpr";
    const std::vector<std::wstring> expected = {
        L"dialog shown " + std::wstring(Caption),
        L"editor SetContent " + project,
        L"modules FindModule " + library,
        L"actions ReloadFile " + library,
        L"modules CreateModule ",
        L"modules open " + unit,
        L"tools CreateEditWriter " + project,
        L"editor Insert " + project,
    };
    EXPECT_EQ(expected, calls);
    // The automation object is code only: it joins no project and shows no form.
    EXPECT_THROW(ide.Host().DesignRoot(unit), EInvalidOperation);
    EXPECT_TRUE(boxes.Texts.empty());
    EXPECT_TRUE(ide.Host().Faults().empty());
}

// The tools cannot make the project's type library (a folder has its name): the warning is
// shown and neither wizard adds anything, neither the directive nor a unit nor a uses line.
TEST(AutoObjectWizard, AClassTheLibraryDidNotTakeAddsNothingToTheProject) {
    for (const auto& [wizard, caption] :
         {std::pair{L"Automation Object in Service", Caption},
          std::pair{L"Remote Data Module in Service", L"Remote Data Module in Service Wizard"}}) {
        SCOPED_TRACE(ToUtf8(wizard));
        TWizardsIde ide;
        TBoxes boxes(ide.Host());
        const std::wstring project = ide.NewProject();
        const std::wstring library = ide.Folder() + L"\\Project1.tlb";
        ASSERT_TRUE(CreateDirectoryW(library.c_str(), nullptr));
        const std::string source = ide.Host().Buffer(project);
        const std::vector<std::wstring> files = ide.Files();
        ide.Host().ClearRecords();
        AnswerClassDialog(ide.Host(), caption, {L"Foo", L"FooService"});
        ide.Run(wizard);
        EXPECT_EQ(std::vector<std::wstring>{L"The class \"Foo\" could not be added to the type library \"" + library +
                                            L"\": nothing was added to the project."},
                  boxes.Texts);
        EXPECT_EQ(source, ide.Host().Buffer(project));
        EXPECT_EQ(files, ide.Files());
        EXPECT_TRUE(Calls(ide.Host(), L"creator").empty());
        EXPECT_THROW(ide.Host().Buffer(ide.Folder() + L"\\svc1.pas"), EInvalidOperation);
        // Nothing for the importer to read.
        const std::vector<std::string> log = ide.ToolsLog();
        EXPECT_EQ(0, std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("tlibimp ", 0) == 0; }));
        EXPECT_TRUE(ide.Host().Faults().empty());
    }
}

namespace {

std::set<std::string> Set(const std::vector<std::string>& items) {
    return {items.begin(), items.end()};
}

// The names a unit uses that the type library's unit must declare: I<Class>, I<Class>Events and
// CLASS_<Class> of the given classes.
std::set<std::string> LibraryNamesUsed(const std::string& unit, const std::vector<std::string>& classes) {
    std::set<std::string> used;
    for (const std::string& id : PasIdentifiers(unit))
        for (const std::string& c : classes)
            if (id == "I" + c || id == "I" + c + "Events" || id == "CLASS_" + c) used.insert(id);
    return used;
}

} // namespace

TEST(AutoObjectWizard, TypeLibraryThroughTwoAutomationClassesAndARemoteDataModule) {
    TWizardsIde ide;
    TBoxes boxes(ide.Host());
    const std::wstring project = ide.NewProject();
    const std::wstring library = ide.Folder() + L"\\Project1.tlb";
    AnswerClassDialog(ide.Host(), Caption, {L"Foo", L"FooService", L"RBnOrdinary", true});
    ide.Run(L"Automation Object in Service");
    const std::vector<TTypeView> first = ReadTypeLibrary(library);
    const std::wstring libId = LibraryId(library);
    AnswerClassDialog(ide.Host(), Caption, {L"Bar", L"FooService", L"RBnApartmentFactory", false});
    ide.Run(L"Automation Object in Service");
    AnswerClassDialog(ide.Host(), L"Remote Data Module in Service Wizard",
                      {L"Baz", L"FooService", L"RBnSingletoneFactory", false});
    ide.Run(L"Remote Data Module in Service");
    EXPECT_TRUE(boxes.Texts.empty()) << ToUtf8(boxes.Texts.front());

    const std::vector<TTypeView> types = ReadTypeLibrary(library);
    ASSERT_EQ(3u, first.size());
    ASSERT_EQ(7u, types.size());
    const struct {
        const wchar_t* Name;
        int Kind;
        bool Dual;
        std::vector<std::wstring> Impl;
    } expected[] = {
        {L"IFoo", TKIND_DISPATCH, true, {L"IDispatch:0"}},
        {L"IFooEvents", TKIND_DISPATCH, false, {}},
        {L"Foo", TKIND_COCLASS, false, {L"IFoo:1", L"IFooEvents:3"}},
        // Without events Bar has no events interface.
        {L"IBar", TKIND_DISPATCH, true, {L"IDispatch:0"}},
        {L"Bar", TKIND_COCLASS, false, {L"IBar:1"}},
        {L"IBaz", TKIND_DISPATCH, true, {L"IRemoteDataModule:0"}},
        // The remote data module has no events.
        {L"Baz", TKIND_COCLASS, false, {L"IBaz:1"}},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TTypeView& t = types[i];
        EXPECT_EQ(expected[i].Name, t.Name);
        EXPECT_EQ(expected[i].Kind, t.Kind) << ToUtf8(t.Name);
        EXPECT_EQ(expected[i].Dual, (t.Flags & TYPEFLAG_FDUAL) != 0) << ToUtf8(t.Name);
        EXPECT_EQ(expected[i].Impl, t.Impl) << ToUtf8(t.Name);
    }
    // The classes added first keep their GUIDs, and so does the library.
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(first[i].Guid, types[i].Guid) << ToUtf8(first[i].Name);
    EXPECT_EQ(libId, LibraryId(library));

    // The remote data module's round ran before the environment asked for its unit's source.
    const std::vector<TIdeRecord> records = ide.Host().Records();
    size_t reload = 0, source = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].Area == L"actions" && records[i].Call == L"ReloadFile") reload = i;
        if (records[i].Area == L"creator" && records[i].Call == L"NewImplSource") source = i;
    }
    EXPECT_LT(reload, source);

    // One library made, three classes added, three importer runs; the remote data module's
    // unit line carries its full file name.
    const std::vector<std::string> log = ide.ToolsLog();
    EXPECT_EQ(1, std::count_if(log.begin(), log.end(), [](const std::string& l) {
                  return l.rfind("CreateNewTypeLibrary ", 0) == 0;
              }));
    EXPECT_EQ(3, std::count(log.begin(), log.end(), ImporterLine(ide)));
    const std::string folder = WideToAnsi(ide.Folder());
    EXPECT_NE(std::string::npos,
              ide.Host().Buffer(project).find(
                  "  svc1 in 'svc1.pas' {Foo: CoClass},\r\n  svc2 in 'svc2.pas' {Bar: CoClass},\r\n"
                  "  svc3 in '" +
                  folder + "\\svc3.pas' {Baz: RemoteDataModule};\r\n"));

    // The importer's unit declares the library's GUIDs and every name of the library the three
    // units use.
    const std::string tlb = ReadFileBytes(ide.Folder() + L"\\Project1_TLB.pas");
    ASSERT_FALSE(tlb.empty());
    EXPECT_NE(std::string::npos, tlb.find("LIBID_Project1: TGUID = '" + WideToAnsi(libId) + "';"));
    for (const TTypeView& t : types) {
        const std::string prefix = t.Kind == TKIND_COCLASS      ? "CLASS_"
                                   : (t.Flags & TYPEFLAG_FDUAL) ? "IID_"
                                                                : "DIID_";
        EXPECT_NE(std::string::npos,
                  tlb.find(prefix + WideToAnsi(t.Name) + ": TGUID = '" + WideToAnsi(t.Guid) + "';"))
            << ToUtf8(t.Name);
    }
    const std::set<std::string> declared = Set(PasIdentifiers(tlb, true));
    std::set<std::string> used;
    for (const wchar_t* unit : {L"\\svc1.pas", L"\\svc2.pas", L"\\svc3.pas"})
        for (const std::string& name :
             LibraryNamesUsed(ide.Host().Buffer(ide.Folder() + unit), {"Foo", "Bar", "Baz"}))
            used.insert(name);
    EXPECT_EQ(
        (std::set<std::string>{"CLASS_Bar", "CLASS_Baz", "CLASS_Foo", "IBar", "IBaz", "IFoo", "IFooEvents"}),
        used);
    for (const std::string& name : used)
        EXPECT_TRUE(declared.count(name)) << name << " is not declared";

    // A class the library holds already is refused in the dialog, with the focus on its name:
    // nothing reaches the library, the tools or the project.
    const std::string before = ReadFileBytes(library);
    const std::string projectBefore = ide.Host().Buffer(project);
    const std::vector<std::wstring> files = ide.Files();
    const size_t toolCalls = ide.ToolsLog().size();
    std::vector<std::wstring> errors;
    ide.Host().AnswerDialog(L"Error", [&errors](const TModalWindow& box) {
        errors.push_back(box.Text);
        ClickDialogButton(box.Window, IDOK);
    });
    for (const auto& [wizard, caption, name] :
         {std::tuple{L"Automation Object in Service", Caption, L"foo"},
          std::tuple{L"Remote Data Module in Service", L"Remote Data Module in Service Wizard", L"Baz"}}) {
        SCOPED_TRACE(ToUtf8(wizard));
        ide.Host().AnswerDialog(caption, [&, name = std::wstring(name)](const TModalWindow& dialog) {
            auto* form = dynamic_cast<TCustomForm*>(dialog.Form);
            ASSERT_NE(nullptr, form);
            auto* className = Control<TEdit>(form, L"EdClassName");
            className->SetText(name);
            Control<TEdit>(form, L"EdServiceName")->SetText(L"FooService");
            Control<TEdit>(form, L"EdServiceName")->SetFocus();
            errors.clear();
            Press(Control<TButton>(form, L"BnOK"));
            EXPECT_EQ(std::vector<std::wstring>{L"The project's type library holds \"" + name + L"\" already"}, errors);
            EXPECT_EQ(className->Handle(), GetFocus());
            EXPECT_EQ(mrNone, form->ModalResult()) << "the dialog stays open";
            Press(Control<TButton>(form, L"BnCancel"));
        });
        ide.Run(wizard);
        EXPECT_EQ(1u, errors.size());
    }
    EXPECT_EQ(before, ReadFileBytes(library));
    EXPECT_EQ(projectBefore, ide.Host().Buffer(project));
    EXPECT_EQ(files, ide.Files());
    EXPECT_EQ(toolCalls, ide.ToolsLog().size());
    EXPECT_TRUE(boxes.Texts.empty());
    EXPECT_TRUE(ide.Host().Faults().empty());
}
