// Compiled 32-bit resource files (.RES): a sequence of entries, each a header and its data.
#pragma once

#include "host/Streams.h"
#include "ide/msgtable/model/EvLog_Common.h"
#include "ide/msgtable/model/OwnedList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel::evlog {

class TRESResources;

class TRESResource {
public:
    // With an owner the entry appends itself to the owner's items, and leaves them when freed.
    explicit TRESResource(TRESResources* owner = nullptr);
    TRESResource(const TRESResource&) = delete;
    TRESResource& operator=(const TRESResource&) = delete;
    ~TRESResource();

    TRESResources* Owner() const { return FOwner; }
    const uint8_t* Data() const { return FData.data(); }
    uint32_t DataSize() const { return static_cast<uint32_t>(FData.size()); }
    void Clear() { FData.clear(); }
    // Keeps a copy of the bytes; a writer can hand its output straight to the entry.
    void SetData(const void* data, int32_t dataSize);
    TEvLogSetDataProc SetDataProc();

    uint32_t DataVersion() const { return FDataVersion; }
    void SetDataVersion(uint32_t value) { FDataVersion = value; }
    uint16_t MemoryFlags() const { return FMemoryFlags; }
    void SetMemoryFlags(uint16_t value) { FMemoryFlags = value; }
    uint32_t Version() const { return FVersion; }
    void SetVersion(uint32_t value) { FVersion = value; }
    uint32_t Characteristics() const { return FCharacteristics; }
    void SetCharacteristics(uint32_t value) { FCharacteristics = value; }

    TResIdText& ResType() { return FResType; }
    TResIdText& ResName() { return FResName; }
    // Written as its number: a string raises when the entry is saved.
    TResIdText& ResLocale() { return FResLocale; }
    void SetResType(const TResIdText& value) { FResType.Assign(value); }
    void SetResName(const TResIdText& value) { FResName.Assign(value); }
    void SetResLocale(const TResIdText& value) { FResLocale.Assign(value); }

    // Bytes of the header as it is written.
    uint32_t HeaderSize() const;

private:
    friend class TRESResources;
    TRESResources* FOwner;
    std::vector<uint8_t> FData;
    uint32_t FDataVersion = 0;
    uint16_t FMemoryFlags = 0;
    uint32_t FVersion = 0;
    uint32_t FCharacteristics = 0;
    TResIdText FResType;
    TResIdText FResName;
    TResIdText FResLocale;
};

class TRESResources {
public:
    TRESResources() = default;
    TRESResources(const TRESResources&) = delete;
    TRESResources& operator=(const TRESResources&) = delete;
    ~TRESResources();

    int Count() const { return FItems.Count(); }
    TRESResource* Items(int index) const { return FItems.Items(index); }
    // Frees the entries, the last first.
    void Clear();

    // Appends the entries from the stream's position to its end. A malformed or cut entry
    // raises EReadError; the entries before it stay.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    // Others may read the file meanwhile, not write it.
    void LoadFromFile(const std::wstring& fileName);
    // Creates the file anew.
    void SaveToFile(const std::wstring& fileName);

private:
    friend class TRESResource;
    TOwnedList<TRESResource> FItems;
};

} // namespace tamrel::evlog
