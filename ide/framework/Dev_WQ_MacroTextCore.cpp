#include "ide/framework/Dev_WQ_MacroTextCore.h"

#include "ide/framework/WQ_CoreRaise.h"

#include <chrono>
#include <mutex>
#include <random>

namespace tamrel {

namespace {

constexpr char kParamMarker = '~';

// Drops up to two whole CR LF pairs at Pos.
size_t SkipLineBreaks(std::string_view text, size_t pos) {
    for (int pair = 0; pair < 2 && pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n'; ++pair)
        pos += 2;
    return pos;
}

} // namespace

std::string ExpandTemplate(std::string_view text, const TIsSkipPart& isSkipPart, const TParamValue& paramValue) {
    std::string out;
    out.reserve(text.size());
    int64_t depth = 0;
    size_t pos = 0;
    const size_t n = text.size();
    for (;;) {
        size_t marker = text.find_first_of("~|", pos); // a parameter or a part marker
        if (marker == std::string_view::npos) marker = n;
        if (depth == 0) out.append(text.substr(pos, marker - pos));
        if (marker >= n) break;
        const char m = text[marker];
        if (marker + 1 < n && text[marker + 1] == m) { // doubled: one literal marker
            if (depth == 0) out += m;
            pos = marker + 2;
            continue;
        }
        const size_t close = text.find(m, marker + 1);
        if (close == std::string_view::npos) break; // unterminated: the rest is dropped
        const std::string_view body = text.substr(marker + 1, close - marker - 1);
        pos = close + 1;
        if (m == kParamMarker) {
            if (depth == 0) out += paramValue(body);
            continue;
        }
        if (body.size() >= 2 && (body[0] == '+' || body[0] == '-') && isSkipPart(body.substr(1)))
            depth += body[0] == '+' ? 1 : -1;
        pos = SkipLineBreaks(text, pos);
    }
    return out;
}

void ScanTemplateParams(std::string_view text, const std::function<void(std::string_view name)>& onParam) {
    size_t pos = 0;
    for (;;) {
        const size_t open = text.find(kParamMarker, pos);
        if (open == std::string_view::npos) return;
        if (open + 1 < text.size() && text[open + 1] == kParamMarker) {
            pos = open + 2;
            continue;
        }
        const size_t close = text.find(kParamMarker, open + 1);
        if (close == std::string_view::npos) return;
        onParam(text.substr(open + 1, close - open - 1));
        pos = close + 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Stored form

std::string ScrambleKey(std::string_view key) {
    std::string out(key);
    for (size_t i = 1; i <= out.size(); ++i) out[i - 1] = static_cast<char>(out[i - 1] ^ static_cast<char>(i % 255));
    return out;
}

std::string ScrambleText(std::string_view text, std::string_view plainKey) {
    std::string out(text);
    if (plainKey.empty()) return out;
    for (size_t i = 1; i <= out.size(); ++i) out[i - 1] = static_cast<char>(out[i - 1] ^ plainKey[i % plainKey.size()]);
    return out;
}

namespace {

void AppendLength(std::vector<uint8_t>& out, size_t length) {
    const auto value = static_cast<uint32_t>(length);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

[[noreturn]] void BadStoredForm(const std::wstring& what) {
    RaiseCoreError(TCoreError::Read, L"Invalid stored template: " + what);
}

// Reads the stored block front to back; every length is checked against what remains.
class TBlockReader {
public:
    TBlockReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

    std::string Counted(const wchar_t* what) {
        if (Left() < 4)
            BadStoredForm(std::wstring(what) + L" length truncated (" + std::to_wstring(Left()) + L" bytes left)");
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length |= static_cast<uint32_t>(FData[FPos++]) << (8 * i);
        if (length > Left())
            BadStoredForm(std::wstring(what) + L" length " + std::to_wstring(length) + L" exceeds the " +
                          std::to_wstring(Left()) + L" bytes left");
        std::string bytes(reinterpret_cast<const char*>(FData + FPos), length);
        FPos += length;
        return bytes;
    }
    size_t Left() const { return FSize - FPos; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

TStoredTemplate Unscramble(std::string_view scrambledKey, std::string_view scrambledText) {
    TStoredTemplate result;
    result.Key = ScrambleKey(scrambledKey);
    result.Text = ScrambleText(scrambledText, result.Key);
    return result;
}

} // namespace

std::vector<uint8_t> WriteStoredBlock(std::string_view plainKey, std::string_view plainText) {
    const std::string key = ScrambleKey(plainKey);
    const std::string text = ScrambleText(plainText, plainKey);
    std::vector<uint8_t> out;
    out.reserve(8 + key.size() + text.size());
    AppendLength(out, key.size());
    out.insert(out.end(), key.begin(), key.end());
    AppendLength(out, text.size());
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

TStoredTemplate ReadStoredBlock(const uint8_t* data, size_t size) {
    TBlockReader reader(data, size);
    const std::string key = reader.Counted(L"key");
    const std::string text = reader.Counted(L"text");
    if (reader.Left() != 0) BadStoredForm(std::to_wstring(reader.Left()) + L" bytes after the text");
    return Unscramble(key, text);
}

TStoredTemplate ReadStoredStrings(const std::vector<std::string>& strings) {
    if (strings.size() != 2)
        BadStoredForm(L"DATA holds " + std::to_wstring(strings.size()) + L" strings instead of 2");
    return Unscramble(strings[0], strings[1]);
}

std::string NewTemplateKey() {
    static std::mutex lock;
    static std::mt19937 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(),
                           static_cast<unsigned>(std::chrono::high_resolution_clock::now().time_since_epoch().count())};
        return std::mt19937(seed);
    }();
    static const char digits[] = "0123456789ABCDEF";
    std::uniform_int_distribution<int> value(0, 254);
    std::lock_guard<std::mutex> guard(lock);
    std::string key;
    for (int i = 0; i < 9; ++i) {
        const int v = value(generator);
        key += digits[v >> 4];
        key += digits[v & 15];
    }
    return key;
}

// ---------------------------------------------------------------------------------------------
// Creation code

namespace {

std::wstring Quoted(std::wstring_view line) {
    std::wstring out;
    out.reserve(line.size() + 2);
    for (wchar_t c : line) {
        out += c;
        if (c == L'\'') out += c;
    }
    return out;
}

} // namespace

std::wstring TemplateCreationCode(std::wstring_view name, const std::vector<std::wstring>& lines) {
    // A statement of its own every 128 lines: the compiler limits the length of one expression.
    const std::wstring n(name);
    std::wstring code;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring line = L"'" + Quoted(lines[i]) + L"'";
        if (i == 0) code += L"    " + n + L".Text.Text:=\r\n" + line;
        else if (i % 128 != 0) code += L"#13#10+\r\n" + line;
        else code += L";\r\n" + n + L".Text.Text:=" + n + L".Text.Text+\r\n" + line;
    }
    if (!lines.empty()) code += L";\r\n";
    code += L"    " + n + L".EnumParams;\r\n";
    return code;
}

} // namespace tamrel
