// Run-time helpers of the host layer: exceptions, formatting, conversions, the command line.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "host/Api.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Exceptions
// ---------------------------------------------------------------------------------------------

struct TFormatArg;
TAMREL_API std::wstring FormatArgs(std::wstring_view format, const std::vector<TFormatArg>& args);

// The host's exception class: a message in UTF-16. what() answers the message in UTF-8.
class TAMREL_API Exception : public std::exception {
public:
    explicit Exception(std::wstring message);
    // Formatted constructor: Exception(L"%s failed to stop", name).
    template <class A0, class... A>
    Exception(std::wstring_view format, const A0& a0, const A&... args);
    ~Exception() override;

    const std::wstring& Message() const { return FMessage; }
    void SetMessage(std::wstring message);
    const char* what() const noexcept override;
    // The name of the most derived exception class, as the host shows it ("EOSError").
    virtual const wchar_t* ClassName() const { return L"Exception"; }

private:
    std::wstring FMessage;
    mutable std::string FWhat;
};

#define TAMREL_EXCEPTION_CLASS(Name, Base)                                                        \
    class Name : public Base {                                                                   \
    public:                                                                                      \
        using Base::Base;                                                                        \
        const wchar_t* ClassName() const override { return L## #Name; }                          \
    }

// The silent abort: ends an operation without anything being shown.
TAMREL_EXCEPTION_CLASS(EAbort, Exception);
TAMREL_EXCEPTION_CLASS(EConvertError, Exception);
TAMREL_EXCEPTION_CLASS(EInvalidCast, Exception);
TAMREL_EXCEPTION_CLASS(EListError, Exception);
TAMREL_EXCEPTION_CLASS(EStreamError, Exception);
TAMREL_EXCEPTION_CLASS(EReadError, EStreamError);
TAMREL_EXCEPTION_CLASS(EWriteError, EStreamError);
TAMREL_EXCEPTION_CLASS(EFCreateError, EStreamError);
TAMREL_EXCEPTION_CLASS(EFOpenError, EStreamError);
TAMREL_EXCEPTION_CLASS(EResNotFound, Exception);
TAMREL_EXCEPTION_CLASS(EOutOfResources, Exception);
TAMREL_EXCEPTION_CLASS(EComponentError, Exception);
TAMREL_EXCEPTION_CLASS(EClassNotFound, Exception);
TAMREL_EXCEPTION_CLASS(EPropertyError, Exception);
TAMREL_EXCEPTION_CLASS(EThread, Exception);
TAMREL_EXCEPTION_CLASS(ERegistryException, Exception);
TAMREL_EXCEPTION_CLASS(EInvalidOperation, Exception);

// An operating-system error with the system's message text for its code.
class EOSError : public Exception {
public:
    EOSError(DWORD code, std::wstring message) : Exception(std::move(message)), FErrorCode(code) {}
    DWORD ErrorCode() const { return FErrorCode; }
    const wchar_t* ClassName() const override { return L"EOSError"; }

private:
    DWORD FErrorCode;
};

// Host resource texts used by the OS-error exception.
inline constexpr wchar_t SOSError[] = L"System Error.  Code: %d.\r\n%s";
inline constexpr wchar_t SUnkOSError[] = L"A call to an OS function failed";
inline constexpr wchar_t SListIndexError[] = L"List index out of bounds (%d)";

[[noreturn]] TAMREL_API void Abort();
// Raises EOSError for GetLastError() (or for the given code).
[[noreturn]] TAMREL_API void RaiseLastOSError();
[[noreturn]] TAMREL_API void RaiseLastOSError(DWORD code);
// Raises when the call failed: Win32Check(SomeCall(...)).
TAMREL_API BOOL Win32Check(BOOL result);
// The system's message text for an error code, without trailing blanks, line breaks and dot.
TAMREL_API std::wstring SysErrorMessage(DWORD code);
// The text RaiseLastOSError would carry for a code (code 0: the unknown-error text).
TAMREL_API std::wstring OSErrorText(DWORD code);

// ---------------------------------------------------------------------------------------------
// Format with the host's specifiers: %s %d %u %x %p %e %f %g %n %m, with an optional index
// ("%0:s"), left alignment ("%-8s"), width ("%2d", "%*d") and precision ("%.8x", "%.3s").
// ---------------------------------------------------------------------------------------------

struct TFormatArg {
    enum Kind { kInt, kUInt, kFloat, kString, kPointer } kind;
    int64_t i = 0;
    uint64_t u = 0;
    double f = 0;
    std::wstring s;
    const void* p = nullptr;

    TFormatArg(int v) : kind(kInt), i(v) {}
    TFormatArg(long v) : kind(kInt), i(v) {}
    TFormatArg(long long v) : kind(kInt), i(v) {}
    TFormatArg(unsigned v) : kind(kUInt), u(v) {}
    TFormatArg(unsigned long v) : kind(kUInt), u(v) {}
    TFormatArg(unsigned long long v) : kind(kUInt), u(v) {}
    TFormatArg(double v) : kind(kFloat), f(v) {}
    TFormatArg(const std::wstring& v) : kind(kString), s(v) {}
    TFormatArg(std::wstring_view v) : kind(kString), s(v) {}
    TFormatArg(const wchar_t* v) : kind(kString), s(v ? v : L"") {}
    TFormatArg(wchar_t v) : kind(kString), s(1, v) {}
    TFormatArg(const void* v) : kind(kPointer), p(v) {}
    TFormatArg(bool) = delete;
};

template <class... A> std::wstring Format(std::wstring_view format, const A&... args) {
    return FormatArgs(format, std::vector<TFormatArg>{TFormatArg(args)...});
}

template <class A0, class... A>
Exception::Exception(std::wstring_view format, const A0& a0, const A&... args)
    : Exception(Format(format, a0, args...)) {}

// ---------------------------------------------------------------------------------------------
// Conversions and text
// ---------------------------------------------------------------------------------------------

TAMREL_API std::wstring IntToStr(int64_t value);
TAMREL_API std::wstring UIntToStr(uint64_t value);
// Upper-case hexadecimal with at least Digits digits.
TAMREL_API std::wstring IntToHex(uint64_t value, int digits);
// Decimal, or hexadecimal with "$" or "0x"; raises EConvertError ("'%s' is not a valid integer value").
TAMREL_API int32_t StrToInt(std::wstring_view text);
TAMREL_API int64_t StrToInt64(std::wstring_view text);
TAMREL_API int32_t StrToIntDef(std::wstring_view text, int32_t def);
TAMREL_API bool TryStrToInt(std::wstring_view text, int32_t& value);
TAMREL_API bool TryStrToInt64(std::wstring_view text, int64_t& value);

// Removes characters up to and including the blank (code <= 32) from the ends.
TAMREL_API std::wstring Trim(std::wstring_view s);
TAMREL_API std::wstring TrimLeft(std::wstring_view s);
TAMREL_API std::wstring TrimRight(std::wstring_view s);
// ASCII case mapping only.
TAMREL_API std::wstring UpperCase(std::wstring_view s);
TAMREL_API std::wstring LowerCase(std::wstring_view s);
// Locale-aware case mapping.
TAMREL_API std::wstring AnsiUpperCase(std::wstring_view s);
TAMREL_API std::wstring AnsiLowerCase(std::wstring_view s);
// ASCII case-insensitive comparison: <0, 0, >0.
TAMREL_API int CompareText(std::wstring_view a, std::wstring_view b);
TAMREL_API bool SameText(std::wstring_view a, std::wstring_view b);
// Case-sensitive ordinal comparison.
TAMREL_API int CompareStr(std::wstring_view a, std::wstring_view b);
// Locale-aware comparisons (the user's locale, as the host does it).
TAMREL_API int AnsiCompareText(std::wstring_view a, std::wstring_view b);
TAMREL_API int AnsiCompareStr(std::wstring_view a, std::wstring_view b);
TAMREL_API bool AnsiSameText(std::wstring_view a, std::wstring_view b);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
TAMREL_API std::wstring GUIDToString(const GUID& guid);
// Raises EConvertError ("'%s' is not a valid GUID value") for malformed text.
TAMREL_API GUID StringToGUID(std::wstring_view text);
TAMREL_API bool IsEqualGUIDs(const GUID& a, const GUID& b);

// The host's date-time value: days since 1899-12-30 in the integral part, time of day in the
// fraction; an 8-byte floating-point value.
using TDateTime = double;
TAMREL_API TDateTime Now();
TAMREL_API TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);

