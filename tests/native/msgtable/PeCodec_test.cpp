#include "ide/msgtable/model/core/PeCodec.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tamrel::msgcore;

namespace {

struct TSectionSpec {
    const char* Name;
    uint32_t VirtualAddress, RawOffset, RawSize;
};

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
uint32_t Get32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

constexpr size_t kNt = 0x40, kOpt = kNt + 24;

// A minimal image of either layout: headers, the given sections, nothing else.
Bytes Image(bool plus, const std::vector<TSectionSpec>& sections, size_t fileSize) {
    Bytes b(fileSize, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 60, kNt);
    Put32(b, kNt, 0x00004550);
    Put16(b, kNt + 6, static_cast<uint32_t>(sections.size()));
    const uint32_t optionalSize = plus ? 240 : 224;
    Put16(b, kNt + 20, optionalSize);
    Put16(b, kOpt, plus ? 0x20B : 0x10B);
    Put32(b, kOpt + 8, 0x400);  // SizeOfInitializedData
    Put32(b, kOpt + 32, 0x1000); // SectionAlignment
    Put32(b, kOpt + 36, 0x200);  // FileAlignment
    Put32(b, kOpt + 56, 0x3000); // SizeOfImage
    Put32(b, kOpt + (plus ? 108 : 92), 16);
    Put32(b, kOpt + 116, 0x44); // PE32: the resource size; PE32+: the export size
    for (size_t i = 0; i < sections.size(); ++i) {
        const size_t s = kOpt + optionalSize + 40 * i;
        std::memcpy(&b[s], sections[i].Name, std::strlen(sections[i].Name));
        Put32(b, s + 8, sections[i].RawSize);
        Put32(b, s + 12, sections[i].VirtualAddress);
        Put32(b, s + 16, sections[i].RawSize);
        Put32(b, s + 20, sections[i].RawOffset);
    }
    return b;
}

ResourceNode Leaf(uint32_t id, size_t size) {
    ResourceNode n;
    n.Id = ResourceId::Number(id);
    n.Data.assign(size, 0xAB);
    return n;
}

ResourceNode Dir(ResourceId id, std::vector<ResourceNode> items) {
    ResourceNode n;
    n.Id = std::move(id);
    n.IsDirectory = true;
    n.Items = std::move(items);
    return n;
}

} // namespace

TEST(PeCodec, FindsTheResourceEntryOfEitherLayout) {
    for (bool plus : {false, true}) {
        const Bytes image = Image(plus, {{".text", 0x1000, 0x200, 0x200}, {".RSRC", 0x2000, 0x400, 0x200}}, 0x600);
        const PeLayout layout = ReadPeLayout(image.data(), image.size());
        EXPECT_EQ(plus, layout.Pe32Plus);
        EXPECT_EQ(kOpt + (plus ? 128u : 112u), layout.ResourceDirectoryEntry);
        const PeSection* rsrc = FindPeSection(layout, ".rsrc");
        ASSERT_NE(nullptr, rsrc) << "names compare without regard to case";
        EXPECT_EQ(0x2000u, rsrc->VirtualAddress);
        EXPECT_EQ(nullptr, FindPeSection(layout, ".data"));
    }
}

TEST(PeCodec, RefusesHeadsThatAreNotPe) {
    Bytes image = Image(true, {}, 0x200);
    Put16(image, kOpt, 0x107);
    try {
        ReadPeLayout(image.data(), image.size());
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_STREQ("Not a PE (WIN32 Executable) file", e.what());
    }
    image = Image(true, {{".rsrc", 0x1000, 0x200, 0}}, 0x200);
    Put16(image, kNt + 6, 0xFFFF);
    EXPECT_THROW(ReadPeLayout(image.data(), image.size()), FormatError) << "a section table beyond the file";
    Put32(image, 60, 0xFFFFFFF0);
    EXPECT_THROW(ReadPeLayout(image.data(), image.size()), FormatError);
    try {
        ReadPeLayout(image.data(), 1);
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_STREQ("unrecognized file format", e.what());
    }
}

