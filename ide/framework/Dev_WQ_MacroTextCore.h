// The template engine's text handling, apart from the component that carries it: expansion,
// the parameter scan, the stored (scrambled) form, the key and the creation code.
//
// Plain C++ without the platform, so that the native build runs it under the sanitizers and
// the fuzzers. Template texts are 8-bit strings in the system's ANSI code page; the component
// converts to and from its lines of text.
//
// Template syntax: "~name~" is replaced by the parameter's value; "~~" and "||" stand for one
// tilde and one bar; "|+part|" and "|-part|" raise and lower a skip depth when the part is one of
// those to leave out, and text reaches the output only at depth 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tamrel {

// Whether a part is to be left out (the names are compared case-sensitively by the caller).
using TIsSkipPart = std::function<bool(std::string_view part)>;
// The value of a parameter; called only for references at depth 0. The engine's own version
// adds a parameter it does not know yet.
using TParamValue = std::function<std::string(std::string_view name)>;

// One pass over the template. Never fails: an unterminated "~" or "|" ends the pass and drops
// the rest; a marker body of fewer than 2 characters, or one whose sign is neither "+" nor "-",
// only vanishes; after any part marker at most two whole CR LF pairs are dropped. The depth
// counts below 0 as well (a lone closing marker suppresses everything after it).
std::string ExpandTemplate(std::string_view text, const TIsSkipPart& isSkipPart, const TParamValue& paramValue);

// Calls OnParam for each parameter reference in order of appearance (repeats included). Bars
// are not looked at, so a tilde inside a part marker starts a reference here. An unterminated
// tilde ends the scan.
void ScanTemplateParams(std::string_view text, const std::function<void(std::string_view name)>& onParam);

// ---------------------------------------------------------------------------------------------
// The stored form. The key and the text are scrambled with XOR, so each function undoes itself.

// Key byte at 1-based position i: XOR (i mod 255).
std::string ScrambleKey(std::string_view key);
// Text byte at 1-based position i: XOR the key byte at 0-based index (i mod key length) of the
// plain key. An empty key leaves the text as it is.
std::string ScrambleText(std::string_view text, std::string_view plainKey);

struct TStoredTemplate {
    std::string Key;  // plain
    std::string Text; // plain, lines ended by CR LF
};

// The binary block: key length (4 bytes, little-endian), scrambled key, text length, scrambled
// text; no padding.
std::vector<uint8_t> WriteStoredBlock(std::string_view plainKey, std::string_view plainText);
// Reads and unscrambles a binary block. Lengths are checked against what remains: a truncated
// block, a length past the end or bytes after the text raise a read error.
TStoredTemplate ReadStoredBlock(const uint8_t* data, size_t size);
// Reads and unscrambles the older form: a list of exactly two strings, the scrambled key and the
// scrambled text. Any other count raises a read error.
TStoredTemplate ReadStoredStrings(const std::vector<std::string>& strings);

// A fresh key: 9 values uniform in 0..254, each as two upper-case hexadecimal digits. One
// generator per process, seeded once: engines made within one clock tick still get their own.
std::string NewTemplateKey();

// Pascal statements that refill a template engine named Name with Lines and re-enumerate its
// parameters; no statement holds more than 128 lines.
std::wstring TemplateCreationCode(std::wstring_view name, const std::vector<std::wstring>& lines);

} // namespace tamrel
