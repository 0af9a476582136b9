#include "host/IniFiles.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace tamrel {

namespace {

// GetPrivateProfileStringW with a buffer that grows until the answer fits. The function says
// "too small" by filling the buffer: size - 1 for a value, size - 2 for a list of names.
std::wstring ProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                           const std::wstring& fileName) {
    const bool list = section == nullptr || key == nullptr;
    std::wstring buffer(1024, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD n = GetPrivateProfileStringW(section, key, def, buffer.data(), size, fileName.c_str());
        if (n < size - (list ? 2 : 1)) {
            buffer.resize(n);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

// GetPrivateProfileSectionW, grown the same way; it says "too small" with size - 2. A section
// is never longer than the file, so a buffer of the file's size takes it in one call (left
// uninitialised: the system fills what it answers).
std::wstring ProfileSection(const std::wstring& section, const std::wstring& fileName) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    size_t size = 4096;
    if (GetFileAttributesExW(fileName.c_str(), GetFileExInfoStandard, &info) && info.nFileSizeHigh == 0)
        size = std::max<size_t>(size, info.nFileSizeLow + 2);
    for (;;) {
        std::unique_ptr<wchar_t[]> buffer(new wchar_t[size]);
        DWORD n = GetPrivateProfileSectionW(section.c_str(), buffer.get(), static_cast<DWORD>(size), fileName.c_str());
        if (n < size - 2) return std::wstring(buffer.get(), n);
        size *= 2;
    }
}

// A double-null list of names: "a\0b\0\0" (the final nulls already cut off).
std::vector<std::wstring> SplitNames(const std::wstring& names) {
    std::vector<std::wstring> list;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(L'\0', start);
        if (end == std::wstring::npos) end = names.size();
        if (end > start) list.push_back(names.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

} // namespace

std::wstring TIniFile::ReadString(const std::wstring& section, const std::wstring& ident,
                                  const std::wstring& def) const {
    return ProfileString(section.c_str(), ident.c_str(), def.c_str(), FFileName);
}

void TIniFile::WriteString(const std::wstring& section, const std::wstring& ident, const std::wstring& value) {
    if (!WritePrivateProfileStringW(section.c_str(), ident.c_str(), value.c_str(), FFileName.c_str()))
        throw EIniFileException(SIniFileWriteError, FFileName);
}

int32_t TIniFile::ReadInteger(const std::wstring& section, const std::wstring& ident, int32_t def) const {
    return StrToIntDef(ReadString(section, ident, L""), def);
}

void TIniFile::WriteInteger(const std::wstring& section, const std::wstring& ident, int32_t value) {
    WriteString(section, ident, IntToStr(value));
}

bool TIniFile::ReadBool(const std::wstring& section, const std::wstring& ident, bool def) const {
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::wstring& section, const std::wstring& ident, bool value) {
    WriteString(section, ident, value ? L"1" : L"0");
}

std::vector<std::wstring> TIniFile::ReadSection(const std::wstring& section) const {
    return SplitNames(ProfileString(section.c_str(), nullptr, L"", FFileName));
}

std::vector<std::wstring> TIniFile::ReadSections() const {
    return SplitNames(ProfileString(nullptr, nullptr, L"", FFileName));
}

std::vector<std::wstring> TIniFile::ReadSectionValues(const std::wstring& section) const {
    std::vector<std::wstring> values;
    for (const std::wstring& key : ReadSection(section)) values.push_back(key + L"=" + ReadString(section, key, L""));
    return values;
}

std::vector<std::wstring> TIniFile::ReadSectionLines(const std::wstring& section) const {
    return SplitNames(ProfileSection(section, FFileName));
}

bool TIniFile::SectionExists(const std::wstring& section) const { return !ReadSection(section).empty(); }

bool TIniFile::ValueExists(const std::wstring& section, const std::wstring& ident) const {
    for (const std::wstring& key : ReadSection(section))
        if (AnsiSameText(key, ident)) return true;
    return false;
}

void TIniFile::EraseSection(const std::wstring& section) {
    if (!WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, FFileName.c_str()))
        throw EIniFileException(SIniFileWriteError, FFileName);
}

void TIniFile::DeleteKey(const std::wstring& section, const std::wstring& ident) {
    WritePrivateProfileStringW(section.c_str(), ident.c_str(), nullptr, FFileName.c_str());
}

void TIniFile::UpdateFile() { WritePrivateProfileStringW(nullptr, nullptr, nullptr, FFileName.c_str()); }

} // namespace tamrel
