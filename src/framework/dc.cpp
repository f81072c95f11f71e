#include "framework/dc.h"

#include "framework/gdi_object.h"
#include "framework/wnd.h"

CDC::~CDC() {
    DeleteDC();
}

BOOL CDC::Attach(HDC dc) noexcept {
    DeleteDC();
    m_hDC = m_hAttribDC = dc;
    m_bOwned = false;
    return dc != nullptr;
}

HDC CDC::Detach() noexcept {
    HDC dc = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_bOwned = false;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) noexcept {
    DeleteDC();
    HDC created = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    m_hDC = m_hAttribDC = created;
    m_bOwned = created != nullptr;
    return created != nullptr;
}

BOOL CDC::DeleteDC() noexcept {
    if (!m_hDC)
        return FALSE;
    const BOOL owned = m_bOwned;
    HDC dc = Detach();
    return owned ? ::DeleteDC(dc) : TRUE;
}

HGDIOBJ CDC::SelectObject(CGdiObject* object) noexcept {
    return object ? SelectObject(object->GetSafeHandle()) : nullptr;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) noexcept {
    return m_hDC && object ? ::SelectObject(m_hDC, object) : nullptr;
}

HPALETTE CDC::SelectPalette(CPalette* palette, BOOL forceBackground) noexcept {
    return palette ? SelectPalette(static_cast<HPALETTE>(*palette), forceBackground) : nullptr;
}

HPALETTE CDC::SelectPalette(HPALETTE palette, BOOL forceBackground) noexcept {
    return m_hDC && palette ? ::SelectPalette(m_hDC, palette, forceBackground) : nullptr;
}

UINT CDC::RealizePalette() noexcept {
    return m_hDC ? ::RealizePalette(m_hDC) : 0;
}

int CDC::GetDeviceCaps(int index) const noexcept {
    return m_hAttribDC ? ::GetDeviceCaps(m_hAttribDC, index) : 0;
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

CWindowDC::CWindowDC(CWnd* wnd) noexcept : m_hWnd(HwndOf(wnd)) {
    Attach(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC() {
    if (HDC dc = Detach())
        ::ReleaseDC(m_hWnd, dc);
}

CClientDC::CClientDC(CWnd* wnd) noexcept : m_hWnd(HwndOf(wnd)) {
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    if (HDC dc = Detach())
        ::ReleaseDC(m_hWnd, dc);
}

CPaintDC::CPaintDC(CWnd* wnd) noexcept : m_hWnd(HwndOf(wnd)) {
    Attach(m_hWnd ? ::BeginPaint(m_hWnd, &m_ps) : nullptr);
}

CPaintDC::~CPaintDC() {
    if (Detach())
        ::EndPaint(m_hWnd, &m_ps);
}
