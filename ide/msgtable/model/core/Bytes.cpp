#include "ide/msgtable/model/core/Bytes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tamrel::msgcore {

void Fail(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    throw FormatError(text);
}

void ByteReader::Need(size_t count) const {
    if (count > FEnd - FPos) Fail("Unexpected end of data at offset %zu (%zu more bytes needed)", FPos, count);
}

void ByteReader::Seek(size_t pos) {
    if (pos > FEnd) Fail("Offset %zu lies beyond the end of the data (%zu bytes)", pos, FEnd);
    FPos = pos;
}

void ByteReader::Skip(size_t count) {
    Need(count);
    FPos += count;
}

void ByteReader::AlignClamped() { FPos = std::min(AlignUp4(FPos), FEnd); }

ByteReader ByteReader::Limited(size_t end) const {
    if (end > FEnd || end < FPos) Fail("A part of %zu bytes at offset %zu does not fit in its container", end - FPos, FPos);
    ByteReader r(FData, end);
    r.FPos = FPos;
    return r;
}

uint8_t ByteReader::U8() {
    Need(1);
    return FData[FPos++];
}

uint16_t ByteReader::U16() {
    uint16_t v = U16At(FPos);
    FPos += 2;
    return v;
}

uint32_t ByteReader::U32() {
    uint32_t v = U32At(FPos);
    FPos += 4;
    return v;
}

uint16_t ByteReader::U16At(size_t pos) const {
    if (pos > FEnd || FEnd - pos < 2) Fail("Unexpected end of data at offset %zu (2 bytes needed)", pos);
    return static_cast<uint16_t>(FData[pos] | (FData[pos + 1] << 8));
}

uint32_t ByteReader::U32At(size_t pos) const {
    if (pos > FEnd || FEnd - pos < 4) Fail("Unexpected end of data at offset %zu (4 bytes needed)", pos);
    return static_cast<uint32_t>(FData[pos]) | static_cast<uint32_t>(FData[pos + 1]) << 8 |
           static_cast<uint32_t>(FData[pos + 2]) << 16 | static_cast<uint32_t>(FData[pos + 3]) << 24;
}

const uint8_t* ByteReader::Take(size_t count) {
    Need(count);
    const uint8_t* p = FData + FPos;
    FPos += count;
    return p;
}

std::u16string ByteReader::TextUpToNul() {
    std::u16string text;
    while (FEnd - FPos >= 2) {
        char16_t unit = static_cast<char16_t>(FData[FPos] | (FData[FPos + 1] << 8));
        FPos += 2;
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

void ByteWriter::U16(uint16_t v) {
    FOut.push_back(static_cast<uint8_t>(v));
    FOut.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
}

void ByteWriter::Put(const uint8_t* data, size_t count) {
    if (count > 0) FOut.insert(FOut.end(), data, data + count);
}

void ByteWriter::Zeros(size_t count) { FOut.resize(FOut.size() + count, 0); }

void ByteWriter::AlignZeros() { FOut.resize(AlignUp4(FOut.size()), 0); }

void ByteWriter::Text(std::u16string_view text, bool nul) {
    for (char16_t unit : text) U16(unit);
    if (nul) U16(0);
}

void ByteWriter::PutU32At(size_t pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) FOut.at(pos + i) = static_cast<uint8_t>(v >> (8 * i));
}

std::u16string Latin1ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<unsigned char>(c));
    return out;
}

} // namespace tamrel::msgcore
