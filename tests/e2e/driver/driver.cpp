// Drives rillo.scr from the outside, the way the system's screen-saver host and a
// user would. Each command prints what it saw and exits 0 when every check held.
//
//   driver show PICTURE.bmp SECONDS [X Y [PICTURE.bmp X Y]...]
//                                        show a picture over the whole screen, or
//                                        pictures at their own size at (X, Y) in
//                                        screen coordinates
//   driver monitors                      one line per monitor: left top right bottom
//                                        primary|other
//   driver windows CLASS                 the visible top-level windows of that class:
//                                        one rectangle a line, then their count
//   driver preview SCR W H [TICKS]       host a preview pane and check the child;
//                                        with TICKS, tick it as fast as it answers
//                                        until TICKS have run, and go on ticking it
//                                        while the host is destroyed
//   driver preview-bad SCR ARGS...       the saver must end at once, no window made
//   driver post CLASS MSG WPARAM LPARAM  post a message to the window of that class
//   driver hold FILE SECONDS MARKER      open FILE with no sharing, create MARKER, keep
//                                        the file open for SECONDS, close it
//   driver burst CLASS N                 post N input messages to the window of that
//                                        class while its thread is suspended: mouse
//                                        moves to ever new places and key presses,
//                                        alternately
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    if (!ok)
        ++g_failures;
}

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const auto left = LONG(end - GetTickCount());
        if (left <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left), QS_ALLINPUT);
    }
}

// Paints the bitmap kept in the window's user data.
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

HWND MakeWindow(const wchar_t* cls, WNDPROC proc, DWORD style, int x, int y, int w, int h) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = HBRUSH(GetStockObject(GRAY_BRUSH));
    RegisterClassW(&wc);
    return CreateWindowExW(0, cls, L"rillo driver", style, x, y, w, h, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// args: PICTURE SECONDS [X Y [PICTURE X Y]...]
int Show(int argc, wchar_t** args) {
    const int seconds = _wtoi(args[1]);
    for (int i = 0; i < argc; i += i == 0 ? 4 : 3) {
        auto picture = HBITMAP(LoadImageW(nullptr, args[i], IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        BITMAP bm{};
        if (!picture || !GetObjectW(picture, sizeof bm, &bm)) {
            std::printf("FAIL: cannot load the picture %ls\n", args[i]);
            return 1;
        }
        const int at = i == 0 ? 2 : i + 1; // where this picture's X and Y are
        const bool whole = at + 1 >= argc;
        // Shown without activation, as a desktop is: the saver started next becomes the
        // foreground window, as it does when the system starts it.
        HWND hwnd = MakeWindow(L"RilloDriverPicture", PictureProc, WS_POPUP,
                               whole ? 0 : _wtoi(args[at]), whole ? 0 : _wtoi(args[at + 1]),
                               whole ? GetSystemMetrics(SM_CXSCREEN) : bm.bmWidth,
                               whole ? GetSystemMetrics(SM_CYSCREEN) : bm.bmHeight);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(picture));
        SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
        ShowWindow(hwnd, SW_SHOWNA);
        UpdateWindow(hwnd);
        if (whole)
            break;
    }
    std::printf("showing\n");
    std::fflush(stdout);
    Pump(DWORD(seconds) * 1000);
    return 0;
}

PROCESS_INFORMATION Start(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        std::printf("FAIL: cannot start %ls\n", commandLine.c_str());
    return pi;
}

struct WindowSearch {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<WindowSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid)
        ++s->count;
    return TRUE;
}

// Waits for the process to end, pumping our own messages meanwhile.
bool WaitEnd(HANDLE process, DWORD milliseconds, DWORD* exitCode) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process, exitCode);
            return true;
        }
        if (LONG(end - GetTickCount()) <= 0)
            return false;
        Pump(20);
    }
}

