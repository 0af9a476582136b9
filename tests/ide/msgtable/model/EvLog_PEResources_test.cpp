#include "ide/msgtable/model/EvLog_PEResources.h"

#include "tests/ide/msgtable/model/MsgTableTestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;
using namespace tamrel::evlog::test;

namespace {

TPEResourceData* AddData(TPEResourceDirectory& dir, const std::wstring& name, uint32_t id, size_t size) {
    auto* data = new TPEResourceData(&dir);
    if (name.empty()) data->IdName().SetID(id);
    else data->IdName().SetText(name);
    ByteVector bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
    data->SetData(bytes.data(), static_cast<int32_t>(size));
    return data;
}

uint16_t U16(const ByteVector& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
uint32_t U32(const ByteVector& b, size_t at) { return U16(b, at) | uint32_t(U16(b, at + 2)) << 16; }

ByteVector Written(TPEResourceDirectory& dir, uint32_t virtualAddress, size_t at = 0) {
    ByteVector bytes(at + dir.Size(), 0xCC);
    dir.Write(bytes.data() + at, bytes.data(), virtualAddress);
    return bytes;
}

} // namespace

TEST(PEResources, WritesStringIdsFirstInOrdinalOrderThenNumbers) {
    TPEResourceDirectory dir;
    AddData(dir, L"a", 0, 1);
    AddData(dir, L"", 3, 1);
    AddData(dir, L"B", 0, 1);
    AddData(dir, L"", 1, 1);
    const ByteVector bytes = Written(dir, 0x1000);
    EXPECT_EQ(2, U16(bytes, 12)) << "named entries";
    EXPECT_EQ(2, U16(bytes, 14)) << "id entries";
    auto name = [&](size_t entry) {
        const uint32_t field = U32(bytes, 16 + 8 * entry);
        if (!(field & 0x80000000)) return std::to_wstring(field);
        const size_t at = field & 0x7FFFFFFF;
        return std::wstring(U16(bytes, at), static_cast<wchar_t>(U16(bytes, at + 2)));
    };
    EXPECT_EQ((std::vector<std::wstring>{L"B", L"a", L"1", L"3"}),
              (std::vector<std::wstring>{name(0), name(1), name(2), name(3)}));
    EXPECT_EQ(L"B", dir.Items(0)->IdName().Text()) << "writing sorts the items";
    EXPECT_EQ(3u, dir.Items(3)->IdName().ID());
}

TEST(PEResources, SizesAndBodiesFollowOneAnotherWithoutAlignment) {
    TPEResourceDirectory empty;
    EXPECT_EQ(16u, empty.Size());
    EXPECT_EQ(ByteVector(16, 0), Written(empty, 0));

    TPEResourceDirectory leafOnly;
    TPEResourceData* leaf = AddData(leafOnly, L"", 7, 10);
    EXPECT_EQ(26u, leaf->Size());
    const ByteVector single = Written(leafOnly, 0x5000);
    EXPECT_EQ(24u, U32(single, 20)) << "body right after the entry array";
    EXPECT_EQ(0x5000u + 24 + 16, U32(single, 24)) << "the data lies right after its data entry";
    EXPECT_EQ(10u, U32(single, 28));

    // "abc" takes 8 bytes (length and units), its 10-byte leaf 26: the second body starts at
    // 16 + 16 + 8 + 26 = 66, off any 4-byte boundary.
    TPEResourceDirectory dir;
    AddData(dir, L"abc", 0, 10);
    AddData(dir, L"", 5, 3);
    EXPECT_EQ(8u, dir.Items(0)->NameSize());
    EXPECT_EQ(16u + 16 + 8 + 26 + 19, dir.Size());
    const ByteVector bytes = Written(dir, 0);
    EXPECT_EQ(0x80000000u | 32, U32(bytes, 16));
    EXPECT_EQ(40u, U32(bytes, 20));
    EXPECT_EQ(66u, U32(bytes, 28));
    EXPECT_EQ(66u + 16, U32(bytes, 66)) << "data address of the unaligned leaf";
}

TEST(PEResources, ATreeRoundTripsAndFindsItems) {
    TPEResourceDirectory root;
    auto* type = new TPEResourceDirectory(&root);
    type->IdName().SetText(L"EVLOG_NAMES");
    auto* name = new TPEResourceDirectory(type);
    name->IdName().SetID(1);
    AddData(*name, L"", 1033, 5)->SetCodePage(1252);
    AddData(*name, L"", 1049, 0);
    auto* numeric = new TPEResourceDirectory(&root);
    numeric->IdName().SetID(11);
    auto* n2 = new TPEResourceDirectory(numeric);
    n2->IdName().SetText(L"\u0416name");
    AddData(*n2, L"", 1033, 33);

    const uint32_t va = 0x3000;
    const ByteVector bytes = Written(root, va);
    TPEResourceDirectory back;
    back.Read(bytes.data(), bytes.size(), 0, va);
    EXPECT_EQ(TreeLeaves(root), TreeLeaves(back));
    EXPECT_EQ(L"\u0416name", static_cast<TPEResourceDirectory*>(back.FindItemById(11))->Items(0)->IdName().Text())
        << "string ids stay UTF-16";
    auto* found = static_cast<TPEResourceDirectory*>(back.FindItemByName(L"evlog_names"));
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(1252u, static_cast<TPEResourceData*>(static_cast<TPEResourceDirectory*>(found->Items(0))->Items(0))->CodePage());
    EXPECT_EQ(nullptr, back.FindItemById(-1));
    EXPECT_EQ(nullptr, back.FindItemById(12));
    EXPECT_EQ(nullptr, back.FindItemByName(L"EVLOG"));
}

TEST(PEResources, RefusesCyclesAndOutOfBoundsData) {
    // A root whose only entry is a directory at offset 0: the root itself.
    ByteVector cycle(24, 0);
    cycle[14] = 1;
    cycle[16] = 1;
    cycle[23] = 0x80;
    TPEResourceDirectory dir;
    EXPECT_THROW(dir.Read(cycle.data(), cycle.size(), 0, 0), EPEError);

    TPEResourceDirectory root;
    AddData(root, L"", 1, 8);
    ByteVector bytes = Written(root, 0x2000);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    } cases[] = {{"data below the section", 24, 0x1000},
                 {"data beyond the section", 24, 0x2000 + 100},
                 {"size beyond the section", 28, 1000},
                 {"entry offset beyond the section", 20, 0x400},
                 {"name string beyond the section", 16, 0x80000000 | 0x300},
                 {"entry count beyond the section", 12, 0x00FF0000}};
    for (const Case& c : cases) {
        ByteVector broken = bytes;
        for (int i = 0; i < 4; ++i) broken[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
        TPEResourceDirectory r;
        EXPECT_THROW(r.Read(broken.data(), broken.size(), 0, 0x2000), EPEError) << c.what;
    }

    // Two entries sharing one data block would copy the section twice.
    TPEResourceDirectory shared;
    AddData(shared, L"", 1, 50);
    AddData(shared, L"", 2, 50);
    ByteVector twice = Written(shared, 0);
    for (int i = 0; i < 4; ++i) twice[28 + i] = twice[20 + i]; // second entry -> first body
    twice.resize(16 + 16 + 66);
    TPEResourceDirectory r;
    EXPECT_THROW(r.Read(twice.data(), twice.size(), 0, 0), EPEError);
}
