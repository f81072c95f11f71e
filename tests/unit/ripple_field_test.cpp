#include "ripple/ripple_field.h"
#include "ripple/worker_pool.h"

#include "kernel_test.h"
#include "reference_ripple.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

class RippleKernelTest : public KernelSetTest {};

// Production field and reference side by side.
struct Twin {
    CRippleField field;
    CReferenceRippleField ref;
    std::vector<std::uint32_t> src, dst, refDst;

    Twin(std::int32_t w, std::int32_t h, std::mt19937& rng, const Engine& engine) {
        field.SetKernels(*engine.pKernels);
        field.SetWideCellsOnly(engine.bWideOnly);
        EXPECT_TRUE(field.Resize(w, h));
        ref.Resize(w, h);
        src = RandomPixels(std::size_t(w) * h, rng);
        dst = RandomPixels(std::size_t(w) * h, rng);
        refDst = dst;
    }

    void Drop(std::int32_t x, std::int32_t y, std::int32_t radius, std::int32_t strength) {
        field.Drop(x, y, radius, strength, field.GetCurrent());
        ref.Drop(x, y, radius, strength, ref.m_nCurrent);
    }
    void Render() {
        field.Render(src.data(), dst.data());
        ref.Render(src.data(), refDst.data());
    }
    // Fills both heights maps with the same values.
    template <class Gen> void FillHeights(Gen gen) {
        for (int b = 0; b < 2; ++b) {
            std::int32_t* p = field.GetBuffer(b);
            auto& q = ref.Buffer(b);
            for (std::size_t i = 0; i < q.size(); ++i)
                p[i] = q[i] = gen();
        }
    }
    void ExpectSame(const std::string& what) const {
        const std::size_t n = ref.m_buffer0.size();
        ASSERT_EQ(field.GetCurrent(), ref.m_nCurrent) << what;
        for (int b = 0; b < 2; ++b) {
            const auto& q = b == 0 ? ref.m_buffer0 : ref.m_buffer1;
            for (std::size_t i = 0; i < n; ++i)
                ASSERT_EQ(field.GetHeight(b, std::int32_t(i)), q[i])
                    << what << ": buffer " << b << " cell " << i;
        }
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(dst[i], refDst[i]) << what << ": pixel " << i;
    }
};

TEST(RippleField, ConstructedEmptyWithDampingShiftTen) {
    CRippleField f;
    EXPECT_EQ(f.GetWidth(), 0);
    EXPECT_EQ(f.GetHeight(), 0);
    EXPECT_EQ(f.GetCurrent(), 0);
    EXPECT_EQ(f.GetDampShift(), 10);
    EXPECT_EQ(f.GetBuffer(0), nullptr);
    EXPECT_EQ(f.GetBuffer(1), nullptr);
}

TEST(RippleField, ResizeGivesFlatWaterAndResetsCurrent) {
    CRippleField f;
    ASSERT_TRUE(f.Resize(7, 5));
    f.Drop(3, 2, 2, 640, 0);
    f.Render(nullptr, nullptr);
    EXPECT_EQ(f.GetCurrent(), 1);
    ASSERT_TRUE(f.Resize(6, 4));
    EXPECT_EQ(f.GetWidth(), 6);
    EXPECT_EQ(f.GetHeight(), 4);
    EXPECT_EQ(f.GetCurrent(), 0);
    for (int b = 0; b < 2; ++b)
        for (int i = 0; i < 24; ++i)
            EXPECT_EQ(f.GetBuffer(b)[i], 0);
}

