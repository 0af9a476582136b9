#include "ide/msgtable/model/EvLog_Common.h"

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

} // namespace tamrel::evlog
