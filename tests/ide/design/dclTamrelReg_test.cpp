// The design-time package in the environment stand-in: what Register registers and in which
// order, the palette bitmaps and the description it carries, a refused registration reaching the
// package loader, and an unload that leaves nothing behind.
#include "tests/support/TestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// Whether the add-in library's entry InitTamrelExperts is the full one (the wizards, the property
// editors, the two dialog components and the about item) or the empty entry the library starts
// with. With the full entry, the package's record goes on with ExpertsEntryRecord.
constexpr bool ExpertsEntryBuilt = true;

// What InitTamrelExperts registers, in its order: the wizards by their identifiers, the editors,
// the dialog components.
const std::vector<std::wstring> ExpertsEntryRecord = {
    L"wizard Automation Object in Service",
    L"wizard NT Service",
    L"wizard Service with DCOM server",
    L"propertyeditor TComService.AppID TServiceAppIDPropertyEditor",
    L"propertyeditor TNtService.DependsOnServices TDependenciesPropertyEditor",
    L"propertyeditor TNtService.DependsOnGroups TDependenciesPropertyEditor",
    L"wizard Remote Data Module in Service",
    L"wizard NT Service Application",
    L"propertyeditor TrkAccessMask.AccessMask TAccessMaskPropertyEditor",
    L"propertyeditor TrkAccessBits.MaskData TAccessBitsPropertyEditor",
    L"component Tamrel TrkExplicitAccessDialog",
    L"component Tamrel TrkSecurityDescriptorDialog",
    L"propertyeditor TrkSecurityDescriptorDialog.DACLMask TDACLMaskPropertyEditor",
    L"propertyeditor TrkSecurityDescriptorDialog.SACLMask TSACLMaskPropertyEditor",
};
const wchar_t AboutItem[] = L"Abou&t Tamrel ...";

// What Register itself registers before it calls InitTamrelExperts.
const std::vector<std::wstring> PackageRecord = {
    L"custommodule TComService TCustomModule",
    L"custommodule TDataModule TCustomModule",
    L"custommodule TNtService TCustomModule",
    L"class TNtService",
    L"class TComService",
    L"component Tamrel TrkAclEditor",
    L"component Tamrel TrkUsersListBox",
    L"component Tamrel TrkUsersComboBox",
    L"component Tamrel TrkSidCenter",
    L"component Tamrel TrkSecretCenter",
    L"component Tamrel TrkLsaUnicodeStringCenter",
    L"component Tamrel TrkSecurityDescriptorCenter",
    L"component Tamrel TrkAclCenter",
    L"component Tamrel TrkAccountRightsCenter",
    L"component Tamrel TrkTimer",
    L"component Tamrel TrkLogonSensor",
    L"component Tamrel TrkAccessMaskEditor",
    L"component Tamrel TrkSpecialAccessEditor",
    L"component Tamrel TrkSidSourceComboBox",
    L"component Tamrel TrkProcessRightsCenter",
    L"component Tamrel TrkPrivilegesListBox",
    L"component Tamrel TrkTrayIcon",
    L"component Tamrel TrkLaunchFrontEnd",
    L"component Tamrel TrkWtsSessions",
    L"component Tamrel TRkPowerEventHandler",
    L"component Tamrel TRkNetBindEventHandler",
};

std::wstring PackagePath() { return BinDir() + (sizeof(void*) == 8 ? L"tamreldsgn64.dll" : L"tamreldsgn.dll"); }
const wchar_t* WizardsLibrary() { return sizeof(void*) == 8 ? L"tamrelwiz64.dll" : L"tamrelwiz.dll"; }

