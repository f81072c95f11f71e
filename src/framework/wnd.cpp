#include "framework/wnd.h"

#include "framework/win_app.h"

CWnd::~CWnd() {
    // A window that outlives its object would call into freed memory: unbind first.
    if (HWND hwnd = m_hWnd; hwnd && m_bBound) {
        Unbind();
        ::DestroyWindow(hwnd);
    }
    m_hWnd = nullptr;
}

BOOL CWnd::RegisterClass(LPCWSTR className, UINT classStyle, HCURSOR cursor, HBRUSH background,
                         HICON icon) noexcept {
    if (!className)
        return FALSE;
    const HINSTANCE instance = GetAppInstance();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(instance, className, &wc))
        return wc.lpfnWndProc == &CWnd::WndProc;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::WndProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) != 0;
}

CWnd* CWnd::BoundObject(HWND hwnd) noexcept {
    return reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void CWnd::Bind(HWND hwnd) noexcept {
    m_hWnd = hwnd;
    m_bBound = true;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::Unbind() noexcept {
    if (m_hWnd && m_bBound)
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    m_bBound = false;
    m_hWnd = nullptr;
    if (CWinApp* app = GetCurrentApp(); app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        if (QuitsWhenMainWindowDestroyed())
            ::PostQuitMessage(0);
    }
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU idOrMenu) noexcept {
    if (m_hWnd)
        return FALSE;
    HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                  parent, idOrMenu, GetAppInstance(), this);
    // A failed creation may have deleted this object (see PostNcDestroy).
    if (!hwnd)
        return FALSE;
    if (m_hWnd != hwnd) { // a class whose procedure is not ours never bound the object
        ::DestroyWindow(hwnd);
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK CWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (auto* wnd = static_cast<CWnd*>(create->lpCreateParams); wnd && !wnd->m_hWnd)
            wnd->Bind(hwnd);
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find no object yet.
    if (CWnd* wnd = BoundObject(hwnd))
        return wnd->Dispatch(message, wParam, lParam, nullptr);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam,
                       bool* leftToDialogManager) noexcept {
    const Message outer = m_current;
    m_current = Message{message, wParam, lParam, leftToDialogManager};
    ++m_nDepth;
    LRESULT result = 0;
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into Windows; a failed creation message fails the window.
        result = message == WM_CREATE ? -1 : 0;
    }
    m_current = outer;
    if (message == WM_NCDESTROY) {
        Unbind();
        m_bPostNcDestroyDue = true;
    }
    // A window destroyed from inside one of its own handlers: the object lives until
    // that handler has returned.
    if (--m_nDepth == 0 && m_bPostNcDestroyDue) {
        m_bPostNcDestroyDue = false;
        try {
            PostNcDestroy(); // may delete the object
        } catch (...) {
        }
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default() {
    if (!m_hWnd || m_nDepth == 0)
        return 0;
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd)
        return 0;
    if (m_current.leftToDialogManager) {
        *m_current.leftToDialogManager = true;
        return 0;
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return m_hWnd ? ::PostMessageW(m_hWnd, message, wParam, lParam) : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return m_hWnd ? ::SendMessageW(m_hWnd, message, wParam, lParam) : 0;
}

void CWnd::GetClientRect(LPRECT rect) const noexcept {
    if (rect && (!m_hWnd || !::GetClientRect(m_hWnd, rect)))
        *rect = RECT{};
}

void CWnd::SetWindowText(LPCWSTR text) noexcept {
    if (m_hWnd)
        ::SetWindowTextW(m_hWnd, text ? text : L"");
}

HWND CWnd::GetDlgItemHwnd(int id) const noexcept {
    return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr;
}

HMENU CWnd::GetSystemMenu(BOOL revert) const noexcept {
    return m_hWnd ? ::GetSystemMenu(m_hWnd, revert) : nullptr;
}

BOOL CWnd::IsIconic() const noexcept {
    return m_hWnd ? ::IsIconic(m_hWnd) : FALSE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse) noexcept {
    return m_hWnd ? ::SetTimer(m_hWnd, id, elapse, nullptr) : 0;
}

void CWnd::CenterWindow() noexcept {
    if (!m_hWnd)
        return;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    HWND monitorOf = m_hWnd;
    if (CWinApp* app = GetCurrentApp(); app && app->m_pMainWnd && app->m_pMainWnd->m_hWnd)
        monitorOf = app->m_pMainWnd->m_hWnd;
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : monitorOf, MONITOR_DEFAULTTONEAREST),
                      &mi);
    const RECT& bounds = mi.rcWork; // where the window must stay
    RECT area = bounds;             // where to centre
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    RECT self{};
    ::GetWindowRect(m_hWnd, &self);
    const int w = self.right - self.left;
    const int h = self.bottom - self.top;
    int x = (area.left + area.right - w) / 2;
    int y = (area.top + area.bottom - h) / 2;
    if (x + w > bounds.right)
        x = bounds.right - w;
    if (x < bounds.left)
        x = bounds.left;
    if (y + h > bounds.bottom)
        y = bounds.bottom - h;
    if (y < bounds.top)
        y = bounds.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
