// The Object Pascal tokenizer; built natively (sanitizers, 16-bit char16_t) and for Windows.
#include "ide/wizards/qkPasParser.h"
#include "tests/support/CoreErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

using namespace tamrel;

namespace {

TPasString P(std::string_view s) {
    TPasString out;
    for (char c : s) out += static_cast<TPasChar>(static_cast<unsigned char>(c));
    return out;
}

std::string Narrow(const TPasString& s) {
    std::string out;
    for (TPasChar c : s) out += static_cast<unsigned>(c) < 128 ? static_cast<char>(c) : '?';
    return out;
}

struct TTok {
    TTokenKind Kind;
    std::string Data;
    bool operator==(const TTok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TTok& t) { return os << int(t.Kind) << ":\"" << t.Data << '"'; }

// Every token up to tkNull (not included); gives up after far more calls than the text needs.
std::vector<TTok> Tokens(const TPasString& text) {
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    std::vector<TTok> out;
    for (size_t guard = 0; guard < text.size() + 10; ++guard) {
        parser.NextToken();
        if (parser.Token().ID == tkNull) return out;
        out.push_back({parser.Token().ID, Narrow(parser.Token().Data)});
    }
    ADD_FAILURE() << "no end of text";
    return out;
}

std::vector<TTok> Tokens(std::string_view text) { return Tokens(P(text)); }

} // namespace

TEST(PasTokenizer, KindsKeepTheirOrdinals) {
    EXPECT_EQ(0, tkAbsolute);
    EXPECT_EQ(20, tkCRLF);
    EXPECT_EQ(28, tkDotDot);
    EXPECT_EQ(72, tkNone);
    EXPECT_EQ(75, tkNull);
    EXPECT_EQ(115, tkString);
    EXPECT_EQ(133, tkXor);
    EXPECT_EQ(1u, sizeof(TTokenKind));
    EXPECT_EQ(2u, sizeof(TPasChar));
}

TEST(PasTokenizer, TokensOfEachRule) {
    const std::vector<std::pair<std::string, std::vector<TTok>>> cases = {
        {"1..2", {{tkFloat, "1..2"}}},
        {"12 3.5E2 1E5", {{tkNumber, "12"}, {tkSpace, " "}, {tkFloat, "3.5E2"}, {tkSpace, " "}, {tkNumber, "1E5"}}},
        {"$1aF#13#10", {{tkInteger, "$1aF"}, {tkAsciiChar, "#13#10"}}},
        {"(.x.)", {{tkSquareOpen, "(."}, {tkIdentifier, "x"}, {tkSquareClose, ".)"}}},
        {"a:=b", {{tkIdentifier, "a"}, {tkAssign, ":="}, {tkIdentifier, "b"}}},
        {"<=<><;>=>;", {{tkLowerEqual, "<="}, {tkNotEqual, "<>"}, {tkLower, "<"}, {tkSemiColon, ";"},
                         {tkGreaterEqual, ">="}, {tkGreater, ">"}, {tkSemiColon, ";"}}},
        {":.,=+-*[]()", {{tkColon, ":"}, {tkPoint, "."}, {tkComma, ","}, {tkEqual, "="}, {tkPlus, "+"},
                          {tkMinus, "-"}, {tkStar, "*"}, {tkSquareOpen, "["}, {tkSquareClose, "]"},
                          {tkRoundOpen, "("}, {tkRoundClose, ")"}}},
        {"..", {{tkPoint, "."}, {tkPoint, "."}}},
        {"!\"%&?@\\^`~/", {{tkSymbol, "!"}, {tkSymbol, "\""}, {tkSymbol, "%"}, {tkSymbol, "&"}, {tkSymbol, "?"},
                           {tkSymbol, "@"}, {tkSymbol, "\\"}, {tkSymbol, "^"}, {tkSymbol, "`"}, {tkSymbol, "~"},
                           {tkSymbol, "/"}}},
        {"|}\x7f", {{tkUnknown, "|"}, {tkUnknown, "}"}, {tkUnknown, "\x7f"}}},
        {"'abc''d'", {{tkString, "'abc'"}, {tkString, "'d'"}}},
        {" \t\x01\x0b\x0c\x1f x", {{tkSpace, " \t\x01\x0b\x0c\x1f "}, {tkIdentifier, "x"}}},
        {"_a1 b_2", {{tkIdentifier, "_a1"}, {tkSpace, " "}, {tkIdentifier, "b_2"}}},
        {"\r\n", {{tkCRLF, "\r\n"}}},
        {"\r\r", {{tkCRLF, "\r\n"}, {tkCRLF, "\r\n"}}},
        // comments
        {"{a}b", {{tkBorComment, "{a}"}, {tkIdentifier, "b"}}},
        {"(*a*)b", {{tkAnsiComment, "(*a*)"}, {tkIdentifier, "b"}}},
        {"{a\r\nb}x", {{tkBorComment, "{a"}, {tkCRLFCo, "\r\n"}, {tkBorComment, "b}"}, {tkIdentifier, "x"}}},
        {"(*a\r\n\r\n*)x", {{tkAnsiComment, "(*a"}, {tkCRLFCo, "\r\n"}, {tkCRLFCo, "\r\n"}, {tkAnsiComment, "*)"},
                            {tkIdentifier, "x"}}},
        {"//a b\r\nx", {{tkSlashesComment, "//a b"}, {tkCRLF, "\r\n"}, {tkIdentifier, "x"}}},
        {"(**)x", {{tkAnsiComment, "(**)"}, {tkIdentifier, "x"}}},
        // the closer is sought after the opener: "(*)" does not close itself
        {"(*)x*)y", {{tkAnsiComment, "(*)x*)"}, {tkIdentifier, "y"}}},
        // a comment open at the end of the text: the last piece runs to the end, then tkNull
        {"{abc", {{tkBorComment, "{abc"}}},
        {"(*", {{tkAnsiComment, "(*"}}},
        {"(*)", {{tkAnsiComment, "(*)"}}},
        {"// x", {{tkSlashesComment, "// x"}}},
        {"{a\r\n", {{tkBorComment, "{a"}, {tkCRLFCo, "\r\n"}}},
        // a line comment ends at a bare line feed too; inside braces a line feed is counted only
        {"//a\nb", {{tkSlashesComment, "//a"}, {tkIdentifier, "b"}}},
        {"{a\nb}c", {{tkBorComment, "{a\nb}"}, {tkIdentifier, "c"}}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(expected, Tokens(text)) << '"' << text << '"';
}

TEST(PasTokenizer, CharactersAbove126ComeOneAtATime) {
    const TPasString text{TPasChar(0xE9), TPasChar(0x416), TPasChar('a'), TPasChar(0xFFFF)};
    const auto tokens = Tokens(text);
    ASSERT_EQ(4u, tokens.size());
    EXPECT_EQ(tkUnknown, tokens[0].Kind);
    EXPECT_EQ(tkUnknown, tokens[1].Kind);
    EXPECT_EQ(tkIdentifier, tokens[2].Kind); // identifier characters are ASCII only
    EXPECT_EQ(tkUnknown, tokens[3].Kind);
}

TEST(PasTokenizer, UnterminatedStringRaises) {
    for (const char* text : {"'abc", "'ab\r\n'", "'ab\n'", "x := '"}) {
        const TPasString t = P(text);
        TqPasParser parser;
        parser.SetOrigin(t.c_str());
        try {
            for (int i = 0; i < 10; ++i) parser.NextToken();
            ADD_FAILURE() << text;
        } catch (const TCoreGeneralError& e) {
            EXPECT_EQ(L"Invalid string", CoreErrorMessage(e));
        }
    }
}

TEST(PasTokenizer, LinesCountedAtTheLineFeed) {
    const TPasString text = P("a\r\n  b\n\nc");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    const TqPasToken& t = parser.Token();
    struct TStep {
        TTokenKind Kind;
        int Line, LinePos, Position;
    };
    const TStep steps[] = {{tkIdentifier, 0, 0, 0}, {tkCRLF, 0, 0, 1}, {tkSpace, 1, 3, 3},
                           {tkIdentifier, 1, 3, 5}, {tkIdentifier, 3, 8, 8}, {tkNull, 3, 8, 9}};
    for (const TStep& s : steps) {
        parser.NextToken();
        EXPECT_EQ(s.Kind, t.ID);
        EXPECT_EQ(s.Line, t.LineNumber);
        EXPECT_EQ(s.LinePos, t.LinePos);
        EXPECT_EQ(s.Position, t.Position);
    }
}

TEST(PasTokenizer, CommentOverTwoLinesCountsItsLine) {
    const TPasString text = P("{a\r\nb}");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    parser.NextToken();
    EXPECT_EQ(0, parser.Token().LineNumber);
    parser.NextToken();
    EXPECT_EQ(tkCRLFCo, parser.Token().ID);
    parser.NextToken();
    EXPECT_EQ(tkBorComment, parser.Token().ID);
    EXPECT_EQ(1, parser.Token().LineNumber);
    EXPECT_EQ(4, parser.Token().LinePos);
}

TEST(PasTokenizer, AMillionBareLineFeedsAreCountedWithoutRecursion) {
    TPasString text(1000000, TPasChar('\n'));
    text += P("x");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    parser.NextToken();
    EXPECT_EQ(tkIdentifier, parser.Token().ID);
    EXPECT_EQ(1000000, parser.Token().LineNumber);
    EXPECT_EQ(1000000, parser.Token().Position);
}

TEST(PasTokenizer, NothingAdvancesAfterTheEndAlsoFromANewOriginOrPosition) {
    const TPasString first = P("a");
    const TPasString second = P("begin end");
    TqPasParser parser;
    parser.SetOrigin(first.c_str());
    parser.NextToken();
    parser.NextToken();
    ASSERT_EQ(tkNull, parser.Token().ID);
    parser.NextToken();
    EXPECT_EQ(tkNull, parser.Token().ID);
    parser.SetOrigin(second.c_str());
    parser.NextToken();
    EXPECT_EQ(tkNull, parser.Token().ID);
    parser.SetRunPos(0);
    EXPECT_EQ(tkNull, parser.Token().ID);
    EXPECT_EQ(0, parser.RunPos());
}

TEST(PasTokenizer, EveryKeywordInThreeLetterCasesSharedHashesIncluded) {
    const char* const keywords[] = {
        "ABSOLUTE", "ABSTRACT", "AND", "ARRAY", "AS", "ASM", "ASSEMBLER", "AUTOMATED", "BEGIN", "CASE", "CDECL",
        "CLASS", "CONST", "CONSTRUCTOR", "DEFAULT", "DESTRUCTOR", "DISPID", "DISPINTERFACE", "DIV", "DO", "DOWNTO",
        "DYNAMIC", "ELSE", "END", "EXCEPT", "EXPORT", "EXPORTS", "EXTERNAL", "FAR", "FILE", "FINALIZATION",
        "FINALLY", "FOR", "FORWARD", "FUNCTION", "GOTO", "IF", "IMPLEMENTATION", "IN", "INDEX", "INHERITED",
        "INITIALIZATION", "INLINE", "INTERFACE", "IS", "LABEL", "LIBRARY", "MESSAGE", "MOD", "NAME", "NEAR", "NIL",
        "NODEFAULT", "NOT", "OBJECT", "OF", "OR", "OUT", "OVERRIDE", "PACKED", "PASCAL", "PRIVATE", "PROCEDURE",
        "PROGRAM", "PROPERTY", "PROTECTED", "PUBLIC", "PUBLISHED", "RAISE", "READ", "READONLY", "RECORD",
        "REGISTER", "REPEAT", "RESIDENT", "RESOURCESTRING", "SAFECALL", "SET", "SHL", "SHR", "STDCALL", "STORED",
        "STRING", "STRINGRESOURCE", "THEN", "THREADVAR", "TO", "TRY", "TYPE", "UNIT", "UNTIL", "USES", "VAR",
        "VIRTUAL", "WHILE", "WITH", "WRITE", "WRITEONLY", "XOR"};
    ASSERT_EQ(99u, std::size(keywords));
    // Each keyword gives the kind named after it, and the kinds are in alphabetical order of
    // their names: sorted by kind name ("STRING" gives tkKeyString), the keywords must give the
    // kinds that no other rule produces, in ascending order.
    const TTokenKind otherKinds[] = {
        tkAnsiComment, tkAsciiChar, tkAssign, tkBorComment, tkColon, tkComma, tkCRLF, tkCRLFCo, tkDotDot,
        tkEqual, tkFloat, tkGreater, tkGreaterEqual, tkIdentifier, tkInteger, tkLower, tkLowerEqual, tkMinus,
        tkNone, tkNotEqual, tkNull, tkNumber, tkPlus, tkPoint, tkRoundClose, tkRoundOpen, tkSemiColon,
        tkSlashesComment, tkSquareClose, tkSquareOpen, tkSpace, tkStar, tkString, tkSymbol, tkUnknown};
    std::vector<int> keywordKinds;
    for (int k = 0; k <= tkXor; ++k)
        if (std::find(std::begin(otherKinds), std::end(otherKinds), k) == std::end(otherKinds)) keywordKinds.push_back(k);
    ASSERT_EQ(99u, keywordKinds.size());
    std::vector<std::string> byKindName(std::begin(keywords), std::end(keywords));
    auto kindName = [](const std::string& w) { return w == "STRING" ? std::string("KEYSTRING") : w; };
    std::sort(byKindName.begin(), byKindName.end(),
              [&](const std::string& a, const std::string& b) { return kindName(a) < kindName(b); });
    for (size_t i = 0; i < byKindName.size(); ++i) {
        std::string lower(byKindName[i]), mixed(byKindName[i]);
        for (size_t c = 0; c < lower.size(); ++c) {
            lower[c] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[c])));
            if (c % 2) mixed[c] = lower[c];
        }
        for (const std::string& w : {byKindName[i], lower, mixed}) {
            const auto tokens = Tokens(w);
            ASSERT_EQ(1u, tokens.size()) << w;
            EXPECT_EQ(keywordKinds[i], tokens[0].Kind) << w;
        }
    }
    // Keywords that share a hash, by name.
    const std::pair<const char*, TTokenKind> shared[] = {
        {"DIV", tkDiv}, {"NIL", tkNil}, {"FOR", tkFor}, {"SHL", tkShl}, {"CASE", tkCase}, {"READ", tkRead},
        {"UNIT", tkUnit}, {"USES", tkUses}, {"INLINE", tkInline}, {"PUBLIC", tkPublic}, {"RECORD", tkRecord},
        {"DEFAULT", tkDefault}, {"DYNAMIC", tkDynamic}, {"MESSAGE", tkMessage}, {"FORWARD", tkForward},
        {"LIBRARY", tkLibrary}, {"READONLY", tkReadonly}, {"RESIDENT", tkResident},
        {"RESOURCESTRING", tkResourcestring}, {"STRINGRESOURCE", tkStringresource}, {"string", tkKeyString}};
    for (const auto& [word, kind] : shared) EXPECT_EQ(kind, Tokens(word).at(0).Kind) << word;
    // Words that share a hash with a keyword, or are longer than any, are identifiers.
    for (const char* word : {"VID", "LIN", "ROF", "LHS", "ESAC", "DAER", "TINU", "SESU", "PUBLIK", "INLINF",
                             "IMPLEMENTATIONS", "STRINGS", "RECORDS"}) {
        const auto tokens = Tokens(word);
        ASSERT_EQ(1u, tokens.size()) << word;
        EXPECT_EQ(tkIdentifier, tokens[0].Kind) << word;
    }
    const auto longWord = Tokens(std::string(5000, 'Z'));
    ASSERT_EQ(1u, longWord.size());
    EXPECT_EQ(tkIdentifier, longWord[0].Kind);
}

