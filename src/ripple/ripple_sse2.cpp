// SSE2 row kernels: four cells per iteration. SSE2 is the baseline of every x86
// build (the 32-bit one is compiled with -msse2), so no run-time check is needed.
#include "ripple/ripple_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace rillo {

namespace {

// Low 32 bits of the lane products (pmulld is SSE4.1).
inline __m128i MulLo(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_si128(a, 4), _mm_srli_si128(b, 4));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

inline __m128i Load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// Shades four sample pixels by their slopes gx: each channel c - gx clamped to
// 0..255, top byte 0. gx saturated to 16 bits and then to an unsigned byte is the
// darkening clamp(gx, 0, 255), -gx likewise the brightening; one saturating byte
// subtract and one add apply them. Lanes whose gx is within 255 of INT32_MIN
// (where c - gx wraps in 32 bits) never get here.
inline __m128i Shade(__m128i p, __m128i gx) {
    const __m128i words = _mm_packs_epi32(gx, gx);
    // Bytes down0..3 twice, then up0..3 twice.
    const __m128i bytes = _mm_packus_epi16(words, _mm_subs_epi16(_mm_setzero_si128(), words));
    const __m128i down = _mm_unpacklo_epi8(bytes, bytes);
    const __m128i up = _mm_unpackhi_epi8(bytes, bytes);
    const __m128i shaded =
        _mm_adds_epu8(_mm_subs_epu8(p, _mm_unpacklo_epi16(down, down)), _mm_unpacklo_epi16(up, up));
    return _mm_and_si128(shaded, _mm_set1_epi32(0x00FFFFFF));
}

// The four source pixels at indices f, all inside the picture.
inline __m128i Sample(const std::uint32_t* src, __m128i f) {
#if defined(__x86_64__)
    // Two indices per 64-bit move spare the trip through memory.
    const auto lo = std::uint64_t(_mm_cvtsi128_si64(f));
    const auto hi = std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(f, f)));
    const __m128i p01 = _mm_unpacklo_epi32(_mm_cvtsi32_si128(std::int32_t(src[std::uint32_t(lo)])),
                                           _mm_cvtsi32_si128(std::int32_t(src[lo >> 32])));
    const __m128i p23 = _mm_unpacklo_epi32(_mm_cvtsi32_si128(std::int32_t(src[std::uint32_t(hi)])),
                                           _mm_cvtsi32_si128(std::int32_t(src[hi >> 32])));
    return _mm_unpacklo_epi64(p01, p23);
#else
    alignas(16) std::int32_t fi[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(fi), f);
    return _mm_setr_epi32(std::int32_t(src[fi[0]]), std::int32_t(src[fi[1]]),
                          std::int32_t(src[fi[2]]), std::int32_t(src[fi[3]]));
#endif
}

// Four pixels from cell i on. Returns false, writing nothing, when a sample falls
// outside the picture or a channel would wrap; the caller then goes cell by cell.
// kNarrow: width < 2^15, so (gy >> 3) * width is one multiply-add of 16-bit halves
// wherever gy >> 3 fits 16 bits; lanes where it does not go cell by cell too.
template <bool kNarrow>
inline bool RenderBlock(const std::int32_t* h, std::int32_t width, std::int32_t i, __m128i vi,
                        __m128i limit, const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i hc = Load(h + i);
    const __m128i gx = _mm_sub_epi32(hc, Load(h + i + 1));
    const __m128i gy = _mm_sub_epi32(hc, Load(h + i + width));
    const __m128i dy = _mm_srai_epi32(gy, 3);
    __m128i ok;
    __m128i f;
    if (kNarrow) {
        // gy >> 3 fits 16 bits when gy >> 18 is 0 or -1.
        const __m128i top = _mm_srai_epi32(gy, 18);
        ok = _mm_cmpeq_epi32(top, _mm_srai_epi32(top, 31));
        f = _mm_madd_epi16(dy, _mm_set1_epi32(width));
    } else {
        ok = _mm_set1_epi32(-1);
        f = MulLo(dy, _mm_set1_epi32(width));
    }
    f = _mm_add_epi32(_mm_add_epi32(vi, f), _mm_srai_epi32(gx, 3));
    // (f - 1) < (cells - 1) unsigned, as a signed compare of sign-flipped values.
    const __m128i biased =
        _mm_xor_si128(_mm_sub_epi32(f, _mm_set1_epi32(1)), _mm_set1_epi32(INT32_MIN));
    const __m128i wraps = _mm_cmplt_epi32(gx, _mm_set1_epi32(INT32_MIN + 256));
    ok = _mm_and_si128(ok, _mm_andnot_si128(wraps, _mm_cmplt_epi32(biased, limit)));
    if (_mm_movemask_epi8(ok) != 0xFFFF)
        return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), Shade(Sample(src, f), gx));
    return true;
}

inline void PropagateBlock(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                           std::int32_t i, __m128i count) {
    const std::int32_t* up = r + (i - width);
    const std::int32_t* dn = r + (i + width);
    __m128i s = _mm_add_epi32(Load(up - 1), Load(up));
    s = _mm_add_epi32(s, Load(up + 1));
    s = _mm_add_epi32(s, _mm_add_epi32(Load(r + i - 1), Load(r + i + 1)));
    s = _mm_add_epi32(s, _mm_add_epi32(Load(dn - 1), Load(dn)));
    s = _mm_add_epi32(s, Load(dn + 1));
    const __m128i d = _mm_sub_epi32(_mm_srai_epi32(s, 2), Load(w + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i), _mm_sub_epi32(d, _mm_sra_epi32(d, count)));
}

