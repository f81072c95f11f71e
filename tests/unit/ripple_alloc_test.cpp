// The animation must not allocate: a tick runs every 60 ms for hours. This file
// replaces the global allocation functions for the whole test binary, but they
// only count while a test has opened the counting window.
#include "saver/rainfall.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

namespace {
bool g_bCounting = false;
long g_nAllocations = 0;

void* Allocate(std::size_t n) {
    if (g_bCounting)
        ++g_nAllocations;
    return std::malloc(n ? n : 1);
}
} // namespace

void* operator new(std::size_t n) {
    if (void* p = Allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

// On one thread and on a pool, one screen alone and two side by side.
TEST(RippleAllocation, ThousandTicksOfRainAllocateNothing) {
    const std::int32_t w = 320, h = 240;
    rillo::WorkerPool pool(3);
    rillo::Rainfall rain(rillo::SaverSettings{30, 100}), pooled(rillo::SaverSettings{30, 100}),
        second(rillo::SaverSettings{30, 100}, 101);
    ASSERT_TRUE(rain.Resize(w, h));
    for (rillo::Rainfall* r : {&pooled, &second}) {
        ASSERT_TRUE(r->Resize(w, h));
        r->GetField().SetWorkers(&pool);
    }
    std::vector<std::uint32_t> source(std::size_t(w) * h, 0x00336699), frame(source),
        frames[2] = {source, source};
    rillo::Rainfall* const rains[] = {&pooled, &second};
    const std::uint32_t* const pictures[] = {source.data(), source.data()};
    std::uint32_t* const outs[] = {frames[0].data(), frames[1].data()};

    long steps = 0;
    g_nAllocations = 0;
    g_bCounting = true;
    for (int tick = 0; tick < 1000; ++tick) {
        steps += rain.Tick(source.data(), frame.data());
        steps += pooled.Tick(source.data(), frames[0].data());
        steps += rillo::TickRainfalls(rains, 2, pictures, outs, pool);
    }
    g_bCounting = false;
    EXPECT_EQ(g_nAllocations, 0);
    EXPECT_GT(steps, 2000);

    g_bCounting = true; // the counter itself works
    auto probe = std::make_unique<int>(1);
    g_bCounting = false;
    EXPECT_EQ(g_nAllocations, 1);
}
