#include "saver/saver_wnd.h"

#include <dwmapi.h>
#include <versionhelpers.h>
#include <windowsx.h>
#include <wtsapi32.h>

#include <cstddef>
#include <cstring>

static_assert(rillo::wts::kSessionLock == WTS_SESSION_LOCK &&
              rillo::wts::kSessionUnlock == WTS_SESSION_UNLOCK &&
              rillo::wts::kConsoleDisconnect == WTS_CONSOLE_DISCONNECT &&
              rillo::wts::kRemoteConnect == WTS_REMOTE_CONNECT);

namespace {

// GUID_CONSOLE_DISPLAY_STATE: the console's display going off, on or dim.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// WTSSessionInfoEx's answer, which the MinGW headers lack: WTSINFOEXW at level 1.
constexpr WTS_INFO_CLASS kWtsSessionInfoEx = WTS_INFO_CLASS(25);
struct WtsInfoExLevel1 {
    ULONG SessionId;
    WTS_CONNECTSTATE_CLASS SessionState;
    LONG SessionFlags;
    WCHAR WinStationName[33];
    WCHAR UserName[21];
    WCHAR DomainName[18];
    LARGE_INTEGER LogonTime;
    LARGE_INTEGER ConnectTime;
    LARGE_INTEGER DisconnectTime;
    LARGE_INTEGER LastInputTime;
    LARGE_INTEGER CurrentTime;
    DWORD IncomingBytes;
    DWORD OutgoingBytes;
    DWORD IncomingFrames;
    DWORD OutgoingFrames;
    DWORD IncomingCompressedBytes;
    DWORD OutgoingCompressedBytes;
};
struct WtsInfoEx {
    DWORD Level;
    union {
        WtsInfoExLevel1 WTSInfoExLevel1;
    } Data;
};

// Whether the session is locked or disconnected now. Where the system cannot say
// (older systems, some emulations), it is taken to be at the console, unlocked.
bool SessionIsAwayNow() {
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION,
                                       kWtsSessionInfoEx, &buffer, &bytes) ||
        !buffer)
        return false;
    bool away = false;
    const auto* info = reinterpret_cast<const WtsInfoEx*>(buffer);
    if (bytes >= offsetof(WtsInfoEx, Data) + offsetof(WtsInfoExLevel1, WinStationName) &&
        info->Level == 1) {
        const WtsInfoExLevel1& level1 = info->Data.WTSInfoExLevel1;
        away = rillo::SessionIsAway(int(level1.SessionState), std::int32_t(level1.SessionFlags),
                                    !::IsWindows8OrGreater());
    }
    ::WTSFreeMemory(buffer);
    return away;
}

} // namespace

CSaverWnd::CSaverWnd(const rillo::SaverSettings& settings, const rillo::SaverScreen& screen,
                     DesktopCapture capture, ISaverWndHost& host)
    : CWaterWnd(settings, screen, std::move(capture)), m_host(host) {
    // The primary window's timer rains on every monitor.
    m_bTimer = screen.bPrimary;
}

CSaverWnd::~CSaverWnd() {
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

BOOL CSaverWnd::CreateFullScreen(CSaverWnd* owner) {
    const RECT rect{m_screen.rect.left, m_screen.rect.top, m_screen.rect.right,
                    m_screen.rect.bottom};
    // The other monitors' windows belong to the primary one, so they go with it.
    return CWaterWnd::Create(WS_EX_TOPMOST, WS_POPUP, rect, owner, 0, nullptr);
}

bool CSaverWnd::Cloak(bool bCloak) {
    // A cloaked window is shown and painted but not composed onto the screen. Without
    // composition (or before Windows 8) the call fails and nothing changes.
    const BOOL cloak = bCloak ? TRUE : FALSE;
    return m_hWnd && SUCCEEDED(::DwmSetWindowAttribute(m_hWnd, DWMWA_CLOAK, &cloak, sizeof cloak));
}

void CSaverWnd::ShowPainted() {
    if (!m_hWnd)
        return;
    ::ShowWindow(m_hWnd, IsPrimary() ? SW_SHOW : SW_SHOWNA);
    ::UpdateWindow(m_hWnd);
}

void CSaverWnd::OnCreated() {
    if (!IsPrimary())
        return;
    // Told when the display turns off and when the session is locked or left.
    m_hPowerNotify = ::RegisterPowerSettingNotification(m_hWnd, &kConsoleDisplayState,
                                                        DEVICE_NOTIFY_WINDOW_HANDLE);
    m_bSessionNotify = ::WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
    // A session locked or left before the saver started reports no change: ask, after
    // registering, so that no change falls between the answer and the reports.
    if (SessionIsAwayNow())
        m_host.Visibility().OnSessionFoundAway();
    OnVisibilityChanged();
}

void CSaverWnd::OnDestroy() {
    if (m_hPowerNotify)
        ::UnregisterPowerSettingNotification(m_hPowerNotify);
    m_hPowerNotify = nullptr;
    if (m_bSessionNotify)
        ::WTSUnRegisterSessionNotification(m_hWnd);
    m_bSessionNotify = false;
}

void CSaverWnd::OnVisibilityChanged() {
    if (!IsPrimary())
        return;
    if (m_host.Visibility().IsSeen())
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
        m_host.Tick();
        return Default();
    case WM_SYSCOMMAND:
        // The system's request to start a screen saver, and the close command, are
        // ignored while the saver runs. The whole value counts: no masking of low bits.
        if (wParam == SC_SCREENSAVE || wParam == SC_CLOSE)
            return 0;
        return Default();
    case WM_CLOSE:
        // Whichever window is asked, the saver closes as a whole.
        if (!IsPrimary()) {
            m_host.CloseAll();
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
        // Being drawn as inactive is refused.
        if (!wParam)
            return FALSE;
        return Default();
    case WM_ACTIVATE:
        // Activation passing to another of the saver's windows is no reason to go.
        if (LOWORD(wParam) == WA_INACTIVE && !m_host.IsSaverWindow(reinterpret_cast<HWND>(lParam)))
            m_host.CloseAll();
        return Default();
    case WM_ACTIVATEAPP:
        if (!wParam)
            m_host.CloseAll();
        return Default();
    case WM_MOUSEMOVE: {
        // One rule for every monitor: the window's own coordinates made the screen's.
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(m_hWnd, &pt);
        if (m_host.OnMouseMove(pt.x, pt.y))
            m_host.CloseAll();
        return Default();
    }
    case WM_DISPLAYCHANGE:
        // A monitor came, went or changed size: the windows no longer fit the screens.
        m_host.CloseAll();
        return Default();
    case WM_POWERBROADCAST:
        if (wParam == PBT_POWERSETTINGCHANGE && lParam) {
            const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
            if (IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) &&
                setting->DataLength >= sizeof(DWORD)) {
                DWORD state = 0;
                std::memcpy(&state, setting->Data, sizeof state);
                m_host.Visibility().OnDisplayState(state);
                OnVisibilityChanged();
            }
            return TRUE;
        }
        return Default();
    case WM_WTSSESSION_CHANGE:
        m_host.Visibility().OnSessionChange(unsigned(wParam));
        OnVisibilityChanged();
        return Default();
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // Presses close; releases and the wheel do not.
        m_host.CloseAll();
        return Default();
    default:
        return CWaterWnd::WindowProc(message, wParam, lParam);
    }
}
