// CSettingsDlg: the saver's settings dialog. Two trackbars set the wavelength and the
// amplitude, each with a read-only readout; Save writes the settings file, Default
// puts both back to 100, Quit closes, and the link button opens the maker's web page.
// The system menu carries an entry for the about box.
#pragma once

#include "framework/dialog.h"
#include "saver/saver_settings.h"

#include <functional>
#include <string>

class CSettingsDlg : public CDialog {
  public:
    // Stores the values; returns whether they are kept.
    using SaveFunction = std::function<bool(const rillo::SaverSettings&)>;

    // No parent: the dialog is the program's only window. It starts at `settings`,
    // shows the product name in its caption and hands Save's values to `save`.
    CSettingsDlg(std::wstring strProductName, const rillo::SaverSettings& settings,
                 SaveFunction save);

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

  private:
    std::wstring m_strProductName;
    rillo::SaverSettings m_initial;
    SaveFunction m_save;
};
