#include "saver/saver_wnd.h"

#include "saver/full_screen_saver.h"

#include <windowsx.h>
#include <wtsapi32.h>

#include <cstring>

// The input rule keeps the system's numbers without the system's headers.
static_assert(rillo::msg::kKeyDown == WM_KEYDOWN && rillo::msg::kSysKeyDown == WM_SYSKEYDOWN);
static_assert(rillo::msg::kLButtonDown == WM_LBUTTONDOWN &&
              rillo::msg::kMButtonDown == WM_MBUTTONDOWN &&
              rillo::msg::kRButtonDown == WM_RBUTTONDOWN);
static_assert(rillo::kScClose == SC_CLOSE && rillo::kScScreenSave == SC_SCREENSAVE &&
              rillo::kWaInactive == WA_INACTIVE);
static_assert(rillo::wts::kSessionLock == WTS_SESSION_LOCK &&
              rillo::wts::kSessionUnlock == WTS_SESSION_UNLOCK &&
              rillo::wts::kConsoleDisconnect == WTS_CONSOLE_DISCONNECT &&
              rillo::wts::kRemoteConnect == WTS_REMOTE_CONNECT);

namespace {

// GUID_CONSOLE_DISPLAY_STATE: the console's display going off, on or dim.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

} // namespace

CSaverWnd::CSaverWnd(const rillo::SaverSettings& settings, const rillo::SaverScreen& screen,
                     DesktopCapture capture, CFullScreenSaver& saver)
    : CWaterWnd(settings, screen, std::move(capture)), m_saver(saver) {
    // The primary window's timer rains on every monitor.
    m_bTimer = screen.bPrimary;
}

BOOL CSaverWnd::CreateFullScreen(CSaverWnd* owner) {
    const RECT rect{m_screen.rect.left, m_screen.rect.top, m_screen.rect.right,
                    m_screen.rect.bottom};
    if (!owner)
        return CWaterWnd::Create(WS_EX_TOPMOST, WS_POPUP | WS_VISIBLE, rect, nullptr, 0, nullptr);
    // The other monitors' windows belong to the primary one, so they go with it, and
    // appear without taking activation from it.
    if (!CWaterWnd::Create(WS_EX_TOPMOST, WS_POPUP, rect, owner, 0, nullptr))
        return FALSE;
    ::ShowWindow(m_hWnd, SW_SHOWNA);
    return TRUE;
}

void CSaverWnd::OnCreated() {
    if (!IsPrimary())
        return;
    // Told when the display turns off and when the session is locked or left.
    m_hPowerNotify = ::RegisterPowerSettingNotification(m_hWnd, &kConsoleDisplayState,
                                                        DEVICE_NOTIFY_WINDOW_HANDLE);
    m_bSessionNotify = ::WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

void CSaverWnd::OnDestroy() {
    if (m_hPowerNotify)
        ::UnregisterPowerSettingNotification(m_hPowerNotify);
    m_hPowerNotify = nullptr;
    if (m_bSessionNotify)
        ::WTSUnRegisterSessionNotification(m_hWnd);
    m_bSessionNotify = false;
    if (IsPrimary())
        ::PostQuitMessage(0);
}

void CSaverWnd::OnVisibilityChanged() {
    if (!IsPrimary())
        return;
    if (m_saver.Visibility().IsSeen())
        SetTimer(kTimerId, kTickMilliseconds);
    else
        ::KillTimer(m_hWnd, kTimerId);
}

// Every close request is posted, never sent: the handler finishes first, and requests
// that arrive after the windows are gone are dropped by the system.
LRESULT CSaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const LRESULT result = CWaterWnd::WindowProc(message, wParam, lParam);
        if (result != -1)
            OnCreated();
        return result;
    }
    case WM_TIMER:
        m_saver.Tick();
        return Default();
    case WM_SYSCOMMAND:
        if (wParam <= 0xFFFFFFFFu && rillo::CInputRule::SwallowsSysCommand(unsigned(wParam)))
            return 0;
        return Default();
    case WM_CLOSE:
        // Whichever window is asked, the saver closes as a whole.
        if (!IsPrimary()) {
            m_saver.CloseSoon();
            return 0;
        }
        return Default();
    case WM_DESTROY:
        OnDestroy();
        return Default();
    case WM_SETCURSOR:
        ::SetCursor(nullptr);
        return TRUE;
    case WM_NCACTIVATE:
        if (rillo::CInputRule::RefusesNcActivate(wParam != 0))
            return FALSE;
        return Default();
    case WM_ACTIVATE:
        // Activation passing to another of the saver's windows is no reason to go.
        if (rillo::CInputRule::ClosesOnActivate(LOWORD(wParam)) &&
            !m_saver.IsSaverWindow(reinterpret_cast<HWND>(lParam)))
            m_saver.CloseSoon();
        return Default();
    case WM_ACTIVATEAPP:
        if (rillo::CInputRule::ClosesOnActivateApp(wParam != 0))
            m_saver.CloseSoon();
        return Default();
    case WM_MOUSEMOVE: {
        // One rule for every monitor: the window's own coordinates made the screen's.
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(m_hWnd, &pt);
        if (m_saver.OnMouseMove(pt.x, pt.y))
            m_saver.CloseSoon();
        return Default();
    }
    case WM_DISPLAYCHANGE:
        // A monitor came, went or changed size: the windows no longer fit the screens.
        m_saver.CloseSoon();
        return Default();
    case WM_POWERBROADCAST:
        if (wParam == PBT_POWERSETTINGCHANGE && lParam) {
            const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
            if (IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) &&
                setting->DataLength >= sizeof(DWORD)) {
                DWORD state = 0;
                std::memcpy(&state, setting->Data, sizeof state);
                m_saver.Visibility().OnDisplayState(state);
                OnVisibilityChanged();
            }
            return TRUE;
        }
        return Default();
    case WM_WTSSESSION_CHANGE:
        m_saver.Visibility().OnSessionChange(unsigned(wParam));
        OnVisibilityChanged();
        return Default();
    default:
        // Key and button presses.
        if (rillo::CInputRule::ClosesOnMessage(message)) {
            m_saver.CloseSoon();
            return Default();
        }
        return CWaterWnd::WindowProc(message, wParam, lParam);
    }
}

void CSaverWnd::PostNcDestroy() {
    m_saver.OnWindowDestroyed(this);
    CWaterWnd::PostNcDestroy(); // deletes the object
}
