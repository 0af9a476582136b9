// INI files through the system's private-profile functions.
#pragma once

#include "host/Api.h"
#include "host/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tamrel {

inline constexpr wchar_t SIniFileWriteError[] = L"Unable to write to %s";
TAMREL_EXCEPTION_CLASS(EIniFileException, Exception);

// A file name without a directory means a file in the Windows directory, as the system has it.
// The system may cache what is written: UpdateFile flushes it to disk.
class TAMREL_API TIniFile {
public:
    explicit TIniFile(std::wstring fileName) : FFileName(std::move(fileName)) {}

    const std::wstring& FileName() const { return FFileName; }

    // Values are read whole, whatever their length.
    std::wstring ReadString(const std::wstring& section, const std::wstring& ident, const std::wstring& def) const;
    // Raises EIniFileException when the file cannot be written.
    void WriteString(const std::wstring& section, const std::wstring& ident, const std::wstring& value);
    // Decimal or hexadecimal ("0x" or "$"); anything else reads as the default.
    int32_t ReadInteger(const std::wstring& section, const std::wstring& ident, int32_t def) const;
    void WriteInteger(const std::wstring& section, const std::wstring& ident, int32_t value);
    // Stored as 1 / 0; any other integer but 0 reads as true.
    bool ReadBool(const std::wstring& section, const std::wstring& ident, bool def) const;
    void WriteBool(const std::wstring& section, const std::wstring& ident, bool value);

    // The key names of a section, in file order.
    std::vector<std::wstring> ReadSection(const std::wstring& section) const;
    std::vector<std::wstring> ReadSections() const;
    // "key=value" for each key of the section.
    std::vector<std::wstring> ReadSectionValues(const std::wstring& section) const;
    // The lines of a section in a single read of the file, as the system gives them ("key=value";
    // blanks around key and value dropped, quotes kept). Much faster than a read per key.
    std::vector<std::wstring> ReadSectionLines(const std::wstring& section) const;
    bool SectionExists(const std::wstring& section) const;
    bool ValueExists(const std::wstring& section, const std::wstring& ident) const;

    // Raises EIniFileException when the file cannot be written.
    void EraseSection(const std::wstring& section);
    void DeleteKey(const std::wstring& section, const std::wstring& ident);
    void UpdateFile();

private:
    std::wstring FFileName;
};

} // namespace tamrel
