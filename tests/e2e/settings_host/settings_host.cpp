// Starts rillo.scr's settings dialog the way the Screen Saver Settings window does and
// works it from outside. Each command prints what it saw and exits 0 when every check
// held; a saver still running at the end is a failure, and is ended.
//
//   settings_host owned SCR       shows a window of its own, starts "SCR /c:HANDLE" with
//                                 its handle, and checks that the dialog belongs to it
//   settings_host dead SCR        the same with the handle of a window that is gone
//   settings_host readouts SCR    prints "readouts W,A" of "SCR /c", then quits it
//   settings_host save SCR W saved|refused [TEXT...]
//                                 starts "SCR /c", moves the wavelength to W and presses
//                                 Save. saved: the dialog closes with code 0. refused:
//                                 a message box owned by the dialog holds every TEXT,
//                                 and once it is closed the dialog is still open at W
//   settings_host access PATH     prints "error N", what creating the new file PATH
//                                 gives (0: it could be made; it is removed again)
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kSave = 1015;
constexpr int kQuit = 1009;
constexpr int kWavelength = 1017;
constexpr int kWavelengthReadout = 1019;
constexpr int kAmplitudeReadout = 1020;

int g_failures = 0;
PROCESS_INFORMATION g_process{};

void Check(bool ok, const std::wstring& what) {
    std::printf("%s: %ls\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

// Our own window must answer while we wait: the saver's dialog manager sends to it.
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

template <class Condition> bool WaitFor(Condition condition, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        Pump();
        if (condition())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

bool Running() {
    return WaitForSingleObject(g_process.hProcess, 0) == WAIT_TIMEOUT;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        Check(false, L"message " + std::to_wstring(message) + L" answered in time");
    return LRESULT(result);
}

std::wstring TextOf(HWND hwnd) {
    const auto length = Send(hwnd, WM_GETTEXTLENGTH);
    std::vector<wchar_t> buffer(size_t(length > 0 ? length : 0) + 1, L'\0');
    Send(hwnd, WM_GETTEXT, buffer.size(), LPARAM(buffer.data()));
    return buffer.data();
}

struct Search {
    DWORD pid;
    HWND except;
    HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = L"";
    GetClassNameW(hwnd, cls, 16);
    if (pid != s->pid || hwnd == s->except || !IsWindowVisible(hwnd) ||
        std::wstring(cls) != L"#32770")
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

// A visible dialog of the saver other than `except`.
HWND FindDialog(HWND except = nullptr) {
    Search search{g_process.dwProcessId, except, nullptr};
    EnumWindows(Match, LPARAM(&search));
    return search.found;
}

POINT Centre(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool Near(POINT a, POINT b) {
    return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1;
}

std::wstring Readouts(HWND dialog) {
    return TextOf(GetDlgItem(dialog, kWavelengthReadout)) + L"," +
           TextOf(GetDlgItem(dialog, kAmplitudeReadout));
}

// Starts "SCR ARGS" and waits for its dialog.
HWND Start(const std::wstring& scr, const std::wstring& args) {
    std::wstring line = L"\"" + scr + L"\" " + args;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &g_process)) {
        Check(false, L"rillo.scr starts: " + line);
        return nullptr;
    }
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindDialog()) != nullptr || !Running(); }, 20000);
    Check(dialog != nullptr, L"'" + args + L"' shows the settings dialog");
    return dialog;
}

// The saver ends with code 0 (after Quit or a good Save).
void ExpectExit() {
    const bool ended = WaitFor([] { return !Running(); }, 10000);
    DWORD code = 1;
    GetExitCodeProcess(g_process.hProcess, &code);
    Check(ended && code == 0, L"the saver ends with code 0");
}

int Finish() {
    if (g_process.hProcess) {
        if (Running()) {
            Check(false, L"the saver has ended after the last step");
            TerminateProcess(g_process.hProcess, 1);
            WaitForSingleObject(g_process.hProcess, 5000);
        }
        CloseHandle(g_process.hThread);
        CloseHandle(g_process.hProcess);
    }
    return g_failures ? 1 : 0;
}

HWND MakeHost(int x, int y, int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
    wc.lpszClassName = L"RilloSettingsHost";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"Screen Saver Settings",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width, height, nullptr,
                                nullptr, wc.hInstance, nullptr);
    Pump();
    return host;
}

std::wstring Decimal(HWND hwnd) {
    // The handle's 32 significant bits, as the system writes them.
    return std::to_wstring(unsigned(reinterpret_cast<UINT_PTR>(hwnd)));
}

