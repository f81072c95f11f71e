// Times the full-screen saver's start-up and drawing under the real Win32 calls
// (run it under Wine on the display to be measured). Every time comes from
// QueryPerformanceCounter; repeated measurements print their median, minimum and
// maximum in milliseconds.
//
//   startup_bench steps [ROUNDS]      the start-up steps, in the window's order,
//                                     over a picture shown full screen
//   startup_bench draw [FRAMES]       Draw of a screen-sized frame into a visible
//                                     full-screen window, and a whole tick
//   startup_bench launch SCR [RUNS]   from starting "SCR /s" to its window and to
//                                     its first frame on the screen, beside the
//                                     start of an empty process
//   startup_bench water W H [STEPS]   water steps (Drop + Render) of a W x H field
//                                     after 300 drops, with each kernel set the
//                                     processor runs; needs no display
//   startup_bench nop                 returns at once (the empty process)
#include "framework/dc.h"
#include "ripple/dib_surface.h"
#include "ripple/ripple_field.h"
#include "ripple/ripple_kernels.h"
#include "saver/rain.h"
#include "saver/snapshot.h"
#include "saver/water_wnd.h"

#include <windows.h>

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Now() {
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return 1000.0 / double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) * msPerTick;
}

// Named series of times, printed in the order they were first added.
class Table {
  public:
    void Add(const std::string& name, double ms) {
        for (auto& row : m_rows)
            if (row.first == name) {
                row.second.push_back(ms);
                return;
            }
        m_rows.push_back({name, {ms}});
    }
    void Print(const char* title) const {
        std::printf("%s\n%-44s %9s %9s %9s %5s\n", title, "step", "median", "min", "max", "n");
        for (const auto& row : m_rows) {
            std::vector<double> v = row.second;
            std::sort(v.begin(), v.end());
            std::printf("%-44s %9.2f %9.2f %9.2f %5zu\n", row.first.c_str(), v[v.size() / 2],
                        v.front(), v.back(), v.size());
        }
        std::fflush(stdout);
    }

  private:
    std::vector<std::pair<std::string, std::vector<double>>> m_rows;
};

void Pump(DWORD milliseconds) {
    const DWORD end = ::GetTickCount() + milliseconds;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const auto left = LONG(end - ::GetTickCount());
        if (left <= 0)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left), QS_ALLINPUT);
    }
}

int ScreenWidth() {
    return ::GetSystemMetrics(SM_CXSCREEN);
}
int ScreenHeight() {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

// The "desktop": a textured picture in mid tones, so that both the displacement
// and the shading of a ripple change its pixels, and black never matches it.
COLORREF DesktopColour(int x, int y) {
    return RGB(64 + (x * 5) % 128, 64 + (y * 3) % 128, 96 + ((x / 16 + y / 16) & 1) * 64);
}

HBITMAP g_desktop;

LRESULT CALLBACK DesktopProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, g_desktop);
        ::BitBlt(dc, 0, 0, ScreenWidth(), ScreenHeight(), mem, 0, 0, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

HWND MakeWindow(const wchar_t* cls, WNDPROC proc, DWORD exStyle) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(exStyle, cls, L"", WS_POPUP | WS_VISIBLE, 0, 0, ScreenWidth(),
                             ScreenHeight(), nullptr, nullptr, wc.hInstance, nullptr);
}

// Shows the desktop picture over the whole screen and waits until it is there.
HWND ShowDesktop() {
    const int w = ScreenWidth(), h = ScreenHeight();
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    g_desktop = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* p = static_cast<DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = DesktopColour(x, y);
            p[std::size_t(y) * w + x] =
                DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c);
        }
    HWND hwnd = MakeWindow(L"RilloBenchDesktop", DesktopProc, 0);
    ::UpdateWindow(hwnd);
    Pump(500);
    return hwnd;
}

// The picture object the water window makes from the snapshot, or null.
IPicture* MakePicture(HBITMAP bitmap) {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap;
    IPicture* picture = nullptr;
    if (FAILED(::OleCreatePictureIndirect(&desc, IID_IPicture, TRUE,
                                          reinterpret_cast<void**>(&picture))))
        return nullptr;
    return picture;
}

