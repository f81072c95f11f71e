#include "saver/full_screen_saver.h"

#include "saver/saver_wnd.h"
#include "saver/snapshot.h"

#include <algorithm>

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<rillo::MonitorInfo>*>(list)->push_back(
            {{r.left, r.top, r.right, r.bottom}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

} // namespace

std::vector<rillo::MonitorInfo> CFullScreenSaver::EnumerateMonitors() {
    std::vector<rillo::MonitorInfo> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

CSaverWnd* CFullScreenSaver::Create(const std::vector<rillo::SaverScreen>& screens) {
    // Every monitor is photographed before the first window appears on any of them.
    std::vector<DesktopCapture> captures(screens.size());
    for (std::size_t n = 0; n < screens.size(); ++n)
        CaptureScreen(screens[n].rect, captures[n]);

    CSaverWnd* primary = nullptr;
    for (std::size_t n = 0; n < screens.size(); ++n) {
        auto* wnd = new CSaverWnd(m_settings, screens[n], std::move(captures[n]), *this);
        m_windows.push_back(wnd);
        if (!wnd->CreateFullScreen(primary)) {
            // A window that got as far as its last message has deleted itself and left
            // the list; one that never got a message is still ours to delete.
            const auto it = std::find(m_windows.begin(), m_windows.end(), wnd);
            if (it != m_windows.end()) {
                m_windows.erase(it);
                delete wnd;
            }
            if (!primary)
                return nullptr; // without the primary window nothing would end the saver
            continue;
        }
        if (!primary)
            primary = wnd;
    }
    return primary;
}

void CFullScreenSaver::Tick() {
    for (CSaverWnd* wnd : m_windows)
        wnd->RainOnce();
}

void CFullScreenSaver::CloseSoon() {
    const auto primary = std::find_if(m_windows.begin(), m_windows.end(),
                                      [](const CSaverWnd* w) { return w->IsPrimary(); });
    if (primary != m_windows.end())
        (*primary)->PostMessage(WM_CLOSE, 0, 0);
}

bool CFullScreenSaver::IsSaverWindow(HWND hwnd) const {
    return hwnd && std::any_of(m_windows.begin(), m_windows.end(),
                               [hwnd](const CSaverWnd* w) { return w->m_hWnd == hwnd; });
}

void CFullScreenSaver::OnWindowDestroyed(CSaverWnd* wnd) {
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), wnd), m_windows.end());
}
