// rillo-render reads BMP files that anyone may hand it: any bytes must give either a
// picture within the size limits, read where the header says, or a reason and an
// empty image. A decoded picture must survive our own encoder unchanged.
#include "saver/bmp_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

std::uint32_t Le16(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

std::uint32_t Le32(const std::uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

// The pixels straight from the file's bytes, as the header places them: rows padded
// to 4 bytes, bottom-up unless the height is negative, blue green red per pixel.
void CheckPixelsAgainstFile(const std::uint8_t* data, std::size_t size,
                            const rillo::BmpImage& image) {
    Check(size >= 54);
    const std::uint64_t offBits = Le32(data + 10);
    const auto rawWidth = std::int32_t(Le32(data + 18));
    const auto rawHeight = std::int32_t(Le32(data + 22));
    const std::uint32_t bits = Le16(data + 28);
    Check(bits == 24 || bits == 32);
    Check(rawWidth == image.width);
    Check(rawHeight == image.height || std::int64_t(rawHeight) == -std::int64_t(image.height));
    const bool bTopDown = rawHeight < 0;
    const std::uint64_t stride = (std::uint64_t(image.width) * bits + 31) / 32 * 4;
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint64_t fileRow = std::uint64_t(bTopDown ? image.height - 1 - y : y);
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::uint64_t at = offBits + fileRow * stride + std::uint64_t(x) * (bits / 8);
            Check(at + 3 <= size);
            const std::uint32_t expected = std::uint32_t(data[at]) |
                                           std::uint32_t(data[at + 1]) << 8 |
                                           std::uint32_t(data[at + 2]) << 16;
            Check(image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)] ==
                  expected);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Stale content must never survive a call, whatever its outcome.
    rillo::BmpImage image;
    image.width = 7;
    image.height = 3;
    image.pixels.assign(5, 0xFFFFFFFFu);
    std::string error = "stale";

    if (!rillo::DecodeBmp(data, size, image, error)) {
        Check(!error.empty() && error != "stale");
        Check(image.width == 0 && image.height == 0 && image.pixels.empty());
        return 0;
    }

    Check(error.empty());
    Check(image.width > 0 && image.width <= rillo::kBmpMaxSide);
    Check(image.height > 0 && image.height <= rillo::kBmpMaxSide);
    Check(std::int64_t(image.width) * image.height <= rillo::kBmpMaxPixels);
    Check(image.pixels.size() == std::size_t(image.width) * std::size_t(image.height));
    // At least three bytes of file per pixel: a header alone cannot make us allocate.
    Check(image.pixels.size() * 3 <= size);
    for (std::uint32_t p : image.pixels)
        Check((p & 0xFF000000u) == 0);
    CheckPixelsAgainstFile(data, size, image);

    const std::vector<std::uint8_t> file =
        rillo::EncodeBmp32(image.width, image.height, image.pixels.data());
    Check(file.size() == rillo::kBmpHeaderSize + image.pixels.size() * 4);
    rillo::BmpImage again;
    std::string error2;
    Check(rillo::DecodeBmp(file.data(), file.size(), again, error2));
    Check(error2.empty());
    Check(again.width == image.width && again.height == image.height);
    Check(again.pixels == image.pixels);
    Check(rillo::EncodeBmp32(again.width, again.height, again.pixels.data()) == file);
    return 0;
}
