// Project tools: the type-library directive and unit, unit lines in the uses clause, reading the
// project source byte-exact from the environment stand-in's buffer, a random sweep over project
// sources, and the tools library building a type library read back through ITypeLib.
#include "ide/wizards/Tamrel_Tool_Project.h"
#include "ide/wizards/internal/Tamrel_Tool_ProjectInternal.h"

#include "ide/framework/Dev_WQ_Creators.h"
#include "tests/ide/wizards/TypeLibraryTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/ModalHook.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <random>

using namespace tamrel;
using namespace tamrel::test;

namespace {

const std::string Added = ",\r\n  Project1_TLB in 'Project1_TLB.pas';\r\n\r\n{$R *.TLB}\r\n";

struct TTextCase {
    const char* Name;
    std::string Source;
    bool Result;
    std::string Expected; // "!": raises "Invalid syntax of project unit"; "!string": "Invalid string"
};

std::string AddToText(std::string source, bool& result) {
    try {
        result = AddTypeLibraryToSource(source, "Project1");
        return source;
    } catch (const Exception& e) {
        // An unterminated string stops the tokenizer too.
        if (e.Message() == L"Invalid string") return "!string";
        EXPECT_EQ(L"Invalid syntax of project unit", e.Message());
        return "!";
    }
}

// A project whose source is the given text, made by a project creator.
struct TProjectSource {
    std::wstring Text;
    std::wstring Get(TObject*, const std::wstring&) { return Text; }
};

size_t CountOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::wstring MakeProject(TProjectSource& source) {
    TDataModule* root = Create<TDataModule>(nullptr);
    auto* creator = Create<TWQProjectCreator>(root);
    creator->SetOnGetSource(MakeMethod<&TProjectSource::Get>(&source));
    creator->Execute();
    Free(root);
    return GetProjectFileName();
}

} // namespace

TEST(ProjectTools, TypeLibraryDirectiveAndUnitAgainstHandWrittenTexts) {
    const TTextCase cases[] = {
        {"fresh", "program Project1;\r\n\r\nuses\r\n  Forms;\r\n\r\nbegin\r\nend.\r\n", true,
         "program Project1;\r\n\r\nuses\r\n  Forms" + Added + "\r\n\r\nbegin\r\nend.\r\n"},
        {"directive in lower case", "program Project1;\r\nuses Forms;\r\n{$r *.tlb}\r\nbegin end.", false,
         "program Project1;\r\nuses Forms;\r\n{$r *.tlb}\r\nbegin end."},
        {"directive with blanks", "program Project1; uses A; { $R * . TLB } begin end.", false,
         "program Project1; uses A; { $R * . TLB } begin end."},
        {"directive\twith tabs", "{\t$R\t*.TLB}program Project1;uses A;", false, "{\t$R\t*.TLB}program Project1;uses A;"},
        {"library", "library project1;\r\nuses ComServ;\r\nexports X;\r\nbegin end.", true,
         "library project1;\r\nuses ComServ" + Added + "\r\nexports X;\r\nbegin end."},
        {"comments before the name", "program {a} (*b*)\r\n Project1 { c } ;uses A;", true,
         "program {a} (*b*)\r\n Project1 { c } ;uses A" + Added},
        {"wrong name", "program Project2;\r\nuses A;", false, "!"},
        {"no semicolon", "program Project1\r\nuses A;", false, "!"},
        {"no header", "unit Project1;\r\ninterface\r\nuses A;", false, "!"},
        {"empty", "", false, "!"},
        {"no uses", "program Project1;\r\nbegin\r\nend.\r\n", true, "program Project1;\r\nbegin\r\nend.\r\n"},
        {"uses and ; in comments and strings",
         "program Project1; { uses X; } // uses Y;\r\n(* uses Z; *) uses A in 'a;b.pas', B { ; } ;", true,
         "program Project1; { uses X; } // uses Y;\r\n(* uses Z; *) uses A in 'a;b.pas', B { ; } " + Added},
    };
    for (const TTextCase& c : cases) {
        bool result = !c.Result;
        EXPECT_EQ(c.Expected, AddToText(c.Source, result)) << c.Name;
        if (c.Expected != "!") {
            EXPECT_EQ(c.Result, result) << c.Name;
        }
    }
}

