#include "ripple/dib_surface.h"

#include "framework/unique_handle.h"
#include "ripple/pixel_format.h"
#include "win_test_util.h"

#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using rillo::Pixel;

// A top-down 32-bit DIB section holding the given pixels, row 0 the top line.
rillo::UniqueBitmap MakeBitmap(int w, int h, const std::vector<Pixel>& topDown) {
    BITMAPINFO bi = rillo::test::TopDown32(w, h);
    void* bits = nullptr;
    rillo::UniqueBitmap bitmap(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap)
        std::copy(topDown.begin(), topDown.end(), static_cast<Pixel*>(bits));
    return bitmap;
}

// An OLE picture that owns a copy of the pixels.
IPicture* MakePicture(int w, int h, const std::vector<Pixel>& topDown) {
    rillo::UniqueBitmap bitmap = MakeBitmap(w, h, topDown);
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap.get();
    IPicture* picture = nullptr;
    if (SUCCEEDED(::OleCreatePictureIndirect(&desc, IID_IPicture, TRUE,
                                             reinterpret_cast<void**>(&picture))))
        bitmap.release();
    return picture;
}

struct PictureHolder {
    IPicture* p;
    ~PictureHolder() {
        if (p)
            p->Release();
    }
};

// The picture read back the slow way: render as the surface does, then one GetPixel
// per pixel with the COLORREF turned into a pixel word.
std::vector<Pixel> ReadBackWithGetPixel(IPicture* picture, int w, int h) {
    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    rillo::UniqueBitmap bitmap(::CreateDiscardableBitmap(screen.get(), w, h));
    rillo::SelectObjectGuard select(memory.get(), bitmap.get());
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    const RECT bounds{0, 0, w, h};
    picture->Render(memory.get(), 0, 0, w, h, 0, hmHeight - 1, hmWidth, -hmHeight, &bounds);
    std::vector<Pixel> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = ::GetPixel(memory.get(), x, y);
            const Pixel r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
            out.push_back((r << 16) | (g << 8) | b);
        }
    return out;
}

int EntryCount(const CPalette& palette) {
    WORD count = 0;
    return ::GetObjectW(palette.GetSafeHandle(), sizeof(count), &count) ? count : 0;
}

std::vector<PALETTEENTRY> Entries(const CPalette& palette) {
    std::vector<PALETTEENTRY> e(size_t(EntryCount(palette)));
    if (!e.empty())
        ::GetPaletteEntries(palette.GetSafeHandle(), 0, UINT(e.size()), e.data());
    return e;
}

bool Same(const PALETTEENTRY& e, int r, int g, int b) {
    return e.peRed == r && e.peGreen == g && e.peBlue == b && e.peFlags == 0;
}

} // namespace

TEST(DibSurface, RedOverBluePictureIsStoredTopLineFirst) {
    PictureHolder picture{MakePicture(
        4, 2, {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF})};
    ASSERT_NE(picture.p, nullptr);
    CDibSurface surface;
    ASSERT_TRUE(surface.CreateFromBitmap(picture.p, 4, 2));
    EXPECT_EQ(surface.GetWidth(), 4);
    EXPECT_EQ(surface.GetHeight(), 2);
    const Pixel* bits = surface.GetBits();
    ASSERT_NE(bits, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bits[i], 0x00FF0000u) << i;
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(bits[i], 0x000000FFu) << i;
    EXPECT_EQ(EntryCount(surface.GetPalette()), 256);

    // Drawn, memory row 0 is the bottom line: red below blue.
    rillo::UniqueBitmap target = MakeBitmap(4, 2, std::vector<Pixel>(8, 0x123456));
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(nullptr));
    rillo::SelectObjectGuard select(memory.get(), target.get());
    CDC dc; // wraps the memory DC without owning it
    dc.m_hDC = memory.get();
    ASSERT_FALSE(::GetDeviceCaps(memory.get(), RASTERCAPS) & RC_PALETTE);
    EXPECT_EQ(surface.Draw(&dc, 0, 0, FALSE), 2);
    // A true-colour DC gets no palette.
    EXPECT_EQ(::GetCurrentObject(memory.get(), OBJ_PAL), ::GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(::GetPixel(memory.get(), 1, 0), RGB(0, 0, 255));
    EXPECT_EQ(::GetPixel(memory.get(), 1, 1), RGB(255, 0, 0));

    // Recreating releases the old section and starts again.
    ASSERT_TRUE(surface.CreateFromBitmap(picture.p, 2, 1));
    EXPECT_EQ(surface.GetWidth(), 2);
    EXPECT_EQ(surface.GetHeight(), 1);
}

