// AVX2 row kernels: eight cells per iteration, used only when the processor
// reports AVX2, in 64-bit builds (the ones the tests run). For Windows this file
// is assembled with aligned vector moves encoded as unaligned ones: MinGW's gcc
// does not keep the stack 32-byte aligned for spilled 256-bit values, and an
// aligned spill could fault.
#include "ripple/ripple_kernels.h"

#if defined(RILLO_AVX_KERNELS)

#define RILLO_VECTOR_BYTES 32
#define RILLO_VECTOR_TARGET "avx2"
#include "ripple/ripple_vector.h"

namespace rillo {

namespace {

// Eight shaded pixels from cell i on, into *pOut. Returns false when a sample
// falls outside the picture or a channel would wrap; the caller then goes cell by
// cell.
// From the cells' heights hc, their right-hand neighbours' hr and those one row
// up in memory hd.
RILLO_VECTOR_INLINE bool ShadedBlockOf(__m256i hc, __m256i hr, __m256i hd, std::int32_t width,
                                       __m256i vi, __m256i lastIndex, const std::uint32_t* src,
                                       __m256i* pOut) {
    const __m256i gx = _mm256_sub_epi32(hc, hr);
    const __m256i gy = _mm256_sub_epi32(hc, hd);
    const __m256i f =
        _mm256_add_epi32(_mm256_add_epi32(vi, _mm256_mullo_epi32(_mm256_srai_epi32(gy, 3),
                                                                 _mm256_set1_epi32(width))),
                         _mm256_srai_epi32(gx, 3));
    // 0 < f < cells  <=>  (f - 1) <= cells - 2 unsigned.
    const __m256i f1 = _mm256_sub_epi32(f, _mm256_set1_epi32(1));
    const __m256i inside = _mm256_cmpeq_epi32(_mm256_min_epu32(f1, lastIndex), f1);
    const __m256i wraps = _mm256_cmpgt_epi32(_mm256_set1_epi32(INT32_MIN + 256), gx);
    if (!_mm256_testc_si256(_mm256_andnot_si256(wraps, inside), _mm256_set1_epi32(-1)))
        return false;
    // The gather instruction was no faster at screen sizes on the processors we
    // measured, and is much slower on some. Valid indices are positive, so reading them unsigned
    // spares the sign extensions.
    alignas(32) std::uint32_t fi[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(fi), f);
    const __m128i lo = _mm_setr_epi32(std::int32_t(src[fi[0]]), std::int32_t(src[fi[1]]),
                                      std::int32_t(src[fi[2]]), std::int32_t(src[fi[3]]));
    const __m128i hi = _mm_setr_epi32(std::int32_t(src[fi[4]]), std::int32_t(src[fi[5]]),
                                      std::int32_t(src[fi[6]]), std::int32_t(src[fi[7]]));
    *pOut = Shade(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), gx);
    return true;
}

RILLO_VECTOR_INLINE bool ShadedBlock(const std::int32_t* h, std::int32_t width, std::int32_t i,
                                     __m256i vi, __m256i lastIndex, const std::uint32_t* src,
                                     __m256i* pOut) {
    return ShadedBlockOf(Load(h + i), Load(h + i + 1), Load(h + i + width), width, vi, lastIndex,
                         src, pOut);
}

// Eight pixels from cell i on, written to dst (cell by cell where the block cannot
// be done at once).
RILLO_VECTOR_INLINE void RenderBlock(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                                     std::int32_t i, __m256i vi, __m256i lastIndex,
                                     const std::uint32_t* src, std::uint32_t* dst) {
    __m256i pixels;
    if (ShadedBlock(h, width, i, vi, lastIndex, src, &pixels))
        Store(dst + i, pixels);
    else
        for (std::int32_t j = i; j < i + 8; ++j)
            RenderCell(h, width, cells, j, src, dst);
}

RILLO_VECTOR void RenderRowAvx2(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                                std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                                std::uint32_t* dst) {
    const __m256i lastIndex = _mm256_set1_epi32(cells - 2);
    __m256i vi = _mm256_add_epi32(_mm256_set1_epi32(i0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    std::int32_t k = 0;
    for (; k + 8 <= n; k += 8, vi = _mm256_add_epi32(vi, _mm256_set1_epi32(8))) {
        const std::int32_t i = i0 + k;
        PrefetchStep<false>(h, nullptr, nullptr, src, dst, i, k, width);
        RenderBlock(h, width, cells, i, vi, lastIndex, src, dst);
    }
    for (; k < n; ++k)
        RenderCell(h, width, cells, i0 + k, src, dst);
}

// Pixels from 16-bit rows: h0 the row of cells i0 .., h1 the one after it, both
// from their first cell.
RILLO_VECTOR void RenderRow16Avx2(const std::int16_t* h0, const std::int16_t* h1,
                                  std::int32_t width, std::int32_t cells, std::int32_t i0,
                                  std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    const __m256i lastIndex = _mm256_set1_epi32(cells - 2);
    const std::int32_t c0 = i0 % width;
    const std::int16_t* row = h0 + c0;
    const std::int16_t* below = h1 + c0;
    __m256i vi = _mm256_add_epi32(_mm256_set1_epi32(i0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    std::int32_t k = 0;
    for (; k + 8 <= n; k += 8, vi = _mm256_add_epi32(vi, _mm256_set1_epi32(8))) {
        const std::int32_t i = i0 + k;
        if ((k & 7) == 0)
            Prefetch(src, std::int64_t(i) + 8 * std::int64_t(width));
        if ((k & 15) == 0)
            Prefetch(dst, std::int64_t(i) + kPrefetchAhead);
        __m256i pixels;
        if (ShadedBlockOf(Load16(row + k), Load16(row + k + 1), Load16(below + k), width, vi,
                          lastIndex, src, &pixels))
            Store(dst + i, pixels);
        else
            for (std::int32_t j = k; j < k + 8; ++j)
                RenderCellOf(row[j], row[j + 1], below[j], width, cells, i0 + j, src, dst);
    }
    for (; k < n; ++k)
        RenderCellOf(row[k], row[k + 1], below[k], width, cells, i0 + k, src, dst);
}

RILLO_VECTOR void PropagateRowAvx2(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                                   std::int32_t i0, std::int32_t n, int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::int32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        if ((k & 15) == 0) {
            Prefetch(r, std::int64_t(i0 + k) + width + kPrefetchAhead);
            Prefetch(w, std::int64_t(i0 + k) + kPrefetchAhead);
        }
        PropagateBlock(w, r, width, i0 + k, count);
    }
    for (; k < n; ++k)
        PropagateCell(w, r, width, i0 + k, shift);
}

// Stores a block's pixels (or renders it cell by cell when they could not be
// worked out at once) and then its heights.
RILLO_VECTOR_INLINE void StoreBlock(const std::int32_t* h, std::int32_t* w, std::int32_t width,
                                    std::int32_t cells, std::int32_t i, bool bPixels,
                                    __m256i pixels, __m256i wave, const std::uint32_t* src,
                                    std::uint32_t* dst) {
    if (__builtin_expect(bPixels, true)) // cell by cell is rare: keep the common path straight
        Store(dst + i, pixels);
    else
        for (std::int32_t j = i; j < i + 8; ++j)
            RenderCell(h, width, cells, j, src, dst);
    Store(w + i, wave);
}

// Both passes over the same eight cells at once, software-pipelined: the next
// block is loaded and worked out before this one is stored. Loads that follow a
// store to an address with the same low 12 bits wait for it, and the height maps,
// source and destination often start at the same offset within a page; loading
// ahead keeps the loads clear of the stores. Safe even when w is the height map h:
// a block's pixels are done before its heights are stored, and the next block
// reads only cells at or beyond its own start.
RILLO_VECTOR void StepRowAvx2(const std::int32_t* h, std::int32_t* w, const std::int32_t* r,
                              std::int32_t width, std::int32_t cells, std::int32_t i0,
                              std::int32_t n, int shift, const std::uint32_t* src,
                              std::uint32_t* dst) {
    const __m256i lastIndex = _mm256_set1_epi32(cells - 2);
    const __m128i count = _mm_cvtsi32_si128(shift);
    const __m256i eight = _mm256_set1_epi32(8);
    __m256i vi = _mm256_add_epi32(_mm256_set1_epi32(i0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    std::int32_t k = 0;
    if (n >= 8) {
        __m256i pixels, wave = PropagatedBlock(w, r, width, i0, count);
        bool bPixels = ShadedBlock(h, width, i0, vi, lastIndex, src, &pixels);
        for (; k + 16 <= n; k += 8) {
            const std::int32_t i = i0 + k;
            PrefetchStep<true>(h, w, r, src, dst, i, k, width);
            vi = _mm256_add_epi32(vi, eight);
            __m256i nextPixels;
            const bool bNextPixels = ShadedBlock(h, width, i + 8, vi, lastIndex, src, &nextPixels);
            const __m256i nextWave = PropagatedBlock(w, r, width, i + 8, count);
            StoreBlock(h, w, width, cells, i, bPixels, pixels, wave, src, dst);
            pixels = nextPixels;
            wave = nextWave;
            bPixels = bNextPixels;
        }
        StoreBlock(h, w, width, cells, i0 + k, bPixels, pixels, wave, src, dst);
        k += 8;
    }
    for (; k < n; ++k) {
        RenderCell(h, width, cells, i0 + k, src, dst);
        PropagateCell(w, r, width, i0 + k, shift);
    }
}

const RippleKernels kAvx2Kernels = {"avx2",      RenderRowAvx2,   PropagateRowAvx2,
                                    StepRowAvx2, WidenRow,        NarrowRow,
                                    CopyRow,     RenderRow16Avx2, PropagateRow16};

} // namespace

const RippleKernels* Avx2Kernels() {
    static const bool bSupported = [] {
        __builtin_cpu_init(); // may run before libgcc's own initialiser
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return bSupported ? &kAvx2Kernels : nullptr;
}

} // namespace rillo

#endif
