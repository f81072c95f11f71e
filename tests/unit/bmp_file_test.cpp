#include "saver/bmp_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using rillo::BmpImage;
using rillo::DecodeBmp;
using rillo::EncodeBmp32;

namespace {

void Put(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x, int bytes) {
    for (int n = 0; n < bytes; ++n)
        v[at + n] = std::uint8_t(x >> (8 * n));
}

// A BMP with the given header fields; pixel rows follow at offBits, each row
// (x, fileRow) with blue = x, green = fileRow, red = 0x80 + x + fileRow.
std::vector<std::uint8_t> MakeFile(std::int32_t width, std::int32_t height, int bits,
                                   std::uint32_t compression = 0, std::uint32_t infoSize = 40) {
    const std::uint32_t offBits = 14 + infoSize + (compression == 3 && infoSize == 40 ? 12 : 0);
    const std::int32_t rows = height < 0 ? -height : height;
    const std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> f(offBits + stride * rows, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put(f, 2, std::uint32_t(f.size()), 4);
    Put(f, 10, offBits, 4);
    Put(f, 14, infoSize, 4);
    Put(f, 18, std::uint32_t(width), 4);
    Put(f, 22, std::uint32_t(height), 4);
    Put(f, 26, 1, 2);
    Put(f, 28, std::uint32_t(bits), 2);
    Put(f, 30, compression, 4);
    if (compression == 3) {
        Put(f, 54, 0x00FF0000, 4);
        Put(f, 58, 0x0000FF00, 4);
        Put(f, 62, 0x000000FF, 4);
    }
    if (bits < 24)
        return f; // depths the reader refuses: the pixel bytes do not matter
    for (std::int32_t y = 0; y < rows; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = &f[offBits + y * stride + std::size_t(x) * (bits / 8)];
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = std::uint8_t(0x80 + x + y);
            if (bits == 32)
                p[3] = 0xEE;
        }
    return f;
}

std::uint32_t Expected(std::int32_t x, std::int32_t fileRow) {
    return std::uint32_t(0x80 + x + fileRow) << 16 | std::uint32_t(fileRow) << 8 | std::uint32_t(x);
}

std::string DecodeError(const std::vector<std::uint8_t>& f) {
    BmpImage image;
    image.width = 99;
    std::string error;
    EXPECT_FALSE(DecodeBmp(f.data(), f.size(), image, error));
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.pixels.empty());
    return error;
}

} // namespace

TEST(BmpFile, DecodesBottomUpAndTopDownAtBothDepths) {
    for (int bits : {24, 32})
        for (bool topDown : {false, true}) {
            const std::int32_t w = 3, h = 4; // 24-bit rows of 9 bytes pad to 12
            const auto f = MakeFile(w, topDown ? -h : h, bits);
            BmpImage image;
            std::string error;
            ASSERT_TRUE(DecodeBmp(f.data(), f.size(), image, error)) << error;
            ASSERT_EQ(image.width, w);
            ASSERT_EQ(image.height, h);
            for (std::int32_t fileRow = 0; fileRow < h; ++fileRow) {
                // Memory row 0 is the bottom line: the first file row when bottom-up.
                const std::int32_t row = topDown ? h - 1 - fileRow : fileRow;
                for (std::int32_t x = 0; x < w; ++x)
                    EXPECT_EQ(image.pixels[std::size_t(row * w + x)], Expected(x, fileRow))
                        << bits << " bits, top-down " << topDown << ", " << x << "," << fileRow;
            }
        }
}

TEST(BmpFile, AcceptsPlainBitFieldsLargerHeadersAndAMissingLastPad) {
    BmpImage image;
    std::string error;
    auto f = MakeFile(2, 2, 32, 3);
    EXPECT_TRUE(DecodeBmp(f.data(), f.size(), image, error)) << error;
    f = MakeFile(2, 2, 32, 3, 124); // masks inside a V5 header
    EXPECT_TRUE(DecodeBmp(f.data(), f.size(), image, error)) << error;
    EXPECT_EQ(image.pixels[3], Expected(1, 1));
    f = MakeFile(3, 2, 24);
    f.resize(f.size() - 3); // last row without its 3 padding bytes
    EXPECT_TRUE(DecodeBmp(f.data(), f.size(), image, error)) << error;
}