// The water window with its picture preparation reachable, for the whole of it.
class CBenchWaterWnd : public CWaterWnd {
  public:
    CBenchWaterWnd() : CWaterWnd(FALSE, {}, false) {}
    void Prepare() { PreparePicture(); }
};

int Steps(int rounds) {
    HWND desktop = ShowDesktop();
    std::printf("screen %d x %d, %d bits per pixel\n", ScreenWidth(), ScreenHeight(), [] {
        HDC dc = ::GetDC(nullptr);
        const int bpp = ::GetDeviceCaps(dc, BITSPIXEL);
        ::ReleaseDC(nullptr, dc);
        return bpp;
    }());
    Table t, first;
    for (int round = 0; round < rounds; ++round) {
        Table& table = round == 0 ? first : t;
        const double start = Now();
        double t0 = start;
        auto lap = [&](const char* name) {
            const double t1 = Now();
            table.Add(name, t1 - t0);
            t0 = t1;
        };
        int w = 0, h = 0;
        {
            CClientDC screen(nullptr);
            w = screen.GetDeviceCaps(HORZRES);
            h = screen.GetDeviceCaps(VERTRES);
        }
        lap("1 screen size (GetDeviceCaps)");
        const std::wstring path = BuildSnapshotPath();
        lap("2 BuildSnapshotPath");
        SaveDesktopSnapshot(path);
        lap("3 SaveDesktopSnapshot (capture + file)");
        rillo::UniqueBitmap snapshot = LoadSnapshot(path);
        lap("4 LoadSnapshot (reload + flip)");
        IPicture* picture = MakePicture(snapshot.get());
        if (picture)
            snapshot.release();
        lap("5 OleCreatePictureIndirect");
        CDibSurface source, frame;
        if (picture)
            source.CreateFromBitmap(picture, w, h);
        lap("6 CreateFromBitmap (source)");
        if (picture)
            frame.CreateFromBitmap(picture, w, h);
        lap("7 CreateFromBitmap (frame)");
        if (picture)
            picture->Release();
        lap("  IPicture::Release");
        CRippleField field;
        field.Resize(w, h);
        lap("8 CRippleField::Resize");
        table.Add("= all of the above", Now() - start);

        // The parts on their own.
        DesktopCapture capture;
        t0 = Now();
        CaptureDesktop(capture);
        lap("  3a capture alone (BitBlt + GetDIBits)");
        {
            const std::wstring copy = path + L".bench";
            WriteSnapshotFile(copy, capture);
            lap("  3b file write alone (same bytes)");
            ::DeleteFileW(copy.c_str());
            t0 = Now();
        }
        rillo::UniqueBitmap loaded(static_cast<HBITMAP>(
            ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                         LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE)));
        lap("  4a LoadImage alone");
        rillo::UniqueBitmap flipped = FlipBitmap(loaded.get());
        lap("  4b FlipBitmap alone");

        // And the window's own preparation in one call, as a check on the sum.
        {
            CBenchWaterWnd wnd;
            t0 = Now();
            wnd.Prepare();
            lap("  CWaterWnd::PreparePicture as one call");
        }
        Pump(20);
    }
    first.Print("first round (cold)");
    if (rounds > 1)
        t.Print("later rounds");
    ::DestroyWindow(desktop);
    return 0;
}

LRESULT CALLBACK BlankProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        ::BeginPaint(hwnd, &ps);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

