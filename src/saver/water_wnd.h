// CWaterWnd: the window that shows the water. Full screen it photographs the desktop
// before it exists and lets rain fall on the picture, one 60 ms timer driving it; as a
// preview it shows a fixed picture tiled over black.
#pragma once

#include "framework/wnd.h"
#include "framework/unique_handle.h"
#include "ripple/dib_surface.h"
#include "saver/rainfall.h"
#include "saver/saver_settings.h"

#include <cstdint>
#include <string>

class CWaterWnd : public CWnd {
  public:
    // The settings and the mode are the window's for its whole life: a later change of
    // the settings file does not reach a running saver.
    CWaterWnd(BOOL bAutoDelete, const rillo::SaverSettings& settings, bool bPreview);
    ~CWaterWnd() override;

    // Prepares the picture (full screen only) and creates the window. The child id and
    // creation context are accepted for the callers' sake and ignored. Nonzero when the
    // window exists.
    virtual BOOL Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                        UINT nID = 0, void* pContext = nullptr);

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnTimer(UINT_PTR nIDEvent);
    void OnPaint();
    void DrawPreviewTiles();

    // The snapshot of the desktop, in the file at path, as the two surfaces' picture.
    void PreparePicture();

    const bool m_bPreview;
    std::int32_t m_nScreenWidth = 0;
    std::int32_t m_nScreenHeight = 0;
    CDibSurface m_dibSource; // the desktop under the water, never written after Create
    CDibSurface m_dibFrame;  // the frame rendered and drawn at every step
    rillo::Rainfall m_rain;  // the rain, its seed and the field
    std::wstring m_strSnapshotPath;
    BOOL m_bAutoDelete;

    static const wchar_t* const s_pszClassName;
};
