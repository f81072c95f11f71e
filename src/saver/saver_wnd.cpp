#include "saver/saver_wnd.h"

#include <windowsx.h>

// The input rule keeps the system's numbers without the system's headers.
static_assert(rillo::msg::kKeyDown == WM_KEYDOWN && rillo::msg::kSysKeyDown == WM_SYSKEYDOWN);
static_assert(rillo::msg::kLButtonDown == WM_LBUTTONDOWN &&
              rillo::msg::kMButtonDown == WM_MBUTTONDOWN &&
              rillo::msg::kRButtonDown == WM_RBUTTONDOWN);
static_assert(rillo::kScClose == SC_CLOSE && rillo::kScScreenSave == SC_SCREENSAVE &&
              rillo::kWaInactive == WA_INACTIVE);

CSaverWnd::CSaverWnd(const rillo::SaverSettings& settings) : CWaterWnd(TRUE, settings, false) {}

BOOL CSaverWnd::CreateFullScreen() {
    const RECT rect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return CWaterWnd::Create(WS_EX_TOPMOST, WS_POPUP | WS_VISIBLE, rect, nullptr, 0, nullptr);
}

// Every close request is posted, never sent: the handler finishes first, and requests
// that arrive after the window is gone are dropped by the system.
LRESULT CSaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        if (wParam <= 0xFFFFFFFFu && rillo::CInputRule::SwallowsSysCommand(unsigned(wParam)))
            return 0;
        return Default();
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return Default();
    case WM_SETCURSOR:
        ::SetCursor(nullptr);
        return TRUE;
    case WM_NCACTIVATE:
        if (rillo::CInputRule::RefusesNcActivate(wParam != 0))
            return FALSE;
        return Default();
    case WM_ACTIVATE:
        if (rillo::CInputRule::ClosesOnActivate(LOWORD(wParam)))
            CloseSoon();
        return Default();
    case WM_ACTIVATEAPP:
        if (rillo::CInputRule::ClosesOnActivateApp(wParam != 0))
            CloseSoon();
        return Default();
    case WM_MOUSEMOVE:
        if (m_input.OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)))
            CloseSoon();
        return Default();
    default:
        // Key and button presses.
        if (rillo::CInputRule::ClosesOnMessage(message)) {
            CloseSoon();
            return Default();
        }
        return CWaterWnd::WindowProc(message, wParam, lParam);
    }
}
