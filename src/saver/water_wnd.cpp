#include "saver/water_wnd.h"

#include "framework/dc.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "saver/gl_water.h"
#include "saver/snapshot.h"

#include <ocidl.h>
#include <olectl.h>

const wchar_t* const CWaterWnd::s_pszClassName = L"RilloWater";
const wchar_t* const CWaterWnd::s_pszPreviewClassName = L"RilloPreview";

CWaterWnd::CWaterWnd(const rillo::SaverSettings& settings)
    : m_bPreview(true), m_rain(settings), m_settings(settings), m_bAutoDelete(TRUE) {}

CWaterWnd::CWaterWnd(const rillo::SaverSettings& settings, const rillo::SaverScreen& screen,
                     DesktopCapture capture)
    : m_bPreview(false), m_screen(screen), m_capture(std::move(capture)),
      m_rain(settings, screen.nSeed), m_settings(settings), m_bAutoDelete(FALSE) {}

CWaterWnd::~CWaterWnd() = default;

BOOL CWaterWnd::Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT,
                       void*) {
    // Only the full-screen window hides the pointer; over the preview pane the user
    // is still choosing a saver.
    static const BOOL registered =
        // A DC of its own: the GL engine's context keeps drawing on it.
        CWnd::RegisterClass(s_pszClassName, CS_HREDRAW | CS_VREDRAW | CS_OWNDC,
                            ::LoadCursorW(GetAppInstance(), MAKEINTRESOURCEW(IDC_NOCURSOR)),
                            nullptr, nullptr) &&
        CWnd::RegisterClass(s_pszPreviewClassName, CS_HREDRAW | CS_VREDRAW,
                            ::LoadCursorW(nullptr, IDC_ARROW), nullptr, nullptr);
    if (!registered)
        return FALSE;

    if (!m_bPreview && !m_bPrepared)
        PreparePicture();

    return CreateEx(dwExStyle, m_bPreview ? s_pszPreviewClassName : s_pszClassName, L"", dwStyle,
                    rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                    HwndOf(pParentWnd), nullptr);
}

void CWaterWnd::PreparePicture() {
    m_nScreenWidth = m_screen.rect.Width();
    m_nScreenHeight = m_screen.rect.Height();
    m_bPrepared = true;
    rillo::UniqueBitmap snapshot;
    if (m_screen.bPrimary) {
        // The primary screen's picture goes through the snapshot file and is read back
        // from it. The file shows whatever was on the screen, mail and documents
        // included: it is gone once it has been read.
        m_strSnapshotPath = BuildSnapshotPath();
        snapshot = PictureThroughSnapshotFile(m_strSnapshotPath, m_capture);
    }
    // A file that could not be written (held open, a full disk) or read back is no
    // reason to show anything but what this start photographed. Nor is an older file
    // that happens to lie there. A failed capture shows black, never a stale bitmap.
    if (!snapshot)
        snapshot = PictureFromCapture(m_capture);
    if (!snapshot)
        snapshot = BlackPicture(m_nScreenWidth, m_nScreenHeight);
    m_capture = DesktopCapture{};

    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = snapshot.get();
    IPicture* picture = nullptr;
    if (snapshot && SUCCEEDED(::OleCreatePictureIndirect(&desc, IID_IPicture, TRUE,
                                                         reinterpret_cast<void**>(&picture)))) {
        snapshot.release(); // the picture owns the bitmap now
        m_dibSource.CreateFromBitmap(picture, m_nScreenWidth, m_nScreenHeight);
        m_dibFrame.CreateFromBitmap(picture, m_nScreenWidth, m_nScreenHeight);
        picture->Release();
    }
    const bool bField = m_rain.Resize(m_nScreenWidth, m_nScreenHeight);

    // Rain falls only where the source surface accepts it: without both surfaces and
    // the field at the same size there is nothing safe to render, so let none fall.
    const bool usable = bField && m_dibFrame.GetWidth() == m_nScreenWidth &&
                        m_dibFrame.GetHeight() == m_nScreenHeight &&
                        m_dibSource.GetWidth() == m_nScreenWidth &&
                        m_dibSource.GetHeight() == m_nScreenHeight;
    if (!usable) {
        m_dibSource.Reset();
        m_dibFrame.Reset();
    }
}