TEST(RippleField, ImpossibleSizesLeaveAnEmptyFieldThatIgnoresDropsAndRenders) {
    const std::pair<std::int32_t, std::int32_t> sizes[] = {
        {0, 10},        {10, 0},        {-1, 10},      {10, -5}, {INT32_MIN, INT32_MIN},
        {65536, 65536}, {INT32_MAX, 2}, {46341, 46341}};
    for (auto [w, h] : sizes) {
        CRippleField f;
        ASSERT_TRUE(f.Resize(4, 4));
        EXPECT_FALSE(f.Resize(w, h)) << w << "x" << h;
        EXPECT_EQ(f.GetWidth(), 0);
        EXPECT_EQ(f.GetHeight(), 0);
        EXPECT_EQ(f.GetBuffer(0), nullptr);
        EXPECT_EQ(f.GetBuffer(1), nullptr);
        std::uint32_t px[16] = {};
        f.Drop(1, 1, 5, 6400, 0);
        f.Render(px, px);
        f.Propagate(0, 10);
        EXPECT_EQ(f.GetCurrent(), 1) << "Render still flips the buffers";
    }
}

TEST(RippleField, DropRadiusThreeMatchesWorkedTable) {
    CRippleField f;
    ASSERT_TRUE(f.Resize(11, 11));
    f.Drop(5, 5, 3, 128, 1);
    const int expected[5][5] = {
        {0, 1, 2, 1, 0}, {1, 3, 4, 3, 1}, {2, 4, 6, 4, 2}, {1, 3, 4, 3, 1}, {0, 1, 2, 1, 0}};
    for (int r = 0; r < 11; ++r)
        for (int c = 0; c < 11; ++c) {
            const int dy = r - 5, dx = c - 5;
            const int want =
                (dy >= -2 && dy <= 2 && dx >= -2 && dx <= 2) ? expected[dy + 2][dx + 2] : 0;
            EXPECT_EQ(f.GetBuffer(1)[r * 11 + c], want) << "row " << r << " col " << c;
            EXPECT_EQ(f.GetBuffer(0)[r * 11 + c], 0);
        }
}

TEST(RippleField, DropStrengthBelowSixtyFourChangesNothingAndRadiusOneHitsCentreOnly) {
    CRippleField f;
    ASSERT_TRUE(f.Resize(9, 9));
    for (std::int32_t s : {-63, -1, 0, 1, 63})
        f.Drop(4, 4, 3, s, 0);
    for (int i = 0; i < 81; ++i)
        ASSERT_EQ(f.GetBuffer(0)[i], 0);
    f.Drop(4, 4, 1, 127, 0);  // k = 1
    f.Drop(4, 4, 1, -200, 0); // k = -3, truncated toward zero
    for (int i = 0; i < 81; ++i)
        EXPECT_EQ(f.GetBuffer(0)[i], i == 40 ? -2 : 0) << i;
}

TEST(RippleField, DropsOnOrBeyondTheBorderTouchOnlyInteriorCells) {
    const std::int32_t w = 9, h = 7;
    const std::int32_t places[][2] = {
        {0, 0}, {8, 6},       {-3, 3},        {12, 3},        {4, -2},
        {4, 9}, {-100, -100}, {INT32_MIN, 3}, {3, INT32_MAX}, {INT32_MAX, INT32_MIN}};
    const std::int32_t radii[] = {1, 3, 10, 1000, 65537, INT32_MAX, INT32_MIN, -5, 0};
    for (auto& p : places)
        for (std::int32_t radius : radii) {
            CRippleField f;
            CReferenceRippleField ref;
            ASSERT_TRUE(f.Resize(w, h));
            ref.Resize(w, h);
            f.Drop(p[0], p[1], radius, 64 * 50, 0);
            ref.Drop(p[0], p[1], radius, 64 * 50, 0);
            for (std::int32_t r = 0; r < h; ++r)
                for (std::int32_t c = 0; c < w; ++c) {
                    const std::int32_t v = f.GetBuffer(0)[r * w + c];
                    ASSERT_EQ(v, ref.m_buffer0[std::size_t(r * w + c)]);
                    if (r == 0 || c == 0 || r == h - 1 || c == w - 1) {
                        ASSERT_EQ(v, 0) << p[0] << "," << p[1] << " radius " << radius;
                    }
                }
        }
}

