// AVX-512 row kernels: sixteen cells per iteration, used only when the processor
// reports AVX-512 F, BW and VL. For Windows it is assembled like the AVX2 set,
// with aligned vector moves encoded as unaligned ones.
//
// Over the AVX2 set it gains from its row blocks following the cache lines of
// the height buffers (see StepRow), from the hardware gather, which is no slower
// than loading the samples one by one at this width, and from streaming large
// frames to memory.
#include "ripple/ripple_kernels.h"

#if defined(RILLO_AVX_KERNELS)

// gcc 12's AVX-512 intrinsics start some results from a deliberately undefined
// value, which its own flow analysis then reports.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define RILLO_VECTOR_BYTES 64
#define RILLO_VECTOR_TARGET "avx512f,avx512bw,avx512vl"
#include "ripple/ripple_vector.h"

namespace rillo {

namespace {

// The shaded pixels of one block and which lanes to store. Lanes outside the
// picture are not stored; lanes in cellByCell are rendered cell by cell.
struct PixelBlock {
    __m512i pixels;
    __mmask16 store;
    __mmask16 cellByCell;
};

// Constants of one row stretch.
struct RowConstants {
    std::uint32_t cells;
    std::uint32_t width;
    __m512i lanes; // 0, 1, ..., 15
};

RILLO_VECTOR_INLINE RowConstants MakeRowConstants(std::int32_t width, std::int32_t cells) {
    RowConstants c;
    c.cells = std::uint32_t(cells);
    c.width = std::uint32_t(width);
    c.lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return c;
}

// Sixteen pixels of the cells from i on, from their heights hc, right-hand
// neighbours h1 and neighbours hw one row up in memory. Only lanes in active are
// worked out (the others lie outside the row).
RILLO_VECTOR_INLINE PixelBlock ShadedBlock(__m512i hc, __m512i h1, __m512i hw, std::int32_t i,
                                           __mmask16 active, const RowConstants& c,
                                           const std::uint32_t* src) {
    const __m512i gx = _mm512_sub_epi32(hc, h1);
    const __m512i gy = _mm512_sub_epi32(hc, hw);
    // f = i + (gy >> 3) * width + (gx >> 3), wrapping; 0 < f < cells, that is
    // f - 1 < cells - 1 unsigned.
    const __m512i f = _mm512_add_epi32(
        _mm512_add_epi32(
            _mm512_add_epi32(_mm512_set1_epi32(i), c.lanes),
            _mm512_mullo_epi32(_mm512_srai_epi32(gy, 3), _mm512_set1_epi32(std::int32_t(c.width)))),
        _mm512_srai_epi32(gx, 3));
    const __mmask16 inside = _mm512_cmplt_epu32_mask(_mm512_sub_epi32(f, _mm512_set1_epi32(1)),
                                                     _mm512_set1_epi32(std::int32_t(c.cells - 1)));
    const __mmask16 wraps =
        active & _mm512_cmplt_epi32_mask(gx, _mm512_set1_epi32(INT32_MIN + 256));
    PixelBlock b;
    b.store = active & inside & __mmask16(~wraps);
    b.cellByCell = wraps;
    b.pixels = Shade(_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), b.store, f, src, 4), gx);
    return b;
}

template <bool kStream = false>
RILLO_VECTOR_INLINE void StorePixels(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                                     std::int32_t i, const PixelBlock& b, const std::uint32_t* src,
                                     std::uint32_t* dst) {
    if (__builtin_expect(b.store == 0xFFFF, true)) {
        if (kStream)
            _mm512_stream_si512(reinterpret_cast<__m512i*>(dst + i), b.pixels);
        else
            _mm512_storeu_si512(dst + i, b.pixels);
        return;
    }
    _mm512_mask_storeu_epi32(dst + i, b.store, b.pixels);
    for (unsigned m = b.cellByCell; m != 0; m &= m - 1)
        RenderCell(h, width, cells, i + __builtin_ctz(m), src, dst);
}

// Lanes of the block at a that hold cells from i0 up to (not including) end.
RILLO_VECTOR_INLINE __mmask16 ActiveLanes(std::int32_t a, std::int32_t i0, std::int32_t end) {
    const std::int32_t lo = i0 > a ? i0 - a : 0;
    const std::int32_t hi = end - a < kLanes ? end - a : kLanes;
    return __mmask16((0xFFFFu << lo) & (0xFFFFu >> (kLanes - hi)));
}

