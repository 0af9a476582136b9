// The template message library. The message-library builder copies this DLL and replaces all of
// its resources with a document's message tables, version and attributes; the copy then
// registers itself as the message file of the document's event source (regsvr32).
//
// It ends up beside user programs: plain C++ on the system's own DLLs (KERNEL32, ADVAPI32,
// msvcrt), linked statically, and no exception ever leaves an export. The exports and their
// ordinals come from the .def file the build writes.
#include "host/Handles.h"
#include "ide/msgtable/model/core/VersionCodec.h"

#include <windows.h>
#include <olectl.h>

#include <cwchar>
#include <string>

namespace {

using namespace tamrel::msgcore;

const wchar_t* const kJournals[] = {L"Application", L"System", L"Security"};
const size_t kMaxSourceLength = 255;

// What the library says of itself in its "EVLOG_ATTRIBUTES" resource.
struct TEvLogAttributes {
    size_t EventType = 0; // index into kJournals
    std::wstring EventSource;
    long CategoryCount = 0;
};

HMODULE ThisLibrary() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisLibrary), &module);
    return module;
}

// A decimal count; 0 when the text is not a number.
long CountOf(const std::u16string& text) {
    const std::wstring wide(text.begin(), text.end());
    wchar_t* end = nullptr;
    const long value = std::wcstol(wide.c_str(), &end, 10);
    return !wide.empty() && end && *end == 0 ? value : 0;
}

bool LoadAttributes(TEvLogAttributes& attributes) {
    HMODULE module = ThisLibrary();
    HRSRC info = FindResourceW(module, L"EVLOG_ATTRIBUTES", MAKEINTRESOURCEW(10));
    HGLOBAL handle = info ? LoadResource(module, info) : nullptr;
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) return false;
    try {
        ByteReader r(static_cast<const uint8_t*>(data), SizeofResource(module, info));
        VersionStringTable table;
        if (!ReadVersionStringTable(r, table)) return false;
        for (const VersionString& s : table.Items) {
            if (s.Head.Key == u"EventType") {
                for (size_t j = 0; j < 3; ++j)
                    if (std::wstring(s.Value.begin(), s.Value.end()) == kJournals[j]) attributes.EventType = j;
            } else if (s.Head.Key == u"EventSource") {
                attributes.EventSource.assign(s.Value.begin(), s.Value.end());
            } else if (s.Head.Key == u"CategoryCount") {
                attributes.CategoryCount = CountOf(s.Value);
            }
        }
    } catch (const FormatError&) {
        return false;
    }
    return true;
}

// An empty source, or one with a backslash, would name the journal's key itself (or another
// key below it); the event log takes names of at most 255 characters.
bool ValidSource(const std::wstring& source) {
    return !source.empty() && source.size() <= kMaxSourceLength && source.find(L'\\') == std::wstring::npos;
}

std::wstring SourceKey(const TEvLogAttributes& attributes) {
    return std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + kJournals[attributes.EventType] + L"\\" +
           attributes.EventSource;
}

// The library's full path, however long.
bool LibraryPath(std::wstring& path) {
    path.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(ThisLibrary(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return false;
        if (n < path.size()) {
            path.resize(n);
            return true;
        }
        path.assign(path.size() * 2, L'\0');
    }
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG SetNumber(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG DeleteValue(HKEY key, const wchar_t* name) {
    const LONG error = RegDeleteValueW(key, name);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

// Deletes a key with its subkeys to any depth.
LONG DeleteKeyTree(HKEY parent, const std::wstring& name) {
    {
        tamrel::TRegKey key;
        LONG error = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | DELETE, key.Put());
        if (error != ERROR_SUCCESS) return error;
        for (;;) {
            wchar_t sub[256];
            DWORD length = 256;
            error = RegEnumKeyExW(key.Get(), 0, sub, &length, nullptr, nullptr, nullptr, nullptr);
            if (error == ERROR_NO_MORE_ITEMS) break;
            if (error == ERROR_SUCCESS) error = DeleteKeyTree(key.Get(), sub);
            if (error != ERROR_SUCCESS) return error;
        }
    } // a key is deleted once no handle of ours holds it open
    return RegDeleteKeyW(parent, name.c_str());
}

HRESULT Register() {
    TEvLogAttributes attributes;
    if (!LoadAttributes(attributes) || !ValidSource(attributes.EventSource)) return SELFREG_E_CLASS;
    std::wstring path;
    if (!LibraryPath(path)) return HRESULT_FROM_WIN32(GetLastError());
    tamrel::TRegKey owner;
    LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, SourceKey(attributes).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, owner.Put(), nullptr);
    const HKEY key = owner.Get();
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    if (attributes.CategoryCount > 0) {
        error = SetNumber(key, L"CategoryCount", static_cast<DWORD>(attributes.CategoryCount));
        if (error == ERROR_SUCCESS) error = SetString(key, L"CategoryMessageFile", path);
    } else {
        error = DeleteValue(key, L"CategoryCount");
        if (error == ERROR_SUCCESS) error = DeleteValue(key, L"CategoryMessageFile");
    }
    if (error == ERROR_SUCCESS) error = SetString(key, L"EventMessageFile", path);
    if (error == ERROR_SUCCESS) error = SetNumber(key, L"TypesSupported", 7);
    return HRESULT_FROM_WIN32(error);
}

HRESULT Unregister() {
    TEvLogAttributes attributes;
    if (!LoadAttributes(attributes) || !ValidSource(attributes.EventSource)) return SELFREG_E_CLASS;
    const LONG error = DeleteKeyTree(HKEY_LOCAL_MACHINE, SourceKey(attributes));
    return error == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        return Register();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        return Unregister();
    } catch (...) {
        return E_UNEXPECTED;
    }
}
