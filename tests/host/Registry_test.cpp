#include "host/Registry.h"

#include "host/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tamrel;
using namespace tamrel::test;

namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

using Strings = std::vector<std::wstring>;

} // namespace

// Every test works below its own key under HKCU\Software\TamrelTests and deletes it afterwards
// with the plain API, so that a fault in the class cannot leave keys behind. HKCU itself is a
// disposable key for the test's duration: a fault that deletes from the root wipes only that.
class Registry : public ::testing::Test {
protected:
    TDisposableCurrentUser user;
    std::wstring base = L"Software\\TamrelTests\\Registry-" + std::to_wstring(GetCurrentProcessId());
    std::wstring abs = L"\\" + base;

    void SetUp() override {
        ASSERT_TRUE(user.Active()) << "HKEY_CURRENT_USER could not be replaced by a disposable key";
        RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TamrelTests"); // only when empty
    }

    bool RawKeyExists(const std::wstring& sub) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (base + sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
};

TEST_F(Registry, DefaultsAreCurrentUserWithFullAccess) {
    TRegistry reg;
    EXPECT_EQ(HKEY_CURRENT_USER, reg.RootKey());
    EXPECT_EQ(static_cast<REGSAM>(KEY_ALL_ACCESS), reg.Access());
    EXPECT_EQ(nullptr, reg.CurrentKey());
    EXPECT_EQ(L"", reg.CurrentPath());
}

TEST_F(Registry, AbsoluteAndRelativePaths) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(abs + L"\\A", false)) << "missing and not created";
    EXPECT_EQ(nullptr, reg.CurrentKey());
    ASSERT_TRUE(reg.OpenKey(abs + L"\\A", true));
    EXPECT_EQ(base + L"\\A", reg.CurrentPath());
    HKEY first = reg.CurrentKey();
    EXPECT_NE(nullptr, first);

    ASSERT_TRUE(reg.OpenKey(L"B\\C", true)) << "relative to the current key";
    EXPECT_EQ(base + L"\\A\\B\\C", reg.CurrentPath());
    EXPECT_TRUE(RawKeyExists(L"\\A\\B\\C"));

    EXPECT_FALSE(reg.OpenKey(L"Missing", false));
    EXPECT_EQ(base + L"\\A\\B\\C", reg.CurrentPath()) << "a failed open keeps the current key";

    ASSERT_TRUE(reg.OpenKey(abs, false));
    EXPECT_EQ(base, reg.CurrentPath());
    ASSERT_TRUE(reg.OpenKey(L"", false)) << "the current key itself";
    EXPECT_EQ(base, reg.CurrentPath());

    reg.CloseKey();
    EXPECT_EQ(nullptr, reg.CurrentKey());
    EXPECT_EQ(L"", reg.CurrentPath());
    ASSERT_TRUE(reg.OpenKey(base + L"\\A", false)) << "relative to the root with no key open";
    EXPECT_EQ(base + L"\\A", reg.CurrentPath());
}

TEST_F(Registry, ChangingTheRootClosesTheCurrentKey) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_NE(nullptr, reg.CurrentKey()) << "same root: nothing changes";
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(nullptr, reg.CurrentKey());
    EXPECT_EQ(L"", reg.CurrentPath());
    EXPECT_TRUE(reg.OpenKeyReadOnly(L"\\Software"));
    EXPECT_FALSE(reg.KeyExists(abs)) << "looked up under the new root";
}

TEST_F(Registry, CreateKeyExistsAndDeleteKeyWithEverythingBelow) {
    TRegistry reg;
    ASSERT_TRUE(reg.CreateKey(abs + L"\\X\\Y\\Z"));
    EXPECT_EQ(nullptr, reg.CurrentKey()) << "CreateKey does not open";
    EXPECT_TRUE(reg.KeyExists(abs + L"\\X\\Y"));
    ASSERT_TRUE(reg.OpenKey(abs + L"\\X", false));
    EXPECT_TRUE(reg.KeyExists(L"Y\\Z"));
    EXPECT_FALSE(reg.KeyExists(L"Z"));
    reg.WriteString(L"v", L"value");
    ASSERT_TRUE(reg.OpenKey(L"Y", false));
    reg.WriteInteger(L"n", 1);

    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey(abs + L"\\X"));
    EXPECT_FALSE(RawKeyExists(L"\\X"));
    EXPECT_TRUE(RawKeyExists(L"")) << "the parent stays";
    EXPECT_FALSE(reg.DeleteKey(abs + L"\\X")) << "already gone";
}

TEST_F(Registry, DeleteKeyWithAnEmptyPathDeletesNothing) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs + L"\\Keep", true));
    reg.WriteString(L"v", L"kept");
    for (const wchar_t* path : {L"", L"\\"}) EXPECT_FALSE(reg.DeleteKey(path)) << (path[0] ? "root" : "current key");
    EXPECT_TRUE(RawKeyExists(L"\\Keep"));
    EXPECT_EQ(L"kept", reg.ReadString(L"v"));
}