TEST(ProjectTools, UnitLineGoesBeforeTheSemicolonThatEndsTheUsesClause) {
    const struct {
        std::string Source, Expected;
    } cases[] = {
        {"program P;\r\nuses\r\n  Forms;\r\nbegin end.", "program P;\r\nuses\r\n  Forms,\r\n  Unit2 in 'Unit2.pas';\r\nbegin end."},
        {"program P; {uses;} uses A {;};", "program P; {uses;} uses A {;},\r\n  Unit2 in 'Unit2.pas';"},
        {"program P; begin end.", "program P; begin end."},
        {"program P; uses A", "program P; uses A"},
    };
    for (const auto& c : cases) {
        std::string source = c.Source;
        EXPECT_EQ(c.Source != c.Expected, AddUnitToSourceUses(source, "  Unit2 in 'Unit2.pas'"));
        EXPECT_EQ(c.Expected, source);
    }
    EXPECT_EQ(L"ab", RemoveBlanks(L" a\t b "));
}

// Random and mutated sources: never a crash; the text stays as it was (or raises), or it is the
// original with the two insertions at the end of its uses clause; a unit line likewise.
TEST(ProjectTools, SweepOfRandomAndMutatedSourcesGivesTheTextTheErrorOrTheInsertions) {
    std::mt19937 random(20261209);
    const std::string pieces[] = {"program", "library", "Project1", "project1", "uses", " ", ";", ",", "{", "}", "(*", "*)",
                                  "//", "'", "\r\n", "\n", "{$R *.TLB}", "A", "in", "begin", "end.", std::string(1, '\0'),
                                  "\xE9", "$", "\"", "Project2"};
    const std::string seeds[] = {"program Project1;\r\nuses\r\n  Forms;\r\nbegin\r\nend.\r\n",
                                 "library Project1; uses ComServ, A in 'a.pas'; exports X; begin end."};
    int inserted = 0, unchanged = 0, raised = 0, unitAdded = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string source;
        if (i % 2 == 0) {
            for (int n = random() % 12; n >= 0; --n) source += pieces[random() % std::size(pieces)];
        } else {
            source = seeds[random() % 2];
            for (int n = random() % 4; n >= 0; --n) {
                const size_t at = random() % (source.size() + 1);
                switch (random() % 3) {
                case 0: source.insert(at, pieces[random() % std::size(pieces)]); break;
                case 1: source.erase(at, 1 + random() % 3); break;
                default:
                    if (at < source.size()) source[at] = static_cast<char>(random() % 256);
                }
            }
        }
        bool result = false;
        const std::string text = AddToText(source, result);
        if (text == "!" || text == "!string") {
            ++raised;
        } else if (text == source) {
            ++unchanged;
        } else {
            const size_t at = text.find(Added);
            ASSERT_NE(std::string::npos, at) << i;
            EXPECT_TRUE(result);
            EXPECT_EQ(source, text.substr(0, at) + ";" + text.substr(at + Added.size())) << i;
            ++inserted;
        }
        // A unit line: the text as it was, or the line once more before the uses clause's end.
        std::string withUnit = source;
        const std::string line = ",\r\n  Unit2 in 'Unit2.pas'";
        try {
            if (AddUnitToSourceUses(withUnit, "  Unit2 in 'Unit2.pas'")) {
                const size_t at = withUnit.find(line);
                ASSERT_NE(std::string::npos, at) << i;
                EXPECT_EQ(source, withUnit.substr(0, at) + withUnit.substr(at + line.size())) << i;
                EXPECT_EQ(';', withUnit[at + line.size()]) << i;
                ++unitAdded;
            } else {
                EXPECT_EQ(source, withUnit) << i;
            }
        } catch (const Exception& e) {
            EXPECT_EQ(L"Invalid string", e.Message()) << i;
            EXPECT_EQ(source, withUnit) << i;
        }
    }
    // The sweep reaches all three outcomes.
    EXPECT_GT(inserted, 100);
    EXPECT_GT(unchanged, 100);
    EXPECT_GT(raised, 100);
    EXPECT_GT(unitAdded, 100);
}