// The pixels of the block at a, whose lanes beyond i0 .. end - 1 are left alone.
RILLO_VECTOR_INLINE PixelBlock PixelsAt(std::int32_t a, std::int32_t i0, std::int32_t end,
                                        const RowConstants& c, const std::uint32_t* src, __m512i hc,
                                        __m512i h1, __m512i hw) {
    const __mmask16 active =
        a >= i0 && a + kLanes <= end ? __mmask16(0xFFFF) : ActiveLanes(a, i0, end);
    return ShadedBlock(hc, h1, hw, a, active, c, src);
}

// Three rows of the buffer the wave step reads, at one block: the block's own
// row m, the row below it d (one row up in memory) and the column sums c of
// the rows above, own and below.
struct WaveRows {
    __m512i m, d, c;
};

RILLO_VECTOR_INLINE WaveRows LoadWaveRows(const std::int32_t* r, std::int32_t width,
                                          std::int32_t a) {
    WaveRows v;
    v.m = Load(r + a);
    v.d = Load(r + a + width);
    v.c = _mm512_add_epi32(_mm512_add_epi32(Load(r + a - width), v.d), v.m);
    return v;
}

// The row's blocks follow the cache lines of the height buffers: block a holds
// cells a .. a + 15 with a a multiple of 16, and the blocks at the row's ends
// store only their cells in the row. The eight-neighbour sum of the wave step is
// the column sums left, own and right less the cell itself; the left and right
// sums come from the blocks before and after by shifting lanes, so each block
// loads three lines of the read buffer instead of nine unaligned vectors.
// Software-pipelined: the pixels of a block are worked out one block ahead, so
// its samples are loaded before the previous block's pixels are stored: a load
// that follows a store to an address with the same low 12 bits waits for it, and
// the picture and the frame often start at the same offset in a page. Loads
// reach from 30 cells before a buffer (the row above the first block of row 1)
// to 46 after it (the rows below the block after the last one), all within the
// buffers' padding.
//
// kStream: the frame starts on a cache line, so whole blocks of pixels are
// streamed to memory instead of being read into the cache first only to be
// overwritten (a 4K frame does not stay in the cache anyway).
//
// kWaveIsHeights: the step writes buffer 0, the one the pixels come from (h is
// w); otherwise it reads it (h is r). A block's pixels are stored before its
// heights, and later blocks read only heights at or beyond their own start, so
// writing the heights does not disturb the pixels.
template <bool kWaveIsHeights, bool kStream>
RILLO_VECTOR_INLINE void StepRow(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                                 std::int32_t cells, std::int32_t i0, std::int32_t n, int shift,
                                 const std::uint32_t* src, std::uint32_t* dst) {
    const RowConstants c = MakeRowConstants(width, cells);
    const __m128i count = _mm_cvtsi32_si128(shift);
    const std::int32_t* h = kWaveIsHeights ? w : r;
    const std::int32_t end = i0 + n;
    std::int32_t a = i0 & ~(kLanes - 1);
    __m512i cLeft = LoadWaveRows(r, width, a - kLanes).c;
    WaveRows cur = LoadWaveRows(r, width, a);
    WaveRows next = LoadWaveRows(r, width, a + kLanes);
    __m512i wCur = Load(w + a);
    __m512i wNext = Load(w + a + kLanes);
    PixelBlock pixels = PixelsAt(a, i0, end, c, src, kWaveIsHeights ? wCur : cur.m,
                                 kWaveIsHeights ? _mm512_alignr_epi32(wNext, wCur, 1)
                                                : _mm512_alignr_epi32(next.m, cur.m, 1),
                                 kWaveIsHeights ? Load(w + a + width) : cur.d);
    for (; a < end; a += kLanes) {
        Prefetch(src, std::int64_t(a) + 8 * std::int64_t(width));
        Prefetch(r, std::int64_t(a) + width + kPrefetchAhead);
        Prefetch(w, std::int64_t(a) + (kWaveIsHeights ? width : 0) + kPrefetchAhead);
        Prefetch(dst, std::int64_t(a) + kPrefetchAhead);

        const WaveRows after = LoadWaveRows(r, width, a + 2 * kLanes);
        const __m512i wAfter = Load(w + a + 2 * kLanes);
        const std::int32_t b = a + kLanes;
        const PixelBlock nextPixels =
            b < end ? PixelsAt(b, i0, end, c, src, kWaveIsHeights ? wNext : next.m,
                               kWaveIsHeights ? _mm512_alignr_epi32(wAfter, wNext, 1)
                                              : _mm512_alignr_epi32(after.m, next.m, 1),
                               kWaveIsHeights ? Load(w + b + width) : next.d)
                    : pixels;

        const __m512i s = _mm512_sub_epi32(
            _mm512_add_epi32(_mm512_add_epi32(_mm512_alignr_epi32(cur.c, cLeft, 15), cur.c),
                             _mm512_alignr_epi32(next.c, cur.c, 1)),
            cur.m);
        const __m512i d = _mm512_sub_epi32(_mm512_srai_epi32(s, 2), wCur);
        const __m512i wave = _mm512_sub_epi32(d, _mm512_sra_epi32(d, count));

        StorePixels<kStream>(h, width, cells, a, pixels, src, dst);
        if (__builtin_expect(a >= i0 && a + kLanes <= end, true))
            _mm512_storeu_si512(w + a, wave);
        else
            _mm512_mask_storeu_epi32(w + a, ActiveLanes(a, i0, end), wave);
        cLeft = cur.c;
        cur = next;
        next = after;
        wCur = wNext;
        wNext = wAfter;
        pixels = nextPixels;
    }
    if (kStream)
        _mm_sfence(); // streamed stores are weakly ordered: publish the row's pixels
}

