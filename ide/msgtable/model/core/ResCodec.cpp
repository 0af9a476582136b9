#include "ide/msgtable/model/core/ResCodec.h"

#include <algorithm>

namespace tamrel::msgcore {

namespace {

ResourceId ReadId(ByteReader& r) {
    if (r.U16At(r.Pos()) == 0xFFFF) {
        r.Skip(2);
        return ResourceId::Number(r.U16());
    }
    const size_t start = r.Pos();
    std::u16string name = r.TextUpToNul();
    if (r.Pos() - start != 2 * (name.size() + 1)) Fail("Resource file: a name at offset %zu has no end", start);
    // An empty name could not be told from the older layout's padding.
    if (name.empty()) Fail("Resource file: an empty name at offset %zu", start);
    return ResourceId::String(std::move(name));
}

size_t IdSize(const ResourceId& id) { return id.IsString ? 2 * (id.Name.size() + 1) : 4; }

void WriteId(ByteWriter& w, const ResourceId& id) {
    if (id.IsString && id.Name.empty()) Fail("Resource file: a resource type or name cannot be an empty string");
    if (id.IsString) {
        w.Text(id.Name, true);
    } else {
        w.U16(0xFFFF);
        w.U16(static_cast<uint16_t>(id.Id));
    }
}

} // namespace

void ReadResEntry(ByteReader& r, ResEntry& entry) {
    const size_t start = r.Pos();
    const uint32_t dataSize = r.U32();
    const uint32_t headerSize = r.U32();
    if (headerSize < 8 || headerSize - 8 > r.Left() || dataSize > r.Left() - (headerSize - 8))
        Fail("Resource file: the entry at offset %zu (header %u, data %u bytes) runs past the end of the file", start,
             headerSize, dataSize);
    ByteReader header = r.Limited(start + headerSize);
    entry.Type = ReadId(header);
    // The older layout's padding after an even-length string type.
    if (entry.Type.IsString && header.Left() >= 2 && header.U16At(header.Pos()) == 0) header.Skip(2);
    entry.Name = ReadId(header);
    header.Seek(start + AlignUp4(header.Pos() - start));
    entry.DataVersion = header.U32();
    entry.MemoryFlags = header.U16();
    entry.LanguageId = header.U16();
    entry.Version = header.U32();
    entry.Characteristics = header.U32();
    r.Seek(start + headerSize);
    const uint8_t* data = r.Take(dataSize);
    entry.Data.assign(data, data + dataSize);
    r.Seek(start + std::min<size_t>(AlignUp4(headerSize + size_t(dataSize)), r.End() - start));
}

uint32_t ResHeaderSize(const ResourceId& type, const ResourceId& name) {
    return static_cast<uint32_t>(AlignUp4(8 + IdSize(type) + IdSize(name)) + 16);
}

void WriteResEntry(ByteWriter& w, const ResEntry& entry) {
    if (entry.Data.size() > UINT32_MAX) Fail("Resource file: an entry of %zu bytes is too large", entry.Data.size());
    const size_t start = w.Pos();
    w.U32(static_cast<uint32_t>(entry.Data.size()));
    w.U32(ResHeaderSize(entry.Type, entry.Name));
    WriteId(w, entry.Type);
    WriteId(w, entry.Name);
    w.Zeros(AlignUp4(w.Pos() - start) - (w.Pos() - start));
    w.U32(entry.DataVersion);
    w.U16(entry.MemoryFlags);
    w.U16(entry.LanguageId);
    w.U32(entry.Version);
    w.U32(entry.Characteristics);
    w.Put(entry.Data.data(), entry.Data.size());
    w.Zeros(AlignUp4(w.Pos() - start) - (w.Pos() - start));
}

} // namespace tamrel::msgcore