LRESULT CWaterWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_TIMER:
        OnTimer(UINT_PTR(wParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_NCDESTROY:
        // The context goes while its window still exists.
        m_pGl.reset();
        return CWnd::WindowProc(message, wParam, lParam);
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

int CWaterWnd::OnCreate(LPCREATESTRUCT) {
    if (Default() == -1)
        return -1;
    StartGlEngine();
    if (m_bTimer)
        SetTimer(kTimerId, kTickMilliseconds);
    return 0;
}

void CWaterWnd::OnTimer(UINT_PTR) {
    if (m_bPreview)
        FollowPane();
    Rain();
    Default();
}

void CWaterWnd::FollowPane() {
    // The Screen Saver Settings window may resize its pane (a new layout, another
    // monitor's DPI) and tells nobody: the child keeps filling it. The class repaints
    // the whole window at a new size, so the picture starts afresh at that size.
    const HWND pane = ::GetParent(m_hWnd);
    RECT want{};
    RECT have{};
    if (!pane || !::GetClientRect(pane, &want) || !::GetWindowRect(m_hWnd, &have))
        return;
    ::MapWindowPoints(HWND_DESKTOP, pane, reinterpret_cast<POINT*>(&have), 2);
    if (!::EqualRect(&want, &have))
        ::SetWindowPos(m_hWnd, nullptr, want.left, want.top, want.right - want.left,
                       want.bottom - want.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWaterWnd::StartGlEngine() {
    // The preview keeps the processor engine; so does a window without its picture.
    if (m_bPreview || m_settings.engine == rillo::EngineChoice::Cpu ||
        m_dibSource.GetWidth() != m_nScreenWidth || m_dibSource.GetHeight() != m_nScreenHeight ||
        m_dibSource.GetWidth() <= 0)
        return;
    // The frame is the picture until the first drop.
    m_pGl = CGlWater::Create(m_hWnd, m_settings, m_screen.nSeed, m_nScreenWidth, m_nScreenHeight,
                             m_dibSource.GetBits());
}

void CWaterWnd::StopGlEngine() {
    if (!m_pGl)
        return;
    m_pGl->HandOver(m_rain, m_dibSource.GetBits(), m_dibFrame.GetBits());
    m_pGl.reset();
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CWaterWnd::RainOnGl() {
    if (!m_pGl)
        return false;
    if (m_pGl->Tick())
        return true;
    StopGlEngine();
    return false;
}

void CWaterWnd::Rain() {
    if (RainOnGl())
        return;
    // Both steps of a tick run before anything is drawn: the screen gets the tick's
    // last frame, once, and only the part of it the tick changed.
    m_rain.Tick(m_dibSource.GetBits(), m_dibFrame.GetBits());
    DrawChanged();
}

void CWaterWnd::DrawChanged() {
    const RippleRect& changed = m_rain.GetChangedRect();
    if (!changed.IsEmpty()) {
        CClientDC dc(this);
        m_dibFrame.DrawBand(&dc, 0, 0,
                            RECT{changed.left, changed.top, changed.right, changed.bottom}, FALSE);
    }
}

void CWaterWnd::OnPaint() {
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    if (m_pGl) {
        if (m_pGl->Show())
            return;
        StopGlEngine();
    }
    if (m_bPreview) {
        dc.FillSolidRect(client, RGB(0, 0, 0));
        DrawPreviewTiles();
        return;
    }
    // A composited desktop shows an unpainted window as black or as leftovers, not as
    // the screen behind it: the saver paints its frame (the desktop until the first
    // drop), or black when it has no picture at all.
    if (m_dibFrame.GetWidth() > 0)
        m_dibFrame.Draw(&dc, 0, 0, FALSE);
    else
        dc.FillSolidRect(client, RGB(0, 0, 0));
}

void CWaterWnd::DrawPreviewTiles() {
    rillo::UniqueBitmap tile(::LoadBitmapW(GetAppInstance(), MAKEINTRESOURCEW(IDB_PREVIEW)));
    BITMAP bm{};
    if (!tile || !::GetObjectW(tile.get(), sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return;
    const int w = bm.bmWidth;
    const int h = bm.bmHeight;

    CClientDC dc(this);
    CDC mem;
    if (!dc.GetSafeHdc() || !mem.CreateCompatibleDC(&dc))
        return;
    const HGDIOBJ old = mem.SelectObject(tile.get());
    RECT clip{};
    ::GetClipBox(dc, &clip);
    for (int top = 0; top <= clip.bottom; top += h) {
        for (int left = 0; left <= clip.right; left += w) {
            const RECT t{left, top, left + w, top + h};
            RECT visible;
            if (::IntersectRect(&visible, &t, &clip) && !::IsRectEmpty(&visible))
                dc.BitBlt(left, top, w, h, &mem, 0, 0, SRCCOPY);
        }
    }
    mem.SelectObject(old);
}

void CWaterWnd::PostNcDestroy() {
    if (m_bAutoDelete)
        delete this;
}
