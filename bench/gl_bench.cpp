// The GL engine on whatever OpenGL 4.3 the machine's EGL offers (a headless context):
// one saver tick (two rain attempts, each a drop and a step) and one step (a drop and
// a render, which includes the wave step), at 1920 x 1080 and 3840 x 2160, on water
// after many drops. Wall time covers the work through glFinish; gpu_ms is what GL
// timer queries measure on the graphics side; cpu_ms the processor time of the whole
// process (every thread: a software renderer's work shows there, whatever else the
// machine is doing). The engine's start is timed too: the
// shaders built, and the self-test run.
#include "gl/gl_rainfall.h"
#include "gl/gl_ripple_engine.h"
#include "gl/gl_self_test.h"
#include "headless_gl.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace rillo::gl;

constexpr int kWarmUpSteps = 100;
constexpr rillo::SaverSettings kSettings{};

struct TimerQueries {
    void(RILLO_GL_CALL* GenQueries)(GLsizei, GLuint*) = nullptr;
    void(RILLO_GL_CALL* DeleteQueries)(GLsizei, const GLuint*) = nullptr;
    void(RILLO_GL_CALL* QueryCounter)(GLuint, GLenum) = nullptr;
    void(RILLO_GL_CALL* GetQueryObjectui64v)(GLuint, GLenum, GLuint64*) = nullptr;
    void(RILLO_GL_CALL* Finish)() = nullptr;

    explicit TimerQueries(Loader load) {
        GenQueries = reinterpret_cast<decltype(GenQueries)>(load("glGenQueries"));
        DeleteQueries = reinterpret_cast<decltype(DeleteQueries)>(load("glDeleteQueries"));
        QueryCounter = reinterpret_cast<decltype(QueryCounter)>(load("glQueryCounter"));
        GetQueryObjectui64v =
            reinterpret_cast<decltype(GetQueryObjectui64v)>(load("glGetQueryObjectui64v"));
        Finish = reinterpret_cast<decltype(Finish)>(load("glFinish"));
    }
    bool Usable() const {
        return GenQueries && DeleteQueries && QueryCounter && GetQueryObjectui64v && Finish;
    }
};

rillo::HeadlessGl* Context(std::string& why) {
    static std::string s_why;
    static std::unique_ptr<rillo::HeadlessGl> s_context = rillo::MakeHeadlessGl(s_why);
    why = s_why;
    return s_context.get();
}

std::vector<std::uint32_t> MakePicture(std::int32_t w, std::int32_t h) {
    std::vector<std::uint32_t> p(std::size_t(w) * h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            p[std::size_t(y) * w + x] = std::uint32_t((x * 7 + y * 3) & 255) << 16 |
                                        std::uint32_t((x ^ y) & 255) << 8 |
                                        std::uint32_t((x + y) & 255);
    return p;
}

// bSteps: time single steps (every attempt a drop at the rain's place) instead of ticks.
void Run(benchmark::State& state, bool bSteps) {
    std::string why;
    rillo::HeadlessGl* context = Context(why);
    if (!context) {
        state.SkipWithError(("no OpenGL 4.3 context: " + why).c_str());
        return;
    }
    const TimerQueries q(context->GetLoader());
    rillo::CGlRippleEngine engine(context->GetLoader());
    const auto w = std::int32_t(state.range(0)), h = std::int32_t(state.range(1));
    const std::vector<std::uint32_t> picture = MakePicture(w, h);
    rillo::GlRainfall rainfall(engine, kSettings);
    if (!q.Usable() || !engine.IsUsable() || !rainfall.Resize(w, h) ||
        !engine.SetPicture(picture.data()) || !engine.SetFrame(picture.data())) {
        state.SkipWithError(("GL engine: " + engine.GetFailure()).c_str());
        return;
    }
    const std::int32_t strength = rainfall.GetStrength();
    CRain& rain = rainfall.GetRain();
    const rillo::ScreenRect everywhere{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    for (int n = 0; n < kWarmUpSteps;)
        n += rainfall.Tick();
    engine.Finish();
    GLuint query[2] = {};
    q.GenQueries(2, query);
    double gpuSeconds = 0;
    std::int64_t steps = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        q.QueryCounter(query[0], TIMESTAMP);
        if (bSteps) {
            const RainAttempt a = rain.Attempt(w, h, everywhere);
            engine.Drop(a.nCellX, a.nCellY, kSettings.nWavelength, strength, engine.GetCurrent());
            engine.Render();
            ++steps;
        } else {
            steps += rainfall.Tick();
        }
        q.QueryCounter(query[1], TIMESTAMP);
        GLuint64 start = 0, end = 0;
        q.GetQueryObjectui64v(query[0], QUERY_RESULT, &start); // waits for the result
        q.GetQueryObjectui64v(query[1], QUERY_RESULT, &end);
        q.Finish();
        gpuSeconds += double(end - start) * 1e-9;
    }
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    q.DeleteQueries(2, query);
    if (!engine.Finish()) {
        state.SkipWithError(("GL engine: " + engine.GetFailure()).c_str());
        return;
    }
    state.counters["gpu_ms"] = benchmark::Counter(gpuSeconds * 1e3 / double(state.iterations()));
    state.counters["cpu_ms"] = benchmark::Counter(cpuSeconds * 1e3 / double(state.iterations()));
    state.counters["steps"] = benchmark::Counter(double(steps) / double(state.iterations()));
    state.SetLabel(engine.GetRenderer());
}

void BM_GlTick(benchmark::State& state) {
    Run(state, false);
}
void BM_GlStep(benchmark::State& state) {
    Run(state, true);
}

// The start of the engine: functions loaded and shaders built, then the self-test.
void BM_GlStart(benchmark::State& state) {
    std::string why;
    rillo::HeadlessGl* context = Context(why);
    if (!context) {
        state.SkipWithError(("no OpenGL 4.3 context: " + why).c_str());
        return;
    }
    double buildSeconds = 0, testSeconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        rillo::CGlRippleEngine engine(context->GetLoader());
        engine.Finish();
        const auto t1 = std::chrono::steady_clock::now();
        if (!rillo::RunGlSelfTest(engine, &why)) {
            state.SkipWithError(("self-test: " + why).c_str());
            return;
        }
        const auto t2 = std::chrono::steady_clock::now();
        buildSeconds += std::chrono::duration<double>(t1 - t0).count();
        testSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["build_ms"] =
        benchmark::Counter(buildSeconds * 1e3 / double(state.iterations()));
    state.counters["selftest_ms"] =
        benchmark::Counter(testSeconds * 1e3 / double(state.iterations()));
}

} // namespace

BENCHMARK(BM_GlStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlStep)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_GlTick)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