TEST(PasTokenizer, VisibilityFollowsTheKeywords) {
    const TPasString text = P("x class private protected public published automated end");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    EXPECT_EQ(vsUnknown, parser.Visibility());
    const TVisibilityState expected[] = {vsPublished, vsPrivate, vsProtected, vsPublic, vsPublished, vsAutomated,
                                         vsUnknown};
    parser.NextToken(); // x
    for (TVisibilityState v : expected) {
        parser.NextNonSpace();
        EXPECT_EQ(v, parser.Visibility()) << Narrow(parser.Token().Data);
    }
}

TEST(PasTokenizer, NextClassLineMovesOnFromAClassWithoutAnIdentifierBeforeIt) {
    const TPasString text = P("\r\nclass procedure A;\r\n  TFoo = class(TObject)\r\n");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    parser.NextClassLine();
    EXPECT_EQ(tkClass, parser.Token().ID);
    EXPECT_EQ(2, parser.Token().LineNumber);
    EXPECT_EQ(static_cast<int32_t>(text.find(P("class("))), parser.Token().Position);
    parser.NextClassLine();
    EXPECT_EQ(tkNull, parser.Token().ID);
}

TEST(PasTokenizer, NextIdAdvancesAtLeastOnce) {
    const TPasString text = P("uses a; uses b;");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    parser.NextID(tkUses);
    EXPECT_EQ(0, parser.Token().Position);
    parser.NextID(tkUses);
    EXPECT_EQ(8, parser.Token().Position);
}