TEST(ProjectTools, ProjectSourceIsReadByteExactWhateverItsLength) {
    EXPECT_EQ("", ReadProjectSource()); // no environment
    TIdeHost host;
    EXPECT_EQ("", ReadProjectSource()); // no project
    // Lengths around the reader's chunk of 10 bytes and past a page; a NUL inside; a byte above
    // 127 ("\xE9": the ANSI code page of the prefix is 1252).
    const struct {
        std::wstring Text;
        std::string Bytes;
    } cases[] = {
        {std::wstring(9, L'a'), std::string(9, 'a')},
        {std::wstring(10, L'b'), std::string(10, 'b')},
        {std::wstring(11, L'c'), std::string(11, 'c')},
        {std::wstring(4098, L'd') + L"\u00e9", std::string(4098, 'd') + "\xE9"},
        {std::wstring(L"ab\0cd efgh ijkl", 15), std::string("ab\0cd efgh ijkl", 15)},
        {std::wstring(L"0123456789\0", 11), std::string("0123456789\0", 11)},
    };
    for (const auto& c : cases) {
        TProjectSource source{c.Text};
        const std::wstring project = MakeProject(source);
        ASSERT_FALSE(project.empty());
        ASSERT_EQ(c.Bytes, host.Buffer(project)) << "the stand-in's buffer of " << c.Bytes.size() << " bytes";
        EXPECT_EQ(c.Bytes, ReadProjectSource()) << c.Bytes.size() << " bytes";
        IdeService<IOTAModuleServices>()->FindModule(project)->CloseModule(true);
    }
}

TEST(ProjectTools, DirectiveAndUnitLinesWrittenIntoTheActiveProject) {
    TIdeHost host;
    TProjectSource source{L"program ~;\r\nuses\r\n  Forms;\r\nbegin\r\nend.\r\n"};
    source.Text.replace(8, 1, L"Project1");
    const std::wstring project = MakeProject(source);
    ASSERT_EQ(L"Project1.dpr", ExtractFileName(project));
    EXPECT_TRUE(AddTypeLibraryToProject());
    EXPECT_FALSE(AddTypeLibraryToProject()); // the directive is there now
    AddUnitToProjectUses(L"  Unit2 in 'Unit2.pas'");
    EXPECT_EQ("program Project1;\r\nuses\r\n  Forms,\r\n  Project1_TLB in 'Project1_TLB.pas',\r\n  Unit2 in 'Unit2.pas';"
              "\r\n\r\n{$R *.TLB}\r\n\r\nbegin\r\nend.\r\n",
              host.Buffer(project));
    EXPECT_TRUE(host.Faults().empty());
}

TEST(ProjectTools, ImporterCommandLineQuotesAProgramFolderWithABlank) {
    EXPECT_EQ(L"C:\\ide\\bin\\tlibimp.exe -P \"-dC:\\p\\\" \"C:\\p\\Project1.tlb\"",
              ImporterCommandLine(L"C:\\ide\\bin\\", L"C:\\p\\", L"C:\\p\\Project1.tlb"));
    EXPECT_EQ(L"\"C:\\my ide\\tlibimp.exe\" -P \"-dC:\\my p\\\" \"C:\\my p\\P.tlb\"",
              ImporterCommandLine(L"C:\\my ide", L"C:\\my p\\", L"C:\\my p\\P.tlb"));
}

