#include "gl/gl_self_test.h"

#include "ripple/ripple_field.h"

#include <cstdint>
#include <vector>

namespace rillo {

namespace {

// An odd width (rows do not pair up), a sample that leaves the picture at the top
// and bottom, and heights at both ends of the 32-bit range.
constexpr std::int32_t kWidth = 37;
constexpr std::int32_t kHeight = 13;
constexpr int kSteps = 6;

struct Drop {
    std::int32_t x, y, radius, strength;
};
// On the border, beyond it, ordinary, and with a strength that adds nothing.
constexpr Drop kDrops[kSteps] = {{18, 6, 5, 640}, {0, 0, 4, 3000},  {40, 14, 9, 900},
                                 {7, 3, 3, 63},   {30, 9, 6, -700}, {18, 6, 12, 6400}};

std::uint32_t Next(std::uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed;
}

bool Compare(CGlRippleEngine& engine, const CRippleField& field,
             const std::vector<std::uint32_t>& frame, std::vector<std::int32_t>& cells,
             std::vector<std::uint32_t>& pixels, int step, std::string* pWhy) {
    const auto n = std::size_t(kWidth) * kHeight;
    for (int b = 0; b < 2; ++b) {
        if (!engine.ReadHeights(b, cells.data()))
            break;
        for (std::size_t i = 0; i < n; ++i)
            if (cells[i] != field.GetBuffer(b)[i]) {
                if (pWhy)
                    *pWhy = "step " + std::to_string(step) + ": buffer " + std::to_string(b) +
                            " cell " + std::to_string(i) + " differs";
                return false;
            }
    }
    if (engine.ReadFrame(pixels.data()))
        for (std::size_t i = 0; i < n; ++i)
            if (pixels[i] != frame[i]) {
                if (pWhy)
                    *pWhy = "step " + std::to_string(step) + ": pixel " + std::to_string(i) +
                            " differs";
                return false;
            }
    if (!engine.IsUsable()) {
        if (pWhy)
            *pWhy = engine.GetFailure();
        return false;
    }
    return true;
}

} // namespace

bool RunGlSelfTest(CGlRippleEngine& engine, std::string* pWhy) {
    const auto n = std::size_t(kWidth) * kHeight;
    std::vector<std::uint32_t> picture(n), frame(n), pixels(n);
    std::vector<std::int32_t> cells(n);
    CRippleField field;
    if (!field.Resize(kWidth, kHeight) || !engine.Resize(kWidth, kHeight)) {
        if (pWhy)
            *pWhy = engine.IsUsable() ? "no field" : engine.GetFailure();
        engine.Resize(0, 0);
        return false;
    }
    std::uint32_t seed = 2024;
    for (std::size_t i = 0; i < n; ++i) {
        picture[i] = Next(seed); // top byte set: it must be ignored
        frame[i] = Next(seed);
    }
    // Small slopes everywhere, and a few cells at the ends of the range.
    for (int b = 0; b < 2; ++b) {
        std::int32_t* h = field.GetBuffer(b);
        for (std::int32_t r = 1; r < kHeight - 1; ++r)
            for (std::int32_t c = 1; c < kWidth - 1; ++c)
                h[r * kWidth + c] = std::int32_t(Next(seed) >> 22) - 512;
        h[2 * kWidth + 5] = INT32_MAX;
        h[2 * kWidth + 6] = INT32_MIN + 3;
        h[9 * kWidth + 20] = INT32_MIN;
        h[10 * kWidth + 20] = INT32_MAX - 100;
        h[(kHeight - 2) * kWidth + 30] = 8 * kWidth * 40; // samples beyond the last row
        h[kWidth + 11] = -8 * kWidth * 40;                // and before the first
    }
    bool ok = engine.WriteHeights(0, field.GetBuffer(0)) &&
              engine.WriteHeights(1, field.GetBuffer(1)) && engine.SetPicture(picture.data()) &&
              engine.SetFrame(frame.data());
    for (int step = 0; ok && step < kSteps; ++step) {
        const Drop& d = kDrops[step];
        field.Drop(d.x, d.y, d.radius, d.strength, field.GetCurrent());
        engine.Drop(d.x, d.y, d.radius, d.strength, engine.GetCurrent());
        field.Render(picture.data(), frame.data());
        engine.Render();
        ok = Compare(engine, field, frame, cells, pixels, step, pWhy);
    }
    if (!ok && pWhy && pWhy->empty())
        *pWhy = engine.GetFailure();
    engine.Resize(0, 0);
    return ok && engine.IsUsable();
}

} // namespace rillo
