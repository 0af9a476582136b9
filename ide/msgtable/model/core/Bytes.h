// Bounded little-endian reading and writing for the resource formats of the message-table
// model. Portable on purpose: no Windows header, so that the readers also build natively and run
// under the sanitizers with hostile input.
//
// Every read is checked against the end of the data it was given; a read past it raises
// FormatError. Positions are offsets from the start of the data, so "aligned" means aligned
// relative to that start, as the resource layouts count it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tamrel::msgcore {

using Bytes = std::vector<uint8_t>;

// Malformed, truncated or oversized input, or data that a format cannot hold. The message is
// plain ASCII text meant for the user.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-style message, then throw FormatError.
[[noreturn]] void Fail(const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

constexpr size_t AlignUp4(size_t n) { return (n + 3) & ~size_t(3); }

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : FData(data), FEnd(size) {}

    const uint8_t* Data() const { return FData; }
    size_t Pos() const { return FPos; }
    size_t End() const { return FEnd; }
    size_t Left() const { return FEnd - FPos; }
    bool AtEnd() const { return FPos >= FEnd; }

    // Positions beyond the end raise.
    void Seek(size_t pos);
    void Skip(size_t count);
    // Moves to the next multiple of 4, but never past the end.
    void AlignClamped();
    // The same data and position, ending at End (which must not lie beyond this reader's end).
    ByteReader Limited(size_t end) const;

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    // A read at a position, leaving the reader where it is.
    uint16_t U16At(size_t pos) const;
    uint32_t U32At(size_t pos) const;
    // Count bytes at the position, which moves past them.
    const uint8_t* Take(size_t count);

    // UTF-16 units up to a NUL or to the end, whichever comes first; the position moves past the
    // NUL when there is one. Odd trailing bytes are ignored.
    std::u16string TextUpToNul();

private:
    void Need(size_t count) const;

    const uint8_t* FData;
    size_t FEnd;
    size_t FPos = 0;
};

class ByteWriter {
public:
    explicit ByteWriter(Bytes& out) : FOut(out) {}

    size_t Pos() const { return FOut.size(); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void Put(const uint8_t* data, size_t count);
    void Zeros(size_t count);
    void AlignZeros();
    // UTF-16 units, and a NUL when asked.
    void Text(std::u16string_view text, bool nul);
    void PutU32At(size_t pos, uint32_t v);

private:
    Bytes& FOut;
};

// Bytes as text, one byte per UTF-16 unit: the code-page seam's default for ANSI text.
std::u16string Latin1ToUtf16(std::string_view text);
// Converts ANSI text of a message table (Flags 0) to UTF-16. The library passes the system
// code page; native builds take the default.
using AnsiDecoder = std::u16string (*)(std::string_view text);

} // namespace tamrel::msgcore
