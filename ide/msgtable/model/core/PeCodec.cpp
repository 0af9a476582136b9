#include "ide/msgtable/model/core/PeCodec.h"

#include <algorithm>

namespace tamrel::msgcore {

namespace {

constexpr uint32_t kSubdirectory = 0x80000000;
constexpr uint32_t kNameIsString = 0x80000000;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kSectionHeaderSize = 40;
// Directories below the root: type, name, language.
constexpr int kMaxDirectoryLevel = 3;

// Optional-header offsets common to both layouts.
constexpr size_t kSizeOfInitializedData = 8;
constexpr size_t kSectionAlignment = 32;
constexpr size_t kFileAlignment = 36;
constexpr size_t kSizeOfImage = 56;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

class DirectoryReader {
public:
    DirectoryReader(const uint8_t* section, size_t size, uint32_t virtualAddress)
        : FSection(section, size), FVirtualAddress(virtualAddress), FEntriesLeft(size / 8), FDataLeft(size),
          FNameUnitsLeft(size / 2) {}

    void ReadDirectory(size_t offset, ResourceNode& node, int level) {
        const size_t count = size_t(FSection.U16At(offset + 12)) + FSection.U16At(offset + 14);
        if (count > FEntriesLeft) Fail("Resource directory: the entries at offset %zu overlap others", offset);
        FEntriesLeft -= count;
        node.Items.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = offset + 16 + 8 * i;
            const uint32_t name = FSection.U32At(entry);
            const uint32_t body = FSection.U32At(entry + 4);
            ResourceNode& item = node.Items[i];
            item.Id = name & kNameIsString ? ReadName(name & ~kNameIsString) : ResourceId::Number(name);
            if (body & kSubdirectory) {
                if (level >= kMaxDirectoryLevel)
                    Fail("Resource directory: directories nest deeper than %d levels", kMaxDirectoryLevel);
                item.IsDirectory = true;
                ReadDirectory(body & ~kSubdirectory, item, level + 1);
            } else {
                ReadData(body, item);
            }
        }
    }

    void ReadData(size_t offset, ResourceNode& item) {
        const uint32_t address = FSection.U32At(offset);
        const uint32_t size = FSection.U32At(offset + 4);
        item.CodePage = FSection.U32At(offset + 8);
        const size_t at = size_t(address) - FVirtualAddress;
        if (address < FVirtualAddress || at > FSection.End() || size > FSection.End() - at)
            Fail("Resource directory: the data at address 0x%08X (%u bytes) lies outside the section", address, size);
        if (size > FDataLeft) Fail("Resource directory: the data at address 0x%08X overlaps other data", address);
        FDataLeft -= size;
        item.Data.assign(FSection.Data() + at, FSection.Data() + at + size);
    }

private:
    ResourceId ReadName(size_t offset) {
        const size_t length = FSection.U16At(offset);
        if (2 * length > FSection.End() - offset - 2)
            Fail("Resource directory: the name at offset %zu runs past the section", offset);
        if (length > FNameUnitsLeft) Fail("Resource directory: the name at offset %zu overlaps other names", offset);
        FNameUnitsLeft -= length;
        std::u16string name(length, u'\0');
        for (size_t i = 0; i < length; ++i) name[i] = static_cast<char16_t>(FSection.U16At(offset + 2 + 2 * i));
        return ResourceId::String(std::move(name));
    }

    ByteReader FSection;
    uint32_t FVirtualAddress;
    size_t FEntriesLeft;
    size_t FDataLeft;
    size_t FNameUnitsLeft;
};

} // namespace

