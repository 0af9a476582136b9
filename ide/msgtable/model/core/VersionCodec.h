// The version-information node layout (VS_VERSIONINFO and its StringFileInfo, string tables,
// strings, VarFileInfo and Translation nodes). Every node: Length (2, the node with its
// children), ValueLength (2), Type (2), the UTF-16 key with its NUL, zero padding to a 4-byte
// boundary counted from the start of the data, then its value and children.
//
// The readers take a node at the reader's position, which must be 4-aligned. A node and its
// children must lie inside the node's parent; a text ends at its NUL or at its node's end. A
// node whose key is not the one its kind requires reads as false and consumes nothing, so that
// another kind can try the same bytes. The next node starts at the 4-byte boundary after the
// previous node's Length.
#pragma once

#include "ide/msgtable/model/core/Bytes.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tamrel::msgcore {

inline constexpr char SAddressNotAligned[] = "Address nust be aligned to DWORD boundary";

struct VersionNodeHead {
    uint16_t Length = 0;
    uint16_t ValueLength = 0;
    uint16_t Type = 0;
    std::u16string Key;
};

struct VersionString {
    VersionNodeHead Head;
    std::u16string Value;
};

struct VersionStringTable {
    VersionNodeHead Head;
    std::vector<VersionString> Items;
};

struct VersionStringFileInfo {
    VersionNodeHead Head;
    std::vector<VersionStringTable> Items;
};

struct VersionVar {
    VersionNodeHead Head;
    std::vector<uint32_t> Items;
};

struct VersionVarFileInfo {
    VersionNodeHead Head;
    std::vector<VersionVar> Items;
};

using FixedFileInfoBytes = std::array<uint8_t, 52>;

struct VersionInfoTree {
    VersionNodeHead Head;
    std::optional<FixedFileInfoBytes> FixedFileInfo;
    std::optional<VersionStringFileInfo> StringFileInfo;
    std::optional<VersionVarFileInfo> VarFileInfo;
};

inline constexpr char16_t KeyStringFileInfo[] = u"StringFileInfo";
inline constexpr char16_t KeyVarFileInfo[] = u"VarFileInfo";
inline constexpr char16_t KeyTranslation[] = u"Translation";
inline constexpr char16_t KeyVersionInfo[] = u"VS_VERSION_INFO";

// Reads a node's head and key. With a non-empty DefaultKey, a different key gives false and
// leaves the reader where it was. On true the reader stands after the key's padding, and End
// is where the node ends. A misaligned position raises SAddressNotAligned.
bool ReadVersionHead(ByteReader& r, VersionNodeHead& head, std::u16string_view defaultKey, size_t& end);

bool ReadVersionString(ByteReader& r, VersionString& node);
bool ReadVersionStringTable(ByteReader& r, VersionStringTable& node);
bool ReadVersionStringFileInfo(ByteReader& r, VersionStringFileInfo& node);
bool ReadVersionVar(ByteReader& r, VersionVar& node);
bool ReadVersionVarFileInfo(ByteReader& r, VersionVarFileInfo& node);
bool ReadVersionInfo(ByteReader& r, VersionInfoTree& node);

// Bytes of a head with its key and the padding after it.
constexpr size_t VersionHeadSize(size_t keyUnits) { return AlignUp4(2 * keyUnits + 8); }
// Writes the head and key and pads to 4 bytes; the writer's position must be 4-aligned.
void WriteVersionHead(ByteWriter& w, const VersionNodeHead& head);
// Length of a node as its 16-bit field carries it; larger nodes raise, naming the key.
uint16_t VersionNodeLength(size_t size, std::u16string_view key);

} // namespace tamrel::msgcore
