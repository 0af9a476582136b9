// Helpers for tests of COM servers under Wine: the calling thread's apartment, registry listings
// for before-and-after comparisons, and the prefix settings a COM service test needs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tamrel::test {

// The calling thread's apartment for the life of the object. The multithreaded one lets event
// sinks of the test be called on COM's threads without a message loop.
class TComApartment {
public:
    explicit TComApartment(DWORD model = COINIT_MULTITHREADED);
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    bool FInitialized;
};

// Every key below Root\Path, recursively, as sorted lines "key" and "key|value=type:data".
std::vector<std::wstring> RegistryListing(HKEY root, const std::wstring& path = L"");
// The lines of one listing that the other lacks.
std::vector<std::wstring> ListingMinus(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b);
// A string value (ValueName empty: the default value); nothing when the key or value is absent.
std::optional<std::wstring> RegString(HKEY root, const std::wstring& key, const std::wstring& valueName = L"");
bool RegKeyExists(HKEY root, const std::wstring& key);
// A path without the "\\?\" prefix Wine puts on registered type-library paths.
std::wstring WithoutLongPathPrefix(const std::wstring& path);

// Wine's type-library marshaler reads a library's path only under language 0
// (TypeLib\{libid}\<version>\0\win64); a library registered under another language gets an
// entry there too while the object lives, so that its interfaces can be marshalled.
class TWineTypeLibLanguageAlias {
public:
    TWineTypeLibLanguageAlias(const std::wstring& libid, const std::wstring& version, const std::wstring& lcidHex);
    ~TWineTypeLibLanguageAlias();
    TWineTypeLibLanguageAlias(const TWineTypeLibLanguageAlias&) = delete;
    TWineTypeLibLanguageAlias& operator=(const TWineTypeLibLanguageAlias&) = delete;

private:
    std::wstring FKey;
};

} // namespace tamrel::test
