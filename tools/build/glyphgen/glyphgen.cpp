// Draws the library's glyph bitmaps and writes them as 16-colour .bmp files: the check-box and
// radio-button glyphs of the check lists (15 x 15 and 14 x 14) and the account glyphs of the
// account pickers (20 x 20). Built and run on the build machine; the run-time library links the
// files as bitmap resources.
//
// Usage: glyphgen <output directory>
//
// Every glyph keeps its bottom-left pixel in the background colour (olive), which the controls
// take as the transparent colour.
#include "../BmpFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// The 16 colours of the standard VGA palette (kVgaPalette), by name.
enum Colour : uint8_t {
    Black, Maroon, Green, Olive, Navy, Purple, Teal, Gray,
    Silver, Red, Lime, Yellow, Blue, Fuchsia, Aqua, White
};

constexpr Colour kBackground = Olive;

struct Image {
    int W, H;
    std::vector<uint8_t> Px; // row 0 is the top
    Image(int w, int h) : W(w), H(h), Px(static_cast<size_t>(w * h), kBackground) {}
    void Set(int x, int y, Colour c) {
        if (x >= 0 && y >= 0 && x < W && y < H) Px[static_cast<size_t>(y * W + x)] = c;
    }
    void Fill(int x0, int y0, int x1, int y1, Colour c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Set(x, y, c);
    }
    void Frame(int x0, int y0, int x1, int y1, Colour c) {
        for (int x = x0; x <= x1; ++x) Set(x, y0, c), Set(x, y1, c);
        for (int y = y0; y <= y1; ++y) Set(x0, y, c), Set(x1, y, c);
    }
    // A filled disc and its ring, centred at (cx, cy) in half-pixel units.
    void Disc(double cx, double cy, double r, Colour c) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r) Set(x, y, c);
    }
};

// Check boxes: a 13 x 13 box at (1, 1); the outer row and column stay background.
Image CheckBox(Colour face, Colour border, bool mark, Colour markColour) {
    Image img(15, 15);
    img.Fill(1, 1, 13, 13, face);
    img.Frame(1, 1, 13, 13, border);
    if (mark) {
        // A tick from (4, 7) down to (6, 9), then up to (10, 5), three pixels thick.
        for (int i = 0; i < 3; ++i) {
            for (int d = 0; d <= 2; ++d) img.Set(4 + d, 6 + d + i, markColour);
            for (int d = 0; d <= 4; ++d) img.Set(6 + d, 8 - d + i, markColour);
        }
    }
    return img;
}

// Radio buttons: a disc of radius 6 in the 14 x 14 cell; the corners stay background.
Image Radio(Colour face, Colour ring, bool dot, Colour dotColour) {
    Image img(14, 14);
    img.Disc(7, 7, 6.5, ring);
    img.Disc(7, 7, 5.3, face);
    if (dot) img.Disc(7, 7, 2.6, dotColour);
    return img;
}

// Account glyphs: one person, two people, or a round badge, each in its own colours and with
// its own mark, so that no two glyphs look alike.
Image Person(Colour body, int dx, Image img) {
    img.Disc(7 + dx, 6, 3.2, body);
    img.Fill(2 + dx, 11, 12 + dx, 17, body);
    img.Disc(7 + dx, 12, 5.2, body);
    img.Fill(0, 18, 19, 19, kBackground);
    return img;
}

Image Badge(Colour ring, Colour face, int mark) {
    Image img(20, 20);
    img.Disc(10, 10, 9, ring);
    img.Disc(10, 10, 7, face);
    // The mark: a bar pattern that encodes the glyph's number (bits 0..4 as short bars).
    for (int bit = 0; bit < 5; ++bit)
        if (mark & (1 << bit)) img.Fill(5 + 2 * bit, 7, 5 + 2 * bit, 12, ring);
    img.Set(0, 19, kBackground);
    return img;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: glyphgen <output directory>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    struct Item {
        const char* Name;
        Image Img;
    };
    std::vector<Item> items = {
        {"RKBM_CHECK_ON", CheckBox(White, Black, true, Black)},
        {"RKBM_CHECK_OFF", CheckBox(White, Black, false, Black)},
        {"RKBM_CHECK_GRAY", CheckBox(Silver, Gray, true, Gray)},
        {"RKBM_CHECK_ON_DISABLED", CheckBox(Silver, Gray, true, Black)},
        {"RKBM_CHECK_OFF_DISABLED", CheckBox(Silver, Gray, false, Black)},
        {"RKBM_RADIO_ON", Radio(White, Black, true, Black)},
        {"RKBM_RADIO_OFF", Radio(White, Black, false, Black)},
        {"RKBM_RADIO_ON_DISABLED", Radio(Silver, Gray, true, Gray)},
        {"RKBM_RADIO_OFF_DISABLED", Radio(Silver, Gray, false, Gray)},
        {"SID_USER", Person(Blue, 3, Image(20, 20))},
        {"SID_GROUP", Person(Navy, 5, Person(Teal, 0, Image(20, 20)))},
    };
    // The well-known accounts that have a glyph, in the order of their enumeration.
    const char* wellKnown[] = {"SID_WORLD",         "SID_OWNER",         "SID_DIALUP",       "SID_NETWORK",
                               "SID_BATCH",         "SID_INTERACTIVE",   "SID_SERVICE",      "SID_ANONYMOUS",
                               "SID_BUILTIN",       "SID_AUTHENTICATED", "SID_SYSTEM",       "SID_ADMIN",
                               "SID_GUEST",         "SID_DOMAIN_ADMINS", "SID_DOMAIN_USERS", "SID_DOMAIN_GUESTS",
                               "SID_ADMINS",        "SID_USERS",         "SID_GUESTS",       "SID_POWER_USERS",
                               "SID_BACKUP",        "SID_REPLICATOR"};
    // The sources of the account pickers: a computer (a screen on a stand) and a domain (three
    // linked computers).
    Image computer(20, 20);
    computer.Fill(3, 3, 16, 12, Gray);
    computer.Fill(5, 5, 14, 10, Aqua);
    computer.Fill(8, 13, 11, 15, Gray);
    computer.Fill(5, 16, 14, 17, Gray);
    items.push_back({"SID_SOURCE_COMPUTER", computer});
    Image domain(20, 20);
    for (auto [x, y] : {std::pair{1, 2}, std::pair{11, 2}, std::pair{6, 11}}) {
        domain.Fill(x, y, x + 7, y + 5, Navy);
        domain.Fill(x + 1, y + 1, x + 6, y + 4, Lime);
    }
    domain.Fill(8, 8, 11, 10, Navy);
    items.push_back({"SID_SOURCE_DOMAIN", domain});

    const Colour rings[] = {Maroon, Green, Navy, Purple, Teal, Red, Blue, Fuchsia};
    const Colour faces[] = {Yellow, Aqua, Lime, White};
    int n = 0;
    for (const char* name : wellKnown) {
        items.push_back({name, Badge(rings[n % 8], faces[(n / 8) % 4], n + 1)});
        ++n;
    }
    const std::vector<tamrel::build::TRgb> palette(std::begin(tamrel::build::kVgaPalette),
                                                   std::end(tamrel::build::kVgaPalette));
    for (const auto& item : items)
        if (!tamrel::build::WriteBmp(dir + item.Name + ".bmp", item.Img.W, item.Img.H, 4, item.Img.Px, palette)) {
            std::fprintf(stderr, "glyphgen: cannot write %s%s.bmp\n", dir.c_str(), item.Name);
            return 1;
        }
    return 0;
}