PeLayout ReadPeLayout(const uint8_t* image, size_t size) {
    ByteReader r(image, size);
    if (size < 2 || r.U16At(0) != 0x5A4D) throw FormatError(SUnrecognizedFileFormat);
    if (size < 64) throw FormatError(SNotAPeFile);
    PeLayout layout;
    layout.NtHeaders = r.U32At(60);
    if (layout.NtHeaders > size || size - layout.NtHeaders < 24 || r.U32At(layout.NtHeaders) != 0x00004550)
        throw FormatError(SNotAPeFile);
    const size_t sectionCount = r.U16At(layout.NtHeaders + 6);
    const size_t optionalSize = r.U16At(layout.NtHeaders + 20);
    layout.OptionalHeader = layout.NtHeaders + 24;
    const size_t sectionTable = layout.OptionalHeader + optionalSize;
    if (optionalSize < 64 || sectionTable > size || (size - sectionTable) / kSectionHeaderSize < sectionCount)
        throw FormatError(SNotAPeFile);
    const uint16_t magic = r.U16At(layout.OptionalHeader);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) throw FormatError(SNotAPeFile);
    layout.Pe32Plus = magic == kMagicPe32Plus;
    layout.SectionAlignment = r.U32At(layout.OptionalHeader + kSectionAlignment);
    layout.FileAlignment = r.U32At(layout.OptionalHeader + kFileAlignment);
    // NumberOfRvaAndSizes, then the data directories; the resource entry is the third.
    const size_t directoryCount = layout.Pe32Plus ? 108 : 92;
    const size_t resourceEntry = directoryCount + 4 + 2 * 8;
    if (optionalSize >= resourceEntry + 8 && r.U32At(layout.OptionalHeader + directoryCount) > 2)
        layout.ResourceDirectoryEntry = layout.OptionalHeader + resourceEntry;
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t at = sectionTable + i * kSectionHeaderSize;
        PeSection s;
        const char* name = reinterpret_cast<const char*>(image + at);
        s.Name.assign(name, std::find(name, name + 8, '\0'));
        s.VirtualSize = r.U32At(at + 8);
        s.VirtualAddress = r.U32At(at + 12);
        s.SizeOfRawData = r.U32At(at + 16);
        s.PointerToRawData = r.U32At(at + 20);
        s.HeaderOffset = at;
        layout.Sections.push_back(std::move(s));
    }
    return layout;
}

const PeSection* FindPeSection(const PeLayout& layout, std::string_view name) {
    name = name.substr(0, 8);
    for (const PeSection& s : layout.Sections) {
        if (s.Name.size() != name.size()) continue;
        if (std::equal(name.begin(), name.end(), s.Name.begin(),
                       [](char a, char b) { return AsciiLower(a) == AsciiLower(b); }))
            return &s;
    }
    return nullptr;
}

ResourceNode ReadResourceDirectory(const uint8_t* section, size_t size, uint32_t virtualAddress, size_t offset) {
    ResourceNode root;
    root.IsDirectory = true;
    DirectoryReader(section, size, virtualAddress).ReadDirectory(offset, root, 0);
    return root;
}

ResourceNode ReadResourceData(const uint8_t* section, size_t size, uint32_t virtualAddress, size_t offset) {
    ResourceNode data;
    DirectoryReader(section, size, virtualAddress).ReadData(offset, data);
    return data;
}

bool ResourceIdLess(const ResourceId& a, const ResourceId& b) {
    if (a.IsString != b.IsString) return a.IsString;
    return a.IsString ? a.Name < b.Name : a.Id < b.Id;
}

size_t ResourceNameSize(const ResourceId& id) { return id.IsString ? 2 * id.Name.size() + 2 : 0; }

size_t ResourceTreeSize(const ResourceNode& node) {
    if (!node.IsDirectory) return node.Data.size() + 16;
    size_t size = 16 + 8 * node.Items.size();
    for (const ResourceNode& item : node.Items) size += ResourceTreeSize(item) + ResourceNameSize(item.Id);
    return size;
}

namespace {

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

} // namespace

