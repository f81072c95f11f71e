// CFullScreenSaver: the saver over every monitor. It photographs the whole desktop
// before any of its windows exists, then puts a CSaverWnd on each monitor with that
// monitor's part of the picture. One timer, the primary window's, rains on all of
// them; one input rule, in screen coordinates, serves all of them; a close request
// from any of them closes all of them.
#pragma once

#include "saver/input_rule.h"
#include "saver/saver_settings.h"
#include "saver/screen_layout.h"
#include "saver/visibility.h"

#include <windows.h>

#include <vector>

class CSaverWnd;

class CFullScreenSaver {
  public:
    explicit CFullScreenSaver(const rillo::SaverSettings& settings) : m_settings(settings) {}
    CFullScreenSaver(const CFullScreenSaver&) = delete;
    CFullScreenSaver& operator=(const CFullScreenSaver&) = delete;

    // The monitors as the system reports them, in physical pixels.
    static std::vector<rillo::MonitorInfo> EnumerateMonitors();

    // Covers `screens` (the primary first). Returns the primary window, which ends
    // the process when it is destroyed, or null when it could not be made; a monitor
    // whose window cannot be made shows the live desktop.
    CSaverWnd* Create(const std::vector<rillo::SaverScreen>& screens);

    // A tick of the rain on every monitor.
    void Tick();
    // A mouse move to (x, y) in screen coordinates; true when it ends the saver.
    bool OnMouseMove(int x, int y) { return m_input.OnMouseMove(x, y); }
    // Asks the primary window to close, which takes every other window with it.
    void CloseSoon();
    // Whether hwnd is one of the saver's windows: activation moving between them is
    // not the user switching away.
    bool IsSaverWindow(HWND hwnd) const;
    void OnWindowDestroyed(CSaverWnd* wnd);

    rillo::CVisibility& Visibility() { return m_visibility; }

  private:
    rillo::SaverSettings m_settings;
    rillo::CInputRule m_input;
    rillo::CVisibility m_visibility;
    std::vector<CSaverWnd*> m_windows; // the primary first; each deletes itself
};
