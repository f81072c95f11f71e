// Drives the settings dialog of rillo.scr from outside, the way the screen-saver host
// starts it and a user works it. Each command prints what it saw and exits 0 when
// every check held.
//
//   settings_driver run SCR ARGS STEP...
//       starts "SCR" ARGS (ARGS may be empty), waits for its settings dialog and
//       performs the steps in order (see RunStep; a step names a control as Id()
//       does). A process still running after the last step is a failure, and is
//       ended. The step "inside" hooks dialog_reader.dll, found beside the driver,
//       into the saver to look at it from inside.
//   settings_driver htmlfile [NAME=TEXT | NAME:dword=NUMBER | NAME:binary=TEXT]...
//       replaces HKEY_CLASSES_ROOT\htmlfile\shell\open\command by a key that holds
//       these values, written in this order (an empty NAME is the default value);
//       without values the key is removed
//   settings_driver htmlfile-first
//       prints "first: NAME|TEXT", the value the command key enumerates first
#include "../saver_dialog.h"
#include "res/resource.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

HWND g_dialog = nullptr;

constexpr wchar_t kCommandKey[] = L"htmlfile\\shell\\open\\command";

// The saver's thread is in a menu's modal loop.
bool InMenu() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(g_process.dwThreadId, &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
}

// Waits until the dialog's thread has handled every message posted to it so far: a
// marker posted behind them, a page size the wavelength trackbar does not have, shows
// once it is handled, and the page size is put back.
bool Drained() {
    HWND bar = GetDlgItem(g_dialog, IDC_WAVELENGTH);
    if (!bar)
        return false;
    const LRESULT page = Send(bar, TBM_GETPAGESIZE);
    const LRESULT marker = page + 1;
    if (!PostMessageW(bar, TBM_SETPAGESIZE, 0, marker))
        return false;
    const bool drained = WaitFor([&] { return Send(bar, TBM_GETPAGESIZE) == marker; }, 5000);
    Send(bar, TBM_SETPAGESIZE, 0, page);
    return drained;
}

// The saver's visible top-level dialog with this caption, or with any caption but
// `except` when `caption` is null.
HWND FindDialog(const wchar_t* caption, const wchar_t* except = nullptr) {
    return FindSaverDialog([caption, except](HWND hwnd) {
        const std::wstring text = TextOf(hwnd);
        return (!caption || text == caption) && !(except && text == except);
    });
}

HWND Item(int id) {
    return GetDlgItem(g_dialog, id);
}