TEST(ToolsLibrary, ClassesAddedOneAfterAnotherKeepEveryGuidAndADuplicateLeavesTheFile) {
    TIdeHost host; // for its fresh work folder
    const std::wstring path = host.WorkFolder() + L"\\Project1.tlb";
    const std::wstring log = host.WorkFolder() + L"\\tools.log";
    SetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", log.c_str());
    const std::string ansiPath = WideToAnsi(path);
    CreateNewTypeLibrary(ansiPath.c_str());
    ASSERT_TRUE(ReadTypeLibrary(path).empty());
    {
        TComPtr<ITypeLib> library;
        ASSERT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()));
        BSTR name = nullptr;
        library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(L"Project1", name);
        SysFreeString(name);
    }

    DuplicateTypeLibraryAndAddNewObject(ansiPath.c_str(), "Foo", 1, 0, AutoObjectLibraryId);
    const auto first = ReadTypeLibrary(path);
    ASSERT_EQ(3u, first.size());
    EXPECT_EQ(L"IFoo", first[0].Name);
    EXPECT_EQ(TKIND_DISPATCH, first[0].Kind);
    EXPECT_TRUE(first[0].Flags & TYPEFLAG_FDUAL);
    EXPECT_EQ(std::vector<std::wstring>{L"IDispatch:0"}, first[0].Impl);
    EXPECT_EQ(L"IFooEvents", first[1].Name);
    EXPECT_EQ(TKIND_DISPATCH, first[1].Kind);
    EXPECT_FALSE(first[1].Flags & TYPEFLAG_FDUAL);
    EXPECT_EQ(L"Foo", first[2].Name);
    EXPECT_EQ(TKIND_COCLASS, first[2].Kind);
    EXPECT_EQ((std::vector<std::wstring>{L"IFoo:1", L"IFooEvents:3"}), first[2].Impl);

    DuplicateTypeLibraryAndAddNewObject(ansiPath.c_str(), "Bar", 0, 0, AutoObjectLibraryId);
    const std::string afterBar = ReadFileBytes(path);
    DuplicateTypeLibraryAndAddNewObject(ansiPath.c_str(), "Baz", 0, 0, RemoteDataModuleLibraryId);
    const auto all = ReadTypeLibrary(path);
    ASSERT_EQ(7u, all.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(first[i].Name, all[i].Name);
        EXPECT_EQ(first[i].Guid, all[i].Guid) << all[i].Name;
    }
    EXPECT_EQ((std::vector<std::wstring>{L"IFoo:1", L"IFooEvents:3"}), all[2].Impl);
    EXPECT_EQ(L"IBar", all[3].Name);
    EXPECT_EQ((std::vector<std::wstring>{L"IBar:1"}), all[4].Impl);
    EXPECT_EQ(L"IBaz", all[5].Name);
    EXPECT_EQ(std::vector<std::wstring>{L"IRemoteDataModule:0"}, all[5].Impl);
    EXPECT_EQ(L"Baz", all[6].Name);

    // A class the library holds, a bad identifier, a library that is not one: the file stays.
    const std::string before = ReadFileBytes(path);
    DuplicateTypeLibraryAndAddNewObject(ansiPath.c_str(), "Foo", 0, 0, AutoObjectLibraryId);
    EXPECT_EQ(before, ReadFileBytes(path));
    const uint8_t bad[40] = "\x26{not-a-guid-at-all-not-a-guid-at-al}";
    DuplicateTypeLibraryAndAddNewObject(ansiPath.c_str(), "Qux", 0, 0, bad);
    EXPECT_EQ(before, ReadFileBytes(path));
    const std::wstring truncated = host.WorkFolder() + L"\\Truncated.tlb";
    WriteFileBytes(truncated, afterBar.substr(0, afterBar.size() / 2));
    DuplicateTypeLibraryAndAddNewObject(WideToAnsi(truncated).c_str(), "Qux", 0, 0, AutoObjectLibraryId);
    EXPECT_EQ(afterBar.substr(0, afterBar.size() / 2), ReadFileBytes(truncated));

    const std::string lines = ReadFileBytes(log);
    EXPECT_EQ(0u, lines.find("CreateNewTypeLibrary \"" + ansiPath + "\"\r\nDuplicateTypeLibraryAndAddNewObject \"" +
                             ansiPath + "\" \"Foo\" 1 0 {00020430-0000-0000-C000-000000000046}\r\n"));
    SetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", nullptr);
}

