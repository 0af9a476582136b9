// The template engine's text handling; built natively (sanitizers) and for Windows.
#include "ide/framework/Dev_WQ_MacroTextCore.h"
#include "tests/support/CoreErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace tamrel;

namespace {

struct TExpansion {
    const char* Template;
    std::vector<std::string> Skip;
    const char* Expected;
};

// Expands with the values "value of NAME" for P and Q, nothing for the rest; records the names
// asked for.
std::string Expand(std::string_view text, const std::vector<std::string>& skip, std::vector<std::string>* asked = nullptr) {
    return ExpandTemplate(
        text, [&](std::string_view part) { return std::find(skip.begin(), skip.end(), part) != skip.end(); },
        [&](std::string_view name) {
            if (asked) asked->emplace_back(name);
            return name == "P" || name == "Q" ? "value of " + std::string(name) : std::string();
        });
}

} // namespace

TEST(TemplateExpansion, MarkersParametersAndParts) {
    const TExpansion cases[] = {
        // doubled markers are literal; text around them stays
        {"a~~b||c", {}, "a~b|c"},
        {"~~~P~", {}, "~value of P"},
        {"x~P~y~Q~z", {}, "xvalue of Pyvalue of Qz"},
        // a parameter without a value expands to nothing
        {"x~none~y", {}, "xy"},
        // B between markers alone on their lines: left out with P listed, kept without
        {"A\r\n|+P|\r\nB\r\n|-P|\r\nC\r\n", {"P"}, "A\r\nC\r\n"},
        {"A\r\n|+P|\r\nB\r\n|-P|\r\nC\r\n", {}, "A\r\nB\r\nC\r\n"},
        // part names are case-sensitive
        {"|+p|X|-p|", {"P"}, "X"},
        // unterminated markers drop the rest
        {"ab~cd", {}, "ab"},
        {"ab|cd", {}, "ab"},
        {"ab~", {}, "ab"},
        // a lone closing marker takes the depth below 0: everything after it is gone ...
        {"a|-P|b~P~c||d", {"P"}, "a"},
        // ... until as many openings bring it back to 0
        {"a|-P|b|+P|c", {"P"}, "ac"},
        {"a|-P|b|-P|c|+P|d", {"P"}, "a"},
        // nesting and repeats count by depth
        {"|+P|x|+P|y|-P|z|-P|w", {"P"}, "w"},
        {"|+P|x|+Q|y|-P|z|-Q|w", {"P", "Q"}, "w"},
        {"|+P|x|-P|y|+P|z|-P|", {"P"}, "y"},
        // markers with a short body or another sign only vanish
        {"a|x|b", {"x"}, "ab"},
        {"a|?P|b|*P|c", {"P"}, "abc"},
        // literal markers and values are dropped inside a skipped part too
        {"|+P|~~||~Q~|-P|end", {"P"}, "end"},
        // at most two whole CR LF pairs after a marker
        {"|x|\r\n\r\n\r\nA", {}, "\r\nA"},
        {"|+P|\r\n\r\nA", {}, "A"},
        {"|x|\r\r\nA", {}, "\r\r\nA"},
        {"|x|\n\r\nA", {}, "\n\r\nA"},
        {"|x|\r\nB\r\n", {}, "B\r\n"},
        // after a parameter the line break stays
        {"~P~\r\nB", {}, "value of P\r\nB"},
        {"", {}, ""},
    };
    for (const TExpansion& c : cases) EXPECT_EQ(c.Expected, Expand(c.Template, c.Skip)) << '"' << c.Template << '"';
}

TEST(TemplateExpansion, AsksForValuesOnlyAtDepthZero) {
    std::vector<std::string> asked;
    Expand("~A~|+P|~B~|-P|~C~|-P|~D~", {"P"}, &asked);
    EXPECT_EQ((std::vector<std::string>{"A", "C"}), asked);
}

TEST(TemplateParameterScan, NamesInOrderWithoutLookingAtBars) {
    const std::map<std::string, std::vector<std::string>> cases = {
        {"~a~ ~b~ ~~ ~a~ ~A~", {"a", "b", "a", "A"}},
        // the reference inside a part marker counts here, though expansion drops the marker
        {"~a~|~b~|", {"a", "b"}},
        {"x~~~c~", {"c"}},
        {"~a~ ~open", {"a"}},
        {"|+P|~in~|-P|", {"in"}},
        {"no references", {}},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<std::string> names;
        ScanTemplateParams(text, [&](std::string_view name) { names.emplace_back(name); });
        EXPECT_EQ(expected, names) << text;
    }
}

TEST(TemplateStoredForm, BlockMatchesOneComputedByHand) {
    // key "AB": 'A' ^ 1, 'B' ^ 2; text "xyz": byte i (from 1) ^ key[i mod 2] = 'x'^'B', 'y'^'A', 'z'^'B'
    const std::vector<uint8_t> expected = {2, 0, 0, 0, 0x40, 0x40, 3, 0, 0, 0, 0x3A, 0x38, 0x38};
    EXPECT_EQ(expected, WriteStoredBlock("AB", "xyz"));
    const TStoredTemplate back = ReadStoredBlock(expected.data(), expected.size());
    EXPECT_EQ("AB", back.Key);
    EXPECT_EQ("xyz", back.Text);
}

