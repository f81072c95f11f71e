// Small helpers shared by the Windows tests.
#pragma once

#include "framework/unique_handle.h"
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

} // namespace rillo::test
