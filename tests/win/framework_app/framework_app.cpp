// Start-up and shut-down checks run from framework_app_test.cpp. The first argument
// picks a scenario; the exit code tells the outcome.
#include "framework/dc.h"
#include "framework/dialog.h"
#include "framework/win_app.h"
#include "framework/wnd.h"

#include <cwchar>
#include <string>

namespace {

bool g_windowDeleted = false;
bool g_painted = false;

class CTestWnd : public CWnd {
  public:
    explicit CTestWnd(int quitCode) : m_quitCode(quitCode) {}
    ~CTestWnd() override { g_windowDeleted = true; }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE) {
            if (m_quitCode >= 0)
                ::PostQuitMessage(m_quitCode);
            else
                PostMessage(WM_CLOSE);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override { delete this; }

  private:
    int m_quitCode;
};

// A dialog template in memory: caption only, no controls.
struct EmptyTemplate {
    DLGTEMPLATE dlg;
    WORD menu, windowClass, title;
};

class CClosingDlg : public CDialog {
  public:
    CClosingDlg(const DLGTEMPLATE* t) : CDialog(t) {}

  protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        PostMessage(WM_COMMAND, IDCANCEL);
        return TRUE;
    }
};

// A child of another process's window that paints itself, as a preview does.
class CRedChild : public CWnd {
  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_PAINT) {
            g_painted = true;
            CPaintDC dc(this);
            RECT rc;
            GetClientRect(&rc);
            dc.FillSolidRect(rc, RGB(255, 0, 0));
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override { delete this; }
};

class CTestApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        const std::wstring mode = m_argc > 1 ? m_argv[1] : L"";
        if (mode == L"false")
            return FALSE;
        if (mode == L"nowindow")
            return TRUE;
        if (mode == L"args")
            return CheckArgs();
        if (mode == L"dialog")
            return RunDialog();
        if (mode == L"child" && m_argc > 2) {
            HWND parent = reinterpret_cast<HWND>(INT_PTR(std::wcstoll(m_argv[2], nullptr, 10)));
            static const wchar_t kChildClass[] = L"RilloFrameworkAppChild";
            CWnd::RegisterClass(kChildClass, 0, nullptr, nullptr, nullptr);
            RECT rc{};
            CWnd::FromHandle(parent)->GetClientRect(&rc);
            auto* wnd = new CRedChild;
            if (!wnd->CreateEx(0, kChildClass, L"", WS_CHILD | WS_VISIBLE, rc,
                               CWnd::FromHandle(parent), 0)) {
                delete wnd;
                return FALSE;
            }
            m_pMainWnd = wnd;
            return TRUE;
        }
        if (mode == L"quit7" || mode == L"close") {
            static const wchar_t kClass[] = L"RilloFrameworkAppTest";
            CWnd::RegisterClass(kClass, 0, nullptr, nullptr, nullptr);
            auto* wnd = new CTestWnd(mode == L"quit7" ? 7 : -1);
            m_pMainWnd = wnd;
            wnd->CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
            return TRUE;
        }
        m_result = 99;
        return FALSE;
    }

    int ExitInstance() override {
        if (m_result)
            return m_result;
        if (m_argc > 1 && std::wstring(m_argv[1]) == L"child" && !g_painted)
            return 51;
        if (m_argc > 1 && std::wstring(m_argv[1]) == L"close")
            return m_pMainWnd == nullptr && g_windowDeleted ? CWinApp::ExitInstance() : 21;
        return CWinApp::ExitInstance();
    }

  private:
    BOOL CheckArgs() {
        const std::wstring exe = m_argv[0];
        const std::wstring suffix = L"framework_app.exe";
        if (m_argc != 4 || m_argv[4] != nullptr)
            m_result = 31;
        else if (exe.size() < suffix.size() ||
                 exe.compare(exe.size() - suffix.size(), suffix.size(), suffix) != 0)
            m_result = 32;
        else if (std::wstring(m_argv[2]) != L"two words" || std::wstring(m_argv[3]) != L"x\"y")
            m_result = 33;
        else if (std::wstring(m_pszAppName) != L"framework_app")
            m_result = 34;
        else if (m_hInstance != ::GetModuleHandleW(nullptr))
            m_result = 35;
        return FALSE;
    }

    BOOL RunDialog() {
        static const EmptyTemplate t = {
            {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, 100, 50}, 0, 0, 0};
        CClosingDlg dlg(&t.dlg);
        m_pMainWnd = &dlg;
        const INT_PTR result = dlg.DoModal();
        MSG msg;
        if (result != IDCANCEL)
            m_result = 41;
        else if (m_pMainWnd != nullptr)
            m_result = 42;
        else if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
            m_result = 43; // a modal dialog must not end a loop that never ran
        return FALSE;
    }

    int m_result = 0;
};

CTestApp theApp;

} // namespace
