// startup_bench gl [ROUNDS]: what the GL engine adds to a full-screen window's start:
// trying OpenGL and refusing a software renderer (the automatic choice on llvmpipe),
// and the whole start of the GL engine ("Engine"="gl": context, shaders, self-test,
// the window's own context, buffers for the screen); then ticks with their drawing.
#include "bench.h"
#include "bench_util.h"

#include "saver/gl_water.h"

#include <cstdio>
#include <vector>

namespace bench {

int GlStart(int rounds) {
    if (rounds < 1)
        return 2;
    const int w = ScreenWidth();
    const int h = ScreenHeight();
    std::vector<std::uint32_t> picture(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture[std::size_t(y) * std::size_t(w) + std::size_t(x)] = DesktopPixel(x, y);
    Table t;
    rillo::SaverSettings settings;
    bool ran = false;
    for (int i = 0; i < rounds; ++i) {
        for (const auto choice : {rillo::EngineChoice::Auto, rillo::EngineChoice::Gl}) {
            // A window of its own each time: a pixel format, once set, stays.
            HWND hwnd = MakeWindow(L"RilloBenchGl", BlankProc, WS_EX_TOPMOST);
            if (!hwnd)
                return 1;
            settings.engine = choice;
            const double t0 = Now();
            std::unique_ptr<CGlWater> water =
                CGlWater::Create(hwnd, settings, 100, w, h, picture.data());
            const double ms = Now() - t0;
            if (choice == rillo::EngineChoice::Auto) {
                t.Add(water ? "start, automatic choice (GL engine taken)"
                            : "start, automatic choice (processor kept)",
                      ms);
            } else if (water) {
                ran = true;
                t.Add("start of the GL engine, self-test included", ms);
                for (int tick = 0; tick < 20; ++tick) {
                    const double t1 = Now();
                    if (!water->Tick())
                        break;
                    t.Add("tick with its drawing (may rain or not)", Now() - t1);
                }
            } else {
                t.Add("start refused (no GL engine here)", ms);
            }
            water.reset();
            ::DestroyWindow(hwnd);
            Pump(0);
        }
    }
    std::printf("%d x %d, GL engine %s\n", w, h, ran ? "ran" : "unavailable");
    t.Print("GL engine start");
    return 0;
}

} // namespace bench
