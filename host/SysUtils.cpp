#include "host/SysUtils.h"

#include "host/Handles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Exceptions

Exception::Exception(std::wstring message) : FMessage(std::move(message)) {}
Exception::~Exception() = default;

void Exception::SetMessage(std::wstring message) {
    FMessage = std::move(message);
    FWhat.clear();
}

const char* Exception::what() const noexcept {
    try {
        if (FWhat.empty()) FWhat = WideToUtf8(FMessage);
        return FWhat.c_str();
    } catch (...) {
        return "Exception";
    }
}

void Abort() { throw EAbort(L"Operation aborted"); }

std::wstring SysErrorMessage(DWORD code) {
    TLocalMem buffer;
    DWORD len = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                               nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::wstring text;
    if (buffer) text.assign(static_cast<const wchar_t*>(buffer.Get()), len);
    while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
    return text;
}

std::wstring OSErrorText(DWORD code) {
    if (code == 0) return SUnkOSError;
    return Format(SOSError, static_cast<long long>(code), SysErrorMessage(code));
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void RaiseLastOSError(DWORD code) { throw EOSError(code, OSErrorText(code)); }

BOOL Win32Check(BOOL result) {
    if (!result) RaiseLastOSError();
    return result;
}

// ---------------------------------------------------------------------------------------------
// Format

namespace {

[[noreturn]] void FormatError(std::wstring_view format) {
    throw EConvertError(L"Format '" + std::wstring(format) + L"' invalid or incompatible with argument");
}

std::wstring FormatFloat(wchar_t type, double v, int prec) {
    wchar_t buf[512];
    switch (type) {
    case L'e':
        swprintf(buf, 512, L"%.*E", prec < 0 ? 14 : prec - 1 < 0 ? 0 : prec - 1, v);
        break;
    case L'f':
        swprintf(buf, 512, L"%.*f", prec < 0 ? 2 : prec, v);
        break;
    case L'g':
        swprintf(buf, 512, L"%.*G", prec < 0 ? 15 : prec, v);
        break;
    case L'n':
    case L'm': {
        swprintf(buf, 512, L"%.*f", prec < 0 ? 2 : prec, v);
        // Thousands separators in the integral part.
        std::wstring s = buf;
        size_t start = (!s.empty() && s[0] == L'-') ? 1 : 0;
        size_t dot = s.find(L'.');
        if (dot == std::wstring::npos) dot = s.size();
        for (ptrdiff_t pos = static_cast<ptrdiff_t>(dot) - 3; pos > static_cast<ptrdiff_t>(start); pos -= 3)
            s.insert(static_cast<size_t>(pos), 1, L',');
        return s;
    }
    default:
        buf[0] = 0;
    }
    return buf;
}

// One pass over a format: the literal text is copied, each %[index:][-][width][.prec]type takes the
// next argument (or the one its index names).
class TFormatter {
public:
    TFormatter(std::wstring_view format, const std::vector<TFormatArg>& args) : FFormat(format), FArgs(args) {}

    std::wstring Run() {
        while (FPos < FFormat.size()) {
            const wchar_t c = FFormat[FPos++];
            if (c != L'%') {
                FOut.push_back(c);
                continue;
            }
            if (FPos >= FFormat.size()) Fail();
            if (FFormat[FPos] == L'%') {
                FOut.push_back(L'%');
                ++FPos;
                continue;
            }
            Conversion();
        }
        return FOut;
    }

private:
    [[noreturn]] void Fail() const { FormatError(FFormat); }

    bool More() const { return FPos < FFormat.size(); }
    bool At(wchar_t c) const { return More() && FFormat[FPos] == c; }

    const TFormatArg& NextArg() {
        if (FArgIndex >= FArgs.size()) Fail();
        return FArgs[FArgIndex++];
    }

    // A number of the conversion: digits, or * for the next (integer) argument.
    bool ReadNumber(int& value) {
        if (At(L'*')) {
            const TFormatArg& a = NextArg();
            if (a.kind == TFormatArg::kInt) value = static_cast<int>(a.i);
            else if (a.kind == TFormatArg::kUInt) value = static_cast<int>(a.u);
            else Fail();
            ++FPos;
            return true;
        }
        if (!More() || FFormat[FPos] < L'0' || FFormat[FPos] > L'9') return false;
        value = 0;
        while (More() && FFormat[FPos] >= L'0' && FFormat[FPos] <= L'9') {
            value = value * 10 + (FFormat[FPos] - L'0');
            if (value > 100000) Fail();
            ++FPos;
        }
        return true;
    }

    // An index ("2:") moves the argument position; anything else is read again as the width.
    void ReadIndex() {
        const size_t save = FPos;
        int number = -1;
        if (!At(L'*') && ReadNumber(number) && At(L':')) {
            FArgIndex = static_cast<size_t>(number);
            ++FPos;
        } else {
            FPos = save;
        }
    }

    void Conversion() {
        ReadIndex();
        bool left = false;
        if (At(L'-')) {
            left = true;
            ++FPos;
        }
        int width = -1, prec = -1;
        ReadNumber(width);
        if (At(L'.')) {
            ++FPos;
            if (!ReadNumber(prec)) prec = 0;
        }
        if (!More()) Fail();
        const wchar_t type = static_cast<wchar_t>(towlower(FFormat[FPos++]));
        std::wstring item = Item(type, NextArg(), prec);
        if (width > 0 && static_cast<int>(item.size()) < width) {
            if (left) item.append(width - item.size(), L' ');
            else item.insert(0, width - item.size(), L' ');
        }
        FOut += item;
    }

    std::wstring Item(wchar_t type, const TFormatArg& a, int prec) const {
        switch (type) {
        case L'd':
        case L'u':
            return Decimal(type, a, prec);
        case L'x':
            return IntToHex(HexValue(a), prec < 0 ? 0 : prec);
        case L'p':
            if (a.kind != TFormatArg::kPointer) Fail();
            return IntToHex(reinterpret_cast<uintptr_t>(a.p), sizeof(void*) * 2);
        case L's': {
            if (a.kind != TFormatArg::kString) Fail();
            std::wstring item = a.s;
            if (prec >= 0 && static_cast<int>(item.size()) > prec) item.resize(prec);
            return item;
        }
        case L'e':
        case L'f':
        case L'g':
        case L'n':
        case L'm':
            return FormatFloat(type, FloatValue(a), prec);
        default:
            Fail();
        }
    }

    // %u shows a negative 32-bit value as its unsigned form; the precision pads with zeros.
    std::wstring Decimal(wchar_t type, const TFormatArg& a, int prec) const {
        bool neg = false;
        uint64_t mag;
        if (a.kind == TFormatArg::kInt) {
            if (type == L'u' && a.i < 0) mag = static_cast<uint32_t>(a.i);
            else {
                neg = a.i < 0;
                mag = neg ? 0 - static_cast<uint64_t>(a.i) : static_cast<uint64_t>(a.i);
            }
        } else if (a.kind == TFormatArg::kUInt) {
            mag = a.u;
        } else {
            Fail();
        }
        std::wstring item = std::to_wstring(mag);
        if (prec >= 0 && static_cast<int>(item.size()) < prec) item.insert(0, prec - item.size(), L'0');
        if (neg) item.insert(0, 1, L'-');
        return item;
    }

    // A negative 32-bit value shows as its unsigned 32-bit form.
    uint64_t HexValue(const TFormatArg& a) const {
        if (a.kind == TFormatArg::kInt)
            return a.i < 0 && a.i >= INT32_MIN ? static_cast<uint32_t>(a.i) : static_cast<uint64_t>(a.i);
        if (a.kind == TFormatArg::kUInt) return a.u;
        Fail();
    }

    double FloatValue(const TFormatArg& a) const {
        if (a.kind == TFormatArg::kFloat) return a.f;
        if (a.kind == TFormatArg::kInt) return static_cast<double>(a.i);
        if (a.kind == TFormatArg::kUInt) return static_cast<double>(a.u);
        Fail();
    }

    std::wstring_view FFormat;
    const std::vector<TFormatArg>& FArgs;
    size_t FPos = 0;
    size_t FArgIndex = 0;
    std::wstring FOut;
};

} // namespace

std::wstring FormatArgs(std::wstring_view format, const std::vector<TFormatArg>& args) {
    return TFormatter(format, args).Run();
}

// ---------------------------------------------------------------------------------------------
// Conversions and text

std::wstring IntToStr(int64_t value) { return std::to_wstring(value); }
std::wstring UIntToStr(uint64_t value) { return std::to_wstring(value); }

std::wstring IntToHex(uint64_t value, int digits) {
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring s;
    do {
        s.insert(s.begin(), hex[value & 0xF]);
        value >>= 4;
    } while (value);
    if (static_cast<int>(s.size()) < digits) s.insert(0, digits - s.size(), L'0');
    return s;
}

bool TryStrToInt64(std::wstring_view text, int64_t& value) {
    std::wstring s = Trim(text);
    if (s.empty()) return false;
    size_t i = 0;
    bool neg = false;
    if (s[i] == L'-' || s[i] == L'+') {
        neg = s[i] == L'-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == L'$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    uint64_t acc = 0;
    for (; i < s.size(); ++i) {
        wchar_t c = s[i];
        int d;
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else return false;
        if (acc > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
        acc = acc * base + d;
    }
    if (base == 10) {
        if (neg ? acc > static_cast<uint64_t>(INT64_MAX) + 1 : acc > static_cast<uint64_t>(INT64_MAX))
            return false;
        value = neg ? static_cast<int64_t>(0 - acc) : static_cast<int64_t>(acc);
    } else {
        value = static_cast<int64_t>(neg ? 0 - acc : acc);
    }
    return true;
}

bool TryStrToInt(std::wstring_view text, int32_t& value) {
    int64_t v;
    if (!TryStrToInt64(text, v)) return false;
    // Hexadecimal text may name the full 32-bit pattern ($FFFFFFFF = -1).
    if (v > INT32_MAX && v <= static_cast<int64_t>(UINT32_MAX)) {
        std::wstring s = Trim(text);
        bool hex = s.find(L'$') != std::wstring::npos || s.find(L'x') != std::wstring::npos ||
                   s.find(L'X') != std::wstring::npos;
        if (!hex) return false;
        value = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(std::wstring_view text) {
    int32_t v;
    if (!TryStrToInt(text, v)) throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid integer value");
    return v;
}

int64_t StrToInt64(std::wstring_view text) {
    int64_t v;
    if (!TryStrToInt64(text, v)) throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid integer value");
    return v;
}

int32_t StrToIntDef(std::wstring_view text, int32_t def) {
    int32_t v;
    return TryStrToInt(text, v) ? v : def;
}

std::wstring TrimLeft(std::wstring_view s) {
    size_t b = 0;
    while (b < s.size() && s[b] <= L' ') ++b;
    return std::wstring(s.substr(b));
}

std::wstring TrimRight(std::wstring_view s) {
    size_t e = s.size();
    while (e > 0 && s[e - 1] <= L' ') --e;
    return std::wstring(s.substr(0, e));
}

std::wstring Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= L' ') ++b;
    while (e > b && s[e - 1] <= L' ') --e;
    return std::wstring(s.substr(b, e - b));
}

std::wstring UpperCase(std::wstring_view s) {
    std::wstring r(s);
    for (auto& c : r)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
    return r;
}

std::wstring LowerCase(std::wstring_view s) {
    std::wstring r(s);
    for (auto& c : r)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    return r;
}

std::wstring AnsiUpperCase(std::wstring_view s) {
    std::wstring r(s);
    if (!r.empty()) CharUpperBuffW(r.data(), static_cast<DWORD>(r.size()));
    return r;
}

std::wstring AnsiLowerCase(std::wstring_view s) {
    std::wstring r(s);
    if (!r.empty()) CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
    return r;
}

int CompareText(std::wstring_view a, std::wstring_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - 32);
        if (y >= L'a' && y <= L'z') y = static_cast<wchar_t>(y - 32);
        if (x != y) return static_cast<int>(x) - static_cast<int>(y);
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(std::wstring_view a, std::wstring_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

int CompareStr(std::wstring_view a, std::wstring_view b) { return a.compare(b); }

int AnsiCompareText(std::wstring_view a, std::wstring_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           2;
}

int AnsiCompareStr(std::wstring_view a, std::wstring_view b) {
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           2;
}

bool AnsiSameText(std::wstring_view a, std::wstring_view b) { return AnsiCompareText(a, b) == 0; }

std::wstring GUIDToString(const GUID& g) {
    wchar_t buf[40];
    swprintf(buf, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(g.Data1),
             g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
             g.Data4[6], g.Data4[7]);
    return buf;
}

GUID StringToGUID(std::wstring_view text) {
    auto fail = [&]() -> GUID {
        throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid GUID value");
    };
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}') return fail();
    auto hexDigit = [&](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'a' && c <= L'f') return c - L'a' + 10;
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        fail();
        return 0;
    };
    auto hex = [&](size_t pos, size_t count) -> uint64_t {
        uint64_t v = 0;
        for (size_t k = 0; k < count; ++k) v = (v << 4) | static_cast<uint64_t>(hexDigit(text[pos + k]));
        return v;
    };
    if (text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-') return fail();
    GUID g{};
    g.Data1 = static_cast<unsigned long>(hex(1, 8));
    g.Data2 = static_cast<unsigned short>(hex(10, 4));
    g.Data3 = static_cast<unsigned short>(hex(15, 4));
    g.Data4[0] = static_cast<unsigned char>(hex(20, 2));
    g.Data4[1] = static_cast<unsigned char>(hex(22, 2));
    for (int k = 0; k < 6; ++k) g.Data4[2 + k] = static_cast<unsigned char>(hex(25 + 2 * k, 2));
    return g;
}

bool IsEqualGUIDs(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
    // Days from 1899-12-30 to the date, by the proleptic Gregorian calendar.
    auto daysFromCivil = [](int y, unsigned m, unsigned d) -> long long {
        y -= m <= 2;
        const long long era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long long>(doe) - 719468;
    };
    long long days = daysFromCivil(st.wYear, st.wMonth, st.wDay) - daysFromCivil(1899, 12, 30);
    double time = (st.wHour * 3600000.0 + st.wMinute * 60000.0 + st.wSecond * 1000.0 + st.wMilliseconds) / 86400000.0;
    return static_cast<double>(days) + time;
}

TDateTime Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return SystemTimeToDateTime(st);
}

std::string WideToAnsi(std::wstring_view s, UINT codePage) {
    if (s.empty()) return {};
    int len = WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), r.data(), len, nullptr, nullptr);
    return r;
}