std::vector<std::wstring> Concat(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The registrations of the package's last load, one line each, from the environment's record:
// everything between the package's load and the end of its Register.
std::vector<std::wstring> RegisterRecord(const TIdeHost& host) {
    const std::vector<TIdeRecord> records = host.Records();
    size_t start = records.size();
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i].Area == L"addin" && records[i].Call == L"load" && SameText(records[i].Field(L"path"), PackagePath()))
            start = i + 1;
    std::vector<std::wstring> lines;
    for (size_t i = start; i < records.size(); ++i) {
        const TIdeRecord& r = records[i];
        if (r.Area == L"addin" && r.Call == L"register") break;
        std::wstring line;
        if (r.Area == L"register" && r.Call == L"custommodule") line = L"custommodule " + r.Field(L"class") + L" " + r.Field(L"kind");
        else if (r.Area == L"register" && r.Call == L"class") line = L"class " + r.Field(L"class");
        else if (r.Area == L"register" && r.Call == L"component") line = L"component " + r.Field(L"page") + L" " + r.Field(L"class");
        else if (r.Area == L"register" && r.Call == L"propertyeditor")
            line = L"propertyeditor " + r.Field(L"class") + L"." + r.Field(L"name") + L" " + r.Field(L"editor");
        else if (r.Area == L"register") line = r.Call + L" " + r.Field(L"class") + L" " + r.Field(L"reason");
        else if (r.Area == L"wizards" && r.Call == L"add") line = L"wizard " + r.Field(L"id");
        else continue;
        if (r.Result != L"ok") line += L" (" + r.Result + L")";
        lines.push_back(line);
    }
    return lines;
}

// The package loader's record of the last Register.
TIdeRecord RegisterResult(const TIdeHost& host) {
    const std::vector<TIdeRecord> records = host.Records();
    for (size_t i = records.size(); i-- > 0;)
        if (records[i].Area == L"addin" && records[i].Call == L"register") return records[i];
    return {};
}

void ExpectNothingRegistered(const TIdeHost& host) {
    EXPECT_TRUE(host.PaletteComponents(L"Tamrel").empty());
    EXPECT_TRUE(host.CustomModules().empty());
    EXPECT_TRUE(host.RegisteredClasses().empty());
    EXPECT_TRUE(host.PropertyEditors().empty());
    EXPECT_TRUE(host.WizardIds().empty());
    EXPECT_TRUE(host.Libraries().empty());
    EXPECT_EQ(nullptr, GetModuleHandleW(PackagePath().c_str()));
    EXPECT_EQ(nullptr, GetModuleHandleW(WizardsLibrary())) << "the add-in library outlived the package";
}

struct TResourceBytes {
    std::wstring Name;
    std::string Bytes;
};

BOOL CALLBACK CollectResource(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    auto* found = reinterpret_cast<std::vector<TResourceBytes>*>(param);
    HRSRC info = FindResourceW(module, name, type);
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
    found->push_back({IS_INTRESOURCE(name) ? L"#" + IntToStr(static_cast<int>(reinterpret_cast<uintptr_t>(name))) : name,
                      bytes ? std::string(bytes, SizeofResource(module, info)) : std::string()});
    return TRUE;
}