TEST(PasTokenizer, PositionsAndSubStringsClampToTheText) {
    const TPasString text = P("program P;\r\n  uses X;");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    EXPECT_EQ("prog", Narrow(parser.GetSubString(-5, 4)));
    EXPECT_EQ("X;", Narrow(parser.GetSubString(19, 1000)));
    EXPECT_EQ("", Narrow(parser.GetSubString(5, 2)));
    EXPECT_EQ("", Narrow(parser.GetSubString(500, 600)));

    parser.NextID(tkUses);
    parser.NextNonSpace();
    EXPECT_EQ(tkIdentifier, parser.Token().ID);
    parser.ToLineStart();
    EXPECT_EQ(tkSpace, parser.Token().ID);
    EXPECT_EQ(12, parser.Token().Position);

    parser.SetRunPos(-3);
    EXPECT_EQ(tkProgram, parser.Token().ID);
    parser.SetRunPos(1000);
    EXPECT_EQ(tkNull, parser.Token().ID);
    EXPECT_EQ(static_cast<int32_t>(text.size()), parser.RunPos());
}

TEST(PasTokenizer, EveryTokenIsTheTextAtItsPosition) {
    const TPasString text = P("program Project1;\r\n\r\nuses\r\n  Forms, {$R *.res}\r\n  Unit1 in 'Unit1.pas' {Form1};\r\n"
                              "(* two\r\n lines *) // end\r\nbegin A := $FF + #9'x'; end.\r\n");
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    const TqPasToken& t = parser.Token();
    for (parser.NextToken(); t.ID != tkNull; parser.NextToken()) {
        if (t.ID == tkCRLF || t.ID == tkCRLFCo) {
            EXPECT_EQ(TPasChar('\r'), text[static_cast<size_t>(t.Position)]);
            EXPECT_EQ(P("\r\n"), t.Data);
        } else {
            EXPECT_EQ(text.substr(static_cast<size_t>(t.Position), t.Data.size()), t.Data);
        }
    }
    EXPECT_EQ(8, t.LineNumber);
}