TEST_F(Registry, ValuesRoundTripWithTheirTypes) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    const unsigned char blob[] = {0, 1, 2, 0xFF};
    reg.WriteString(L"s", L"text \u00e9");
    reg.WriteString(L"empty", L"");
    reg.WriteExpandString(L"e", L"%SystemRoot%\\x");
    reg.WriteInteger(L"i", -5);
    reg.WriteBool(L"t", true);
    reg.WriteBool(L"f", false);
    reg.WriteBinaryData(L"b", blob, sizeof blob);
    reg.WriteMultiString(L"m", {L"one", L"two"});
    reg.WriteString(L"", L"default value");

    struct Case {
        const wchar_t* name;
        TRegDataType type;
        int32_t size;
    } cases[] = {
        {L"s", rdString, 14},     {L"empty", rdString, 2}, {L"e", rdExpandString, 30}, {L"i", rdInteger, 4},
        {L"t", rdInteger, 4},     {L"b", rdBinary, 4},     {L"m", rdUnknown, 18},     {L"", rdString, 28},
        {L"missing", rdUnknown, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.type, reg.GetDataType(c.name)) << ToUtf8(c.name);
        EXPECT_EQ(c.size, reg.GetDataSize(c.name)) << ToUtf8(c.name);
        EXPECT_EQ(c.size >= 0, reg.ValueExists(c.name)) << ToUtf8(c.name);
    }
    EXPECT_EQ(L"text \u00e9", reg.ReadString(L"s"));
    EXPECT_EQ(L"", reg.ReadString(L"empty"));
    EXPECT_EQ(L"%SystemRoot%\\x", reg.ReadString(L"e")) << "read as written, not expanded";
    EXPECT_EQ(L"default value", reg.ReadString(L""));
    EXPECT_EQ(-5, reg.ReadInteger(L"i"));
    EXPECT_TRUE(reg.ReadBool(L"t"));
    EXPECT_FALSE(reg.ReadBool(L"f"));
    unsigned char buf[8] = {};
    EXPECT_EQ(4, reg.ReadBinaryData(L"b", buf, sizeof buf));
    EXPECT_EQ(0, memcmp(blob, buf, sizeof blob));
    EXPECT_EQ((Strings{L"one", L"two"}), reg.ReadMultiString(L"m"));

    // Stored the way other programs read them.
    DWORD type = 0, value = 0, size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(reg.CurrentKey(), L"t", nullptr, &type,
                                              reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(1u, value);
}

TEST_F(Registry, MissingValues) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    EXPECT_EQ(L"", reg.ReadString(L"none"));
    EXPECT_TRUE(reg.ReadMultiString(L"none").empty());
    char buf[4];
    EXPECT_EQ(0, reg.ReadBinaryData(L"none", buf, sizeof buf));
    try {
        reg.ReadInteger(L"none");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(L"Failed to get data for 'none'", e.Message());
    }
    EXPECT_THROW(reg.ReadBool(L"none"), ERegistryException);
    EXPECT_FALSE(reg.DeleteValue(L"none"));
}

TEST_F(Registry, ReadingAnotherTypeRaisesInvalidDataType) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    reg.WriteString(L"s", L"12");
    reg.WriteInteger(L"i", 12);
    reg.WriteMultiString(L"m", {L"a"});
    const char raw[] = "ab";
    reg.WriteBinaryData(L"b", raw, 2);
    char buf[16];
    struct Case {
        const char* name;
        std::function<void()> read;
        const wchar_t* value;
    } cases[] = {
        {"integer as string", [&] { reg.ReadString(L"i"); }, L"i"},
        {"binary as string", [&] { reg.ReadString(L"b"); }, L"b"},
        {"multi-string as string", [&] { reg.ReadString(L"m"); }, L"m"},
        {"string as integer", [&] { reg.ReadInteger(L"s"); }, L"s"},
        {"binary as integer", [&] { reg.ReadInteger(L"b"); }, L"b"},
        {"string as bool", [&] { reg.ReadBool(L"s"); }, L"s"},
        {"string as binary", [&] { reg.ReadBinaryData(L"s", buf, sizeof buf); }, L"s"},
        {"integer as binary", [&] { reg.ReadBinaryData(L"i", buf, sizeof buf); }, L"i"},
        {"string as multi-string", [&] { reg.ReadMultiString(L"s"); }, L"s"},
    };
    for (const auto& c : cases) {
        try {
            c.read();
            ADD_FAILURE() << c.name << " did not raise";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(Format(L"Invalid data type for '%s'", c.value), e.Message()) << c.name;
        }
    }
    // A multi-string is data of no listed type: binary reads accept it.
    EXPECT_EQ(6, reg.ReadBinaryData(L"m", buf, sizeof buf));
}

