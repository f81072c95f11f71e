#include "app/saver_app.h"

#include "app/mode_choice.h"
#include "app/settings_store.h"
#include "app/settings_text.h"
#include "saver/full_screen_saver.h"
#include "saver/water_wnd.h"
#include "ui/settings_dlg.h"

#include <shlobj.h>

// The preview's window object is made with new and deletes itself after its window's
// last message; a window whose creation failed halfway has already deleted itself that
// way, so a failed Create leaves the object alone and the process simply ends. The
// full-screen windows belong to their CFullScreenSaver.

namespace {

// A folder of the current user's profile; empty when Windows cannot say.
std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path)
        folder = path;
    ::CoTaskMemFree(path); // owed even when the call failed
    return folder;
}

} // namespace

CSaverApp::CSaverApp() = default;
CSaverApp::~CSaverApp() = default;

void CSaverApp::LoadSettings() {
    rillo::LoadSettings(m_settingsPaths, m_nWavelength, m_nAmplitude, &m_strLoadedFirstLine);
}

rillo::SettingsSaveResult CSaverApp::SaveSettings(const rillo::SaverSettings& settings) {
    return rillo::SaveSettings(m_settingsPaths, settings.nWavelength, settings.nAmplitude,
                               m_strLoadedFirstLine);
}

BOOL CSaverApp::InitInstance() {
    m_strProductName = L"Rillo 2.0";
    m_strShortName = L"rillo";
    m_nWavelength = rillo::kDefaultWavelength;
    m_nAmplitude = rillo::kDefaultAmplitude;

    wchar_t dir[MAX_PATH] = L"";
    const UINT n = ::GetWindowsDirectoryW(dir, MAX_PATH);
    m_strWindowsDir.assign(dir, n < MAX_PATH ? n : 0);
    // A standard user cannot write the Windows folder: each user may have a file of
    // their own, and older builds' saves may wait where UAC virtualization put them.
    m_settingsPaths =
        rillo::MakeSettingsPaths(m_strWindowsDir, KnownFolder(FOLDERID_RoamingAppData),
                                 KnownFolder(FOLDERID_LocalAppData), m_strShortName + L"lst.txt");
    // Every mode sees the stored values, the settings dialog included.
    LoadSettings();

    SetRegistryKey(L"Quorvane Inc.");

    const rillo::ModeChoice choice = rillo::ChooseMode(m_argc, m_argv);
    switch (choice.mode) {
    case rillo::SaverMode::Settings:
        RunSettings(choice.settingsOwner);
        return FALSE;
    case rillo::SaverMode::Preview:
        return StartPreview(choice.previewParent);
    case rillo::SaverMode::FullScreen:
        return StartFullScreen();
    case rillo::SaverMode::EndAtOnce:
        break;
    }
    return FALSE;
}

BOOL CSaverApp::StartPreview(std::int32_t parentHandle) {
    // Window handles are 32-bit values, sign-extended on 64-bit systems.
    const HWND parentWnd = reinterpret_cast<HWND>(INT_PTR(parentHandle));
    // A handle that names no window has no pane to show in: end rather than make a
    // top-level window in its place.
    if (!::IsWindow(parentWnd))
        return FALSE;
    CWnd parent; // a view of the pane, which it does not own
    parent.m_hWnd = parentWnd;
    RECT rect{};
    parent.GetClientRect(&rect);
    ReadSpeed();
    auto* wnd = new CWaterWnd(GetSettings());
    if (!wnd->Create(0, WS_CHILD | WS_VISIBLE, rect, &parent, 0, nullptr))
        return FALSE; // nothing could ever end a message loop without a window
    m_pMainWnd = wnd;
    return TRUE;
}

BOOL CSaverApp::StartFullScreen() {
    ReadSpeed();
    m_pFullScreen = std::make_unique<CFullScreenSaver>(GetSettings());
    const rillo::ScreenRect primary{0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                    ::GetSystemMetrics(SM_CYSCREEN)};
    CSaverWnd* wnd =
        m_pFullScreen->Create(rillo::LayOutScreens(CFullScreenSaver::EnumerateMonitors(), primary));
    if (!wnd)
        return FALSE;
    m_pMainWnd = wnd;
    return TRUE;
}

void CSaverApp::ReadSpeed() {
    // The profile's speed is read (which makes its key when it is missing), but the
    // rain keeps its 60 ms tick whatever it says.
    GetProfileInt(L"Config", L"Speed", 1);
    // Its neighbour in the section, which only the full-screen windows use.
    ReadEngine();
}

void CSaverApp::ReadEngine() {
    m_engine = rillo::ParseEngineChoice(GetProfileString(L"Config", L"Engine", L"auto"));
}

void CSaverApp::RunSettings(std::int32_t ownerHandle) {
    // The Screen Saver Settings window passes itself, so that the dialog stays in
    // front of it and keeps it from opening a second one. A handle that names no
    // window leaves the dialog on its own.
    HWND owner = reinterpret_cast<HWND>(INT_PTR(ownerHandle));
    if (ownerHandle == 0 || !::IsWindow(owner))
        owner = nullptr;
    CWnd ownerView; // a view of the caller's window, which it does not own
    ownerView.m_hWnd = owner;
    CSettingsDlg dlg(
        m_strProductName, GetSettings(),
        [this](const rillo::SaverSettings& settings) { return SaveSettings(settings); },
        owner ? &ownerView : nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
}
