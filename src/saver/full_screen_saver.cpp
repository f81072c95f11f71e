#include "saver/full_screen_saver.h"

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

CFullScreenSaver::~CFullScreenSaver() {
    // One at a time, so that a window going tells the host about the ones still here.
    while (!m_windows.empty()) {
        std::unique_ptr<CSaverWnd> last = std::move(m_windows.back());
        m_windows.pop_back();
    }
}

CSaverWnd* CFullScreenSaver::Create(const std::vector<rillo::SaverScreen>& screens) {
    // Every monitor is photographed before the first window appears on any of them,
    // and every picture is ready before the first window shows: no monitor waits,
    // black or stale, for another's.
    for (const rillo::SaverScreen& screen : screens) {
        DesktopCapture capture;
        CaptureScreen(screen.rect, capture);
        m_windows.push_back(
            std::make_unique<CSaverWnd>(m_settings, screen, std::move(capture), *this));
    }
    for (const auto& wnd : m_windows)
        wnd->PreparePicture();

    CSaverWnd* primary = nullptr;
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if ((*it)->CreateFullScreen(primary)) {
            if (!primary)
                primary = it->get();
            ++it;
        } else if (!primary) {
            m_windows.clear(); // without the primary window nothing would end the saver
            return nullptr;
        } else {
            it = m_windows.erase(it);
        }
    }
    // All of them appear at once where the desktop is composed; elsewhere each is
    // painted the moment it shows, one right after the other.
    for (const auto& wnd : m_windows)
        wnd->Cloak(true);
    for (const auto& wnd : m_windows)
        wnd->ShowPainted();
    for (const auto& wnd : m_windows)
        wnd->Cloak(false);
    for (const auto& wnd : m_windows)
        wnd->GetRainfall().GetField().SetWorkers(&m_workers);
    m_rains.reserve(m_windows.size());
    m_pictures.reserve(m_windows.size());
    m_frames.reserve(m_windows.size());
    m_processorWindows.reserve(m_windows.size());
    return primary;
}

void CFullScreenSaver::Tick() {
    // A monitor on the GL engine ticks and draws by itself; the others' water is
    // stepped at once on the processor, both steps of every tick before anything is
    // drawn. A window whose GL engine fails joins them within the same tick.
    m_rains.clear();
    m_pictures.clear();
    m_frames.clear();
    m_processorWindows.clear();
    for (const auto& wnd : m_windows) {
        if (wnd->TickOnGl())
            continue;
        m_rains.push_back(&wnd->GetRainfall());
        m_pictures.push_back(wnd->GetPicture());
        m_frames.push_back(wnd->GetFrame());
        m_processorWindows.push_back(wnd.get());
    }
    if (m_rains.empty())
        return;
    rillo::TickRainfalls(m_rains.data(), int(m_rains.size()), m_pictures.data(), m_frames.data(),
                         m_workers);
    for (CSaverWnd* wnd : m_processorWindows)
        wnd->DrawTick();
}

void CFullScreenSaver::CloseAll() {
    if (!m_windows.empty() && m_windows.front()->IsPrimary())
        m_windows.front()->PostMessage(WM_CLOSE, 0, 0);
}

bool CFullScreenSaver::IsSaverWindow(HWND hwnd) const {
    return hwnd && std::any_of(m_windows.begin(), m_windows.end(),
                               [hwnd](const auto& w) { return w->m_hWnd == hwnd; });
}
