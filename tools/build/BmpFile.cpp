#include "BmpFile.h"

#include <fstream>

namespace tamrel::build {

const TRgb kVgaPalette[16] = {
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

bool WriteBmp(const std::string& path, int width, int height, int bits, const std::vector<uint8_t>& pixels,
              const std::vector<TRgb>& palette) {
    const int stride = ((width * bits + 31) / 32) * 4;
    const uint32_t colours = static_cast<uint32_t>(palette.size());
    const uint32_t pixelBytes = static_cast<uint32_t>(stride * height);
    const uint32_t offBits = 14 + 40 + colours * 4;
    std::vector<uint8_t> out;
    auto u16 = [&out](uint32_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
    auto u32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
    };
    // File header, then the info header (3780 pixels a metre: 96 dots an inch).
    out.push_back('B'), out.push_back('M');
    u32(offBits + pixelBytes), u16(0), u16(0), u32(offBits);
    u32(40), u32(static_cast<uint32_t>(width)), u32(static_cast<uint32_t>(height)), u16(1),
        u16(static_cast<uint32_t>(bits)), u32(0);
    u32(pixelBytes), u32(3780), u32(3780), u32(colours), u32(colours);
    for (const auto& c : palette) out.push_back(c[2]), out.push_back(c[1]), out.push_back(c[0]), out.push_back(0);
    // Rows bottom up, each padded to 4 bytes; two pixels a byte at 4 bits, the left one high.
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
        for (int x = 0; x < width; ++x) {
            const uint8_t c = pixels[static_cast<size_t>(y * width + x)];
            if (bits == 8) row[static_cast<size_t>(x)] = c;
            else row[static_cast<size_t>(x / 2)] |= (x % 2 == 0) ? static_cast<uint8_t>(c << 4) : c;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
}

} // namespace tamrel::build