TEST(DibSurface, OneReadBackEqualsGetPixelPerPixel) {
    // Odd sizes and a stretch, so that rendering mixes and rows of odd length meet.
    std::vector<Pixel> source;
    for (int i = 0; i < 5 * 3; ++i)
        source.push_back(Pixel(i * 0x0B3D17u + 0x336699u) & 0xFFFFFF);
    PictureHolder picture{MakePicture(5, 3, source)};
    ASSERT_NE(picture.p, nullptr);
    for (auto [w, h] : {std::pair{5, 3}, std::pair{7, 5}, std::pair{3, 2}}) {
        CDibSurface surface;
        ASSERT_TRUE(surface.CreateFromBitmap(picture.p, w, h));
        const std::vector<Pixel> expected = ReadBackWithGetPixel(picture.p, w, h);
        const std::vector<Pixel> actual(surface.GetBits(), surface.GetBits() + w * h);
        EXPECT_EQ(actual, expected) << w << "x" << h;
    }
    // An unscaled picture comes back exactly.
    CDibSurface surface;
    ASSERT_TRUE(surface.CreateFromBitmap(picture.p, 5, 3));
    EXPECT_EQ(std::vector<Pixel>(surface.GetBits(), surface.GetBits() + 15), source);
}

TEST(DibSurface, BadArgumentsLeaveTheSurfaceEmpty) {
    PictureHolder picture{MakePicture(1, 1, {0x336699})};
    CDibSurface surface;
    EXPECT_FALSE(surface.CreateFromBitmap(nullptr, 4, 4));
    EXPECT_FALSE(surface.CreateFromBitmap(picture.p, 0, 4));
    EXPECT_FALSE(surface.CreateFromBitmap(picture.p, 4, -1));
    EXPECT_FALSE(surface.CreateFromBitmap(picture.p, 1 << 20, 1 << 20));
    EXPECT_EQ(surface.GetBits(), nullptr);

    ASSERT_TRUE(surface.CreateFromBitmap(picture.p, 1, 1));
    EXPECT_EQ(surface.GetBits()[0], 0x00336699u);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    const Pixel pixel = 0x123456;
    EXPECT_FALSE(surface.CreateFromInfo(nullptr, &pixel));
    EXPECT_EQ(surface.GetWidth(), 0);
    EXPECT_EQ(surface.GetHeight(), 0);
    EXPECT_EQ(surface.GetBits(), nullptr);
    EXPECT_FALSE(surface.CreateFromInfo(&info, nullptr));
    EXPECT_EQ(surface.GetBits(), nullptr);

    // A header the system makes no section of: FALSE, and the old section is gone too.
    ASSERT_TRUE(surface.CreateFromInfo(&info, &pixel));
    BITMAPINFO refused = info;
    refused.bmiHeader.biBitCount = 7;
    EXPECT_FALSE(surface.CreateFromInfo(&refused, &pixel));
    EXPECT_EQ(surface.GetWidth(), 0);
    EXPECT_EQ(surface.GetBits(), nullptr);

    // Nothing to draw: 0 lines, nothing touched.
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(nullptr));
    CDC dc; // wraps the memory DC without owning it
    dc.m_hDC = memory.get();
    EXPECT_EQ(surface.Draw(&dc, 0, 0, TRUE), 0);
    CDibSurface fresh;
    EXPECT_EQ(fresh.Draw(&dc, 0, 0, FALSE), 0);
    EXPECT_EQ(fresh.GetWidth(), 0);
}

