// Entries of a 32-bit .RES file: DataSize (4), HeaderSize (4), TYPE, NAME, then on a 4-byte
// boundary DataVersion (4), MemoryFlags (2), LanguageId (2), Version (4), Characteristics (4);
// the data at HeaderSize; zero bytes up to the next multiple of 4. TYPE and NAME are 0xFFFF
// and a 16-bit number, or UTF-16 units and a NUL; NAME follows TYPE directly.
//
// An older writer padded TYPE to 4 bytes on its own. A NAME never starts with a zero word, so
// a zero word right after TYPE is that padding and is skipped: old files still load.
#pragma once

#include "ide/msgtable/model/core/Bytes.h"
#include "ide/msgtable/model/core/ResourceId.h"

namespace tamrel::msgcore {

struct ResEntry {
    ResourceId Type;
    ResourceId Name;
    uint32_t DataVersion = 0;
    uint16_t MemoryFlags = 0;
    uint16_t LanguageId = 0;
    uint32_t Version = 0;
    uint32_t Characteristics = 0;
    Bytes Data;
};

// Reads the entry at the reader's position and moves past its padding. Every size is checked
// against the bytes left; a short or malformed entry, or an empty string id, raises.
void ReadResEntry(ByteReader& r, ResEntry& entry);
// HeaderSize of an entry as it is written.
uint32_t ResHeaderSize(const ResourceId& type, const ResourceId& name);
// Writes the entry and the zero padding after its data. Numeric ids are written as 16 bits; an
// empty string id raises (readers would take it for padding).
void WriteResEntry(ByteWriter& w, const ResEntry& entry);

} // namespace tamrel::msgcore