TEST(BmpFile, RejectsWhatItCannotRead) {
    EXPECT_EQ(DecodeError({}), "not a BMP file");
    EXPECT_EQ(DecodeError({'P', 'K', 3, 4}), "not a BMP file");
    EXPECT_EQ(DecodeError({'B', 'M', 0, 0}), "truncated");

    auto f = MakeFile(5, 5, 24);
    EXPECT_EQ(DecodeError(std::vector<std::uint8_t>(f.begin(), f.begin() + 40)), "truncated");
    EXPECT_EQ(DecodeError(std::vector<std::uint8_t>(f.begin(), f.end() - 4)), "truncated");

    EXPECT_EQ(DecodeError(MakeFile(4, 4, 8, 1)), "compressed (compression 1)");
    EXPECT_EQ(DecodeError(MakeFile(4, 4, 24, 4)), "compressed (compression 4)");
    auto masks = MakeFile(4, 4, 32, 3);
    Put(masks, 54, 0x0000FF00, 4); // red and green swapped
    Put(masks, 58, 0x00FF0000, 4);
    EXPECT_EQ(DecodeError(masks), "compressed (unsupported bit fields)");
    EXPECT_EQ(DecodeError(MakeFile(4, 4, 16)), "unsupported bit depth 16 (24 or 32 needed)");
    EXPECT_EQ(DecodeError(MakeFile(4, 4, 8)), "unsupported bit depth 8 (24 or 32 needed)");
    EXPECT_EQ(DecodeError(MakeFile(4, 4, 1)), "unsupported bit depth 1 (24 or 32 needed)");

    f = MakeFile(4, 4, 24);
    Put(f, 14, 12, 4); // the old core header
    EXPECT_EQ(DecodeError(f), "unsupported BMP header (size 12)");
    Put(f, 14, 0xFFFFFFF0u, 4);
    EXPECT_NE(DecodeError(f).find("unsupported BMP header"), std::string::npos);
}

TEST(BmpFile, RejectsImpossibleSizesWithoutAllocating) {
    auto f = MakeFile(4, 4, 24);
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
        {0, 4}, {4, 0}, {0xFFFFFFFF, 4}, {4, 0x80000000u}, {0x80000000u, 4}};
    for (auto [w, h] : sizes) {
        Put(f, 18, w, 4);
        Put(f, 22, h, 4);
        EXPECT_EQ(DecodeError(f).rfind("invalid size", 0), 0u) << w << " x " << h;
    }
    // Sizes the header can state but no reasonable picture has: refused before
    // the pixel data is even looked for.
    for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t>{65536, 1},
                        {1, 0x7FFFFFFF},
                        {0xFFFF0000u /* top-down 65536 */, 0},
                        {10000, 10000}}) {
        Put(f, 18, h == 0 ? 4 : w, 4);
        Put(f, 22, h == 0 ? w : h, 4);
        EXPECT_EQ(DecodeError(f).rfind("picture too large", 0), 0u) << w << " x " << h;
    }
    // A plausible size with too little data behind it.
    Put(f, 18, 4000, 4);
    Put(f, 22, 3000, 4);
    EXPECT_EQ(DecodeError(f), "truncated");
    // Pixel data said to start inside the header, or far beyond the file.
    f = MakeFile(4, 4, 24);
    Put(f, 10, 20, 4);
    EXPECT_NE(DecodeError(f).find("corrupt header"), std::string::npos);
    Put(f, 10, 0xFFFFFFFFu, 4);
    EXPECT_EQ(DecodeError(f), "truncated");
}

TEST(BmpFile, EncodesThirtyTwoBitFilesThatReadBack) {
    const std::uint32_t pixels[6] = {0x00010203, 0x00FFFFFF, 0, 0x00ABCDEF, 0x00123456, 0x00777777};
    const auto f = EncodeBmp32(3, 2, pixels);
    ASSERT_EQ(f.size(), 54u + 24u);
    EXPECT_EQ(f[28], 32);
    EXPECT_EQ(f[22], 2); // bottom-up: positive height
    EXPECT_EQ(f[54], 0x03);
    EXPECT_EQ(f[55], 0x02);
    EXPECT_EQ(f[56], 0x01);
    EXPECT_EQ(f[57], 0x00);
    BmpImage image;
    std::string error;
    ASSERT_TRUE(DecodeBmp(f.data(), f.size(), image, error)) << error;
    EXPECT_EQ(image.pixels, std::vector<std::uint32_t>(pixels, pixels + 6));

    EXPECT_TRUE(EncodeBmp32(0, 5, pixels).empty());
    EXPECT_TRUE(EncodeBmp32(-3, 5, pixels).empty());
    EXPECT_TRUE(EncodeBmp32(3, 2, nullptr).empty());
}

TEST(BmpFile, HeaderOfTheSnapshotLayout) {
    const auto h = rillo::MakeBmpHeader(1366, 768, 24);
    auto get32 = [&](int at) {
        return std::uint32_t(h[at]) | std::uint32_t(h[at + 1]) << 8 |
               std::uint32_t(h[at + 2]) << 16 | std::uint32_t(h[at + 3]) << 24;
    };
    EXPECT_EQ(h[0], 'B');
    EXPECT_EQ(h[1], 'M');
    EXPECT_EQ(get32(2), 54u + 4100u * 768u); // rows of 4098 bytes pad to 4100
    EXPECT_EQ(get32(10), 54u);
    EXPECT_EQ(get32(14), 40u);
    EXPECT_EQ(get32(18), 1366u);
    EXPECT_EQ(get32(22), 768u);
    EXPECT_EQ(get32(30), 0u);
    EXPECT_EQ(get32(34), 4100u * 768u);
    EXPECT_EQ(rillo::BmpImageSize(5, 3, 16), 12u * 3u);
    EXPECT_EQ(rillo::BmpImageSize(0, 3, 24), 0u);
    EXPECT_EQ(rillo::BmpImageSize(3, -1, 24), 0u);
    EXPECT_EQ(rillo::BmpImageSize(65536, 65536, 32), 0u); // would not fit in bfSize
}
