// The saver's ticks over one, two and three monitors, on one thread and on every
// core, with 16-bit and 32-bit cells (BM_Monitors); and one water step (Drop +
// Render, which includes the propagation, on one thread) at three screen sizes, for
// the production engine with each kernel set and for the literal reference, beside a
// roofline pass that moves the same bytes a step must move at least: per cell both
// height buffers read, one written, the source read and the destination written (20
// bytes). Bytes per second are reported for all, so that pass is the roofline the
// engine is measured against.
//
// The engine runs on water after a few hundred drops (ripples everywhere, as the
// saver shows after a while), after a few thousand (as rough as it gets: the
// samples scatter most) and on nearly flat water (two drops, then no more).
// Its counter x_roofline is its fastest step over the fastest roofline pass at
// the same size, both measured in the same run: on a shared machine the fastest
// times are the steadiest.
#include "ripple/ripple_field.h"
#include "ripple/ripple_kernels.h"
#include "saver/rainfall.h"
#include "saver/screen_layout.h"
#include "ripple/worker_pool.h"

#include "reference_ripple.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// The saver's default settings.
constexpr rillo::SaverSettings kSettings{};
// Even counts: the field is back at m_nCurrent = 0, which Resize restores.
constexpr int kWarmUpSteps = 300;   // about 20 s of rain: ripples all over the screen
constexpr int kLongRunSteps = 3000; // a few minutes: about as rough as the water gets
constexpr int kFlatSteps = 2;
// Raining ticks timed per run, each run from the same water: more would roughen it.
constexpr int kTimedSteps = 30;
constexpr std::int64_t kBytesPerCell = 5 * 4;

// Pictures start on a page, as the saver's DIB sections do.
template <class T> struct PageAllocator {
    using value_type = T;
    PageAllocator() = default;
    template <class U> PageAllocator(const PageAllocator<U>&) {}
    T* allocate(std::size_t n) {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(4096)));
    }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t(4096)); }
    template <class U> bool operator==(const PageAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const PageAllocator<U>&) const { return false; }
};
using Picture = std::vector<std::uint32_t, PageAllocator<std::uint32_t>>;

Picture MakePicture(std::int32_t w, std::int32_t h) {
    Picture p(std::size_t(w) * h);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            p[std::size_t(y) * w + x] = std::uint32_t((x * 7 + y * 3) & 255) << 16 |
                                        std::uint32_t((x ^ y) & 255) << 8 |
                                        std::uint32_t(((x / 16 + y / 16) & 1) * 200);
    return p;
}

// The saver's state after a while of rain, shared by the engines at one size;
// every run starts from the same water (Restore), since each step changes it.
struct Scene {
    std::int32_t w, h;
    Picture source, frame;
    rillo::Rainfall rain{kSettings};
    CRippleField& field = rain.GetField();
    std::vector<std::int32_t> saved0, saved1;
    Picture savedFrame;
    CRain savedRain;

    Scene(std::int32_t width, std::int32_t height, int warmUp)
        : w(width), h(height), source(MakePicture(width, height)), frame(source) {
        rain.Resize(w, h);
        for (int n = 0; n < warmUp;)
            n += Step();
        const std::size_t cells = std::size_t(w) * h;
        saved0.assign(field.GetBuffer(0), field.GetBuffer(0) + cells);
        saved1.assign(field.GetBuffer(1), field.GetBuffer(1) + cells);
        savedFrame = frame;
        savedRain = rain.GetRain();
    }
    void Restore() {
        rain.Resize(w, h);
        std::copy(saved0.begin(), saved0.end(), field.GetBuffer(0));
        std::copy(saved1.begin(), saved1.end(), field.GetBuffer(1));
        frame = savedFrame;
        rain.GetRain() = savedRain;
    }
    // The saver's ticks up to the next one that rains; returns its steps (1 or 2).
    // Without rain, one bare step of the water.
    int Step(bool bRain = true) {
        if (!bRain) {
            field.Render(source.data(), frame.data());
            return 1;
        }
        for (;;)
            if (const int steps = rain.Tick(source.data(), frame.data()))
                return steps;
    }
};

Scene& SceneOf(std::int32_t w, std::int32_t h, int warmUp = kWarmUpSteps) {
    static std::map<std::pair<std::pair<std::int32_t, std::int32_t>, int>, std::unique_ptr<Scene>>
        scenes;
    std::unique_ptr<Scene>& scene = scenes[{{w, h}, warmUp}];
    if (!scene)
        scene = std::make_unique<Scene>(w, h, warmUp);
    return *scene;
}

