#include "ide/msgtable/model/EvLog_ResResources.h"

#include "host/Handles.h"
#include "ide/msgtable/model/EvLog_Messages.h"
#include "ide/msgtable/model/EvLog_VersionInfo.h"
#include "tests/ide/msgtable/model/MsgTableTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

ByteVector Saved(TRESResources& res) {
    TMemoryStream stream;
    res.SaveToStream(stream);
    const auto* p = static_cast<const uint8_t*>(stream.Memory());
    return ByteVector(p, p + stream.Size());
}

void Load(TRESResources& res, const ByteVector& bytes) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    res.LoadFromStream(stream);
}

TRESResource* AddEntry(TRESResources& res, const std::wstring& type, uint32_t name, uint32_t language) {
    auto* entry = new TRESResource(&res);
    if (type.empty()) entry->ResType().SetID(0);
    else entry->ResType().SetText(type);
    entry->ResName().SetID(name);
    entry->ResLocale().SetID(language);
    return entry;
}

uint32_t U32(const ByteVector& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }

} // namespace

TEST(ResResources, WritesTheStandardHeaderLayout) {
    TRESResources res;
    AddEntry(res, L"", 0, 0);
    const ByteVector empty = Saved(res);
    const ByteVector expected = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                                 0, 0, 0, 0, 0,  0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0};
    EXPECT_EQ(expected, empty);

    res.Clear();
    TRESResource* names = AddEntry(res, L"EVLOG_NAMES", 1, 1033);
    EXPECT_EQ(52u, names->HeaderSize()) << "11 units and the NUL: 24 bytes";
    TRESResource* comments = AddEntry(res, L"EVLOG_COMMENTS", 1, 1033);
    EXPECT_EQ(60u, comments->HeaderSize()) << "NAME right after TYPE's NUL, one padding after both";
    const uint8_t five[] = {1, 2, 3, 4, 5};
    comments->SetData(five, 5);
    const ByteVector bytes = Saved(res);
    ASSERT_EQ(52u + 60 + 8, bytes.size()) << "5 data bytes, then 3 zero bytes";
    EXPECT_EQ(0xFFFFu, U32(bytes, 52 + 38) & 0xFFFF) << "NAME follows \"EVLOG_COMMENTS\" and its NUL";
    EXPECT_EQ(1033u, U32(bytes, 52 + 44 + 4) >> 16);
    EXPECT_EQ(5u, U32(bytes, 52));
    EXPECT_EQ((ByteVector{1, 2, 3, 4, 5, 0, 0, 0}), ByteVector(bytes.end() - 8, bytes.end()));

    TRESResources back;
    Load(back, bytes);
    ASSERT_EQ(2, back.Count());
    EXPECT_EQ(L"EVLOG_COMMENTS", back.Items(1)->ResType().Text());
    EXPECT_EQ(1u, back.Items(1)->ResName().ID());
    EXPECT_EQ(1033u, back.Items(1)->ResLocale().ID());
    EXPECT_EQ(5u, back.Items(1)->DataSize());
}

TEST(ResResources, ReadsTheOlderLayoutThatPaddedTypeAlone) {
    // "EVLOG_COMMENTS" padded to 32 bytes, then NAME 1, then the fixed fields: header 60 bytes.
    ByteVector entry = {4, 0, 0, 0, 60, 0, 0, 0};
    for (char c : std::string("EVLOG_COMMENTS")) entry.insert(entry.end(), {static_cast<uint8_t>(c), 0});
    entry.insert(entry.end(), {0, 0, 0, 0, 0xFF, 0xFF, 1, 0});
    entry.insert(entry.end(), {0, 0, 0, 0, 0x30, 0x10, 0x09, 0x04, 0, 0, 0, 0, 0, 0, 0, 0});
    entry.insert(entry.end(), {'d', 'a', 't', 'a'});
    ASSERT_EQ(64u, entry.size());
    TRESResources res;
    Load(res, entry);
    ASSERT_EQ(1, res.Count());
    EXPECT_EQ(L"EVLOG_COMMENTS", res.Items(0)->ResType().Text());
    EXPECT_EQ(1u, res.Items(0)->ResName().ID());
    EXPECT_EQ(0x1030, res.Items(0)->MemoryFlags());
    EXPECT_EQ(1033u, res.Items(0)->ResLocale().ID());
    EXPECT_EQ(4u, res.Items(0)->DataSize());
}

TEST(ResResources, ACutEntryRaisesAndKeepsTheEntriesBeforeIt) {
    TRESResources res;
    AddEntry(res, L"", 0, 0);
    const uint8_t data[] = {9, 9, 9, 9, 9, 9, 9, 9};
    AddEntry(res, L"EVLOG_NAMES", 1, 1033)->SetData(data, 8);
    ByteVector bytes = Saved(res);
    const ByteVector whole = bytes;
    bytes.resize(bytes.size() - 4);
    TRESResources back;
    EXPECT_THROW(Load(back, bytes), EReadError);
    EXPECT_EQ(1, back.Count());

    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    } cases[] = {{"HeaderSize below 8", 36, 4}, {"HeaderSize beyond the end", 36, 0x7FFFFFF0}, {"DataSize beyond the end", 32, 4096}};
    for (const Case& c : cases) {
        ByteVector broken = whole;
        for (int i = 0; i < 4; ++i) broken[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
        TRESResources r;
        EXPECT_THROW(Load(r, broken), EReadError) << c.what;
    }

    TRESResources empty;
    Load(empty, {});
    EXPECT_EQ(0, empty.Count());
}

