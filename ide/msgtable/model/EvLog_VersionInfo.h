// Version-information resources as a tree of nodes: VS_VERSION_INFO with its fixed part, the
// StringFileInfo with string tables of strings, and the VarFileInfo with its Translation
// values. The same string-table node carries the add-in's attributes resource.
#pragma once

#include "ide/msgtable/model/EvLog_Common.h"
#include "ide/msgtable/model/core/VersionCodec.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace tamrel::evlog {

// A node: head (Length, ValueLength, Type), key, value and children.
class TEvLogVersionBase {
public:
    TEvLogVersionBase() = default;
    TEvLogVersionBase(const TEvLogVersionBase&) = delete;
    TEvLogVersionBase& operator=(const TEvLogVersionBase&) = delete;
    virtual ~TEvLogVersionBase();

    uint16_t Length() const { return FLength; }
    uint16_t ValueLength() const { return FValueLength; }
    uint16_t Type() const { return FType; }
    void SetType(uint16_t value) { FType = value; }
    const std::wstring& Key() const { return FKey; }
    void SetKey(const std::wstring& value) { FKey = value; }

    // The node's size in bytes; refreshes Length, ValueLength and Type here and in every child.
    // A node over 65,535 bytes raises.
    virtual uint32_t CalcSize();
    // Writes the node at the writer's position, which must be 4-aligned; run CalcSize first.
    virtual void WriteData(msgcore::ByteWriter& w);
    // The key the node's kind requires; empty when any key goes.
    virtual std::wstring DefaultKey() const;
    // Reads a node at the reader's position (4-aligned). False, consuming nothing, when the key
    // is not DefaultKey; malformed data raises.
    virtual bool LoadFrom(msgcore::ByteReader& r);

    // Sizes and writes the whole node and hands the bytes to SetData.
    void SaveTo(const TEvLogSetDataProc& setData);
    // Reads the node at the start of the data, which must be 4-aligned in memory.
    bool LoadFrom(const void* data, uint32_t dataSize);

protected:
    uint32_t BaseSize();
    msgcore::VersionNodeHead Head() const;
    void SetHead(const msgcore::VersionNodeHead& head);
    void SetHeadLengths(uint32_t size, uint16_t valueLength, uint16_t type);

private:
    uint16_t FLength = 0;
    uint16_t FValueLength = 0;
    uint16_t FType = 0;
    std::wstring FKey;
};

// A node that owns a list of child nodes.
template <class T> class TVersionNodeList : public TEvLogVersionBase {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    T* Items(int index) const;
    T* Add(std::unique_ptr<T> item);
    T* Insert(int index, std::unique_ptr<T> item);
    // Takes the item out of the list and frees it.
    void Remove(T* item);
    void Clear() { FItems.clear(); }

    // The head, then each child on a 4-byte boundary; ValueLength 0.
    uint32_t CalcSize() override;
    void WriteData(msgcore::ByteWriter& w) override;

protected:
    // The Type the node's kind writes.
    virtual uint16_t NodeType() const { return 0; }

private:
    std::vector<std::unique_ptr<T>> FItems;
};

class TString : public TEvLogVersionBase {
public:
    TString() = default;
    TString(const std::wstring& key, const std::wstring& value);
    const std::wstring& Value() const { return FValue; }
    void SetValue(const std::wstring& value) { FValue = value; }

    uint32_t CalcSize() override;
    void WriteData(msgcore::ByteWriter& w) override;
    bool LoadFrom(msgcore::ByteReader& r) override;
    using TEvLogVersionBase::LoadFrom;

    void Assign(const msgcore::VersionString& node);

private:
    std::wstring FValue;
};

// Its key is a language and code page, such as "040904E4".
class TStringTable : public TVersionNodeList<TString> {
public:
    bool LoadFrom(msgcore::ByteReader& r) override;
    using TEvLogVersionBase::LoadFrom;

    void Assign(const msgcore::VersionStringTable& node);
};

class TStringFileInfo : public TVersionNodeList<TStringTable> {
public:
    std::wstring DefaultKey() const override;
    bool LoadFrom(msgcore::ByteReader& r) override;
    using TEvLogVersionBase::LoadFrom;

    void Assign(const msgcore::VersionStringFileInfo& node);

protected:
    uint16_t NodeType() const override { return 1; }
};

// "Translation": language in the low word, code page in the high word of each value.
class TVar : public TEvLogVersionBase {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    uint32_t Items(int index) const;
    void Add(uint32_t item) { FItems.push_back(item); }
    void Insert(int index, uint32_t item);
    void Remove(uint32_t item);
    void Clear() { FItems.clear(); }

    uint32_t CalcSize() override;
    void WriteData(msgcore::ByteWriter& w) override;
    std::wstring DefaultKey() const override;
    bool LoadFrom(msgcore::ByteReader& r) override;
    using TEvLogVersionBase::LoadFrom;

    void Assign(const msgcore::VersionVar& node);

private:
    std::vector<uint32_t> FItems;
};

class TVarFileInfo : public TVersionNodeList<TVar> {
public:
    std::wstring DefaultKey() const override;
    bool LoadFrom(msgcore::ByteReader& r) override;
    using TEvLogVersionBase::LoadFrom;

    void Assign(const msgcore::VersionVarFileInfo& node);
};

inline constexpr wchar_t SFixedFileInfoMissed[] = L"FixedFileInfo missed";
inline constexpr wchar_t SStringFileInfoMissed[] = L"StringFileInfo missed";
inline constexpr wchar_t SVarFileInfoMissed[] = L"VarFileInfo missed";

// "VS_VERSION_INFO": the optional fixed part, string information and variable information.
class TVersionInfo : public TEvLogVersionBase {
public:
    // Setting True creates the part (a zeroed fixed part, or an empty node), False frees it.
    bool IsFixedFileInfo() const { return FFixedFileInfo != nullptr; }
    void SetIsFixedFileInfo(bool value);
    bool IsStringFileInfo() const { return FStringFileInfo != nullptr; }
    void SetIsStringFileInfo(bool value);
    bool IsVarFileInfo() const { return FVarFileInfo != nullptr; }
    void SetIsVarFileInfo(bool value);
    // Reading a part that is absent raises.
    VS_FIXEDFILEINFO& FixedFileInfo() const;
    TStringFileInfo& StringFileInfo() const;
    TVarFileInfo& VarFileInfo() const;

    uint32_t CalcSize() override;
    void WriteData(msgcore::ByteWriter& w) override;
    std::wstring DefaultKey() const override;
    bool LoadFrom(msgcore::ByteReader& r) override;
    using TEvLogVersionBase::LoadFrom;

    void Assign(const msgcore::VersionInfoTree& node);

private:
    std::unique_ptr<VS_FIXEDFILEINFO> FFixedFileInfo;
    std::unique_ptr<TStringFileInfo> FStringFileInfo;
    std::unique_ptr<TVarFileInfo> FVarFileInfo;
};

static_assert(sizeof(VS_FIXEDFILEINFO) == std::tuple_size_v<msgcore::FixedFileInfoBytes>);

} // namespace tamrel::evlog
