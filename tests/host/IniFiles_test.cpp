#include "host/IniFiles.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

using Strings = std::vector<std::wstring>;

} // namespace

class IniFile : public ::testing::Test {
protected:
    std::wstring path = TempFileName(L"ini");
    void TearDown() override { DeleteFileW(path.c_str()); }
};

TEST_F(IniFile, ReadsWhatTheFileHolds) {
    WriteFileBytes(path, "[Main]\r\n"
                         "Name=first value\r\n"
                         "Count=42\r\n"
                         "Hex=0x1F\r\n"
                         "Dollar=$10\r\n"
                         "Bad=12a\r\n"
                         "On=1\r\n"
                         "Off=0\r\n"
                         "Seven=7\r\n"
                         "\r\n"
                         "[Other]\r\n"
                         "Key=v\r\n");
    TIniFile ini(path);
    EXPECT_EQ(path, ini.FileName());
    EXPECT_EQ(L"first value", ini.ReadString(L"Main", L"Name", L"def"));
    EXPECT_EQ(L"first value", ini.ReadString(L"MAIN", L"name", L"def")) << "names ignore case";
    EXPECT_EQ(L"def", ini.ReadString(L"Main", L"Missing", L"def"));
    EXPECT_EQ(L"def", ini.ReadString(L"Nowhere", L"Name", L"def"));
    struct Case {
        const wchar_t* key;
        int32_t expected;
    } ints[] = {{L"Count", 42}, {L"Hex", 31}, {L"Dollar", 16}, {L"Bad", -1}, {L"Missing", -1}, {L"Name", -1}};
    for (const auto& c : ints) EXPECT_EQ(c.expected, ini.ReadInteger(L"Main", c.key, -1)) << ToUtf8(c.key);
    EXPECT_TRUE(ini.ReadBool(L"Main", L"On", false));
    EXPECT_FALSE(ini.ReadBool(L"Main", L"Off", true));
    EXPECT_TRUE(ini.ReadBool(L"Main", L"Seven", false));
    EXPECT_TRUE(ini.ReadBool(L"Main", L"Missing", true));
    EXPECT_FALSE(ini.ReadBool(L"Main", L"Missing", false));

    EXPECT_EQ((Strings{L"Main", L"Other"}), ini.ReadSections());
    EXPECT_EQ((Strings{L"Name", L"Count", L"Hex", L"Dollar", L"Bad", L"On", L"Off", L"Seven"}),
              ini.ReadSection(L"Main"));
    EXPECT_EQ((Strings{L"Key=v"}), ini.ReadSectionValues(L"Other"));
    EXPECT_TRUE(ini.ReadSection(L"Nowhere").empty());
    EXPECT_TRUE(ini.SectionExists(L"Other"));
    EXPECT_FALSE(ini.SectionExists(L"Nowhere"));
    EXPECT_TRUE(ini.ValueExists(L"Main", L"count"));
    EXPECT_FALSE(ini.ValueExists(L"Main", L"Key"));
    EXPECT_FALSE(ini.ValueExists(L"Nowhere", L"Key"));
}

TEST_F(IniFile, WritesReachTheFile) {
    {
        TIniFile ini(path);
        ini.WriteString(L"S", L"Text", L"hello world");
        ini.WriteInteger(L"S", L"Int", -12);
        ini.WriteBool(L"S", L"Yes", true);
        ini.WriteBool(L"S", L"No", false);
        ini.WriteString(L"T", L"Key", L"x");
        ini.UpdateFile();
    }
    std::string text = ReadFileBytes(path);
    for (const char* line : {"[S]", "Text=hello world", "Int=-12", "Yes=1", "No=0", "[T]", "Key=x"})
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
    TIniFile again(path);
    EXPECT_EQ(-12, again.ReadInteger(L"S", L"Int", 0));
    EXPECT_EQ((Strings{L"Text=hello world", L"Int=-12", L"Yes=1", L"No=0"}), again.ReadSectionValues(L"S"));
}

TEST_F(IniFile, DeleteKeyAndEraseSection) {
    TIniFile ini(path);
    ini.WriteString(L"A", L"One", L"1");
    ini.WriteString(L"A", L"Two", L"2");
    ini.WriteString(L"B", L"Three", L"3");
    ini.DeleteKey(L"A", L"One");
    ini.DeleteKey(L"A", L"Missing");
    EXPECT_EQ((Strings{L"Two"}), ini.ReadSection(L"A"));
    ini.EraseSection(L"A");
    EXPECT_FALSE(ini.SectionExists(L"A"));
    EXPECT_EQ((Strings{L"B"}), ini.ReadSections());
    ini.UpdateFile();
    EXPECT_EQ(std::string::npos, ReadFileBytes(path).find("[A]"));
}

TEST_F(IniFile, LongValuesAndManyNamesAreReadWhole) {
    TIniFile ini(path);
    std::wstring longValue;
    for (int i = 0; i < 1000; ++i) longValue += L"v" + std::to_wstring(i);
    ini.WriteString(L"Big", L"Long", longValue);
    Strings keys;
    for (int i = 0; i < 400; ++i) {
        keys.push_back(L"Key" + std::to_wstring(i));
        ini.WriteString(L"Big", keys.back(), L"x");
    }
    Strings sections;
    for (int i = 0; i < 300; ++i) {
        sections.push_back(L"Section" + std::to_wstring(i));
        ini.WriteString(sections.back(), L"k", L"v");
    }
    EXPECT_EQ(longValue, ini.ReadString(L"Big", L"Long", L""));
    Strings expectedKeys{L"Long"};
    expectedKeys.insert(expectedKeys.end(), keys.begin(), keys.end());
    EXPECT_EQ(expectedKeys, ini.ReadSection(L"Big"));
    Strings expectedSections{L"Big"};
    expectedSections.insert(expectedSections.end(), sections.begin(), sections.end());
    EXPECT_EQ(expectedSections, ini.ReadSections());
}

TEST_F(IniFile, WriteToAnUnwritableFileRaises) {
    std::wstring bad = TempFileName(L"nodir") + L"\\file.ini";
    TIniFile ini(bad);
    try {
        ini.WriteString(L"S", L"K", L"v");
        FAIL();
    } catch (const EIniFileException& e) {
        EXPECT_EQ(L"Unable to write to " + bad, e.Message());
    }
}

TEST_F(IniFile, ReadSectionLinesGivesTheWholeSectionInOneRead) {
    WriteFileBytes(path, "[Main]\r\n"
                         "  one  =  first value  \r\n"
                         "two=\"  quoted  \"\r\n"
                         ";comment=1\r\n"
                         "bare\r\n"
                         "[Other]\r\n"
                         "k=v\r\n");
    TIniFile ini(path);
    EXPECT_EQ((Strings{L"one=first value", L"two=\"  quoted  \"", L"bare"}), ini.ReadSectionLines(L"MAIN"));
    EXPECT_TRUE(ini.ReadSectionLines(L"Nowhere").empty());

    std::string big = "[Big]\r\n";
    for (int i = 0; i < 3000; ++i) big += std::to_string(i) + "=value number " + std::to_string(i) + "\r\n";
    WriteFileBytes(path, big);
    const Strings lines = ini.ReadSectionLines(L"Big");
    ASSERT_EQ(3000u, lines.size()) << "a section larger than the first buffer";
    EXPECT_EQ(L"2999=value number 2999", lines.back());
}
