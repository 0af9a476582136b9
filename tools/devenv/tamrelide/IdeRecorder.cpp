#include "tools/devenv/tamrelide/IdeRecorder.h"

#include "host/SysUtils.h"

namespace tamrel {

namespace {

std::wstring Quoted(const std::wstring& text) {
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += L"\\\""; break;
        case L'\\': out += L"\\\\"; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        case L'\t': out += L"\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += L"\\x";
                out += hex[(c >> 4) & 15];
                out += hex[c & 15];
            } else {
                out += c;
            }
        }
    }
    return out + L"\"";
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    return n > 0 && n < std::size(buffer) ? std::wstring(buffer, n) : std::wstring();
}

} // namespace

TIdeField TextField(const std::wstring& name, const std::wstring& value) { return {name, value, true}; }
TIdeField NumField(const std::wstring& name, int64_t value) { return {name, std::to_wstring(value), false}; }
TIdeField HexField(const std::wstring& name, uintptr_t value) {
    return {name, L"0x" + IntToHex(value, 1), false};
}

std::wstring TIdeRecord::Field(const std::wstring& name) const {
    for (const TIdeField& f : Fields)
        if (f.Name == name) return f.Value;
    return {};
}

std::wstring TIdeRecord::Line() const {
    std::wstring line = Area + L" " + Call;
    for (const TIdeField& f : Fields) line += L" " + f.Name + L"=" + (f.Text ? Quoted(f.Value) : f.Value);
    if (!Result.empty()) line += L" result=" + Result;
    return line;
}

TIdeRecorder::TIdeRecorder() {
    const std::wstring path = EnvironmentValue(L"TAMRELIDE_LOG");
    if (!path.empty())
        FLogFile.Reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void TIdeRecorder::Add(const std::wstring& area, const std::wstring& call, std::initializer_list<TIdeField> fields,
                       const std::wstring& result) {
    Add(TIdeRecord{area, call, fields, result});
}

void TIdeRecorder::Add(TIdeRecord record) {
    std::lock_guard<std::mutex> guard(FLock);
    Write(record.Line());
    FRecords.push_back(std::move(record));
}

void TIdeRecorder::Write(const std::wstring& line) {
    const std::string bytes = WideToUtf8(L"tamrelide: " + line + L"\r\n");
    DWORD written;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (FLogFile) WriteFile(FLogFile.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::vector<TIdeRecord> TIdeRecorder::Records() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FRecords;
}

void TIdeRecorder::Clear() {
    std::lock_guard<std::mutex> guard(FLock);
    FRecords.clear();
}

} // namespace tamrel
