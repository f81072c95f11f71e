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
#include "../saver_dialog.h"
#include "res/resource.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND FindDialog(HWND except = nullptr) {
    return FindSaverDialog([except](HWND hwnd) { return hwnd != except; });
}

// Starts "SCR ARGS" and waits for its dialog, the only one it shows at first.
HWND Start(const std::wstring& scr, const std::wstring& args) {
    return StartSettings(scr, args, [](HWND) { return true; });
}

std::wstring Readouts(HWND dialog) {
    return TextOf(GetDlgItem(dialog, IDC_WAVELENGTH_VALUE)) + L"," +
           TextOf(GetDlgItem(dialog, IDC_AMPLITUDE_VALUE));
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
        PostMessageW(GetDlgItem(dialog, IDC_QUIT), BM_CLICK, 0, 0);
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
        Check(Near(Centre(dialog), WorkAreaCentre()), L"the dialog is centred in the work area");
        PostMessageW(GetDlgItem(dialog, IDC_QUIT), BM_CLICK, 0, 0);
        ExpectExit();
    }
    return Finish();
}

int PrintReadouts(const std::wstring& scr) {
    if (HWND dialog = Start(scr, L"/c")) {
        std::printf("readouts %ls\n", Readouts(dialog).c_str());
        PostMessageW(GetDlgItem(dialog, IDC_QUIT), BM_CLICK, 0, 0);
        ExpectExit();
    }
    return Finish();
}

// The text of a message box: its static controls, one after another.
std::wstring BoxText(HWND box) {
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static")
            text += TextOf(child);
    }
    return text;
}

int Save(const std::wstring& scr, int wavelength, const std::wstring& expect,
         const std::vector<std::wstring>& texts) {
    HWND dialog = Start(scr, L"/c");
    if (!dialog)
        return Finish();
    HWND bar = GetDlgItem(dialog, IDC_WAVELENGTH);
    Send(bar, TBM_SETPOS, TRUE, wavelength);
    Send(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, wavelength), LPARAM(bar));
    const std::wstring chosen = Readouts(dialog);
    // Posted: a refused save shows a modal box before the click returns.
    PostMessageW(GetDlgItem(dialog, IDC_SAVE), BM_CLICK, 0, 0);
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
        PostMessageW(GetDlgItem(dialog, IDC_QUIT), BM_CLICK, 0, 0);
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