std::wstring AnsiToWide(std::string_view s, UINT codePage) {
    if (s.empty()) return {};
    int len = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<size_t>(len), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), r.data(), len);
    return r;
}

bool FitsCodePage(std::wstring_view s, UINT codePage) { return AnsiToWide(WideToAnsi(s, codePage), codePage) == s; }

std::string WideToUtf8(std::wstring_view s) { return WideToAnsi(s, CP_UTF8); }
std::wstring Utf8ToWide(std::string_view s) { return AnsiToWide(s, CP_UTF8); }

DWORD TicksSince(DWORD start) { return GetTickCount() - start; }

// ---------------------------------------------------------------------------------------------
// Command line

std::vector<std::wstring> SplitCommandLine(std::wstring_view cmd) {
    std::vector<std::wstring> result;
    size_t i = 0;
    const size_t n = cmd.size();
    for (;;) {
        while (i < n && cmd[i] != 0 && cmd[i] <= L' ') ++i;
        if (i >= n || cmd[i] == 0) break;
        std::wstring arg;
        while (i < n && cmd[i] > L' ') {
            if (cmd[i] == L'"') {
                ++i;
                while (i < n && cmd[i] != 0 && cmd[i] != L'"') arg.push_back(cmd[i++]);
                if (i < n && cmd[i] == L'"') ++i;
            } else {
                arg.push_back(cmd[i++]);
            }
        }
        result.push_back(std::move(arg));
    }
    return result;
}

