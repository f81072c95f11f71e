// CAboutDlg: the fixed about box, opened from the settings dialog's system menu.
#pragma once

#include "framework/dialog.h"

class CAboutDlg : public CDialog {
  public:
    // No parent: the framework makes the application's main window the owner, so the
    // box is modal over the settings dialog.
    CAboutDlg() noexcept;

  protected:
    BOOL OnInitDialog() override;
};
