// Row kernels of the water engine, one set per instruction set.
//
// Every set computes the same integers: the scalar cell functions below are the
// rule, and the vector sets fall back to them for row tails and rare lanes.
// RunnableKernels lists the sets the processor supports; a field is given one.
#pragma once

#include <cstdint>

namespace rillo {

// Signed 32-bit arithmetic with two's-complement wrap-around, done unsigned so it
// stays defined. Right shifts of negative values are arithmetic on every compiler
// we build with (and defined so from C++20 on).
inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return std::int32_t(std::uint32_t(a) + std::uint32_t(b));
}
inline std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
    return std::int32_t(std::uint32_t(a) - std::uint32_t(b));
}
inline std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
    return std::int32_t(std::uint32_t(a) * std::uint32_t(b));
}

inline std::uint32_t ClampChannel(std::int32_t v) {
    return v < 0 ? 0u : v > 255 ? 255u : std::uint32_t(v);
}

// One destination pixel i from the buffer-0 heights of its cell (hc), the cell
// right of it (hr) and the one below it in memory (hd). cells = width * height.
inline void RenderCellOf(std::int32_t hc, std::int32_t hr, std::int32_t hd, std::int32_t width,
                         std::int32_t cells, std::int32_t i, const std::uint32_t* src,
                         std::uint32_t* dst) {
    const std::int32_t gx = WrapSub(hc, hr);
    const std::int32_t gy = WrapSub(hc, hd);
    const std::int32_t f = WrapAdd(WrapAdd(i, WrapMul(gy >> 3, width)), gx >> 3);
    if (f <= 0 || f >= cells)
        return; // outside the picture: the pixel keeps what it had
    const std::uint32_t p = src[f];
    const std::uint32_t b = ClampChannel(WrapSub(std::int32_t(p & 0xFF), gx));
    const std::uint32_t g = ClampChannel(WrapSub(std::int32_t((p >> 8) & 0xFF), gx));
    const std::uint32_t r = ClampChannel(WrapSub(std::int32_t((p >> 16) & 0xFF), gx));
    dst[i] = (r << 16) | (g << 8) | b;
}

// One destination pixel i from buffer-0 heights h.
inline void RenderCell(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                       std::int32_t i, const std::uint32_t* src, std::uint32_t* dst) {
    RenderCellOf(h[i], h[i + 1], h[i + width], width, cells, i, src, dst);
}

// One damped wave step of cell i: w from its eight neighbours in r. shift is 0..31.
inline void PropagateCell(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                          std::int32_t i, int shift) {
    const std::int32_t* up = r + (i - width);
    const std::int32_t* dn = r + (i + width);
    std::uint32_t s = std::uint32_t(up[-1]) + std::uint32_t(up[0]) + std::uint32_t(up[1]);
    s += std::uint32_t(r[i - 1]) + std::uint32_t(r[i + 1]);
    s += std::uint32_t(dn[-1]) + std::uint32_t(dn[0]) + std::uint32_t(dn[1]);
    const std::int32_t d = WrapSub(std::int32_t(s) >> 2, w[i]);
    w[i] = WrapSub(d, d >> shift);
}

// Cells readable before the first and after the last cell of each height buffer
// (always zero); the buffers themselves start on a 64-byte boundary. Kernels may
// read that far outside a buffer and write only the cells they are given. (The
// AVX-512 set reads up to 30 cells before and 46 after.)
constexpr std::int32_t kHeightPadding = 64;

