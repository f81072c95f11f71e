#include "framework/wnd.h"

#include "framework/win_app.h"

namespace {

// The message being handled on this thread, for Default().
struct CurrentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
thread_local CurrentMessage t_current;

// The object whose window CreateEx is creating on this thread; bound at the
// window's first message (WM_GETMINMAXINFO comes before WM_NCCREATE).
thread_local CWnd* t_creating = nullptr;

CWnd* BoundObject(HWND hwnd) noexcept {
    return reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

} // namespace

CWnd::~CWnd() {
    // A window that outlives its object would call into freed memory: unbind first.
    if (HWND hwnd = m_hWnd; hwnd && FromHandleBound(hwnd) == this) {
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

void CWnd::Bind(HWND hwnd) noexcept {
    m_hWnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::Unbind() noexcept {
    if (m_hWnd) {
        if (m_pfnOldProc)
            ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnOldProc));
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    }
    m_pfnOldProc = nullptr;
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
    CWnd* const outer = t_creating;
    t_creating = this;
    HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, x, y, width, height,
                                  parent, idOrMenu, GetAppInstance(), nullptr);
    const bool unbound = t_creating == this;
    t_creating = outer;
    if (hwnd && unbound)
        SubclassWindow(hwnd); // a class whose procedure is not ours
    return hwnd != nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd) noexcept {
    if (m_hWnd || !hwnd || !::IsWindow(hwnd) || FromHandleBound(hwnd))
        return FALSE;
    Bind(hwnd);
    ::SetLastError(0);
    const LONG_PTR old =
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WndProc));
    if (!old && ::GetLastError() != 0) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        return FALSE;
    }
    m_pfnOldProc = reinterpret_cast<WNDPROC>(old);
    return TRUE;
}

CWnd* CWnd::FromHandleBound(HWND hwnd) noexcept {
    // Only our procedure gives GWLP_USERDATA this meaning.
    if (!hwnd ||
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) != &CWnd::WndProc)
        return nullptr;
    return BoundObject(hwnd);
}

LRESULT CALLBACK CWnd::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    CWnd* wnd = BoundObject(hwnd);
    if (!wnd) {
        wnd = t_creating;
        if (!wnd)
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        t_creating = nullptr;
        wnd->Bind(hwnd);
    }

    const CurrentMessage saved = t_current;
    t_current = CurrentMessage{hwnd, message, wParam, lParam};
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into Windows; a failed creation message fails the window.
        result = message == WM_CREATE ? -1 : 0;
    }
    t_current = saved;
    if (message == WM_NCDESTROY) {
        wnd->Unbind();
        try {
            wnd->PostNcDestroy(); // may delete the object
        } catch (...) {
        }
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default() {
    if (!m_hWnd || t_current.hwnd != m_hWnd)
        return 0;
    return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnOldProc)
        return ::CallWindowProcW(m_pfnOldProc, m_hWnd, message, wParam, lParam);
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
