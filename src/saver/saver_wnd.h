// CSaverWnd: the water window in its full-screen role, one on each monitor. A
// top-most pop-up without a pointer, which gives way at the first sign of the user
// on any monitor; all of the saver's windows close together.
#pragma once

#include "saver/water_wnd.h"

class CFullScreenSaver;

class CSaverWnd : public CWaterWnd {
  public:
    // The window over `screen`, from its part of the desktop, one of `saver`'s.
    CSaverWnd(const rillo::SaverSettings& settings, const rillo::SaverScreen& screen,
              DesktopCapture capture, CFullScreenSaver& saver);

    // Creates the window over its monitor; `owner` is the primary screen's window,
    // null for that one itself. Nonzero when it exists.
    BOOL CreateFullScreen(CSaverWnd* owner);

    bool IsPrimary() const { return m_screen.bPrimary; }
    // One tick of this monitor's rain, driven by the primary window's timer.
    void RainOnce() { Rain(); }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

  private:
    void OnCreated();
    void OnDestroy();
    // Stops the rain while nobody can see it and starts it again when they can.
    void OnVisibilityChanged();

    CFullScreenSaver& m_saver;
    HPOWERNOTIFY m_hPowerNotify = nullptr;
    bool m_bSessionNotify = false;
};
