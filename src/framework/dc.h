// Device contexts. A CDC deletes only the memory DC it created itself: one whose
// m_hDC was set from outside merely wraps that DC. CClientDC and CPaintDC give their
// DC back to the window.
#pragma once

#include "framework/object.h"

#include <windows.h>

class CWnd;

class CDC : public CObject {
  public:
    CDC() = default;
    ~CDC() override;

    HDC m_hDC = nullptr;

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }

    // Creates (and owns) a memory DC compatible with dc (null: the screen). FALSE when
    // this object already has a DC.
    BOOL CreateCompatibleDC(CDC* dc) noexcept;

    HGDIOBJ SelectObject(HGDIOBJ object) noexcept;
    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground) noexcept;
    UINT RealizePalette() noexcept;
    int GetDeviceCaps(int index) const noexcept;
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc,
                DWORD rop) noexcept;
    void FillSolidRect(const RECT& rect, COLORREF color) noexcept;

  private:
    bool m_bOwned = false;
};

// GetDC of a window's client area (null window: the screen). Check GetSafeHdc(): it
// is null when no DC could be had.
class CClientDC : public CDC {
  public:
    explicit CClientDC(CWnd* wnd) noexcept;
    ~CClientDC() override;

  private:
    HWND m_hWnd;
};

// BeginPaint / EndPaint.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(CWnd* wnd) noexcept;
    ~CPaintDC() override;

  private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps{};
};
