#include "saver/bmp_file.h"

#include "ripple/pixel_format.h"

#include <algorithm>
#include <utility>

namespace rillo {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

std::uint32_t Get16(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

std::uint32_t Get32(const std::uint8_t* p) {
    return Get16(p) | Get16(p + 2) << 16;
}

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

bool Fail(BmpImage& image, std::string& error, std::string reason) {
    image = BmpImage{};
    error = std::move(reason);
    return false;
}

} // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, BmpImage& image, std::string& error) {
    if (size < 2 || data[0] != 'B' || data[1] != 'M')
        return Fail(image, error, "not a BMP file");
    if (size < 14 + 4)
        return Fail(image, error, "truncated");
    const std::uint32_t offBits = Get32(data + 10);
    const std::uint32_t infoSize = Get32(data + 14);
    if (infoSize < 40 || infoSize > 1024)
        return Fail(image, error, "unsupported BMP header (size " + std::to_string(infoSize) + ")");
    if (size < 14 + std::uint64_t(infoSize))
        return Fail(image, error, "truncated");
    const auto width = std::int32_t(Get32(data + 18));
    const auto rawHeight = std::int32_t(Get32(data + 22));
    const std::uint32_t bits = Get16(data + 28);
    const std::uint32_t compression = Get32(data + 30);

    if (compression != kBiRgb && compression != kBiBitfields)
        return Fail(image, error, "compressed (compression " + std::to_string(compression) + ")");
    if (bits != 24 && bits != 32)
        return Fail(image, error,
                    "unsupported bit depth " + std::to_string(bits) + " (24 or 32 needed)");
    std::uint64_t headerEnd = 14 + std::uint64_t(infoSize);
    if (compression == kBiBitfields) {
        // The masks follow a 40-byte header, or sit inside a larger one: either
        // way at file offset 54. Only the layout we store anyway is accepted.
        // The three masks end at offset 66 whatever the header's size claims.
        headerEnd = std::max<std::uint64_t>(headerEnd, 14 + 40 + 12);
        if (size < headerEnd)
            return Fail(image, error, "truncated");
        if (bits != 32 || Get32(data + 54) != 0x00FF0000u || Get32(data + 58) != 0x0000FF00u ||
            Get32(data + 62) != 0x000000FFu)
            return Fail(image, error, "compressed (unsupported bit fields)");
    }
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        return Fail(image, error,
                    "invalid size " + std::to_string(width) + " x " + std::to_string(rawHeight));
    const bool bTopDown = rawHeight < 0;
    const std::int32_t height = bTopDown ? -rawHeight : rawHeight;
    if (width > kBmpMaxSide || height > kBmpMaxSide || std::int64_t(width) * height > kBmpMaxPixels)
        return Fail(image, error,
                    "picture too large (" + std::to_string(width) + " x " + std::to_string(height) +
                        ")");
    if (offBits < headerEnd)
        return Fail(image, error, "corrupt header (pixel data overlaps it)");

    const std::uint64_t bytesPerPixel = bits / 8;
    const std::uint64_t stride = (std::uint64_t(width) * bits + 31) / 32 * 4;
    // The last row's padding may be missing; its pixels may not.
    const std::uint64_t need =
        std::uint64_t(offBits) + stride * std::uint64_t(height - 1) + bytesPerPixel * width;
    if (size < need)
        return Fail(image, error, "truncated");

    image.width = width;
    image.height = height;
    image.pixels.assign(std::size_t(width) * std::size_t(height), 0);
    for (std::int32_t fileRow = 0; fileRow < height; ++fileRow) {
        const std::uint8_t* src = data + offBits + stride * std::uint64_t(fileRow);
        const std::int32_t row = bTopDown ? height - 1 - fileRow : fileRow;
        std::uint32_t* dst = image.pixels.data() + std::size_t(row) * std::size_t(width);
        for (std::int32_t x = 0; x < width; ++x, src += bytesPerPixel)
            dst[x] =
                std::uint32_t(src[0]) | std::uint32_t(src[1]) << 8 | std::uint32_t(src[2]) << 16;
    }
    error.clear();
    return true;
}

std::vector<std::uint8_t> EncodeBmp32(std::int32_t width, std::int32_t height,
                                      const std::uint32_t* pixels) {
    const std::uint32_t imageSize = BmpImageSize(width, height, 32);
    if (imageSize == 0 || !pixels)
        return {};
    const auto header = MakeBmpHeader(width, height, 32);
    std::vector<std::uint8_t> file(kBmpHeaderSize + std::size_t(imageSize));
    std::copy(header.begin(), header.end(), file.begin());
    std::uint8_t* out = file.data() + kBmpHeaderSize;
    for (std::size_t i = 0; i < std::size_t(imageSize) / 4; ++i, out += 4)
        Put32(out, pixels[i]);
    return file;
}

std::uint32_t BmpImageSize(std::int32_t width, std::int32_t height, std::int32_t bits) {
    if (width <= 0 || height <= 0 || bits <= 0 || bits > 32)
        return 0;
    const std::uint64_t size =
        std::uint64_t((std::uint64_t(width) * std::uint64_t(bits) + 31) / 32 * 4) *
        std::uint64_t(height);
    return size > 0xFFFFFFFFull - kBmpHeaderSize ? 0 : std::uint32_t(size);
}

std::array<std::uint8_t, kBmpHeaderSize> MakeBmpHeader(std::int32_t width, std::int32_t height,
                                                       std::int32_t bits) {
    const std::uint32_t imageSize = BmpImageSize(width, height, bits);
    std::array<std::uint8_t, kBmpHeaderSize> h{};
    h[0] = 'B';
    h[1] = 'M';
    Put32(&h[2], kBmpHeaderSize + imageSize); // bfSize
    Put32(&h[10], kBmpHeaderSize);            // bfOffBits
    Put32(&h[14], 40);                        // biSize
    Put32(&h[18], std::uint32_t(width));
    Put32(&h[22], std::uint32_t(height));
    Put16(&h[26], 1); // biPlanes
    Put16(&h[28], std::uint32_t(bits));
    Put32(&h[34], imageSize); // biSizeImage; compression, resolution and colours stay 0
    return h;
}

} // namespace rillo
