// Fuzz target: the tokenizer reaches tkNull within (length + 1) calls, every token's text is the
// input at its Position (the two line-break kinds aside, whose text is always CR LF), and the
// other scanning operations stay inside the text.
//
// Input: the first byte chooses the reading: even, one character per byte (the scanner's own
// characters are easy to reach); odd, 16-bit little-endian characters. The text ends at the
// first NUL character, as the scanner's text does.
#include "ide/wizards/qkPasParser.h"
#include "tests/support/CoreErrors.h"

#include <cstdint>
#include <cstdlib>

using namespace tamrel;

namespace {

TPasString Decode(const uint8_t* data, size_t size) {
    TPasString text;
    if (size == 0) return text;
    if (data[0] % 2 == 0) {
        for (size_t i = 1; i < size && data[i] != 0; ++i) text += static_cast<TPasChar>(data[i]);
    } else {
        for (size_t i = 1; i + 1 < size; i += 2) {
            const auto c = static_cast<TPasChar>(data[i] | (data[i + 1] << 8));
            if (c == 0) break;
            text += c;
        }
    }
    return text;
}

void CheckTokens(const TPasString& text) {
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    const TqPasToken& t = parser.Token();
    size_t calls = 0;
    try {
        while (t.ID != tkNull) {
            if (++calls > text.size() + 1) std::abort();
            parser.NextToken();
            if (t.Position < 0 || static_cast<size_t>(t.Position) > text.size()) std::abort();
            if (t.LinePos < 0 || t.LinePos > parser.RunPos()) std::abort();
            if (t.ID == tkCRLF || t.ID == tkCRLFCo) {
                if (text[static_cast<size_t>(t.Position)] != '\r') std::abort();
            } else if (text.compare(static_cast<size_t>(t.Position), t.Data.size(), t.Data) != 0) {
                std::abort();
            }
        }
    } catch (const TCoreGeneralError& e) {
        if (CoreErrorMessage(e) != L"Invalid string") std::abort();
        return;
    }
    // After the end nothing advances, also from the start again.
    parser.SetOrigin(text.c_str());
    parser.NextToken();
    if (t.ID != tkNull) std::abort();
}

void CheckOtherOperations(const TPasString& text, const uint8_t* data, size_t size) {
    TqPasParser parser;
    parser.SetOrigin(text.c_str());
    const int32_t a = size > 1 ? static_cast<int32_t>(data[1]) - 16 : 0;
    const int32_t b = size > 2 ? static_cast<int32_t>(data[2]) * 4 : 0;
    const TPasString piece = parser.GetSubString(a, b);
    if (piece.size() > text.size()) std::abort();
    try {
        parser.SetRunPos(b);
        parser.ToLineStart();
        parser.NextNonSpace();
        parser.NextClassLine();
        parser.NextID(tkSemiColon);
    } catch (const TCoreGeneralError& e) {
        if (CoreErrorMessage(e) != L"Invalid string") std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TPasString text = Decode(data, size);
    CheckTokens(text);
    CheckOtherOperations(text, data, size);
    return 0;
}
