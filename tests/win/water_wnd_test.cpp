// The water window in the saver's own process: the preview pane's picture, and the
// timer ticks that leave a preview untouched.
#include "res/resource.h"
#include "saver/water_wnd.h"
#include "win_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class WaterWindowPreview : public ::testing::TestWithParam<SIZE> {
  protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"RilloPreviewHost";
        wc.hbrBackground = HBRUSH(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&wc);
    }
};

} // namespace

TEST_P(WaterWindowPreview, PaneShowsThePictureTiledFromItsTopLeftCorner) {
    const SIZE size = GetParam();
    HWND host = CreateWindowExW(0, L"RilloPreviewHost", L"", WS_POPUP | WS_VISIBLE, 10, 10, size.cx,
                                size.cy, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    RECT client;
    GetClientRect(host, &client);

    CWnd pane; // a view of the host, which it does not own
    pane.m_hWnd = host;
    auto* water = new CWaterWnd({}); // deletes itself with its window
    ASSERT_TRUE(water->Create(0, WS_CHILD | WS_VISIBLE, client, &pane, 0, nullptr));
    HWND child = water->m_hWnd;
    rillo::test::PumpMessages(300); // the paint, and a few ticks that must change nothing
    // The user is choosing a saver in the control panel: the pointer stays visible.
    EXPECT_EQ(HCURSOR(GetClassLongPtrW(child, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_ARROW));

    HBITMAP tile = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PREVIEW));
    ASSERT_NE(tile, nullptr);
    BITMAP bm{};
    GetObjectW(tile, sizeof bm, &bm);
    const std::vector<rillo::Pixel> want = rillo::test::BitmapRows(tile, bm.bmWidth, bm.bmHeight);
    DeleteObject(tile);

    HDC dc = GetDC(child);
    const std::vector<rillo::Pixel> got = rillo::test::DcRows(dc, size.cx, size.cy);
    ReleaseDC(child, dc);
    int wrong = 0;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            wrong += got[size_t(y) * size_t(size.cx) + size_t(x)] !=
                     want[size_t(y % bm.bmHeight) * size_t(bm.bmWidth) + size_t(x % bm.bmWidth)];
    EXPECT_EQ(wrong, 0) << "of " << size.cx * size.cy << " pixels";

    DestroyWindow(host); // takes the preview with it
    EXPECT_FALSE(IsWindow(child));
}

INSTANTIATE_TEST_SUITE_P(Panes, WaterWindowPreview,
                         ::testing::Values(SIZE{400, 300}, SIZE{100, 60}, SIZE{158, 116}));

namespace {

// Runs messages until the window's client area is w x h, for up to 3 s.
bool ClientBecomes(HWND hwnd, int w, int h) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 3000;) {
        RECT r{};
        GetClientRect(hwnd, &r);
        if (r.right == w && r.bottom == h)
            return true;
        rillo::test::PumpMessages(20);
    }
    return false;
}

} // namespace

// The pane may change size while the preview runs: the child follows it, smaller and
// larger, and the picture is tiled afresh over all of it.
TEST_F(WaterWindowPreview, FollowsItsPaneWhenThePaneIsResized) {
    HWND host = CreateWindowExW(0, L"RilloPreviewHost", L"", WS_POPUP | WS_VISIBLE, 10, 10, 200,
                                150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    RECT client;
    GetClientRect(host, &client);
    CWnd pane; // a view of the host, which it does not own
    pane.m_hWnd = host;
    auto* water = new CWaterWnd({}); // deletes itself with its window
    ASSERT_TRUE(water->Create(0, WS_CHILD | WS_VISIBLE, client, &pane, 0, nullptr));
    HWND child = water->m_hWnd;

    HBITMAP tile = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PREVIEW));
    ASSERT_NE(tile, nullptr);
    BITMAP bm{};
    GetObjectW(tile, sizeof bm, &bm);
    const std::vector<rillo::Pixel> want = rillo::test::BitmapRows(tile, bm.bmWidth, bm.bmHeight);
    DeleteObject(tile);

    for (const SIZE size : {SIZE{420, 330}, SIZE{120, 90}}) {
        SetWindowPos(host, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        ASSERT_TRUE(ClientBecomes(child, size.cx, size.cy)) << size.cx << " x " << size.cy;
        RedrawWindow(child, nullptr, nullptr, RDW_UPDATENOW);
        HDC dc = GetDC(child);
        const std::vector<rillo::Pixel> got = rillo::test::DcRows(dc, size.cx, size.cy);
        ReleaseDC(child, dc);
        int wrong = 0;
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x)
                wrong +=
                    got[size_t(y) * size_t(size.cx) + size_t(x)] !=
                    want[size_t(y % bm.bmHeight) * size_t(bm.bmWidth) + size_t(x % bm.bmWidth)];
        EXPECT_EQ(wrong, 0) << "of " << size.cx * size.cy << " pixels";
    }
    DestroyWindow(host);
}
