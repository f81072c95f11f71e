#include "framework/dc.h"

#include "framework/wnd.h"

CDC::~CDC() {
    if (m_bOwned)
        ::DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(CDC* dc) noexcept {
    if (m_hDC)
        return FALSE;
    m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    m_bOwned = m_hDC != nullptr;
    return m_bOwned;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) noexcept {
    return m_hDC && object ? ::SelectObject(m_hDC, object) : nullptr;
}

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL forceBackground) noexcept {
    return m_hDC && palette ? ::SelectPalette(m_hDC, palette, forceBackground) : nullptr;
}

UINT CDC::RealizePalette() noexcept {
    return m_hDC ? ::RealizePalette(m_hDC) : 0;
}

int CDC::GetDeviceCaps(int index) const noexcept {
    return m_hDC ? ::GetDeviceCaps(m_hDC, index) : 0;
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc,
                 DWORD rop) noexcept {
    return m_hDC &&
           ::BitBlt(m_hDC, x, y, width, height, src ? src->m_hDC : nullptr, xSrc, ySrc, rop);
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) noexcept {
    if (!m_hDC)
        return;
    const COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

CClientDC::CClientDC(CWnd* wnd) noexcept : m_hWnd(HwndOf(wnd)) {
    m_hDC = ::GetDC(m_hWnd);
}

CClientDC::~CClientDC() {
    if (m_hDC)
        ::ReleaseDC(m_hWnd, m_hDC);
}

CPaintDC::CPaintDC(CWnd* wnd) noexcept : m_hWnd(HwndOf(wnd)) {
    m_hDC = m_hWnd ? ::BeginPaint(m_hWnd, &m_ps) : nullptr;
}

CPaintDC::~CPaintDC() {
    if (m_hDC)
        ::EndPaint(m_hWnd, &m_ps);
}