HWND Focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(g_process.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

std::vector<std::wstring> Split(const std::wstring& text, size_t maxParts = 0) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(L',', start);
        if (comma == std::wstring::npos || (maxParts && parts.size() + 1 == maxParts)) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

int Int(const std::wstring& text) {
    return int(std::wcstol(text.c_str(), nullptr, 0));
}

// A control of the settings dialog by the name the scripts use, or a number: the
// dialog's buttons (link, quit, save, default, ok, cancel), its trackbars (wavelength,
// amplitude), their readouts (wavelength-value, amplitude-value) and its title; "about"
// is the system-menu command of the about box.
int Id(const std::wstring& name) {
    static const std::pair<const wchar_t*, int> kIds[] = {
        {L"link", IDC_WEBLINK},
        {L"quit", IDC_QUIT},
        {L"title", IDC_TITLE},
        {L"save", IDC_SAVE},
        {L"default", IDC_DEFAULT},
        {L"wavelength", IDC_WAVELENGTH},
        {L"amplitude", IDC_AMPLITUDE},
        {L"wavelength-value", IDC_WAVELENGTH_VALUE},
        {L"amplitude-value", IDC_AMPLITUDE_VALUE},
        {L"ok", IDOK},
        {L"cancel", IDCANCEL},
        {L"about", IDM_ABOUTBOX}};
    for (const auto& [text, id] : kIds)
        if (name == text)
            return id;
    return Int(name);
}

UINT VirtualKey(const std::wstring& name) {
    if (name == L"prior")
        return VK_PRIOR;
    if (name == L"next")
        return VK_NEXT;
    if (name == L"left")
        return VK_LEFT;
    if (name == L"right")
        return VK_RIGHT;
    if (name == L"home")
        return VK_HOME;
    if (name == L"end")
        return VK_END;
    return UINT(Int(name));
}

void CheckTrackbar(const std::wstring& name, int min, int max, int page) {
    HWND bar = Item(Id(name));
    Check(ClassOf(bar) == TRACKBAR_CLASSW, name + L" is a trackbar");
    Check(Send(bar, TBM_GETRANGEMIN) == min && Send(bar, TBM_GETRANGEMAX) == max,
          name + L" runs from " + std::to_wstring(min) + L" to " + std::to_wstring(max));
    Check(Send(bar, TBM_GETPAGESIZE) == page, name + L" pages by " + std::to_wstring(page));
    Check(Send(bar, TBM_GETLINESIZE) == 1, name + L" steps by 1");
}

// The about box: caption, owner, content and place; OK closes it and the settings
// dialog works again.
void CheckAboutBox() {
    HWND about = nullptr;
    WaitFor([&] { return (about = FindDialog(L"About Saver")) != nullptr; }, 5000);
    Check(about != nullptr, L"the about box opens");
    if (!about)
        return;
    Check(GetWindow(about, GW_OWNER) == g_dialog, L"the about box is owned by the dialog");
    Check(!IsWindowEnabled(g_dialog), L"the settings dialog is disabled meanwhile");
    bool version = false, icon = false;
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON)
            icon = true;
        else if (TextOf(child) == L"Saver Version 1.0")
            version = true;
    }
    Check(icon, L"the about box shows the icon");
    Check(version, L"the about box reads \"Saver Version 1.0\"");
    HWND ok = GetDlgItem(about, IDOK);
    Check(ok && TextOf(ok) == L"OK", L"the about box has an OK button");
    Check(Focus() == ok, L"the OK button has the focus");
    Check(Near(Centre(about), Centre(g_dialog)), L"the about box is centred over the dialog");
    PostMessageW(ok, BM_CLICK, 0, 0);
    Check(WaitFor([&] { return !IsWindow(about); }, 5000), L"OK closes the about box");
    Check(WaitFor([] { return IsWindowEnabled(g_dialog) != FALSE; }, 2000),
          L"the settings dialog works again");
    Check(Running(), L"the saver is still running");
}

// What only the saver itself can see, read inside it by the dialog reader DLL beside the
// driver: the last two entries of the dialog's system menu and its drag icon.
void CheckFromInside() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n < MAX_PATH ? n : 0);
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"dialog_reader.dll";
    const std::wstring file = dll.substr(0, dll.size() - 4) + L".txt";
    DeleteFileW(file.c_str());
    HMODULE reader = LoadLibraryW(dll.c_str());
    FARPROC entry = reader ? GetProcAddress(reader, "ReadDialogHook") : nullptr;
    if (reader && !entry) // a 32-bit build decorates the stdcall name
        entry = GetProcAddress(reader, "ReadDialogHook@12");
    auto* hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(entry));
    HHOOK handle =
        hook ? SetWindowsHookExW(WH_CALLWNDPROC, hook, reader, g_process.dwThreadId) : nullptr;
    Check(handle != nullptr, L"the dialog reader hooks into the saver");
    if (handle) {
        Send(g_dialog, RegisterWindowMessageW(L"RilloReadDialog"));
        UnhookWindowsHookEx(handle);
    }
    if (reader)
        FreeLibrary(reader);
    std::wstring text;
    if (FILE* in = _wfopen(file.c_str(), L"r, ccs=UTF-8")) {
        wchar_t line[512];
        while (std::fgetws(line, 512, in))
            text += line;
        std::fclose(in);
    }
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    const bool menu = lines.size() == 4 && lines[1] == L"separator" &&
                      lines[2] == L"item 16 &About Rillo  ScreenSaver";
    Check(menu, L"the system menu ends with a separator and \"&About Rillo  ScreenSaver\", "
                L"command 16");
    const bool icon = lines.size() == 4 && lines[3] == L"dragicon 32x32";
    Check(icon, L"the dialog's drag icon is the program's 32 x 32 icon");
    if (!menu || !icon)
        std::printf("read inside the saver:\n%ls\n", text.c_str());
}

