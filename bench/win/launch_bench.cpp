// startup_bench launch SCR [RUNS]: from starting "SCR /s" to its window and to its
// first frame on the screen, beside the start of an empty process.
#include "bench.h"
#include "bench_util.h"

#include "framework/unique_handle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

namespace {

// A region of the screen, read into 32-bit pixels.
struct Region {
    int x, y, w, h;
    std::vector<DWORD> pixels;
};

void Read(HDC screen, HDC mem, Region& r) {
    const BITMAPINFO bi = Info32(r.w, -r.h);
    void* bits = nullptr;
    rillo::UniqueBitmap section(
        ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section) {
        r.pixels.clear();
        return;
    }
    rillo::SelectObjectGuard selected(mem, section.get());
    ::BitBlt(mem, 0, 0, r.w, r.h, screen, r.x, r.y, SRCCOPY);
    ::GdiFlush();
    r.pixels.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + std::size_t(r.w) * r.h);
}

// Pixels of the region that equal the desktop picture, and those that are within a
// small shading of it (a ripple's work) without being equal.
void Compare(const Region& r, int& same, int& shaded) {
    same = shaded = 0;
    if (r.pixels.size() != std::size_t(r.w) * r.h)
        return;
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const DWORD want = DesktopPixel(r.x + x, r.y + y);
            const DWORD got = r.pixels[std::size_t(y) * r.w + x] & 0xFFFFFF;
            if (got == want) {
                ++same;
                continue;
            }
            int worst = 0;
            for (int s = 0; s < 24; s += 8)
                worst = std::max(worst, std::abs(int((got >> s) & 0xFF) - int((want >> s) & 0xFF)));
            if (worst <= 48)
                ++shaded;
        }
}

double RunToExit(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    const double t0 = Now();
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi))
        return -1;
    ::WaitForSingleObject(pi.hProcess, 30000);
    const double t = Now() - t0;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return t;
}

// Where the saver's first drop lands on a w x h screen, in field cells: its first
// tick that rains, on water of its own, leaves the highest cell at the drop's centre.
bool FirstDrop(int w, int h, POINT& cell, long& ticks) {
    rillo::Rainfall rain;
    if (!rain.Resize(w, h))
        return false;
    std::vector<std::uint32_t> picture(std::size_t(w) * h, 0x808080u), frame(picture);
    ticks = 0;
    if (TickUntilRain(rain, picture.data(), frame.data(), &ticks) == 0)
        return false;
    const CRippleField& field = rain.GetField();
    long best = -1;
    for (int b = 0; b < 2; ++b) {
        const std::int32_t* cells = field.GetBuffer(b);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const long v = std::labs(long(cells[std::size_t(y) * w + x]));
                if (v > best) {
                    best = v;
                    cell = {x, y};
                }
            }
    }
    return best > 0;
}

} // namespace

int Launch(const wchar_t* scr, int runs) {
    Desktop desktop;
    const int w = ScreenWidth(), h = ScreenHeight();
    POINT first{};
    long ticks = 0;
    if (!FirstDrop(w, h, first, ticks)) {
        std::printf("no drop falls on a %d x %d screen\n", w, h);
        return 1;
    }
    std::printf("first drop at cell (%ld, %ld), tick %ld\n", first.x, first.y, ticks);
    // Field row y is screen line h - 1 - y or y, depending on the picture's way up;
    // watch both.
    auto around = [&](int cx, int cy) {
        Region r;
        r.w = 96;
        r.h = 96;
        r.x = std::clamp(cx - r.w / 2, 0, w - r.w);
        r.y = std::clamp(cy - r.h / 2, 0, h - r.h);
        return r;
    };
    std::vector<Region> drops = {around(first.x, h - 1 - first.y), around(first.x, first.y)};

    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    rillo::UniqueWindowDc screenDc(::GetDC(nullptr));
    rillo::UniqueMemoryDc memDc(::CreateCompatibleDC(screenDc.get()));
    HDC screen = screenDc.get(), mem = memDc.get();
    if (!screen || !mem) {
        std::printf("no screen to read\n");
        return 1;
    }
    Table t;
    for (int run = 0; run < runs; ++run) {
        t.Add("empty process, start to exit", RunToExit(L"\"" + std::wstring(self) + L"\" nop"));
        ::InvalidateRect(desktop.Window(), nullptr, FALSE);
        Pump(300);

        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + std::wstring(scr) + L"\" /s";
        const double t0 = Now();
        if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi)) {
            std::printf("could not start the saver\n");
            return 1;
        }
        double tWindow = -1, tVisible = -1, tFrame = -1, pollCost = 0;
        int polls = 0;
        while (Now() - t0 < 15000) {
            HWND water = ::FindWindowW(L"RilloWater", nullptr);
            if (water && tWindow < 0)
                tWindow = Now() - t0;
            if (water && tVisible < 0 && ::IsWindowVisible(water))
                tVisible = Now() - t0;
            if (tVisible >= 0) {
                const double p0 = Now();
                bool rippled = false;
                for (Region& r : drops) {
                    Read(screen, mem, r);
                    int same = 0, shaded = 0;
                    Compare(r, same, shaded);
                    // Mostly the picture still, with a patch shaded a little.
                    if (shaded >= 16 && same + shaded >= r.w * r.h / 2)
                        rippled = true;
                }
                pollCost += Now() - p0;
                ++polls;
                if (rippled) {
                    tFrame = Now() - t0;
                    break;
                }
            }
            if (::WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0)
                break;
        }
        t.Add("saver: start to window created", tWindow);
        t.Add("saver: start to window visible", tVisible);
        t.Add("saver: start to first frame seen", tFrame);
        if (tFrame >= 0 && tVisible >= 0)
            t.Add("saver: window visible to first frame", tFrame - tVisible);
        if (polls)
            t.Add("  one poll of the screen (resolution)", pollCost / polls);
        if (HWND water = ::FindWindowW(L"RilloWater", nullptr))
            ::PostMessageW(water, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0)
            ::TerminateProcess(pi.hProcess, 1);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    t.Print("whole process (negative: not seen within 15 s)");
    return 0;
}

} // namespace bench
