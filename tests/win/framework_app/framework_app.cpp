// Start-up and shut-down checks run from framework_app_test.cpp. The first argument
// picks a scenario; the exit code tells the outcome.
#include "framework/dc.h"
#include "framework/dialog.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
#include "res/resource.h"

#include <cwchar>
#include <string>

namespace {

bool g_painted = false;

class CTestWnd : public CWnd {
  public:
    explicit CTestWnd(int quitCode) : m_quitCode(quitCode) {}
    ~CTestWnd() override {
        // The framework forgets its main window before the object goes.
        if (GetCurrentApp()->m_pMainWnd == this)
            ::ExitProcess(21);
    }

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

class CClosingDlg : public CDialog {
  public:
    CClosingDlg() : CDialog(IDD_ABOUTBOX) {}

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
        if (message == WM_DESTROY && !g_painted)
            ::ExitProcess(51);
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
        if (mode == L"args" || mode == L"dialog") {
            ExitIfNonzero(mode == L"args" ? CheckArgs() : RunDialog());
            return FALSE;
        }
        if (mode == L"child" && m_argc > 2) {
            CWnd parent;
            parent.m_hWnd = reinterpret_cast<HWND>(INT_PTR(std::wcstoll(m_argv[2], nullptr, 10)));
            static const wchar_t kChildClass[] = L"RilloFrameworkAppChild";
            CWnd::RegisterClass(kChildClass, 0, nullptr, nullptr, nullptr);
            RECT rc{};
            parent.GetClientRect(&rc);
            auto* wnd = new CRedChild;
            if (!wnd->CreateEx(0, kChildClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, rc.right,
                               rc.bottom, parent.m_hWnd, nullptr)) {
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
        ExitIfNonzero(99);
        return FALSE;
    }

  private:
    static void ExitIfNonzero(int code) {
        if (code)
            ::ExitProcess(UINT(code));
    }

    int CheckArgs() const {
        const std::wstring exe = m_argv[0];
        const std::wstring suffix = L"framework_app.exe";
        if (m_argc != 4 || m_argv[4] != nullptr)
            return 31;
        if (exe.size() < suffix.size() ||
            exe.compare(exe.size() - suffix.size(), suffix.size(), suffix) != 0)
            return 32;
        if (std::wstring(m_argv[2]) != L"two words" || std::wstring(m_argv[3]) != L"x\"y")
            return 33;
        if (m_strAppName != L"framework_app")
            return 34;
        return 0;
    }

    int RunDialog() {
        CClosingDlg dlg;
        m_pMainWnd = &dlg;
        const INT_PTR result = dlg.DoModal();
        MSG msg;
        if (result != IDCANCEL)
            return 41;
        if (m_pMainWnd != nullptr)
            return 42;
        if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
            return 43; // a modal dialog must not end a loop that never ran
        return 0;
    }
};

CTestApp theApp;

} // namespace
