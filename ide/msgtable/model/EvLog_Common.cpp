#include "ide/msgtable/model/EvLog_Common.h"

#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel::evlog {

uint32_t TResIdText::ID() const {
    if (FIsString) throw Exception(SIdTextIsString);
    return FID;
}

const std::wstring& TResIdText::Text() const {
    if (!FIsString) throw Exception(SIdTextIsDword);
    return FText;
}

void TResIdText::SetID(uint32_t id) {
    FID = id;
    FIsString = false;
    Changed();
}

void TResIdText::SetText(const std::wstring& text) {
    FText = text;
    FIsString = true;
    Changed();
}

void TResIdText::Assign(const TResIdText& source) {
    if (source.IsString()) SetText(source.Text());
    else SetID(source.ID());
}

void TResIdText::Changed() {
    if (FOnChange) FOnChange(this);
}

const wchar_t* EventLogName(TEvLogEventType type) {
    static const wchar_t* const names[] = {L"Application", L"System", L"Security"};
    return type <= etSecurity ? names[type] : names[etApplication];
}

bool IsValidIdentifier(std::wstring_view text) {
    auto letter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'; };
    if (text.empty() || !letter(text[0])) return false;
    for (wchar_t c : text.substr(1))
        if (!letter(c) && !(c >= L'0' && c <= L'9')) return false;
    return true;
}

namespace {

// The reserved words of the two compilers the unit is written for. At, on and the visibility
// words act as such only in places, but one of them lists them among its reserved words, and
// otherwise is reserved by the other.
constexpr std::wstring_view ReservedWords =
    L"and array as asm at automated begin case class const constructor destructor dispinterface div do "
    L"downto else end except exports file finalization finally for function goto if implementation in "
    L"inherited initialization inline interface is label library mod nil not object of on or otherwise "
    L"packed private procedure program property protected public published raise record repeat "
    L"resourcestring set shl shr string then threadvar to try type unit until uses var while with xor";

// What the unit of templates/PasSource.pas and its two method templates declare at the unit's
// level, and what they take from Windows and System: kept with the templates. The method's own
// parameters and locals may share a constant's name (they hide it only inside the method).
constexpr std::wstring_view UnitIdentifiers =
    L"EventSourceName EventJournalName EventSourceKey TEventSourceReport Report Windows Word DWORD THandle "
    L"PChar Pointer Integer Length High SetLength Exit RegisterEventSource ReportEvent DeregisterEventSource";

// Words: separated by single blanks.
bool Listed(std::wstring_view words, std::wstring_view name) {
    for (size_t start = 0; start < words.size();) {
        const size_t end = std::min(words.find(L' ', start), words.size());
        if (SameText(words.substr(start, end - start), name)) return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::wstring SymbolNameError(std::wstring_view name) {
    const std::wstring text(name);
    if (!IsValidIdentifier(name)) return L"\"" + text + SNotValidIdentifier;
    if (Listed(ReservedWords, name)) return L"\"" + text + L"\" is a reserved word of Object Pascal";
    if (Listed(UnitIdentifiers, name)) return L"\"" + text + L"\" is a name the generated unit uses itself";
    return {};
}

} // namespace tamrel::evlog
