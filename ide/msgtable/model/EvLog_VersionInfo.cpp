#include "ide/msgtable/model/EvLog_VersionInfo.h"

#include "ide/msgtable/model/CoreBridge.h"

#include <algorithm>
#include <cstring>

namespace tamrel::evlog {

using msgcore::AlignUp4;
using msgcore::ByteReader;
using msgcore::ByteWriter;

// ---------------------------------------------------------------------------------------------
// TEvLogVersionBase

TEvLogVersionBase::~TEvLogVersionBase() = default;

uint32_t TEvLogVersionBase::BaseSize() {
    const std::wstring key = DefaultKey();
    if (!key.empty()) FKey = key;
    return static_cast<uint32_t>(msgcore::VersionHeadSize(FKey.size()));
}

uint32_t TEvLogVersionBase::CalcSize() {
    const uint32_t size = BaseSize();
    SetHeadLengths(size, FValueLength, FType);
    return size;
}

void TEvLogVersionBase::SetHeadLengths(uint32_t size, uint16_t valueLength, uint16_t type) {
    FLength = CoreCall([&] { return msgcore::VersionNodeLength(size, ToU16(FKey)); });
    FValueLength = valueLength;
    FType = type;
}

msgcore::VersionNodeHead TEvLogVersionBase::Head() const { return {FLength, FValueLength, FType, ToU16(FKey)}; }

void TEvLogVersionBase::SetHead(const msgcore::VersionNodeHead& head) {
    FLength = head.Length;
    FValueLength = head.ValueLength;
    FType = head.Type;
    FKey = ToWide(head.Key);
}

void TEvLogVersionBase::WriteData(ByteWriter& w) {
    CoreCall([&] { msgcore::WriteVersionHead(w, Head()); });
}

std::wstring TEvLogVersionBase::DefaultKey() const { return {}; }

bool TEvLogVersionBase::LoadFrom(ByteReader& r) {
    return CoreCall([&] {
        msgcore::VersionNodeHead head;
        size_t end;
        if (!msgcore::ReadVersionHead(r, head, ToU16(DefaultKey()), end)) return false;
        SetHead(head);
        r.Seek(end);
        return true;
    });
}

void TEvLogVersionBase::SaveTo(const TEvLogSetDataProc& setData) {
    const uint32_t size = CalcSize();
    msgcore::Bytes bytes;
    bytes.reserve(size);
    ByteWriter w(bytes);
    WriteData(w);
    setData(bytes.data(), static_cast<int32_t>(bytes.size()));
}

bool TEvLogVersionBase::LoadFrom(const void* data, uint32_t dataSize) {
    if (reinterpret_cast<uintptr_t>(data) % 4 != 0) throw Exception(Utf8ToWide(msgcore::SAddressNotAligned));
    ByteReader r(static_cast<const uint8_t*>(data), dataSize);
    return LoadFrom(r);
}

// ---------------------------------------------------------------------------------------------
// TVersionNodeList

template <class T> T* TVersionNodeList<T>::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    return FItems[index].get();
}

template <class T> T* TVersionNodeList<T>::Add(std::unique_ptr<T> item) {
    FItems.push_back(std::move(item));
    return FItems.back().get();
}

template <class T> T* TVersionNodeList<T>::Insert(int index, std::unique_ptr<T> item) {
    if (index < 0 || index > Count()) throw EListError(SListIndexError, index);
    return FItems.insert(FItems.begin() + index, std::move(item))->get();
}

template <class T> void TVersionNodeList<T>::Remove(T* item) {
    auto it = std::find_if(FItems.begin(), FItems.end(), [item](const auto& p) { return p.get() == item; });
    if (it != FItems.end()) FItems.erase(it);
}

template <class T> uint32_t TVersionNodeList<T>::CalcSize() {
    uint32_t size = BaseSize();
    for (auto& item : FItems) size = static_cast<uint32_t>(AlignUp4(size)) + item->CalcSize();
    SetHeadLengths(size, 0, NodeType());
    return size;
}

