#include "resource_images.h"

#include "ripple/pixel_format.h"
#include "ripple/ripple_field.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace rillo::resources {

namespace {

// Little-endian writer for the Windows file headers.
class ByteWriter {
  public:
    void U8(unsigned v) { m_bytes.push_back(std::uint8_t(v)); }
    void U16(unsigned v) {
        U8(v & 0xFF);
        U8((v >> 8) & 0xFF);
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void U32BigEndian(std::uint32_t v) {
        U16BigEndian(v >> 16);
        U16BigEndian(v & 0xFFFF);
    }
    void U16BigEndian(unsigned v) {
        U8((v >> 8) & 0xFF);
        U8(v & 0xFF);
    }
    void Append(const Bytes& b) { m_bytes.insert(m_bytes.end(), b.begin(), b.end()); }
    std::size_t Size() const { return m_bytes.size(); }
    Bytes Take() { return std::move(m_bytes); }

  private:
    Bytes m_bytes;
};

// BITMAPINFOHEADER. Icons and cursors store twice the height: the XOR image and
// the AND mask one above the other.
void InfoHeader(ByteWriter& w, int width, int height, int bits, std::uint32_t imageSize,
                int colors) {
    w.U32(40);
    w.U32(std::uint32_t(width));
    w.U32(std::uint32_t(height));
    w.U16(1);
    w.U16(unsigned(bits));
    w.U32(0); // BI_RGB
    w.U32(imageSize);
    w.U32(0);
    w.U32(0);
    w.U32(std::uint32_t(colors));
    w.U32(0);
}

void ColorTableEntry(ByteWriter& w, const PaletteColor& c) {
    w.U8(c.blue);
    w.U8(c.green);
    w.U8(c.red);
    w.U8(0);
}

// --- Icon ---------------------------------------------------------------------------

// The 16 colours every display can show, in their usual order.
constexpr std::array<PaletteColor, 16> kVgaPalette = {{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

enum Vga : std::uint8_t {
    kBlack = 0,
    kNavy = 4,
    kTeal = 6,
    kBlue = 12,
    kCyan = 14,
    kWhite = 15,
};

struct IconImage {
    int size;
    std::vector<std::uint8_t> index;  // VGA index per pixel, top row first
    std::vector<std::uint8_t> opaque; // 1 where the pixel is drawn, top row first
};

// The motif as bands of distance from the centre, in pixels, drawn per size so that
// each ring falls on whole pixels: a drop, then rings of light, middle and deep
// blue on dark water, and a black rim that keeps the pool round on light desktops.
struct Band {
    double outer;
    std::uint8_t color;
};
constexpr Band kBands32[] = {{3.0, kCyan},  {4.6, kNavy},  {6.1, kCyan},
                             {8.6, kNavy},  {10.1, kBlue}, {12.6, kNavy},
                             {14.1, kTeal}, {15.3, kNavy}, {16.0, kBlack}};
constexpr Band kBands16[] = {{1.0, kCyan}, {2.6, kNavy}, {3.6, kCyan}, {4.7, kNavy},
                             {5.6, kBlue}, {6.5, kNavy}, {7.2, kTeal}, {8.0, kBlack}};

template <std::size_t N> std::uint8_t BandColor(const Band (&bands)[N], double r) {
    for (const Band& band : bands)
        if (r < band.outer)
            return band.color;
    return kBlack;
}

IconImage DrawIcon(int size) {
    IconImage img{size, std::vector<std::uint8_t>(std::size_t(size * size)),
                  std::vector<std::uint8_t>(std::size_t(size * size))};
    const double centre = size / 2.0;
    // The drop's highlight, up and to the left of its centre.
    const double glint = size == 16 ? 7.5 : 14.5;
    const double glintRadius = size == 16 ? 0.5 : 1.2;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            const double r = std::hypot(px - centre, py - centre);
            const std::size_t i = std::size_t(y * size + x);
            img.opaque[i] = r < centre ? 1 : 0;
            if (!img.opaque[i])
                img.index[i] = kBlack;
            else if (std::hypot(px - glint, py - glint) < glintRadius)
                img.index[i] = kWhite;
            else
                img.index[i] = size == 16 ? BandColor(kBands16, r) : BandColor(kBands32, r);
        }
    }
    return img;
}

// One image of an .ico file as it is stored: header, colour table, 4-bit XOR image
// and 1-bit AND mask, both bottom-up. Transparent pixels are black in the XOR image
// and set in the AND mask.
Bytes IconImageData(const IconImage& img) {
    const int n = img.size;
    const int xorStride = RowStride(n, 4);
    const int andStride = RowStride(n, 1);
    ByteWriter w;
    InfoHeader(w, n, 2 * n, 4, std::uint32_t((xorStride + andStride) * n), 16);
    for (const PaletteColor& c : kVgaPalette)
        ColorTableEntry(w, c);
    for (int row = n - 1; row >= 0; --row) {
        Bytes line(std::size_t(xorStride), 0);
        for (int x = 0; x < n; ++x) {
            const unsigned v = img.index[std::size_t(row * n + x)] & 0x0F;
            line[std::size_t(x / 2)] |= std::uint8_t(x % 2 == 0 ? v << 4 : v);
        }
        w.Append(line);
    }
    for (int row = n - 1; row >= 0; --row) {
        Bytes line(std::size_t(andStride), 0);
        for (int x = 0; x < n; ++x)
            if (!img.opaque[std::size_t(row * n + x)])
                line[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        w.Append(line);
    }
    return w.Take();
}

// The same motif in full colour for the large images Explorer, Apps and the installer
// show on high-DPI screens: the 32-pixel design's bands scaled to the size, each
// pixel the average of 8 x 8 samples, so that the rim and the rings are smooth and
// the pool's edge fades into the desktop through its alpha.
struct TrueColorImage {
    int size;
    std::vector<std::array<std::uint8_t, 4>> rgba; // top row first, straight alpha
};

TrueColorImage DrawTrueColorIcon(int size) {
    constexpr int kSamples = 8;
    const double scale = size / 32.0;
    const double centre = size / 2.0;
    const double glint = 14.5 * scale;
    const double glintRadius = 1.2 * scale;
    TrueColorImage img{size, std::vector<std::array<std::uint8_t, 4>>(std::size_t(size * size))};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            unsigned sum[3] = {0, 0, 0};
            unsigned inside = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double px = x + (sx + 0.5) / kSamples;
                    const double py = y + (sy + 0.5) / kSamples;
                    const double r = std::hypot(px - centre, py - centre);
                    if (r >= centre)
                        continue;
                    const PaletteColor& c = std::hypot(px - glint, py - glint) < glintRadius
                                                ? kVgaPalette[kWhite]
                                                : kVgaPalette[BandColor(kBands32, r / scale)];
                    sum[0] += c.red;
                    sum[1] += c.green;
                    sum[2] += c.blue;
                    ++inside;
                }
            }
            auto& px = img.rgba[std::size_t(y * size + x)];
            for (int k = 0; k < 3; ++k)
                px[std::size_t(k)] = inside ? std::uint8_t((sum[k] + inside / 2) / inside) : 0;
            px[3] = std::uint8_t((inside * 255 + kSamples * kSamples / 2) / (kSamples * kSamples));
        }
    }
    return img;
}

