#include "gl/gl_rainfall.h"
#include "gl/gl_ripple_engine.h"
#include "gl/gl_self_test.h"
#include "headless_gl.h"

#include "reference_ripple.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using rillo::CGlRippleEngine;

// One context for the whole program, made on first use.
rillo::HeadlessGl* Context(std::string& why) {
    static std::string s_why;
    static std::unique_ptr<rillo::HeadlessGl> s_context = rillo::MakeHeadlessGl(s_why);
    why = s_why;
    return s_context.get();
}

class GlEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        rillo::HeadlessGl* context = Context(why);
        if (!context)
            GTEST_SKIP() << "no OpenGL 4.3 context: " << why;
        m_loader = context->GetLoader();
        m_engine = std::make_unique<CGlRippleEngine>(m_loader);
        ASSERT_TRUE(m_engine->IsUsable()) << m_engine->GetFailure();
    }
    rillo::gl::Loader m_loader = nullptr;
    std::unique_ptr<CGlRippleEngine> m_engine;
};

std::vector<std::uint32_t> RandomPixels(std::size_t n, std::mt19937& rng) {
    std::vector<std::uint32_t> v(n);
    for (auto& p : v)
        p = rng(); // top byte set on purpose: the renderer must ignore it
    return v;
}

// The GL engine and the reference side by side.
struct Twin {
    CGlRippleEngine& gl;
    CReferenceRippleField ref;
    std::vector<std::uint32_t> src, refDst;

    Twin(CGlRippleEngine& engine, std::int32_t w, std::int32_t h, std::mt19937& rng) : gl(engine) {
        EXPECT_TRUE(gl.Resize(w, h)) << w << "x" << h << ": " << gl.GetFailure();
        ref.Resize(w, h);
        src = RandomPixels(std::size_t(w) * h, rng);
        refDst = RandomPixels(std::size_t(w) * h, rng);
        EXPECT_TRUE(gl.SetPicture(src.data()));
        EXPECT_TRUE(gl.SetFrame(refDst.data()));
    }
    void Drop(std::int32_t x, std::int32_t y, std::int32_t radius, std::int32_t strength) {
        gl.Drop(x, y, radius, strength, gl.GetCurrent());
        ref.Drop(x, y, radius, strength, ref.m_nCurrent);
    }
    void Render() {
        gl.Render();
        ref.Render(src.data(), refDst.data());
    }
    template <class Gen> void FillHeights(Gen gen) {
        for (int b = 0; b < 2; ++b) {
            auto& q = ref.Buffer(b);
            for (auto& v : q)
                v = gen();
            EXPECT_TRUE(gl.WriteHeights(b, q.data()));
        }
    }
    void ExpectSame(const std::string& what) const {
        const std::size_t n = ref.m_buffer0.size();
        ASSERT_EQ(gl.GetCurrent(), ref.m_nCurrent) << what;
        std::vector<std::int32_t> cells(n);
        for (int b = 0; b < 2; ++b) {
            ASSERT_TRUE(gl.ReadHeights(b, cells.data())) << what << ": " << gl.GetFailure();
            const auto& q = b == 0 ? ref.m_buffer0 : ref.m_buffer1;
            for (std::size_t i = 0; i < n; ++i)
                ASSERT_EQ(cells[i], q[i]) << what << ": buffer " << b << " cell " << i;
        }
        std::vector<std::uint32_t> frame(n);
        ASSERT_TRUE(gl.ReadFrame(frame.data())) << what;
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(frame[i], refDst[i]) << what << ": pixel " << i;
    }
};