namespace {

// The library of Members.idl, built by widl and carried as this program's type library.
std::string MembersLibrary() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(self, MAKEINTRESOURCEW(1), L"TYPELIB");
    if (!resource) return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(self, resource))), SizeofResource(self, resource));
}

size_t LinesWith(const std::vector<std::wstring>& lines, std::initializer_list<const wchar_t*> parts) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) {
        return std::all_of(parts.begin(), parts.end(), [&](const wchar_t* part) { return line.find(part) != std::wstring::npos; });
    }));
}

} // namespace

// Adding a class to a library whose types have members of every kind keeps every type whole:
// functions with their parameters, names, default values and help strings, variables, enum
// values, an alias, as ITypeLib and ITypeInfo read them back.
TEST(ToolsLibrary, AddingAClassKeepsEveryMemberOfTheTypesThere) {
    TIdeHost host; // for its fresh work folder
    const std::wstring path = host.WorkFolder() + L"\\Members.tlb";
    WriteFileBytes(path, MembersLibrary());
    const std::vector<std::wstring> before = DescribeTypeLibrary(path);
    // What Members.idl declares is there to be kept.
    EXPECT_EQ(1u, LinesWith(before, {L"IFoo(interface) function ", L" Add ", L"First:", L"Second:", L"Sum:", L"default=",
                                     L"Adds two numbers"}));
    EXPECT_EQ(2u, LinesWith(before, {L"IFoo(interface) function ", L" Name "}));
    EXPECT_EQ(1u, LinesWith(before, {L"IFoo(interface) function ", L" Paint ", L"Colour", L"IWidget*", L"SAFEARRAY"}));
    EXPECT_EQ(3u, LinesWith(before, {L"Colour variable "}));
    EXPECT_EQ(3u, LinesWith(before, {L"Point variable "}));
    EXPECT_EQ(1u, LinesWith(before, {L"Place alias Point"}));
    EXPECT_EQ(1u, LinesWith(before, {L"IFooEvents function ", L"Changed", L"What:", L"Something changed"}));
    EXPECT_EQ(1u, LinesWith(before, {L"IFooEvents variable ", L"Count"}));

    DuplicateTypeLibraryAndAddNewObject(WideToAnsi(path).c_str(), "Bar", 0, 0, AutoObjectLibraryId);
    std::vector<std::wstring> after = DescribeTypeLibrary(path);
    const auto added = std::remove_if(after.begin(), after.end(), [](const std::wstring& line) {
        return line.rfind(L"IBar", 0) == 0 || line.rfind(L"Bar ", 0) == 0;
    });
    EXPECT_NE(added, after.end()) << "Bar was not added";
    after.erase(added, after.end());
    EXPECT_EQ(before, after);
}

// Earlier tools wrote an events dispinterface without its base (the system then lists slots for
// the base's functions that cannot be read): such a library still takes a new class.
TEST(ToolsLibrary, ADispinterfaceWrittenWithoutItsBaseIsCopied) {
    TIdeHost host; // for its fresh work folder
    const std::wstring path = host.WorkFolder() + L"\\Old.tlb";
    {
        TComPtr<ICreateTypeLib2> library;
        ASSERT_EQ(S_OK, CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, path.c_str(), library.Put()));
        std::wstring name = L"Old", events = L"IFooEvents";
        GUID libId{}, iid{};
        CoCreateGuid(&libId);
        CoCreateGuid(&iid);
        library->SetName(name.data());
        library->SetGuid(libId);
        TComPtr<ICreateTypeInfo> info;
        ASSERT_EQ(S_OK, library->CreateTypeInfo(events.data(), TKIND_DISPATCH, info.Put()));
        info->SetGuid(iid);
        ASSERT_EQ(S_OK, info->LayOut());
        info = nullptr;
        ASSERT_EQ(S_OK, library->SaveAllChanges());
    }
    DuplicateTypeLibraryAndAddNewObject(WideToAnsi(path).c_str(), "Bar", 0, 0, AutoObjectLibraryId);
    std::vector<std::wstring> names;
    for (const TTypeView& type : ReadTypeLibrary(path)) names.push_back(type.Name);
    EXPECT_EQ((std::vector<std::wstring>{L"IFooEvents", L"IBar", L"Bar"}), names);
}

