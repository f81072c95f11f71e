// Device contexts. CDC owns a memory DC it created; CWindowDC, CClientDC and
// CPaintDC give their DC back to the window.
#pragma once

#include "framework/object.h"

#include <windows.h>

class CWnd;
class CGdiObject;
class CPalette;

class CDC : public CObject {
  public:
    CDC() = default;
    ~CDC() override;

    // Output and attribute handles; the same DC in this framework.
    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }

    // Wraps a DC without owning it; Detach gives it back.
    BOOL Attach(HDC dc) noexcept;
    HDC Detach() noexcept;
    // Creates (and owns) a memory DC compatible with dc (null: the screen).
    BOOL CreateCompatibleDC(CDC* dc) noexcept;
    BOOL DeleteDC() noexcept;

    HGDIOBJ SelectObject(CGdiObject* object) noexcept;
    HGDIOBJ SelectObject(HGDIOBJ object) noexcept;
    HPALETTE SelectPalette(CPalette* palette, BOOL forceBackground) noexcept;
    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground) noexcept;
    UINT RealizePalette() noexcept;
    int GetDeviceCaps(int index) const noexcept;
    BOOL BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc,
                DWORD rop) noexcept;
    void FillSolidRect(const RECT& rect, COLORREF color) noexcept;

  protected:
    bool m_bOwned = false; // DeleteDC on destruction
};

// GetWindowDC of a window, or of the whole screen for a null window. Check
// GetSafeHdc(): it is null when no DC could be had.
class CWindowDC : public CDC {
  public:
    explicit CWindowDC(CWnd* wnd) noexcept;
    ~CWindowDC() override;

  protected:
    HWND m_hWnd;
};

// GetDC of a window's client area (null window: the screen).
class CClientDC : public CDC {
  public:
    explicit CClientDC(CWnd* wnd) noexcept;
    ~CClientDC() override;

  protected:
    HWND m_hWnd;
};

// BeginPaint / EndPaint.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(CWnd* wnd) noexcept;
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

  protected:
    HWND m_hWnd;
};