TEST(RippleField, DropAmountsThatDoNotFitGiveTheProcessorsIndefiniteInteger) {
    // radius 65537 squares to 131073 in 32 bits; radius * k does not fit.
    CRippleField f;
    ASSERT_TRUE(f.Resize(9, 9));
    f.Drop(4, 4, 65537, INT32_MAX, 0);
    EXPECT_EQ(f.GetBuffer(0)[40], INT32_MIN);

    // radius 60000 squares to a negative number; only distances whose square also
    // wraps negative are below it, and their square root is NaN.
    CRippleField wide;
    CReferenceRippleField ref;
    const std::int32_t w = 50000;
    ASSERT_TRUE(wide.Resize(w, 3));
    ref.Resize(w, 3);
    wide.Drop(0, 1, 60000, 6400, 0);
    ref.Drop(0, 1, 60000, 6400, 0);
    EXPECT_EQ(wide.GetBuffer(0)[w + 10], 0);
    EXPECT_EQ(wide.GetBuffer(0)[w + 49998], INT32_MIN); // 49998^2 wraps negative
    for (std::int32_t i = 0; i < 3 * w; ++i)
        ASSERT_EQ(wide.GetBuffer(0)[i], ref.m_buffer0[std::size_t(i)]) << i;
}

TEST(RippleField, PropagationDampsAsTheWorkedValuesSay) {
    // With a flat read buffer s = 0, so d = -W[i] for the single interior cell.
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {1023, 1023}, {1024, 1023},   {2047, 2046},   {-1, 0},
        {-5, -4},     {-1024, -1023}, {-1025, -1023}, {0, 0}};
    for (auto [d, want] : cases) {
        CRippleField f;
        ASSERT_TRUE(f.Resize(3, 3));
        f.GetBuffer(1)[4] = -d;
        f.Propagate(1, 10);
        EXPECT_EQ(f.GetBuffer(1)[4], want) << d;
    }
}

TEST(RippleField, PropagationReadsTheEightNeighboursOnly) {
    CRippleField f;
    ASSERT_TRUE(f.Resize(3, 3));
    for (int i = 0; i < 9; ++i)
        f.GetBuffer(0)[i] = i == 4 ? 1000000 : 4 * (i + 1);
    f.Propagate(1, 10); // s = 4 * (1+2+3+4+6+7+8+9) = 160
    EXPECT_EQ(f.GetBuffer(1)[4], 40);
    for (int i = 0; i < 9; ++i) {
        if (i != 4) {
            EXPECT_EQ(f.GetBuffer(1)[i], 0);
        }
    }
}

TEST_P(RippleKernelTest, FlatWaterCopiesInteriorPixelsWithTopByteCleared) {
    std::mt19937 rng(7);
    for (std::int32_t w : {3, 4, 5, 9, 17, 40}) {
        const std::int32_t h = 5;
        CRippleField f;
        Configure(f);
        ASSERT_TRUE(f.Resize(w, h));
        const auto src = RandomPixels(std::size_t(w) * h, rng);
        auto dst = RandomPixels(src.size(), rng);
        const auto before = dst;
        f.Render(src.data(), dst.data());
        for (std::int32_t r = 0; r < h; ++r)
            for (std::int32_t c = 0; c < w; ++c) {
                const std::size_t i = std::size_t(r * w + c);
                const bool interior = r > 0 && c > 0 && r < h - 1 && c < w - 1;
                EXPECT_EQ(dst[i], interior ? src[i] & 0x00FFFFFFu : before[i])
                    << w << " wide, cell " << i;
            }
    }
}

TEST_P(RippleKernelTest, SlopesDisplaceAndShadeTheSample) {
    const std::int32_t w = 12, h = 12;
    const std::int32_t i = 3 * w + 4;
    std::vector<std::uint32_t> src(w * h, 0x00808080);
    src[i + 2 * w + 2] = 0xFF400810; // red 64, green 8, blue 16
    src[i - 5] = 0x12F01020;         // red 240, green 16, blue 32

    CRippleField f;
    Configure(f);
    ASSERT_TRUE(f.Resize(w, h));
    f.GetBuffer(0)[i] = 16; // gx = gy = 16: sample i + 2w + 2, every channel - 16
    std::vector<std::uint32_t> dst(w * h, 0xDEADBEEF);
    f.Render(src.data(), dst.data());
    EXPECT_EQ(dst[i], 0x00300000u);

    ASSERT_TRUE(f.Resize(w, h));
    f.GetBuffer(0)[i + 1] = 40; // gx = -40: sample i - 5, every channel + 40
    f.Render(src.data(), dst.data());
    EXPECT_EQ(dst[i], 0x00FF3848u);
}