TEST(ResResources, RefusesToWriteALanguageGivenAsText) {
    TRESResources res;
    AddEntry(res, L"X", 1, 0)->ResLocale().SetText(L"1033");
    try {
        Saved(res);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(L"IdText is saved as string. Use Text insted of ID", e.Message());
    }
}

TEST(ResResources, ReadsTheToolFileAsLlvmReadobjDoes) {
    TRESResources res;
    res.LoadFromFile(FixturePath(L"fixture.res"));
    std::multiset<std::string> leaves;
    for (int i = 0; i < res.Count(); ++i) {
        TRESResource* e = res.Items(i);
        if (!e->ResType().IsString() && e->ResType().ID() == 0) continue; // the empty first entry
        leaves.insert(Leaf(e->ResType(), e->ResName(), e->ResLocale().ID(), e->Data(), e->DataSize()));
    }
    EXPECT_EQ(ReadobjLeaves(FixturePath(L"fixture.res.readobj.txt")), leaves);
}

// The tool file's content through the model and out again, as a message library's .RES; the
// native step decodes it with windres and links it into a DLL of each processor.
TEST(ResResources, WritesTheToolContentBackForTheToolChecks) {
    TRESResources in;
    in.LoadFromFile(FixturePath(L"fixture.res"));
    TMessageTable table;
    TVersionInfo version;
    TStringTable attributes;
    for (int i = 0; i < in.Count(); ++i) {
        TRESResource* e = in.Items(i);
        const std::wstring type = e->ResType().IsString() ? e->ResType().Text() : L"#" + IntToStr(e->ResType().ID());
        if (type == L"EVLOG_NAMES") {
            table.LoadNamesResourceData(e->Data(), e->DataSize());
        } else if (type == L"EVLOG_COMMENTS") {
            table.LoadCommentsResourceData(e->Data(), e->DataSize());
        } else if (type == L"#11") {
            table.LoadMessagesResourceData(e->ResLocale().ID(), e->Data(), e->DataSize());
        } else if (type == L"#16") {
            ASSERT_TRUE(version.LoadFrom(e->Data(), e->DataSize()));
        } else if (type == L"#10") {
            ASSERT_TRUE(attributes.LoadFrom(e->Data(), e->DataSize()));
        }
    }
    ASSERT_EQ(3, attributes.Count());
    EXPECT_EQ(L"FixtureSource", attributes.Items(1)->Value());

    TRESResources out;
    AddEntry(out, L"", 0, 0);
    for (uint16_t language : FixtureLanguages) {
        TRESResource* e = AddEntry(out, L"", 1, language);
        e->ResType().SetID(11);
        table.SaveMessagesResourceData(language, e->SetDataProc());
    }
    table.SaveNamesResourceData(AddEntry(out, L"EVLOG_NAMES", 1, 1033)->SetDataProc());
    table.SaveCommentsResourceData(AddEntry(out, L"EVLOG_COMMENTS", 1, 1033)->SetDataProc());
    TRESResource* v = AddEntry(out, L"", 1, 1033);
    v->ResType().SetID(16);
    version.SaveTo(v->SetDataProc());
    TRESResource* a = AddEntry(out, L"", 1, 1033);
    a->ResType().SetID(10);
    a->ResName().SetText(L"EVLOG_ATTRIBUTES");
    attributes.SaveTo(a->SetDataProc());
    out.SaveToFile(OutPath(L"ours.res"));

    TRESResources back;
    back.LoadFromFile(OutPath(L"ours.res"));
    ASSERT_EQ(7, back.Count());
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(out.Items(i)->DataSize(), back.Items(i)->DataSize()) << i;
        EXPECT_EQ(ByteVector(out.Items(i)->Data(), out.Items(i)->Data() + out.Items(i)->DataSize()),
                  ByteVector(back.Items(i)->Data(), back.Items(i)->Data() + back.Items(i)->DataSize()))
            << i;
    }
}

// Runs after the native step linked ours.res into DLLs: the system reads our texts and version
// from them as it reads the tool-made library.
TEST(LinkedOutput, TheSystemReadsOurResourcesAsItReadsTheToolLibrary) {
    const std::wstring fixture = FixturePath(L"fixture64.dll");
    TModuleHandle expected(LoadLibraryExW(fixture.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(expected.Valid());
    DWORD ms, ls, translation;
    SystemVersionNumbers(fixture, ms, ls, translation);
    for (const wchar_t* name : {L"ours64.dll", L"ours32.dll"}) {
        const std::wstring file = OutPath(name);
        TModuleHandle ours(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(ours.Valid()) << GetLastError();
        for (uint16_t language : FixtureLanguages)
            for (uint32_t id : FixtureIds)
                EXPECT_EQ(SystemMessage(expected.Get(), id, language), SystemMessage(ours.Get(), id, language))
                    << WideToUtf8(name) << " id " << id << " language " << language;
        DWORD oms, ols, otranslation;
        SystemVersionNumbers(file, oms, ols, otranslation);
        EXPECT_EQ(ms, oms);
        EXPECT_EQ(ls, ols);
        EXPECT_EQ(translation, otranslation);
        for (const wchar_t* key : {L"CompanyName", L"FileDescription", L"FileVersion", L"ProductName"})
            EXPECT_EQ(SystemVersionText(fixture, std::wstring(L"\\StringFileInfo\\040904E4\\") + key),
                      SystemVersionText(file, std::wstring(L"\\StringFileInfo\\040904E4\\") + key))
                << WideToUtf8(key);
    }
}
