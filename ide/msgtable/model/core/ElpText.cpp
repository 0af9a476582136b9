#include "ide/msgtable/model/core/ElpText.h"

namespace tamrel::msgcore {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::u16string Fold(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

constexpr uint32_t kMaxNumberedKey = 65535;

// A key written as a number the way the .ELP writer writes it: decimal, no sign, no leading zero.
bool DecimalKey(std::u16string_view key, uint32_t& number) {
    if (key.empty() || key.size() > 5 || (key.size() > 1 && key[0] == u'0')) return false;
    number = 0;
    for (char16_t c : key) {
        if (c < u'0' || c > u'9') return false;
        number = number * 10 + (c - u'0');
    }
    return number <= kMaxNumberedKey;
}

std::u16string AsciiDecimal(uint32_t number) {
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

std::u16string EscapeElpText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
        case u'#': out += u"##"; break;
        case u'\n': out += u"#A"; break;
        case u'\r': out += u"#D"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::u16string UnescapeElpText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'#') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) break;
        switch (text[i]) {
        case u'#': out.push_back(u'#'); break;
        case u'A': out.push_back(u'\n'); break;
        case u'D': out.push_back(u'\r'); break;
        default: break;
        }
    }
    return out;
}

std::u16string IniValue(std::u16string_view raw) {
    std::u16string_view v = Trim(raw);
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return std::u16string(v);
}

std::u16string IniQuote(std::u16string_view value) {
    const bool edgeBlank = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    const bool quoted = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
    if (!edgeBlank && !quoted) return std::u16string(value);
    return u"\"" + std::u16string(value) + u"\"";
}

void IniSection::AddLine(std::u16string_view line) {
    Entry e;
    const size_t eq = line.find(u'=');
    e.Key = Trim(line.substr(0, eq));
    if (eq != std::u16string_view::npos) {
        e.HasValue = true;
        e.Value = IniValue(line.substr(eq + 1));
    }
    const uint32_t entry = static_cast<uint32_t>(FEntries.size()) + 1;
    uint32_t number;
    if (DecimalKey(e.Key, number)) {
        // Numbers need no case folding; most lines of a document are numbered entries.
        if (FNumbered.size() <= number) FNumbered.resize(number + 1, 0);
        if (FNumbered[number] == 0) FNumbered[number] = entry;
    } else {
        FIndex.emplace(Fold(e.Key), entry);
    }
    FEntries.push_back(std::move(e));
}

const IniSection::Entry* IniSection::Lookup(std::u16string_view key) const {
    uint32_t number;
    size_t entry = 0;
    if (DecimalKey(key, number)) {
        if (number < FNumbered.size()) entry = FNumbered[number];
    } else if (auto it = FIndex.find(Fold(key)); it != FIndex.end()) {
        entry = it->second;
    }
    return entry ? &FEntries[entry - 1] : nullptr;
}

const std::u16string* IniSection::Find(std::u16string_view key) const {
    const Entry* e = Lookup(key);
    return e && e->HasValue ? &e->Value : nullptr;
}

const std::u16string* IniSection::FindNumber(uint32_t number) const {
    if (number > kMaxNumberedKey) return Find(AsciiDecimal(number));
    const uint32_t entry = number < FNumbered.size() ? FNumbered[number] : 0;
    return entry && FEntries[entry - 1].HasValue ? &FEntries[entry - 1].Value : nullptr;
}

std::u16string IniSection::Value(std::u16string_view key, std::u16string_view def) const {
    const std::u16string* v = Find(key);
    return v ? *v : std::u16string(def);
}

std::vector<std::u16string> IniSection::Keys() const {
    std::vector<std::u16string> keys;
    keys.reserve(FEntries.size());
    for (const Entry& e : FEntries) keys.push_back(e.Key);
    return keys;
}

} // namespace tamrel::msgcore
