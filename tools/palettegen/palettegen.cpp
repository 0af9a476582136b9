// Draws the component palette bitmaps of the design-time package: one picture per class, square,
// 16 colours (4 bits per pixel) or, for a name given as NAME:8, 256 colours. Each picture is a
// framed tile whose colours and marks follow from the class name, so that neighbours on the
// palette differ. Built and run on the build machine.
//
// Usage: palettegen <output directory> <size> NAME[:8]...   writes <output directory>/NAME.bmp
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The 16 colours of the standard VGA palette.
const uint8_t kVga[16][3] = {
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

uint32_t Hash(const std::string& s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
    return h;
}

bool Write(const std::string& path, int size, int bits, const std::vector<uint8_t>& px,
           const std::vector<std::array<uint8_t, 3>>& palette) {
    const int stride = ((size * bits + 31) / 32) * 4;
    const uint32_t colours = static_cast<uint32_t>(palette.size());
    const uint32_t pixelBytes = static_cast<uint32_t>(stride * size);
    const uint32_t offBits = 14 + 40 + colours * 4;
    std::vector<uint8_t> out;
    auto u16 = [&out](uint32_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
    auto u32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
    };
    out.push_back('B'), out.push_back('M');
    u32(offBits + pixelBytes), u16(0), u16(0), u32(offBits);
    u32(40), u32(static_cast<uint32_t>(size)), u32(static_cast<uint32_t>(size)), u16(1), u16(static_cast<uint32_t>(bits)), u32(0);
    u32(pixelBytes), u32(3780), u32(3780), u32(colours), u32(colours);
    for (const auto& c : palette) out.push_back(c[2]), out.push_back(c[1]), out.push_back(c[0]), out.push_back(0);
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
        for (int x = 0; x < size; ++x) {
            const uint8_t c = px[static_cast<size_t>(y * size + x)];
            if (bits == 8) row[static_cast<size_t>(x)] = c;
            else row[static_cast<size_t>(x / 2)] |= (x % 2 == 0) ? static_cast<uint8_t>(c << 4) : c;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
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
        std::vector<std::array<uint8_t, 3>> palette;
        for (const auto& c : kVga) palette.push_back({c[0], c[1], c[2]});
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
        if (!Write(dir + "/" + name + ".bmp", size, bits, px, palette)) {
            std::fprintf(stderr, "palettegen: cannot write %s/%s.bmp\n", dir.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