TEST_P(RippleKernelTest, SamplesOutsideThePictureLeaveThePixel) {
    const std::int32_t w = 20, h = 4, i = w + 2;
    std::vector<std::uint32_t> src(w * h, 0x00102030);
    src[1] = 0x00405060;
    src[w * h - 1] = 0x00FFFFFF;
    // Sample index -> expected pixel i (0xCAFEF00D: left as it was).
    const std::pair<std::int32_t, std::uint32_t> cases[] = {
        {0, 0xCAFEF00D},         {-1, 0xCAFEF00D},   {w * h, 0xCAFEF00D},
        {w * h + 3, 0xCAFEF00D}, {-100, 0xCAFEF00D}, {1, 0x00E8F8FF}, // gx = -168
        {w * h - 1, 0x00000000}};                                     // gx = 456
    for (auto [target, want] : cases) {
        CRippleField f;
        Configure(f);
        ASSERT_TRUE(f.Resize(w, h));
        // gy = 0 and gx = 8 * (target - i), so the sample index is the target.
        f.GetBuffer(0)[i] = f.GetBuffer(0)[i + w] = 8 * (target - i);
        std::vector<std::uint32_t> dst(w * h, 0xCAFEF00D);
        f.Render(src.data(), dst.data());
        EXPECT_EQ(dst[i], want) << target;
        EXPECT_EQ(dst[i + 1], 0x00102030u);
    }
}

TEST_P(RippleKernelTest, FieldsWithoutInteriorWriteNothingButStillFlip) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 9}, {9, 2}, {1, 40}, {40, 1}, {2, 2}}) {
        CRippleField f;
        Configure(f);
        ASSERT_TRUE(f.Resize(w, h));
        for (int b = 0; b < 2; ++b)
            for (std::int32_t i = 0; i < w * h; ++i)
                f.GetBuffer(b)[i] = 77 + i;
        std::vector<std::uint32_t> src(w * h, 0x123456), dst(w * h, 0x654321);
        f.Render(src.data(), dst.data());
        EXPECT_EQ(f.GetCurrent(), 1);
        f.Render(src.data(), dst.data());
        EXPECT_EQ(f.GetCurrent(), 0);
        for (std::int32_t i = 0; i < w * h; ++i) {
            EXPECT_EQ(dst[i], 0x654321u);
            EXPECT_EQ(f.GetBuffer(0)[i], 77 + i);
            EXPECT_EQ(f.GetBuffer(1)[i], 77 + i);
        }
    }
}

TEST_P(RippleKernelTest, TwoRendersFromBufferOneShowTheSameFrame) {
    std::mt19937 rng(3);
    CRippleField f;
    Configure(f);
    ASSERT_TRUE(f.Resize(31, 17));
    f.Drop(10, 8, 6, 640, f.GetCurrent());
    std::vector<std::uint32_t> src = RandomPixels(31 * 17, rng), a(31 * 17), b(31 * 17);
    f.Render(src.data(), a.data());
    ASSERT_EQ(f.GetCurrent(), 1);
    f.Render(src.data(), a.data());
    f.Render(src.data(), b.data());
    EXPECT_EQ(a, b);
}

TEST_P(RippleKernelTest, RainyStepsMatchTheReferenceOnEveryShape) {
    std::mt19937 rng(12345);
    const std::pair<std::int32_t, std::int32_t> shapes[] = {
        {1, 5},   {2, 6},   {3, 3},   {4, 4},   {3, 8},    {4, 9},    {5, 5},   {6, 7},
        {7, 3},   {8, 8},   {9, 6},   {10, 5},  {11, 4},   {12, 12},  {13, 7},  {16, 9},
        {17, 10}, {33, 12}, {64, 20}, {67, 23}, {1030, 5}, {1033, 4}, {2051, 3}};
    for (auto [w, h] : shapes) {
        Twin t(w, h, rng, GetParam());
        std::uniform_int_distribution<std::int32_t> px(-5, w + 5), py(-5, h + 5), rad(0, 12),
            str(-900, 4000);
        for (int step = 0; step < 40; ++step) {
            if (step % 3 != 2)
                t.Drop(px(rng), py(rng), rad(rng), str(rng));
            t.Render();
            t.ExpectSame(std::to_string(w) + "x" + std::to_string(h) + " step " +
                         std::to_string(step));
            if (HasFatalFailure())
                return;
        }
    }
}