// Libraries cut short anywhere: the tools leave the file as it is, the importer refuses it
// (exit code 2) instead of going down with the system's loader.
TEST(ToolsLibrary, TruncatedLibrariesLeaveTheFileUnchanged) {
    TIdeHost host; // for its fresh work folder
    const std::wstring whole = host.WorkFolder() + L"\\Whole.tlb";
    CreateNewTypeLibrary(WideToAnsi(whole).c_str());
    DuplicateTypeLibraryAndAddNewObject(WideToAnsi(whole).c_str(), "Foo", 1, 0, AutoObjectLibraryId);
    DuplicateTypeLibraryAndAddNewObject(WideToAnsi(whole).c_str(), "Bar", 0, 0, RemoteDataModuleLibraryId);
    const std::string bytes = ReadFileBytes(whole);
    ASSERT_EQ(5u, ReadTypeLibrary(whole).size());
    std::mt19937 random(7121);
    std::vector<size_t> lengths;
    for (size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 200) lengths.push_back(n);
    for (int i = 0; i < 200; ++i) lengths.push_back(random() % bytes.size());
    lengths.push_back(bytes.size() - 1);
    const std::wstring cut = host.WorkFolder() + L"\\Cut.tlb";
    for (size_t n : lengths) {
        const std::string part = bytes.substr(0, n);
        WriteFileBytes(cut, part);
        DuplicateTypeLibraryAndAddNewObject(WideToAnsi(cut).c_str(), "Qux", 1, 0, AutoObjectLibraryId);
        ASSERT_EQ(part, ReadFileBytes(cut)) << "cut at " << n << " of " << bytes.size();
    }
    for (size_t n : {size_t(0), size_t(0x54), bytes.size() / 2, bytes.size() - 1}) {
        WriteFileBytes(cut, bytes.substr(0, n));
        const TProcessResult r = RunProcess(ProgramPath(L"tlibimp.exe") + L" -P \"-d" + host.WorkFolder() + L"\" \"" + cut + L"\"");
        EXPECT_EQ(2u, r.ExitCode) << "cut at " << n << ": " << r.Err;
    }
    EXPECT_FALSE(FileExists(host.WorkFolder() + L"\\Whole_TLB.pas"));
}

