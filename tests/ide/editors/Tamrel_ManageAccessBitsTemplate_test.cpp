// The user template file: names kept in order whatever their script, names the file cannot keep
// apart refused before anything is written, an empty list leaving no file, and a failed write
// keeping the old file.
#include "ide/editors/Tamrel_ManageAccessBitsTemplate.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

class TemplateFile : public testing::Test {
protected:
    void SetUp() override {
        Path = TempFileName(L"tpl") + L".ini";
        A.SetMaskType(mtFile);
        B.SetMaskType(mtKey);
        B.MaskBit(3)->SetBitName(L"Ключ");
    }
    void TearDown() override {
        DeleteFileW(Path.c_str());
        RemoveDirectoryW((Path + L".tmp").c_str());
    }
    void Write(const std::vector<std::pair<std::wstring, const TrkAccessBits*>>& templates) {
        WriteMaskTemplates(Path, templates);
    }
    static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::wstring Path;
    TrkAccessBits A, B;
};

TEST_F(TemplateFile, NamesOutsideTheAnsiPageComeBackInOrderFromAUtf16File) {
    Write({{L"é", &A}, {L"Ж", &B}, {L"plain", &A}});
    EXPECT_EQ(ReadMaskTemplateNames(Path), (std::vector<std::wstring>{L"é", L"Ж", L"plain"}));
    const std::string bytes = ReadFileBytes(Path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
    TrkAccessBits read;
    read.LoadFromIni(Path, L"Ж");
    EXPECT_EQ(read.MaskBit(3)->BitName(), L"Ключ");
    EXPECT_EQ(read.MaskBit(3)->IsUsed(), B.MaskBit(3)->IsUsed());
}

TEST_F(TemplateFile, AnAnsiOnlyListIsWrittenWithoutAByteOrderMark) {
    Write({{L"First", &A}, {L"Second", &A}});
    EXPECT_EQ(ReadMaskTemplateNames(Path), (std::vector<std::wstring>{L"First", L"Second"}));
    EXPECT_NE(ReadFileBytes(Path).substr(0, 2), std::string("\xFF\xFE"));
}

TEST_F(TemplateFile, NamesTheFileCannotKeepApartAreRefusedAndNothingIsWritten) {
    Write({{L"Keep", &A}});
    const std::string before = ReadFileBytes(Path);
    struct TCase {
        std::vector<std::wstring> Names;
        std::wstring Named; // what the message must hold: the name as compared
    };
    for (const TCase& c : {TCase{{L"A", L" a "}, L"named \"a\""}, TCase{{L"x", L"   "}, L"has no name"},
                           TCase{{L"Sp", L"sP"}, L"named \"sP\""}}) {
        std::vector<std::pair<std::wstring, const TrkAccessBits*>> list;
        for (const std::wstring& n : c.Names) list.emplace_back(n, &A);
        try {
            Write(list);
            ADD_FAILURE() << "saved " << ToUtf8(c.Names[1]);
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(c.Named), std::wstring::npos) << ToUtf8(e.Message());
        }
        EXPECT_EQ(ReadFileBytes(Path), before);
    }
}

TEST_F(TemplateFile, AnEmptyListLeavesNoFile) {
    Write({{L"One", &A}});
    ASSERT_TRUE(Exists(Path));
    Write({});
    EXPECT_FALSE(Exists(Path));
    EXPECT_TRUE(ReadMaskTemplateNames(Path).empty());
    Write({}); // and again, with no file there
    EXPECT_FALSE(Exists(Path));
}

TEST_F(TemplateFile, AFailedWriteRaisesAndKeepsTheOldFile) {
    Write({{L"Old", &A}});
    const std::string before = ReadFileBytes(Path);
    ASSERT_TRUE(CreateDirectoryW((Path + L".tmp").c_str(), nullptr));
    EXPECT_THROW(Write({{L"New", &B}}), Exception);
    EXPECT_EQ(ReadFileBytes(Path), before);
    EXPECT_EQ(ReadMaskTemplateNames(Path), std::vector<std::wstring>{L"Old"});
}

TEST_F(TemplateFile, SavingOneTemplateReplacesItsNamesakeAndKeepsTheOthers) {
    Write({{L"First", &A}, {L"Second", &A}});
    SaveMaskTemplate(Path, L" second ", B);
    SaveMaskTemplate(Path, L"Third", B);
    const std::vector<std::wstring> names = ReadMaskTemplateNames(Path);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], L"First");
    EXPECT_EQ(names[2], L"Third");
    TrkAccessBits read;
    read.LoadFromIni(Path, names[1]);
    EXPECT_EQ(read.MaskBit(3)->BitName(), L"Ключ");
}

TEST_F(TemplateFile, SavingOneTemplateLeavesTheOthersAsTheyAreWritten) {
    // A template written by hand: a quoted name and a key the bits do not know.
    WriteFileBytes(Path, "[Other]\r\nBit_3_Used=1\r\nBit_3_Name=\"quoted\"\r\nNote=kept\r\n[caf\xE9]\r\nBit_0_Used=1\r\n");
    SaveMaskTemplate(Path, L"\u0416", B); // no ANSI form: the file becomes UTF-16
    const std::string bytes = ReadFileBytes(Path);
    ASSERT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
    EXPECT_EQ(ReadMaskTemplateNames(Path), (std::vector<std::wstring>{L"Other", L"caf\u00e9", L"\u0416"}));
    wchar_t note[32] = {};
    GetPrivateProfileStringW(L"Other", L"Note", L"", note, 32, Path.c_str());
    EXPECT_STREQ(note, L"kept");
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_NE(text.find(L"Bit_3_Name=\"quoted\""), std::wstring::npos);
    TrkAccessBits cafe;
    cafe.LoadFromIni(Path, L"caf\u00e9");
    EXPECT_TRUE(cafe.MaskBit(0)->IsUsed());
    // Saved again under a name equal as the file compares it: the same section, in its place.
    SaveMaskTemplate(Path, L" other ", A);
    EXPECT_EQ(ReadMaskTemplateNames(Path), (std::vector<std::wstring>{L"Other", L"caf\u00e9", L"\u0416"}));
    TrkAccessBits other;
    other.LoadFromIni(Path, L"Other");
    for (int i = 0; i < 32; ++i) EXPECT_EQ(other.MaskBit(i)->IsUsed(), A.MaskBit(i)->IsUsed()) << i;
    // A name the file cannot hold is refused, and the file stays.
    const std::string before = ReadFileBytes(Path);
    EXPECT_THROW(SaveMaskTemplate(Path, L"  ", A), Exception);
    EXPECT_THROW(SaveMaskTemplate(Path, L"a]b", A), Exception);
    EXPECT_EQ(ReadFileBytes(Path), before);
}

} // namespace
