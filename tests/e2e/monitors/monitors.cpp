// The monitors as a Windows program sees them, and pictures shown on them, for the
// test of the saver over several monitors.
//
//   monitors list                          one line per monitor: left top right bottom
//                                          primary|other
//   monitors show SECONDS PIC X Y [PIC X Y ...]
//                                          each picture at its own size at (X, Y) in
//                                          screen coordinates, without activation
//   monitors windows CLASS                 the top-level windows of that class: their
//                                          rectangles, one line each, then a count
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        std::printf("%ld %ld %ld %ld %s\n", r.left, r.top, r.right, r.bottom,
                    info.dwFlags & MONITORINFOF_PRIMARY ? "primary" : "other");
    }
    return TRUE;
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        auto picture = HBITMAP(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, picture);
        BITMAP bm{};
        GetObjectW(picture, sizeof bm, &bm);
        BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int Show(int seconds, int n, wchar_t** args) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PictureProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RilloMonitorPicture";
    RegisterClassW(&wc);
    for (int i = 0; i + 2 < n; i += 3) {
        auto picture = HBITMAP(LoadImageW(nullptr, args[i], IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        BITMAP bm{};
        if (!picture || !GetObjectW(picture, sizeof bm, &bm)) {
            std::printf("FAIL: cannot load %ls\n", args[i]);
            return 1;
        }
        // Shown without activation, as a desktop is.
        HWND hwnd = CreateWindowExW(WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP,
                                    _wtoi(args[i + 1]), _wtoi(args[i + 2]), bm.bmWidth, bm.bmHeight,
                                    nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(picture));
        ShowWindow(hwnd, SW_SHOWNA);
        UpdateWindow(hwnd);
    }
    std::printf("showing\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + DWORD(seconds) * 1000;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        const auto left = LONG(end - GetTickCount());
        if (left <= 0)
            return 0;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left), QS_ALLINPUT);
    }
}

struct Search {
    const wchar_t* cls;
    int count;
};

BOOL CALLBACK PrintWindow(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    RECT r{};
    if (std::wstring(cls) == s->cls && IsWindowVisible(hwnd) && GetWindowRect(hwnd, &r)) {
        std::printf("window %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        ++s->count;
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring cmd = argc > 1 ? argv[1] : L"";
    if (cmd == L"list" && argc == 2) {
        EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
        return 0;
    }
    if (cmd == L"show" && argc >= 6)
        return Show(_wtoi(argv[2]), argc - 3, argv + 3);
    if (cmd == L"windows" && argc == 3) {
        Search s{argv[2], 0};
        EnumWindows(PrintWindow, LPARAM(&s));
        std::printf("count %d\n", s.count);
        return 0;
    }
    std::printf("usage: monitors list | show SECONDS PIC X Y ... | windows CLASS\n");
    return 2;
}
