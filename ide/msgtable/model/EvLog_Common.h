// Small shared types of the message-table model: resource identifiers, the journals, the data
// sink of the resource writers and the identifier test of symbolic message names.
#pragma once

#include "host/Classes.h"
#include "host/Closure.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tamrel::evlog {

inline constexpr wchar_t SIdTextIsString[] = L"IdText is saved as string. Use Text insted of ID";
inline constexpr wchar_t SIdTextIsDword[] = L"IdText is saved as DWORD. Use ID instead of Text";
// After the name in double quotes.
inline constexpr wchar_t SNotValidIdentifier[] = L"\" is not a valid identifier";

// A resource type, name or language: a number or a string. Files store numbers as 16 bits.
class TResIdText : public TObject {
public:
    TResIdText() = default;

    // Reading the form that is not stored raises.
    uint32_t ID() const;
    const std::wstring& Text() const;
    bool IsString() const { return FIsString; }

    // Each assignment fires OnChange.
    void SetID(uint32_t id);
    void SetText(const std::wstring& text);
    // Takes the string or the number, whichever Source holds.
    void Assign(const TResIdText& source);

    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

private:
    void Changed();

    uint32_t FID = 0;
    std::wstring FText;
    bool FIsString = false;
    TNotifyEvent FOnChange;
};

// The journal a message library registers under.
enum TEvLogEventType : uint8_t { etApplication, etSystem, etSecurity };

// "Application", "System", "Security".
const wchar_t* EventLogName(TEvLogEventType type);

// Receives the bytes a writer has serialised; the receiver copies what it keeps.
using TEvLogSetDataProc = std::function<void(const void* data, int32_t dataSize)>;

// Not empty; A-Z, a-z or "_" first, then also 0-9 (ASCII only).
bool IsValidIdentifier(std::wstring_view text);

// Why the generated source unit could not declare a constant of this name, empty when it can:
// it is no identifier, a reserved word of Object Pascal, or an identifier the unit declares
// itself or takes from the unit it uses (a constant would hide it from the unit's own code).
// Pascal ignores case, and so does this test.
std::wstring SymbolNameError(std::wstring_view name);

} // namespace tamrel::evlog
