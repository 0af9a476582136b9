// The resource tree of a PE image's .rsrc section as objects: directories of items, each with
// a numeric or string id, and data leaves.
#pragma once

#include "ide/msgtable/model/EvLog_Common.h"
#include "ide/msgtable/model/OwnedList.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tamrel::msgcore {
struct ResourceNode;
}

namespace tamrel::evlog {

// Malformed PE images and resource trees, and images that cannot take a new tree.
TAMREL_EXCEPTION_CLASS(EPEError, Exception);

class TPEResourceDirectory;

class TPEResourceItem {
public:
    // With an owner the item appends itself to the owner's items, and leaves them when freed.
    explicit TPEResourceItem(TPEResourceDirectory* owner = nullptr);
    TPEResourceItem(const TPEResourceItem&) = delete;
    TPEResourceItem& operator=(const TPEResourceItem&) = delete;
    virtual ~TPEResourceItem();

    TPEResourceDirectory* Owner() const { return FOwner; }
    TResIdText& IdName() { return FIdName; }
    const TResIdText& IdName() const { return FIdName; }
    // Bytes of the id's string in the directory (a 16-bit length and the units); 0 for a number.
    uint32_t NameSize() const;

    // Bytes the item's body takes when written.
    virtual uint32_t Size() const = 0;
    // Loads the body at Offset of the section's bytes; VirtualAddress is the section's address.
    // Every offset and address is checked against SectionSize; bad data raises EPEError.
    virtual void Read(const uint8_t* section, size_t sectionSize, size_t offset, uint32_t virtualAddress) = 0;
    // Writes the body at Buffer, which must hold Size bytes; offsets are counted from
    // BaseAddress, the start of the section, and data addresses from VirtualAddress. A
    // directory is written depth first, every body right after what precedes it, with no
    // alignment, and its items sorted first (SortItems).
    virtual void Write(uint8_t* buffer, uint8_t* baseAddress, uint32_t virtualAddress);

    // The item as the portable tree has it, and back (internal).
    virtual void ToNode(msgcore::ResourceNode& node) = 0;
    virtual void FromNode(msgcore::ResourceNode& node) = 0;

private:
    TPEResourceDirectory* FOwner;
    TResIdText FIdName;
};

class TPEResourceDirectory : public TPEResourceItem {
public:
    using TPEResourceItem::TPEResourceItem;
    ~TPEResourceDirectory() override;

    int Count() const { return FItems.Count(); }
    TPEResourceItem* Items(int index) const { return FItems.Items(index); }
    // Frees the items, the last first.
    void Clear();
    // The first item with that numeric id; null for a negative id or no match.
    TPEResourceItem* FindItemById(int64_t id) const;
    // The first item with that string id, case ignored (the user's locale).
    TPEResourceItem* FindItemByName(const std::wstring& name) const;
    // Puts the items in the order a directory is written in: string ids first, by the ordinal
    // order of their UTF-16 units, then numeric ids ascending.
    void SortItems();

    uint32_t Size() const override;
    void Read(const uint8_t* section, size_t sectionSize, size_t offset, uint32_t virtualAddress) override;
    void ToNode(msgcore::ResourceNode& node) override;
    void FromNode(msgcore::ResourceNode& node) override;

private:
    friend class TPEResourceItem;
    TOwnedList<TPEResourceItem> FItems;
};

class TPEResourceData : public TPEResourceItem {
public:
    using TPEResourceItem::TPEResourceItem;

    const uint8_t* Data() const { return FData.data(); }
    uint32_t DataSize() const { return static_cast<uint32_t>(FData.size()); }
    uint32_t CodePage() const { return FCodePage; }
    void SetCodePage(uint32_t value) { FCodePage = value; }
    void Clear() { FData.clear(); }
    // Keeps a copy of the bytes.
    void SetData(const void* data, int32_t dataSize);

    uint32_t Size() const override { return DataSize() + 16; }
    void Read(const uint8_t* section, size_t sectionSize, size_t offset, uint32_t virtualAddress) override;
    void ToNode(msgcore::ResourceNode& node) override;
    void FromNode(msgcore::ResourceNode& node) override;

private:
    std::vector<uint8_t> FData;
    uint32_t FCodePage = 0;
};

} // namespace tamrel::evlog
