// A full-screen window's water on the GL engine, and the processor engine taking it
// over part way: the rain, the water and the frame go on exactly as if the processor
// had run from the start. Skipped, saying so, where no OpenGL 4.3 context can be made.
#include "saver/gl_water.h"

#include "saver/rainfall.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::int32_t kWidth = 160;
constexpr std::int32_t kHeight = 90;
constexpr std::int32_t kSeed = 4321;

TEST(GlWater, TheProcessorTakesOverWhereTheGlEngineStopped) {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, kWidth, kHeight, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    rillo::SaverSettings settings;
    settings.nWavelength = 12;
    settings.nAmplitude = 700;
    settings.engine = rillo::EngineChoice::Gl;

    std::mt19937 rng(7);
    std::vector<std::uint32_t> picture(std::size_t(kWidth) * kHeight);
    for (auto& p : picture)
        p = rng();
    std::unique_ptr<CGlWater> water =
        CGlWater::Create(hwnd, settings, kSeed, kWidth, kHeight, picture.data());
    if (!water) {
        DestroyWindow(hwnd);
        GTEST_SKIP() << "no GL engine here (no OpenGL 4.3 context)";
    }

    // The processor from the start, beside it.
    rillo::Rainfall reference(settings, kSeed);
    ASSERT_TRUE(reference.Resize(kWidth, kHeight));
    std::vector<std::uint32_t> want = picture;
    int ticks = 0;
    int steps = 0;
    // Until the water has moved, and has come round to buffer 0 again (the processor
    // takes it over there only).
    while (ticks < 20 || steps == 0 || reference.GetField().GetCurrent() != 0) {
        ASSERT_TRUE(water->Tick()) << "tick " << ticks;
        steps += reference.Tick(picture.data(), want.data());
        ASSERT_LT(++ticks, 500);
    }
    ASSERT_TRUE(water->Show());

    rillo::Rainfall taken(settings, 1); // a seed of its own, which the hand-over replaces
    ASSERT_TRUE(taken.Resize(kWidth, kHeight));
    std::vector<std::uint32_t> frame(picture.size(), 0);
    water->HandOver(taken, picture.data(), frame.data());
    EXPECT_FALSE(water->Tick()) << "the GL engine is done once handed over";
    EXPECT_EQ(frame, want) << "after " << ticks << " ticks";

    for (int more = 0; more < 40; ++more) {
        reference.Tick(picture.data(), want.data());
        taken.Tick(picture.data(), frame.data());
    }
    EXPECT_EQ(frame, want);
    const auto n = std::size_t(kWidth) * kHeight;
    for (int b = 0; b < 2; ++b) {
        const std::int32_t* got = taken.GetField().GetBuffer(b);
        const std::int32_t* ref = reference.GetField().GetBuffer(b);
        EXPECT_EQ(std::vector<std::int32_t>(got, got + n), std::vector<std::int32_t>(ref, ref + n))
            << "buffer " << b;
    }
    water.reset();
    DestroyWindow(hwnd);
}

} // namespace
