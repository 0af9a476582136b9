#include "tests/support/ComTestSupport.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>

namespace tamrel::test {

TComApartment::TComApartment(DWORD model) : FInitialized(SUCCEEDED(CoInitializeEx(nullptr, model))) {}

TComApartment::~TComApartment() {
    if (FInitialized) CoUninitialize();
}

namespace {

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    wchar_t buffer[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    case REG_DWORD:
        std::swprintf(buffer, 32, L"%lu", size >= 4 ? *reinterpret_cast<const DWORD*>(data.data()) : 0ul);
        return buffer;
    default: {
        std::wstring hex;
        for (DWORD i = 0; i < size; ++i) {
            std::swprintf(buffer, 32, L"%02X", data[i]);
            hex += buffer;
        }
        return hex;
    }
    }
}

void ListKey(HKEY root, const std::wstring& path, std::vector<std::wstring>& out) {
    HKEY key;
    if (RegOpenKeyExW(root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    if (!path.empty()) out.push_back(path);
    std::vector<BYTE> data(4096);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
        LONG r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        if (r == ERROR_MORE_DATA) {
            data.resize(size);
            --i;
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        out.push_back(path + L"|" + std::wstring(name, nameLength) + L"=" + std::to_wstring(type) + L":" +
                      ValueText(type, data, size));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(name, nameLength);
    }
    RegCloseKey(key);
    for (const auto& sub : subkeys) ListKey(root, path.empty() ? sub : path + L"\\" + sub, out);
}

} // namespace

std::vector<std::wstring> RegistryListing(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> out;
    ListKey(root, path, out);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::wstring> ListingMinus(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
    std::vector<std::wstring> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

std::optional<std::wstring> RegString(HKEY root, const std::wstring& key, const std::wstring& valueName) {
    wchar_t buffer[4096];
    DWORD size = sizeof buffer;
    if (RegGetValueW(root, key.c_str(), valueName.empty() ? nullptr : valueName.c_str(), RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool RegKeyExists(HKEY root, const std::wstring& key) {
    HKEY h;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::wstring WithoutLongPathPrefix(const std::wstring& path) {
    return path.rfind(L"\\\\?\\", 0) == 0 ? path.substr(4) : path;
}

TWineTypeLibLanguageAlias::TWineTypeLibLanguageAlias(const std::wstring& libid, const std::wstring& version,
                                                     const std::wstring& lcidHex)
    : FKey(L"TypeLib\\" + libid + L"\\" + version + L"\\0") {
    const wchar_t* platform = sizeof(void*) == 8 ? L"win64" : L"win32";
    auto path = RegString(HKEY_CLASSES_ROOT, L"TypeLib\\" + libid + L"\\" + version + L"\\" + lcidHex + L"\\" + platform);
    if (!path) return;
    std::wstring key = FKey + L"\\" + platform;
    RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, path->c_str(),
                    static_cast<DWORD>((path->size() + 1) * sizeof(wchar_t)));
}

TWineTypeLibLanguageAlias::~TWineTypeLibLanguageAlias() { RegDeleteTreeW(HKEY_CLASSES_ROOT, FKey.c_str()); }

} // namespace tamrel::test