TEST(DibSurface, CopyNeverExceedsTheSection) {
    struct {
        BITMAPINFOHEADER header;
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = 2;
    info.header.biHeight = 2;
    info.header.biPlanes = 1;
    info.header.biBitCount = 32;
    info.header.biSizeImage = 1u << 24; // claims far more than 2 x 2 pixels
    const Pixel pixels[4] = {1, 2, 3, 4};
    CDibSurface surface;
    ASSERT_TRUE(surface.CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(&info), pixels));
    EXPECT_EQ(std::vector<Pixel>(surface.GetBits(), surface.GetBits() + 4),
              (std::vector<Pixel>{1, 2, 3, 4}));
}

TEST(DibSurface, PaletteOfAnEightBitSurfaceComesFromItsColourTable) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = 4;
    info.header.biHeight = 1;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    for (int k = 0; k < 256; ++k)
        info.colors[k] = RGBQUAD{BYTE(7), BYTE(255 - k), BYTE(k), 0};
    const std::uint8_t pixels[4] = {0, 1, 2, 3};
    CDibSurface surface;
    ASSERT_TRUE(surface.CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(&info), pixels));
    const auto e = Entries(surface.GetPalette());
    ASSERT_EQ(e.size(), 256u);
    for (int k = 0; k < 256; ++k)
        ASSERT_TRUE(Same(e[size_t(k)], k, 255 - k, 7)) << k;

    // A table of two entries: only those two are read, the rest of the palette is zero.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[2];
    } small{};
    small.header = info.header;
    small.header.biClrUsed = 2;
    small.colors[0] = RGBQUAD{1, 2, 3, 0};
    small.colors[1] = RGBQUAD{4, 5, 6, 0};
    const std::uint8_t twoColours[4] = {0, 1, 1, 0};
    ASSERT_TRUE(surface.CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(&small), twoColours));
    const auto f = Entries(surface.GetPalette());
    ASSERT_EQ(f.size(), 256u);
    EXPECT_TRUE(Same(f[0], 3, 2, 1));
    EXPECT_TRUE(Same(f[1], 6, 5, 4));
    EXPECT_TRUE(Same(f[2], 0, 0, 0));
    EXPECT_TRUE(Same(f[255], 0, 0, 0));
}

TEST(DibSurface, DefaultPaletteEntries) {
    CPalette palette;
    ASSERT_TRUE(CreateDefaultPalette(palette, 256));
    auto e = Entries(palette);
    ASSERT_EQ(e.size(), 256u);
    const auto& table = rillo::DefaultPaletteEntries();
    for (size_t k = 0; k < 256; ++k)
        ASSERT_TRUE(Same(e[k], table[k].red, table[k].green, table[k].blue)) << k;
    EXPECT_TRUE(Same(e[0], 0, 0, 0));
    EXPECT_TRUE(Same(e[5], 255, 0, 0));
    EXPECT_TRUE(Same(e[15], 192, 192, 192));
    EXPECT_TRUE(Same(e[16], 0, 0, 0));
    EXPECT_TRUE(Same(e[17], 51, 0, 0));
    EXPECT_TRUE(Same(e[22], 0, 51, 0));
    EXPECT_TRUE(Same(e[52], 0, 0, 51));
    EXPECT_TRUE(Same(e[231], 255, 255, 255));
    EXPECT_TRUE(Same(e[232], 0, 0, 0));
    EXPECT_TRUE(Same(e[244], 133, 133, 133));
    EXPECT_TRUE(Same(e[255], 255, 255, 255));

    HGDIOBJ previous = palette.GetSafeHandle();
    ASSERT_TRUE(CreateDefaultPalette(palette, 16));
    EXPECT_EQ(::GetObjectType(previous), 0u); // the old palette was deleted
    e = Entries(palette);
    ASSERT_EQ(e.size(), 16u);
    EXPECT_TRUE(Same(e[8], 0, 0, 128));
    EXPECT_TRUE(Same(e[15], 192, 192, 192));

    for (int count : {0, -1, 300, 256}) {
        ASSERT_TRUE(CreateDefaultPalette(palette, count));
        EXPECT_EQ(Entries(palette).size(), 256u) << count;
    }
}