// One step: NAME or NAME=VALUE.
void RunStep(const std::wstring& step) {
    const size_t equals = step.find(L'=');
    const std::wstring name = step.substr(0, equals);
    const std::wstring value = equals == std::wstring::npos ? L"" : step.substr(equals + 1);
    const auto args = Split(value);
    if (!Running() && name != L"exits" && name != L"waitfile") {
        Check(false, step + L": the saver is running");
        return;
    }

    if (name == L"caption") { // caption=TEXT
        Check(TextOf(g_dialog) == value, L"the caption reads \"" + value + L"\"");
    } else if (name == L"toplevel") { // neither parent nor owner, centred in the work area
        Check(!GetParent(g_dialog) && !GetWindow(g_dialog, GW_OWNER),
              L"the dialog has no parent and no owner");
        Check(Near(Centre(g_dialog), WorkAreaCentre()), L"the dialog is centred in the work area");
    } else if (name == L"text") { // text=ID,TEXT
        const auto parts = Split(value, 2);
        Check(TextOf(Item(Id(parts[0]))) == parts[1],
              L"control " + parts[0] + L" reads \"" + parts[1] + L"\"");
    } else if (name == L"print") { // print=ID: "text ID: TEXT"
        std::printf("text %ls: %ls\n", value.c_str(), TextOf(Item(Id(value))).c_str());
        std::fflush(stdout);
    } else if (name == L"readouts") { // readouts=WAVELENGTH,AMPLITUDE
        const std::wstring w = TextOf(Item(IDC_WAVELENGTH_VALUE)),
                           a = TextOf(Item(IDC_AMPLITUDE_VALUE));
        Check(w == args[0] && a == args[1],
              L"the readouts show " + args[0] + L" and " + args[1] + L" (" + w + L", " + a + L")");
    } else if (name == L"thumbs") { // thumbs=WAVELENGTH,AMPLITUDE
        const auto w = Send(Item(IDC_WAVELENGTH), TBM_GETPOS),
                   a = Send(Item(IDC_AMPLITUDE), TBM_GETPOS);
        Check(w == Int(args[0]) && a == Int(args[1]), L"the thumbs stand at " + args[0] + L" and " +
                                                          args[1] + L" (" + std::to_wstring(w) +
                                                          L", " + std::to_wstring(a) + L")");
    } else if (name == L"ranges") {
        CheckTrackbar(L"wavelength", 70, 120, 10);
        CheckTrackbar(L"amplitude", 100, 250, 20);
    } else if (name == L"focus") { // focus=ID
        Check(Focus() == Item(Id(value)), L"control " + value + L" has the focus");
    } else if (name == L"inside") { // system menu and drag icon
        // Menus belong to their process, and Wine does not carry WM_QUERYDRAGICON
        // across processes: the dialog reader looks from inside.
        CheckFromInside();
    } else if (name == L"sysmenu-last") { // opens the system menu and picks its last entry
        PostMessageW(g_dialog, WM_SYSCOMMAND, SC_KEYMENU, L' ');
        // The keys go to the menu's own loop, which takes them in the order posted.
        const bool open = WaitFor([] { return InMenu(); }, 5000);
        Check(open, L"the system menu opens");
        if (open) {
            PostMessageW(g_dialog, WM_KEYDOWN, VK_END, 0x014F0001);
            PostMessageW(g_dialog, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        }
    } else if (name == L"key") { // key=ID,KEY: a key pressed and released on a control
        HWND control = Item(Id(args[0]));
        const UINT vk = VirtualKey(args[1]);
        Send(control, WM_KEYDOWN, vk, 1);
        Send(control, WM_KEYUP, vk, LPARAM(0xC0000001));
    } else if (name == L"drag") { // drag=ID,POS: the thumb moved there, as while dragging
        HWND bar = Item(Id(args[0]));
        const int pos = Int(args[1]);
        Send(bar, TBM_SETPOS, TRUE, pos);
        Send(g_dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, pos), LPARAM(bar));
    } else if (name == L"click") { // click=ID: the button clicked
        Send(Item(Id(value)), BM_CLICK);
    } else if (name == L"syscmd") { // syscmd=ID: a system command (posted: it may be modal)
        PostMessageW(g_dialog, WM_SYSCOMMAND, WPARAM(Id(value)), 0);
    } else if (name == L"command") { // command=ID
        PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(Id(value), BN_CLICKED), 0);
    } else if (name == L"escape") { // Escape pressed where the focus is
        HWND focus = Focus();
        PostMessageW(focus ? focus : g_dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(focus ? focus : g_dialog, WM_KEYUP, VK_ESCAPE, LPARAM(0xC0010001));
    } else if (name == L"close") { // the close box
        PostMessageW(g_dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (name == L"about") {
        CheckAboutBox();
    } else if (name == L"noabout") { // noabout=ID: system command ID opens no about box
        // Sent, not posted: its answer means the dialog has handled it, and an about box
        // would hold the answer back for as long as it stays open.
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutW(g_dialog, WM_SYSCOMMAND, WPARAM(Id(value)), 0,
                                                  SMTO_ABORTIFHUNG, 5000, &result) != 0;
        Check(answered, L"system command " + value + L" is handled and answered");
        HWND about = FindDialog(L"About Saver");
        Check(!about, L"no about box opens");
        if (about)
            PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        Check(Running() && IsWindow(g_dialog) && IsWindowEnabled(g_dialog),
              L"the settings dialog is still open");
    } else if (name == L"alive") { // the dialog is still open once it handled what came before
        Check(Drained(), L"the dialog handles the messages before this step");
        Check(Running() && IsWindowVisible(g_dialog) && IsWindowEnabled(g_dialog),
              L"the settings dialog is still open");
    } else if (name == L"exits") { // the saver ends, with code 0
        ExpectExit();
    } else if (name == L"waitfile") { // waitfile=PATH,MS
        const auto parts = Split(value, 2);
        const auto& path = parts[0];
        Check(WaitFor([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; },
                      parts.size() > 1 ? DWORD(Int(parts[1])) : 5000),
              path + L" appears");
    } else if (name == L"rect") { // rect=PATH: "x y width height" of the dialog
        RECT r{};
        GetWindowRect(g_dialog, &r);
        if (FILE* f = _wfopen(value.c_str(), L"w")) {
            std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
            std::fclose(f);
        }
    } else {
        Check(false, L"known step " + step);
    }
}

int Run(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: settings_driver run SCR ARGS STEP...\n");
        return 2;
    }
    g_dialog =
        StartSettings(argv[2], argv[3], [](HWND hwnd) { return TextOf(hwnd) != L"About Saver"; });
    if (g_dialog) {
        for (int i = 4; i < argc; ++i)
            RunStep(argv[i]);
    }
    return Finish();
}

int SetHtmlFile(int argc, wchar_t** argv) {
    const LSTATUS removed = RegDeleteTreeW(HKEY_CLASSES_ROOT, kCommandKey);
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
        std::printf("FAIL: cannot remove the command key (%ld)\n", long(removed));
        return 1;
    }
    if (argc < 3)
        return 0;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        std::printf("FAIL: cannot create the command key\n");
        return 1;
    }
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const size_t equals = arg.find(L'=');
        std::wstring name = arg.substr(0, equals);
        const std::wstring data = equals == std::wstring::npos ? L"" : arg.substr(equals + 1);
        LSTATUS status;
        if (name.size() >= 7 && name.compare(name.size() - 7, 7, L":binary") == 0) {
            name.resize(name.size() - 7);
            const std::string bytes(data.begin(), data.end()); // ASCII test data
            status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_BINARY,
                                    reinterpret_cast<const BYTE*>(bytes.c_str()),
                                    DWORD(bytes.size() + 1));
        } else if (name.size() >= 6 && name.compare(name.size() - 6, 6, L":dword") == 0) {
            name.resize(name.size() - 6);
            const DWORD number = DWORD(std::wcstoul(data.c_str(), nullptr, 0));
            status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else {
            status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(data.c_str()),
                                    DWORD((data.size() + 1) * sizeof(wchar_t)));
        }
        if (status != ERROR_SUCCESS) {
            std::printf("FAIL: cannot set value '%ls' (%ld)\n", name.c_str(), long(status));
            ++failures;
        }
    }
    RegCloseKey(key);
    return failures ? 1 : 0;
}

int FirstHtmlFileValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kCommandKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        std::printf("no command key\n");
        return 1;
    }
    wchar_t name[1024] = L"";
    DWORD nameLength = 1024;
    std::vector<BYTE> data(8192, 0);
    DWORD dataLength = DWORD(data.size() - sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS status =
        RegEnumValueW(key, 0, name, &nameLength, nullptr, &type, data.data(), &dataLength);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        std::printf("no value\n");
        return 1;
    }
    std::printf("first: %ls|%ls\n", name,
                type == REG_SZ ? reinterpret_cast<const wchar_t*>(data.data()) : L"");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"run")
        return Run(argc, argv);
    if (command == L"htmlfile")
        return SetHtmlFile(argc, argv);
    if (command == L"htmlfile-first")
        return FirstHtmlFileValue();
    std::printf("usage: settings_driver run|htmlfile|htmlfile-first ...\n");
    return 2;
}
