// The template library's registration, through the system's regsvr32 and the registry, with the
// 64-bit build of its sources (this machine runs no 32-bit code).
#include "host/Handles.h"
#include "ide/msgtable/model/EvLog_Document.h"
#include "ide/msgtable/model/EvLog_LibraryTemplate.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

const std::wstring kEventLog = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

ByteVector Eltelib64() { return ReadBytes(tamrel::test::BinDir() + L"ELTELIB64.dll"); }

struct TValue {
    DWORD Type;
    std::wstring Text;
    DWORD Number;
    bool operator==(const TValue&) const = default;
};
using TValues = std::map<std::wstring, TValue>;

// The values of a key under HKLM; empty when the key is missing.
TValues ValuesOf(const std::wstring& key) {
    TValues values;
    TRegKey k;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, k.Put()) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        if (RegEnumValueW(k.Get(), i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size + 2);
        nameLength = 256;
        RegEnumValueW(k.Get(), i, name, &nameLength, nullptr, &type, data.data(), &size);
        TValue v{type, L"", 0};
        if (type == REG_SZ) v.Text = reinterpret_cast<const wchar_t*>(data.data());
        if (type == REG_DWORD) v.Number = *reinterpret_cast<const DWORD*>(data.data());
        values[name] = v;
    }
    return values;
}

bool KeyExists(const std::wstring& key) {
    TRegKey k;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, k.Put()) == ERROR_SUCCESS;
}

std::vector<std::wstring> SubkeysOf(const std::wstring& key) {
    std::vector<std::wstring> names;
    TRegKey k;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, k.Put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(k.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    return names;
}

DWORD Regsvr32(const std::wstring& args) {
    return tamrel::test::RunProcess(L"regsvr32.exe /s " + args).ExitCode;
}

class Registration : public ::testing::Test {
protected:
    TTempFolder folder{L"reg"};
    const std::wstring& dir = folder.Path;
    std::vector<std::wstring> keys; // to remove afterwards
    TLibraryTemplateSource former = nullptr;

    void SetUp() override {
        former = SetLibraryTemplateSource(Eltelib64);
    }
    void TearDown() override {
        SetLibraryTemplateSource(former);
        for (const std::wstring& key : keys) RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
    // A library for a source, with two categories or none.
    std::wstring Library(const std::wstring& path, const std::wstring& source, TEvLogEventType journal, bool categories) {
        TEvLogDocument doc;
        doc.SetEventSource(source);
        doc.SetEventType(journal);
        doc.SetUseCategories(categories);
        if (categories) doc.CategoriesBlock()->SetMessages(English, 1, L"Second category");
        doc.AddBlock()->SetMessages(English, 0, L"Service %1 started");
        EXPECT_TRUE(doc.SaveAs(path)) << WideToUtf8(path);
        if (!source.empty()) keys.push_back(kEventLog + EventLogName(journal) + L"\\" + source);
        return path;
    }
};

} // namespace

TEST_F(Registration, WritesExactlyTheMessageFileValues) {
    const std::wstring path = Library(dir + L"lib.dll", L"TamrelRegExact", etApplication, true);
    const std::wstring key = kEventLog + L"Application\\TamrelRegExact";
    ASSERT_EQ(0u, Regsvr32(L"\"" + path + L"\""));
    const TValues expected = {{L"CategoryCount", {REG_DWORD, L"", 2}},
                              {L"CategoryMessageFile", {REG_SZ, path, 0}},
                              {L"EventMessageFile", {REG_SZ, path, 0}},
                              {L"TypesSupported", {REG_DWORD, L"", 7}}};
    EXPECT_EQ(expected, ValuesOf(key));

    // The viewer's look-up: the registered file as data, the message with its inserts.
    const std::wstring file = ValuesOf(key)[L"EventMessageFile"].Text;
    TModuleHandle module(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module.Valid());
    DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(L"Spooler")};
    wchar_t text[256];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module.Get(), 0x100,
                                   1033, text, 256, reinterpret_cast<va_list*>(args));
    EXPECT_EQ(L"Service Spooler started", std::wstring(text, n));
    EXPECT_EQ(L"Second category", SystemMessage(module.Get(), 2, 1033));
    module.Reset();

    // Without categories, registering again takes both category values away.
    Library(path, L"TamrelRegExact", etApplication, false);
    ASSERT_EQ(0u, Regsvr32(L"\"" + path + L"\""));
    const TValues without = {{L"EventMessageFile", {REG_SZ, path, 0}}, {L"TypesSupported", {REG_DWORD, L"", 7}}};
    EXPECT_EQ(without, ValuesOf(key));
}

