// Texts of the debug library's log: conversions, quoting, numbers, the names of states and
// controls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tamreldbg {

std::string Utf8(std::wstring_view s);
std::wstring Widen(std::string_view s, UINT codePage);

// A text in double quotes with \" \\ \r \n \t \xNN escapes; QuoteW and QuoteA answer nil for nil.
std::string Quote(std::wstring_view s);
std::string QuoteW(const wchar_t* s);
std::string QuoteA(const char* s);
// The texts of a double-NUL-terminated list, comma-separated and quoted; nil for nil.
std::string JoinMultiSz(const wchar_t* p);

std::string Dec(uint64_t v);
std::string Hex(uint64_t v); // 0x..., upper-case digits
std::string Ptr(const void* p);

std::wstring Lower(std::wstring s);
bool SameName(const std::wstring& a, const std::wstring& b);

// "RUNNING(4)"; a state parsed from its name (any case) or its number.
std::string StateText(DWORD state);
bool ParseState(const std::wstring& text, DWORD& state);
// A number as C reads it (decimal, 0x hexadecimal), the whole text.
bool ParseCode(const std::wstring& text, DWORD& code);
// "1(STOP)", "200(CUSTOM)".
std::string ControlText(DWORD code);
// The accept bit a named control needs; 0 = always deliverable (interrogate).
DWORD AcceptBitOf(DWORD code);

// The local time as HH:MM:SS.mmm.
std::string NowText();
std::wstring EnvironmentValue(const wchar_t* name);

} // namespace tamreldbg