std::vector<TResourceBytes> Resources(HMODULE module, LPCWSTR type) {
    std::vector<TResourceBytes> found;
    EnumResourceNamesW(module, type, &CollectResource, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

} // namespace

TEST(DesignPackage, RegisterRecordsTheModulesClassesAndComponentsInOrderThenTheExpertsEntry) {
    TIdeHost host;
    ASSERT_TRUE(host.LoadPackage(PackagePath())) << RegisterResult(host).Line();
    EXPECT_EQ(ExpertsEntryBuilt ? Concat(PackageRecord, ExpertsEntryRecord) : PackageRecord, RegisterRecord(host));
    // Every palette class found its bitmap in the package (a missing or wrong one is a fault).
    EXPECT_TRUE(host.Faults().empty()) << host.Faults().front().Line();

    std::vector<std::wstring> palette;
    for (const std::wstring& line : PackageRecord)
        if (line.rfind(L"component Tamrel ", 0) == 0) palette.push_back(line.substr(17));
    if (ExpertsEntryBuilt) palette.insert(palette.end(), {L"TrkExplicitAccessDialog", L"TrkSecurityDescriptorDialog"});
    EXPECT_EQ(palette, host.PaletteComponents(L"Tamrel"));
    EXPECT_EQ(ExpertsEntryBuilt ? 23u : 21u, palette.size());
    EXPECT_EQ((std::vector<std::wstring>{L"TComService", L"TDataModule", L"TNtService"}), host.CustomModules());

    // The property editors of the add-in library find the service classes under these names.
    EXPECT_EQ((std::vector<std::wstring>{L"TNtService", L"TComService"}), host.RegisteredClasses());
    const TClassInfo* service = GetClass(L"TNTService");
    const TClassInfo* comService = GetClass(L"TComService");
    ASSERT_NE(nullptr, service);
    ASSERT_NE(nullptr, comService);
    EXPECT_EQ(L"TNtService", service->Name());
    EXPECT_EQ(L"TComService", comService->Name());
    EXPECT_TRUE(comService->InheritsFrom(*service));

    const std::vector<std::wstring> help = host.HelpMenuItems();
    EXPECT_EQ(ExpertsEntryBuilt ? 1 : 0, std::count(help.begin(), help.end(), std::wstring(AboutItem)));

    // Both entries under their plain names; the add-in library came with the package.
    EXPECT_NE(nullptr, GetProcAddress(GetModuleHandleW(PackagePath().c_str()), "Register"));
    HMODULE wizards = GetModuleHandleW(WizardsLibrary());
    ASSERT_NE(nullptr, wizards);
    EXPECT_NE(nullptr, GetProcAddress(wizards, "InitTamrelExperts"));
}

TEST(DesignPackage, CarriesTheTwentyThreePaletteBitmapsAndItsDescription) {
    const TModuleHandle package(LoadLibraryExW(PackagePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(package.Get()) << GetLastError();
    // 24 by 24 pixels: 16 colours in 392 bytes (header 40, palette 64, 24 rows of 12 bytes); the
    // two event handlers 256 colours in 1,640 bytes (palette 1,024, rows of 24 bytes).
    const std::map<std::wstring, std::pair<int, size_t>> expected = {
        {L"TRKACLEDITOR", {4, 392}},           {L"TRKUSERSLISTBOX", {4, 392}},
        {L"TRKUSERSCOMBOBOX", {4, 392}},       {L"TRKSIDCENTER", {4, 392}},
        {L"TRKSECRETCENTER", {4, 392}},        {L"TRKLSAUNICODESTRINGCENTER", {4, 392}},
        {L"TRKSECURITYDESCRIPTORCENTER", {4, 392}}, {L"TRKACLCENTER", {4, 392}},
        {L"TRKACCOUNTRIGHTSCENTER", {4, 392}}, {L"TRKTIMER", {4, 392}},
        {L"TRKLOGONSENSOR", {4, 392}},         {L"TRKACCESSMASKEDITOR", {4, 392}},
        {L"TRKSPECIALACCESSEDITOR", {4, 392}}, {L"TRKSIDSOURCECOMBOBOX", {4, 392}},
        {L"TRKPROCESSRIGHTSCENTER", {4, 392}}, {L"TRKPRIVILEGESLISTBOX", {4, 392}},
        {L"TRKTRAYICON", {4, 392}},            {L"TRKLAUNCHFRONTEND", {4, 392}},
        {L"TRKWTSSESSIONS", {4, 392}},         {L"TRKPOWEREVENTHANDLER", {8, 1640}},
        {L"TRKNETBINDEVENTHANDLER", {8, 1640}}, {L"TRKEXPLICITACCESSDIALOG", {4, 392}},
        {L"TRKSECURITYDESCRIPTORDIALOG", {4, 392}},
    };
    std::map<std::wstring, std::pair<int, size_t>> found;
    for (const TResourceBytes& bitmap : Resources(package.Get(), MAKEINTRESOURCEW(2) /* RT_BITMAP */)) {
        ASSERT_GE(bitmap.Bytes.size(), sizeof(BITMAPINFOHEADER)) << bitmap.Name;
        BITMAPINFOHEADER header;
        memcpy(&header, bitmap.Bytes.data(), sizeof header);
        EXPECT_EQ(24, header.biWidth) << bitmap.Name;
        EXPECT_EQ(24, header.biHeight) << bitmap.Name;
        EXPECT_EQ(header.biBitCount == 8 ? 256u : 16u, header.biClrUsed) << bitmap.Name;
        found[bitmap.Name] = {header.biBitCount, bitmap.Bytes.size()};
    }
    EXPECT_EQ(expected, found);

    // "Tamrel Components" in UTF-16, with its terminating zero.
    const std::u16string_view text(u"Tamrel Components\0", 18);
    const std::string description(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    const std::vector<TResourceBytes> data = Resources(package.Get(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    ASSERT_EQ(1u, data.size());
    EXPECT_EQ(L"DESCRIPTION", data[0].Name);
    EXPECT_EQ(36u, data[0].Bytes.size());
    EXPECT_EQ(description, data[0].Bytes);
}

// The environment refuses one registration: the exception comes out of Register unchanged, what
// followed it is never registered, and the loader unloads the package with what came before.
TEST(DesignPackage, ARefusedRegistrationReachesThePackageLoader) {
    struct TCase {
        const wchar_t* Call;
        const wchar_t* Name;
        std::wstring Refused; // the last line of the record
    };
    std::vector<TCase> cases = {
        {L"custommodule", L"TComService", L"custommodule TComService TCustomModule (refused)"},
        {L"custommodule", L"TNtService", L"custommodule TNtService TCustomModule (refused)"},
        {L"class", L"TNtService", L"class TNtService (refused)"},
        {L"class", L"TComService", L"class TComService (refused)"},
        {L"component", L"TrkAclEditor", L"component Tamrel TrkAclEditor (refused)"},
        {L"component", L"TrkTimer", L"component Tamrel TrkTimer (refused)"},
        {L"component", L"TRkNetBindEventHandler", L"component Tamrel TRkNetBindEventHandler (refused)"},
    };
    // With the full entry, a refusal inside InitTamrelExperts comes through Register as well.
    if (ExpertsEntryBuilt) {
        cases.push_back({L"propertyeditor", L"AppID", L"propertyeditor TComService.AppID TServiceAppIDPropertyEditor (refused)"});
        cases.push_back({L"component", L"TrkSecurityDescriptorDialog", L"component Tamrel TrkSecurityDescriptorDialog (refused)"});
    }
    const std::vector<std::wstring> all = ExpertsEntryBuilt ? Concat(PackageRecord, ExpertsEntryRecord) : PackageRecord;
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << ToUtf8(c.Call) << " " << ToUtf8(c.Name));
        TIdeHost host;
        host.FailRegistration(c.Call, c.Name);
        EXPECT_FALSE(host.LoadPackage(PackagePath()));
        const TIdeRecord result = RegisterResult(host);
        EXPECT_EQ(L"exception", result.Result);
        EXPECT_NE(std::wstring::npos, result.Field(L"message").find(L"The environment refuses to register " +
                                                                     std::wstring(c.Name) + L" (fault switch)"))
            << ToUtf8(result.Line());
        // The record is the package's up to the refused call, and stops there.
        const std::vector<std::wstring> record = RegisterRecord(host);
        ASSERT_FALSE(record.empty());
        EXPECT_EQ(c.Refused, record.back());
        const std::wstring done = c.Refused.substr(0, c.Refused.size() - std::wstring(L" (refused)").size());
        const auto at = std::find(all.begin(), all.end(), done);
        ASSERT_NE(all.end(), at);
        EXPECT_EQ(std::vector<std::wstring>(all.begin(), at), std::vector<std::wstring>(record.begin(), record.end() - 1));
        ExpectNothingRegistered(host);
    }
}

TEST(DesignPackage, UnloadLeavesNothingAndASecondLoadRegistersTheSame) {
    TIdeHost host;
    const std::vector<std::wstring> helpBefore = host.HelpMenuItems();
    ASSERT_TRUE(host.LoadPackage(PackagePath()));
    const std::vector<std::wstring> first = RegisterRecord(host);
    ASSERT_TRUE(host.Unload(PackagePath()));
    EXPECT_TRUE(host.Faults().empty()) << host.Faults().front().Line();
    ExpectNothingRegistered(host);
    EXPECT_EQ(helpBefore, host.HelpMenuItems());

    ASSERT_TRUE(host.LoadPackage(PackagePath()));
    EXPECT_EQ(first, RegisterRecord(host));
    const std::vector<std::wstring> help = host.HelpMenuItems();
    EXPECT_EQ(ExpertsEntryBuilt ? 1 : 0, std::count(help.begin(), help.end(), std::wstring(AboutItem)));
    ASSERT_TRUE(host.Unload(PackagePath()));
    EXPECT_TRUE(host.Faults().empty()) << host.Faults().front().Line();
    ExpectNothingRegistered(host);
}
