#include "ide/msgtable/model/EvLog_PEResources.h"

#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/core/PeCodec.h"

#include <algorithm>
#include <memory>

namespace tamrel::evlog {

// ---------------------------------------------------------------------------------------------
// TPEResourceItem

TPEResourceItem::TPEResourceItem(TPEResourceDirectory* owner) : FOwner(owner) {
    if (FOwner) FOwner->FItems.Join(this);
}

TPEResourceItem::~TPEResourceItem() {
    if (FOwner) FOwner->FItems.Leave(this);
}

void TPEResourceItem::Write(uint8_t* buffer, uint8_t* baseAddress, uint32_t virtualAddress) {
    msgcore::ResourceNode node;
    ToNode(node);
    const size_t pos = static_cast<size_t>(buffer - baseAddress);
    CoreCall<EPEError>([&] { msgcore::WriteResourceTree(node, baseAddress, pos + Size(), pos, virtualAddress); });
}

uint32_t TPEResourceItem::NameSize() const {
    return FIdName.IsString() ? static_cast<uint32_t>(2 * FIdName.Text().size() + 2) : 0;
}

// ---------------------------------------------------------------------------------------------
// TPEResourceDirectory

TPEResourceDirectory::~TPEResourceDirectory() { Clear(); }

void TPEResourceDirectory::Clear() { FItems.Clear(); }

TPEResourceItem* TPEResourceDirectory::FindItemById(int64_t id) const {
    if (id < 0) return nullptr;
    for (TPEResourceItem* item : FItems)
        if (!item->IdName().IsString() && item->IdName().ID() == id) return item;
    return nullptr;
}

TPEResourceItem* TPEResourceDirectory::FindItemByName(const std::wstring& name) const {
    for (TPEResourceItem* item : FItems)
        if (item->IdName().IsString() && AnsiSameText(item->IdName().Text(), name)) return item;
    return nullptr;
}

void TPEResourceDirectory::SortItems() {
    std::stable_sort(FItems.Raw().begin(), FItems.Raw().end(), [](TPEResourceItem* a, TPEResourceItem* b) {
        return msgcore::ResourceIdLess(ToCoreId(a->IdName()), ToCoreId(b->IdName()));
    });
}

uint32_t TPEResourceDirectory::Size() const {
    uint32_t size = 16 + 8 * static_cast<uint32_t>(FItems.Count());
    for (TPEResourceItem* item : FItems) size += item->Size() + item->NameSize();
    return size;
}

void TPEResourceDirectory::Read(const uint8_t* section, size_t sectionSize, size_t offset, uint32_t virtualAddress) {
    Clear();
    msgcore::ResourceNode node =
        CoreCall<EPEError>([&] { return msgcore::ReadResourceDirectory(section, sectionSize, virtualAddress, offset); });
    FromNode(node);
}

void TPEResourceDirectory::ToNode(msgcore::ResourceNode& node) {
    SortItems();
    node.Id = ToCoreId(IdName());
    node.IsDirectory = true;
    node.Items.resize(FItems.Count());
    for (int i = 0; i < FItems.Count(); ++i) FItems.Items(i)->ToNode(node.Items[i]);
}

void TPEResourceDirectory::FromNode(msgcore::ResourceNode& node) {
    Clear();
    for (msgcore::ResourceNode& child : node.Items) {
        TPEResourceItem* item = child.IsDirectory ? static_cast<TPEResourceItem*>(new TPEResourceDirectory(this))
                                                  : new TPEResourceData(this);
        AssignCoreId(item->IdName(), child.Id);
        item->FromNode(child);
    }
}

// ---------------------------------------------------------------------------------------------
// TPEResourceData

void TPEResourceData::SetData(const void* data, int32_t dataSize) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    FData.assign(bytes, bytes + std::max<int32_t>(dataSize, 0));
}

void TPEResourceData::Read(const uint8_t* section, size_t sectionSize, size_t offset, uint32_t virtualAddress) {
    msgcore::ResourceNode node =
        CoreCall<EPEError>([&] { return msgcore::ReadResourceData(section, sectionSize, virtualAddress, offset); });
    FromNode(node);
}

void TPEResourceData::ToNode(msgcore::ResourceNode& node) {
    node.Id = ToCoreId(IdName());
    node.IsDirectory = false;
    node.CodePage = FCodePage;
    node.Data = FData;
}

void TPEResourceData::FromNode(msgcore::ResourceNode& node) {
    FCodePage = node.CodePage;
    FData = std::move(node.Data);
}

} // namespace tamrel::evlog