// Index of the first element where two arrays differ, or n.
template <class T> std::size_t FirstDifference(const T* a, const T* b, std::size_t n) {
    return std::size_t(std::mismatch(a, a + n, b).first - a);
}

// The saver's kind of rain (wide, gentle drops) on pictures that start on a
// cache line, as a DIB section does, and on pictures that do not; the last
// field is large enough for its frames to be streamed past the cache.
TEST_P(RippleKernelTest, RainOnAlignedAndShiftedPicturesMatchesTheReference) {
    std::mt19937 rng(4242);
    for (auto [w, h, steps] :
         {std::tuple{96, 40, 60}, {100, 40, 60}, {161, 40, 60}, {(1 << 20) + 5, 4, 4}}) {
        const std::size_t n = std::size_t(w) * h;
        for (std::size_t shift : {0, 1, 3}) {
            std::vector<std::uint32_t> store(2 * n + 64), refDst;
            const auto aligned = [](std::uint32_t* p) {
                while (reinterpret_cast<std::uintptr_t>(p) % 64 != 0)
                    ++p;
                return p;
            };
            std::uint32_t* src = aligned(store.data()) + shift;
            std::uint32_t* dst = aligned(src + n) + shift;
            for (std::size_t i = 0; i < n; ++i) {
                src[i] = rng();
                dst[i] = rng();
            }
            refDst.assign(dst, dst + n);
            CRippleField field;
            Configure(field);
            CReferenceRippleField ref;
            ASSERT_TRUE(field.Resize(w, h));
            ref.Resize(w, h);
            std::uniform_int_distribution<std::int32_t> px(0, w - 1), py(0, h - 1), rad(8, 40),
                str(64, 300);
            for (int step = 0; step < steps; ++step) {
                const std::int32_t x = px(rng), y = py(rng), r = rad(rng), k = str(rng);
                field.Drop(x, y, r, k, field.GetCurrent());
                ref.Drop(x, y, r, k, ref.m_nCurrent);
                field.Render(src, dst);
                ref.Render(src, refDst.data());
                const std::string where = std::to_string(w) + " wide, shift " +
                                          std::to_string(shift) + ", step " + std::to_string(step);
                const std::size_t p = FirstDifference(dst, refDst.data(), n);
                ASSERT_EQ(p, n) << where << ": pixel " << p;
                ASSERT_EQ(FirstDifference(field.GetBuffer(0), ref.m_buffer0.data(), n), n) << where;
                ASSERT_EQ(FirstDifference(field.GetBuffer(1), ref.m_buffer1.data(), n), n) << where;
            }
        }
    }
}

