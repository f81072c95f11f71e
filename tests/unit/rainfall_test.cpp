#include "saver/rainfall.h"

#include "reference_ripple.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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
                          {30, 40, {3, 200}, 40},       {97, 61, {300, 100000}, 60}};
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
        if (c.settings.nAmplitude == 100000) {
            EXPECT_GT(rain.GetField().GetWideRowsStored(), 0) << what << ": rows of 32-bit cells";
        }
    }
}

// Screens of several sizes ticked side by side on a pool (the small one in a single
// band, the others split) tick as each does alone.
TEST(Rainfall, ScreensTickedSideBySideTickAsEachAlone) {
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{320, 240}, {97, 61}, {400, 300}};
    rillo::WorkerPool pool(3);
    std::vector<std::unique_ptr<rillo::Rainfall>> together, alone;
    std::vector<std::vector<std::uint32_t>> pictures, frames, aloneFrames;
    for (std::size_t n = 0; n < std::size(sizes); ++n) {
        const auto [w, h] = sizes[n];
        for (auto* list : {&together, &alone}) {
            list->push_back(std::make_unique<rillo::Rainfall>(rillo::SaverSettings{40, 300},
                                                              std::int32_t(100 + n)));
            ASSERT_TRUE(list->back()->Resize(w, h));
        }
        together.back()->GetField().SetWorkers(&pool);
        pictures.push_back(Picture(w, h, std::uint32_t(n)));
        frames.push_back(pictures.back());
        aloneFrames.push_back(pictures.back());
    }
    EXPECT_EQ(together[0]->GetField().GetBandCount(), 3);
    EXPECT_EQ(together[1]->GetField().GetBandCount(), 1);
    rillo::Rainfall* rains[3];
    const std::uint32_t* pics[3];
    std::uint32_t* outs[3];
    for (std::size_t n = 0; n < 3; ++n) {
        rains[n] = together[n].get();
        pics[n] = pictures[n].data();
        outs[n] = frames[n].data();
    }
    for (int tick = 0; tick < 40; ++tick) {
        int steps = 0;
        for (std::size_t n = 0; n < 3; ++n)
            steps += alone[n]->Tick(pictures[n].data(), aloneFrames[n].data());
        ASSERT_EQ(rillo::TickRainfalls(rains, 3, pics, outs, pool), steps) << tick;
        for (std::size_t n = 0; n < 3; ++n) {
            ASSERT_EQ(frames[n], aloneFrames[n]) << "screen " << n << ", tick " << tick;
            ASSERT_TRUE(together[n]->GetChangedRect() == alone[n]->GetChangedRect());
        }
    }
    for (std::size_t n = 0; n < 3; ++n)
        for (int b = 0; b < 2; ++b)
            for (std::int32_t i = 0; i < sizes[n].first * sizes[n].second; ++i)
                ASSERT_EQ(together[n]->GetField().GetHeight(b, i),
                          alone[n]->GetField().GetHeight(b, i));
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
