#include "ide/msgtable/model/EvLog_ResResources.h"

#include "ide/msgtable/model/CoreBridge.h"
#include "ide/msgtable/model/core/ResCodec.h"

#include <algorithm>
#include <memory>

namespace tamrel::evlog {

TRESResource::TRESResource(TRESResources* owner) : FOwner(owner) {
    if (FOwner) FOwner->FItems.Join(this);
}

TRESResource::~TRESResource() {
    if (FOwner) FOwner->FItems.Leave(this);
}

void TRESResource::SetData(const void* data, int32_t dataSize) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    FData.assign(bytes, bytes + std::max<int32_t>(dataSize, 0));
}

TEvLogSetDataProc TRESResource::SetDataProc() {
    return [this](const void* data, int32_t dataSize) { SetData(data, dataSize); };
}

uint32_t TRESResource::HeaderSize() const { return msgcore::ResHeaderSize(ToCoreId(FResType), ToCoreId(FResName)); }

TRESResources::~TRESResources() { Clear(); }

void TRESResources::Clear() { FItems.Clear(); }

void TRESResources::LoadFromStream(TStream& stream) {
    const int64_t start = stream.Position();
    const int64_t size = stream.Size() - start;
    if (size > INT32_MAX) throw EReadError(SReadError);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    msgcore::ByteReader r(bytes.data(), bytes.size());
    while (!r.AtEnd()) {
        msgcore::ResEntry entry;
        CoreCall<EReadError>([&] { msgcore::ReadResEntry(r, entry); });
        auto* item = new TRESResource(this);
        AssignCoreId(item->ResType(), entry.Type);
        AssignCoreId(item->ResName(), entry.Name);
        item->ResLocale().SetID(entry.LanguageId);
        item->SetDataVersion(entry.DataVersion);
        item->SetMemoryFlags(entry.MemoryFlags);
        item->SetVersion(entry.Version);
        item->SetCharacteristics(entry.Characteristics);
        item->FData = std::move(entry.Data);
    }
}

void TRESResources::SaveToStream(TStream& stream) {
    msgcore::Bytes bytes;
    msgcore::ByteWriter w(bytes);
    for (TRESResource* item : FItems) {
        msgcore::ResEntry entry;
        entry.Type = ToCoreId(item->ResType());
        entry.Name = ToCoreId(item->ResName());
        entry.LanguageId = static_cast<uint16_t>(item->ResLocale().ID());
        entry.DataVersion = item->DataVersion();
        entry.MemoryFlags = item->MemoryFlags();
        entry.Version = item->Version();
        entry.Characteristics = item->Characteristics();
        entry.Data.assign(item->Data(), item->Data() + item->DataSize());
        CoreCall<EWriteError>([&] { msgcore::WriteResEntry(w, entry); });
    }
    if (bytes.size() > INT32_MAX) throw EWriteError(SWriteError);
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void TRESResources::LoadFromFile(const std::wstring& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TRESResources::SaveToFile(const std::wstring& fileName) {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

} // namespace tamrel::evlog
