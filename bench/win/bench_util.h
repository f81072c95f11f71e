// What the Windows benchmarks share: the clock, a table of timings, a message pump,
// and the "desktop" picture shown full screen for the saver to photograph.
#pragma once

#include "framework/unique_handle.h"

#include <windows.h>

#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

// Milliseconds from QueryPerformanceCounter.
double Now();

// Named series of times, printed in the order they were first added, each as its
// median, minimum and maximum in milliseconds.
class Table {
  public:
    void Add(const std::string& name, double ms);
    void Print(const char* title) const;

  private:
    std::vector<std::pair<std::string, std::vector<double>>> m_rows;
};

// Dispatches this thread's messages for the given time; 0 empties the queue once.
void Pump(DWORD milliseconds);

int ScreenWidth();
int ScreenHeight();
// Bits per pixel of the screen.
int ScreenDepth();

// The desktop picture's pixel at (x, y) as 0x00RRGGBB: a texture in mid tones, so
// that both the displacement and the shading of a ripple change its pixels, and
// black never matches it.
DWORD DesktopPixel(int x, int y);

// The header of a 32-bit DIB; a negative height makes it top-down (row 0 on top).
BITMAPINFO Info32(int width, int height);

// A visible pop-up window over the whole screen, of a class registered once.
HWND MakeWindow(const wchar_t* cls, WNDPROC proc, DWORD exStyle);

// The window procedure of a window the benchmark draws into itself: painting it
// leaves the screen as it is, so that only the timed drawing puts pixels there.
LRESULT CALLBACK BlankProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The desktop picture over the whole screen for as long as the object lives; the
// constructor returns once it has been painted.
class Desktop {
  public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    HWND Window() const { return m_hwnd; }
    HBITMAP Picture() const { return m_picture.get(); }

  private:
    rillo::UniqueBitmap m_picture;
    HWND m_hwnd = nullptr;
};

// The picture object the water window makes from the snapshot, which then owns the
// bitmap; or null, and the bitmap is still the caller's.
IPicture* MakePicture(HBITMAP bitmap);

} // namespace bench