// Text in the system's ANSI code page.
TAMREL_API std::string WideToAnsi(std::wstring_view s, UINT codePage = CP_ACP);
TAMREL_API std::wstring AnsiToWide(std::string_view s, UINT codePage = CP_ACP);
// Whether the code page holds every character of the text (no default character, no best fit).
TAMREL_API bool FitsCodePage(std::wstring_view s, UINT codePage = CP_ACP);
TAMREL_API std::string WideToUtf8(std::wstring_view s);
TAMREL_API std::wstring Utf8ToWide(std::string_view s);

// Milliseconds from start to now on the tick counter, right across its wrap-around.
TAMREL_API DWORD TicksSince(DWORD start);
inline DWORD TickDiff(DWORD start, DWORD end) { return end - start; }

// ---------------------------------------------------------------------------------------------
// The command line, parsed with the host's rules: blanks separate arguments, double quotes
// group (and are removed), "" inside quotes is not special. ParamStr(0) is the full path of the
// program file, whatever the command line says.
// ---------------------------------------------------------------------------------------------

TAMREL_API int ParamCount();
TAMREL_API std::wstring ParamStr(int index);
// The arguments of a command line text (index 0 is the first word), host rules.
TAMREL_API std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Paths
TAMREL_API std::wstring ExtractFileName(std::wstring_view path);
TAMREL_API std::wstring ExtractFilePath(std::wstring_view path); // with the trailing backslash
TAMREL_API std::wstring ExtractFileExt(std::wstring_view path);
TAMREL_API std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext);
TAMREL_API std::wstring IncludeTrailingPathDelimiter(std::wstring_view path);
// The full path of a file name, a relative one taken from the current folder (as the file
// functions take it; the profile functions would look for a bare name in the Windows folder).
// The name as it is when the system makes no path of it.
TAMREL_API std::wstring ExpandFileName(const std::wstring& fileName);
TAMREL_API bool FileExists(const std::wstring& path);
TAMREL_API bool DirectoryExists(const std::wstring& path);
TAMREL_API std::wstring GetModuleFileNameStr(HMODULE module);
// The module (exe or DLL) that holds the calling code.
TAMREL_API HMODULE ThisModuleHandle();

} // namespace tamrel
