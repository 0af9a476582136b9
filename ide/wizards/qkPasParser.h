// A small scanner for Object Pascal source: one token at a time, in place over the caller's
// zero-terminated text of 16-bit characters. It counts lines, follows comments across lines and
// tracks the visibility section of the class being scanned; it parses nothing.
//
// Plain C++ without the platform, so that the native build runs it under the sanitizers and the
// fuzzers: the character is wchar_t on Windows and char16_t elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tamrel {

#ifdef _WIN32
using TPasChar = wchar_t;
#else
using TPasChar = char16_t;
#endif
using TPasString = std::basic_string<TPasChar>;

// Token kinds, in their fixed order (ordinal 0 first). tkNone is the kind of a fresh token;
// tkNull marks the end of the text; no rule produces tkDotDot.
enum TTokenKind : uint8_t {
    tkAbsolute, tkAbstract, tkAnd, tkAnsiComment, tkArray, tkAs, tkAsciiChar, tkAsm, tkAssembler, tkAssign,
    tkAutomated, tkBegin, tkBorComment, tkCase, tkCdecl, tkClass, tkColon, tkComma, tkConst, tkConstructor,
    tkCRLF, tkCRLFCo, tkDefault, tkDestructor, tkDispid, tkDispinterface, tkDiv, tkDo, tkDotDot, tkDownto,
    tkDynamic, tkElse, tkEnd, tkEqual, tkExcept, tkExport, tkExports, tkExternal, tkFar, tkFile,
    tkFinalization, tkFinally, tkFloat, tkFor, tkForward, tkFunction, tkGoto, tkGreater, tkGreaterEqual,
    tkIdentifier, tkIf, tkImplementation, tkIn, tkIndex, tkInherited, tkInitialization, tkInline, tkInteger,
    tkInterface, tkIs, tkKeyString, tkLabel, tkLibrary, tkLower, tkLowerEqual, tkMessage, tkMinus, tkMod,
    tkName, tkNear, tkNil, tkNodefault, tkNone, tkNot, tkNotEqual, tkNull, tkNumber, tkObject, tkOf, tkOr,
    tkOut, tkOverride, tkPacked, tkPascal, tkPlus, tkPoint, tkPrivate, tkProcedure, tkProgram, tkProperty,
    tkProtected, tkPublic, tkPublished, tkRaise, tkRead, tkReadonly, tkRecord, tkRegister, tkRepeat,
    tkResident, tkResourcestring, tkRoundClose, tkRoundOpen, tkSafecall, tkSemiColon, tkSet, tkShl, tkShr,
    tkSlashesComment, tkSquareClose, tkSquareOpen, tkSpace, tkStar, tkStdcall, tkStored, tkString,
    tkStringresource, tkSymbol, tkThen, tkThreadvar, tkTo, tkTry, tkType, tkUnit, tkUnknown, tkUntil, tkUses,
    tkVar, tkVirtual, tkWhile, tkWith, tkWrite, tkWriteonly, tkXor
};

enum TCommentState : uint8_t { csAnsi, csBor, csNo, csSlashes };
enum TVisibilityState : uint8_t { vsAutomated, vsPrivate, vsProtected, vsPublic, vsPublished, vsUnknown };

// The one token object a parser reuses for every token.
class TqPasToken {
public:
    TTokenKind ID = tkNone;
    TPasString Data;        // the token's text ("\r\n" for the two line-break kinds)
    int32_t LineNumber = 0; // line feeds passed, from 0
    int32_t LinePos = 0;    // index of the first character of the current line
    int32_t Position = 0;   // index of the token's first character
};

class TqPasParser {
public:
    TqPasParser();
    ~TqPasParser();
    TqPasParser(const TqPasParser&) = delete;
    TqPasParser& operator=(const TqPasParser&) = delete;

    TqPasToken& Token() const { return *FToken; }
    const TPasChar* Origin() const { return fOrigin; }
    // Points the scanner at a zero-terminated text the caller keeps alive, from its start. The
    // token, the line count and the states are kept: after tkNull nothing advances any more.
    void SetOrigin(const TPasChar* origin);
    int32_t RunPos() const { return Run; }
    // Moves the scan index (clamped to the text), then scans one token.
    void SetRunPos(int32_t value);
    int32_t LastIdentPos() const { return FLastIdentPos; }
    TVisibilityState Visibility() const { return FVisibility; }

    // Scans one token. An unterminated quoted string raises "Invalid string".
    void NextToken();
    // Scans at least once, until the token has that kind or is tkNull.
    void NextID(TTokenKind id);
    // One token; a second one when the first is blank space.
    void NextNonSpace();
    // Back to the start of the current token's line, and scans from there.
    void ToLineStart();
    // On to the next "class" keyword that has an identifier before it on its line, or tkNull.
    void NextClassLine();
    // The text from StartPos up to (not including) EndPos, both clamped to the text.
    TPasString GetSubString(int32_t startPos, int32_t endPos) const;

private:
    void ScanPlain();
    void ContinueComment();
    void OpenComment(TCommentState state, int32_t bodyStart);
    void LineFeed();
    void SetToken(TTokenKind id, int32_t length);
    void SetLineBreak(TTokenKind id);
    void Identifier();
    TPasChar At(int32_t index) const { return fOrigin ? fOrigin[index] : TPasChar(0); }
    int32_t TextLength() const;

    std::unique_ptr<TqPasToken> FToken;
    int32_t FTokenLen = 0;
    TCommentState FComment = csNo;
    int32_t FLastIdentPos = 0;
    const TPasChar* fOrigin = nullptr;
    int32_t Run = 0;
    TVisibilityState FVisibility = vsUnknown;
};

} // namespace tamrel
