// SSE2 row kernels: four cells per iteration. SSE2 is the baseline of every x86
// build (the 32-bit one is compiled with -msse2), so no run-time check is needed.
#include "ripple/ripple_kernels.h"

#if defined(RILLO_SSE2_KERNELS)

#define RILLO_VECTOR_BYTES 16
#define RILLO_VECTOR_TARGET "sse2"
#include "ripple/ripple_vector.h"

namespace rillo {

namespace {

// Low 32 bits of the lane products (pmulld is SSE4.1).
RILLO_VECTOR_INLINE __m128i MulLo(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_si128(a, 4), _mm_srli_si128(b, 4));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// The four source pixels at indices f, all inside the picture.
RILLO_VECTOR_INLINE __m128i Sample(const std::uint32_t* src, __m128i f) {
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
// From the cells' heights hc, their right-hand neighbours' hr and those one row
// up in memory hd.
template <bool kNarrow>
RILLO_VECTOR_INLINE bool RenderBlockOf(__m128i hc, __m128i hr, __m128i hd, std::int32_t width,
                                       std::int32_t i, __m128i vi, __m128i limit,
                                       const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i gx = _mm_sub_epi32(hc, hr);
    const __m128i gy = _mm_sub_epi32(hc, hd);
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
    Store(dst + i, Shade(Sample(src, f), gx));
    return true;
}

template <bool kNarrow>
RILLO_VECTOR_INLINE bool RenderBlock(const std::int32_t* h, std::int32_t width, std::int32_t i,
                                     __m128i vi, __m128i limit, const std::uint32_t* src,
                                     std::uint32_t* dst) {
    return RenderBlockOf<kNarrow>(Load(h + i), Load(h + i + 1), Load(h + i + width), width, i, vi,
                                  limit, src, dst);
}

// Pixels from 16-bit rows: h0 the row of cells i0 .., h1 the one after it, both
// from their first cell.
template <bool kNarrow>
RILLO_VECTOR void Row16(const std::int16_t* h0, const std::int16_t* h1, std::int32_t width,
                        std::int32_t cells, std::int32_t i0, std::int32_t n,
                        const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i limit = _mm_set1_epi32(std::int32_t(std::uint32_t(cells - 1) ^ 0x80000000u));
    const std::int32_t c0 = i0 % width;
    const std::int16_t* row = h0 + c0;
    const std::int16_t* below = h1 + c0;
    __m128i vi = _mm_setr_epi32(i0, i0 + 1, i0 + 2, i0 + 3);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4, vi = _mm_add_epi32(vi, _mm_set1_epi32(4))) {
        const std::int32_t i = i0 + k;
        if ((k & 7) == 0)
            Prefetch(src, std::int64_t(i) + 8 * std::int64_t(width));
        if ((k & 15) == 0)
            Prefetch(dst, std::int64_t(i) + kPrefetchAhead);
        if (!RenderBlockOf<kNarrow>(Load16(row + k), Load16(row + k + 1), Load16(below + k), width,
                                    i, vi, limit, src, dst))
            for (std::int32_t j = k; j < k + 4; ++j)
                RenderCellOf(row[j], row[j + 1], below[j], width, cells, i0 + j, src, dst);
    }
    for (; k < n; ++k)
        RenderCellOf(row[k], row[k + 1], below[k], width, cells, i0 + k, src, dst);
}

RILLO_VECTOR void RenderRow16Sse2(const std::int16_t* h0, const std::int16_t* h1,
                                  std::int32_t width, std::int32_t cells, std::int32_t i0,
                                  std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    if (width < 0x8000)
        Row16<true>(h0, h1, width, cells, i0, n, src, dst);
    else
        Row16<false>(h0, h1, width, cells, i0, n, src, dst);
}

// Pixels of a row stretch, and with kWave its wave step over the same four cells
// at once. Safe even when w is the height map h: a block's pixels are done before
// its heights change, and later blocks read only cells at or beyond the next
// block.
template <bool kNarrow, bool kWave>
RILLO_VECTOR void Row(const std::int32_t* h, std::int32_t* w, const std::int32_t* r,
                      std::int32_t width, std::int32_t cells, std::int32_t i0, std::int32_t n,
                      int shift, const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i limit = _mm_set1_epi32(std::int32_t(std::uint32_t(cells - 1) ^ 0x80000000u));
    const __m128i count = _mm_cvtsi32_si128(shift);
    __m128i vi = _mm_setr_epi32(i0, i0 + 1, i0 + 2, i0 + 3);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4, vi = _mm_add_epi32(vi, _mm_set1_epi32(4))) {
        const std::int32_t i = i0 + k;
        PrefetchStep<kWave>(h, w, r, src, dst, i, k, width);
        if (!RenderBlock<kNarrow>(h, width, i, vi, limit, src, dst))
            for (std::int32_t j = i; j < i + 4; ++j)
                RenderCell(h, width, cells, j, src, dst);
        if (kWave)
            PropagateBlock(w, r, width, i, count);
    }
    for (; k < n; ++k) {
        RenderCell(h, width, cells, i0 + k, src, dst);
        if (kWave)
            PropagateCell(w, r, width, i0 + k, shift);
    }
}

template <bool kWave>
RILLO_VECTOR void RowAnyWidth(const std::int32_t* h, std::int32_t* w, const std::int32_t* r,
                              std::int32_t width, std::int32_t cells, std::int32_t i0,
                              std::int32_t n, int shift, const std::uint32_t* src,
                              std::uint32_t* dst) {
    if (width < 0x8000)
        Row<true, kWave>(h, w, r, width, cells, i0, n, shift, src, dst);
    else
        Row<false, kWave>(h, w, r, width, cells, i0, n, shift, src, dst);
}

RILLO_VECTOR void RenderRowSse2(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                                std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                                std::uint32_t* dst) {
    RowAnyWidth<false>(h, nullptr, nullptr, width, cells, i0, n, 0, src, dst);
}

RILLO_VECTOR void PropagateRowSse2(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                                   std::int32_t i0, std::int32_t n, int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4)
        PropagateBlock(w, r, width, i0 + k, count);
    for (; k < n; ++k)
        PropagateCell(w, r, width, i0 + k, shift);
}

const RippleKernels kSse2Kernels = {
    "sse2",    RenderRowSse2,   PropagateRowSse2, RowAnyWidth<true>, WidenRow,
    NarrowRow, CopyRowPortable, RenderRow16Sse2,  PropagateRow16};

} // namespace

const RippleKernels* Sse2Kernels() {
    return &kSse2Kernels;
}

} // namespace rillo

#endif