double Milliseconds(std::chrono::steady_clock::time_point a,
                    std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// One pass of the memory roofline over w * h cells.
void RooflinePass(std::vector<std::int32_t>& written, const std::vector<std::int32_t>& read,
                  const Picture& source, Picture& dest) {
    std::int32_t* pw = written.data();
    const std::int32_t* pr = read.data();
    const std::uint32_t* ps = source.data();
    std::uint32_t* pd = dest.data();
    const std::size_t n = written.size();
    for (std::size_t i = 0; i < n; ++i) {
        pw[i] = std::int32_t(std::uint32_t(pr[i]) - std::uint32_t(pw[i]));
        pd[i] = ps[i] & 0x00FFFFFFu;
    }
    benchmark::DoNotOptimize(pw);
    benchmark::DoNotOptimize(pd);
    benchmark::ClobberMemory();
}

// The fastest of a few roofline passes at this size, measured once per run.
double RooflineMs(std::int32_t w, std::int32_t h) {
    static std::map<std::pair<std::int32_t, std::int32_t>, double> known;
    auto it = known.find({w, h});
    if (it != known.end())
        return it->second;
    const std::size_t n = std::size_t(w) * h;
    std::vector<std::int32_t> written(n, 1), read(n, 2);
    Picture source(MakePicture(w, h)), dest(n);
    double best = 1e9;
    for (int pass = 0; pass < 20; ++pass) {
        const auto t0 = std::chrono::steady_clock::now();
        RooflinePass(written, read, source, dest);
        best = std::min(best, Milliseconds(t0, std::chrono::steady_clock::now()));
    }
    return known[{w, h}] = best;
}

void Finish(benchmark::State& state, std::int32_t w, std::int32_t h, std::int64_t steps) {
    state.SetBytesProcessed(steps * std::int64_t(w) * h * kBytesPerCell);
    state.counters["cells"] = double(w) * h;
}

void BM_Production(benchmark::State& state, const rillo::RippleKernels* kernels) {
    const auto w = std::int32_t(state.range(0)), h = std::int32_t(state.range(1));
    if (!kernels) {
        state.SkipWithError("not available on this processor");
        return;
    }
    const int warmUp = int(state.range(2));
    const double roofline = RooflineMs(w, h);
    Scene& s = SceneOf(w, h, warmUp);
    s.Restore();
    s.field.SetKernels(*kernels);
    double best = 1e9;
    std::int64_t steps = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int n = s.Step(warmUp != kFlatSteps);
        benchmark::DoNotOptimize(s.frame.data());
        benchmark::ClobberMemory();
        const double ms = Milliseconds(t0, std::chrono::steady_clock::now()) / n;
        state.SetIterationTime(ms / 1000);
        best = std::min(best, ms);
        steps += n;
    }
    Finish(state, w, h, steps);
    state.counters["x_roofline"] = best / roofline;
}

void BM_Reference(benchmark::State& state) {
    const auto w = std::int32_t(state.range(0)), h = std::int32_t(state.range(1));
    Scene& s = SceneOf(w, h);
    s.Restore();
    // Start from the same water and rain as the production engine.
    CReferenceRainfall ref;
    ref.m_nSeed = std::uint32_t(s.rain.GetRain().m_nSeed);
    ref.m_nWavelength = kSettings.nWavelength;
    ref.m_nAmplitude = kSettings.nAmplitude;
    CReferenceRippleField& field = ref.m_field;
    field.Resize(w, h);
    field.m_nCurrent = s.field.GetCurrent();
    std::copy(s.field.GetBuffer(0), s.field.GetBuffer(0) + field.m_buffer0.size(),
              field.m_buffer0.begin());
    std::copy(s.field.GetBuffer(1), s.field.GetBuffer(1) + field.m_buffer1.size(),
              field.m_buffer1.begin());
    Picture frame = s.frame;
    std::int64_t steps = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        int n;
        while ((n = ref.Tick(s.source.data(), frame.data())) == 0) {
        }
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
        state.SetIterationTime(Milliseconds(t0, std::chrono::steady_clock::now()) / n / 1000);
        steps += n;
    }
    Finish(state, w, h, steps);
}