// Pixels alone, pipelined, fetched ahead and streamed as StepRow does them.
template <bool kStream>
RILLO_VECTOR_INLINE void RenderRow(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                                   std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                                   std::uint32_t* dst) {
    const RowConstants c = MakeRowConstants(width, cells);
    const std::int32_t end = i0 + n;
    std::int32_t a = i0 & ~(kLanes - 1);
    PixelBlock pixels =
        PixelsAt(a, i0, end, c, src, Load(h + a), Load(h + a + 1), Load(h + a + width));
    for (; a < end; a += kLanes) {
        Prefetch(src, std::int64_t(a) + 8 * std::int64_t(width));
        if (!kStream)
            Prefetch(dst, std::int64_t(a) + kPrefetchAhead);
        const std::int32_t b = a + kLanes;
        const PixelBlock nextPixels = b < end ? PixelsAt(b, i0, end, c, src, Load(h + b),
                                                         Load(h + b + 1), Load(h + b + width))
                                              : pixels;
        StorePixels<kStream>(h, width, cells, a, pixels, src, dst);
        pixels = nextPixels;
    }
    if (kStream)
        _mm_sfence();
}

// Frames smaller than this may still be in the cache when they are drawn.
constexpr std::int32_t kStreamCells = 3 << 20;

RILLO_VECTOR void RenderRowAvx512(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                                  std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                                  std::uint32_t* dst) {
    if (cells >= kStreamCells && reinterpret_cast<std::uintptr_t>(dst) % 64 == 0)
        RenderRow<true>(h, width, cells, i0, n, src, dst);
    else
        RenderRow<false>(h, width, cells, i0, n, src, dst);
}

// The pixels of the block of cells k .. of a row stretch of n cells from column
// c0 (cell i0) on, from 16-bit rows h0 and h1. Only the block's cells are loaded:
// right of the stretch's last cell is at most the row's border cell.
RILLO_VECTOR_INLINE PixelBlock Block16(const std::int16_t* h0, const std::int16_t* h1,
                                       std::int32_t c0, std::int32_t i0, std::int32_t n,
                                       std::int32_t k, const RowConstants& c,
                                       const std::uint32_t* src) {
    const std::int32_t left = n - k;
    const __mmask16 active = left >= kLanes ? __mmask16(0xFFFF) : __mmask16((1u << left) - 1);
    const std::int32_t col = c0 + k;
    const __m512i hc = _mm512_cvtepi16_epi32(_mm256_maskz_loadu_epi16(active, h0 + col));
    const __m512i hr = _mm512_cvtepi16_epi32(_mm256_maskz_loadu_epi16(active, h0 + col + 1));
    const __m512i hw = _mm512_cvtepi16_epi32(_mm256_maskz_loadu_epi16(active, h1 + col));
    return ShadedBlock(hc, hr, hw, i0 + k, active, c, src);
}

