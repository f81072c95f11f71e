// CSaverApp: the application object. It loads the settings, reads the command line
// and becomes the settings dialog, a preview inside the Display control panel's pane,
// or the full-screen saver.
#pragma once

#include "framework/win_app.h"

#include <cstdint>
#include <string>

class CSaverApp : public CWinApp {
  public:
    CSaverApp() = default;

    BOOL InitInstance() override;
    // Runs the settings dialog modally as the program's only window.
    void RunSettingsDialog();

    // Fills m_nWavelength and m_nAmplitude from the settings file, when it can be read.
    void LoadSettings();
    // Rewrites the settings file with its first line and these values.
    void SaveSettings(std::int32_t wavelength, std::int32_t amplitude);

    std::wstring m_strMode; // "p" while the process runs as a preview
    std::wstring m_strWindowsDir;
    std::wstring m_strSettingsPath;
    std::wstring m_strShortName;
    std::wstring m_strProductName;
    std::int32_t m_nWavelength = 0;
    std::int32_t m_nAmplitude = 0;
};

// The application object as a CSaverApp; null in a program that has none (tests).
CSaverApp* GetSaverApp() noexcept;
