// startup_bench steps [ROUNDS]: the full-screen window's start-up steps in its order,
// over the desktop picture shown full screen; the first round apart (cold).
#include "bench.h"
#include "bench_util.h"

#include "framework/dc.h"
#include "ripple/dib_surface.h"
#include "saver/rainfall.h"
#include "saver/saver_wnd.h"
#include "saver/snapshot.h"

#include <cstdio>
#include <string>
#include <utility>

namespace bench {

namespace {

// The host of a lone primary window that is never shown: nothing ticks or closes it.
class IdleHost final : public ISaverWndHost {
  public:
    void Tick() override {}
    void CloseAll() override {}
    bool IsSaverWindow(HWND) const override { return false; }
    bool OnMouseMove(int, int) override { return false; }
    rillo::CVisibility& Visibility() override { return m_visibility; }

  private:
    rillo::CVisibility m_visibility;
};

} // namespace

int Steps(int rounds) {
    Desktop desktop;
    std::printf("screen %d x %d, %d bits per pixel\n", ScreenWidth(), ScreenHeight(),
                ScreenDepth());
    Table later, first;
    for (int round = 0; round < rounds; ++round) {
        Table& table = round == 0 ? first : later;
        const double start = Now();
        double t0 = start;
        auto lap = [&](const char* name) {
            const double t1 = Now();
            table.Add(name, t1 - t0);
            t0 = t1;
        };
        int w = 0, h = 0;
        {
            CClientDC screen(nullptr);
            w = screen.GetDeviceCaps(HORZRES);
            h = screen.GetDeviceCaps(VERTRES);
        }
        lap("1 screen size (GetDeviceCaps)");
        const std::wstring path = BuildSnapshotPath();
        lap("2 BuildSnapshotPath");
        SaveDesktopSnapshot(path);
        lap("3 SaveDesktopSnapshot (capture + file)");
        rillo::UniqueBitmap snapshot = LoadSnapshot(path);
        lap("4 LoadSnapshot (reload + flip)");
        IPicture* picture = MakePicture(snapshot.get());
        if (picture)
            snapshot.release();
        lap("5 OleCreatePictureIndirect");
        CDibSurface source, frame;
        if (picture)
            source.CreateFromBitmap(picture, w, h);
        lap("6 CreateFromBitmap (source)");
        if (picture)
            frame.CreateFromBitmap(picture, w, h);
        lap("7 CreateFromBitmap (frame)");
        if (picture)
            picture->Release();
        lap("  IPicture::Release");
        rillo::Rainfall rain;
        rain.Resize(w, h);
        lap("8 Rainfall::Resize (the field)");
        table.Add("= all of the above", Now() - start);

        // The parts on their own.
        DesktopCapture capture;
        t0 = Now();
        CaptureDesktop(capture);
        lap("  3a capture alone (BitBlt + GetDIBits)");
        {
            const std::wstring copy = path + L".bench";
            WriteSnapshotFile(copy, capture);
            lap("  3b file write alone (same bytes)");
            ::DeleteFileW(copy.c_str());
            t0 = Now();
        }
        rillo::UniqueBitmap loaded(static_cast<HBITMAP>(
            ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                         LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE)));
        lap("  4a LoadImage alone");
        rillo::UniqueBitmap flipped = FlipBitmap(loaded.get());
        lap("  4b FlipBitmap alone");

        // And the primary window made as the saver makes it, as a check on the sum:
        // the capture, the same preparation, then a window that is never shown,
        // destroyed with the object.
        {
            const rillo::SaverScreen screen{{0, 0, w, h}, true, rillo::ScreenSeed(0)};
            IdleHost host;
            t0 = Now();
            DesktopCapture capture;
            CaptureScreen(screen.rect, capture);
            CSaverWnd wnd({}, screen, std::move(capture), host);
            wnd.PreparePicture();
            const BOOL made = wnd.CreateFullScreen(nullptr);
            lap(made ? "  CSaverWnd made (hidden) in one go" : "  CSaverWnd not made");
        }
        Pump(20);
    }
    first.Print("first round (cold)");
    if (rounds > 1)
        later.Print("later rounds");
    return 0;
}

} // namespace bench