// Sends WM_TIMER to a window from a thread of its own, each as soon as the last was
// answered, until told to stop or the window is gone. The window ticks whatever the
// timer id.
class Ticker {
  public:
    explicit Ticker(HWND hwnd) : m_hwnd(hwnd) {
        m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Ticker() { Stop(); }
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

    bool Started() const { return m_thread != nullptr; }
    LONG Answered() const { return InterlockedCompareExchange(&m_answered, 0, 0); }
    void Stop() {
        InterlockedExchange(&m_stop, 1);
        if (m_thread) {
            WaitForSingleObject(m_thread, 10000);
            CloseHandle(m_thread);
            m_thread = nullptr;
        }
    }

  private:
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<Ticker*>(param);
        while (!InterlockedCompareExchange(&self->m_stop, 0, 0) && IsWindow(self->m_hwnd)) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(self->m_hwnd, WM_TIMER, 0x7269, 0, SMTO_ABORTIFHUNG, 2000,
                                    &result))
                InterlockedIncrement(&self->m_answered);
        }
        return 0;
    }

    HWND m_hwnd;
    HANDLE m_thread = nullptr;
    mutable volatile LONG m_answered = 0;
    volatile LONG m_stop = 0;
};

int Preview(const wchar_t* scr, int w, int h, long ticks) {
    RECT r{0, 0, w, h};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    AdjustWindowRect(&r, style, FALSE);
    HWND host = MakeWindow(L"RilloDriverHost", DefWindowProcW, style, 40, 40, r.right - r.left,
                           r.bottom - r.top);
    Pump(300);
    PROCESS_INFORMATION pi =
        Start(L"\"" + std::wstring(scr) + L"\" /p " + std::to_wstring(UINT_PTR(host)));
    if (!pi.hProcess)
        return 1;
    HWND child = nullptr;
    for (int i = 0; i < 100 && !child; ++i) {
        Pump(50);
        child = GetWindow(host, GW_CHILD);
    }
    Check(child != nullptr, "the saver made a child of the host");
    if (child) {
        RECT hc, cc;
        GetClientRect(host, &hc);
        GetWindowRect(child, &cc);
        MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&cc), 2);
        Check(EqualRect(&hc, &cc) != 0, "the child fills the host's client area");
        Check((GetWindowLongW(child, GWL_STYLE) & WS_CHILD) != 0, "the child has WS_CHILD");
        // Wine does not show a child window of another process on screen, so what the
        // preview paints is checked in-process by the window tests; here, its life.
        Pump(1500);
    }
    std::unique_ptr<Ticker> ticker;
    if (child && ticks > 0) {
        ticker = std::make_unique<Ticker>(child);
        const DWORD end = GetTickCount() + 60000;
        while (ticker->Started() && ticker->Answered() < ticks && LONG(end - GetTickCount()) > 0)
            Pump(20);
        std::printf("%ld ticks answered before the host goes\n", long(ticker->Answered()));
        Check(ticker->Answered() >= ticks, "the preview takes the ticks");
    }
    DestroyWindow(host);
    DWORD code = 0;
    Check(WaitEnd(pi.hProcess, 1000, &code), "destroying the host ends the saver within 1 s");
    Check(code == 0, "with exit code 0");
    if (ticker)
        ticker->Stop();
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return g_failures ? 1 : 0;
}

int PreviewBad(const wchar_t* scr, int argc, wchar_t** argv) {
    std::wstring line = L"\"" + std::wstring(scr) + L"\"";
    for (int i = 0; i < argc; ++i)
        line += L" " + std::wstring(argv[i]);
    PROCESS_INFORMATION pi = Start(line);
    if (!pi.hProcess)
        return 1;
    int seen = 0;
    DWORD code = 0;
    const DWORD end = GetTickCount() + 3000;
    while (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0 && LONG(end - GetTickCount()) > 0) {
        WindowSearch s{pi.dwProcessId, 0};
        EnumWindows(CountTopLevel, LPARAM(&s));
        seen = std::max(seen, s.count);
        Pump(10);
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
    if (ended)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 99);
    std::printf("%ls: ended %d, top-level windows seen %d, exit code %lu\n", line.c_str(),
                int(ended), seen, code);
    Check(ended, "the saver ends at once");
    Check(seen == 0, "no top-level window is made");
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return g_failures ? 1 : 0;
}