TEST_F(GlEngineTest, RainyStepsMatchTheReferenceOnEveryShape) {
    std::mt19937 rng(12345);
    const std::pair<std::int32_t, std::int32_t> shapes[] = {
        {1, 5},   {2, 6},   {3, 3},   {4, 4},   {3, 8},   {3, 300},  {300, 3},
        {5, 5},   {6, 7},   {7, 3},   {9, 6},   {12, 12}, {13, 7},   {16, 9},
        {17, 10}, {33, 12}, {64, 20}, {67, 23}, {257, 5}, {1030, 5}, {2051, 3}};
    for (auto [w, h] : shapes) {
        Twin t(*m_engine, w, h, rng);
        // Centres on and beyond the border, strengths below 64 and negative.
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

TEST_F(GlEngineTest, FieldsLargerThanOneDispatchMatchTheReference) {
    // More interior rows, or more columns, than one dispatch's work groups reach
    // (65535 either way is what every implementation offers).
    std::mt19937 rng(6);
    for (auto [w, h] : {std::pair{3, 65600}, {6, 65539}, {64 * 65535 + 70, 3}}) {
        Twin t(*m_engine, w, h, rng);
        t.FillHeights([&] { return std::int32_t(rng() % 4001) - 2000; });
        for (int step = 0; step < 3; ++step) {
            t.Drop(w - 3, h - 3, 40, 4000);
            t.Render();
            t.ExpectSame(std::to_string(w) + "x" + std::to_string(h) + " step " +
                         std::to_string(step));
            if (HasFatalFailure())
                return;
        }
    }
}

TEST_F(GlEngineTest, DropsOfEveryRadiusAnywhereMatchTheReference) {
    // The worked cone, drops on and beyond every border, radii that clip to the
    // field or overflow, and amounts that do not fit 32 bits.
    std::mt19937 rng(1);
    const std::int32_t places[][2] = {
        {5, 3},  {0, 0}, {8, 6},         {-3, 3},        {12, 3},
        {4, -2}, {4, 9}, {INT32_MIN, 3}, {3, INT32_MAX}, {INT32_MAX, INT32_MIN}};
    const std::int32_t radii[] = {1, 3, 10, 1000, 65537, INT32_MAX, INT32_MIN, -5, 0};
    const std::int32_t strengths[] = {128, 64 * 50, 63, -63, -200, INT32_MAX, INT32_MIN};
    Twin t(*m_engine, 9, 7, rng);
    for (auto& p : places)
        for (std::int32_t radius : radii)
            for (std::int32_t strength : strengths) {
                t.ref.Drop(p[0], p[1], radius, strength, 0);
                t.gl.Drop(p[0], p[1], radius, strength, 0);
                t.ref.Drop(p[1], p[0], radius, strength, 1);
                t.gl.Drop(p[1], p[0], radius, strength, 1);
            }
    t.ExpectSame("drops");

    // radius 60000 squares to a negative number: only distances whose square wraps
    // negative too fall inside, and their square root is NaN.
    Twin wide(*m_engine, 50000, 3, rng);
    wide.Drop(0, 1, 60000, 6400);
    wide.Drop(0, 1, 60000, 0);
    wide.ExpectSame("a radius whose square wraps");
}

TEST_F(GlEngineTest, ExtremeHeightsWrapLikeTheReference) {
    std::mt19937 rng(99);
    const std::int32_t extremes[] = {
        INT32_MIN, INT32_MIN + 1, INT32_MIN + 255, -2048,         -256,     -9, -8, -1, 0, 1, 7, 8,
        255,       256,           INT32_MAX - 255, INT32_MAX - 1, INT32_MAX};
    for (auto [w, h] : {std::pair{5, 5}, {9, 7}, {18, 6}, {37, 11}, {300, 4}, {3, 40}}) {
        for (int round = 0; round < 4; ++round) {
            Twin t(*m_engine, w, h, rng);
            std::uniform_int_distribution<int> pick(0, int(std::size(extremes)) - 1), mode(0, 2);
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

TEST_F(GlEngineTest, SlopesNearTheNegativeLimitWrapEachChannel) {
    // gx = INT32_MIN + t keeps the sample near the cell while c - gx wraps.
    std::mt19937 rng(21);
    for (std::int32_t w : {32, 1 << 14}) {
        const std::int32_t h = 4;
        const std::uint32_t gy = 0x80000000u / std::uint32_t(w);
        Twin t(*m_engine, w, h, rng);
        std::uint32_t v = rng();
        for (std::int32_t c = 0; c < w; ++c) {
            const std::size_t i = std::size_t(w + c);
            for (int b = 0; b < 2; ++b) {
                t.ref.Buffer(b)[i] = std::int32_t(v);
                t.ref.Buffer(b)[i + w] = std::int32_t(v - gy);
            }
            v -= 0x80000000u + rng() % 256;
        }
        for (int b = 0; b < 2; ++b)
            ASSERT_TRUE(t.gl.WriteHeights(b, t.ref.Buffer(b).data()));
        t.Render();
        t.ExpectSame("near INT32_MIN, " + std::to_string(w) + " wide");
    }
}

TEST_F(GlEngineTest, PropagationDampsAsTheWorkedValuesSay) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {1023, 1023}, {1024, 1023},   {2047, 2046},  {-1, 0},
        {-5, -4},     {-1024, -1023}, {-1025, -1023}};
    ASSERT_TRUE(m_engine->Resize(3, 3));
    for (auto [d, want] : cases) {
        std::int32_t cells[9] = {};
        cells[4] = -d;
        ASSERT_TRUE(m_engine->WriteHeights(1, cells));
        std::int32_t flat[9] = {};
        ASSERT_TRUE(m_engine->WriteHeights(0, flat));
        m_engine->Propagate(1, 10);
        ASSERT_TRUE(m_engine->ReadHeights(1, cells));
        EXPECT_EQ(cells[4], want) << d;
    }
}

TEST_F(GlEngineTest, ManyTicksOfTheSaversRainMatchTheReference) {
    // The saver's rain on the GL engine against the tick written out.
    struct Case {
        std::int32_t w, h, wavelength, amplitude, ticks;
    };
    for (const Case& c : {Case{97, 61, 30, 250, 300}, Case{320, 200, 100, 100, 200},
                          Case{64, 48, 12, 99, 60}, Case{40, 33, 7, INT32_MIN, 40}}) {
        std::mt19937 rng(7);
        const std::vector<std::uint32_t> picture = RandomPixels(std::size_t(c.w) * c.h, rng);
        std::vector<std::uint32_t> refFrame = picture;
        CReferenceRainfall ref;
        ref.m_nWavelength = c.wavelength;
        ref.m_nAmplitude = c.amplitude;
        ref.m_field.Resize(c.w, c.h);
        rillo::GlRainfall rain(*m_engine, rillo::SaverSettings{c.wavelength, c.amplitude});
        ASSERT_TRUE(rain.Resize(c.w, c.h));
        ASSERT_TRUE(m_engine->SetPicture(picture.data()));
        ASSERT_TRUE(m_engine->SetFrame(picture.data()));
        for (std::int32_t tick = 0; tick < c.ticks; ++tick) {
            const int steps = ref.Tick(picture.data(), refFrame.data());
            ASSERT_EQ(rain.Tick(), steps) << c.w << "x" << c.h << ", tick " << tick;
        }
        std::vector<std::uint32_t> frame(picture.size());
        std::vector<std::int32_t> cells(picture.size());
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h);
        ASSERT_TRUE(m_engine->ReadFrame(frame.data())) << m_engine->GetFailure();
        EXPECT_EQ(frame, refFrame) << what;
        ASSERT_TRUE(m_engine->ReadHeights(0, cells.data()));
        EXPECT_EQ(cells, ref.m_field.m_buffer0) << what;
        ASSERT_TRUE(m_engine->ReadHeights(1, cells.data()));
        EXPECT_EQ(cells, ref.m_field.m_buffer1) << what;
        EXPECT_EQ(m_engine->GetCurrent(), ref.m_field.m_nCurrent) << what;
    }
}

TEST_F(GlEngineTest, SizesItCannotHoldLeaveAnEmptyEngineThatStillFlips) {
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, -1}, {70000, 70000}, {INT32_MAX, 2}}) {
        EXPECT_FALSE(m_engine->Resize(w, h)) << w << "x" << h;
        EXPECT_TRUE(m_engine->IsUsable()) << m_engine->GetFailure();
        EXPECT_EQ(m_engine->GetWidth(), 0);
        std::uint32_t px[4] = {};
        EXPECT_FALSE(m_engine->SetPicture(px));
        EXPECT_FALSE(m_engine->ReadFrame(px));
        m_engine->Drop(1, 1, 5, 6400, 0);
        m_engine->Render();
        EXPECT_EQ(m_engine->GetCurrent(), 1);
    }
    EXPECT_TRUE(m_engine->Resize(4, 4));
    EXPECT_EQ(m_engine->GetCurrent(), 0);
}

