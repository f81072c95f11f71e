// CWnd: a C++ object that owns one HWND.
//
// Our message map is a plain switch: a class handles its messages in WindowProc,
// calling its OnXxx handlers, and passes everything else to its base class's
// WindowProc; CWnd::WindowProc ends the chain with the default procedure. The object
// is bound to its HWND from WM_NCCREATE on (CreateEx passes it as the creation
// parameter) and unbound at WM_NCDESTROY. PostNcDestroy runs once the window's last
// message has been handled, so a heap window may delete itself there even when it was
// destroyed from inside one of its own handlers.
//
// An object that never created a window owns nothing: setting its m_hWnd gives a
// temporary view of a foreign window (the preview's host pane), which outlives it.
#pragma once

#include "framework/object.h"

#include <windows.h>

class CWnd;

// The window of a possibly null CWnd pointer (a parent that may be absent).
inline HWND HwndOf(const CWnd* wnd) noexcept;

class CWnd : public CObject {
  public:
    CWnd() = default;
    // Destroys the window this object still owns.
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    // Registers a window class whose procedure is ours (cursor, brush, icon may be
    // null). Registering an existing name again succeeds.
    static BOOL RegisterClass(LPCWSTR className, UINT classStyle, HCURSOR cursor, HBRUSH background,
                              HICON icon) noexcept;

    // Creates a window of a class registered with RegisterClass and binds this object
    // to it: every message from WM_NCCREATE on reaches WindowProc. Returns FALSE when
    // the window could not be created, or its class is not one of ours.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU idOrMenu) noexcept;

    // --- thin wrappers of USER32 on m_hWnd ---
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept;
    // An empty rectangle when there is no window.
    void GetClientRect(LPRECT rect) const noexcept;
    void SetWindowText(LPCWSTR text) noexcept;
    HWND GetDlgItemHwnd(int id) const noexcept;
    HMENU GetSystemMenu(BOOL revert) const noexcept;
    BOOL IsIconic() const noexcept;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) noexcept;
    // Centres the window over its owner when that is visible and not minimised, else
    // in the work area of the monitor of the application's main window.
    void CenterWindow() noexcept;

  protected:
    // The message map: override, handle your messages, pass the rest to the base.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled right now, with its own
    // parameters. A dialog leaves it to the dialog manager, which processes the message
    // once WindowProc has returned.
    LRESULT Default();
    // Called after the window's last message; m_hWnd is already null.
    virtual void PostNcDestroy() {}
    // Whether destroying this window, when it is the application's main window, ends
    // the message loop with WM_QUIT(0). Modal dialogs end their own loop.
    virtual bool QuitsWhenMainWindowDestroyed() const noexcept { return true; }

  private:
    friend class CDialog;

    // The message being handled, for Default().
    struct Message {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        // A dialog's: set when the message is left to the dialog manager.
        bool* leftToDialogManager = nullptr;
    };

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // The object bound to hwnd, which must be a window of ours.
    static CWnd* BoundObject(HWND hwnd) noexcept;
    // Gives one message to WindowProc; after the window's last message, unbinds and
    // calls PostNcDestroy, which may delete the object.
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam,
                     bool* leftToDialogManager) noexcept;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void Bind(HWND hwnd) noexcept;
    // Forgets the window; a main window that goes ends the message loop.
    void Unbind() noexcept;

    bool m_bBound = false; // m_hWnd is a window this object was bound to, not a view
    Message m_current;
    int m_nDepth = 0; // messages of this window being handled, nested ones included
    bool m_bPostNcDestroyDue = false;
};

inline HWND HwndOf(const CWnd* wnd) noexcept {
    return wnd ? wnd->m_hWnd : nullptr;
}
