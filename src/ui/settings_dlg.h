// CSettingsDlg: the saver's settings dialog. Two trackbars set the wavelength and the
// amplitude, each with a read-only readout; Save writes the settings file, Default
// puts both back to 100, Quit closes, and the link button opens the maker's web page.
// The system menu carries an entry for the about box.
#pragma once

#include "framework/dialog.h"

#include <string>

class CSettingsDlg : public CDialog {
  public:
    // No parent: the dialog is the program's only window.
    CSettingsDlg() noexcept;

    std::wstring m_strTitle; // the title line; deliberately left blank
    int m_nAmplitude = 0;
    int m_nWavelength = 0;
    HICON m_hIcon = nullptr; // a shared resource icon: never destroyed

  protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnWebLink();
    void OnQuit();
    void OnHScroll(UINT code, UINT pos, HWND scrollBar);
    void OnSave();
    void OnDefault();
};