template <class T> void TVersionNodeList<T>::WriteData(ByteWriter& w) {
    TEvLogVersionBase::WriteData(w);
    for (auto& item : FItems) {
        w.AlignZeros();
        item->WriteData(w);
    }
}

namespace {

// Reads a node through the portable reader of its kind and takes the result.
template <class Node, class Core> bool LoadNode(Node& node, ByteReader& r, bool (*read)(ByteReader&, Core&)) {
    Core data;
    if (!CoreCall([&] { return read(r, data); })) return false;
    node.Assign(data);
    return true;
}

} // namespace

template class TVersionNodeList<TString>;
template class TVersionNodeList<TStringTable>;
template class TVersionNodeList<TVar>;

// ---------------------------------------------------------------------------------------------
// TString

TString::TString(const std::wstring& key, const std::wstring& value) : FValue(value) { SetKey(key); }

uint32_t TString::CalcSize() {
    const uint32_t size = BaseSize() + 2 * static_cast<uint32_t>(FValue.size() + 1);
    SetHeadLengths(size, static_cast<uint16_t>(FValue.size() + 1), 1);
    return size;
}

void TString::WriteData(ByteWriter& w) {
    TEvLogVersionBase::WriteData(w);
    w.Text(ToU16(FValue), true);
}

bool TString::LoadFrom(ByteReader& r) { return LoadNode(*this, r, msgcore::ReadVersionString); }

void TString::Assign(const msgcore::VersionString& node) {
    SetHead(node.Head);
    FValue = ToWide(node.Value);
}

// ---------------------------------------------------------------------------------------------
// TStringTable, TStringFileInfo

bool TStringTable::LoadFrom(ByteReader& r) { return LoadNode(*this, r, msgcore::ReadVersionStringTable); }

void TStringTable::Assign(const msgcore::VersionStringTable& node) {
    SetHead(node.Head);
    Clear();
    for (const auto& item : node.Items) Add(std::make_unique<TString>())->Assign(item);
}

std::wstring TStringFileInfo::DefaultKey() const { return ToWide(msgcore::KeyStringFileInfo); }

bool TStringFileInfo::LoadFrom(ByteReader& r) { return LoadNode(*this, r, msgcore::ReadVersionStringFileInfo); }

void TStringFileInfo::Assign(const msgcore::VersionStringFileInfo& node) {
    SetHead(node.Head);
    Clear();
    for (const auto& item : node.Items) Add(std::make_unique<TStringTable>())->Assign(item);
}

// ---------------------------------------------------------------------------------------------
// TVar, TVarFileInfo

uint32_t TVar::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    return FItems[index];
}

void TVar::Insert(int index, uint32_t item) {
    if (index < 0 || index > Count()) throw EListError(SListIndexError, index);
    FItems.insert(FItems.begin() + index, item);
}

void TVar::Remove(uint32_t item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it != FItems.end()) FItems.erase(it);
}

uint32_t TVar::CalcSize() {
    const uint32_t values = 4 * static_cast<uint32_t>(FItems.size());
    const uint32_t size = BaseSize() + values;
    SetHeadLengths(size, static_cast<uint16_t>(values), 0);
    return size;
}

void TVar::WriteData(ByteWriter& w) {
    TEvLogVersionBase::WriteData(w);
    for (uint32_t item : FItems) w.U32(item);
}

std::wstring TVar::DefaultKey() const { return ToWide(msgcore::KeyTranslation); }

bool TVar::LoadFrom(ByteReader& r) { return LoadNode(*this, r, msgcore::ReadVersionVar); }

void TVar::Assign(const msgcore::VersionVar& node) {
    SetHead(node.Head);
    FItems = node.Items;
}

std::wstring TVarFileInfo::DefaultKey() const { return ToWide(msgcore::KeyVarFileInfo); }

bool TVarFileInfo::LoadFrom(ByteReader& r) { return LoadNode(*this, r, msgcore::ReadVersionVarFileInfo); }

