// CSaverWnd: the water window in its full-screen role, one on each monitor. A
// top-most pop-up without a pointer, which gives way at the first sign of the user
// on any monitor; all of the saver's windows close together.
#pragma once

#include "saver/visibility.h"
#include "saver/water_wnd.h"

#include <windows.h>

// What a full-screen window asks of whoever owns it and its siblings on the other
// monitors. The host outlives its windows.
class ISaverWndHost {
  public:
    // One tick of the rain on every monitor; the primary window's timer calls it.
    virtual void Tick() = 0;
    // Asks every window to close, soon: never from inside the caller's handler.
    virtual void CloseAll() = 0;
    // Whether hwnd is one of the saver's windows: activation moving between them is
    // not the user switching away.
    virtual bool IsSaverWindow(HWND hwnd) const = 0;
    // A mouse move to (x, y) in screen coordinates; true when it ends the saver.
    virtual bool OnMouseMove(int x, int y) = 0;
    // Whether anybody can see the saver; the windows feed it what the system says.
    virtual rillo::CVisibility& Visibility() = 0;

  protected:
    ~ISaverWndHost() = default;
};

class CSaverWnd : public CWaterWnd {
  public:
    // The window over `screen`, from its part of the desktop, one of `host`'s. The
    // host owns the object; it does not delete itself.
    CSaverWnd(const rillo::SaverSettings& settings, const rillo::SaverScreen& screen,
              DesktopCapture capture, ISaverWndHost& host);
    // A window that still exists goes through its own WM_DESTROY first.
    ~CSaverWnd() override;

    // Turns the capture into the window's picture and the first frame it shows.
    void PreparePicture() { CWaterWnd::PreparePicture(); }

    // Creates the window over its monitor, hidden, with its picture prepared; `owner`
    // is the primary screen's window, null for that one itself. Nonzero when it
    // exists.
    BOOL CreateFullScreen(CSaverWnd* owner);
    // Shows the created window and paints it at once: the primary one takes
    // activation, the others appear without taking it from it.
    void ShowPainted();
    // Keeps the window off the screen while it is shown, where the desktop is
    // composed, so that it can be painted before anyone sees it; false where that
    // cannot be done.
    bool Cloak(bool bCloak);

    bool IsPrimary() const { return m_screen.bPrimary; }
    // This monitor's rain and the pictures it rains on, for the host to tick the water
    // of every monitor at once; DrawTick then shows what the tick changed.
    rillo::Rainfall& GetRainfall() { return m_rain; }
    const std::uint32_t* GetPicture() const { return m_dibSource.GetBits(); }
    std::uint32_t* GetFrame() { return m_dibFrame.GetBits(); }
    void DrawTick() { DrawChanged(); }
    // A tick of this monitor's water on the GL engine, drawn; false when the water
    // runs on the processor (from now on, if the GL engine just failed).
    bool TickOnGl() { return RainOnGl(); }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnCreated();
    void OnDestroy();
    // Stops the rain while nobody can see it and starts it again when they can.
    void OnVisibilityChanged();

    ISaverWndHost& m_host;
    HPOWERNOTIFY m_hPowerNotify = nullptr;
    bool m_bSessionNotify = false;
};
