// The bitmap files the build-time generators draw: uncompressed, 4 or 8 bits per pixel, with a
// colour table, as resource compilers and the controls that load them expect.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tamrel::build {

using TRgb = std::array<uint8_t, 3>;

// The 16 colours of the standard VGA palette, in its order.
extern const TRgb kVgaPalette[16];

// Writes a <width> x <height> picture whose pixels are indexes into <palette>, row 0 the top, as
// a .bmp of <bits> (4 or 8) bits per pixel. False when the file cannot be written.
bool WriteBmp(const std::string& path, int width, int height, int bits, const std::vector<uint8_t>& pixels,
              const std::vector<TRgb>& palette);

} // namespace tamrel::build
