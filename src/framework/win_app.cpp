// The application object's members and the start-up sequence. The constructor and
// the entry point live in app_entry.cpp, so that only a program that has an
// application object gets our WinMain.
#include "framework/win_app.h"

#include "framework/command_line.h"
#include "framework/unique_handle.h"
#include "framework/wnd.h"

namespace rillo::detail {
// Set by the application object's constructor; constant-initialised, so it is null
// before any static constructor runs.
CWinApp* g_app = nullptr;
} // namespace rillo::detail

CWinApp* GetCurrentApp() noexcept {
    return rillo::detail::g_app;
}

HINSTANCE GetAppInstance() noexcept {
    return ::GetModuleHandleW(nullptr);
}

CWinApp::~CWinApp() {
    if (rillo::detail::g_app == this)
        rillo::detail::g_app = nullptr;
}

void CWinApp::InitApplication(const std::wstring& commandLine) {
    m_args = rillo::SplitCommandLine(commandLine);
    m_argvStorage.clear();
    for (auto& arg : m_args)
        m_argvStorage.push_back(arg.data());
    m_argvStorage.push_back(nullptr);
    m_argc = static_cast<int>(m_args.size());
    m_argv = m_argvStorage.data();
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    m_strAppName = rillo::AppNameFromPath(std::wstring(path, n <= MAX_PATH ? n : 0));
}

void CWinApp::SetRegistryKey(LPCWSTR key) {
    m_strRegistryKey = key ? key : L"";
}

UINT CWinApp::GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue) {
    const UINT fallback = static_cast<UINT>(defaultValue);
    if (m_strRegistryKey.empty() || m_strAppName.empty() || !section || !*section || !entry)
        return fallback;
    const std::wstring path =
        L"Software\\" + m_strRegistryKey + L"\\" + m_strAppName + L"\\" + section;
    HKEY created = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ, nullptr, &created, nullptr) != ERROR_SUCCESS)
        return fallback;
    const rillo::UniqueRegKey key(created);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return fallback;
    return value;
}

std::wstring CWinApp::GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue) {
    const std::wstring fallback = defaultValue ? defaultValue : L"";
    if (m_strRegistryKey.empty() || m_strAppName.empty() || !section || !*section || !entry)
        return fallback;
    const std::wstring path =
        L"Software\\" + m_strRegistryKey + L"\\" + m_strAppName + L"\\" + section;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return fallback;
    const rillo::UniqueRegKey key(opened);
    // A value may change size between the two reads: ask again, a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return fallback;
        std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = DWORD(value.size() * sizeof(wchar_t));
        const LONG result = ::RegQueryValueExW(key.get(), entry, nullptr, &type,
                                               reinterpret_cast<BYTE*>(value.data()), &got);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            return fallback;
        value.resize(got / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0')
            value.pop_back();
        return value;
    }
    return fallback;
}

int WinAppMain(const std::wstring& commandLine) {
    CWinApp* app = GetCurrentApp();
    if (!app)
        return -1;
    try {
        app->InitApplication(commandLine);
        if (!app->InitInstance()) {
            if (CWnd* main = app->m_pMainWnd; main && main->m_hWnd)
                ::DestroyWindow(main->m_hWnd);
            return 0;
        }
        // Without a main window nothing could ever end the message loop.
        if (!app->m_pMainWnd || !::IsWindow(app->m_pMainWnd->m_hWnd))
            return 0;
        MSG msg{};
        BOOL got;
        while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        return got == 0 ? static_cast<int>(msg.wParam) : -1;
    } catch (...) {
        return -1;
    }
}
