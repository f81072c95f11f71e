// What the programs that work rillo.scr's dialogs from outside share: the saver
// process they started, the checks they print, messages that cannot hang them, and
// the search for the saver's dialogs. Each program is one source file.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

inline int g_failures = 0;
inline PROCESS_INFORMATION g_process{};

inline void Check(bool ok, const std::wstring& what) {
    std::printf("%s: %ls\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

// A message to a window of the saver; a hung saver fails the step instead of the test.
inline LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        Check(false, L"message " + std::to_wstring(message) + L" answered in time");
    return LRESULT(result);
}

inline std::wstring TextOf(HWND hwnd) {
    const auto length = Send(hwnd, WM_GETTEXTLENGTH);
    std::vector<wchar_t> buffer(size_t(length > 0 ? length : 0) + 1, L'\0');
    Send(hwnd, WM_GETTEXT, buffer.size(), LPARAM(buffer.data()));
    return buffer.data();
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = L"";
    GetClassNameW(hwnd, name, 64);
    return name;
}

// A window of our own must answer while we wait: the saver's dialog manager sends
// to the window that owns its dialog.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Waits for the condition, looking again every 50 ms or sooner when a message comes.
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

inline bool Running() {
    return WaitForSingleObject(g_process.hProcess, 0) == WAIT_TIMEOUT;
}

struct DialogSearch {
    DWORD pid;
    const std::function<bool(HWND)>* accept;
    HWND found;
};

inline BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid || !IsWindowVisible(hwnd) || ClassOf(hwnd) != L"#32770" ||
        !(*s->accept)(hwnd))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

// A visible top-level dialog of the saver that `accept` takes.
inline HWND FindSaverDialog(const std::function<bool(HWND)>& accept) {
    DialogSearch search{g_process.dwProcessId, &accept, nullptr};
    EnumWindows(MatchDialog, LPARAM(&search));
    return search.found;
}

inline POINT Centre(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline POINT WorkAreaCentre() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {(work.left + work.right) / 2, (work.top + work.bottom) / 2};
}

inline bool Near(POINT a, POINT b) {
    return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1;
}

// Starts "SCR" ARGS (ARGS may be empty) and waits for its settings dialog, the first
// dialog of the saver that `isSettings` takes.
inline HWND StartSettings(const std::wstring& scr, const std::wstring& args,
                          const std::function<bool(HWND)>& isSettings) {
    std::wstring line = L"\"" + scr + L"\"";
    if (!args.empty())
        line += L" " + args;
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
    WaitFor([&] { return (dialog = FindSaverDialog(isSettings)) != nullptr || !Running(); }, 20000);
    Check(dialog != nullptr, L"'" + args + L"' shows the settings dialog");
    return dialog;
}

// The saver ends with code 0 (after Quit or a good Save).
inline void ExpectExit() {
    const bool ended = WaitFor([] { return !Running(); }, 10000);
    DWORD code = 1;
    GetExitCodeProcess(g_process.hProcess, &code);
    Check(ended && code == 0, L"the saver ends with code 0");
}

// The exit code of the program: 0 when every check held. A saver still running at
// the end is a failure, and is ended.
inline int Finish() {
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
