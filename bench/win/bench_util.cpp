#include "bench_util.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>

namespace bench {

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

void Table::Add(const std::string& name, double ms) {
    for (auto& row : m_rows)
        if (row.first == name) {
            row.second.push_back(ms);
            return;
        }
    m_rows.push_back({name, {ms}});
}

void Table::Print(const char* title) const {
    std::printf("%s\n%-44s %9s %9s %9s %5s\n", title, "step", "median", "min", "max", "n");
    for (const auto& row : m_rows) {
        std::vector<double> v = row.second;
        std::sort(v.begin(), v.end());
        std::printf("%-44s %9.2f %9.2f %9.2f %5zu\n", row.first.c_str(), v[v.size() / 2], v.front(),
                    v.back(), v.size());
    }
    std::fflush(stdout);
}

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

int ScreenDepth() {
    HDC dc = ::GetDC(nullptr);
    const int bpp = dc ? ::GetDeviceCaps(dc, BITSPIXEL) : 0;
    if (dc)
        ::ReleaseDC(nullptr, dc);
    return bpp;
}

DWORD DesktopPixel(int x, int y) {
    const DWORD r = 64 + (x * 5) % 128, g = 64 + (y * 3) % 128;
    const DWORD b = 96 + ((x / 16 + y / 16) & 1) * 64;
    return r << 16 | g << 8 | b;
}

BITMAPINFO Info32(int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    return bi;
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

LRESULT CALLBACK BlankProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        ::BeginPaint(hwnd, &ps);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

namespace {

HBITMAP g_shown; // the picture the desktop window paints

LRESULT CALLBACK DesktopProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        rillo::UniqueMemoryDc mem(::CreateCompatibleDC(dc));
        rillo::SelectObjectGuard picture(mem.get(), g_shown);
        ::BitBlt(dc, 0, 0, ScreenWidth(), ScreenHeight(), mem.get(), 0, 0, SRCCOPY);
        picture.restore();
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

Desktop::Desktop() {
    const int w = ScreenWidth(), h = ScreenHeight();
    const BITMAPINFO bi = Info32(w, -h);
    void* bits = nullptr;
    m_picture.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!m_picture)
        return;
    auto* p = static_cast<DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[std::size_t(y) * w + x] = DesktopPixel(x, y);
    g_shown = m_picture.get();
    m_hwnd = MakeWindow(L"RilloBenchDesktop", DesktopProc, 0);
    ::UpdateWindow(m_hwnd);
    Pump(500);
}

Desktop::~Desktop() {
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
    if (g_shown == m_picture.get())
        g_shown = nullptr;
}

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

} // namespace bench
