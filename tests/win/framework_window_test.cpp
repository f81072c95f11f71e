#include "framework/dc.h"
#include "framework/win_app.h"
#include "framework/wnd.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

constexpr wchar_t kClass[] = L"RilloFrameworkWindowTest";

struct Log {
    std::vector<UINT> messages;
    bool postNcDestroy = false;
    HWND hwndAtPostNcDestroy = reinterpret_cast<HWND>(1);
    bool deleted = false;
    // The WM_CLOSE handler, which destroys the window, still ran on a live object.
    bool closeHandlerOutlivedWindow = false;
};

class CLoggingWnd : public CWnd {
  public:
    CLoggingWnd(Log& log, bool autoDelete) : m_log(log), m_autoDelete(autoDelete) {}
    ~CLoggingWnd() override { m_log.deleted = true; }

    int m_createResult = 0;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_log.messages.push_back(message);
        switch (message) {
        case WM_CREATE:
            if (Default() == -1)
                return -1;
            return m_createResult;
        case WM_USER + 1:
            return 42 + static_cast<LRESULT>(wParam);
        case WM_USER + 2:
            throw std::runtime_error("handler failure");
        case WM_SETTEXT:
            // Default() forwards the message being handled, parameters unchanged, also
            // after a nested message.
            SendMessage(WM_USER + 1);
            return Default();
        case WM_CLOSE: {
            const LRESULT result = Default(); // destroys the window
            m_log.closeHandlerOutlivedWindow = m_hWnd == nullptr && !m_log.postNcDestroy;
            return result;
        }
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override {
        m_log.postNcDestroy = true;
        m_log.hwndAtPostNcDestroy = m_hWnd;
        if (m_autoDelete)
            delete this;
    }

  private:
    Log& m_log;
    bool m_autoDelete;
};

std::wstring TextOf(HWND hwnd) {
    wchar_t text[64] = {};
    ::GetWindowTextW(hwnd, text, 64);
    return text;
}

bool Contains(const std::vector<UINT>& v, UINT m) {
    for (UINT x : v)
        if (x == m)
            return true;
    return false;
}

class FrameworkWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CWnd::RegisterClass(kClass, 0, nullptr, nullptr, nullptr));
    }
};

} // namespace

TEST_F(FrameworkWindow, RegisteringTwiceSucceeds) {
    EXPECT_TRUE(CWnd::RegisterClass(kClass, CS_HREDRAW, nullptr, nullptr, nullptr));
    EXPECT_FALSE(CWnd::RegisterClass(nullptr, 0, nullptr, nullptr, nullptr));
}

TEST_F(FrameworkWindow, EveryMessageFromNcCreateReachesTheObject) {
    Log log;
    {
        CLoggingWnd wnd(log, false);
        ASSERT_TRUE(wnd.CreateEx(0, kClass, L"t", WS_POPUP, 0, 0, 50, 40, nullptr, nullptr));
        ASSERT_NE(wnd.m_hWnd, nullptr);
        ASSERT_FALSE(log.messages.empty());
        EXPECT_EQ(log.messages.front(), UINT(WM_NCCREATE));
        EXPECT_TRUE(Contains(log.messages, WM_CREATE));

        EXPECT_EQ(wnd.SendMessage(WM_USER + 1, 3), 45);
        // A throwing handler answers 0 and the exception stays on our side.
        EXPECT_EQ(wnd.SendMessage(WM_USER + 2), 0);
        wnd.SetWindowText(L"caption");
        EXPECT_EQ(TextOf(wnd.m_hWnd), L"caption");
        EXPECT_TRUE(wnd.PostMessage(WM_USER + 1));
        RECT rc{};
        wnd.GetClientRect(&rc);
        EXPECT_EQ(rc.right, 50);
        EXPECT_EQ(rc.bottom, 40);

        EXPECT_TRUE(::DestroyWindow(wnd.m_hWnd));
        EXPECT_EQ(wnd.m_hWnd, nullptr);
        EXPECT_TRUE(log.postNcDestroy);
        EXPECT_EQ(log.hwndAtPostNcDestroy, nullptr);
        EXPECT_EQ(log.messages.back(), UINT(WM_NCDESTROY));
    }
    EXPECT_TRUE(log.deleted);
}

