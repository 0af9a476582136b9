#include "Text.h"

#include <cerrno>
#include <cstdio>
#include <cwchar>

namespace tamreldbg {

std::string Utf8(std::wstring_view s) {
    if (s.empty()) return {};
    int n =
        WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), r.data(), n, nullptr, nullptr);
    return r;
}

std::wstring Widen(std::string_view s, UINT codePage) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

std::string Quote(std::wstring_view s) {
    std::string r = "\"";
    for (char c : Utf8(s)) {
        switch (c) {
        case '"':
            r += "\\\"";
            break;
        case '\\':
            r += "\\\\";
            break;
        case '\r':
            r += "\\r";
            break;
        case '\n':
            r += "\\n";
            break;
        case '\t':
            r += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
                r += buf;
            } else {
                r.push_back(c);
            }
        }
    }
    return r + "\"";
}

std::string QuoteW(const wchar_t* s) {
    return s ? Quote(s) : "nil";
}
std::string QuoteA(const char* s) {
    return s ? Quote(Widen(s, CP_ACP)) : "nil";
}

std::string JoinMultiSz(const wchar_t* p) {
    if (!p) return "nil";
    std::wstring joined;
    for (; *p; p += wcslen(p) + 1) {
        if (!joined.empty()) joined += L",";
        joined += p;
    }
    return Quote(joined);
}

std::string Dec(uint64_t v) {
    return std::to_string(v);
}

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string Ptr(const void* p) {
    return Hex(reinterpret_cast<uintptr_t>(p));
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

namespace {

const char* StateName(DWORD state) {
    static const char* const names[] = {"STOPPED",          "START_PENDING", "STOP_PENDING", "RUNNING",
                                        "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    return state >= 1 && state <= 7 ? names[state - 1] : "UNKNOWN";
}

} // namespace

std::string StateText(DWORD state) {
    return std::string(StateName(state)) + "(" + Dec(state) + ")";
}

bool ParseState(const std::wstring& text, DWORD& state) {
    for (DWORD s = 1; s <= 7; ++s)
        if (SameName(text, Widen(StateName(s), CP_ACP))) {
            state = s;
            return true;
        }
    wchar_t* end = nullptr;
    unsigned long v = wcstoul(text.c_str(), &end, 0);
    if (text.empty() || *end || v < 1 || v > 7) return false;
    state = v;
    return true;
}

bool ParseCode(const std::wstring& text, DWORD& code) {
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long v = wcstoul(text.c_str(), &end, 0);
    if (text.empty() || *end || errno) return false;
    code = v;
    return true;
}

namespace {

struct TControlName {
    DWORD Code;
    const char* Name;
};

constexpr TControlName ControlNames[] = {
    {SERVICE_CONTROL_STOP, "STOP"},
    {SERVICE_CONTROL_PAUSE, "PAUSE"},
    {SERVICE_CONTROL_CONTINUE, "CONTINUE"},
    {SERVICE_CONTROL_INTERROGATE, "INTERROGATE"},
    {SERVICE_CONTROL_SHUTDOWN, "SHUTDOWN"},
    {SERVICE_CONTROL_PARAMCHANGE, "PARAMCHANGE"},
    {SERVICE_CONTROL_NETBINDADD, "NETBINDADD"},
    {SERVICE_CONTROL_NETBINDREMOVE, "NETBINDREMOVE"},
    {SERVICE_CONTROL_NETBINDENABLE, "NETBINDENABLE"},
    {SERVICE_CONTROL_NETBINDDISABLE, "NETBINDDISABLE"},
    {SERVICE_CONTROL_DEVICEEVENT, "DEVICEEVENT"},
    {SERVICE_CONTROL_HARDWAREPROFILECHANGE, "HARDWAREPROFILECHANGE"},
    {SERVICE_CONTROL_POWEREVENT, "POWEREVENT"},
    {SERVICE_CONTROL_SESSIONCHANGE, "SESSIONCHANGE"},
    {SERVICE_CONTROL_PRESHUTDOWN, "PRESHUTDOWN"},
};

} // namespace

std::string ControlText(DWORD code) {
    const char* name = code >= 128 && code <= 255 ? "CUSTOM" : "OTHER";
    for (const TControlName& c : ControlNames)
        if (c.Code == code) name = c.Name;
    return Dec(code) + "(" + name + ")";
}

DWORD AcceptBitOf(DWORD code) {
    switch (code) {
    case SERVICE_CONTROL_STOP:
        return SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_SHUTDOWN:
        return SERVICE_ACCEPT_SHUTDOWN;
    case SERVICE_CONTROL_PARAMCHANGE:
        return SERVICE_ACCEPT_PARAMCHANGE;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return SERVICE_ACCEPT_NETBINDCHANGE;
    case SERVICE_CONTROL_PRESHUTDOWN:
        return SERVICE_ACCEPT_PRESHUTDOWN;
    case SERVICE_CONTROL_POWEREVENT:
        return SERVICE_ACCEPT_POWEREVENT;
    default:
        return 0;
    }
}

std::string NowText() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return buf;
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

} // namespace tamreldbg
