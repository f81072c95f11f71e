// The pictures of rillo.scr's resources, drawn in code so that they can be
// regenerated and reviewed like any other source: the program icon, the invisible
// pointer and the preview picture. Each function returns the complete file.
#pragma once

#include <cstdint>
#include <vector>

namespace rillo::resources {

using Bytes = std::vector<std::uint8_t>;

// .ico with a 32 x 32 and a 16 x 16 image, 4 bits per pixel, standard VGA colours:
// blue rings on dark water around a drop, transparent outside the round pool; then
// the same in 32 bits with alpha at 48 x 48 and 64 x 64, and at 256 x 256 as a PNG.
Bytes MakeIconFile();

// .cur with one 32 x 32 monochrome image in which every pixel is transparent
// (AND mask all ones, XOR mask all zeros), hot spot (0, 0).
Bytes MakeCursorFile();

// 158 x 116 BMP, 8 bits per pixel, bottom-up, with the default palette as its
// colour table: a blue gradient stirred by a few drops of the ripple engine.
Bytes MakePreviewBitmapFile();

constexpr int kPreviewWidth = 158;
constexpr int kPreviewHeight = 116;

} // namespace rillo::resources
