// The layout of uncompressed BMP files: the 14-byte file header and the 40-byte
// info header that the desktop snapshot is written with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The largest picture DecodeBmp accepts: 65535 pixels a side and 2^26 pixels in all
// (an 8K screen is 2^25), so a header cannot make us allocate gigabytes.
constexpr std::int32_t kBmpMaxSide = 65535;
constexpr std::int64_t kBmpMaxPixels = std::int64_t(1) << 26;

// A decoded picture: width x height words 0x00RRGGBB, memory row 0 = the
// picture's bottom line, whatever the file's row order.
struct BmpImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// Decodes an uncompressed 24- or 32-bit BMP held in memory, bottom-up or top-down
// (32-bit BI_BITFIELDS only with the plain 0x00RRGGBB masks). Any other file gives
// false with a short reason in error ("truncated", "compressed", ...) and an empty
// image.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, BmpImage& image, std::string& error);

// A complete 32-bit BI_RGB bottom-up file: the 54 header bytes, then the words in
// memory order, little-endian. Sizes that cannot form a file give an empty vector.
std::vector<std::uint8_t> EncodeBmp32(std::int32_t width, std::int32_t height,
                                      const std::uint32_t* pixels);

} // namespace rillo
