// startup_bench draw [FRAMES]: Draw of a screen-sized frame into a visible full-screen
// window, until it is on the screen, and whole ticks as the window makes them.
#include "bench.h"
#include "bench_util.h"

#include "framework/dc.h"
#include "ripple/dib_surface.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace bench {

namespace {

// The desktop picture as a device-dependent bitmap, as the saver's snapshot is.
rillo::UniqueBitmap SnapshotOf(HBITMAP desktop, int w, int h) {
    CClientDC screen(nullptr);
    rillo::UniqueBitmap snapshot(::CreateCompatibleBitmap(screen.GetSafeHdc(), w, h));
    rillo::UniqueMemoryDc to(::CreateCompatibleDC(nullptr)), from(::CreateCompatibleDC(nullptr));
    if (!snapshot || !to || !from)
        return {};
    rillo::SelectObjectGuard target(to.get(), snapshot.get());
    rillo::SelectObjectGuard source(from.get(), desktop);
    ::BitBlt(to.get(), 0, 0, w, h, from.get(), 0, 0, SRCCOPY);
    return snapshot;
}

} // namespace

int Draw(int frames) {
    Desktop desktop;
    const int w = ScreenWidth(), h = ScreenHeight();
    CDibSurface source, frame;
    rillo::UniqueBitmap snapshot = SnapshotOf(desktop.Picture(), w, h);
    IPicture* picture = snapshot ? MakePicture(snapshot.get()) : nullptr;
    if (picture)
        snapshot.release();
    const bool made =
        picture && source.CreateFromBitmap(picture, w, h) && frame.CreateFromBitmap(picture, w, h);
    if (picture)
        picture->Release();
    if (!made) {
        std::printf("could not make the surfaces\n");
        return 1;
    }
    HWND hwnd = MakeWindow(L"RilloBenchWater", BlankProc, WS_EX_TOPMOST);
    Pump(300);
    rillo::UniqueWindowDc windowDc(::GetDC(hwnd), rillo::ReleaseDcDeleter{hwnd});
    HDC hdc = windowDc.get();
    CDC dc; // wraps the window's DC without owning it
    dc.m_hDC = hdc;
    Table t;
    for (int i = 0; i < frames; ++i) {
        double t0 = Now();
        frame.Draw(&dc, 0, 0, FALSE);
        double t1 = Now();
        t.Add("Draw (call returns)", t1 - t0);
        ::GdiFlush();
        t.Add("Draw + GdiFlush", Now() - t0);
        t0 = Now();
        ::GetPixel(hdc, w / 2, h / 2);
        t.Add("GetPixel (a round trip, for reference)", Now() - t0);
        t0 = Now();
        frame.Draw(&dc, 0, 0, FALSE);
        ::GetPixel(hdc, w / 2, h / 2);
        t.Add("Draw + GetPixel (drawn on the screen)", Now() - t0);
        Pump(0);
    }

    // Until a drawn frame is on the screen: Wine draws into a surface of its own
    // and hands it to the X server later, so the call returning is not the end.
    // Solid frames of alternating colours, read back from the screen.
    {
        CClientDC screen(nullptr);
        for (int i = 0; i < frames / 2; ++i) {
            const rillo::Pixel colour = i % 2 ? 0x00C03010u : 0x002090E0u;
            std::fill(frame.GetBits(), frame.GetBits() + std::size_t(w) * h, colour);
            const COLORREF want = RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
            const double t0 = Now();
            frame.Draw(&dc, 0, 0, FALSE);
            ::GdiFlush();
            bool seen = false;
            while (!seen && Now() - t0 < 2000) {
                MSG msg;
                while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                    ::DispatchMessageW(&msg);
                seen = ::GetPixel(screen.GetSafeHdc(), w / 3, h / 3) == want &&
                       ::GetPixel(screen.GetSafeHdc(), w - 2, 1) == want;
                if (!seen)
                    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            }
            t.Add(seen ? "Draw until on the screen (pumping messages)"
                       : "Draw: never seen on the screen",
                  Now() - t0);
        }
    }

    // Whole ticks as the window makes them (the rain, its steps, the draw), first on
    // nearly flat water, then after a few hundred steps; timed by the steps they ran.
    rillo::Rainfall rain;
    rain.Resize(w, h);
    auto tick = [&](Table* table, const char* when) {
        const double t0 = Now();
        const int steps = TickUntilRain(rain, source.GetBits(), frame.GetBits());
        const double t1 = Now();
        frame.Draw(&dc, 0, 0, FALSE);
        ::GdiFlush();
        const double t2 = Now();
        if (table && steps > 0) {
            const std::string ran = std::to_string(steps) + (steps == 1 ? " step" : " steps");
            table->Add("Tick of " + ran + ", " + when, t1 - t0);
            table->Add("Tick of " + ran + " + Draw, " + when, t2 - t0);
        }
        return steps;
    };
    int steps = 0;
    for (int i = 0; i < 20; ++i)
        steps += tick(&t, "first 20 ticks");
    while (steps < 300) {
        const int ran = tick(nullptr, "");
        if (ran == 0)
            break;
        steps += ran;
    }
    for (int i = 0; i < frames; ++i) {
        tick(&t, "after 300 steps");
        Pump(0);
    }
    t.Print("drawing a frame of the screen's size");
    ::DestroyWindow(hwnd);
    return 0;
}

} // namespace bench
