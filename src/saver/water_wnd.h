// CWaterWnd: the window that shows the water. Full screen it covers one monitor with
// that monitor's part of the desktop, photographed before any of the saver's windows
// existed, and lets rain fall on it; as a preview it shows a fixed picture tiled over
// black.
#pragma once

#include "framework/unique_handle.h"
#include "framework/wnd.h"
#include "ripple/dib_surface.h"
#include "saver/rainfall.h"
#include "saver/saver_settings.h"
#include "saver/screen_layout.h"
#include "saver/snapshot.h"

#include <cstdint>
#include <memory>
#include <string>

class CGlWater;

class CWaterWnd : public CWnd {
  public:
    // A preview, made with new: the object deletes itself after its window's last
    // message. The settings are the window's for its whole life: a later change of
    // the settings file does not reach a running saver.
    explicit CWaterWnd(const rillo::SaverSettings& settings);
    ~CWaterWnd() override;

    // Prepares the picture (full screen only) and creates the window. The child id and
    // creation context are accepted for the callers' sake and ignored. Nonzero when the
    // window exists.
    virtual BOOL Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                        UINT nID = 0, void* pContext = nullptr);

  protected:
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTickMilliseconds = 60;

    // Full screen over `screen`, from its part of the desktop. The primary screen
    // writes the snapshot file and shows it read back; the others show their capture.
    // The object belongs to whoever made it: it does not delete itself.
    CWaterWnd(const rillo::SaverSettings& settings, const rillo::SaverScreen& screen,
              DesktopCapture capture);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnTimer(UINT_PTR nIDEvent);
    void OnPaint();
    void DrawPreviewTiles();
    // Preview: fits the window to its pane's client area again when the pane changed.
    void FollowPane();

    // One tick of the rain, and its last frame drawn when the water moved.
    void Rain();
    // One tick on the GL engine, drawn: true when the window's water runs there. A
    // failure hands the water to the processor engine and returns false.
    bool RainOnGl();
    // The GL engine on this full-screen window, when the settings' choice, OpenGL and
    // the self-test allow it; otherwise the processor engine goes on alone.
    void StartGlEngine();
    // Any failure of the GL engine: the processor engine takes the water over.
    void StopGlEngine();
    // Draws the part of the frame the last tick changed, if any.
    void DrawChanged();

    // The window's part of the desktop as the two surfaces' picture, and the field.
    void PreparePicture();

    const bool m_bPreview;
    bool m_bTimer = true; // false: another window's timer drives this one's rain
    rillo::SaverScreen m_screen;
    DesktopCapture m_capture; // until PreparePicture has made the picture
    std::int32_t m_nScreenWidth = 0;
    std::int32_t m_nScreenHeight = 0;
    CDibSurface m_dibSource; // the desktop under the water, never written after Create
    CDibSurface m_dibFrame;  // the frame rendered and drawn at every step
    rillo::Rainfall m_rain;  // the rain, its seed and the field
    rillo::SaverSettings m_settings;
    std::unique_ptr<CGlWater> m_pGl; // while the GL engine runs the water instead of m_rain
    std::wstring m_strSnapshotPath;
    bool m_bPrepared = false; // PreparePicture has run: the surfaces are the picture's
    BOOL m_bAutoDelete;

    static const wchar_t* const s_pszClassName;
    static const wchar_t* const s_pszPreviewClassName;
};
