// The application object's members and the start-up sequence. The constructor and
// the entry point live in app_entry.cpp, so that only a program that has an
// application object gets our WinMain.
#include "framework/win_app.h"

#include "framework/command_line.h"
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
    CWinApp* app = GetCurrentApp();
    return app && app->m_hInstance ? app->m_hInstance : ::GetModuleHandleW(nullptr);
}

CWinApp::~CWinApp() {
    if (rillo::detail::g_app == this)
        rillo::detail::g_app = nullptr;
}

void CWinApp::InitApplication(HINSTANCE instance, const std::wstring& commandLine) {
    m_hInstance = instance;
    m_args = rillo::SplitCommandLine(commandLine);
    m_argvStorage.clear();
    for (auto& arg : m_args)
        m_argvStorage.push_back(arg.data());
    m_argvStorage.push_back(nullptr);
    m_argc = static_cast<int>(m_args.size());
    m_argv = m_argvStorage.data();
    if (m_strAppName.empty()) {
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD n = ::GetModuleFileNameW(instance, path, MAX_PATH);
        m_strAppName = rillo::AppNameFromPath(std::wstring(path, n <= MAX_PATH ? n : 0));
    }
    m_pszAppName = m_strAppName.c_str();
}

void CWinApp::SetRegistryKey(LPCWSTR key) {
    m_strRegistryKey = key ? key : L"";
    m_pszRegistryKey = key ? m_strRegistryKey.c_str() : nullptr;
}

rillo::UniqueRegKey CWinApp::GetSectionKey(LPCWSTR section) {
    if (!m_pszRegistryKey || !*m_pszRegistryKey || m_strAppName.empty() || !section || !*section)
        return {};
    const std::wstring path =
        L"Software\\" + m_strRegistryKey + L"\\" + m_strAppName + L"\\" + section;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return {};
    return rillo::UniqueRegKey(key);
}

UINT CWinApp::GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue) {
    rillo::UniqueRegKey key = GetSectionKey(section);
    if (!key || !entry)
        return static_cast<UINT>(defaultValue);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return static_cast<UINT>(defaultValue);
    return value;
}

int CWinApp::Run() {
    MSG msg{};
    for (;;) {
        CWnd::DeleteTemporaryWrappers();
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            m_nExitCode = -1;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int WinAppMain(HINSTANCE instance, const std::wstring& commandLine) {
    CWinApp* app = GetCurrentApp();
    if (!app)
        return -1;
    int code = 0;
    try {
        app->InitApplication(instance, commandLine);
        if (!app->InitInstance()) {
            if (CWnd* main = app->m_pMainWnd; main && main->m_hWnd)
                main->DestroyWindow();
            code = app->ExitInstance();
        } else if (!app->m_pMainWnd || !::IsWindow(app->m_pMainWnd->m_hWnd)) {
            // Without a main window nothing could ever end the message loop.
            code = app->ExitInstance();
        } else {
            code = app->Run();
        }
    } catch (...) {
        code = -1;
    }
    CWnd::DeleteTemporaryWrappers();
    return code;
}
