// A deliberately plain water engine written straight from the rules: one cell at
// a time, full pixel pass then full propagation, wrap-around through 64-bit and
// unsigned arithmetic. The production engine must match it bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

class CReferenceRippleField {
  public:
    std::int32_t m_nWidth = 0;
    std::int32_t m_nHeight = 0;
    std::int32_t m_nCurrent = 0;
    std::int32_t m_nDampShift = 10;
    std::vector<std::int32_t> m_buffer0;
    std::vector<std::int32_t> m_buffer1;

    static std::int32_t Wrap(std::int64_t v) {
        return std::int32_t(std::uint32_t(std::uint64_t(v)));
    }
    // Arithmetic shift toward minus infinity, spelled out.
    static std::int32_t Sar(std::int32_t v, int s) {
        const std::int64_t q = std::int64_t(v);
        return std::int32_t(q >= 0 ? q / (std::int64_t(1) << s)
                                   : -((-q + (std::int64_t(1) << s) - 1) / (std::int64_t(1) << s)));
    }

    void Resize(std::int32_t w, std::int32_t h) {
        m_nWidth = w;
        m_nHeight = h;
        m_nCurrent = 0;
        m_buffer0.assign(std::size_t(w) * std::size_t(h), 0);
        m_buffer1.assign(std::size_t(w) * std::size_t(h), 0);
    }

    std::vector<std::int32_t>& Buffer(std::int32_t n) { return n == 0 ? m_buffer0 : m_buffer1; }

    void Drop(std::int32_t x, std::int32_t y, std::int32_t radius, std::int32_t strength,
              std::int32_t buffer) {
        std::vector<std::int32_t>& t = Buffer(buffer);
        const std::int64_t k = strength / 64;
        const std::int64_t X = x, Y = y, R = radius, W = m_nWidth, H = m_nHeight;
        const std::int64_t dyStart = Y - R >= 1 ? -R : 1 - Y;
        const std::int64_t dyEnd = Y + R <= H - 1 ? R : H - 1 - Y;
        const std::int64_t dxStart = X - R >= 1 ? -R : 1 - X;
        const std::int64_t dxEnd = X + R <= W - 1 ? R : W - 1 - X;
        for (std::int64_t dy = dyStart; dy < dyEnd; ++dy) {
            for (std::int64_t dx = dxStart; dx < dxEnd; ++dx) {
                const std::int32_t d2 = Wrap(dx * dx + dy * dy);
                if (d2 < Wrap(R * R)) {
                    const double v = (double(radius) - std::sqrt(double(d2))) * double(k);
                    // What the processor's truncating conversion gives.
                    const std::int32_t add =
                        (v >= -2147483648.0 && v < 2147483648.0) ? std::int32_t(v) : INT32_MIN;
                    std::int32_t& cell = t[std::size_t((Y + dy) * W + (X + dx))];
                    cell = Wrap(std::int64_t(cell) + add);
                }
            }
        }
    }

    void RenderPixels(const std::uint32_t* src, std::uint32_t* dst) const {
        const std::int64_t w = m_nWidth, h = m_nHeight;
        const std::vector<std::int32_t>& H = m_buffer0;
        for (std::int64_t r = 1; r < h - 1; ++r) {
            for (std::int64_t c = 1; c < w - 1; ++c) {
                const std::int64_t i = r * w + c;
                const std::int32_t gx = Wrap(std::int64_t(H[i]) - H[i + 1]);
                const std::int32_t gy = Wrap(std::int64_t(H[i]) - H[i + w]);
                const std::int32_t f = Wrap(i + std::int64_t(Sar(gy, 3)) * w + Sar(gx, 3));
                if (f > 0 && f < w * h) {
                    const std::uint32_t p = src[f];
                    std::int32_t ch[3] = {std::int32_t(p & 0xFF), std::int32_t((p >> 8) & 0xFF),
                                          std::int32_t((p >> 16) & 0xFF)};
                    for (std::int32_t& c2 : ch) {
                        c2 = Wrap(std::int64_t(c2) - gx);
                        c2 = c2 < 0 ? 0 : c2 > 255 ? 255 : c2;
                    }
                    dst[i] = std::uint32_t(ch[2]) << 16 | std::uint32_t(ch[1]) << 8 |
                             std::uint32_t(ch[0]);
                }
            }
        }
    }

    void Propagate(std::int32_t buffer, std::int32_t shift) {
        std::vector<std::int32_t>& Wb = buffer == 0 ? m_buffer0 : m_buffer1;
        const std::vector<std::int32_t>& Rb = buffer == 0 ? m_buffer1 : m_buffer0;
        const std::int64_t w = m_nWidth, h = m_nHeight;
        for (std::int64_t r = 1; r < h - 1; ++r) {
            for (std::int64_t c = 1; c < w - 1; ++c) {
                const std::int64_t i = r * w + c;
                const std::int64_t s64 = std::int64_t(Rb[i - w - 1]) + Rb[i - w] + Rb[i - w + 1] +
                                         Rb[i - 1] + Rb[i + 1] + Rb[i + w - 1] + Rb[i + w] +
                                         Rb[i + w + 1];
                const std::int32_t s = Wrap(s64);
                const std::int32_t d = Wrap(std::int64_t(Sar(s, 2)) - Wb[i]);
                Wb[i] = Wrap(std::int64_t(d) - Sar(d, shift & 31));
            }
        }
    }

    void Render(const std::uint32_t* src, std::uint32_t* dst) {
        RenderPixels(src, dst);
        Propagate(m_nCurrent, m_nDampShift);
        m_nCurrent ^= 1;
    }
};

// The saver's tick written out plainly: two attempts, each seeding the generator
// with the last number drawn; a point inside (15, 20, w + 15, h + 20) becomes a
// drop of the amplitude less 36 at the point less (15, 20) and one step of the water.
struct CReferenceRainfall {
    std::uint32_t m_nSeed = 100;
    std::int32_t m_nWavelength = 100;
    std::int32_t m_nAmplitude = 100;
    CReferenceRippleField m_field;

    int Tick(const std::uint32_t* src, std::uint32_t* dst) {
        const std::int64_t w = m_field.m_nWidth, h = m_field.m_nHeight;
        int steps = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::uint32_t s = m_nSeed;
            s = s * 214013u + 2531011u;
            const std::int64_t r1 = (s >> 16) & 0x7FFF;
            s = s * 214013u + 2531011u;
            const std::int64_t r2 = (s >> 16) & 0x7FFF;
            m_nSeed = std::uint32_t(r2);
            // Exact for screens narrower than 65536 pixels, where w * r fits 32 bits.
            const std::int64_t x = w * r1 / 32767, y = h * r2 / 32767;
            if (x >= 15 && x < w + 15 && y >= 20 && y < h + 20) {
                m_field.Drop(std::int32_t(x - 15), std::int32_t(y - 20), m_nWavelength,
                             CReferenceRippleField::Wrap(std::int64_t(m_nAmplitude) - 36),
                             m_field.m_nCurrent);
                m_field.Render(src, dst);
                ++steps;
            }
        }
        return steps;
    }
};