int ParamCount() {
    auto args = SplitCommandLine(GetCommandLineW());
    return args.empty() ? 0 : static_cast<int>(args.size()) - 1;
}

std::wstring ParamStr(int index) {
    if (index == 0) return GetModuleFileNameStr(nullptr);
    auto args = SplitCommandLine(GetCommandLineW());
    if (index < 0 || static_cast<size_t>(index) >= args.size()) return {};
    return args[static_cast<size_t>(index)];
}

// ---------------------------------------------------------------------------------------------
// Paths

std::wstring ExtractFileName(std::wstring_view path) {
    size_t p = path.find_last_of(L"\\/:");
    return std::wstring(p == std::wstring_view::npos ? path : path.substr(p + 1));
}

std::wstring ExtractFilePath(std::wstring_view path) {
    size_t p = path.find_last_of(L"\\/:");
    return p == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, p + 1));
}

std::wstring ExtractFileExt(std::wstring_view path) {
    size_t p = path.find_last_of(L".\\/:");
    if (p == std::wstring_view::npos || path[p] != L'.') return {};
    return std::wstring(path.substr(p));
}

std::wstring ChangeFileExt(std::wstring_view path, std::wstring_view ext) {
    size_t p = path.find_last_of(L".\\/:");
    if (p == std::wstring_view::npos || path[p] != L'.') return std::wstring(path) + std::wstring(ext);
    return std::wstring(path.substr(0, p)) + std::wstring(ext);
}

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path) {
    std::wstring r(path);
    if (r.empty() || r.back() != L'\\') r.push_back(L'\\');
    return r;
}

std::wstring ExpandFileName(const std::wstring& fileName) {
    DWORD n = GetFullPathNameW(fileName.c_str(), 0, nullptr, nullptr);
    if (n == 0) return fileName;
    std::wstring path(n, L'\0');
    n = GetFullPathNameW(fileName.c_str(), n, path.data(), nullptr);
    if (n == 0 || n >= path.size()) return fileName;
    path.resize(n);
    return path;
}

bool FileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring GetModuleFileNameStr(HMODULE module) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD len = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (len == 0) return {};
        if (len < buf.size()) {
            buf.resize(len);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

HMODULE ThisModuleHandle() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModuleHandle), &module);
    return module;
}

} // namespace tamrel
