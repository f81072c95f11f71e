// Loaded into rillo.scr by a message hook of the driver, to read what only the
// process itself can read: the system menu of its settings dialog. On the registered
// message "RilloReadDialog" it writes the menu's last two entries, and the size of
// the icon the dialog answers WM_QUERYDRAGICON with, to a file beside this DLL, named
// after it (dialog_reader.dll -> dialog_reader.txt).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HINSTANCE g_module = nullptr;

std::wstring ResultPath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring result(path, n < MAX_PATH ? n : 0);
    const auto dot = result.find_last_of(L'.');
    return (dot == std::wstring::npos ? result : result.substr(0, dot)) + L".txt";
}

// "count N", then per entry from the second-last on: "separator" or "item ID TEXT";
// then "dragicon WxH", or "dragicon none".
void WriteDialog(HWND hwnd) {
    FILE* out = _wfopen(ResultPath().c_str(), L"w, ccs=UTF-8");
    if (!out)
        return;
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    const int count = menu ? GetMenuItemCount(menu) : -1;
    std::fwprintf(out, L"count %d\n", count);
    for (int i = count >= 2 ? count - 2 : 0; i < count; ++i) {
        MENUITEMINFOW info{};
        wchar_t text[256] = L"";
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 256;
        GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR)
            std::fwprintf(out, L"separator\n");
        else
            std::fwprintf(out, L"item %u %ls\n", info.wID, text);
    }
    ICONINFO icon{};
    BITMAP mask{};
    const auto dragIcon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_QUERYDRAGICON, 0, 0));
    if (dragIcon && GetIconInfo(dragIcon, &icon)) {
        GetObjectW(icon.hbmMask, sizeof mask, &mask);
        // A monochrome icon keeps its two masks stacked in one bitmap.
        std::fwprintf(out, L"dragicon %ldx%ld\n", mask.bmWidth,
                      icon.hbmColor ? mask.bmHeight : mask.bmHeight / 2);
        DeleteObject(icon.hbmMask);
        if (icon.hbmColor)
            DeleteObject(icon.hbmColor);
    } else {
        std::fwprintf(out, L"dragicon none\n");
    }
    std::fclose(out);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ReadDialogHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT read = RegisterWindowMessageW(L"RilloReadDialog");
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (message->message == read)
            WriteDialog(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}