// The saver's own step sequence (both buffer phases, as the rain gives them): raining
// ticks as the saver runs them, taking turns with the same ticks made to render
// every pixel, so that the average step and a full step are measured in the same
// run on the same water. Counters: avg_ms and full_ms per step, their ratio, and
// the share of the pixels that the steps from buffer 0 rendered.
void BM_SaverSteps(benchmark::State& state, const rillo::RippleKernels* kernels) {
    const auto w = std::int32_t(state.range(0)), h = std::int32_t(state.range(1));
    if (!kernels) {
        state.SkipWithError("not available on this processor");
        return;
    }
    Scene& s = SceneOf(w, h);
    s.Restore();
    s.field.SetKernels(*kernels);
    const rillo::ScreenRect accept = CRain::AcceptanceRect(w, h);
    double msAverage = 0, msFull = 0, partialShare = 0;
    int stepsAverage = 0, stepsFull = 0, partial = 0;
    bool bFull = false;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        int n = 0;
        if (!bFull) {
            n = s.Step();
        } else {
            // The same tick written out, each step told to forget what it knows.
            while (n == 0) {
                for (int attempt = 0; attempt < rillo::Rainfall::kAttemptsPerTick; ++attempt) {
                    const RainAttempt a = s.rain.GetRain().Attempt(w, h, accept);
                    if (!a.bDrop)
                        continue;
                    s.field.Drop(a.nCellX, a.nCellY, kSettings.nWavelength, s.rain.GetStrength(),
                                 s.field.GetCurrent());
                    s.field.Invalidate();
                    s.field.Render(s.source.data(), s.frame.data());
                    ++n;
                }
            }
        }
        benchmark::DoNotOptimize(s.frame.data());
        benchmark::ClobberMemory();
        const double ms = Milliseconds(t0, std::chrono::steady_clock::now());
        state.SetIterationTime(ms / 1000 / n);
        if (bFull) {
            msFull += ms;
            stepsFull += n;
        } else {
            msAverage += ms;
            stepsAverage += n;
            const RippleRect& rc = s.field.GetChangedRect();
            if (s.field.GetCurrent() == 1) { // the last step ran from buffer 0
                partialShare += double(rc.right - rc.left) * (rc.bottom - rc.top) / (double(w) * h);
                ++partial;
            }
        }
        bFull = !bFull;
    }
    Finish(state, w, h, stepsAverage + stepsFull);
    state.counters["avg_ms"] = msAverage / std::max(stepsAverage, 1);
    state.counters["full_ms"] = msFull / std::max(stepsFull, 1);
    state.counters["avg_x_full"] = state.counters["avg_ms"] / state.counters["full_ms"];
    if (partial)
        state.counters["px_share_b0"] = partialShare / partial;
}

void SaverSizes(benchmark::internal::Benchmark* b) {
    b->Args({1920, 1080})->Args({3840, 2160});
    b->Unit(benchmark::kMillisecond)->Iterations(2 * kTimedSteps)->UseManualTime();
}

// The memory roofline: the least traffic a step needs, as one plain stream.
void BM_MemoryRoofline(benchmark::State& state) {
    const auto w = std::int32_t(state.range(0)), h = std::int32_t(state.range(1));
    const std::size_t n = std::size_t(w) * h;
    std::vector<std::int32_t> written(n, 1), read(n, 2);
    Picture source(MakePicture(w, h)), dest(n);
    for (auto _ : state)
        RooflinePass(written, read, source, dest);
    Finish(state, w, h, state.iterations());
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({1024, 768})->Args({1920, 1080})->Args({3840, 2160});
    b->Unit(benchmark::kMillisecond);
}

// The production engine on rippled water only.
void Rippled(benchmark::internal::Benchmark* b) {
    b->Args({1024, 768, kWarmUpSteps})
        ->Args({1920, 1080, kWarmUpSteps})
        ->Args({3840, 2160, kWarmUpSteps});
    b->ArgNames({"", "", "drops"});
    b->Unit(benchmark::kMillisecond)->Iterations(kTimedSteps)->UseManualTime();
}

// The production engine on rippled, long-run and nearly flat water.
void States(benchmark::internal::Benchmark* b) {
    for (int warmUp : {kWarmUpSteps, kLongRunSteps, kFlatSteps})
        b->Args({1024, 768, warmUp})->Args({1920, 1080, warmUp})->Args({3840, 2160, warmUp});
    b->ArgNames({"", "", "drops"});
    b->Unit(benchmark::kMillisecond)->Iterations(kTimedSteps)->UseManualTime();
}

