#include "saver/rainfall.h"

#include "reference_ripple.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::uint32_t> Picture(std::int32_t w, std::int32_t h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> v(std::size_t(w) * std::size_t(h));
    for (auto& p : v)
        p = rng();
    return v;
}

} // namespace

// Every tick, its steps and its frame as the rule written out plainly gives them,
// for ordinary settings, drops too weak to change anything, and amplitudes whose
// strength wraps.
TEST(Rainfall, TicksMatchTheRuleWrittenOut) {
    struct Case {
        std::int32_t w, h;
        rillo::SaverSettings settings;
        int ticks;
    };
    const Case cases[] = {{1024, 768, {100, 100}, 12},  {97, 61, {30, 250}, 300},
                          {64, 48, {12, 99}, 60}, // strength 63: no drop changes anything
                          {40, 33, {7, INT32_MIN}, 40}, {40, 33, {7, INT32_MAX}, 40},
                          {30, 40, {3, 200}, 40}};
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + ", amplitude " +
                                 std::to_string(c.settings.nAmplitude);
        const std::vector<std::uint32_t> picture = Picture(c.w, c.h, 7);
        std::vector<std::uint32_t> frame = picture, refFrame = picture;
        rillo::Rainfall rain(c.settings);
        ASSERT_TRUE(rain.Resize(c.w, c.h));
        CReferenceRainfall ref;
        ref.m_nWavelength = c.settings.nWavelength;
        ref.m_nAmplitude = c.settings.nAmplitude;
        ref.m_field.Resize(c.w, c.h);
        int steps = 0;
        for (int tick = 0; tick < c.ticks; ++tick) {
            const int n = rain.Tick(picture.data(), frame.data());
            ASSERT_EQ(n, ref.Tick(picture.data(), refFrame.data())) << what << ", tick " << tick;
            ASSERT_EQ(frame, refFrame) << what << ", tick " << tick;
            ASSERT_EQ(std::uint32_t(rain.GetRain().m_nSeed), ref.m_nSeed);
            steps += n;
        }
        const std::size_t cells = std::size_t(c.w) * std::size_t(c.h);
        EXPECT_EQ(std::vector<std::int32_t>(rain.GetField().GetBuffer(0),
                                            rain.GetField().GetBuffer(0) + cells),
                  ref.m_field.m_buffer0)
            << what;
        EXPECT_EQ(std::vector<std::int32_t>(rain.GetField().GetBuffer(1),
                                            rain.GetField().GetBuffer(1) + cells),
                  ref.m_field.m_buffer1)
            << what;
        EXPECT_GT(steps, 0) << what;
    }
}

TEST(Rainfall, FirstTickOnTheDefaultScreenRunsOneStep) {
    const std::vector<std::uint32_t> picture = Picture(1024, 768, 1);
    std::vector<std::uint32_t> frame = picture;
    rillo::Rainfall rain;
    ASSERT_TRUE(rain.Resize(1024, 768));
    EXPECT_EQ(rain.GetStrength(), 64);
    EXPECT_EQ(rain.Tick(picture.data(), frame.data()), 1); // (11, 28) falls short, (125, 78) drops
    EXPECT_EQ(rain.GetField().GetCurrent(), 1);
    EXPECT_EQ(rain.GetRain().m_nSeed, 3349);
}

// Without pictures (surfaces that could not be made) or a field the rain still moves
// on, as it would on the screen, but no drop falls and nothing is rendered.
TEST(Rainfall, WithoutPicturesOrFieldTheRainMovesOnAndTheWaterStaysFlat) {
    const std::int32_t w = 200, h = 150;
    std::vector<std::uint32_t> picture = Picture(w, h, 3), frame = picture;
    rillo::Rainfall withPictures, withoutFrame, withoutField;
    ASSERT_TRUE(withPictures.Resize(w, h));
    ASSERT_TRUE(withoutFrame.Resize(w, h));
    EXPECT_FALSE(withoutField.Resize(-1, h));
    int steps = 0;
    for (int tick = 0; tick < 50; ++tick) {
        steps += withPictures.Tick(picture.data(), frame.data());
        EXPECT_EQ(withoutFrame.Tick(picture.data(), nullptr), 0);
        EXPECT_EQ(withoutField.Tick(picture.data(), frame.data() + 1), 0);
        EXPECT_EQ(withoutFrame.GetRain().m_nSeed, withPictures.GetRain().m_nSeed);
        EXPECT_EQ(withoutField.GetRain().m_nSeed, withPictures.GetRain().m_nSeed);
    }
    EXPECT_GT(steps, 0);
    EXPECT_EQ(withoutFrame.GetField().GetCurrent(), 0);
    const std::int32_t* b0 = withoutFrame.GetField().GetBuffer(0);
    EXPECT_EQ(std::count(b0, b0 + std::size_t(w) * h, 0), std::ptrdiff_t(w) * h);
}