int Draw(int frames) {
    HWND desktop = ShowDesktop();
    const int w = ScreenWidth(), h = ScreenHeight();
    rillo::UniqueBitmap snapshot(::CreateCompatibleBitmap(::GetDC(nullptr), w, h));
    {
        HDC mem = ::CreateCompatibleDC(nullptr);
        HGDIOBJ old = ::SelectObject(mem, snapshot.get());
        HDC src = ::CreateCompatibleDC(nullptr);
        HGDIOBJ oldSrc = ::SelectObject(src, g_desktop);
        ::BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY);
        ::SelectObject(src, oldSrc);
        ::DeleteDC(src);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    CDibSurface source, frame;
    IPicture* picture = MakePicture(snapshot.release());
    if (!picture || !source.CreateFromBitmap(picture, w, h) ||
        !frame.CreateFromBitmap(picture, w, h)) {
        std::printf("could not make the surfaces\n");
        return 1;
    }
    picture->Release();
    HWND hwnd = MakeWindow(L"RilloBenchWater", BlankProc, WS_EX_TOPMOST);
    Pump(300);
    HDC hdc = ::GetDC(hwnd);
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
    HDC screen = ::GetDC(nullptr);
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
            seen = ::GetPixel(screen, w / 3, h / 3) == want && ::GetPixel(screen, w - 2, 1) == want;
            if (!seen)
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        t.Add(seen ? "Draw until on the screen (pumping messages)"
                   : "Draw: never seen on the screen",
              Now() - t0);
    }
    ::ReleaseDC(nullptr, screen);

    // Whole ticks as the window makes them: drop, render (which steps the water)
    // and draw, first on nearly flat water, then after a few hundred drops.
    CRippleField field;
    field.Resize(w, h);
    CRain rain;
    const RainRect accept = CRain::AcceptanceRect(w, h);
    auto step = [&](Table* table, const char* renderName, const char* tickName) {
        RainAttempt a;
        do
            a = rain.Attempt(w, h, accept);
        while (!a.bDrop);
        const double t0 = Now();
        field.Drop(a.nCellX, a.nCellY, 100, 64, field.GetCurrent());
        field.Render(source.GetBits(), frame.GetBits());
        const double t1 = Now();
        frame.Draw(&dc, 0, 0, FALSE);
        ::GdiFlush();
        const double t2 = Now();
        if (table) {
            table->Add(renderName, t1 - t0);
            table->Add(tickName, t2 - t0);
        }
    };
    for (int i = 0; i < 20; ++i)
        step(&t, "Drop + Render, first 20 steps", "Drop + Render + Draw, first 20 steps");
    for (int i = 20; i < 300; ++i)
        step(nullptr, "", "");
    for (int i = 0; i < frames; ++i) {
        step(&t, "Drop + Render after 300 steps", "Drop + Render + Draw after 300 steps");
        Pump(0);
    }
    ::ReleaseDC(hwnd, hdc);
    t.Print("drawing a frame of the screen's size");
    ::DestroyWindow(hwnd);
    ::DestroyWindow(desktop);
    return 0;
}

// A region of the screen, read into 32-bit pixels.
struct Region {
    int x, y, w, h;
    std::vector<DWORD> pixels;
};

void Read(HDC screen, HDC mem, Region& r) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = r.w;
    bi.bmiHeader.biHeight = -r.h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, section);
    ::BitBlt(mem, 0, 0, r.w, r.h, screen, r.x, r.y, SRCCOPY);
    ::GdiFlush();
    r.pixels.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + std::size_t(r.w) * r.h);
    ::SelectObject(mem, old);
    ::DeleteObject(section);
}

// Pixels of the region that equal the desktop picture, and those that are within a
// small shading of it (a ripple's work) without being equal.
void Compare(const Region& r, int& same, int& shaded) {
    same = shaded = 0;
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const COLORREF c = DesktopColour(r.x + x, r.y + y);
            const DWORD want = DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c);
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

int Launch(const wchar_t* scr, int runs) {
    HWND desktop = ShowDesktop();
    const int w = ScreenWidth(), h = ScreenHeight();
    // Where the first drop lands: the rain's first accepted point, in field cells.
    CRain rain;
    const RainRect accept = CRain::AcceptanceRect(w, h);
    int attempts = 0;
    RainAttempt first;
    do {
        first = rain.Attempt(w, h, accept);
        ++attempts;
    } while (!first.bDrop);
    std::printf("first drop at cell (%d, %d), attempt %d (tick %d)\n", first.nCellX, first.nCellY,
                attempts, (attempts + 1) / 2);
    // Field row y is screen line h - 1 - y or y, depending on the picture's way up;
    // watch both, and a corner far from the drop.
    auto around = [&](int cx, int cy) {
        Region r;
        r.w = 96;
        r.h = 96;
        r.x = std::clamp(cx - r.w / 2, 0, w - r.w);
        r.y = std::clamp(cy - r.h / 2, 0, h - r.h);
        return r;
    };
    std::vector<Region> drops = {around(first.nCellX, h - 1 - first.nCellY),
                                 around(first.nCellX, first.nCellY)};

    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    Table t;
    for (int run = 0; run < runs; ++run) {
        t.Add("empty process, start to exit", RunToExit(L"\"" + std::wstring(self) + L"\" nop"));
        ::InvalidateRect(desktop, nullptr, FALSE);
        Pump(300);

        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + std::wstring(scr) + L"\" /s";
        HDC screen = ::GetDC(nullptr);
        HDC mem = ::CreateCompatibleDC(screen);
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
            if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0)
                break;
            ::Sleep(1);
        }
        t.Add("saver: start to window created", tWindow);
        t.Add("saver: start to window visible", tVisible);
        t.Add("saver: start to first frame seen", tFrame);
        if (tFrame >= 0 && tVisible >= 0)
            t.Add("saver: window visible to first frame", tFrame - tVisible);
        if (polls)
            t.Add("  one poll of the screen (resolution)", pollCost / polls);
        HWND water = ::FindWindowW(L"RilloWater", nullptr);
        if (water)
            ::PostMessageW(water, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0)
            ::TerminateProcess(pi.hProcess, 1);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        ::DeleteDC(mem);
        ::ReleaseDC(nullptr, screen);
    }
    t.Print("whole process (negative: not seen within 15 s)");
    ::DestroyWindow(desktop);
    return 0;
}

