// The layout of uncompressed BMP files: the 14-byte file header and the 40-byte
// info header that the desktop snapshot is written with.
#pragma once

#include <array>
#include <cstdint>

namespace rillo {

constexpr std::uint32_t kBmpHeaderSize = 54; // file header + BITMAPINFOHEADER

// Bytes of pixel data in a bottom-up BI_RGB image: the 4-byte aligned row times
// the number of rows. Widths, heights or depths that cannot form a file give 0.
std::uint32_t BmpImageSize(std::int32_t width, std::int32_t height, std::int32_t bits);

// The 54 header bytes of a bottom-up BI_RGB file of the given size and depth with
// no colour table: "BM", bfSize = 54 + image size, bfOffBits = 54, biHeight
// positive, biPlanes 1, resolution and colour counts 0.
std::array<std::uint8_t, kBmpHeaderSize> MakeBmpHeader(std::int32_t width, std::int32_t height,
                                                       std::int32_t bits);

} // namespace rillo
