// startup_bench water W H [TICKS]: water steps of a W x H screen after 300 steps of
// rain, with each kernel set the processor runs, on pictures in page-aligned memory
// as DIB sections are. Needs no display.
#include "bench.h"
#include "bench_util.h"

#include "ripple/ripple_kernels.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace bench {

namespace {

// Page-aligned pixels, as a DIB section's.
class Pixels {
  public:
    explicit Pixels(std::size_t count)
        : m_bits(static_cast<std::uint32_t*>(
              ::VirtualAlloc(nullptr, count * 4, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~Pixels() {
        if (m_bits)
            ::VirtualFree(m_bits, 0, MEM_RELEASE);
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;
    std::uint32_t* get() const { return m_bits; }

  private:
    std::uint32_t* m_bits;
};

} // namespace

int TickUntilRain(rillo::Rainfall& rain, const std::uint32_t* picture, std::uint32_t* frame,
                  long* ticks) {
    // A drop needs a point in the acceptance rectangle; on any real screen a few
    // ticks find one, so many ticks without one mean nothing can rain.
    for (int i = 0; i < 100000; ++i) {
        const int steps = rain.Tick(picture, frame);
        if (ticks)
            ++*ticks;
        if (steps > 0)
            return steps;
    }
    return 0;
}

int Water(std::int32_t w, std::int32_t h, int ticks) {
    if (w < 3 || h < 3 || ticks < 1 || !(std::int64_t(w) * h <= (1 << 26)))
        return 2;
    const std::size_t n = std::size_t(w) * h;
    Pixels source(n), frame(n);
    if (!source.get() || !frame.get())
        return 1;
    for (std::size_t i = 0; i < n; ++i)
        source.get()[i] = std::uint32_t(i * 2654435761u) & 0x00FFFFFFu;
    Table t;
    for (const rillo::RippleKernels* k : rillo::RunnableKernels()) {
        if (k == &rillo::kPortableKernels)
            continue;
        // The same rain and water for every kernel set: they compute the same frames,
        // bit for bit, so the warm-up ends on the same water whichever set ran it.
        rillo::Rainfall rain;
        rain.GetField().SetKernels(*k);
        if (!rain.Resize(w, h))
            return 1;
        for (int steps = 0; steps < 300;) {
            const int ran = TickUntilRain(rain, source.get(), frame.get());
            if (ran == 0)
                return 1;
            steps += ran;
        }
        int steps = 0;
        for (int i = 0; i < ticks; ++i) {
            const double t0 = Now();
            const int ran = TickUntilRain(rain, source.get(), frame.get());
            const double ms = Now() - t0;
            if (ran == 0)
                return 1;
            steps += ran;
            t.Add(std::string("step (tick / its steps), ") + k->pszName, ms / ran);
        }
        std::printf("%s: %d raining ticks ran %d steps\n", k->pszName, ticks, steps);
    }
    std::printf("%d x %d\n", w, h);
    t.Print("water steps after 300 steps of rain");
    return 0;
}

} // namespace bench
