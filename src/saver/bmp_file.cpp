#include "saver/bmp_file.h"

#include "ripple/pixel_format.h"

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

} // namespace

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
