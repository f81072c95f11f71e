#include "saver/water_wnd.h"

#include "framework/dc.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "saver/snapshot.h"

#include <ocidl.h>
#include <olectl.h>

const wchar_t* const CWaterWnd::s_pszClassName = L"RilloWater";

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTickMilliseconds = 60;

} // namespace

CWaterWnd::CWaterWnd(BOOL bAutoDelete, const rillo::SaverSettings& settings, bool bPreview)
    : m_bPreview(bPreview), m_rain(settings), m_bAutoDelete(bAutoDelete) {}

CWaterWnd::~CWaterWnd() = default;

BOOL CWaterWnd::Create(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT,
                       void*) {
    static const BOOL registered = CWnd::RegisterClass(
        s_pszClassName, CS_HREDRAW | CS_VREDRAW,
        ::LoadCursorW(GetAppInstance(), MAKEINTRESOURCEW(IDC_NOCURSOR)), nullptr, nullptr);
    if (!registered)
        return FALSE;

    if (!m_bPreview)
        PreparePicture();

    return CreateEx(dwExStyle, s_pszClassName, L"", dwStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, HwndOf(pParentWnd), nullptr);
}

void CWaterWnd::PreparePicture() {
    {
        CClientDC screen(nullptr);
        m_nScreenWidth = screen.GetDeviceCaps(HORZRES);
        m_nScreenHeight = screen.GetDeviceCaps(VERTRES);
    }
    m_strSnapshotPath = BuildSnapshotPath();
    // Captured now, while the saver has no window, so the picture never shows it.
    SaveDesktopSnapshot(m_strSnapshotPath);
    rillo::UniqueBitmap snapshot = LoadSnapshot(m_strSnapshotPath);

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
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

int CWaterWnd::OnCreate(LPCREATESTRUCT) {
    if (Default() == -1)
        return -1;
    SetTimer(kTimerId, kTickMilliseconds);
    return 0;
}

void CWaterWnd::OnTimer(UINT_PTR) {
    // Both steps of a tick run before anything is drawn: the screen gets the tick's
    // last frame, once.
    if (m_rain.Tick(m_dibSource.GetBits(), m_dibFrame.GetBits()) > 0) {
        CClientDC dc(this);
        m_dibFrame.Draw(&dc, 0, 0, FALSE);
    }
    Default();
}

void CWaterWnd::OnPaint() {
    CPaintDC dc(this);
    if (m_bPreview) {
        RECT client;
        GetClientRect(&client);
        dc.FillSolidRect(client, RGB(0, 0, 0));
        DrawPreviewTiles();
    }
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
