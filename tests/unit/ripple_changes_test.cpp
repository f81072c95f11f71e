// Passes that render only the pixels whose heights changed must give the frames of
// full passes, and the rectangles the field and the tick report must hold every
// pixel that changed.
#include "ripple/ripple_field.h"
#include "saver/rainfall.h"

#include "kernel_test.h"
#include "reference_ripple.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

class RippleChangesTest : public KernelSetTest {};

// Every pixel that differs between before and after lies inside rect.
::testing::AssertionResult ChangesInside(const std::vector<std::uint32_t>& before,
                                         const std::vector<std::uint32_t>& after, std::int32_t w,
                                         const RippleRect& rect) {
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i])
            continue;
        const auto x = std::int32_t(i % std::size_t(w)), y = std::int32_t(i / std::size_t(w));
        if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") changed outside (" << rect.left << ", "
                   << rect.top << ", " << rect.right << ", " << rect.bottom << ")";
    }
    return ::testing::AssertionSuccess();
}

} // namespace

// Long runs of every kind of step a caller can make: drops in either buffer, at
// edges and corners and with centres outside the field, drops too weak to change
// anything, steps without pictures, direct wave steps, heights written by hand, and
// a caller that renders into two frames by turns. Each frame equals the reference's,
// and every pixel a pass changed lies inside the rectangle it reported.
TEST_P(RippleChangesTest, EveryKindOfStepMatchesTheReferenceOverLongRuns) {
    std::mt19937 rng(2024);
    for (auto [w, h] : {std::pair{3, 3}, {5, 4}, {17, 9}, {40, 23}, {131, 37}, {1100, 6}}) {
        CRippleField field;
        Configure(field);
        CReferenceRippleField ref;
        ASSERT_TRUE(field.Resize(w, h));
        ref.Resize(w, h);
        const std::size_t n = std::size_t(w) * std::size_t(h);
        const std::vector<std::uint32_t> src = RandomPixels(n, rng);
        std::vector<std::uint32_t> dst[2] = {RandomPixels(n, rng), RandomPixels(n, rng)};
        std::vector<std::uint32_t> refDst[2] = {dst[0], dst[1]};
        const std::int32_t edgeX[] = {-30, -1, 0, 1, 2, w / 2, w - 3, w - 2, w - 1, w, w + 30};
        const std::int32_t edgeY[] = {-30, -1, 0, 1, 2, h / 2, h - 3, h - 2, h - 1, h, h + 30};
        std::uniform_int_distribution<int> pick(0, 10), kind(0, 19), rad(0, 9), pct(0, 99);
        std::uniform_int_distribution<std::int32_t> strength(-200, 900), anyX(-3, w + 2),
            anyY(-3, h + 2);
        int partial = 0;
        for (int step = 0; step < 400; ++step) {
            const std::string where =
                std::to_string(w) + "x" + std::to_string(h) + " step " + std::to_string(step);
            // Drops: none, one or two, into the buffer the step writes or the other one.
            for (int d = pct(rng) % 3; d > 0; --d) {
                const bool bEdge = pct(rng) < 40;
                const std::int32_t x = bEdge ? edgeX[pick(rng)] : anyX(rng);
                const std::int32_t y = bEdge ? edgeY[pick(rng)] : anyY(rng);
                const std::int32_t s = pct(rng) < 25 ? std::int32_t(pct(rng) % 64) : strength(rng);
                const std::int32_t b = pct(rng) < 80 ? field.GetCurrent() : field.GetCurrent() ^ 1;
                const std::int32_t r = rad(rng);
                field.Drop(x, y, r, s, b);
                ref.Drop(x, y, r, s, b);
            }
            const int k = kind(rng);
            if (k == 0) {
                // The wave step called directly, on either buffer.
                const std::int32_t b = pct(rng) % 2;
                field.Propagate(b, 10);
                ref.Propagate(b, 10);
                continue;
            }
            if (k == 1) {
                // Heights written by hand.
                const std::int32_t b = pct(rng) % 2;
                const std::size_t i = std::size_t(rng() % n);
                const std::int32_t v = std::int32_t(rng() % 4001) - 2000;
                field.GetBuffer(b)[i] = v;
                ref.Buffer(b)[i] = v;
                continue;
            }
            if (k == 2) {
                // A step without pictures: the water moves, no pixel does.
                field.Render(nullptr, nullptr);
                ref.Propagate(ref.m_nCurrent, ref.m_nDampShift);
                ref.m_nCurrent ^= 1;
                EXPECT_TRUE(field.GetChangedRect().IsEmpty()) << where;
                continue;
            }
            // Mostly one frame; now and then the other one for a while.
            const int f = (step / 50) % 2 == 1 && k < 12 ? 1 : 0;
            const std::vector<std::uint32_t> before = dst[f];
            field.Render(src.data(), dst[f].data());
            ref.Render(src.data(), refDst[f].data());
            ASSERT_EQ(dst[f], refDst[f]) << where << ", frame " << f;
            ASSERT_TRUE(ChangesInside(before, dst[f], w, field.GetChangedRect())) << where;
            const RippleRect& rc = field.GetChangedRect();
            if (w >= 3 && h >= 3 && !(rc == RippleRect{1, 1, w - 1, h - 1}))
                ++partial;
        }
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(field.GetBuffer(0)[i], ref.m_buffer0[i]) << w << "x" << h << " cell " << i;
            ASSERT_EQ(field.GetBuffer(1)[i], ref.m_buffer1[i]) << w << "x" << h << " cell " << i;
        }
        EXPECT_GT(partial, 20) << w << "x" << h << ": too few passes over part of the frame";
    }
}

