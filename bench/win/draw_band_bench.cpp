// Times the drawing of the saver's ticks into a visible screen-sized window under
// the real Win32 calls (run it under Wine on the display to be measured): each
// raining tick drawn whole once per step, as the saver used to draw, whole once,
// and as only the rectangle the tick changed, as it draws now, on the same frames
// in the same run. Times come from
// QueryPerformanceCounter and include GdiFlush.
//
//   draw_band_bench [TICKS]
#include "bench_util.h"

#include "framework/dc.h"
#include "framework/unique_handle.h"
#include "ripple/dib_surface.h"
#include "saver/rainfall.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / double(v.size());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int ticks = argc > 1 ? std::max(1, _wtoi(argv[1])) : 300;
    const int w = bench::ScreenWidth(), h = bench::ScreenHeight();

    // A bottom-up frame, as the saver's, over a picture with detail everywhere.
    const BITMAPINFO info = bench::Info32(w, h);
    std::vector<std::uint32_t> picture(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture[std::size_t(y) * w + x] = std::uint32_t((x * 7 + y * 3) & 255) << 16 |
                                              std::uint32_t((x ^ y) & 255) << 8 |
                                              std::uint32_t(((x / 16 + y / 16) & 1) * 200);
    CDibSurface frame;
    if (!frame.CreateFromInfo(&info, picture.data())) {
        std::printf("could not make the frame\n");
        return 1;
    }

    HWND hwnd = bench::MakeWindow(L"RilloBandBench", bench::BlankProc, WS_EX_TOPMOST);
    if (!hwnd) {
        std::printf("could not make the window\n");
        return 1;
    }
    ::UpdateWindow(hwnd);
    bench::Pump(0);
    rillo::UniqueWindowDc windowDc = rillo::GetUniqueDc(hwnd);
    CDC dc; // wraps the window's DC without owning it
    dc.m_hDC = windowDc.get();

    rillo::Rainfall rain;
    rain.Resize(w, h);
    for (int n = 0; n < 300;) // ripples all over the screen, as after 20 s of rain
        n += rain.Tick(picture.data(), frame.GetBits());
    frame.Draw(&dc, 0, 0, FALSE);
    ::GdiFlush();

    std::vector<double> perStep, whole, band, share;
    int partial = 0, raining = 0;
    for (int i = 0; i < ticks; ++i) {
        const int steps = rain.Tick(picture.data(), frame.GetBits());
        if (steps == 0)
            continue;
        ++raining;
        const RippleRect& rc = rain.GetChangedRect();
        const RECT r{rc.left, rc.top, rc.right, rc.bottom};
        const double area = double(rc.right - rc.left) * (rc.bottom - rc.top);
        share.push_back(area / (double(w) * h));
        if (area < double(w - 2) * (h - 2))
            ++partial;
        // Taking turns at going first, so none is favoured by what the others left.
        for (int k = 0; k < 3; ++k) {
            const int way = (i + k) % 3;
            const double t0 = bench::Now();
            if (way == 0)
                for (int n = 0; n < steps; ++n)
                    frame.Draw(&dc, 0, 0, FALSE);
            else if (way == 1)
                frame.Draw(&dc, 0, 0, FALSE);
            else if (!rc.IsEmpty())
                frame.DrawBand(&dc, 0, 0, r, FALSE);
            ::GdiFlush();
            (way == 0 ? perStep : way == 1 ? whole : band).push_back(bench::Now() - t0);
        }
        bench::Pump(0);
    }
    windowDc.reset();
    ::DestroyWindow(hwnd);

    std::printf("screen %d x %d, %d raining ticks of %d, %d drawn as less than the frame\n", w, h,
                raining, ticks, partial);
    std::printf("%-40s %9s %9s\n", "drawing per raining tick (ms)", "mean", "median");
    std::printf("%-40s %9.3f %9.3f\n", "whole frame per step (as before)", Mean(perStep),
                Median(perStep));
    std::printf("%-40s %9.3f %9.3f\n", "whole frame per tick", Mean(whole), Median(whole));
    std::printf("%-40s %9.3f %9.3f\n", "changed rectangle per tick (as now)", Mean(band),
                Median(band));
    std::printf("%-40s %9.3f\n", "now / before, means", Mean(band) / std::max(Mean(perStep), 1e-9));
    std::printf("%-40s %9.4f\n", "mean share of the frame drawn", Mean(share));
    return 0;
}