TEST_P(RippleKernelTest, ExtremeHeightsWrapLikeTheReference) {
    std::mt19937 rng(99);
    const std::int32_t extremes[] = {
        INT32_MIN, INT32_MIN + 1, INT32_MIN + 255, -2048,         -256,     -9, -8, -1, 0, 1, 7, 8,
        255,       256,           INT32_MAX - 255, INT32_MAX - 1, INT32_MAX};
    for (auto [w, h] : {std::pair{5, 5}, {9, 7}, {18, 6}, {37, 11}, {300, 4}}) {
        for (int round = 0; round < 6; ++round) {
            Twin t(w, h, rng, GetParam());
            std::uniform_int_distribution<int> pick(0, int(std::size(extremes)) - 1);
            std::uniform_int_distribution<int> mode(0, 2);
            t.FillHeights([&]() -> std::int32_t {
                switch (mode(rng)) {
                case 0:
                    return extremes[pick(rng)];
                case 1:
                    return std::int32_t(rng());
                default:
                    return std::int32_t(rng() % 64) - 32;
                }
            });
            for (int step = 0; step < 4; ++step) {
                t.Render();
                t.ExpectSame("extreme " + std::to_string(w) + "x" + std::to_string(h));
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST_P(RippleKernelTest, SlopesNearTheNegativeLimitWrapEachChannel) {
    // gx = INT32_MIN + t (t < 256) with gy = 2^31 / width keeps the sample near the
    // cell ((gy >> 3) * width = 2^28 cancels gx >> 3), while c - gx wraps: 0 where
    // c >= t, else 255. Vector sets work out (gy >> 3) * width differently for rows
    // narrower than 2^15 whose gy >> 3 fits 16 bits, other narrow rows and wider
    // rows; each must still send these cells to the wrapping rule.
    std::mt19937 rng(21);
    for (std::int32_t w : {32, 1 << 14, 1 << 15}) {
        const std::int32_t h = 4;
        const std::uint32_t gy = 0x80000000u / std::uint32_t(w);
        Twin t(w, h, rng, GetParam());
        std::uint32_t v = rng();
        for (std::int32_t c = 0; c < w; ++c) {
            const std::size_t i = std::size_t(w + c); // row 1; row 2 gives it its gy
            for (int b = 0; b < 2; ++b) {
                t.field.GetBuffer(b)[i] = t.ref.Buffer(b)[i] = std::int32_t(v);
                t.field.GetBuffer(b)[i + w] = t.ref.Buffer(b)[i + w] = std::int32_t(v - gy);
            }
            v -= 0x80000000u + rng() % 256; // the next cell: gx = INT32_MIN + t
        }
        for (auto& p : t.src)
            p = rng() & 0x00FFFFFF;
        const auto before = t.dst;
        t.Render();
        t.ExpectSame("near INT32_MIN, " + std::to_string(w) + " wide");
        if (HasFatalFailure())
            return;
        // Every sample lies inside the picture, so row 1 is drawn, not left as it was.
        std::int32_t drawn = 0;
        for (std::int32_t c = 1; c < w - 1; ++c)
            drawn += t.dst[std::size_t(w + c)] != before[std::size_t(w + c)];
        EXPECT_GT(drawn, (w - 2) * 9 / 10) << w << " wide";
    }
}

TEST_P(RippleKernelTest, StartingFromBufferOneMatchesTheReference) {
    std::mt19937 rng(5);
    Twin t(23, 9, rng, GetParam());
    t.Render(); // flat water: only flips to buffer 1
    t.FillHeights([&] { return std::int32_t(rng() % 2001) - 1000; });
    for (int step = 0; step < 10; ++step) {
        t.Drop(11, 4, 5, 3000);
        t.Render();
        t.ExpectSame("step " + std::to_string(step));
    }
}

TEST_P(RippleKernelTest, CellByCellBlocksAnywhereInARowMatchTheReference) {
    // Vector loops work a block ahead of what they store; a block that must go cell
    // by cell (its sample leaves the picture) may sit first, in the middle, just
    // before the last full block, last, or in the tail. Both buffer phases, so the
    // wave step writes the rendered map too.
    std::mt19937 rng(77);
    for (std::int32_t w : {10, 18, 19, 26, 35, 43}) {
        const std::int32_t h = 6;
        for (std::int32_t col = 1; col < w - 1; ++col) {
            Twin t(w, h, rng, GetParam());
            t.FillHeights([&] { return std::int32_t(rng() % 41) - 20; });
            // Sample index -8 * w or beyond the end: outside the picture.
            t.field.GetBuffer(0)[w + col] = t.ref.m_buffer0[std::size_t(w + col)] = 64 * w;
            const std::size_t last = std::size_t((h - 2) * w + col);
            t.field.GetBuffer(0)[last] = t.ref.m_buffer0[last] = -64 * w;
            for (int step = 0; step < 3; ++step) {
                t.Render();
                t.ExpectSame(std::to_string(w) + " wide, column " + std::to_string(col) +
                             ", step " + std::to_string(step));
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST_P(RippleKernelTest, RowStepsBeyondSixteenBitsLeaveThePixel) {
    // gy >> 3 = 65536 * m + d: the sample lies m * 65536 rows away, outside the
    // picture, though its low 16 bits alone would point at a row nearby.
    std::mt19937 rng(31);
    const std::int32_t w = 40, h = 8;
    for (std::int32_t m : {1, -1, 2, -3}) {
        Twin t(w, h, rng, GetParam());
        for (std::int32_t c = 1; c < w - 1; ++c) {
            const std::int32_t d = c % 5 - 2;
            const std::int32_t i = 3 * w + c;
            const std::int32_t gy = 8 * (65536 * m + d) + c % 8;
            for (int b = 0; b < 2; ++b) {
                // H[i + 1] = H[i] and H[i + w] = H[i] - gy: gx = 0 for every cell of the row.
                t.field.GetBuffer(b)[i] = t.ref.Buffer(b)[std::size_t(i)] = gy;
                t.field.GetBuffer(b)[i + w] = t.ref.Buffer(b)[std::size_t(i + w)] = 0;
            }
        }
        for (int b = 0; b < 2; ++b) {
            t.field.GetBuffer(b)[3 * w] = t.ref.Buffer(b)[std::size_t(3 * w)] = 0;
            t.field.GetBuffer(b)[4 * w - 1] = t.ref.Buffer(b)[std::size_t(4 * w - 1)] = 0;
        }
        const auto before = t.dst;
        t.Render();
        t.ExpectSame("row step " + std::to_string(m) + " * 65536");
        if (HasFatalFailure())
            return;
        for (std::int32_t c = 2; c < w - 2; ++c)
            EXPECT_EQ(t.dst[std::size_t(3 * w + c)], before[std::size_t(3 * w + c)]) << c;
    }
}

TEST_P(RippleKernelTest, RowsWiderThanSixteenBitsMatchTheReference) {
    std::mt19937 rng(8);
    for (std::int32_t w : {32767, 32768, 40001}) {
        Twin t(w, 4, rng, GetParam());
        t.FillHeights([&] { return std::int32_t(rng() % 4001) - 2000; });
        for (int step = 0; step < 3; ++step) {
            t.Drop(w / 2, 2, 3, 4000);
            t.Render();
            t.ExpectSame(std::to_string(w) + " wide, step " + std::to_string(step));
            if (HasFatalFailure())
                return;
        }
    }
}

// Rain of both kinds of tick (two steps in one sweep, one step alone) on fields
// split into row bands of every size down to one row, run on one, two and many
// threads: every frame and both height maps as the reference has them.
TEST_P(RippleKernelTest, BandsAndThreadsMatchTheReference) {
    std::mt19937 rng(606);
    rillo::WorkerPool pools[] = {rillo::WorkerPool(1), rillo::WorkerPool(2), rillo::WorkerPool(5)};
    const std::pair<std::int32_t, std::int32_t> shapes[] = {{3, 3}, {3, 11}, {11, 3},
                                                            {4, 5}, {37, 9}, {70, 29}};
    for (auto [w, h] : shapes) {
        for (int bands : {1, 2, 3, 4, h - 2, h}) {
            for (rillo::WorkerPool& pool : pools) {
                Twin t(w, h, rng, GetParam());
                t.field.SetWorkers(&pool);
                t.field.SetBandCount(bands);
                std::uniform_int_distribution<std::int32_t> px(-2, w + 1), py(-2, h + 1), rad(1, 9),
                    str(-300, 3000), steps(0, 2);
                for (int tick = 0; tick < 12; ++tick) {
                    RippleDrop drops[2];
                    const int n = steps(rng);
                    for (int k = 0; k < n; ++k) {
                        drops[k] = {px(rng), py(rng), rad(rng), str(rng)};
                        t.ref.Drop(drops[k].x, drops[k].y, drops[k].nRadius, drops[k].nStrength,
                                   t.ref.m_nCurrent);
                        t.ref.Render(t.src.data(), t.refDst.data());
                    }
                    t.field.Steps(drops, n, t.src.data(), t.dst.data());
                    t.ExpectSame(std::to_string(w) + "x" + std::to_string(h) + ", " +
                                 std::to_string(bands) + " bands, " +
                                 std::to_string(pool.GetThreadCount()) + " threads, tick " +
                                 std::to_string(tick));
                    if (HasFatalFailure())
                        return;
                }
            }
        }
    }
}

// A wild drop mid-run pushes rows past 16 bits and the water settles back: rows go
// to 32-bit cells and return, and the frames are those of a field kept on 32-bit
// cells throughout and of the reference.
TEST_P(RippleKernelTest, RowsCrossingSixteenBitsGiveTheFramesOfWideCells) {
    std::mt19937 rng(88);
    const std::int32_t w = 45, h = 31;
    Twin t(w, h, rng, GetParam());
    CRippleField wide;
    Configure(wide);
    wide.SetWideCellsOnly(true);
    ASSERT_TRUE(wide.Resize(w, h));
    std::vector<std::uint32_t> wideDst = t.dst;
    std::uniform_int_distribution<std::int32_t> px(0, w - 1), py(0, h - 1);
    bool bWentWide = false;
    int tick = 0;
    for (; tick < 200; ++tick) {
        RippleDrop drops[2] = {{px(rng), py(rng), 5, 100}, {px(rng), py(rng), 5, 100}};
        if (tick == 20)
            drops[0] = {22, 15, 6, 64 * 9000}; // 54000 at the centre
        for (const RippleDrop& d : drops) {
            t.ref.Drop(d.x, d.y, d.nRadius, d.nStrength, t.ref.m_nCurrent);
            t.ref.Render(t.src.data(), t.refDst.data());
        }
        t.field.Steps(drops, 2, t.src.data(), t.dst.data());
        wide.Steps(drops, 2, t.src.data(), wideDst.data());
        ASSERT_EQ(t.dst, t.refDst) << "tick " << tick;
        ASSERT_EQ(wideDst, t.refDst) << "tick " << tick;
        const std::int32_t rows = t.field.CountWideRows();
        if (!GetParam().bWideOnly && tick < 20) {
            ASSERT_EQ(rows, 0) << "tick " << tick;
        }
        bWentWide = bWentWide || rows > 0;
        if (!GetParam().bWideOnly && tick == 21) {
            ASSERT_GT(rows, 0) << "the wild drop's rows hold 32-bit cells";
        }
        if (bWentWide && rows == 0 && tick > 40)
            break;
    }
    t.ExpectSame("after the run");
    EXPECT_TRUE(bWentWide);
    if (!GetParam().bWideOnly) {
        EXPECT_LT(tick, 200) << "the water settled back into 16 bits";
    }
    EXPECT_EQ(wide.CountWideRows(), 2 * h);
}

INSTANTIATE_TEST_SUITE_P(Kernels, RippleKernelTest, ::testing::ValuesIn(AvailableEngines()),
                         EngineName);

} // namespace

namespace {

TEST(RippleField, WithoutPixelArraysOnlyTheWaterAdvances) {
    CRippleField f;
    CReferenceRippleField ref;
    ASSERT_TRUE(f.Resize(29, 13));
    ref.Resize(29, 13);
    for (int step = 0; step < 6; ++step) {
        f.Drop(14, 6, 5, 1000, f.GetCurrent());
        ref.Drop(14, 6, 5, 1000, ref.m_nCurrent);
        f.Render(nullptr, nullptr);
        ref.Propagate(ref.m_nCurrent, ref.m_nDampShift);
        ref.m_nCurrent ^= 1;
        ASSERT_EQ(f.GetCurrent(), ref.m_nCurrent);
        for (int b = 0; b < 2; ++b)
            for (std::size_t i = 0; i < ref.m_buffer0.size(); ++i)
                ASSERT_EQ(f.GetBuffer(b)[i], ref.Buffer(b)[i]) << step << " " << b << " " << i;
    }
}

} // namespace