TEST(TemplateStoredForm, KeyPositionsCountModulo255) {
    const std::string key(256, 'K'); // 0x4B
    const std::string scrambled = ScrambleKey(key);
    EXPECT_EQ(char(0x4B ^ 1), scrambled[0]);
    EXPECT_EQ(char(0x4B ^ 254), scrambled[253]);
    EXPECT_EQ(char(0x4B), scrambled[254]); // position 255: XOR 0
    EXPECT_EQ(char(0x4B ^ 1), scrambled[255]);
}

TEST(TemplateStoredForm, EmptyKeyLeavesTheTextAsStored) {
    const std::vector<uint8_t> block = {0, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
    EXPECT_EQ(block, WriteStoredBlock("", "abc"));
    EXPECT_EQ("abc", ReadStoredBlock(block.data(), block.size()).Text);
}

namespace {

// Why reading the block raised; empty when it did not. A length that does not fit must be refused
// as such, before a byte past the block is read: a length one byte too long that got through
// would be read past the end, which only a sanitizer sees, and refused only afterwards for the
// bytes "after" the text. The reason tells the two apart in every build.
std::wstring RefusalOf(const uint8_t* data, size_t size) {
    try {
        ReadStoredBlock(data, size);
        return {};
    } catch (const TCoreReadError& e) {
        EXPECT_TRUE(IsCoreReadError(e));
        return CoreErrorMessage(e);
    }
}

bool RefusedForALength(const std::wstring& reason) { return reason.find(L"length") != std::wstring::npos; }

} // namespace

TEST(TemplateStoredForm, TruncatedBlocksLengthsPastTheEndAndTrailingBytesRaise) {
    const std::vector<uint8_t> good = WriteStoredBlock("0123456789ABCDEF01", "line one\r\nline two\r\n");
    for (size_t n = 0; n < good.size(); ++n) {
        const std::wstring reason = RefusalOf(good.data(), n);
        EXPECT_TRUE(RefusedForALength(reason)) << "a block cut to " << n << " bytes: " << reason;
    }
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    EXPECT_THROW(ReadStoredBlock(trailing.data(), trailing.size()), TCoreReadError);
    const std::vector<std::vector<uint8_t>> bad = {
        {0xFF, 0xFF, 0xFF, 0xFF, 'k'},                 // key length far past the end (or negative)
        {1, 0, 0, 0, 'k', 0xFF, 0xFF, 0xFF, 0x7F, 'x'}, // text length past the end
        {1, 0, 0, 0, 'k', 2, 0, 0, 0, 'x'},             // one byte short
    };
    for (const auto& block : bad) {
        const std::wstring reason = RefusalOf(block.data(), block.size());
        EXPECT_TRUE(RefusedForALength(reason)) << block.size() << " bytes: " << reason;
    }
}

TEST(TemplateStoredForm, OlderFormNeedsExactlyTwoStrings) {
    const TStoredTemplate t = ReadStoredStrings({ScrambleKey("KEY"), ScrambleText("text", "KEY")});
    EXPECT_EQ("KEY", t.Key);
    EXPECT_EQ("text", t.Text);
    EXPECT_THROW(ReadStoredStrings({}), TCoreReadError);
    EXPECT_THROW(ReadStoredStrings({"only the key"}), TCoreReadError);
    EXPECT_THROW(ReadStoredStrings({"a", "b", "c"}), TCoreReadError);
}

TEST(TemplateKey, EighteenHexDigitsOfValuesBelow255AndNoRepeatsInATightLoop) {
    std::set<std::string> keys;
    for (int i = 0; i < 2000; ++i) {
        const std::string key = NewTemplateKey();
        ASSERT_EQ(18u, key.size());
        for (size_t p = 0; p < key.size(); p += 2) {
            ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(key[p])) && !std::islower(static_cast<unsigned char>(key[p])));
            ASSERT_NE("FF", key.substr(p, 2)) << key; // values are 0..254
        }
        keys.insert(key);
    }
    EXPECT_EQ(2000u, keys.size());
}

TEST(TemplateCreationCode, StatementsOf128LinesAtMostWithQuotesDoubled) {
    EXPECT_EQ(L"    MT.Text.Text:=\r\n'it''s'#13#10+\r\n'b';\r\n    MT.EnumParams;\r\n",
              TemplateCreationCode(L"MT", {L"it's", L"b"}));
    EXPECT_EQ(L"    MT.EnumParams;\r\n", TemplateCreationCode(L"MT", {}));

    std::vector<std::wstring> lines;
    for (int i = 0; i < 300; ++i) lines.push_back(L"L" + std::to_wstring(i));
    const std::wstring code = TemplateCreationCode(L"MT", lines);
    size_t statements = 0;
    for (size_t p = 0; (p = code.find(L"MT.Text.Text:=", p)) != std::wstring::npos; ++p) ++statements;
    EXPECT_EQ(3u, statements);
    EXPECT_NE(std::wstring::npos, code.find(L"'L127';\r\nMT.Text.Text:=MT.Text.Text+\r\n'L128'#13#10+"));
    EXPECT_NE(std::wstring::npos, code.find(L"'L255';\r\nMT.Text.Text:=MT.Text.Text+\r\n'L256'#13#10+"));
    EXPECT_NE(std::wstring::npos, code.find(L"'L299';\r\n    MT.EnumParams;\r\n"));
}
