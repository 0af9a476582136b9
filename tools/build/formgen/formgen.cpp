// Writes the stored form of a module from its skeleton: the form as text, in which a line
//   @TEMPLATE <Name> <Key>@   becomes the binary value of a template engine: the template
//                             <templates>/<Name>.pas scrambled as the engine stores it;
//   @ICON <Name>@             becomes the bytes of a 32 x 32, 16-colour icon (766 bytes) made
//                             from the bitmap <icons>/<Name>.bmp.
// Both keep the placeholder's indent, 32 bytes a line, as stored forms hold binary values; every
// line ends with CR LF. Built and run on the build machine.
//
// Usage: formgen <skeleton> <output> <templates directory> [<icons directory>]
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::nullopt;
    std::ostringstream text;
    text << f.rdbuf();
    return text.str();
}

void AppendLength(TBytes& out, size_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
}

// The engine's binary value: the key's length, the key with each byte XOR its position (from 1),
// the text's length, the text with each byte XOR the key byte after its position. Lengths are
// little-endian 32-bit; the key is the text of the placeholder, and the template's lines end
// with CR LF, as the engine keeps them.
TBytes ScrambledBlock(const std::string& key, const std::string& source) {
    std::string text;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') continue;
        if (source[i] == '\n') text += '\r';
        text += source[i];
    }
    TBytes block;
    AppendLength(block, key.size());
    for (size_t i = 0; i < key.size(); ++i)
        block.push_back(static_cast<uint8_t>(static_cast<uint8_t>(key[i]) ^ ((i + 1) % 255)));
    AppendLength(block, text.size());
    for (size_t i = 0; i < text.size(); ++i)
        block.push_back(static_cast<uint8_t>(static_cast<uint8_t>(text[i]) ^ static_cast<uint8_t>(key[(i + 1) % key.size()])));
    return block;
}

// The icon: directory and entry, then the bitmap's header (height doubled for the mask), palette
// and pixels, then an AND mask that keeps every pixel. The bitmap is the palette generator's
// 32 x 32 at 4 bits: 14 + 40 + 64 + 512 bytes.
std::optional<TBytes> IconBytes(const std::string& bmp) {
    if (bmp.size() != 630 || bmp.compare(0, 2, "BM") != 0) return std::nullopt;
    const auto bytes = [&bmp](size_t from, size_t count) {
        return TBytes(bmp.begin() + static_cast<std::ptrdiff_t>(from), bmp.begin() + static_cast<std::ptrdiff_t>(from + count));
    };
    TBytes icon = {0, 0, 1, 0, 1, 0,                          // reserved, type icon, one image
                   32, 32, 16, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0, 22, 0, 0, 0}; // 32 x 32, 16 colours, 744 bytes at 22
    const auto append = [&icon](const TBytes& part) { icon.insert(icon.end(), part.begin(), part.end()); };
    append(bytes(14, 8));                                     // header size, width
    append({64, 0, 0, 0});                                    // height: image and mask
    append(bytes(26, 8));                                     // planes, bit count, compression
    append({0x80, 2, 0, 0});                                  // image size: 640
    append(bytes(38, 592));                                   // resolution, colours, palette, pixels
    append(TBytes(128, 0));                                   // the mask
    return icon;
}

void AppendHexLines(std::string& out, const std::string& indent, const TBytes& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t at = 0; at < bytes.size(); at += 32) {
        out += indent;
        for (size_t i = at; i < bytes.size() && i < at + 32; ++i) {
            out += kDigits[bytes[i] >> 4];
            out += kDigits[bytes[i] & 15];
        }
        out += "\r\n";
    }
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "formgen: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: formgen <skeleton> <output> <templates directory> [<icons directory>]\n");
        return 2;
    }
    const std::string skeletonPath = argv[1], outputPath = argv[2], templates = argv[3];
    const std::string icons = argc == 5 ? argv[4] : "";
    const auto skeleton = ReadFile(skeletonPath);
    if (!skeleton) return Fail("cannot read " + skeletonPath);

    static const std::regex templateLine("^( *)@TEMPLATE ([A-Za-z]+) ([0-9A-F]+)@$");
    static const std::regex iconLine("^( *)@ICON ([A-Za-z]+)@$");
    std::string form;
    std::istringstream lines(*skeleton);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch m;
        if (std::regex_match(line, m, templateLine)) {
            const std::string path = templates + "/" + m[2].str() + ".pas";
            const auto text = ReadFile(path);
            if (!text) return Fail("cannot read " + path);
            AppendHexLines(form, m[1], ScrambledBlock(m[3], *text));
        } else if (std::regex_match(line, m, iconLine)) {
            if (icons.empty()) return Fail(skeletonPath + " has an icon, and no icons directory was given");
            const std::string path = icons + "/" + m[2].str() + ".bmp";
            const auto bmp = ReadFile(path);
            if (!bmp) return Fail("cannot read " + path);
            const auto icon = IconBytes(*bmp);
            if (!icon) return Fail(path + " is not a 32 x 32 16-colour bitmap");
            AppendHexLines(form, m[1], *icon);
        } else {
            form += line + "\r\n";
        }
    }
    std::ofstream out(outputPath, std::ios::binary);
    out << form;
    if (!out.flush()) return Fail("cannot write " + outputPath);
    return 0;
}
