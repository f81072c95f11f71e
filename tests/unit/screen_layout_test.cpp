#include "saver/rain.h"
#include "saver/screen_layout.h"

#include <gtest/gtest.h>

#include <vector>

using rillo::LayOutScreens;
using rillo::MonitorInfo;
using rillo::SaverScreen;
using rillo::ScreenRect;

namespace {

const ScreenRect kFallback{0, 0, 1024, 768};

std::vector<ScreenRect> Rects(const std::vector<SaverScreen>& screens) {
    std::vector<ScreenRect> v;
    for (const SaverScreen& s : screens)
        v.push_back(s.rect);
    return v;
}

} // namespace

TEST(ScreenLayout, OneMonitorIsTheSaverAsItWas) {
    const auto screens = LayOutScreens({{{0, 0, 1920, 1080}, true}}, kFallback);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_TRUE(screens[0].bPrimary);
    EXPECT_EQ(screens[0].nSeed, 100);
    EXPECT_EQ(screens[0].rect, (ScreenRect{0, 0, 1920, 1080}));
}

// The primary first whatever its place; the others by left edge, then top edge,
// with seeds counting up from the primary's 100.
TEST(ScreenLayout, PrimaryFirstThenLeftToRightThenTopToBottom) {
    const std::vector<MonitorInfo> monitors = {
        {{1920, 0, 3200, 1024}, false},   // right of the primary
        {{-800, -600, 0, 0}, false},      // up and left, negative on both axes
        {{0, 0, 1920, 1080}, true},       // the primary
        {{-800, 0, 0, 600}, false},       // left, below the one above
        {{4000, 200, 4640, 680}, false}}; // beyond a gap
    const auto screens = LayOutScreens(monitors, kFallback);
    EXPECT_EQ(Rects(screens), (std::vector<ScreenRect>{{0, 0, 1920, 1080},
                                                       {-800, -600, 0, 0},
                                                       {-800, 0, 0, 600},
                                                       {1920, 0, 3200, 1024},
                                                       {4000, 200, 4640, 680}}));
    for (std::size_t n = 0; n < screens.size(); ++n) {
        EXPECT_EQ(screens[n].bPrimary, n == 0);
        EXPECT_EQ(screens[n].nSeed, 100 + int(n));
    }
}

// The order depends on where the monitors are, not on the order the system lists
// them in: a seed belongs to a place.
TEST(ScreenLayout, TheSystemsOrderDoesNotMatter) {
    std::vector<MonitorInfo> monitors = {
        {{0, 0, 800, 600}, true}, {{800, 0, 1440, 480}, false}, {{-640, 100, 0, 580}, false}};
    const auto first = LayOutScreens(monitors, kFallback);
    std::swap(monitors[0], monitors[2]);
    std::swap(monitors[1], monitors[2]);
    const auto second = LayOutScreens(monitors, kFallback);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(Rects(first), Rects(second));
    EXPECT_EQ(first[1].rect, (ScreenRect{-640, 100, 0, 580}));
}

TEST(ScreenLayout, OddListsStillGiveOneScreenPerPlace) {
    // No monitor: the primary screen's size stands in.
    auto screens = LayOutScreens({}, kFallback);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].rect, kFallback);
    EXPECT_TRUE(screens[0].bPrimary);

    // Empty rectangles are dropped; mirrored monitors (one rectangle twice) get one
    // window.
    screens = LayOutScreens({{{0, 0, 0, 600}, true},
                             {{0, 0, 800, 600}, false},
                             {{0, 0, 800, 600}, true},
                             {{800, 0, 800, 0}, false}},
                            kFallback);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].rect, (ScreenRect{0, 0, 800, 600}));

    // None marked primary: the one at the origin, else the first listed.
    screens = LayOutScreens({{{800, 0, 1600, 600}, false}, {{0, 0, 800, 600}, false}}, kFallback);
    EXPECT_EQ(screens[0].rect, (ScreenRect{0, 0, 800, 600}));
    screens = LayOutScreens({{{800, 0, 1600, 600}, false}, {{-800, 0, -1, 600}, false}}, kFallback);
    EXPECT_EQ(screens[0].rect, (ScreenRect{800, 0, 1600, 600}));
    EXPECT_EQ(screens[0].nSeed, 100);
}

// Neighbouring monitors must not rain alike: over a few minutes of attempts, no two
// of the first four seeds draw the same point at the same attempt.
TEST(ScreenLayout, TheFirstSeedsRainDifferently) {
    const rillo::ScreenRect accept = CRain::AcceptanceRect(1920, 1080);
    CRain rains[4] = {CRain(rillo::ScreenSeed(0)), CRain(rillo::ScreenSeed(1)),
                      CRain(rillo::ScreenSeed(2)), CRain(rillo::ScreenSeed(3))};
    for (int attempt = 0; attempt < 4000; ++attempt) {
        RainAttempt a[4];
        for (int n = 0; n < 4; ++n)
            a[n] = rains[n].Attempt(1920, 1080, accept);
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                ASSERT_FALSE(a[i].nPointX == a[j].nPointX && a[i].nPointY == a[j].nPointY)
                    << "seeds " << i << " and " << j << " at attempt " << attempt;
    }
}