TEST_F(Registry, BinaryReadIntoASmallBufferRaisesAndLeavesItAlone) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    const char raw[] = "0123456789";
    reg.WriteBinaryData(L"b", raw, 10);
    char buf[4] = {'x', 'x', 'x', 'x'};
    try {
        reg.ReadBinaryData(L"b", buf, sizeof buf);
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(L"Failed to get data for 'b'", e.Message());
    }
    EXPECT_EQ(std::string("xxxx"), std::string(buf, 4));
    EXPECT_THROW(reg.ReadBinaryData(L"b", buf, -1), ERegistryException);
}

TEST_F(Registry, StringsStoredWithoutTerminatorOrWithEmbeddedNullsReadSafely) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(reg.CurrentKey(), L"u", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(unterminated), sizeof unterminated));
    const wchar_t embedded[] = L"ab\0cd";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(reg.CurrentKey(), L"n", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(embedded), sizeof embedded));
    const wchar_t multi[] = {L'x', 0, L'y'}; // the last string lacks both terminators
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(reg.CurrentKey(), L"m", 0, REG_MULTI_SZ,
                                            reinterpret_cast<const BYTE*>(multi), sizeof multi));
    const wchar_t multiEmpty[] = {L'x', 0, 0, L'y', 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(reg.CurrentKey(), L"me", 0, REG_MULTI_SZ,
                                            reinterpret_cast<const BYTE*>(multiEmpty), sizeof multiEmpty));
    const char odd[] = {'a', 0, 'b'};
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(reg.CurrentKey(), L"o", 0, REG_SZ, reinterpret_cast<const BYTE*>(odd), sizeof odd));
    EXPECT_EQ(L"abc", reg.ReadString(L"u"));
    EXPECT_EQ(L"ab", reg.ReadString(L"n"));
    EXPECT_EQ((Strings{L"x", L"y"}), reg.ReadMultiString(L"m"));
    EXPECT_EQ((Strings{L"x"}), reg.ReadMultiString(L"me")) << "an empty string ends the list";
    EXPECT_EQ(L"a", reg.ReadString(L"o"));
}

TEST_F(Registry, MultiStringsThatCannotBeStoredAreRefused) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    reg.WriteMultiString(L"m", {L"keep"});
    for (const Strings& bad : {Strings{L"a", L"", L"b"}, Strings{L""}, Strings{std::wstring(L"a\0b", 3)}}) {
        try {
            reg.WriteMultiString(L"m", bad);
            ADD_FAILURE() << bad.size();
        } catch (const ERegistryException& e) {
            EXPECT_EQ(L"Failed to set data for 'm'", e.Message());
        }
    }
    EXPECT_EQ((Strings{L"keep"}), reg.ReadMultiString(L"m")) << "nothing written";
    reg.WriteMultiString(L"m", {});
    EXPECT_TRUE(reg.ReadMultiString(L"m").empty());
    EXPECT_EQ(2, reg.GetDataSize(L"m"));
}

TEST_F(Registry, ReadsAndWritesWithoutAnOpenKeyRaise) {
    TRegistry reg;
    EXPECT_FALSE(reg.ValueExists(L"v"));
    EXPECT_FALSE(reg.DeleteValue(L"v"));
    EXPECT_EQ(-1, reg.GetDataSize(L"v"));
    EXPECT_TRUE(reg.GetKeyNames().empty());
    EXPECT_TRUE(reg.GetValueNames().empty());
    try {
        reg.WriteString(L"v", L"x");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(L"Failed to set data for 'v'", e.Message());
    }
    EXPECT_THROW(reg.ReadInteger(L"v"), ERegistryException);
}

TEST_F(Registry, ReadOnlyKeyRefusesWrites) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    reg.WriteInteger(L"i", 7);
    ASSERT_TRUE(reg.OpenKeyReadOnly(abs));
    EXPECT_EQ(static_cast<REGSAM>(KEY_ALL_ACCESS), reg.Access()) << "Access itself is unchanged";
    EXPECT_EQ(7, reg.ReadInteger(L"i"));
    try {
        reg.WriteInteger(L"i", 8);
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(L"Failed to set data for 'i'", e.Message());
    }
    EXPECT_EQ(7, reg.ReadInteger(L"i"));
    EXPECT_FALSE(reg.OpenKeyReadOnly(L"Missing"));
}

TEST_F(Registry, EnumeratesKeyAndValueNames) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(abs, true));
    std::wstring longName(250, L'k'); // near the 255-character limit of key names
    for (const std::wstring& k : {std::wstring(L"K1"), std::wstring(L"K2"), longName}) ASSERT_TRUE(reg.CreateKey(k));
    reg.WriteString(L"V1", L"");
    reg.WriteInteger(L"V2", 0);
    reg.WriteString(L"", L"default");
    EXPECT_EQ((Strings{L"K1", L"K2", longName}), Sorted(reg.GetKeyNames()));
    EXPECT_EQ((Strings{L"", L"V1", L"V2"}), Sorted(reg.GetValueNames()));
    EXPECT_TRUE(reg.DeleteValue(L"V1"));
    EXPECT_EQ((Strings{L"", L"V2"}), Sorted(reg.GetValueNames()));
}
