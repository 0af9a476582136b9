#include "host/Registry.h"

#include "host/SizeProbe.h"

#include "host/SysUtils.h"

#include <cstring>

namespace tamrel {

namespace {

TRegDataType DataTypeOf(DWORD type) {
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

// The WOW64 view flags of an access mask: they choose the view, not a right.
REGSAM ViewOf(REGSAM access) { return access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY); }

// The whole characters of registry bytes, nulls included; an odd last byte is dropped.
std::wstring TextOf(const std::vector<uint8_t>& data) {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    return text;
}

bool OneOf(DWORD type, std::initializer_list<DWORD> types) {
    for (DWORD t : types)
        if (t == type) return true;
    return false;
}

// Names of subkeys (keys = true) or values, growing the buffer when a name is longer than the
// key's information said (the key may change while we read it).
std::vector<std::wstring> EnumNames(HKEY key, bool keys) {
    std::vector<std::wstring> names;
    if (!key) return names;
    DWORD maxKey = 0, maxValue = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxKey, nullptr, nullptr, &maxValue, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::wstring buffer((keys ? maxKey : maxValue) + 1, L'\0');
    for (DWORD index = 0;;) {
        DWORD len = static_cast<DWORD>(buffer.size());
        LSTATUS rc = keys ? RegEnumKeyExW(key, index, buffer.data(), &len, nullptr, nullptr, nullptr, nullptr)
                          : RegEnumValueW(key, index, buffer.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2 + 256);
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        names.emplace_back(buffer.data(), len);
        ++index;
    }
    return names;
}

} // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : FAccess(access) {}

void TRegistry::SetRootKey(HKEY rootKey) {
    if (rootKey == FRootKey) return;
    CloseKey();
    FRootKey = rootKey;
}

HKEY TRegistry::BaseKey(std::wstring& path, bool& relative) const {
    relative = path.empty() || path[0] != L'\\';
    if (!relative) path.erase(0, 1);
    return relative && FCurrentKey ? FCurrentKey.Get() : FRootKey;
}

std::wstring TRegistry::JoinPath(const std::wstring& path, bool relative) const {
    if (!relative || !FCurrentKey || FCurrentPath.empty()) return path;
    if (path.empty()) return FCurrentPath;
    return FCurrentPath + L"\\" + path;
}

bool TRegistry::OpenKey(const std::wstring& key, bool canCreate) {
    std::wstring path = key;
    bool relative;
    HKEY base = BaseKey(path, relative);
    HKEY opened = nullptr;
    LSTATUS rc = (!canCreate || path.empty())
                     ? RegOpenKeyExW(base, path.c_str(), 0, FAccess, &opened)
                     : RegCreateKeyExW(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                                       &opened, nullptr);
    if (rc != ERROR_SUCCESS) return false;
    std::wstring newPath = JoinPath(path, relative);
    FCurrentKey.Reset(opened);
    FCurrentPath = std::move(newPath);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::wstring& key) {
    REGSAM saved = FAccess;
    FAccess = KEY_READ | ViewOf(saved);
    bool ok = OpenKey(key, false);
    FAccess = saved;
    return ok;
}

bool TRegistry::CreateKey(const std::wstring& key) {
    std::wstring path = key;
    bool relative;
    HKEY base = BaseKey(path, relative);
    TRegKey created;
    return RegCreateKeyExW(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr, created.Put(),
                           nullptr) == ERROR_SUCCESS;
}

void TRegistry::CloseKey() {
    FCurrentKey.Reset();
    FCurrentPath.clear();
}

bool TRegistry::KeyExists(const std::wstring& key) {
    std::wstring path = key;
    bool relative;
    HKEY base = BaseKey(path, relative);
    TRegKey opened;
    LSTATUS rc = RegOpenKeyExW(base, path.c_str(), 0, KEY_QUERY_VALUE | ViewOf(FAccess), opened.Put());
    // A key we may not read still exists.
    return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

bool TRegistry::DeleteKey(const std::wstring& key) {
    std::wstring path = key;
    bool relative;
    HKEY base = BaseKey(path, relative);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    // An empty path would name the base key itself: the current key or a whole root.
    if (path.empty()) return false;
    {
        TRegKey target;
        if (RegOpenKeyExW(base, path.c_str(), 0, KEY_ALL_ACCESS | ViewOf(FAccess), target.Put()) != ERROR_SUCCESS)
            return false;
        if (RegDeleteTreeW(target.Get(), nullptr) != ERROR_SUCCESS) return false;
    }
    return RegDeleteKeyExW(base, path.c_str(), ViewOf(FAccess), 0) == ERROR_SUCCESS;
}

bool TRegistry::QueryValue(const std::wstring& name, DWORD& type, DWORD& size) const {
    size = 0;
    return FCurrentKey &&
           RegQueryValueExW(FCurrentKey.Get(), name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::wstring& name) const {
    DWORD type, size;
    return QueryValue(name, type, size);
}

bool TRegistry::DeleteValue(const std::wstring& name) {
    return FCurrentKey && RegDeleteValueW(FCurrentKey.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const std::wstring& name, TRegDataInfo& info) const {
    DWORD type, size;
    if (!QueryValue(name, type, size)) {
        info = {};
        return false;
    }
    info.RegData = DataTypeOf(type);
    info.DataSize = static_cast<int32_t>(size);
    return true;
}

TRegDataType TRegistry::GetDataType(const std::wstring& name) const {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

int32_t TRegistry::GetDataSize(const std::wstring& name) const {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

std::vector<uint8_t> TRegistry::ReadTyped(const std::wstring& name, std::initializer_list<DWORD> types) const {
    if (!FCurrentKey) throw ERegistryException(SRegGetDataFailed, name);
    // The value may change between sizing and reading: the probe sizes again until it fits.
    std::vector<BYTE> data;
    DWORD type = REG_NONE, got = 0;
    LSTATUS rc = CallWithSizeProbe(data, got, [&](BYTE* buffer, DWORD& size) {
        return static_cast<DWORD>(RegQueryValueExW(FCurrentKey.Get(), name.c_str(), nullptr, &type, buffer, &size));
    });
    if (rc != ERROR_SUCCESS) throw ERegistryException(SRegGetDataFailed, name);
    if (!OneOf(type, types)) throw ERegistryException(SInvalidRegType, name);
    data.resize(got);
    return data;
}

void TRegistry::PutData(const std::wstring& name, DWORD type, const void* data, size_t size) {
    if (!FCurrentKey || size > MAXDWORD ||
        RegSetValueExW(FCurrentKey.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                       static_cast<DWORD>(size)) != ERROR_SUCCESS)
        throw ERegistryException(SRegSetDataFailed, name);
}

std::wstring TRegistry::ReadString(const std::wstring& name) const {
    if (GetDataSize(name) < 0) return {};
    std::vector<uint8_t> data = ReadTyped(name, {REG_SZ, REG_EXPAND_SZ});
    std::wstring text = TextOf(data);
    // The text ends at its first null, whether the value stores one or not.
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return text;
}

void TRegistry::WriteString(const std::wstring& name, const std::wstring& value) {
    PutData(name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

void TRegistry::WriteExpandString(const std::wstring& name, const std::wstring& value) {
    PutData(name, REG_EXPAND_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

int32_t TRegistry::ReadInteger(const std::wstring& name) const {
    std::vector<uint8_t> data = ReadTyped(name, {REG_DWORD});
    int32_t value = 0;
    if (data.size() != sizeof value) throw ERegistryException(SRegGetDataFailed, name);
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

void TRegistry::WriteInteger(const std::wstring& name, int32_t value) {
    PutData(name, REG_DWORD, &value, sizeof value);
}

bool TRegistry::ReadBool(const std::wstring& name) const { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(const std::wstring& name, bool value) { WriteInteger(name, value ? 1 : 0); }

int32_t TRegistry::ReadBinaryData(const std::wstring& name, void* buffer, int32_t bufSize) const {
    DWORD type, size;
    if (!QueryValue(name, type, size)) return 0;
    if (DataTypeOf(type) != rdBinary && DataTypeOf(type) != rdUnknown)
        throw ERegistryException(SInvalidRegType, name);
    if (bufSize < 0 || size > static_cast<DWORD>(bufSize)) throw ERegistryException(SRegGetDataFailed, name);
    DWORD got = static_cast<DWORD>(bufSize);
    if (RegQueryValueExW(FCurrentKey.Get(), name.c_str(), nullptr, &type, static_cast<BYTE*>(buffer), &got) !=
        ERROR_SUCCESS)
        throw ERegistryException(SRegGetDataFailed, name);
    return static_cast<int32_t>(got);
}

void TRegistry::WriteBinaryData(const std::wstring& name, const void* buffer, int32_t bufSize) {
    if (bufSize < 0) throw ERegistryException(SRegSetDataFailed, name);
    PutData(name, REG_BINARY, buffer, static_cast<size_t>(bufSize));
}

std::vector<std::wstring> TRegistry::ReadMultiString(const std::wstring& name) const {
    std::vector<std::wstring> list;
    if (GetDataSize(name) < 0) return list;
    std::vector<uint8_t> data = ReadTyped(name, {REG_MULTI_SZ});
    std::wstring all = TextOf(data);
    // Strings end at nulls; the list ends at an empty string or at the end of the data.
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos) end = all.size();
        if (end == start) break;
        list.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

void TRegistry::WriteMultiString(const std::wstring& name, const std::vector<std::wstring>& value) {
    std::wstring data;
    for (const std::wstring& s : value) {
        if (s.empty() || s.find(L'\0') != std::wstring::npos) throw ERegistryException(SRegSetDataFailed, name);
        data += s;
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    PutData(name, REG_MULTI_SZ, data.data(), data.size() * sizeof(wchar_t));
}

std::vector<std::wstring> TRegistry::GetKeyNames() const { return EnumNames(FCurrentKey.Get(), true); }

std::vector<std::wstring> TRegistry::GetValueNames() const { return EnumNames(FCurrentKey.Get(), false); }

} // namespace tamrel
