// The full-screen saver in the test's own process, over a desktop with a known
// picture: what it paints before any rain and how its windows appear, that it rests
// while nobody can see it, and what becomes of the snapshot file.
#include "saver/full_screen_saver.h"
#include "saver/saver_wnd.h"
#include "saver/snapshot.h"
#include "win_test_util.h"

#include <gtest/gtest.h>

#include <wtsapi32.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <utility>
#include <vector>

namespace {

using rillo::Pixel;

constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

class SaverWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        m_w = ::GetSystemMetrics(SM_CXSCREEN);
        m_h = ::GetSystemMetrics(SM_CYSCREEN);
        static const BOOL registered =
            CWnd::RegisterClass(L"RilloSaverTestPattern", 0, nullptr, nullptr, nullptr);
        ASSERT_TRUE(registered);
        m_pattern = std::make_unique<rillo::test::CPatternWnd>(m_w, m_h);
        ASSERT_TRUE(m_pattern->CreateEx(0, L"RilloSaverTestPattern", L"", WS_POPUP | WS_VISIBLE, 0,
                                        0, m_w, m_h, nullptr, nullptr));
        ::UpdateWindow(m_pattern->m_hWnd);
        rillo::test::PumpMessages(300);
        m_snapshot = BuildSnapshotPath();
    }

    void TearDown() override {
        if (m_saverWnd && ::IsWindow(m_saverWnd))
            ::DestroyWindow(m_saverWnd);
        if (m_pattern)
            ::DestroyWindow(m_pattern->m_hWnd);
    }

    // The saver over the primary screen, as the application makes it; or over the
    // given monitors.
    HWND StartSaver(std::vector<rillo::MonitorInfo> monitors = {}) {
        const rillo::ScreenRect primary{0, 0, m_w, m_h};
        if (monitors.empty())
            monitors.push_back({primary, true});
        CSaverWnd* wnd = m_saver.Create(rillo::LayOutScreens(monitors, primary));
        m_saverWnd = wnd ? wnd->m_hWnd : nullptr;
        return m_saverWnd;
    }

    std::vector<Pixel> Screen(HWND hwnd = nullptr, int w = 0, int h = 0) {
        hwnd = hwnd ? hwnd : m_saverWnd;
        HDC dc = ::GetDC(hwnd);
        std::vector<Pixel> rows = rillo::test::DcRows(dc, w ? w : m_w, h ? h : m_h);
        ::ReleaseDC(hwnd, dc);
        return rows;
    }

    std::vector<Pixel> Desktop(const rillo::ScreenRect& part) const {
        std::vector<Pixel> rows;
        for (int y = part.top; y < part.bottom; ++y)
            for (int x = part.left; x < part.right; ++x)
                rows.push_back(rillo::test::Pattern(x, y));
        return rows;
    }
    std::vector<Pixel> Desktop() const { return Desktop({0, 0, m_w, m_h}); }

    void SendDisplayState(DWORD state) {
        struct {
            POWERBROADCAST_SETTING setting;
            DWORD data;
        } message{};
        message.setting.PowerSetting = kConsoleDisplayState;
        message.setting.DataLength = sizeof(DWORD);
        std::memcpy(message.setting.Data, &state, sizeof state);
        ::SendMessageW(m_saverWnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                       reinterpret_cast<LPARAM>(&message.setting));
    }

    bool Rains() {
        const std::vector<Pixel> before = Screen();
        rillo::test::PumpMessages(600); // ten ticks
        return Screen() != before;
    }

    int m_w = 0, m_h = 0;
    std::unique_ptr<rillo::test::CPatternWnd> m_pattern;
    std::wstring m_snapshot;
    CFullScreenSaver m_saver{rillo::SaverSettings{}};
    HWND m_saverWnd = nullptr;
};

} // namespace