TEST(PeCodec, ReplacesTheLastSectionAndKeepsTheHeadersTrue) {
    for (bool plus : {false, true}) {
        Bytes image = Image(plus, {{".text", 0x1000, 0x200, 0x200}, {".rsrc", 0x2000, 0x400, 0x200}}, 0x600);
        ResourceNode tree = Dir({}, {Dir(ResourceId::Number(10), {Dir(ResourceId::String(u"BIG"), {Leaf(1033, 5000)})})});
        const size_t treeSize = ResourceTreeSize(tree);
        ReplaceResourceSection(image, tree);
        const PeLayout layout = ReadPeLayout(image.data(), image.size());
        const PeSection& rsrc = *FindPeSection(layout, ".rsrc");
        const uint32_t raw = 0x200 * ((static_cast<uint32_t>(treeSize) + 2048) / 0x200 + 1);
        EXPECT_EQ(raw, rsrc.SizeOfRawData);
        EXPECT_EQ(raw, rsrc.VirtualSize);
        EXPECT_EQ(0x400u + raw, image.size());
        EXPECT_EQ((0x2000 + raw + 0xFFF) / 0x1000 * 0x1000, Get32(image, kOpt + 56)) << "SizeOfImage";
        EXPECT_EQ(0x400u - 0x200 + raw, Get32(image, kOpt + 8)) << "SizeOfInitializedData";
        EXPECT_EQ(treeSize, Get32(image, layout.ResourceDirectoryEntry + 4));
        if (plus) EXPECT_EQ(0x44u, Get32(image, kOpt + 116)) << "the export size of a PE32+ image is left alone";
        const ResourceNode back = ReadResourceDirectory(&image[0x400], raw, 0x2000);
        ASSERT_EQ(1u, back.Items.size());
        EXPECT_EQ(5000u, back.Items[0].Items[0].Items[0].Data.size());
    }
}

TEST(PeCodec, OnlyALastSectionWithNothingAfterItIsReplaced) {
    ResourceNode tree = Dir({}, {});
    struct Case {
        const char* what;
        std::vector<TSectionSpec> sections;
        size_t size;
    } cases[] = {
        {"a section follows in the file", {{".rsrc", 0x1000, 0x200, 0x200}, {".reloc", 0x2000, 0x400, 0x200}}, 0x600},
        {"a section follows in memory", {{".bss", 0x3000, 0, 0}, {".rsrc", 0x2000, 0x200, 0x200}}, 0x400},
        {"data follows in the file", {{".rsrc", 0x1000, 0x200, 0x200}}, 0x500},
    };
    for (const Case& c : cases) {
        Bytes image = Image(false, c.sections, c.size);
        const Bytes before = image;
        EXPECT_THROW(ReplaceResourceSection(image, tree), FormatError) << c.what;
        EXPECT_EQ(before, image) << c.what;
    }
    Bytes none = Image(false, {{".text", 0x1000, 0x200, 0x200}}, 0x400);
    const Bytes before = none;
    ReplaceResourceSection(none, tree);
    EXPECT_EQ(before, none) << "no resource section: nothing changes";
}

TEST(PeCodec, DirectoriesNestNoDeeperThanLanguages) {
    // A language-level directory may hold data; one more level of directories is refused.
    ResourceNode ok = Dir({}, {Dir(ResourceId::Number(1), {Dir(ResourceId::Number(1), {Dir(ResourceId::Number(1), {Leaf(1, 4)})})})});
    Bytes section(ResourceTreeSize(ok));
    WriteResourceTree(ok, section.data(), section.size(), 0, 0);
    EXPECT_NO_THROW(ReadResourceDirectory(section.data(), section.size(), 0));
    ResourceNode deep = Dir({}, {Dir(ResourceId::Number(1), {Dir(ResourceId::Number(1), {Dir(ResourceId::Number(1), {Dir(ResourceId::Number(1), {})})})})});
    section.assign(ResourceTreeSize(deep), 0);
    WriteResourceTree(deep, section.data(), section.size(), 0, 0);
    EXPECT_THROW(ReadResourceDirectory(section.data(), section.size(), 0), FormatError);
}

TEST(PeCodec, ImplausibleAlignmentsAndSharedNamesAreRefused) {
    Bytes image = Image(false, {{".rsrc", 0x1000, 0x200, 0x200}}, 0x400);
    Put32(image, kOpt + 36, 0x80000000); // FileAlignment: the section would grow to 2 GiB
    ResourceNode tree = Dir({}, {});
    EXPECT_THROW(ReplaceResourceSection(image, tree), FormatError);
    Put32(image, kOpt + 36, 0x300);
    EXPECT_THROW(ReplaceResourceSection(image, tree), FormatError) << "not a power of two";

    // 40 entries naming one string of 100 units, each with an empty data leaf: every piece is
    // valid, but together they would copy the name 40 times out of a section of 554 bytes.
    Bytes section(16 + 40 * 8 + 16 + 2 + 200, 0);
    Put16(section, 12, 40);
    for (size_t i = 0; i < 40; ++i) {
        Put32(section, 16 + 8 * i, 0x80000000 | 352);
        Put32(section, 16 + 8 * i + 4, 336);
    }
    Put16(section, 352, 100);
    EXPECT_THROW(ReadResourceDirectory(section.data(), section.size(), 0), FormatError);
    Put16(section, 12, 2);
    EXPECT_EQ(2u, ReadResourceDirectory(section.data(), section.size(), 0).Items.size()) << "two copies fit";
}
