// The registry through one current key: open a key, then read and write its values.
#pragma once

#include "host/Api.h"
#include "host/Handles.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tamrel {

inline constexpr wchar_t SRegGetDataFailed[] = L"Failed to get data for '%s'";
inline constexpr wchar_t SRegSetDataFailed[] = L"Failed to set data for '%s'";
inline constexpr wchar_t SInvalidRegType[] = L"Invalid data type for '%s'";

// Multi-strings and the other types not listed read as rdUnknown.
enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = rdUnknown;
    int32_t DataSize = 0;
};

// Key paths: one that begins with "\" starts at the root key, any other is relative to the
// current key (or to the root key when none is open). Values are always those of the current
// key; with no key open, reads and writes raise.
class TAMREL_API TRegistry {
public:
    TRegistry();
    explicit TRegistry(REGSAM access);
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    ~TRegistry() = default;

    HKEY RootKey() const { return FRootKey; }
    // Closes the current key when the root changes.
    void SetRootKey(HKEY rootKey);
    REGSAM Access() const { return FAccess; }
    void SetAccess(REGSAM access) { FAccess = access; }
    HKEY CurrentKey() const { return FCurrentKey.Get(); }
    // The current key's path below the root, without a leading backslash.
    const std::wstring& CurrentPath() const { return FCurrentPath; }

    // Makes the key the current one; false (and the current key unchanged) when it cannot be
    // opened (or created, with CanCreate).
    bool OpenKey(const std::wstring& key, bool canCreate);
    // OpenKey for reading only, whatever Access says.
    bool OpenKeyReadOnly(const std::wstring& key);
    // Creates the key (and missing parents) without making it current.
    bool CreateKey(const std::wstring& key);
    void CloseKey();
    bool KeyExists(const std::wstring& key);
    // Deletes the key with everything below it. An empty path deletes nothing.
    bool DeleteKey(const std::wstring& key);

    bool ValueExists(const std::wstring& name) const;
    bool DeleteValue(const std::wstring& name);
    bool GetDataInfo(const std::wstring& name, TRegDataInfo& info) const;
    TRegDataType GetDataType(const std::wstring& name) const;
    // -1 when the value does not exist.
    int32_t GetDataSize(const std::wstring& name) const;

    // A missing value reads as an empty string; a value of another type raises.
    std::wstring ReadString(const std::wstring& name) const;
    void WriteString(const std::wstring& name, const std::wstring& value);
    void WriteExpandString(const std::wstring& name, const std::wstring& value);
    int32_t ReadInteger(const std::wstring& name) const;
    void WriteInteger(const std::wstring& name, int32_t value);
    bool ReadBool(const std::wstring& name) const;
    void WriteBool(const std::wstring& name, bool value);
    // Answers the data size; 0 for a missing value. A value of another type, or larger than
    // the buffer, raises.
    int32_t ReadBinaryData(const std::wstring& name, void* buffer, int32_t bufSize) const;
    void WriteBinaryData(const std::wstring& name, const void* buffer, int32_t bufSize);
    // A missing value reads as an empty list. An empty string cannot be stored in a
    // multi-string (it would end the list), so writing one raises and writes nothing.
    std::vector<std::wstring> ReadMultiString(const std::wstring& name) const;
    void WriteMultiString(const std::wstring& name, const std::vector<std::wstring>& value);

    // The names under the current key; empty with no key open.
    std::vector<std::wstring> GetKeyNames() const;
    std::vector<std::wstring> GetValueNames() const;

private:
    // The key a path starts from, with the path's leading backslash removed.
    HKEY BaseKey(std::wstring& path, bool& relative) const;
    std::wstring JoinPath(const std::wstring& path, bool relative) const;
    // Raw type and size; false when the value cannot be queried.
    bool QueryValue(const std::wstring& name, DWORD& type, DWORD& size) const;
    // The value's bytes when it has one of the given types.
    std::vector<uint8_t> ReadTyped(const std::wstring& name, std::initializer_list<DWORD> types) const;
    void PutData(const std::wstring& name, DWORD type, const void* data, size_t size);

    HKEY FRootKey = HKEY_CURRENT_USER;
    REGSAM FAccess = KEY_ALL_ACCESS;
    TRegKey FCurrentKey;
    std::wstring FCurrentPath;
};

} // namespace tamrel
