#include "saver/rain.h"

#include <gtest/gtest.h>

#include <map>

TEST(Rain, GeneratorFromSeedHundred) {
    CRain rain;
    EXPECT_EQ(rain.m_nSeed, 100);
    const rillo::ScreenRect accept = CRain::AcceptanceRect(1024, 768);
    const std::int32_t seeds[] = {1216, 3349, 24868};
    const std::int32_t r1s[] = {365, 4009, 10975};
    for (int n = 0; n < 3; ++n) {
        std::uint32_t state = std::uint32_t(rain.m_nSeed);
        EXPECT_EQ(CRain::NextNumber(state), r1s[n]);
        rain.Attempt(1024, 768, accept);
        EXPECT_EQ(rain.m_nSeed, seeds[n]);
    }
}

TEST(Rain, FirstTicksOnTheDefaultScreen) {
    CRain rain;
    const rillo::ScreenRect accept = CRain::AcceptanceRect(1024, 768);
    RainAttempt a = rain.Attempt(1024, 768, accept);
    EXPECT_EQ(a.nPointX, 11);
    EXPECT_EQ(a.nPointY, 28);
    EXPECT_FALSE(a.bDrop); // x < 15
    a = rain.Attempt(1024, 768, accept);
    EXPECT_EQ(a.nPointX, 125);
    EXPECT_EQ(a.nPointY, 78);
    EXPECT_TRUE(a.bDrop);
    EXPECT_EQ(a.nCellX, 110);
    EXPECT_EQ(a.nCellY, 58);
    a = rain.Attempt(1024, 768, accept); // second tick
    EXPECT_EQ(a.nPointX, 342);
    EXPECT_EQ(a.nPointY, 582);
    EXPECT_TRUE(a.bDrop);
    EXPECT_EQ(a.nCellX, 327);
    EXPECT_EQ(a.nCellY, 562);
}

TEST(Rain, SeedsRepeatWithPeriod213After29Attempts) {
    CRain rain;
    std::map<std::int32_t, int> seen{{rain.m_nSeed, 0}};
    const rillo::ScreenRect accept = CRain::AcceptanceRect(1024, 768);
    for (int n = 1;; ++n) {
        rain.Attempt(1024, 768, accept);
        auto [it, fresh] = seen.emplace(rain.m_nSeed, n);
        if (!fresh) {
            EXPECT_EQ(it->second, 29);
            EXPECT_EQ(n - it->second, 213);
            break;
        }
        ASSERT_LT(n, 40000);
    }
}

TEST(Rain, DropsNeverLandInTheRightOrTopMargin) {
    CRain rain;
    const std::int32_t w = 800, h = 600;
    const rillo::ScreenRect accept = CRain::AcceptanceRect(w, h);
    int drops = 0;
    for (int n = 0; n < 2 * 300; ++n) {
        const RainAttempt a = rain.Attempt(w, h, accept);
        EXPECT_GE(a.nPointX, 0);
        EXPECT_LE(a.nPointX, w);
        EXPECT_LE(a.nPointY, h);
        EXPECT_EQ(a.bDrop, a.nPointX >= 15 && a.nPointY >= 20);
        if (a.bDrop) {
            ++drops;
            EXPECT_LT(a.nCellX, w - 14);
            EXPECT_LT(a.nCellY, h - 19);
        }
    }
    EXPECT_GT(drops, 0);
}

TEST(Rain, AcceptanceRectangleFollowsPtInRect) {
    const rillo::ScreenRect r = CRain::AcceptanceRect(100, 50);
    EXPECT_TRUE(r.Contains(15, 20));
    EXPECT_TRUE(r.Contains(114, 69));
    EXPECT_FALSE(r.Contains(115, 30));
    EXPECT_FALSE(r.Contains(30, 70));
    EXPECT_FALSE(r.Contains(14, 30));
    // An empty source (preview mode) accepts nothing, whatever is drawn.
    const rillo::ScreenRect empty = CRain::AcceptanceRect(0, 0);
    CRain rain(12345);
    for (int n = 0; n < 500; ++n)
        EXPECT_FALSE(rain.Attempt(640, 480, empty).bDrop);
}

TEST(Rain, HugeScreensWrapInThirtyTwoBits) {
    CRain rain(100); // first r1 = 365, r2 = 1216
    const RainAttempt a = rain.Attempt(INT32_MAX, -7, CRain::AcceptanceRect(1, 1));
    // INT32_MAX * 365 wraps to -365 + 2^31 * 365 mod 2^32 = 2147483283.
    EXPECT_EQ(a.nPointX, 2147483283 / 32767);
    EXPECT_EQ(a.nPointY, -7 * 1216 / 32767); // truncates toward zero: 0
    EXPECT_FALSE(a.bDrop);
}