// Before the first tick the saver shows the desktop it photographed, painted by
// itself: a composited desktop shows nothing behind an unpainted window.
TEST_F(SaverWindow, PaintsTheDesktopBeforeTheFirstDropAndRestsWhileNobodyCanSee) {
    ASSERT_NE(StartSaver(), nullptr);
    // Over the saver the pointer is the blank cursor, not the preview's arrow.
    const auto cursor = HCURSOR(GetClassLongPtrW(m_saverWnd, GCLP_HCURSOR));
    EXPECT_NE(cursor, nullptr);
    EXPECT_NE(cursor, LoadCursorW(nullptr, IDC_ARROW));
    // Resting from the start: no tick may change the picture meanwhile.
    SendDisplayState(0);
    ::RedrawWindow(m_saverWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    rillo::test::PumpMessages(300);
    EXPECT_EQ(Screen(), Desktop());
    EXPECT_FALSE(Rains()) << "rain with the display off";

    SendDisplayState(2); // dimmed: still seen
    EXPECT_TRUE(Rains()) << "no rain with the display dimmed";
    SendDisplayState(1);
    EXPECT_TRUE(Rains()) << "no rain with the display back on";

    ::SendMessageW(m_saverWnd, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    EXPECT_FALSE(Rains()) << "rain in a locked session";
    SendDisplayState(1); // the display coming on does not unlock the session
    EXPECT_FALSE(Rains()) << "rain in a locked session with the display on";
    ::SendMessageW(m_saverWnd, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_TRUE(Rains()) << "no rain after unlocking";
    ::SendMessageW(m_saverWnd, WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, 0);
    EXPECT_FALSE(Rains()) << "rain with the session disconnected";
    ::SendMessageW(m_saverWnd, WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, 0);
    EXPECT_TRUE(Rains()) << "no rain after reconnecting";
}

// The snapshot file shows the user's screen: it is gone as soon as it has been read
// back, while the saver runs, and an older one left at its place goes with it.
TEST_F(SaverWindow, TheSnapshotFileIsGoneOnceTheSaverShows) {
    HANDLE f =
        ::CreateFileW(m_snapshot.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ::CloseHandle(f);
    ASSERT_NE(StartSaver(), nullptr);
    EXPECT_EQ(::GetFileAttributesW(m_snapshot.c_str()), INVALID_FILE_ATTRIBUTES);
    ::SendMessageW(m_saverWnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(m_saverWnd));
    EXPECT_EQ(::GetFileAttributesW(m_snapshot.c_str()), INVALID_FILE_ATTRIBUTES);
}

namespace {

// The saver's windows that exist when the first of them is about to be shown.
int g_windowsAtFirstShow = -1;

BOOL CALLBACK CountSaverWindow(HWND hwnd, LPARAM count) {
    wchar_t name[32] = L"";
    ::GetClassNameW(hwnd, name, 32);
    if (std::wcscmp(name, L"RilloWater") == 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

LRESULT CALLBACK WatchFirstShow(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_WINDOWPOSCHANGING && g_windowsAtFirstShow < 0 &&
        (reinterpret_cast<const WINDOWPOS*>(call->lParam)->flags & SWP_SHOWWINDOW)) {
        int count = 0;
        CountSaverWindow(call->hwnd, LPARAM(&count));
        if (count == 1) {
            count = 0;
            ::EnumThreadWindows(::GetCurrentThreadId(), CountSaverWindow, LPARAM(&count));
            g_windowsAtFirstShow = count;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

// Every monitor's picture is ready before any window shows, and each window shows
// its part of the desktop, painted, as soon as the saver is made: none stays black
// or stale while another monitor's picture is being prepared.
TEST_F(SaverWindow, AllMonitorsAppearTogetherAlreadyPainted) {
    const rillo::ScreenRect left{0, 0, m_w / 2, m_h};
    const rillo::ScreenRect right{m_w / 2, 0, m_w, m_h};
    g_windowsAtFirstShow = -1;
    HHOOK hook =
        ::SetWindowsHookExW(WH_CALLWNDPROC, WatchFirstShow, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    const HWND primary = StartSaver({{left, true}, {right, false}});
    ::UnhookWindowsHookEx(hook);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(g_windowsAtFirstShow, 2);

    // No message has been handled since: what the windows show they painted before.
    HWND other = nullptr;
    for (HWND w = ::GetWindow(primary, GW_HWNDFIRST); w; w = ::GetWindow(w, GW_HWNDNEXT))
        if (w != primary && ::GetWindow(w, GW_OWNER) == primary)
            other = w;
    ASSERT_NE(other, nullptr);
    for (const auto& [hwnd, part] : {std::pair{primary, left}, std::pair{other, right}}) {
        EXPECT_TRUE(::IsWindowVisible(hwnd));
        EXPECT_TRUE(Screen(hwnd, part.Width(), part.Height()) == Desktop(part))
            << "the window at " << part.left << " is not painted";
    }
}

// The saver owns its windows: when it goes, they go, each through its own last
// messages while the saver can still answer them.
TEST_F(SaverWindow, ASaverThatGoesTakesItsWindowsWithIt) {
    const rillo::ScreenRect left{0, 0, m_w / 2, m_h};
    const rillo::ScreenRect right{m_w / 2, 0, m_w, m_h};
    std::vector<HWND> windows;
    {
        CFullScreenSaver saver{rillo::SaverSettings{}};
        CSaverWnd* primary =
            saver.Create(rillo::LayOutScreens({{left, true}, {right, false}}, {0, 0, m_w, m_h}));
        ASSERT_NE(primary, nullptr);
        for (HWND w = ::GetWindow(primary->m_hWnd, GW_HWNDFIRST); w;
             w = ::GetWindow(w, GW_HWNDNEXT))
            if (saver.IsSaverWindow(w))
                windows.push_back(w);
        rillo::test::PumpMessages(100);
    }
    EXPECT_EQ(windows.size(), 2u);
    for (HWND w : windows)
        EXPECT_FALSE(::IsWindow(w));
}

// A session already locked when the saver starts keeps it resting until it is back,
// as a lock while it runs does.
TEST_F(SaverWindow, StartsRestingInASessionFoundLocked) {
    m_saver.Visibility().OnSessionFoundAway();
    ASSERT_NE(StartSaver(), nullptr);
    EXPECT_FALSE(Rains()) << "rain in a session locked before the start";
    ::SendMessageW(m_saverWnd, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_TRUE(Rains()) << "no rain after unlocking";
}

// A snapshot file held open by another program can be neither written nor read
// back: the saver shows what it photographed now, never the older file, and leaves
// that file alone.
TEST_F(SaverWindow, AHeldSnapshotFileShowsTodaysDesktopAndIsLeftAlone) {
    {
        HANDLE f =
            ::CreateFileW(m_snapshot.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DesktopCapture stale;
        stale.header = rillo::MakeBmpHeader(m_w, m_h, 32);
        DWORD written = 0;
        ::WriteFile(f, stale.header.data(), DWORD(stale.header.size()), &written, nullptr);
        const std::vector<std::uint8_t> grey(std::size_t(m_w) * m_h * 4, 0x80);
        ::WriteFile(f, grey.data(), DWORD(grey.size()), &written, nullptr);
        ::CloseHandle(f);
    }
    HANDLE held =
        ::CreateFileW(m_snapshot.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_NE(StartSaver(), nullptr);
    SendDisplayState(0);
    ::RedrawWindow(m_saverWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    rillo::test::PumpMessages(200);
    EXPECT_EQ(Screen(), Desktop());
    ::SendMessageW(m_saverWnd, WM_CLOSE, 0, 0);
    ::CloseHandle(held);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(m_snapshot.c_str(), GetFileExInfoStandard, &data))
        << "another program's file was deleted";
    EXPECT_EQ(data.nFileSizeLow, 54u + DWORD(m_w) * DWORD(m_h) * 4u);
    ::DeleteFileW(m_snapshot.c_str());
}