// The saver's tick over several monitors of one size, each with its own rain from its
// own seed, after a while of rain: what one 60 ms tick costs in all. Ticks that
// happen not to rain are part of the average, as they are on the screen. Arguments:
// width, height, monitors, threads (0: one per core, the monitors' row bands side by
// side on them), cells (0: 16-bit where they fit, 1: 32-bit only). Real time is
// the tick's; CPU time is that of every thread.
void BM_Monitors(benchmark::State& state, const rillo::RippleKernels* kernels) {
    const auto w = std::int32_t(state.range(0)), h = std::int32_t(state.range(1));
    const auto monitors = std::size_t(state.range(2));
    rillo::WorkerPool pool(int(state.range(3)));
    const Picture source = MakePicture(w, h);
    std::vector<Picture> frames(monitors, source);
    std::vector<std::unique_ptr<rillo::Rainfall>> rains;
    std::vector<rillo::Rainfall*> pointers;
    std::vector<const std::uint32_t*> pictures(monitors, source.data());
    std::vector<std::uint32_t*> outs;
    for (std::size_t n = 0; n < monitors; ++n) {
        rains.push_back(std::make_unique<rillo::Rainfall>(kSettings, rillo::ScreenSeed(n)));
        CRippleField& field = rains.back()->GetField();
        field.SetKernels(*kernels);
        field.SetWideCellsOnly(state.range(4) != 0);
        field.SetWorkers(&pool);
        rains.back()->Resize(w, h);
        pointers.push_back(rains.back().get());
        outs.push_back(frames[n].data());
    }
    const auto tick = [&] {
        rillo::TickRainfalls(pointers.data(), int(monitors), pictures.data(), outs.data(), pool);
    };
    for (int n = 0; n < kWarmUpSteps; ++n)
        tick();
    std::int64_t wide = 0, stored = 0;
    for (const auto& r : rains) {
        wide -= r->GetField().GetWideRowsStored();
        stored -= r->GetField().GetRowsStored();
    }
    for (auto _ : state) {
        tick();
        benchmark::ClobberMemory();
    }
    for (const auto& r : rains) {
        wide += r->GetField().GetWideRowsStored();
        stored += r->GetField().GetRowsStored();
    }
    state.counters["threads"] = pool.GetThreadCount();
    state.counters["wide_rows"] = double(wide) / double(std::max<std::int64_t>(stored, 1));
}

void MonitorArgs(benchmark::internal::Benchmark* b, bool bAll) {
    b->ArgNames({"", "", "monitors", "threads", "wide"});
    for (int threads : {1, 0}) {
        if (bAll) {
            b->Args({1920, 1080, 1, threads, 0})->Args({1920, 1080, 1, threads, 1});
            b->Args({3840, 2160, 1, threads, 1})->Args({3840, 2160, 2, threads, 0});
        }
        b->Args({3840, 2160, 1, threads, 0})->Args({3840, 2160, 3, threads, 0});
    }
    b->Unit(benchmark::kMillisecond)->Iterations(100)->MeasureProcessCPUTime()->UseRealTime();
}

BENCHMARK(BM_MemoryRoofline)->Apply(Sizes);
BENCHMARK(BM_Reference)->Apply(Sizes)->UseManualTime();

// Each kernel set the processor runs, widest first.
const bool g_bRegistered = [] {
    for (const rillo::RippleKernels* k : rillo::RunnableKernels()) {
        const std::string name = k->pszName;
        auto* b = benchmark::RegisterBenchmark(("BM_Production/" + name).c_str(), BM_Production, k);
        if (k == &rillo::kPortableKernels)
            b->Apply(Rippled);
        else
            b->Apply(States);
    }
    for (const rillo::RippleKernels* k : rillo::RunnableKernels())
        benchmark::RegisterBenchmark(("BM_SaverSteps/" + std::string(k->pszName)).c_str(),
                                     BM_SaverSteps, k)
            ->Apply(SaverSizes);
    for (const rillo::RippleKernels* k : rillo::RunnableKernels()) {
        if (k == &rillo::kPortableKernels)
            continue;
        auto* b = benchmark::RegisterBenchmark(("BM_Monitors/" + std::string(k->pszName)).c_str(),
                                               BM_Monitors, k);
        MonitorArgs(b, k == &rillo::WidestKernels());
    }
    return true;
}();

} // namespace