// A hint to fetch the line holding base[index]. The address is formed as an
// integer: beyond a buffer's end the hint is merely useless, never an access.
// Forced inline: a separate function that only prefetches counts as free of
// effects, and calls to it are dropped.
__attribute__((always_inline)) inline void Prefetch(const void* base, std::int64_t index) {
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(base) +
                                               std::uintptr_t(index) * 4u),
                 _MM_HINT_T0);
}

// With six streams and scattered samples in flight the hardware prefetcher falls
// behind. The source goes 8 rows ahead (samples reach a few rows beyond the cell,
// and their first touch would otherwise wait on memory), the other streams one
// line each, 1 KiB ahead. w and r may be null (pixels only). k counts cells.
__attribute__((always_inline)) inline void
PrefetchStep(const std::int32_t* h, const std::int32_t* w, const std::int32_t* r,
             const std::uint32_t* src, const std::uint32_t* dst, std::int32_t i, std::int32_t k,
             std::int32_t width) {
    constexpr std::int64_t kAhead = 256;
    if ((k & 7) == 0)
        Prefetch(src, std::int64_t(i) + 8 * std::int64_t(width));
    if ((k & 15) != 0)
        return;
    Prefetch(h, std::int64_t(i) + width + kAhead);
    Prefetch(dst, std::int64_t(i) + kAhead);
    if (w && r) {
        Prefetch(r, std::int64_t(i) + width + kAhead);
        Prefetch(w, std::int64_t(i) + kAhead);
    }
}

__m128i SampleLimit(std::int32_t cells) {
    return _mm_set1_epi32(std::int32_t(std::uint32_t(cells - 1) ^ 0x80000000u));
}

template <bool kNarrow>
void RenderRow(const std::int32_t* h, std::int32_t width, std::int32_t cells, std::int32_t i0,
               std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i limit = SampleLimit(cells);
    __m128i vi = _mm_setr_epi32(i0, i0 + 1, i0 + 2, i0 + 3);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4, vi = _mm_add_epi32(vi, _mm_set1_epi32(4))) {
        const std::int32_t i = i0 + k;
        PrefetchStep(h, nullptr, nullptr, src, dst, i, k, width);
        if (!RenderBlock<kNarrow>(h, width, i, vi, limit, src, dst))
            for (std::int32_t j = i; j < i + 4; ++j)
                RenderCell(h, width, cells, j, src, dst);
    }
    for (; k < n; ++k)
        RenderCell(h, width, cells, i0 + k, src, dst);
}

void PropagateRowSse2(std::int32_t* w, const std::int32_t* r, std::int32_t width, std::int32_t i0,
                      std::int32_t n, int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4)
        PropagateBlock(w, r, width, i0 + k, count);
    for (; k < n; ++k)
        PropagateCell(w, r, width, i0 + k, shift);
}

// Both passes over the same four cells at once. Safe even when w is the height
// map h: the block's pixels are done before its heights change, and later blocks
// read only cells at or beyond the next block.
template <bool kNarrow>
void StepRow(const std::int32_t* h, std::int32_t* w, const std::int32_t* r, std::int32_t width,
             std::int32_t cells, std::int32_t i0, std::int32_t n, int shift,
             const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i limit = SampleLimit(cells);
    const __m128i count = _mm_cvtsi32_si128(shift);
    __m128i vi = _mm_setr_epi32(i0, i0 + 1, i0 + 2, i0 + 3);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4, vi = _mm_add_epi32(vi, _mm_set1_epi32(4))) {
        const std::int32_t i = i0 + k;
        PrefetchStep(h, w, r, src, dst, i, k, width);
        if (!RenderBlock<kNarrow>(h, width, i, vi, limit, src, dst))
            for (std::int32_t j = i; j < i + 4; ++j)
                RenderCell(h, width, cells, j, src, dst);
        PropagateBlock(w, r, width, i, count);
    }
    for (; k < n; ++k) {
        RenderCell(h, width, cells, i0 + k, src, dst);
        PropagateCell(w, r, width, i0 + k, shift);
    }
}

void RenderRowSse2(const std::int32_t* h, std::int32_t width, std::int32_t cells, std::int32_t i0,
                   std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    if (width < 0x8000)
        RenderRow<true>(h, width, cells, i0, n, src, dst);
    else
        RenderRow<false>(h, width, cells, i0, n, src, dst);
}

void StepRowSse2(const std::int32_t* h, std::int32_t* w, const std::int32_t* r, std::int32_t width,
                 std::int32_t cells, std::int32_t i0, std::int32_t n, int shift,
                 const std::uint32_t* src, std::uint32_t* dst) {
    if (width < 0x8000)
        StepRow<true>(h, w, r, width, cells, i0, n, shift, src, dst);
    else
        StepRow<false>(h, w, r, width, cells, i0, n, shift, src, dst);
}

const RippleKernels kSse2Kernels = {"sse2", RenderRowSse2, PropagateRowSse2, StepRowSse2};

} // namespace

const RippleKernels* Sse2Kernels() {
    return &kSse2Kernels;
}

} // namespace rillo

#else

namespace rillo {
const RippleKernels* Sse2Kernels() {
    return nullptr;
}
} // namespace rillo

#endif
