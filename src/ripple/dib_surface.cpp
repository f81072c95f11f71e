#include "ripple/dib_surface.h"

#include "framework/unique_handle.h"

#include <olectl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A LOGPALETTE with room for 256 entries.
struct LogPalette256 {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[256];
};

} // namespace

CDibSurface::CDibSurface() noexcept {
    Reset();
}

CDibSurface::~CDibSurface() {
    Reset();
}

void CDibSurface::Reset() noexcept {
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    m_pBits = nullptr;
    std::memset(&m_bmi, 0, sizeof(m_bmi));
    m_nColorUse = DIB_RGB_COLORS;
    m_nColors = 0;
}

BOOL CDibSurface::CreateFromInfo(const BITMAPINFO* info, const void* bits) noexcept {
    Reset();
    if (!info || !bits)
        return FALSE;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    m_nColors = ColorTableSize(header.biBitCount);
    m_bmi.bmiHeader = header;
    m_bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    // A packed DIB carries biClrUsed entries when that is set, right after its header
    // (which may be a larger version); read no further than that.
    const size_t tableOffset =
        header.biSize == sizeof(BITMAPV4HEADER) || header.biSize == sizeof(BITMAPV5HEADER)
            ? header.biSize
            : sizeof(BITMAPINFOHEADER);
    const size_t present = header.biClrUsed > 0 && header.biClrUsed < DWORD(m_nColors)
                               ? size_t(header.biClrUsed)
                               : size_t(m_nColors);
    std::memcpy(m_bmi.bmiColors, reinterpret_cast<const BYTE*>(info) + tableOffset,
                sizeof(RGBQUAD) * present);

    if (rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr))
        m_hBitmap = ::CreateDIBSection(screen.get(), reinterpret_cast<const BITMAPINFO*>(&m_bmi),
                                       m_nColorUse, &m_pBits, nullptr, 0);
    if (!m_hBitmap || !m_pBits) {
        Reset();
        return FALSE;
    }

    // Never copy more than the section holds, whatever biSizeImage claims.
    const std::int64_t capacity = std::int64_t(RowStride(header.biWidth, header.biBitCount)) *
                                  std::llabs(std::int64_t(header.biHeight));
    std::int64_t count = header.biSizeImage ? std::int64_t(header.biSizeImage) : capacity;
    if (count > capacity)
        count = capacity;
    ::GdiFlush();
    if (count > 0)
        std::memcpy(m_pBits, bits, size_t(count));

    if (!BuildPalette()) {
        Reset();
        return FALSE;
    }
    return TRUE;
}

BOOL CDibSurface::CreateFromBitmap(IPicture* picture, int width, int height) noexcept {
    Reset();
    if (!picture || width <= 0 || height <= 0)
        return FALSE;
    // One 32-bit word per pixel must fit a DIB section.
    if (std::int64_t(width) * height > (std::int64_t(1) << 29))
        return FALSE;

    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    if (!screen)
        return FALSE;
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    rillo::UniqueBitmap bitmap(::CreateDiscardableBitmap(screen.get(), width, height));
    if (!memory || !bitmap)
        return FALSE;

    BITMAP bm{};
    ::GetObjectW(bitmap.get(), sizeof(bm), &bm);
    {
        rillo::SelectObjectGuard select(memory.get(), bitmap.get());
        if (!select.ok())
            return FALSE;
        OLE_XSIZE_HIMETRIC hmWidth = 0;
        OLE_YSIZE_HIMETRIC hmHeight = 0;
        picture->get_Width(&hmWidth);
        picture->get_Height(&hmHeight);
        // Source origin at the last himetric line with a negative extent: upright.
        const RECT bounds{0, 0, width, height};
        picture->Render(memory.get(), 0, 0, width, height, 0, hmHeight - 1, hmWidth, -hmHeight,
                        &bounds);

        BITMAPINFOHEADER header{};
        header.biSize = sizeof(header);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        std::vector<rillo::Pixel> scratch;
        try {
            scratch.resize(size_t(width) * size_t(height));
        } catch (...) {
            return FALSE;
        }
        if (!CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(&header), scratch.data()))
            return FALSE;

        if (bm.bmBitsPixel < 24) {
            // GDI's own expansion of 16-bit or palette colours is what GetPixel reports.
            rillo::Pixel* out = GetBits();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    *out++ = rillo::PixelFromColorRef(::GetPixel(memory.get(), x, y));
            return TRUE;
        }
    }

    // True-colour: one read of the whole bitmap (deselected, as GetDIBits wants it),
    // top-down so that memory row y is the DC's row y, as GetPixel(x, y) would give.
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = -height;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    ::GdiFlush();
    if (::GetDIBits(screen.get(), bitmap.get(), 0, UINT(height), m_pBits, &request,
                    DIB_RGB_COLORS) != height) {
        Reset();
        return FALSE;
    }
    rillo::Pixel* out = GetBits();
    for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i)
        out[i] &= 0x00FFFFFF; // GetPixel has no fourth byte
    return TRUE;
}