// Pixels from 16-bit rows. Their slopes are at most 65535 across, so no channel
// wraps and no lane goes cell by cell; the row's last block loads only its cells.
template <bool kStream>
RILLO_VECTOR_INLINE void RenderRow16(const std::int16_t* h0, const std::int16_t* h1,
                                     std::int32_t width, std::int32_t cells, std::int32_t i0,
                                     std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    const RowConstants c = MakeRowConstants(width, cells);
    const std::int32_t c0 = i0 % width;
    if (n <= 0)
        return;
    PixelBlock pixels = Block16(h0, h1, c0, i0, n, 0, c, src);
    for (std::int32_t k = 0; k < n; k += kLanes) {
        Prefetch(src, std::int64_t(i0 + k) + 8 * std::int64_t(width));
        if (!kStream)
            Prefetch(dst, std::int64_t(i0 + k) + kPrefetchAhead);
        const PixelBlock nextPixels =
            k + kLanes < n ? Block16(h0, h1, c0, i0, n, k + kLanes, c, src) : pixels;
        std::uint32_t* to = dst + (i0 + k);
        if (kStream && pixels.store == 0xFFFF && reinterpret_cast<std::uintptr_t>(to) % 64 == 0)
            _mm512_stream_si512(reinterpret_cast<__m512i*>(to), pixels.pixels);
        else
            _mm512_mask_storeu_epi32(to, pixels.store, pixels.pixels);
        pixels = nextPixels;
    }
    if (kStream)
        _mm_sfence();
}

RILLO_VECTOR void RenderRow16Avx512(const std::int16_t* h0, const std::int16_t* h1,
                                    std::int32_t width, std::int32_t cells, std::int32_t i0,
                                    std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    if (cells >= kStreamCells && reinterpret_cast<std::uintptr_t>(dst) % 64 == 0)
        RenderRow16<true>(h0, h1, width, cells, i0, n, src, dst);
    else
        RenderRow16<false>(h0, h1, width, cells, i0, n, src, dst);
}

RILLO_VECTOR void PropagateRowAvx512(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                                     std::int32_t i0, std::int32_t n, int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    const std::int32_t end = i0 + n;
    std::int32_t a = i0 & ~(kLanes - 1);
    __m512i cLeft = LoadWaveRows(r, width, a - kLanes).c;
    WaveRows cur = LoadWaveRows(r, width, a);
    for (; a < end; a += kLanes) {
        const WaveRows next = LoadWaveRows(r, width, a + kLanes);
        const __m512i s = _mm512_sub_epi32(
            _mm512_add_epi32(_mm512_add_epi32(_mm512_alignr_epi32(cur.c, cLeft, 15), cur.c),
                             _mm512_alignr_epi32(next.c, cur.c, 1)),
            cur.m);
        const __m512i d = _mm512_sub_epi32(_mm512_srai_epi32(s, 2), Load(w + a));
        _mm512_mask_storeu_epi32(w + a, ActiveLanes(a, i0, end),
                                 _mm512_sub_epi32(d, _mm512_sra_epi32(d, count)));
        cLeft = cur.c;
        cur = next;
    }
}

RILLO_VECTOR void StepRowAvx512(const std::int32_t* h, std::int32_t* w, const std::int32_t* r,
                                std::int32_t width, std::int32_t cells, std::int32_t i0,
                                std::int32_t n, int shift, const std::uint32_t* src,
                                std::uint32_t* dst) {
    const bool bStream = cells >= kStreamCells && reinterpret_cast<std::uintptr_t>(dst) % 64 == 0;
    if (h == w && bStream)
        StepRow<true, true>(w, r, width, cells, i0, n, shift, src, dst);
    else if (h == w)
        StepRow<true, false>(w, r, width, cells, i0, n, shift, src, dst);
    else if (h == r && bStream)
        StepRow<false, true>(w, r, width, cells, i0, n, shift, src, dst);
    else if (h == r)
        StepRow<false, false>(w, r, width, cells, i0, n, shift, src, dst);
    else {
        RenderRowAvx512(h, width, cells, i0, n, src, dst);
        PropagateRowAvx512(w, r, width, i0, n, shift);
    }
}

const RippleKernels kAvx512Kernels = {"avx512",      RenderRowAvx512,   PropagateRowAvx512,
                                      StepRowAvx512, WidenRow,          NarrowRow,
                                      CopyRow,       RenderRow16Avx512, PropagateRow16};

} // namespace

const RippleKernels* Avx512Kernels() {
    static const bool bSupported = [] {
        __builtin_cpu_init(); // may run before libgcc's own initialiser
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl");
    }();
    return bSupported ? &kAvx512Kernels : nullptr;
}

} // namespace rillo

#endif
