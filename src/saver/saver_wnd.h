// CSaverWnd: the water window in its full-screen role. A top-most pop-up over the
// primary screen without a pointer, which gives way at the first sign of the user.
#pragma once

#include "saver/input_rule.h"
#include "saver/water_wnd.h"

class CSaverWnd : public CWaterWnd {
  public:
    explicit CSaverWnd(const rillo::SaverSettings& settings);

    // Creates the window over the whole primary screen; nonzero when it exists.
    BOOL CreateFullScreen();

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void CloseSoon() { PostMessage(WM_CLOSE, 0, 0); }

    rillo::CInputRule m_input; // remembers the first mouse position
};