TEST_F(GlEngineTest, SelfTestPassesAndLeavesTheEngineEmptyAndUsable) {
    std::string why;
    EXPECT_TRUE(rillo::RunGlSelfTest(*m_engine, &why)) << why;
    EXPECT_EQ(m_engine->GetWidth(), 0);
    EXPECT_TRUE(m_engine->IsUsable());
    std::mt19937 rng(3);
    Twin t(*m_engine, 20, 10, rng);
    t.Drop(10, 5, 4, 640);
    t.Render();
    t.ExpectSame("after the self-test");
}

// A loader that leaves out one function, or breaks one.
const char* g_missing = nullptr;
rillo::gl::Loader g_realLoader = nullptr;
using BindBufferBaseFn = void(RILLO_GL_CALL*)(unsigned, unsigned, unsigned);
BindBufferBaseFn g_realBindBufferBase = nullptr;
void* LoaderWithout(const char* name) {
    return std::strcmp(name, g_missing) == 0 ? nullptr : g_realLoader(name);
}
// Binds to a target that does not exist: GL_INVALID_ENUM, as a driver fault would.
void RILLO_GL_CALL BrokenBindBufferBase(unsigned, unsigned index, unsigned buffer) {
    g_realBindBufferBase(0x1234, index, buffer);
}
void* LoaderWithBrokenBinding(const char* name) {
    if (std::strcmp(name, "glBindBufferBase") == 0) {
        g_realBindBufferBase = reinterpret_cast<BindBufferBaseFn>(g_realLoader(name));
        return reinterpret_cast<void*>(&BrokenBindBufferBase);
    }
    return g_realLoader(name);
}

