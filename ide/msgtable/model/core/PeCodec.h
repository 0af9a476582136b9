// PE images: the headers the resource code needs, and the resource directory of the .rsrc
// section.
//
// Directory: a 16-byte head (Characteristics, TimeDateStamp, versions, NumberOfNamedEntries,
// NumberOfIdEntries), then 8-byte entries (Name: a number, or 0x80000000 + offset of a string
// of a 16-bit length and its units; OffsetToData, + 0x80000000 for a subdirectory). A data
// entry holds the data's relative virtual address, Size, CodePage and a reserved word.
#pragma once

#include "ide/msgtable/model/core/Bytes.h"
#include "ide/msgtable/model/core/ResourceId.h"

#include <string>
#include <string_view>
#include <vector>

namespace tamrel::msgcore {

inline constexpr char SUnrecognizedFileFormat[] = "unrecognized file format";
inline constexpr char SNotAPeFile[] = "Not a PE (WIN32 Executable) file";

struct PeSection {
    std::string Name; // up to 8 characters
    uint32_t VirtualSize = 0;
    uint32_t VirtualAddress = 0;
    uint32_t SizeOfRawData = 0;
    uint32_t PointerToRawData = 0;
    size_t HeaderOffset = 0; // file offset of the section header
};

struct PeLayout {
    size_t NtHeaders = 0;
    size_t OptionalHeader = 0;
    bool Pe32Plus = false;
    uint32_t SectionAlignment = 0;
    uint32_t FileAlignment = 0;
    // File offset of the data directory's resource entry (its VirtualAddress; Size follows).
    size_t ResourceDirectoryEntry = 0;
    std::vector<PeSection> Sections;
};

// Reads the DOS and NT headers and the section table of both processors' layouts (the table
// follows the optional header, whose size the file header gives). Raises FormatError with
// SUnrecognizedFileFormat without the MZ signature, SNotAPeFile without a whole PE head.
PeLayout ReadPeLayout(const uint8_t* image, size_t size);
// The first section whose name matches over at most 8 characters, case ignored; null if none.
const PeSection* FindPeSection(const PeLayout& layout, std::string_view name);

struct ResourceNode {
    ResourceId Id;
    bool IsDirectory = false;
    std::vector<ResourceNode> Items; // directories
    uint32_t CodePage = 0;           // data
    Bytes Data;                      // data
};

// Reads the directory at the start of the section's bytes. Every offset, string and data range
// must lie inside the section; directories nest at most 3 deep below the root (type, name,
// language), so a directory that refers to itself raises instead of recursing; entries and
// data may not be shared, so a crafted tree cannot multiply the section's size.
// Offset is where the directory's head lies.
ResourceNode ReadResourceDirectory(const uint8_t* section, size_t size, uint32_t virtualAddress, size_t offset = 0);
// The data entry at Offset and the bytes it points to.
ResourceNode ReadResourceData(const uint8_t* section, size_t size, uint32_t virtualAddress, size_t offset);

// String ids first, by ordinal order of their UTF-16 units, then numeric ids ascending.
bool ResourceIdLess(const ResourceId& a, const ResourceId& b);
// Bytes a string id takes in the directory: a 16-bit length and the units; 0 for a number.
size_t ResourceNameSize(const ResourceId& id);
// Directory: 16 + 8 per item + each item's size and name size; data: 16 + its bytes.
size_t ResourceTreeSize(const ResourceNode& node);
// Writes a node's body at Pos of Out (Out must hold ResourceTreeSize bytes from there):
// depth first, every body right after what precedes it, no alignment. Each directory's items
// are sorted with ResourceIdLess first. Offsets are counted from the start of Out; data
// addresses are VirtualAddress plus the offset.
void WriteResourceTree(ResourceNode& node, uint8_t* out, size_t outSize, size_t pos, uint32_t virtualAddress);

// Replaces the bytes of the image's .rsrc section with Tree: the section is rewritten with
// VirtualSize and SizeOfRawData the tree's size plus 2048 rounded up to FileAlignment;
// SizeOfImage, SizeOfInitializedData and the data directory's resource entry follow. The
// section must be the last one both in the file and in memory, with nothing after it in the
// file. Without a .rsrc section nothing changes.
void ReplaceResourceSection(Bytes& image, ResourceNode& tree);

} // namespace tamrel::msgcore