int CDibSurface::Draw(CDC* dc, int x, int y, BOOL forceBackground) noexcept {
    if (!m_hBitmap || !dc || !dc->m_hDC)
        return 0;
    return SetBitsToDevice(dc, forceBackground, x, y, DWORD(m_bmi.bmiHeader.biWidth),
                           DWORD(m_bmi.bmiHeader.biHeight), 0, 0);
}

int CDibSurface::SetBitsToDevice(CDC* dc, BOOL forceBackground, int xDest, int yDest, DWORD width,
                                 DWORD height, int xSource, int ySource) noexcept {
    HPALETTE previous = nullptr;
    if (m_palette.GetSafeHandle() && (dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE)) {
        previous = dc->SelectPalette(m_palette.GetSafeHandle(), forceBackground);
        dc->RealizePalette();
    }
    const int lines = ::SetDIBitsToDevice(
        dc->m_hDC, xDest, yDest, width, height, xSource, ySource, 0, UINT(m_bmi.bmiHeader.biHeight),
        m_pBits, reinterpret_cast<const BITMAPINFO*>(&m_bmi), DIB_RGB_COLORS);
    if (previous)
        dc->SelectPalette(previous, FALSE);
    return lines;
}

int CDibSurface::DrawBand(CDC* dc, int x, int y, const RECT& band, BOOL forceBackground) noexcept {
    if (!m_hBitmap || !dc || !dc->m_hDC)
        return 0;
    const LONG width = m_bmi.bmiHeader.biWidth;
    const LONG height = std::labs(m_bmi.bmiHeader.biHeight);
    const LONG left = std::max(band.left, LONG(0)), right = std::min(band.right, width);
    const LONG top = std::max(band.top, LONG(0)), bottom = std::min(band.bottom, height);
    if (left >= right || top >= bottom)
        return 0;
    // Where a top-down DIB's source rectangle starts is read differently by
    // different GDIs; such a surface (never the saver's frame) is drawn whole.
    if (m_bmi.bmiHeader.biHeight < 0)
        return Draw(dc, x, y, forceBackground);
    // The source rectangle is in DIB coordinates, whose origin is the bottom-left
    // corner for a bottom-up DIB: memory row r is drawn on line height - 1 - r, and
    // the band's lowest line on screen is its first memory row.
    return SetBitsToDevice(dc, forceBackground, x + int(left), y + int(height - bottom),
                           DWORD(right - left), DWORD(bottom - top), int(left), int(top));
}

BOOL CDibSurface::BuildPalette() noexcept {
    m_palette.DeleteObject();
    if (!m_hBitmap)
        return FALSE;
    if (m_nColors == 0)
        return CreateDefaultPalette(m_palette, 256);

    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    if (!screen)
        return FALSE;
    RGBQUAD table[256] = {};
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    screen.reset();
    UINT n = 0;
    if (memory) {
        rillo::SelectObjectGuard select(memory.get(), m_hBitmap);
        if (select.ok())
            n = ::GetDIBColorTable(memory.get(), 0, UINT(m_nColors), table);
    }
    if (n == 0)
        return CreateDefaultPalette(m_palette, m_nColors);

    LogPalette256 lp{};
    lp.palVersion = 0x300;
    lp.palNumEntries = WORD(m_nColors);
    for (UINT k = 0; k < n && k < 256; ++k)
        lp.palPalEntry[k] = PALETTEENTRY{table[k].rgbRed, table[k].rgbGreen, table[k].rgbBlue, 0};
    return m_palette.CreatePalette(reinterpret_cast<const LOGPALETTE*>(&lp));
}

BOOL CreateDefaultPalette(CPalette& palette, int count) noexcept {
    palette.DeleteObject();
    const int n = count <= 0 || count > 256 ? 256 : count;
    const auto& entries = rillo::DefaultPaletteEntries();
    LogPalette256 lp{};
    lp.palVersion = 0x300;
    lp.palNumEntries = WORD(n);
    for (int k = 0; k < n; ++k)
        lp.palPalEntry[k] = PALETTEENTRY{entries[size_t(k)].red, entries[size_t(k)].green,
                                         entries[size_t(k)].blue, 0};
    return palette.CreatePalette(reinterpret_cast<const LOGPALETTE*>(&lp));
}
