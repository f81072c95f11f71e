#include "ripple/pixel_format.h"

namespace rillo {

namespace {

std::array<PaletteColor, kDefaultPaletteSize> MakeDefaultPalette() {
    std::array<PaletteColor, kDefaultPaletteSize> p{};
    static constexpr PaletteColor kFixed[16] = {
        {0, 0, 0},     {255, 255, 255}, {0, 0, 255},     {0, 255, 0},
        {0, 255, 255}, {255, 0, 0},     {255, 0, 255},   {255, 255, 0},
        {0, 0, 128},   {0, 128, 0},     {0, 128, 128},   {128, 0, 0},
        {128, 0, 128}, {128, 128, 0},   {128, 128, 128}, {192, 192, 192},
    };
    int n = 0;
    for (const PaletteColor& c : kFixed)
        p[n++] = c;
    for (int b = 0; b < 6; ++b)
        for (int g = 0; g < 6; ++g)
            for (int r = 0; r < 6; ++r)
                p[n++] = {std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b)};
    for (int k = 0; k < 24; ++k) {
        const auto v = std::uint8_t(255 * k / 23);
        p[n++] = {v, v, v};
    }
    return p;
}

} // namespace

const std::array<PaletteColor, kDefaultPaletteSize>& DefaultPaletteEntries() {
    static const auto entries = MakeDefaultPalette();
    return entries;
}

} // namespace rillo

std::int32_t RowStride(std::int32_t width, std::int32_t bits) {
    // Signed 32-bit arithmetic with wrap-around, done unsigned to stay defined.
    const std::uint32_t bitsPerRow = std::uint32_t(width) * std::uint32_t(bits) + 31u;
    return std::int32_t(bitsPerRow & ~31u) / 8;
}

std::int32_t ColorTableSize(std::int32_t bits) {
    switch (bits) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}