void TVarFileInfo::Assign(const msgcore::VersionVarFileInfo& node) {
    SetHead(node.Head);
    Clear();
    for (const auto& item : node.Items) Add(std::make_unique<TVar>())->Assign(item);
}

// ---------------------------------------------------------------------------------------------
// TVersionInfo

void TVersionInfo::SetIsFixedFileInfo(bool value) {
    if (value == IsFixedFileInfo()) return;
    FFixedFileInfo = value ? std::make_unique<VS_FIXEDFILEINFO>() : nullptr;
}

void TVersionInfo::SetIsStringFileInfo(bool value) {
    if (value == IsStringFileInfo()) return;
    FStringFileInfo = value ? std::make_unique<TStringFileInfo>() : nullptr;
}

void TVersionInfo::SetIsVarFileInfo(bool value) {
    if (value == IsVarFileInfo()) return;
    FVarFileInfo = value ? std::make_unique<TVarFileInfo>() : nullptr;
}

VS_FIXEDFILEINFO& TVersionInfo::FixedFileInfo() const {
    if (!FFixedFileInfo) throw Exception(SFixedFileInfoMissed);
    return *FFixedFileInfo;
}

TStringFileInfo& TVersionInfo::StringFileInfo() const {
    if (!FStringFileInfo) throw Exception(SStringFileInfoMissed);
    return *FStringFileInfo;
}

TVarFileInfo& TVersionInfo::VarFileInfo() const {
    if (!FVarFileInfo) throw Exception(SVarFileInfoMissed);
    return *FVarFileInfo;
}

uint32_t TVersionInfo::CalcSize() {
    uint32_t size = BaseSize();
    if (FFixedFileInfo) size = static_cast<uint32_t>(AlignUp4(size)) + sizeof(VS_FIXEDFILEINFO);
    if (FStringFileInfo) size = static_cast<uint32_t>(AlignUp4(size)) + FStringFileInfo->CalcSize();
    if (FVarFileInfo) size = static_cast<uint32_t>(AlignUp4(size)) + FVarFileInfo->CalcSize();
    SetHeadLengths(size, FFixedFileInfo ? sizeof(VS_FIXEDFILEINFO) : 0, Type());
    return size;
}

void TVersionInfo::WriteData(ByteWriter& w) {
    TEvLogVersionBase::WriteData(w);
    if (FFixedFileInfo) {
        w.AlignZeros();
        w.Put(reinterpret_cast<const uint8_t*>(FFixedFileInfo.get()), sizeof(VS_FIXEDFILEINFO));
    }
    if (FStringFileInfo) {
        w.AlignZeros();
        FStringFileInfo->WriteData(w);
    }
    if (FVarFileInfo) {
        w.AlignZeros();
        FVarFileInfo->WriteData(w);
    }
}

std::wstring TVersionInfo::DefaultKey() const { return ToWide(msgcore::KeyVersionInfo); }

bool TVersionInfo::LoadFrom(ByteReader& r) { return LoadNode(*this, r, msgcore::ReadVersionInfo); }

void TVersionInfo::Assign(const msgcore::VersionInfoTree& node) {
    SetHead(node.Head);
    FFixedFileInfo.reset();
    if (node.FixedFileInfo) {
        FFixedFileInfo = std::make_unique<VS_FIXEDFILEINFO>();
        std::memcpy(FFixedFileInfo.get(), node.FixedFileInfo->data(), sizeof(VS_FIXEDFILEINFO));
    }
    FStringFileInfo.reset();
    if (node.StringFileInfo) {
        FStringFileInfo = std::make_unique<TStringFileInfo>();
        FStringFileInfo->Assign(*node.StringFileInfo);
    }
    FVarFileInfo.reset();
    if (node.VarFileInfo) {
        FVarFileInfo = std::make_unique<TVarFileInfo>();
        FVarFileInfo->Assign(*node.VarFileInfo);
    }
}

} // namespace tamrel::evlog
