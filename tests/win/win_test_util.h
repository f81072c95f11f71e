// Small helpers shared by the Windows tests.
#pragma once

#include "framework/unique_handle.h"
#include "framework/wnd.h"
#include "ripple/pixel_format.h"

#include <windows.h>

#include <cstddef>
#include <vector>

namespace rillo::test {

// The header of a top-down 32-bit DIB: row 0 is the top line.
inline BITMAPINFO TopDown32(int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    return bi;
}

// Runs this thread's messages for a while.
inline void PumpMessages(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < milliseconds) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

// A bitmap's pixels as 0x00RRGGBB, top row first.
inline std::vector<Pixel> BitmapRows(HBITMAP bitmap, int w, int h) {
    std::vector<Pixel> out(std::size_t(w) * std::size_t(h));
    BITMAPINFO bi = TopDown32(w, h);
    UniqueWindowDc screen = GetUniqueDc(nullptr);
    ::GetDIBits(screen.get(), bitmap, 0, UINT(h), out.data(), &bi, DIB_RGB_COLORS);
    for (Pixel& p : out)
        p &= 0xFFFFFF;
    return out;
}

// What a device context shows in its top-left w x h, as BitmapRows gives it.
inline std::vector<Pixel> DcRows(HDC dc, int w, int h) {
    UniqueBitmap copy(::CreateCompatibleBitmap(dc, w, h));
    UniqueMemoryDc mem(::CreateCompatibleDC(dc));
    const HGDIOBJ old = ::SelectObject(mem.get(), copy.get());
    ::BitBlt(mem.get(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
    ::SelectObject(mem.get(), old);
    return BitmapRows(copy.get(), w, h);
}

// A colour for every screen position, distinct along both axes.
inline Pixel Pattern(int x, int y) {
    return MakePixel(unsigned(x), unsigned(y), unsigned((x >> 8) * 40 + (y >> 8) * 90 + 7));
}

// A pop-up of w x h that paints Pattern, for a desktop with a known picture.
class CPatternWnd : public CWnd {
  public:
    CPatternWnd(int w, int h) : m_w(w), m_h(h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                m_pixels.push_back(Pattern(x, y));
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(m_hWnd, &ps);
            const BITMAPINFO bi = TopDown32(m_w, m_h);
            ::SetDIBitsToDevice(dc, 0, 0, DWORD(m_w), DWORD(m_h), 0, 0, 0, UINT(m_h),
                                m_pixels.data(), &bi, DIB_RGB_COLORS);
            ::EndPaint(m_hWnd, &ps);
            return 0;
        }
        if (message == WM_ERASEBKGND)
            return 1;
        return CWnd::WindowProc(message, wParam, lParam);
    }

  private:
    int m_w, m_h;
    std::vector<Pixel> m_pixels;
};

} // namespace rillo::test
