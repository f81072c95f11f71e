// CSettingsDlg: the saver's settings dialog. Two trackbars set the wavelength and the
// amplitude, each with a read-only readout; Save writes the settings file, Default
// puts both back to 100, Quit closes, and the link button opens the maker's web page.
// A save that fails is reported in a message box and leaves the dialog open.
// The system menu carries an entry for the about box.
#pragma once

#include "framework/dialog.h"
#include "saver/saver_settings.h"

#include <functional>
#include <string>

class CSettingsDlg : public CDialog {
  public:
    // Stores the values; says where, or which file could not be written and why.
    using SaveFunction = std::function<rillo::SettingsSaveResult(const rillo::SaverSettings&)>;

    // The dialog starts at `settings`, shows the product name in its caption and hands
    // Save's values to `save`. It is owned by, and centred over, `owner` when one is
    // given; otherwise it is the program's only window.
    CSettingsDlg(std::wstring strProductName, const rillo::SaverSettings& settings,
                 SaveFunction save, CWnd* owner = nullptr);

  protected:
    std::wstring m_strTitle; // the title line; deliberately left blank
    int m_nAmplitude = 0;
    int m_nWavelength = 0;
    HICON m_hIcon = nullptr; // a shared resource icon: never destroyed

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
    // Tells the user that nothing could be saved, naming the file and the reason.
    void ReportSaveFailure(const rillo::SettingsSaveResult& result);

  private:
    std::wstring m_strProductName;
    rillo::SaverSettings m_initial;
    SaveFunction m_save;
};