// Water steps as the window makes them, on pictures in page-aligned memory as DIB
// sections are, from the same water after 300 drops for every kernel set.
int Water(std::int32_t w, std::int32_t h, int steps) {
    if (w < 3 || h < 3 || steps < 1 || !(std::int64_t(w) * h <= (1 << 26)))
        return 2;
    const std::size_t n = std::size_t(w) * h;
    auto* source = static_cast<std::uint32_t*>(
        ::VirtualAlloc(nullptr, n * 4, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    auto* frame = static_cast<std::uint32_t*>(
        ::VirtualAlloc(nullptr, n * 4, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!source || !frame)
        return 1;
    for (std::size_t i = 0; i < n; ++i)
        source[i] = std::uint32_t(i * 2654435761u) & 0x00FFFFFFu;
    CRippleField field;
    if (!field.Resize(w, h))
        return 1;
    CRain rain;
    const RainRect accept = CRain::AcceptanceRect(w, h);
    const auto step = [&] {
        RainAttempt a;
        do
            a = rain.Attempt(w, h, accept);
        while (!a.bDrop);
        field.Drop(a.nCellX, a.nCellY, 100, 64, field.GetCurrent());
        field.Render(source, frame);
    };
    for (int i = 0; i < 300; ++i)
        step();
    const std::vector<std::int32_t> saved0(field.GetBuffer(0), field.GetBuffer(0) + n),
        saved1(field.GetBuffer(1), field.GetBuffer(1) + n);
    const CRain savedRain = rain;
    Table t;
    for (const rillo::RippleKernels* k :
         {rillo::Sse2Kernels(), rillo::Avx2Kernels(), rillo::Avx512Kernels()}) {
        if (!k)
            continue;
        rillo::UseRippleKernels(k);
        std::copy(saved0.begin(), saved0.end(), field.GetBuffer(0));
        std::copy(saved1.begin(), saved1.end(), field.GetBuffer(1));
        rain = savedRain;
        for (int i = 0; i < steps; ++i) {
            const double t0 = Now();
            step();
            t.Add(std::string("Drop + Render, ") + k->pszName, Now() - t0);
        }
    }
    rillo::UseRippleKernels(nullptr);
    std::printf("%d x %d\n", w, h);
    t.Print("water steps after 300 drops");
    ::VirtualFree(source, 0, MEM_RELEASE);
    ::VirtualFree(frame, 0, MEM_RELEASE);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"nop")
        return 0;
    if (command == L"steps")
        return Steps(argc > 2 ? _wtoi(argv[2]) : 10);
    if (command == L"draw")
        return Draw(argc > 2 ? _wtoi(argv[2]) : 100);
    if (command == L"water" && argc > 3)
        return Water(_wtoi(argv[2]), _wtoi(argv[3]), argc > 4 ? _wtoi(argv[4]) : 30);
    if (command == L"launch" && argc > 2)
        return Launch(argv[2], argc > 3 ? _wtoi(argv[3]) : 5);
    std::printf("usage: startup_bench steps [ROUNDS] | draw [FRAMES] | launch SCR [RUNS] | "
                "water W H [STEPS] | nop\n");
    return 2;
}
