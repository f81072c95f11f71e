// CWnd: a C++ object that owns one HWND.
//
// Our message map is a plain switch: a class handles its messages in WindowProc,
// calling its OnXxx handlers, and passes everything else to its base class's
// WindowProc; CWnd::WindowProc ends the chain with Default(). The object is bound to
// its HWND from the window's first message on (see CreateEx), and unbound after
// WM_NCDESTROY, when PostNcDestroy runs (a heap window may delete itself there).
#pragma once

#include "framework/object.h"

#include <windows.h>

#include <string>

class CWnd;

// The window of a possibly null CWnd pointer (a parent that may be absent).
inline HWND HwndOf(const CWnd* wnd) noexcept;

class CWnd : public CObject {
  public:
    CWnd() = default;
    // Destroys a window that still exists (a wrapper from FromHandle owns nothing).
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return m_hWnd; }

    // Registers a window class whose procedure is ours (CS_* style, cursor, brush,
    // icon may be null). Registering an existing name again succeeds.
    static BOOL RegisterClass(LPCWSTR className, UINT classStyle, HCURSOR cursor, HBRUSH background,
                              HICON icon) noexcept;

    // Creates the window and binds this object to it. For a class registered with
    // RegisterClass every message from the first one reaches WindowProc (WM_CREATE
    // included); a window of another class (a system control) is subclassed once it
    // exists. Returns FALSE when the window could not be created.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU idOrMenu,
                  LPVOID param = nullptr) noexcept;
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id, LPVOID param = nullptr) noexcept;
    BOOL DestroyWindow() noexcept;

    // Routes a foreign window's messages to this object (it must outlive the window or
    // call UnsubclassWindow).
    BOOL SubclassWindow(HWND hwnd) noexcept;
    HWND UnsubclassWindow() noexcept;

    // The object bound to hwnd, or else a temporary non-owning wrapper that stays valid
    // until the message loop next waits for a message. Null for a null hwnd.
    static CWnd* FromHandle(HWND hwnd);
    // The object bound to hwnd by this framework, or null.
    static CWnd* FromHandleBound(HWND hwnd) noexcept;
    // Frees the temporary wrappers of FromHandle (the message loop does this).
    static void DeleteTemporaryWrappers() noexcept;

    // The window procedure of every window of this framework.
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // --- thin wrappers of USER32 on m_hWnd ---
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept;
    void GetClientRect(LPRECT rect) const noexcept;
    void GetWindowRect(LPRECT rect) const noexcept;
    void SetWindowText(LPCWSTR text) noexcept;
    std::wstring GetWindowText() const;
    CWnd* GetDlgItem(int id) const;
    HWND GetDlgItemHwnd(int id) const noexcept;
    HMENU GetSystemMenu(BOOL revert) const noexcept;
    BOOL ShowWindow(int cmdShow) noexcept;
    BOOL UpdateWindow() noexcept;
    void Invalidate(BOOL erase = TRUE) noexcept;
    BOOL IsWindowVisible() const noexcept;
    BOOL IsIconic() const noexcept;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) noexcept;
    BOOL KillTimer(UINT_PTR id) noexcept;
    // Centres a pop-up over its owner (or alternateOwner) when that is visible and not
    // minimised, else in the work area of the monitor of the application's main window;
    // a child window is centred in its parent.
    void CenterWindow(CWnd* alternateOwner = nullptr) noexcept;

  protected:
    // The message map: override, handle your messages, pass the rest to the base.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled right now, with its own
    // parameters.
    LRESULT Default();
    // The default procedure: the subclassed procedure if any, else DefWindowProc.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the window's last message; m_hWnd is already null.
    virtual void PostNcDestroy() {}
    // Whether destroying this window, when it is the application's main window, ends
    // the message loop with WM_QUIT(0). Modal dialogs end their own loop.
    virtual bool QuitsWhenMainWindowDestroyed() const noexcept { return true; }

    // The procedure replaced by SubclassWindow, null for our own classes.
    WNDPROC m_pfnOldProc = nullptr;

  private:
    friend class CDialog;
    void Bind(HWND hwnd) noexcept;
    void AfterNcDestroy() noexcept;
    static void SetCreatingWindow(CWnd* wnd) noexcept;
};

inline HWND HwndOf(const CWnd* wnd) noexcept {
    return wnd ? wnd->m_hWnd : nullptr;
}
