// Draws the component palette bitmaps of the design-time package: one picture per class, square,
// 16 colours (4 bits per pixel) or, for a name given as NAME:8, 256 colours. Each picture is a
// framed tile whose colours and marks follow from the class name, so that neighbours on the
// palette differ. Built and run on the build machine.
//
// Usage: palettegen <output directory> <size> NAME[:8]...   writes <output directory>/NAME.bmp
#include "../BmpFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

using tamrel::build::kVgaPalette;
using tamrel::build::TRgb;
using tamrel::build::WriteBmp;

namespace {

uint32_t Hash(const std::string& s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
    return h;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: palettegen <output directory> <size> NAME[:8]...\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int size = std::atoi(argv[2]);
    if (size < 8 || size > 64) {
        std::fprintf(stderr, "palettegen: the size must lie in 8..64\n");
        return 2;
    }
    for (int a = 3; a < argc; ++a) {
        std::string name = argv[a];
        int bits = 4;
        if (name.size() > 2 && name.compare(name.size() - 2, 2, ":8") == 0) {
            bits = 8;
            name.resize(name.size() - 2);
        }
        const uint32_t h = Hash(name);
        std::vector<TRgb> palette(std::begin(kVgaPalette), std::end(kVgaPalette));
        if (bits == 8)
            for (int i = 16; i < 256; ++i) // a ramp from the name's colour to white
                palette.push_back({static_cast<uint8_t>((i * ((h >> 8) & 0xFF)) / 255), static_cast<uint8_t>((i * 160) / 255),
                                   static_cast<uint8_t>(255 - i / 2)});
        std::vector<uint8_t> px(static_cast<size_t>(size * size), 8 /* silver, the palette's background */);
        const uint8_t face = static_cast<uint8_t>(1 + h % 6), mark = static_cast<uint8_t>(9 + (h >> 4) % 6);
        for (int y = 2; y < size - 2; ++y)
            for (int x = 2; x < size - 2; ++x) {
                uint8_t c = face;
                if (bits == 8) c = static_cast<uint8_t>(16 + (x + y) * 239 / (2 * size));
                if (x == 2 || y == 2 || x == size - 3 || y == size - 3) c = 0;
                px[static_cast<size_t>(y * size + x)] = c;
            }
        // Marks: one bar per bit pair of the name's hash.
        for (int m = 0; m < 4; ++m) {
            const int len = 3 + static_cast<int>((h >> (8 + m * 4)) % (size / 2));
            const int y = 5 + m * (size - 10) / 4;
            for (int x = 5; x < 5 + len && x < size - 4; ++x) px[static_cast<size_t>(y * size + x)] = mark;
        }
        if (!WriteBmp(dir + "/" + name + ".bmp", size, size, bits, px, palette)) {
            std::fprintf(stderr, "palettegen: cannot write %s/%s.bmp\n", dir.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
