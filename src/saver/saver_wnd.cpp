#include "saver/saver_wnd.h"

#include <windowsx.h>

CSaverWnd::CSaverWnd() : CWaterWnd(TRUE) {}

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
