#include "ide/wizards/qkPasParser.h"

#include "ide/framework/WQ_CoreRaise.h"

#include <array>
#include <vector>

namespace tamrel {

namespace {

struct TKeyword {
    const char* Word;
    TTokenKind Kind;
};

const TKeyword kKeywords[] = {
    {"ABSOLUTE", tkAbsolute}, {"ABSTRACT", tkAbstract}, {"AND", tkAnd}, {"ARRAY", tkArray}, {"AS", tkAs},
    {"ASM", tkAsm}, {"ASSEMBLER", tkAssembler}, {"AUTOMATED", tkAutomated}, {"BEGIN", tkBegin},
    {"CASE", tkCase}, {"CDECL", tkCdecl}, {"CLASS", tkClass}, {"CONST", tkConst},
    {"CONSTRUCTOR", tkConstructor}, {"DEFAULT", tkDefault}, {"DESTRUCTOR", tkDestructor},
    {"DISPID", tkDispid}, {"DISPINTERFACE", tkDispinterface}, {"DIV", tkDiv}, {"DO", tkDo},
    {"DOWNTO", tkDownto}, {"DYNAMIC", tkDynamic}, {"ELSE", tkElse}, {"END", tkEnd}, {"EXCEPT", tkExcept},
    {"EXPORT", tkExport}, {"EXPORTS", tkExports}, {"EXTERNAL", tkExternal}, {"FAR", tkFar}, {"FILE", tkFile},
    {"FINALIZATION", tkFinalization}, {"FINALLY", tkFinally}, {"FOR", tkFor}, {"FORWARD", tkForward},
    {"FUNCTION", tkFunction}, {"GOTO", tkGoto}, {"IF", tkIf}, {"IMPLEMENTATION", tkImplementation},
    {"IN", tkIn}, {"INDEX", tkIndex}, {"INHERITED", tkInherited}, {"INITIALIZATION", tkInitialization},
    {"INLINE", tkInline}, {"INTERFACE", tkInterface}, {"IS", tkIs}, {"LABEL", tkLabel},
    {"LIBRARY", tkLibrary}, {"MESSAGE", tkMessage}, {"MOD", tkMod}, {"NAME", tkName}, {"NEAR", tkNear},
    {"NIL", tkNil}, {"NODEFAULT", tkNodefault}, {"NOT", tkNot}, {"OBJECT", tkObject}, {"OF", tkOf},
    {"OR", tkOr}, {"OUT", tkOut}, {"OVERRIDE", tkOverride}, {"PACKED", tkPacked}, {"PASCAL", tkPascal},
    {"PRIVATE", tkPrivate}, {"PROCEDURE", tkProcedure}, {"PROGRAM", tkProgram}, {"PROPERTY", tkProperty},
    {"PROTECTED", tkProtected}, {"PUBLIC", tkPublic}, {"PUBLISHED", tkPublished}, {"RAISE", tkRaise},
    {"READ", tkRead}, {"READONLY", tkReadonly}, {"RECORD", tkRecord}, {"REGISTER", tkRegister},
    {"REPEAT", tkRepeat}, {"RESIDENT", tkResident}, {"RESOURCESTRING", tkResourcestring},
    {"SAFECALL", tkSafecall}, {"SET", tkSet}, {"SHL", tkShl}, {"SHR", tkShr}, {"STDCALL", tkStdcall},
    {"STORED", tkStored}, {"STRING", tkKeyString}, {"STRINGRESOURCE", tkStringresource}, {"THEN", tkThen},
    {"THREADVAR", tkThreadvar}, {"TO", tkTo}, {"TRY", tkTry}, {"TYPE", tkType}, {"UNIT", tkUnit},
    {"UNTIL", tkUntil}, {"USES", tkUses}, {"VAR", tkVar}, {"VIRTUAL", tkVirtual}, {"WHILE", tkWhile},
    {"WITH", tkWith}, {"WRITE", tkWrite}, {"WRITEONLY", tkWriteonly}, {"XOR", tkXor},
};

// Words longer than the longest keyword are identifiers without a look-up, which also keeps
// the hash (the sum of the character codes) inside the table.
constexpr size_t kLongestKeyword = 14;
constexpr unsigned kLargestCode = '_';
using TKeywordBuckets = std::array<std::vector<const TKeyword*>, kLongestKeyword * kLargestCode + 1>;

const TKeywordBuckets& KeywordBuckets() {
    static const TKeywordBuckets buckets = [] {
        TKeywordBuckets b;
        for (const TKeyword& k : kKeywords) {
            unsigned hash = 0;
            for (const char* p = k.Word; *p; ++p) hash += static_cast<unsigned char>(*p);
            b[hash].push_back(&k);
        }
        return b;
    }();
    return buckets;
}

unsigned Code(TPasChar c) { return static_cast<uint16_t>(c); }
bool IsDigit(unsigned c) { return c >= '0' && c <= '9'; }
bool IsLetter(unsigned c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsHexDigit(unsigned c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsBlank(unsigned c) { return (c >= 1 && c <= 9) || c == 11 || c == 12 || (c >= 14 && c <= 32); }
bool IsSymbol(unsigned c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 || c == 126;
}

TTokenKind SingleCharacterKind(unsigned c) {
    switch (c) {
    case ')': return tkRoundClose;
    case '*': return tkStar;
    case '+': return tkPlus;
    case ',': return tkComma;
    case '-': return tkMinus;
    case ';': return tkSemiColon;
    case '=': return tkEqual;
    case '[': return tkSquareOpen;
    case ']': return tkSquareClose;
    default: return tkNone;
    }
}

} // namespace

TqPasParser::TqPasParser() : FToken(std::make_unique<TqPasToken>()) {}

TqPasParser::~TqPasParser() = default;

void TqPasParser::SetOrigin(const TPasChar* origin) {
    fOrigin = origin;
    Run = 0;
}

int32_t TqPasParser::TextLength() const {
    int32_t n = 0;
    if (fOrigin)
        while (fOrigin[n] != 0) ++n;
    return n;
}

void TqPasParser::SetRunPos(int32_t value) {
    const int32_t length = TextLength();
    Run = value < 0 ? 0 : value > length ? length : value;
    NextToken();
}

void TqPasParser::SetToken(TTokenKind id, int32_t length) {
    FToken->ID = id;
    FTokenLen = length;
    if (fOrigin && length > 0) FToken->Data.assign(fOrigin + FToken->Position, static_cast<size_t>(length));
    else FToken->Data.clear();
    Run = FToken->Position + length;
}

void TqPasParser::SetLineBreak(TTokenKind id) {
    // Only the carriage return is consumed: the line feed after it counts the line.
    FToken->ID = id;
    FTokenLen = 1;
    FToken->Data = {TPasChar('\r'), TPasChar('\n')};
    Run = FToken->Position + 1;
}

void TqPasParser::LineFeed() {
    ++Run;
    ++FToken->LineNumber;
    FToken->LinePos = Run;
}

void TqPasParser::NextToken() {
    if (FComment != csNo) ContinueComment();
    else ScanPlain();
}

void TqPasParser::ScanPlain() {
    for (;;) {
        FToken->Position = Run;
        if (FToken->ID == tkNull) return;
        const unsigned c = Code(At(Run));
        if (c == '\n') { // not a token: count the line and go on
            LineFeed();
            continue;
        }
        const unsigned next = c == 0 ? 0 : Code(At(Run + 1));
        int32_t i = Run;
        if (c == 0) {
            SetToken(tkNull, 0);
        } else if (IsBlank(c)) {
            while (IsBlank(Code(At(i)))) ++i;
            SetToken(tkSpace, i - Run);
        } else if (c == '\r') {
            SetLineBreak(tkCRLF);
        } else if (c == '#') {
            while (Code(At(i)) == '#' || IsDigit(Code(At(i)))) ++i;
            SetToken(tkAsciiChar, i - Run);
        } else if (c == '$') {
            ++i;
            while (Code(At(i)) == '$' || IsHexDigit(Code(At(i)))) ++i;
            SetToken(tkInteger, i - Run);
        } else if (c == '\'') {
            ++i;
            for (unsigned d = Code(At(i)); d != '\''; d = Code(At(++i)))
                if (d == 0 || d == '\r' || d == '\n') RaiseCoreError(TCoreError::General, L"Invalid string");
            SetToken(tkString, i + 1 - Run);
        } else if (IsDigit(c)) {
            bool point = false;
            for (unsigned d = c; IsDigit(d) || d == '.' || d == 'E' || d == 'e'; d = Code(At(++i)))
                point = point || d == '.';
            SetToken(point ? tkFloat : tkNumber, i - Run);
        } else if (IsLetter(c)) {
            Identifier();
        } else if (c == '{') {
            OpenComment(csBor, Run + 1);
        } else if (c == '(') {
            if (next == '*') OpenComment(csAnsi, Run + 2); // the closer is sought after the opener
            else if (next == '.') SetToken(tkSquareOpen, 2);
            else SetToken(tkRoundOpen, 1);
        } else if (c == '.') {
            if (next == ')') SetToken(tkSquareClose, 2);
            else SetToken(tkPoint, 1);
        } else if (c == '/') {
            if (next == '/') {
                // One token up to the end of the line. A bare line feed ends it too, so that a
                // file with Unix line ends is not swallowed from the first such comment on.
                FComment = csSlashes;
                i += 2;
                for (unsigned d = Code(At(i)); d != 0 && d != '\r' && d != '\n'; d = Code(At(++i))) {
                }
                SetToken(tkSlashesComment, i - Run);
                FComment = csNo;
            } else {
                SetToken(tkSymbol, 1);
            }
        } else if (c == ':') {
            if (next == '=') SetToken(tkAssign, 2);
            else SetToken(tkColon, 1);
        } else if (c == '<') {
            if (next == '=') SetToken(tkLowerEqual, 2);
            else if (next == '>') SetToken(tkNotEqual, 2);
            else SetToken(tkLower, 1);
        } else if (c == '>') {
            if (next == '=') SetToken(tkGreaterEqual, 2);
            else SetToken(tkGreater, 1);
        } else if (TTokenKind single = SingleCharacterKind(c); single != tkNone) {
            SetToken(single, 1);
        } else {
            SetToken(IsSymbol(c) ? tkSymbol : tkUnknown, 1);
        }
        return;
    }
}

void TqPasParser::Identifier() {
    int32_t i = Run;
    while (IsLetter(Code(At(i))) || IsDigit(Code(At(i)))) ++i;
    const auto length = static_cast<size_t>(i - Run);
    TTokenKind kind = tkIdentifier;
    if (length <= kLongestKeyword) {
        char upper[kLongestKeyword + 1] = {};
        unsigned hash = 0;
        for (size_t k = 0; k < length; ++k) {
            unsigned c = Code(At(Run + static_cast<int32_t>(k)));
            if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
            upper[k] = static_cast<char>(c);
            hash += c;
        }
        for (const TKeyword* keyword : KeywordBuckets()[hash])
            if (std::string_view(keyword->Word) == std::string_view(upper, length)) kind = keyword->Kind;
    }
    SetToken(kind, static_cast<int32_t>(length));
    switch (kind) {
    case tkIdentifier: FLastIdentPos = FToken->Position; break;
    case tkClass: FVisibility = vsPublished; break;
    case tkPrivate: FVisibility = vsPrivate; break;
    case tkProtected: FVisibility = vsProtected; break;
    case tkPublic: FVisibility = vsPublic; break;
    case tkPublished: FVisibility = vsPublished; break;
    case tkAutomated: FVisibility = vsAutomated; break;
    case tkEnd: FVisibility = vsUnknown; break;
    default: break;
    }
}

void TqPasParser::OpenComment(TCommentState state, int32_t bodyStart) {
    FComment = state;
    int32_t i = bodyStart;
    // One piece per line: up to the closer (included, the comment ends), the line's carriage
    // return (excluded, the comment stays open) or the end of the text (the comment ends, so
    // that the next call gives tkNull). Line feeds inside a piece count lines.
    for (;;) {
        const unsigned c = Code(At(i));
        if (c == 0) {
            FComment = csNo;
            break;
        }
        if (c == '\r') break;
        if (c == '\n') {
            ++FToken->LineNumber;
            FToken->LinePos = i + 1;
        } else if (state == csBor && c == '}') {
            ++i;
            FComment = csNo;
            break;
        } else if (state == csAnsi && c == '*' && Code(At(i + 1)) == ')') {
            i += 2;
            FComment = csNo;
            break;
        }
        ++i;
    }
    SetToken(state == csBor ? tkBorComment : tkAnsiComment, i - Run);
}

void TqPasParser::ContinueComment() {
    FToken->Position = Run;
    unsigned c = Code(At(Run));
    while (c == '\n') { // the line feed of the line break just delivered: the piece starts after it
        LineFeed();
        FToken->Position = Run;
        c = Code(At(Run));
    }
    if (c == '\r') {
        SetLineBreak(tkCRLFCo);
    } else if (c == 0) {
        FComment = csNo; // nothing left of the comment: the end of the text
        ScanPlain();
    } else {
        OpenComment(FComment, Run);
    }
}

void TqPasParser::NextID(TTokenKind id) {
    do NextToken();
    while (FToken->ID != id && FToken->ID != tkNull);
}

void TqPasParser::NextNonSpace() {
    NextToken();
    if (FToken->ID == tkSpace) NextToken();
}

void TqPasParser::ToLineStart() { SetRunPos(FToken->LinePos); }

void TqPasParser::NextClassLine() {
    do NextID(tkClass);
    while (FToken->ID != tkNull && FLastIdentPos < FToken->LinePos);
}

TPasString TqPasParser::GetSubString(int32_t startPos, int32_t endPos) const {
    const int32_t length = TextLength();
    auto clamp = [length](int32_t v) { return v < 0 ? 0 : v > length ? length : v; };
    startPos = clamp(startPos);
    endPos = clamp(endPos);
    if (endPos <= startPos) return {};
    return TPasString(fOrigin + startPos, static_cast<size_t>(endPos - startPos));
}

} // namespace tamrel