int Hold(const wchar_t* path, int seconds, const wchar_t* marker) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("FAIL: cannot open %ls (%lu)\n", path, GetLastError());
        return 1;
    }
    HANDLE mark = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE)
        CloseHandle(mark);
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(DWORD(seconds) * 1000);
    CloseHandle(file);
    std::printf("released\n");
    return 0;
}

int Burst(const wchar_t* cls, int count) {
    HWND hwnd = FindWindowW(cls, nullptr);
    Check(hwnd != nullptr, "the window exists");
    if (!hwnd)
        return 1;
    // The saver's thread stands still while the burst is queued, so that it meets all
    // of it at once instead of closing after the first few.
    HANDLE thread =
        OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(hwnd, nullptr));
    const bool suspended = thread && SuspendThread(thread) != DWORD(-1);
    int posted = 0;
    const DWORD start = GetTickCount();
    for (int i = 0; i < count; ++i) {
        const BOOL ok = (i % 2 == 0) ? PostMessageW(hwnd, WM_MOUSEMOVE, 0,
                                                    MAKELPARAM(10 + i % 900, 10 + i % 700))
                                     : PostMessageW(hwnd, WM_KEYDOWN, 'A', 0x001E0001);
        posted += ok ? 1 : 0;
    }
    if (suspended)
        ResumeThread(thread);
    if (thread)
        CloseHandle(thread);
    std::printf("posted %d of %d in %lu ms%s\n", posted, count, GetTickCount() - start,
                suspended ? " while the window's thread stood still" : "");
    return 0;
}

int Post(const wchar_t* cls, const wchar_t* msg, const wchar_t* wp, const wchar_t* lp) {
    HWND hwnd = FindWindowW(cls, nullptr);
    Check(hwnd != nullptr, "the window exists");
    if (!hwnd)
        return 1;
    Check(PostMessageW(hwnd, UINT(wcstoul(msg, nullptr, 0)), WPARAM(wcstoul(wp, nullptr, 0)),
                       LPARAM(wcstol(lp, nullptr, 0))) != 0,
          "the message is posted");
    return g_failures ? 1 : 0;
}

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

struct ClassSearch {
    const wchar_t* cls;
    int count;
};

BOOL CALLBACK PrintWindow(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<ClassSearch*>(lp);
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
    if (cmd == L"show" && (argc == 4 || (argc >= 6 && (argc - 6) % 3 == 0)))
        return Show(argc - 2, argv + 2);
    if (cmd == L"monitors" && argc == 2) {
        EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
        return 0;
    }
    if (cmd == L"windows" && argc == 3) {
        ClassSearch s{argv[2], 0};
        EnumWindows(PrintWindow, LPARAM(&s));
        std::printf("count %d\n", s.count);
        return 0;
    }
    if (cmd == L"preview" && (argc == 5 || argc == 6))
        return Preview(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), argc == 6 ? _wtol(argv[5]) : 0);
    if (cmd == L"preview-bad" && argc >= 3)
        return PreviewBad(argv[2], argc - 3, argv + 3);
    if (cmd == L"hold" && argc == 5)
        return Hold(argv[2], _wtoi(argv[3]), argv[4]);
    if (cmd == L"burst" && argc == 4)
        return Burst(argv[2], _wtoi(argv[3]));
    if (cmd == L"post" && argc == 6)
        return Post(argv[2], argv[3], argv[4], argv[5]);
    std::fprintf(stderr,
                 "usage: driver show|monitors|windows|preview|preview-bad|hold|burst|post ...\n");
    return 2;
}