TEST_F(GlEngineTest, MissingFunctionsAndGlErrorsMakeItUnusableWithoutHarm) {
    g_realLoader = m_loader;
    for (const char* name : {"glDispatchCompute", "glGetError", "glClearBufferData"}) {
        g_missing = name;
        CGlRippleEngine engine(&LoaderWithout);
        EXPECT_FALSE(engine.IsUsable()) << name;
        EXPECT_NE(engine.GetFailure().find(name), std::string::npos) << engine.GetFailure();
        EXPECT_FALSE(engine.Resize(8, 8));
        engine.Drop(4, 4, 3, 640, 0);
        engine.Render();
        EXPECT_FALSE(engine.Finish());
    }
    CGlRippleEngine none(nullptr);
    EXPECT_FALSE(none.IsUsable());

    // An error in the middle of a run: reported, and nothing afterwards pretends to work.
    CGlRippleEngine engine(&LoaderWithBrokenBinding);
    ASSERT_TRUE(engine.IsUsable()) << engine.GetFailure();
    ASSERT_TRUE(engine.Resize(16, 8));
    engine.Drop(8, 4, 3, 640, 0);
    EXPECT_FALSE(engine.IsUsable());
    EXPECT_NE(engine.GetFailure().find("GL error 0x0500"), std::string::npos)
        << engine.GetFailure();
    std::uint32_t frame[16 * 8];
    EXPECT_FALSE(engine.ReadFrame(frame));
    EXPECT_FALSE(engine.Resize(16, 8));
    std::string why;
    EXPECT_FALSE(rillo::RunGlSelfTest(engine, &why));
    EXPECT_FALSE(why.empty());
    // The good engine on the same context is untouched by it.
    EXPECT_TRUE(m_engine->Resize(4, 4));
    EXPECT_TRUE(m_engine->Finish());
}

TEST(GlRenderer, SoftwareRenderersAreKnownByName) {
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "Gallium 0.4 on softpipe",
                             "Google SwiftShader", "GDI Generic", "Microsoft Basic Render Driver"})
        EXPECT_TRUE(rillo::IsSoftwareRenderer(name)) << name;
    const char* const hardware[] = {"AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)",
                                    "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "", nullptr};
    for (const char* name : hardware)
        EXPECT_FALSE(rillo::IsSoftwareRenderer(name)) << (name ? name : "null");
}

} // namespace