TEST_F(FrameworkWindow, HeapWindowDeletesItselfAfterItsLastMessage) {
    Log log;
    auto* wnd = new CLoggingWnd(log, true);
    ASSERT_TRUE(wnd->CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    HWND hwnd = wnd->m_hWnd;
    ::DestroyWindow(hwnd);
    EXPECT_TRUE(log.postNcDestroy);
    EXPECT_TRUE(log.deleted);
    EXPECT_FALSE(::IsWindow(hwnd));

    // Destroyed from inside its own handler: deleted once that handler has returned.
    Log closed;
    wnd = new CLoggingWnd(closed, true);
    ASSERT_TRUE(wnd->CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    hwnd = wnd->m_hWnd;
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_TRUE(closed.closeHandlerOutlivedWindow);
    EXPECT_TRUE(closed.deleted);
}

TEST_F(FrameworkWindow, FailedCreationLeavesNoWindow) {
    Log log;
    CLoggingWnd wnd(log, false);
    wnd.m_createResult = -1;
    EXPECT_FALSE(wnd.CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_TRUE(log.postNcDestroy);
    EXPECT_FALSE(
        wnd.CreateEx(0, L"NoSuchClassAnywhere", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
}

TEST_F(FrameworkWindow, OnlyOurClassesAndOneWindowPerObject) {
    Log log;
    CLoggingWnd parent(log, false);
    ASSERT_TRUE(parent.CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
    {
        Log childLog;
        CLoggingWnd child(childLog, false);
        ASSERT_TRUE(child.CreateEx(0, kClass, L"", WS_CHILD, 0, 0, 50, 20, parent.m_hWnd,
                                   reinterpret_cast<HMENU>(7)));
        EXPECT_EQ(parent.GetDlgItemHwnd(7), child.m_hWnd);
        EXPECT_FALSE(child.CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr));
    } // the object's end destroys its window and unbinds first
    EXPECT_EQ(parent.GetDlgItemHwnd(7), nullptr);

    // A system control would never reach the object: it is not left behind unowned.
    Log editLog;
    CLoggingWnd edit(editLog, false);
    EXPECT_FALSE(edit.CreateEx(0, L"EDIT", L"abc", WS_CHILD, 0, 0, 50, 20, parent.m_hWnd,
                               reinterpret_cast<HMENU>(8)));
    EXPECT_EQ(edit.m_hWnd, nullptr);
    EXPECT_EQ(parent.GetDlgItemHwnd(8), nullptr);
    EXPECT_TRUE(editLog.messages.empty());
    ::DestroyWindow(parent.m_hWnd);
}

TEST_F(FrameworkWindow, AViewOfAForeignWindowOwnsNothing) {
    HWND foreign = ::CreateWindowExW(0, L"STATIC", L"foreign", WS_POPUP, 0, 0, 30, 30, nullptr,
                                     nullptr, nullptr, nullptr);
    ASSERT_NE(foreign, nullptr);
    {
        CWnd view;
        view.m_hWnd = foreign;
        RECT rc{};
        view.GetClientRect(&rc);
        EXPECT_EQ(rc.right, 30);
        EXPECT_EQ(rc.bottom, 30);
    }
    EXPECT_TRUE(::IsWindow(foreign));
    EXPECT_EQ(TextOf(foreign), L"foreign");
    ::DestroyWindow(foreign);

    // An object without a window answers harmlessly.
    CWnd none;
    RECT r{1, 2, 3, 4};
    none.GetClientRect(&r);
    EXPECT_EQ(r.right, 0);
    EXPECT_FALSE(none.PostMessage(WM_CLOSE));
    EXPECT_EQ(none.SendMessage(WM_USER), 0);
    EXPECT_EQ(none.SetTimer(1, 10), 0u);
    EXPECT_EQ(HwndOf(nullptr), nullptr);
}

TEST_F(FrameworkWindow, MainWindowDestructionPostsQuit) {
    CWinApp app;
    EXPECT_EQ(GetCurrentApp(), &app);
    Log log;
    CLoggingWnd wnd(log, false);
    ASSERT_TRUE(wnd.CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    app.m_pMainWnd = &wnd;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ::DestroyWindow(wnd.m_hWnd);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(FrameworkWindow, DeviceContextsOfWindows) {
    Log log;
    CLoggingWnd wnd(log, false);
    ASSERT_TRUE(wnd.CreateEx(0, kClass, L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr));
    {
        CClientDC client(&wnd);
        EXPECT_NE(client.GetSafeHdc(), nullptr);
        CClientDC screen(nullptr);
        ASSERT_NE(screen.GetSafeHdc(), nullptr);
        EXPECT_EQ(screen.GetDeviceCaps(HORZRES), ::GetSystemMetrics(SM_CXSCREEN));
        CDC memory;
        ASSERT_TRUE(memory.CreateCompatibleDC(&screen));
        EXPECT_EQ(::GetObjectType(memory.GetSafeHdc()), DWORD(OBJ_MEMDC));
    }
    ::DestroyWindow(wnd.m_hWnd);
}