void WriteResourceTree(ResourceNode& node, uint8_t* out, size_t outSize, size_t pos, uint32_t virtualAddress) {
    const size_t size = ResourceTreeSize(node);
    if (pos > outSize || size > outSize - pos || outSize > 0x7FFFFFFF)
        Fail("Resource directory: %zu bytes do not fit in the space given", size);
    uint8_t* head = out + pos;
    std::fill(head, head + 16, uint8_t(0));
    if (!node.IsDirectory) {
        Put32(head, static_cast<uint32_t>(pos + 16 + virtualAddress));
        Put32(head + 4, static_cast<uint32_t>(node.Data.size()));
        Put32(head + 8, node.CodePage);
        std::copy(node.Data.begin(), node.Data.end(), head + 16);
        return;
    }
    std::stable_sort(node.Items.begin(), node.Items.end(),
                     [](const ResourceNode& a, const ResourceNode& b) { return ResourceIdLess(a.Id, b.Id); });
    const auto named = std::count_if(node.Items.begin(), node.Items.end(), [](const ResourceNode& i) { return i.Id.IsString; });
    Put16(head + 12, static_cast<uint16_t>(named));
    Put16(head + 14, static_cast<uint16_t>(node.Items.size() - named));
    size_t p = pos + 16 + 8 * node.Items.size();
    for (size_t i = 0; i < node.Items.size(); ++i) {
        ResourceNode& item = node.Items[i];
        uint8_t* entry = head + 16 + 8 * i;
        if (item.Id.IsString) {
            Put16(out + p, static_cast<uint16_t>(item.Id.Name.size()));
            for (size_t u = 0; u < item.Id.Name.size(); ++u) Put16(out + p + 2 + 2 * u, item.Id.Name[u]);
            Put32(entry, static_cast<uint32_t>(p) | kNameIsString);
            p += ResourceNameSize(item.Id);
        } else {
            Put32(entry, item.Id.Id & ~kNameIsString);
        }
        Put32(entry + 4, static_cast<uint32_t>(p) | (item.IsDirectory ? kSubdirectory : 0));
        WriteResourceTree(item, out, outSize, p, virtualAddress);
        p += ResourceTreeSize(item);
    }
}

void ReplaceResourceSection(Bytes& image, ResourceNode& tree) {
    const PeLayout layout = ReadPeLayout(image.data(), image.size());
    const PeSection* rsrc = FindPeSection(layout, ".rsrc");
    if (!rsrc) return;
    for (const PeSection& s : layout.Sections) {
        if (&s == rsrc) continue;
        if (s.VirtualAddress >= rsrc->VirtualAddress || (s.SizeOfRawData != 0 && s.PointerToRawData >= rsrc->PointerToRawData))
            Fail("The resource section is not the last section of the image (\"%s\" follows it)", s.Name.c_str());
    }
    if (rsrc->PointerToRawData > image.size() || size_t(rsrc->PointerToRawData) + rsrc->SizeOfRawData != image.size())
        Fail("The image holds data after its resource section");
    const uint32_t fileAlignment = layout.FileAlignment;
    const uint32_t sectionAlignment = layout.SectionAlignment;
    auto powerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (!powerOfTwo(fileAlignment) || fileAlignment > 0x10000 || !powerOfTwo(sectionAlignment) ||
        layout.ResourceDirectoryEntry == 0)
        Fail("The image's headers do not allow its resource section to grow");

    const size_t treeSize = ResourceTreeSize(tree);
    // Room to spare after the tree, and always some padding, as the images we update expect.
    const uint64_t grown = treeSize + 2048;
    const uint64_t rawSize = fileAlignment * (grown / fileAlignment + 1);
    const uint64_t imageEnd = ((uint64_t(rsrc->VirtualAddress) + rawSize + sectionAlignment - 1) / sectionAlignment) *
                              sectionAlignment;
    if (imageEnd > UINT32_MAX || rsrc->PointerToRawData + rawSize > UINT32_MAX)
        Fail("The resource section would be too large (%zu bytes)", treeSize);
    Bytes section(static_cast<size_t>(rawSize), 0);
    WriteResourceTree(tree, section.data(), section.size(), 0, rsrc->VirtualAddress);

    ByteReader r(image.data(), image.size());
    const size_t opt = layout.OptionalHeader;
    const uint32_t initialized = r.U32At(opt + kSizeOfInitializedData) - rsrc->SizeOfRawData + static_cast<uint32_t>(rawSize);
    Put32(image.data() + opt + kSizeOfInitializedData, initialized);
    Put32(image.data() + opt + kSizeOfImage, static_cast<uint32_t>(imageEnd));
    Put32(image.data() + layout.ResourceDirectoryEntry, rsrc->VirtualAddress);
    Put32(image.data() + layout.ResourceDirectoryEntry + 4, static_cast<uint32_t>(treeSize));
    Put32(image.data() + rsrc->HeaderOffset + 8, static_cast<uint32_t>(rawSize));
    Put32(image.data() + rsrc->HeaderOffset + 16, static_cast<uint32_t>(rawSize));
    image.resize(rsrc->PointerToRawData);
    image.insert(image.end(), section.begin(), section.end());
}

} // namespace tamrel::msgcore