struct RippleKernels {
    const char* pszName;
    // Pixels of cells i0 .. i0 + n - 1, all interior cells of one row.
    void (*pfnRenderRow)(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                         std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                         std::uint32_t* dst);
    // Wave step of cells i0 .. i0 + n - 1, all interior cells of one row.
    void (*pfnPropagateRow)(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                            std::int32_t i0, std::int32_t n, int shift);
    // Both of the above over the same cells, pixels first (r is the buffer read by
    // the wave step, w the one written, h buffer 0); null where a set has no
    // combined loop.
    void (*pfnStepRow)(const std::int32_t* h, std::int32_t* w, const std::int32_t* r,
                       std::int32_t width, std::int32_t cells, std::int32_t i0, std::int32_t n,
                       int shift, const std::uint32_t* src, std::uint32_t* dst);
    // The 16-bit cells: n of them widened to 32 bits, and n 32-bit heights that fit
    // 16 bits narrowed, the least and greatest of them folded into *pMin and *pMax.
    void (*pfnWidenRow)(const std::int16_t* from, std::int32_t* to, std::int32_t n);
    void (*pfnNarrowRow)(const std::int32_t* from, std::int16_t* to, std::int32_t n,
                         std::int32_t* pMin, std::int32_t* pMax);
    // n 32-bit heights copied, their least and greatest folded in likewise.
    void (*pfnCopyRow)(const std::int32_t* from, std::int32_t* to, std::int32_t n,
                       std::int32_t* pMin, std::int32_t* pMax);
    // Wave step of n cells read straight from 16-bit rows: w the cells' old heights,
    // up, mid and dn the rows above, at and below them in the other buffer (each
    // read from one cell before to one cell after). The new heights go narrowed to
    // out. Returns whether they all fit 16 bits; where not, out holds nothing useful.
    // Pixels of cells i0 .. i0 + n - 1 of row r = i0 / width, from 16-bit rows: h0 is
    // row r of buffer 0 and h1 row r + 1, each from its first cell; null where a set
    // has none (the rows are then widened for pfnRenderRow).
    void (*pfnRenderRow16)(const std::int16_t* h0, const std::int16_t* h1, std::int32_t width,
                           std::int32_t cells, std::int32_t i0, std::int32_t n,
                           const std::uint32_t* src, std::uint32_t* dst);
    bool (*pfnPropagateRow16)(std::int16_t* out, const std::int16_t* w, const std::int16_t* up,
                              const std::int16_t* mid, const std::int16_t* dn, std::int32_t n,
                              int shift);
};

// Plain C++, two cells per iteration: builds everywhere.
extern const RippleKernels kPortableKernels;

// The vector sets this build carries: SSE2 wherever the compiler may use it (every
// x86 build), AVX2 and AVX-512 in 64-bit x86 builds, the ones the tests run.
#if defined(__SSE2__)
#define RILLO_SSE2_KERNELS 1
#endif
#if defined(__x86_64__)
#define RILLO_AVX_KERNELS 1
#endif

// The SSE2, AVX2 and AVX-512 sets, or null where they are not built in or the processor
// lacks the instructions.
const RippleKernels* Sse2Kernels();
const RippleKernels* Avx2Kernels();
const RippleKernels* Avx512Kernels();

// The sets this build and processor can run, widest first; the portable set is
// always the last.
struct RippleKernelList {
    const RippleKernels* const* pSets;
    int nCount;
    const RippleKernels* const* begin() const { return pSets; }
    const RippleKernels* const* end() const { return pSets + nCount; }
};
RippleKernelList RunnableKernels();

// The widest set this processor runs: what a field uses unless it is given one.
const RippleKernels& WidestKernels();

// Portable bodies of the row helpers of the 16-bit cells, for the sets to share.
void WidenRowPortable(const std::int16_t* from, std::int32_t* to, std::int32_t n);
void NarrowRowPortable(const std::int32_t* from, std::int16_t* to, std::int32_t n,
                       std::int32_t* pMin, std::int32_t* pMax);
void CopyRowPortable(const std::int32_t* from, std::int32_t* to, std::int32_t n, std::int32_t* pMin,
                     std::int32_t* pMax);
bool PropagateRow16Portable(std::int16_t* out, const std::int16_t* w, const std::int16_t* up,
                            const std::int16_t* mid, const std::int16_t* dn, std::int32_t n,
                            int shift);

// The 16-bit wave step of one cell k, as PropagateCell computes it: from 16-bit
// heights no sum wraps, so plain arithmetic gives the same integers.
inline std::int32_t PropagateCell16(const std::int16_t* w, const std::int16_t* up,
                                    const std::int16_t* mid, const std::int16_t* dn, std::int32_t k,
                                    int shift) {
    const std::int32_t s =
        up[k - 1] + up[k] + up[k + 1] + mid[k - 1] + mid[k + 1] + dn[k - 1] + dn[k] + dn[k + 1];
    const std::int32_t d = (s >> 2) - w[k];
    return d - (d >> shift);
}

} // namespace rillo
