// CDibSurface: a 32-bit picture in a DIB section whose pixels the ripple field
// writes directly, drawn to a window in one call, with a palette for palette-based
// displays.
#pragma once

#include "framework/dc.h"
#include "framework/palette.h"
#include "framework/object.h"
#include "ripple/pixel_format.h"

#include <windows.h>

struct IPicture;

class CDibSurface : public CObject {
  public:
    CDibSurface() noexcept;
    ~CDibSurface() override;

    // Back to empty: the DIB section deleted, header and colour table zeroed. The
    // palette is kept.
    void Reset() noexcept;
    // Renders picture at width x height and reads it back, picture's top line into
    // memory row 0. FALSE (and empty) when no surface could be made.
    BOOL CreateFromBitmap(IPicture* picture, int width, int height) noexcept;
    // A copy of a packed DIB. FALSE (and empty) on null arguments or any failure.
    BOOL CreateFromInfo(const BITMAPINFO* info, const void* bits) noexcept;
    // Draws the whole surface with its top-left corner at (x, y); scan lines drawn, 0
    // for an empty surface.
    int Draw(CDC* dc, int x, int y, BOOL forceBackground) noexcept;
    // Draws only the pixels in band (columns, and rows as they lie in memory, row 0
    // first), each where Draw would put it; the band is clipped to the surface. A
    // top-down surface is drawn whole. Scan lines drawn, 0 when nothing is.
    int DrawBand(CDC* dc, int x, int y, const RECT& band, BOOL forceBackground) noexcept;
    // (Re)builds the palette for the current DIB section; nonzero on success.
    BOOL BuildPalette() noexcept;

    int GetWidth() const noexcept { return m_hBitmap ? m_bmi.bmiHeader.biWidth : 0; }
    int GetHeight() const noexcept { return m_hBitmap ? m_bmi.bmiHeader.biHeight : 0; }
    rillo::Pixel* GetBits() const noexcept { return static_cast<rillo::Pixel*>(m_pBits); }
    const CPalette& GetPalette() const noexcept { return m_palette; }

  private:
    // SetDIBitsToDevice of the whole DIB's rows, with the palette selected and
    // realised around it on a palette display.
    int SetBitsToDevice(CDC* dc, BOOL forceBackground, int xDest, int yDest, DWORD width,
                        DWORD height, int xSource, int ySource) noexcept;

  protected:
    struct BitmapInfo256 {
        BITMAPINFOHEADER bmiHeader;
        RGBQUAD bmiColors[256];
    };

    HBITMAP m_hBitmap = nullptr;
    BitmapInfo256 m_bmi{};
    void* m_pBits = nullptr;
    UINT m_nColorUse = DIB_RGB_COLORS;
    int m_nColors = 0;
    CPalette m_palette;
};

// Fills palette with the first count entries of the default palette (count <= 0 or
// > 256: all 256). Nonzero when a palette was created.
BOOL CreateDefaultPalette(CPalette& palette, int count) noexcept;
