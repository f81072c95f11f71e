// CFullScreenSaver: the saver over every monitor. It photographs the whole desktop
// before any of its windows exists, prepares each monitor's picture, and then shows
// a CSaverWnd on each monitor, all of them painted. One timer, the primary window's,
// rains on all of them; one input rule, in screen coordinates, serves all of them; a
// close request from any of them closes all of them. It owns its windows.
#pragma once

#include "ripple/worker_pool.h"
#include "saver/input_rule.h"
#include "saver/saver_settings.h"
#include "saver/saver_wnd.h"
#include "saver/screen_layout.h"
#include "saver/visibility.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

class CFullScreenSaver final : public ISaverWndHost {
  public:
    explicit CFullScreenSaver(const rillo::SaverSettings& settings) : m_settings(settings) {}
    CFullScreenSaver(const CFullScreenSaver&) = delete;
    CFullScreenSaver& operator=(const CFullScreenSaver&) = delete;
    // Destroys the windows that still exist, the primary one last.
    ~CFullScreenSaver();

    // The monitors as the system reports them, in physical pixels.
    static std::vector<rillo::MonitorInfo> EnumerateMonitors();

    // Covers `screens` (the primary first). Returns the primary window, whose
    // destruction takes the others with it, or null when it could not be made; a
    // monitor whose window cannot be made shows the live desktop.
    CSaverWnd* Create(const std::vector<rillo::SaverScreen>& screens);

    // A tick of the rain on every monitor.
    void Tick() override;
    // Asks the primary window to close, which takes every other window with it.
    void CloseAll() override;
    bool IsSaverWindow(HWND hwnd) const override;
    bool OnMouseMove(int x, int y) override { return m_input.OnMouseMove(x, y); }
    rillo::CVisibility& Visibility() override { return m_visibility; }

  private:
    rillo::SaverSettings m_settings;
    rillo::CInputRule m_input;
    rillo::CVisibility m_visibility;
    std::vector<std::unique_ptr<CSaverWnd>> m_windows; // the primary first
    // Every processor monitor's water is stepped at once, in row bands on every core;
    // the lists, refilled at every tick (a window's GL engine may fail at any tick),
    // have room for every window once the windows exist, so a tick allocates nothing.
    rillo::WorkerPool m_workers;
    std::vector<rillo::Rainfall*> m_rains;
    std::vector<const std::uint32_t*> m_pictures;
    std::vector<std::uint32_t*> m_frames;
    std::vector<CSaverWnd*> m_processorWindows;
};