// A band drawn over the surface's last full draw leaves the target exactly as a
// full draw of the changed surface does: bottom-up and top-down sections, bands at
// edges and corners, partly or wholly outside the surface, at an offset, on a
// memory DC and on a window on screen.
TEST(DibSurface, BandOverLastFrameEqualsFullDraw) {
    const int w = 37, h = 23, x = 3, y = 2, tw = w + 6, th = h + 5;
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, tw,
                                    th, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ::UpdateWindow(window); // its own paint is done before anything is drawn over it
    const rillo::UniqueHandle<HBRUSH, rillo::GdiObjectDeleter> grey(
        ::CreateSolidBrush(RGB(0x80, 0x80, 0x80)));
    const RECT all{0, 0, tw, th};
    std::uint32_t seed = 1;
    const auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    const RECT bands[] = {{5, 4, 20, 11}, {0, 0, w, 1},     {0, h - 1, 1, h},     {w - 1, 0, w, 1},
                          {-9, -9, 4, 3}, {30, 18, 99, 99}, {1, 1, w - 1, h - 1}, {0, 0, w, h},
                          {9, 9, 9, 15},  {50, 1, 60, 4},   {4, 30, 9, 40}};
    for (const LONG height : {LONG(h), LONG(-h)}) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        std::vector<Pixel> pixels(std::size_t(w) * h);
        for (Pixel& p : pixels)
            p = next() & 0xFFFFFF;
        CDibSurface surface;
        ASSERT_TRUE(surface.CreateFromInfo(&info, pixels.data()));
        for (bool bScreen : {false, true}) {
            rillo::UniqueBitmap target = MakeBitmap(tw, th, std::vector<Pixel>(tw * th, 0x808080));
            rillo::UniqueBitmap expected =
                MakeBitmap(tw, th, std::vector<Pixel>(tw * th, 0x808080));
            rillo::UniqueMemoryDc memory(::CreateCompatibleDC(nullptr));
            rillo::UniqueMemoryDc reference(::CreateCompatibleDC(nullptr));
            rillo::SelectObjectGuard selectTarget(memory.get(), target.get());
            rillo::SelectObjectGuard selectExpected(reference.get(), expected.get());
            HDC screen = ::GetDC(window);
            CDC dc, full; // wrap the DCs without owning them
            dc.m_hDC = bScreen ? screen : memory.get();
            full.m_hDC = reference.get();
            ::FillRect(dc.m_hDC, &all, grey.get());
            surface.Draw(&dc, x, y, FALSE);
            for (const RECT& band : bands) {
                const std::string what =
                    std::string(height > 0 ? "bottom-up" : "top-down") +
                    (bScreen ? " on screen" : " in memory") + ", band " +
                    std::to_string(band.left) + "," + std::to_string(band.top) + "," +
                    std::to_string(band.right) + "," + std::to_string(band.bottom);
                // Change every pixel of the band (rows as in memory).
                for (LONG r = std::max(band.top, LONG(0)); r < std::min(band.bottom, LONG(h)); ++r)
                    for (LONG c = std::max(band.left, LONG(0)); c < std::min(band.right, LONG(w));
                         ++c)
                        surface.GetBits()[r * w + c] = next() & 0xFFFFFF;
                const LONG lines = std::min(band.bottom, LONG(h)) - std::max(band.top, LONG(0));
                const LONG cols = std::min(band.right, LONG(w)) - std::max(band.left, LONG(0));
                const int drawn = surface.DrawBand(&dc, x, y, band, FALSE);
                if (lines <= 0 || cols <= 0) {
                    EXPECT_EQ(drawn, 0) << what;
                } else if (height > 0) { // a top-down surface is drawn whole, as Draw counts
                    EXPECT_GT(drawn, 0) << what;
                }
                surface.Draw(&full, x, y, FALSE);
                ::GdiFlush();
                ASSERT_EQ(rillo::test::DcRows(dc.m_hDC, tw, th),
                          rillo::test::DcRows(reference.get(), tw, th))
                    << what;
            }
            ::ReleaseDC(window, screen);
        }
    }
    ::DestroyWindow(window);
}