namespace {

// The GUID texts a unit declares, as "NAME=GUID" in order.
std::vector<std::string> DeclaredGuids(const std::string& unit) {
    std::vector<std::string> guids;
    for (size_t at = unit.find(": TGUID = '"); at != std::string::npos; at = unit.find(": TGUID = '", at + 1)) {
        const size_t start = unit.rfind("  ", at) + 2;
        guids.push_back(unit.substr(start, at - start) + "=" + unit.substr(at + 11, 38));
    }
    return guids;
}

std::string GuidAnsi(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return WideToAnsi(text);
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

TEST(ProjectTools, WholeRoundAddsTheClassAndTheImporterWritesItsUnit) {
    TIdeHost host;
    TBoxes boxes(host);
    const std::wstring log = host.WorkFolder() + L"\\tools.log";
    SetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", log.c_str());
    TProjectSource source{L"program Project1;\r\nuses\r\n  Forms;\r\nbegin\r\nend.\r\n"};
    const std::wstring project = MakeProject(source);
    UpdateProjectTypeLibrary("Foo", true, false, AutoObjectLibraryId);
    UpdateProjectTypeLibrary("Bar", false, false, AutoObjectLibraryId);
    SetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", nullptr);
    EXPECT_TRUE(boxes.Texts.empty()) << boxes.Texts.front();
    const std::wstring library = ChangeFileExt(project, L".tlb");
    const auto types = ReadTypeLibrary(library);
    ASSERT_EQ(5u, types.size());
    EXPECT_EQ(1u, CountOf(host.Buffer(project), "{$R *.TLB}"));

    // One new library, two classes, two importer runs with the exact command line.
    const std::string folder = WideToAnsi(host.WorkFolder());
    const std::string importer = "tlibimp " + WideToAnsi(ExtractFilePath(ParamStr(0))) + "tlibimp.exe -P \"-d" + folder +
                                 "\\\" \"" + folder + "\\Project1.tlb\"\r\n";
    const std::string lines = ReadFileBytes(log);
    EXPECT_EQ(1u, CountOf(lines, "CreateNewTypeLibrary "));
    EXPECT_EQ(2u, CountOf(lines, "DuplicateTypeLibraryAndAddNewObject "));
    EXPECT_EQ(2u, CountOf(lines, importer)) << lines;

    // The unit's GUIDs are the library's.
    TComPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadTypeLibEx(library.c_str(), REGKIND_NONE, lib.Put()));
    TLIBATTR* attr = nullptr;
    lib->GetLibAttr(&attr);
    const std::string libId = GuidAnsi(attr->guid);
    lib->ReleaseTLibAttr(attr);
    lib = nullptr;
    const std::vector<std::string> expected = {"LIBID_Project1=" + libId, "IID_IFoo=" + WideToAnsi(types[0].Guid),
                                               "DIID_IFooEvents=" + WideToAnsi(types[1].Guid),
                                               "CLASS_Foo=" + WideToAnsi(types[2].Guid), "IID_IBar=" + WideToAnsi(types[3].Guid),
                                               "CLASS_Bar=" + WideToAnsi(types[4].Guid)};
    const std::string unit = ReadFileBytes(host.WorkFolder() + L"\\Project1_TLB.pas");
    EXPECT_EQ(expected, DeclaredGuids(unit));
    for (const char* declaration : {"  IFoo = interface(IDispatch)\r\n", "  IFooEvents = dispinterface\r\n",
                                    "  Foo = IFoo;\r\n", "  CoBar = class\r\n", "    class function Create: IBar;\r\n"})
        EXPECT_NE(std::string::npos, unit.find(declaration)) << declaration;
    EXPECT_TRUE(host.Faults().empty());
}

TEST(ProjectTools, ImporterFailuresAreShownAndTheRoundGoesOn) {
    TIdeHost host;
    TBoxes boxes(host);
    const std::wstring here = ExtractFilePath(ParamStr(0));
    RunTypeLibraryImporter(ImporterCommandLine(host.WorkFolder() + L"\\nowhere", host.WorkFolder(), L"x.tlb"));
    RunTypeLibraryImporter(ImporterCommandLine(here, host.WorkFolder(), host.WorkFolder() + L"\\missing.tlb"));
    // Both handles of the run are let go.
    const TImporterHandles handles = LastImporterHandles();
    ASSERT_NE(nullptr, handles.Process);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(handles.Process, &flags));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(GetHandleInformation(handles.Thread, &flags));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    // A process cannot have ended the moment it was started: no time at all is a time-out.
    SetImporterTimeout(0);
    RunTypeLibraryImporter(ImporterCommandLine(here, host.WorkFolder(), host.WorkFolder() + L"\\missing.tlb"));
    SetImporterTimeout(60000);
    ASSERT_EQ(3u, boxes.Texts.size());
    EXPECT_EQ(0u, boxes.Texts[0].find(L"The type library importer could not be started (")) << boxes.Texts[0];
    EXPECT_EQ(L"The type library importer failed (exit code 2): the Pascal unit of the type library may be out of date.",
              boxes.Texts[1]);
    EXPECT_EQ(L"The type library importer did not finish within 0 seconds: the Pascal unit of the type library may be "
              L"out of date.",
              boxes.Texts[2]);
}