// A 32-bit image of an .ico file: header, BGRA rows bottom-up, and the 1-bit mask
// that older programs use instead of the alpha (set where nothing is drawn).
Bytes TrueColorIconImageData(const TrueColorImage& img) {
    const int n = img.size;
    const int andStride = RowStride(n, 1);
    ByteWriter w;
    InfoHeader(w, n, 2 * n, 32, std::uint32_t((4 * n + andStride) * n), 0);
    for (int row = n - 1; row >= 0; --row) {
        for (int x = 0; x < n; ++x) {
            const auto& px = img.rgba[std::size_t(row * n + x)];
            w.U8(px[2]);
            w.U8(px[1]);
            w.U8(px[0]);
            w.U8(px[3]);
        }
    }
    for (int row = n - 1; row >= 0; --row) {
        Bytes line(std::size_t(andStride), 0);
        for (int x = 0; x < n; ++x)
            if (img.rgba[std::size_t(row * n + x)][3] == 0)
                line[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        w.Append(line);
    }
    return w.Take();
}

void PngChunk(ByteWriter& w, const char (&type)[5], const Bytes& data) {
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    w.U32BigEndian(std::uint32_t(data.size()));
    w.Append(typed);
    w.U32BigEndian(std::uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
}

// The largest image as Windows stores it since Vista: a PNG file (8-bit RGBA), each
// row filtered the way that leaves the smallest sum of differences, deflated at the
// best compression.
Bytes PngImageData(const TrueColorImage& img) {
    const int n = img.size;
    const std::size_t stride = std::size_t(4 * n);
    Bytes raw;
    Bytes previous(stride, 0);
    for (int row = 0; row < n; ++row) {
        Bytes line(stride);
        for (int x = 0; x < n; ++x)
            for (int k = 0; k < 4; ++k)
                line[std::size_t(4 * x + k)] = img.rgba[std::size_t(row * n + x)][std::size_t(k)];
        Bytes best;
        long bestCost = -1;
        for (std::uint8_t filter = 0; filter < 5; ++filter) {
            Bytes out{filter};
            long cost = 0;
            for (std::size_t i = 0; i < stride; ++i) {
                const int a = i >= 4 ? line[i - 4] : 0;
                const int b = previous[i];
                const int c = i >= 4 ? previous[i - 4] : 0;
                int predicted = 0;
                switch (filter) {
                case 1:
                    predicted = a;
                    break;
                case 2:
                    predicted = b;
                    break;
                case 3:
                    predicted = (a + b) / 2;
                    break;
                case 4: {
                    const int p = a + b - c;
                    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default:
                    break;
                }
                const std::uint8_t v = std::uint8_t(line[i] - predicted);
                out.push_back(v);
                cost += v < 128 ? v : 256 - v;
            }
            if (bestCost < 0 || cost < bestCost) {
                bestCost = cost;
                best = std::move(out);
            }
        }
        raw.insert(raw.end(), best.begin(), best.end());
        previous = std::move(line);
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);

    ByteWriter header;
    header.U32BigEndian(std::uint32_t(n));
    header.U32BigEndian(std::uint32_t(n));
    header.U8(8); // bits per channel
    header.U8(6); // RGBA
    header.U8(0);
    header.U8(0);
    header.U8(0); // not interlaced
    ByteWriter w;
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (std::uint8_t b : kSignature)
        w.U8(b);
    PngChunk(w, "IHDR", header.Take());
    PngChunk(w, "IDAT", packed);
    PngChunk(w, "IEND", {});
    return w.Take();
}

// --- Preview ------------------------------------------------------------------------

// The water before the rain: light at the top of the picture, deep blue at the
// bottom, with a faint swell so that the refraction has something to bend.
std::vector<Pixel> PreviewWater() {
    std::vector<Pixel> px(std::size_t(kPreviewWidth * kPreviewHeight));
    for (int row = 0; row < kPreviewHeight; ++row) {
        // Memory row 0 is the bottom line.
        const double t = double(row) / (kPreviewHeight - 1); // 0 bottom, 1 top
        for (int x = 0; x < kPreviewWidth; ++x) {
            const double swell =
                10.0 * std::sin(x * 0.11 + row * 0.05) * std::sin(row * 0.23 - x * 0.03);
            const double r = 10 + 70 * t * t + swell * 0.5;
            const double g = 50 + 120 * t + swell;
            const double b = 120 + 125 * t + swell;
            auto clamp = [](double v) { return unsigned(std::clamp(v, 0.0, 255.0) + 0.5); };
            px[std::size_t(row * kPreviewWidth + x)] = MakePixel(clamp(r), clamp(g), clamp(b));
        }
    }
    return px;
}

// A few drops of rain, each followed by some steps of the engine: the older the
// drop, the wider its ring. (x, y) is a cell, row 0 at the bottom. A drop that lands
// in buffer 1 shows only from its third step on, since Render shows buffer 0.
std::vector<Pixel> RenderPreview() {
    const std::vector<Pixel> source = PreviewWater();
    std::vector<Pixel> frame = source;
    CRippleField field;
    field.Resize(kPreviewWidth, kPreviewHeight);
    struct Rain {
        int x, y, radius, strength, steps;
    };
    static constexpr Rain kRain[] = {
        {52, 66, 7, 64 * 80, 14}, {116, 34, 6, 64 * 70, 12}, {120, 92, 5, 64 * 60, 8},
        {24, 20, 4, 64 * 60, 5},  {80, 100, 3, 64 * 60, 3},
    };
    for (const Rain& rain : kRain) {
        field.Drop(rain.x, rain.y, rain.radius, rain.strength, field.GetCurrent());
        for (int step = 0; step < rain.steps; ++step)
            field.Render(source.data(), frame.data());
    }
    return frame;
}

// Ordered (Bayer 8 x 8) dither of each channel onto the six levels of the default
// palette's colour cube, which keeps the gradient smooth without the drift of
// error diffusion.
std::uint8_t DitherToCube(Pixel p, int x, int y) {
    static constexpr std::uint8_t kBayer[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
    };
    const int threshold = kBayer[y & 7][x & 7]; // 0..63
    auto level = [threshold](unsigned c) {
        // Round c / 51 up where its fraction exceeds this pixel's threshold, so that
        // an area of one colour mixes the two nearest levels in proportion.
        const int whole = int(c) / 51;
        const int frac = int(c) % 51; // 0..50
        return std::min(5, whole + (frac * 128 > (2 * threshold + 1) * 51 ? 1 : 0));
    };
    const int r = level(PixelRed(p));
    const int g = level(PixelGreen(p));
    const int b = level(PixelBlue(p));
    // The cube follows the 16 fixed colours, red varying fastest.
    return std::uint8_t(16 + r + 6 * g + 36 * b);
}

} // namespace

Bytes MakeIconFile() {
    struct Entry {
        int size, colors, bits;
        Bytes data;
    };
    // The 16-colour images first, as they always were; then the large ones, which
    // Windows picks by size.
    const Entry entries[] = {
        {32, 16, 4, IconImageData(DrawIcon(32))},
        {16, 16, 4, IconImageData(DrawIcon(16))},
        {48, 0, 32, TrueColorIconImageData(DrawTrueColorIcon(48))},
        {64, 0, 32, TrueColorIconImageData(DrawTrueColorIcon(64))},
        {256, 0, 32, PngImageData(DrawTrueColorIcon(256))},
    };
    constexpr unsigned kCount = sizeof entries / sizeof entries[0];
    ByteWriter w;
    w.U16(0);
    w.U16(1); // icon
    w.U16(kCount);
    std::uint32_t offset = 6 + kCount * 16;
    for (const Entry& e : entries) {
        w.U8(unsigned(e.size) & 0xFF); // 256 is written as 0
        w.U8(unsigned(e.size) & 0xFF);
        w.U8(unsigned(e.colors));
        w.U8(0);
        w.U16(1); // planes
        w.U16(unsigned(e.bits));
        w.U32(std::uint32_t(e.data.size()));
        w.U32(offset);
        offset += std::uint32_t(e.data.size());
    }
    for (const Entry& e : entries)
        w.Append(e.data);
    return w.Take();
}

Bytes MakeCursorFile() {
    constexpr int kSize = 32;
    const int stride = RowStride(kSize, 1);
    ByteWriter image;
    InfoHeader(image, kSize, 2 * kSize, 1, std::uint32_t(2 * stride * kSize), 2);
    ColorTableEntry(image, {0, 0, 0});
    ColorTableEntry(image, {255, 255, 255});
    for (int i = 0; i < stride * kSize; ++i)
        image.U8(0x00); // XOR: nothing drawn
    for (int i = 0; i < stride * kSize; ++i)
        image.U8(0xFF); // AND: the screen shows through everywhere
    const Bytes data = image.Take();

    ByteWriter w;
    w.U16(0);
    w.U16(2); // cursor
    w.U16(1);
    w.U8(kSize);
    w.U8(kSize);
    w.U8(0); // no palette count for a monochrome cursor
    w.U8(0);
    w.U16(0); // hot spot x
    w.U16(0); // hot spot y
    w.U32(std::uint32_t(data.size()));
    w.U32(6 + 16);
    w.Append(data);
    return w.Take();
}

Bytes MakePreviewBitmapFile() {
    const std::vector<Pixel> frame = RenderPreview();
    const int stride = RowStride(kPreviewWidth, 8);
    const std::uint32_t imageSize = std::uint32_t(stride * kPreviewHeight);
    const std::uint32_t bitsOffset = 14 + 40 + 4 * kDefaultPaletteSize;
    ByteWriter w;
    w.U8('B');
    w.U8('M');
    w.U32(bitsOffset + imageSize);
    w.U32(0);
    w.U32(bitsOffset);
    InfoHeader(w, kPreviewWidth, kPreviewHeight, 8, imageSize, kDefaultPaletteSize);
    for (const PaletteColor& c : DefaultPaletteEntries())
        ColorTableEntry(w, c);
    // Memory row 0 of the frame is the bottom line, as in the file.
    for (int row = 0; row < kPreviewHeight; ++row) {
        Bytes line(std::size_t(stride), 0);
        for (int x = 0; x < kPreviewWidth; ++x)
            line[std::size_t(x)] =
                DitherToCube(frame[std::size_t(row * kPreviewWidth + x)], x, row);
        w.Append(line);
    }
    return w.Take();
}

} // namespace rillo::resources
