// Pixel and DIB arithmetic shared by the surfaces, the field and the snapshot.
//
// A pixel is a little-endian 32-bit word 0x00RRGGBB: blue in byte 0, green in
// byte 1, red in byte 2, byte 3 zero. Surfaces are bottom-up, so memory row 0 is
// the bottom line on screen.
#pragma once

#include <array>
#include <cstdint>

namespace rillo {

using Pixel = std::uint32_t;

constexpr Pixel MakePixel(unsigned r, unsigned g, unsigned b) {
    return (Pixel(r & 0xFF) << 16) | (Pixel(g & 0xFF) << 8) | Pixel(b & 0xFF);
}
constexpr unsigned PixelRed(Pixel p) {
    return (p >> 16) & 0xFF;
}
constexpr unsigned PixelGreen(Pixel p) {
    return (p >> 8) & 0xFF;
}
constexpr unsigned PixelBlue(Pixel p) {
    return p & 0xFF;
}

// A COLORREF is 0x00BBGGRR; a pixel keeps the same channels the other way round.
constexpr Pixel PixelFromColorRef(std::uint32_t c) {
    return MakePixel(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

struct PaletteColor {
    std::uint8_t red, green, blue;
    bool operator==(const PaletteColor& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

constexpr int kDefaultPaletteSize = 256;

// The default palette: 16 fixed colours, a 6x6x6 cube and 24 greys, in that order.
const std::array<PaletteColor, kDefaultPaletteSize>& DefaultPaletteEntries();

} // namespace rillo

// Bytes in one DIB row of the given width and bit count, rounded up to 4 bytes.
std::int32_t RowStride(std::int32_t width, std::int32_t bits);

// Colour-table entries implied by a bit count: 2, 16 or 256 for 1, 4 and 8 bits,
// none for every other depth.
std::int32_t ColorTableSize(std::int32_t bits);