// Whatever the last pass left, these start over with a full pass: a new size, a
// frame written by the caller who says so, and another picture under the water.
TEST_P(RippleChangesTest, FullPassAfterResizeInvalidateAndAnotherPicture) {
    std::mt19937 rng(7);
    const std::int32_t w = 29, h = 13;
    const std::size_t n = std::size_t(w) * std::size_t(h);
    const RippleRect interior{1, 1, w - 1, h - 1};
    std::vector<std::uint32_t> src = RandomPixels(n, rng), src2 = RandomPixels(n, rng);
    std::vector<std::uint32_t> dst = RandomPixels(n, rng), refDst = dst;
    CRippleField field;
    Configure(field);
    CReferenceRippleField ref;
    const auto step = [&](const std::vector<std::uint32_t>& picture) {
        field.Drop(14, 6, 4, 640, field.GetCurrent());
        ref.Drop(14, 6, 4, 640, ref.m_nCurrent);
        field.Render(picture.data(), dst.data());
        ref.Render(picture.data(), refDst.data());
    };
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(field.Resize(w, h));
        ref.Resize(w, h);
        step(src); // the first pass after Resize
        EXPECT_EQ(field.GetChangedRect(), interior);
        step(src); // from buffer 1, which the last step rewrote
        EXPECT_EQ(field.GetChangedRect(), interior);
        step(src); // the drop's box, grown by one to the left and up
        EXPECT_EQ(field.GetChangedRect(), (RippleRect{9, 1, 18, 10}));
        step(src);
        EXPECT_EQ(field.GetChangedRect(), interior);
        // Drops too weak to move the water leave nothing to draw.
        ASSERT_EQ(field.GetCurrent(), 0);
        field.Drop(14, 6, 4, 63, 0);
        field.Render(src.data(), dst.data());
        ref.Render(src.data(), refDst.data());
        EXPECT_TRUE(field.GetChangedRect().IsEmpty());
        ASSERT_EQ(dst, refDst);
        for (int i = 0; i < 3; ++i)
            step(src);
        ASSERT_EQ(dst, refDst);
        ASSERT_EQ(field.GetCurrent(), 0);
        // The caller scribbles on the frame, as the reference's full pass overwrites.
        for (auto& p : dst)
            p = 0x123456;
        refDst = dst;
        field.Invalidate();
        step(src);
        EXPECT_EQ(field.GetChangedRect(), interior);
        ASSERT_EQ(dst, refDst);
        ASSERT_EQ(field.GetCurrent(), 1);
        step(src);
        step(src2); // from buffer 0, but over another picture
        EXPECT_EQ(field.GetChangedRect(), interior);
        ASSERT_EQ(dst, refDst);
        for (auto& p : dst)
            p = 0xABCDEF; // Resize must not trust a frame it has never written
        refDst = dst;
    }
}

// The saver's own ticks: each frame as the rule gives it, and the tick's rectangle
// holds every pixel its steps changed. Ticks of one step from buffer 0 report
// only the drop's neighbourhood.
TEST_P(RippleChangesTest, TicksReportEveryPixelTheyChange) {
    const std::int32_t w = 320, h = 200;
    const rillo::SaverSettings settings{30, 140};
    std::mt19937 rng(11);
    const std::vector<std::uint32_t> picture = RandomPixels(std::size_t(w) * h, rng);
    std::vector<std::uint32_t> frame = picture, refFrame = picture;
    rillo::Rainfall rain(settings);
    ASSERT_TRUE(rain.Resize(w, h));
    Configure(rain.GetField());
    CReferenceRainfall ref;
    ref.m_nWavelength = settings.nWavelength;
    ref.m_nAmplitude = settings.nAmplitude;
    ref.m_field.Resize(w, h);
    int small = 0;
    for (int tick = 0; tick < 200; ++tick) {
        const std::vector<std::uint32_t> before = frame;
        const int steps = rain.Tick(picture.data(), frame.data());
        ASSERT_EQ(steps, ref.Tick(picture.data(), refFrame.data())) << tick;
        ASSERT_EQ(frame, refFrame) << "tick " << tick;
        const RippleRect& rc = rain.GetChangedRect();
        ASSERT_TRUE(ChangesInside(before, frame, w, rc)) << "tick " << tick;
        if (steps == 0) {
            EXPECT_TRUE(rc.IsEmpty());
        }
        if (!rc.IsEmpty() && (rc.right - rc.left) * (rc.bottom - rc.top) <= 61 * 61)
            ++small;
    }
    EXPECT_GT(small, 0);
}

INSTANTIATE_TEST_SUITE_P(Kernels, RippleChangesTest, ::testing::ValuesIn(AvailableEngines()),
                         EngineName);

// A strength below 64 adds zero, except to cells whose distance squared wraps
// negative: their amount is not a number and they gain INT32_MIN. The pass after
// such a drop must draw them.
TEST(RippleChanges, WeakDropsThatStillChangeCellsAreDrawn) {
    for (std::int32_t w : {49999, 50001}) {
        const std::int32_t h = 3;
        CRippleField field;
        CReferenceRippleField ref;
        ASSERT_TRUE(field.Resize(w, h));
        ref.Resize(w, h);
        std::vector<std::uint32_t> src(std::size_t(w) * h), dst(src.size()), refDst(src.size());
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = std::uint32_t(i) * 2654435761u;
        for (int step = 0; step < 3; ++step) {
            if (step == 2) { // m_nCurrent is 0 again: the drop goes into buffer 0
                field.Drop(0, 1, 60000, 10, field.GetCurrent());
                ref.Drop(0, 1, 60000, 10, ref.m_nCurrent);
            }
            field.Render(src.data(), dst.data());
            ref.Render(src.data(), refDst.data());
        }
        EXPECT_EQ(dst, refDst) << w << " wide";
    }
}