TEST(ProjectTools, NoProjectNoRoundAndAClassTheToolsCouldNotAddIsShown) {
    TIdeHost host;
    TBoxes boxes(host);
    UpdateProjectTypeLibrary("Foo", true, false, AutoObjectLibraryId);
    EXPECT_FALSE(FileExists(L".tlb"));
    EXPECT_TRUE(boxes.Texts.empty());

    TProjectSource source{L"program Project1;\r\nuses\r\n  Forms;\r\nbegin\r\nend.\r\n"};
    const std::wstring library = ChangeFileExt(MakeProject(source), L".tlb");
    CreateNewTypeLibrary(WideToAnsi(library).c_str());
    AddObjectToTypeLibrary(WideToAnsi(library), "Bar", false, false, AutoObjectLibraryId);
    EXPECT_TRUE(boxes.Texts.empty());
    const std::string before = ReadFileBytes(library);
    AddObjectToTypeLibrary(WideToAnsi(library), "Qux", false, false, reinterpret_cast<const uint8_t*>("\x02{}"));
    ASSERT_EQ(1u, boxes.Texts.size());
    EXPECT_EQ(L"The class \"Qux\" could not be added to the type library \"" + library +
                  L"\": nothing was added to the project.",
              boxes.Texts[0]);
    EXPECT_EQ(before, ReadFileBytes(library));
}

TEST(ProjectTools, ALibraryOpenWithChangesIsSavedBeforeItIsClosed) {
    TIdeHost host;
    const std::wstring path = host.WorkFolder() + L"\\Open.txt";
    WriteFileBytes(path, "old");
    ASSERT_TRUE(host.OpenFile(path));
    ToolServices()->CreateEditWriter(path)->Insert("new ");
    ASSERT_TRUE(host.Modified(path));
    CloseFileInIde(path);
    EXPECT_EQ("new old", ReadFileBytes(path));
    EXPECT_FALSE(IdeService<IOTAModuleServices>()->FindModule(path));
}

// The type library open in the environment holds a class more than its file: the round saves
// it first, so the new library holds that class as well as the one added.
TEST(ProjectTools, TheSavedStateOfAnOpenLibraryReachesTheNewLibrary) {
    TIdeHost host;
    TBoxes boxes(host);
    const std::wstring library = host.WorkFolder() + L"\\Project1.tlb";
    const std::wstring edited = host.WorkFolder() + L"\\Edited.tlb";
    for (const std::wstring& path : {library, edited}) {
        CreateNewTypeLibrary(WideToAnsi(path).c_str());
        DuplicateTypeLibraryAndAddNewObject(WideToAnsi(path).c_str(), "Foo", 0, 0, AutoObjectLibraryId);
    }
    DuplicateTypeLibraryAndAddNewObject(WideToAnsi(edited).c_str(), "Bar", 0, 0, AutoObjectLibraryId);
    ASSERT_TRUE(host.OpenFile(library));
    {
        const std::string bytes = ReadFileBytes(edited);
        TComPtr<IStream> stream;
        ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
        ULONG written = 0;
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
        TComPtr<IOTAModule> module = IdeService<IOTAModuleServices>()->FindModule(library);
        module->GetModuleFileEditor(0).As<IOTAEditorContent>()->SetContent(stream.Get());
    }
    ASSERT_TRUE(host.Modified(library));
    AddObjectToTypeLibrary(WideToAnsi(library), "Baz", false, false, AutoObjectLibraryId);
    EXPECT_TRUE(boxes.Texts.empty()) << boxes.Texts.front();
    std::vector<std::wstring> classes;
    for (const TTypeView& type : ReadTypeLibrary(library))
        if (type.Kind == TKIND_COCLASS) classes.push_back(type.Name);
    EXPECT_EQ((std::vector<std::wstring>{L"Foo", L"Bar", L"Baz"}), classes);
    EXPECT_TRUE(host.Faults().empty());
}