int Owned(const std::wstring& scr) {
    HWND host = MakeHost(40, 50, 520, 420);
    if (!host) {
        Check(false, L"the host window is made");
        return 1;
    }
    HWND dialog = Start(scr, L"/c:" + Decimal(host));
    if (dialog) {
        Check(GetWindow(dialog, GW_OWNER) == host, L"the dialog is owned by the host window");
        Check(!GetParent(dialog) || GetParent(dialog) == host, L"the dialog is no child window");
        const POINT c = Centre(dialog), h = Centre(host);
        Check(Near(c, h), L"the dialog is centred over the host window (" + std::to_wstring(c.x) +
                              L"," + std::to_wstring(c.y) + L" over " + std::to_wstring(h.x) +
                              L"," + std::to_wstring(h.y) + L")");
        Check(WaitFor([&] { return !IsWindowEnabled(host); }, 5000),
              L"the host window is disabled while the dialog is open");
        PostMessageW(GetDlgItem(dialog, kQuit), BM_CLICK, 0, 0);
        ExpectExit();
        Check(WaitFor([&] { return IsWindowEnabled(host) != FALSE; }, 5000),
              L"the host window works again once the dialog has closed");
    }
    DestroyWindow(host);
    return Finish();
}

int Dead(const std::wstring& scr) {
    HWND gone = MakeHost(40, 50, 520, 420);
    DestroyWindow(gone);
    HWND dialog = Start(scr, L"/c:" + Decimal(gone));
    if (dialog) {
        Check(!GetWindow(dialog, GW_OWNER) && !GetParent(dialog),
              L"the dialog has no owner and no parent");
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        Check(Near(Centre(dialog), {(work.left + work.right) / 2, (work.top + work.bottom) / 2}),
              L"the dialog is centred in the work area");
        PostMessageW(GetDlgItem(dialog, kQuit), BM_CLICK, 0, 0);
        ExpectExit();
    }
    return Finish();
}

int PrintReadouts(const std::wstring& scr) {
    if (HWND dialog = Start(scr, L"/c")) {
        std::printf("readouts %ls\n", Readouts(dialog).c_str());
        PostMessageW(GetDlgItem(dialog, kQuit), BM_CLICK, 0, 0);
        ExpectExit();
    }
    return Finish();
}

// The text of a message box: its static controls, one after another.
std::wstring BoxText(HWND box) {
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[16] = L"";
        GetClassNameW(child, cls, 16);
        if (std::wstring(cls) == L"Static")
            text += TextOf(child);
    }
    return text;
}

int Save(const std::wstring& scr, int wavelength, const std::wstring& expect,
         const std::vector<std::wstring>& texts) {
    HWND dialog = Start(scr, L"/c");
    if (!dialog)
        return Finish();
    HWND bar = GetDlgItem(dialog, kWavelength);
    Send(bar, TBM_SETPOS, TRUE, wavelength);
    Send(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, wavelength), LPARAM(bar));
    const std::wstring chosen = Readouts(dialog);
    // Posted: a refused save shows a modal box before the click returns.
    PostMessageW(GetDlgItem(dialog, kSave), BM_CLICK, 0, 0);
    if (expect == L"saved") {
        ExpectExit();
        return Finish();
    }
    HWND box = nullptr;
    WaitFor([&] { return (box = FindDialog(dialog)) != nullptr || !Running(); }, 10000);
    Check(box != nullptr, L"a message box opens");
    if (box) {
        const std::wstring text = BoxText(box);
        std::printf("message box: %ls\n", text.c_str());
        Check(GetWindow(box, GW_OWNER) == dialog, L"the message box belongs to the dialog");
        for (const std::wstring& part : texts)
            Check(text.find(part) != std::wstring::npos, L"it says \"" + part + L"\"");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        Check(WaitFor([&] { return !IsWindow(box); }, 5000), L"OK closes the message box");
    }
    Check(Running() && IsWindow(dialog) && IsWindowVisible(dialog),
          L"the settings dialog is still open");
    Check(WaitFor([&] { return IsWindowEnabled(dialog) != FALSE; }, 5000),
          L"the settings dialog works again");
    if (IsWindow(dialog)) {
        Check(Readouts(dialog) == chosen, L"it still shows the chosen values " + chosen);
        PostMessageW(GetDlgItem(dialog, kQuit), BM_CLICK, 0, 0);
    }
    ExpectExit();
    return Finish();
}

int Access(const wchar_t* path) {
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        DeleteFileW(path);
    }
    std::printf("error %lu\n", error);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 2 ? argv[1] : L"";
    if (command == L"owned")
        return Owned(argv[2]);
    if (command == L"dead")
        return Dead(argv[2]);
    if (command == L"readouts")
        return PrintReadouts(argv[2]);
    if (command == L"access")
        return Access(argv[2]);
    if (command == L"save" && argc >= 5)
        return Save(argv[2], _wtoi(argv[3]), argv[4],
                    std::vector<std::wstring>(argv + 5, argv + argc));
    std::printf("usage: settings_host owned|dead|readouts|save|access ...\n");
    return 2;
}