TEST_F(Registration, UnregisterRemovesOnlyItsOwnSourceToAnyDepth) {
    const std::wstring a = Library(dir + L"a.dll", L"TamrelRegA", etApplication, false);
    const std::wstring b = Library(dir + L"b.dll", L"TamrelRegB", etApplication, false);
    ASSERT_EQ(0u, Regsvr32(L"\"" + a + L"\""));
    ASSERT_EQ(0u, Regsvr32(L"\"" + b + L"\""));
    TRegKey deep;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kEventLog + L"Application\\TamrelRegA\\x\\y").c_str(), 0,
                                             nullptr, 0, KEY_WRITE, nullptr, deep.Put(), nullptr));
    deep.Reset();
    ASSERT_EQ(0u, Regsvr32(L"/u \"" + a + L"\""));
    EXPECT_FALSE(KeyExists(kEventLog + L"Application\\TamrelRegA"));
    EXPECT_TRUE(KeyExists(kEventLog + L"Application\\TamrelRegB"));
    EXPECT_TRUE(KeyExists(kEventLog + L"Application"));
    EXPECT_EQ(0u, Regsvr32(L"/u \"" + a + L"\"")) << "a missing key is no failure";
}

TEST_F(Registration, TheSystemJournalAndLongPathsWithBlanks) {
    const std::wstring path = Library(dir + L"system lib.dll", L"TamrelRegSystem", etSystem, false);
    ASSERT_EQ(0u, Regsvr32(L"\"" + path + L"\""));
    EXPECT_EQ(path, ValuesOf(kEventLog + L"System\\TamrelRegSystem")[L"EventMessageFile"].Text);
    EXPECT_FALSE(KeyExists(kEventLog + L"Application\\TamrelRegSystem"));

    std::wstring longDir = dir + L"a folder with blanks " + std::wstring(180, L'x');
    ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr)) << GetLastError();
    const std::wstring longPath = Library(longDir + L"\\library with a long name.dll", L"TamrelRegLong", etApplication, false);
    ASSERT_GT(longPath.size(), 255u);
    ASSERT_EQ(0u, Regsvr32(L"\"" + longPath + L"\""));
    EXPECT_EQ(longPath, ValuesOf(kEventLog + L"Application\\TamrelRegLong")[L"EventMessageFile"].Text) << "not cut at 255";
}

TEST_F(Registration, RefusesSourcesThatNameAnotherKeyAndLibrariesWithoutAttributes) {
    const std::wstring application = kEventLog + L"Application";
    const TValues values = ValuesOf(application);
    const std::vector<std::wstring> subkeys = SubkeysOf(application);
    const std::wstring tooLong(256, L's');
    for (const std::wstring& source : {std::wstring(), std::wstring(L"Tamrel\\Nested"), tooLong}) {
        const std::wstring path = Library(dir + L"bad.dll", source, etApplication, false);
        EXPECT_EQ(5u, Regsvr32(L"\"" + path + L"\"")) << WideToUtf8(source);
        EXPECT_EQ(5u, Regsvr32(L"/u \"" + path + L"\"")) << WideToUtf8(source);
    }
    // The template alone carries no attributes.
    WriteBytes(dir + L"template.dll", Eltelib64());
    EXPECT_EQ(5u, Regsvr32(L"\"" + dir + L"template.dll\""));
    EXPECT_EQ(5u, Regsvr32(L"/u \"" + dir + L"template.dll\""));
    EXPECT_EQ(values, ValuesOf(application));
    EXPECT_EQ(subkeys, SubkeysOf(application));
    EXPECT_TRUE(KeyExists(application));
}
