#include "ripple/pixel_format.h"

#include <gtest/gtest.h>

using rillo::DefaultPaletteEntries;
using rillo::PaletteColor;

TEST(PixelFormat, ColorTableSizeCoversIndexedDepthsOnly) {
    EXPECT_EQ(ColorTableSize(1), 2);
    EXPECT_EQ(ColorTableSize(4), 16);
    EXPECT_EQ(ColorTableSize(8), 256);
    for (int bits : {0, 2, 16, 24, 32, -1})
        EXPECT_EQ(ColorTableSize(bits), 0) << bits;
}

TEST(PixelFormat, RowStrideRoundsRowsUpToFourBytes) {
    EXPECT_EQ(RowStride(641, 8), 644);
    EXPECT_EQ(RowStride(3, 24), 12);
    EXPECT_EQ(RowStride(5, 1), 4);
    EXPECT_EQ(RowStride(100, 32), 400);
    EXPECT_EQ(RowStride(1366, 24), 4100);
}

TEST(PixelFormat, ColorRefChannelsAreSwapped) {
    EXPECT_EQ(rillo::PixelFromColorRef(0x00336699u), 0x00996633u);
    EXPECT_EQ(rillo::PixelFromColorRef(0xFFFFFFFFu), 0x00FFFFFFu);
}

TEST(PixelFormat, DefaultPaletteSequence) {
    const auto& p = DefaultPaletteEntries();
    EXPECT_EQ(p[0], (PaletteColor{0, 0, 0}));
    EXPECT_EQ(p[15], (PaletteColor{192, 192, 192}));
    EXPECT_EQ(p[16], (PaletteColor{0, 0, 0}));
    EXPECT_EQ(p[17], (PaletteColor{51, 0, 0}));
    EXPECT_EQ(p[22], (PaletteColor{0, 51, 0}));
    EXPECT_EQ(p[52], (PaletteColor{0, 0, 51}));
    EXPECT_EQ(p[231], (PaletteColor{255, 255, 255}));
    const int greys[24] = {0,   11,  22,  33,  44,  55,  66,  77,  88,  99,  110, 121,
                           133, 144, 155, 166, 177, 188, 199, 210, 221, 232, 243, 255};
    for (int k = 0; k < 24; ++k)
        EXPECT_EQ(p[232 + k], (PaletteColor{std::uint8_t(greys[k]), std::uint8_t(greys[k]),
                                            std::uint8_t(greys[k])}))
            << k;
}
