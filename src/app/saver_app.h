// CSaverApp: the application object. It loads the settings, reads the command line
// and becomes the settings dialog, a preview inside the Display control panel's pane,
// or the full-screen saver.
#pragma once

#include "app/settings_location.h"
#include "framework/win_app.h"
#include "saver/saver_settings.h"

#include <cstdint>
#include <memory>
#include <string>

class CFullScreenSaver;

class CSaverApp : public CWinApp {
  public:
    CSaverApp();
    ~CSaverApp() override;

    BOOL InitInstance() override;

  private:
    // The three modes. Settings: the dialog, run modally, owned by the window with
    // that handle when it is one. Preview and full screen: TRUE when a window runs,
    // so that the message loop starts.
    void RunSettings(std::int32_t ownerHandle);
    BOOL StartPreview(std::int32_t parentHandle);
    BOOL StartFullScreen();
    // Reads the profile's speed, which changes nothing, and its choice of engine.
    void ReadSpeed();
    // Reads the profile's choice of engine for the full-screen water.
    void ReadEngine();

    // Fills m_nWavelength and m_nAmplitude from the first settings file that can be read.
    void LoadSettings();
    // Writes these values where the next start will read them first, with the loaded
    // file's first line; which file, and why not when nothing could be written.
    rillo::SettingsSaveResult SaveSettings(const rillo::SaverSettings& settings);
    // The loaded values, as the windows and the dialog are handed them.
    rillo::SaverSettings GetSettings() const { return {m_nWavelength, m_nAmplitude, m_engine}; }

    std::wstring m_strWindowsDir;
    rillo::SettingsPaths m_settingsPaths;
    std::string m_strLoadedFirstLine; // the bytes of the loaded file's first line
    std::wstring m_strShortName;
    std::wstring m_strProductName;
    std::int32_t m_nWavelength = 0;
    std::int32_t m_nAmplitude = 0;
    rillo::EngineChoice m_engine = rillo::EngineChoice::Auto;
    std::unique_ptr<CFullScreenSaver> m_pFullScreen; // full-screen mode: every monitor
};
