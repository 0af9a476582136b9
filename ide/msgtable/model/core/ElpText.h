// Text rules of the .ELP document format: the escapes of message texts and comments, and the
// way values pass through the system's INI-file reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tamrel::msgcore {

// "#" becomes "##", LF "#A", CR "#D"; everything else is copied.
std::u16string EscapeElpText(std::u16string_view text);
// "##" gives "#", "#A" LF, "#D" CR; any other pair is dropped whole, and a "#" that ends the
// text is dropped.
std::u16string UnescapeElpText(std::u16string_view text);

// What the INI reader makes of the text after "=": blanks (space, tab and the other white
// space controls) dropped at both ends, then one pair of matching quotes (' or ") around the
// whole value removed.
std::u16string IniValue(std::u16string_view raw);
// The text to write after "=" so that IniValue gives Value back: wrapped in double quotes when
// it begins or ends with white space, or begins and ends with the same quote.
std::u16string IniQuote(std::u16string_view value);

// One section of an INI file as the system lists it: "key=value" lines (a line without "=" is
// a key without a value). Keys compare without regard to ASCII case; the first line of a key
// wins, as with the system's own reader.
class IniSection {
public:
    void AddLine(std::u16string_view line);
    // Null when the key is absent or has no value.
    const std::u16string* Find(std::u16string_view key) const;
    std::u16string Value(std::u16string_view key, std::u16string_view def = {}) const;
    // Key names in file order.
    std::vector<std::u16string> Keys() const;
    // Find for a key that is the number written in decimal ("0", "17"): the .ELP entries.
    const std::u16string* FindNumber(uint32_t number) const;

private:
    struct Entry {
        std::u16string Key;
        bool HasValue = false;
        std::u16string Value;
    };
    std::vector<Entry> FEntries;
    const Entry* Lookup(std::u16string_view key) const;
    // Entry index + 1 of the first line of each key: the keys "0" to "65535" (written as the
    // .ELP writer writes numbers) by their number, the others upper-cased.
    std::vector<uint32_t> FNumbered;
    std::unordered_map<std::u16string, size_t> FIndex;
};

} // namespace tamrel::msgcore
