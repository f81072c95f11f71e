// Helpers the vector kernel sets share. A set's file defines RILLO_VECTOR_BYTES
// (16, 32 or 64) and RILLO_VECTOR_TARGET (the instructions it may use) and then
// includes this header once, so that everything here is built for that width and
// those instructions and inlines into its row loops.
//
// Each set's copy must stay its own: were a copy built for AVX-512 merged at link
// time with the SSE2 one, the SSE2 set would run AVX-512 code. So all of it lives
// in an unnamed namespace.
#pragma once

#include "ripple/ripple_kernels.h"

#include <immintrin.h>

#if !defined(RILLO_VECTOR_BYTES) || !defined(RILLO_VECTOR_TARGET)
#error "define the kernel set's width and instructions before including this header"
#endif

// Row functions of the set, and helpers forced inline: a separate function that
// only prefetches counts as free of effects, and calls to it are dropped.
#define RILLO_VECTOR __attribute__((target(RILLO_VECTOR_TARGET)))
#define RILLO_VECTOR_INLINE __attribute__((target(RILLO_VECTOR_TARGET), always_inline)) inline

// Intrinsics differ between widths only in their prefix.
#if RILLO_VECTOR_BYTES == 16
#define RILLO_MM(op) _mm_##op
#elif RILLO_VECTOR_BYTES == 32
#define RILLO_MM(op) _mm256_##op
#elif RILLO_VECTOR_BYTES == 64
#define RILLO_MM(op) _mm512_##op
#else
#error "RILLO_VECTOR_BYTES is 16, 32 or 64"
#endif

namespace rillo {

namespace {

constexpr std::int32_t kLanes = RILLO_VECTOR_BYTES / 4;

#if RILLO_VECTOR_BYTES == 16
using Vec = __m128i;
RILLO_VECTOR_INLINE Vec Load(const void* p) {
    return _mm_loadu_si128(static_cast<const Vec*>(p));
}
RILLO_VECTOR_INLINE void Store(void* p, Vec v) {
    _mm_storeu_si128(static_cast<Vec*>(p), v);
}
#elif RILLO_VECTOR_BYTES == 32
using Vec = __m256i;
RILLO_VECTOR_INLINE Vec Load(const void* p) {
    return _mm256_loadu_si256(static_cast<const Vec*>(p));
}
RILLO_VECTOR_INLINE void Store(void* p, Vec v) {
    _mm256_storeu_si256(static_cast<Vec*>(p), v);
}
#else
using Vec = __m512i;
RILLO_VECTOR_INLINE Vec Load(const void* p) {
    return _mm512_loadu_si512(p);
}
RILLO_VECTOR_INLINE void Store(void* p, Vec v) {
    _mm512_storeu_si512(p, v);
}
#endif

#if RILLO_VECTOR_BYTES > 16
// Byte shuffles that spread each pixel's darkening (down) and brightening (up)
// over its channels, the same in every 128-bit lane.
struct SpreadBytes {
    alignas(32) std::int8_t down[32];
    alignas(32) std::int8_t up[32];
};
constexpr SpreadBytes MakeSpreadBytes() {
    SpreadBytes s{};
    for (int j = 0; j < 32; ++j) {
        const bool bTop = (j & 3) == 3; // byte 3 of a pixel
        const auto pixel = std::int8_t((j & 15) >> 2);
        s.down[j] = bTop ? 4 : pixel;
        s.up[j] = bTop ? 12 : std::int8_t(8 + pixel);
    }
    return s;
}
constexpr SpreadBytes kSpreadBytes = MakeSpreadBytes();

// One of the shuffles above as a whole vector.
RILLO_VECTOR_INLINE Vec SpreadPattern(const std::int8_t* p) {
#if RILLO_VECTOR_BYTES == 32
    return Load(p);
#else
    return _mm512_broadcast_i32x4(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
#endif
}
#endif

// Shades sample pixels p by the horizontal slopes gx: each channel c - gx clamped
// to 0..255, top byte 0. gx saturated to 16 bits and then to an unsigned byte is
// the darkening clamp(gx, 0, 255), -gx likewise the brightening; one saturating
// byte subtract and one add apply them. Lanes whose gx is within 255 of INT32_MIN
// (where c - gx wraps in 32 bits) must not get here.
RILLO_VECTOR_INLINE Vec Shade(Vec p, Vec gx) {
#if RILLO_VECTOR_BYTES == 16
    // No byte shuffle in SSE2: the bytes are spread by unpacking. Bytes down0..3
    // twice, then up0..3 twice.
    const Vec words = _mm_packs_epi32(gx, gx);
    const Vec bytes = _mm_packus_epi16(words, _mm_subs_epi16(_mm_setzero_si128(), words));
    const Vec down = _mm_unpacklo_epi8(bytes, bytes);
    const Vec up = _mm_unpackhi_epi8(bytes, bytes);
    const Vec shaded =
        _mm_adds_epu8(_mm_subs_epu8(p, _mm_unpacklo_epi16(down, down)), _mm_unpacklo_epi16(up, up));
    return _mm_and_si128(shaded, _mm_set1_epi32(0x00FFFFFF));
#else
    // Per 128-bit lane: words gx0..gx3 and four 0x7FFF, then bytes down0..3, four
    // 255, up0..3, four 0. Byte 3 of each pixel is darkened by 255, which clears it.
    const Vec words = RILLO_MM(packs_epi32)(gx, RILLO_MM(set1_epi32)(0x7FFF));
    const Vec bytes =
        RILLO_MM(packus_epi16)(words, RILLO_MM(subs_epi16)(RILLO_MM(set1_epi32)(0), words));
    const Vec down = SpreadPattern(kSpreadBytes.down);
    const Vec up = SpreadPattern(kSpreadBytes.up);
    return RILLO_MM(adds_epu8)(RILLO_MM(subs_epu8)(p, RILLO_MM(shuffle_epi8)(bytes, down)),
                               RILLO_MM(shuffle_epi8)(bytes, up));
#endif
}

// The wave step of the kLanes cells from i on, not yet stored. (The AVX-512 set
// sums its neighbours its own way.)
RILLO_VECTOR_INLINE Vec PropagatedBlock(const std::int32_t* w, const std::int32_t* r,
                                        std::int32_t width, std::int32_t i, __m128i count) {
    const std::int32_t* up = r + (i - width);
    const std::int32_t* dn = r + (i + width);
    Vec s = RILLO_MM(add_epi32)(Load(up - 1), Load(up));
    s = RILLO_MM(add_epi32)(s, Load(up + 1));
    s = RILLO_MM(add_epi32)(s, RILLO_MM(add_epi32)(Load(r + i - 1), Load(r + i + 1)));
    s = RILLO_MM(add_epi32)(s, RILLO_MM(add_epi32)(Load(dn - 1), Load(dn)));
    s = RILLO_MM(add_epi32)(s, Load(dn + 1));
    const Vec d = RILLO_MM(sub_epi32)(RILLO_MM(srai_epi32)(s, 2), Load(w + i));
    return RILLO_MM(sub_epi32)(d, RILLO_MM(sra_epi32)(d, count));
}

RILLO_VECTOR_INLINE void PropagateBlock(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                                        std::int32_t i, __m128i count) {
    Store(w + i, PropagatedBlock(w, r, width, i, count));
}

// A hint to fetch the line holding base[index]. The address is formed as an
// integer: beyond a buffer's end the hint is merely useless, never an access.
RILLO_VECTOR_INLINE void Prefetch(const void* base, std::int64_t index) {
    _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(base) +
                                               std::uintptr_t(index) * 4u),
                 _MM_HINT_T0);
}

// Distance of the prefetches along a stream, in cells: 1 KiB.
constexpr std::int64_t kPrefetchAhead = 256;

// With six streams and scattered samples in flight the hardware prefetcher falls
// behind. For the block at cell i, the k-th cell of its row stretch: the source
// goes 8 rows ahead (samples reach a few rows beyond the cell, and their first
// touch would otherwise wait on memory), the other streams one line each, 1 KiB
// ahead; the wave buffers w and r only when kWave.
template <bool kWave>
RILLO_VECTOR_INLINE void PrefetchStep(const std::int32_t* h, const std::int32_t* w,
                                      const std::int32_t* r, const std::uint32_t* src,
                                      const std::uint32_t* dst, std::int32_t i, std::int32_t k,
                                      std::int32_t width) {
    if (kLanes >= 8 || (k & 7) == 0)
        Prefetch(src, std::int64_t(i) + 8 * std::int64_t(width));
    if ((k & 15) != 0)
        return;
    Prefetch(h, std::int64_t(i) + width + kPrefetchAhead);
    Prefetch(dst, std::int64_t(i) + kPrefetchAhead);
    if (kWave) {
        Prefetch(r, std::int64_t(i) + width + kPrefetchAhead);
        Prefetch(w, std::int64_t(i) + kPrefetchAhead);
    }
}

// The row helpers of the 16-bit cells: widening into the 32-bit rows the kernels
// work on, and narrowing back with the least and greatest value seen (the values
// fit 16 bits, so packing them is exact).
RILLO_VECTOR void WidenRow(const std::int16_t* from, std::int32_t* to, std::int32_t n) {
    std::int32_t k = 0;
    for (; k + 2 * kLanes <= n; k += 2 * kLanes) {
#if RILLO_VECTOR_BYTES == 16
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
        Store(to + k, _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
        Store(to + k + 4, _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
#elif RILLO_VECTOR_BYTES == 32
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k + 8));
        Store(to + k, _mm256_cvtepi16_epi32(lo));
        Store(to + k + 8, _mm256_cvtepi16_epi32(hi));
#else
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k + 16));
        Store(to + k, _mm512_cvtepi16_epi32(lo));
        Store(to + k + 16, _mm512_cvtepi16_epi32(hi));
#endif
    }
    for (; k < n; ++k)
        to[k] = from[k];
}

RILLO_VECTOR void NarrowRow(const std::int32_t* from, std::int16_t* to, std::int32_t n,
                            std::int32_t* pMin, std::int32_t* pMax) {
    std::int32_t k = 0;
#if RILLO_VECTOR_BYTES == 16
    // Packing saturates, so values that do not fit are found apart: their top 17
    // bits are not all alike. Such a row is gone over again value by value.
    __m128i lo = _mm_set1_epi16(0), hi = _mm_set1_epi16(0), bad = _mm_setzero_si128();
    for (; k + 8 <= n; k += 8) {
        const __m128i a = Load(from + k), b = Load(from + k + 4);
        bad = _mm_or_si128(bad, _mm_xor_si128(_mm_srai_epi32(a, 15), _mm_srai_epi32(a, 31)));
        bad = _mm_or_si128(bad, _mm_xor_si128(_mm_srai_epi32(b, 15), _mm_srai_epi32(b, 31)));
        const __m128i v = _mm_packs_epi32(a, b);
        lo = _mm_min_epi16(lo, v);
        hi = _mm_max_epi16(hi, v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k), v);
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(bad, _mm_setzero_si128())) != 0xFFFF) {
        NarrowRowPortable(from, to, n, pMin, pMax);
        return;
    }
    alignas(16) std::int16_t los[8], his[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
    _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
    for (int j = 0; j < 8; ++j) {
        *pMin = los[j] < *pMin ? los[j] : *pMin;
        *pMax = his[j] > *pMax ? his[j] : *pMax;
    }
#else
    Vec lo = RILLO_MM(set1_epi32)(0), hi = RILLO_MM(set1_epi32)(0);
    for (; k + kLanes <= n; k += kLanes) {
        const Vec v = Load(from + k);
        lo = RILLO_MM(min_epi32)(lo, v);
        hi = RILLO_MM(max_epi32)(hi, v);
#if RILLO_VECTOR_BYTES == 32
        const __m128i packed =
            _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k), packed);
#else
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k), _mm512_cvtepi32_epi16(v));
#endif
    }
    alignas(RILLO_VECTOR_BYTES) std::int32_t los[kLanes], his[kLanes];
    Store(los, lo);
    Store(his, hi);
    for (int j = 0; j < kLanes; ++j) {
        *pMin = los[j] < *pMin ? los[j] : *pMin;
        *pMax = his[j] > *pMax ? his[j] : *pMax;
    }
#endif
    if (k < n)
        NarrowRowPortable(from + k, to + k, n - k, pMin, pMax);
}

#if RILLO_VECTOR_BYTES == 16
RILLO_VECTOR_INLINE Vec Or(Vec a, Vec b) {
    return _mm_or_si128(a, b);
}
RILLO_VECTOR_INLINE Vec Xor(Vec a, Vec b) {
    return _mm_xor_si128(a, b);
}
RILLO_VECTOR_INLINE Vec And(Vec a, Vec b) {
    return _mm_and_si128(a, b);
}
RILLO_VECTOR_INLINE bool IsZero(Vec v) {
    return _mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_setzero_si128())) == 0xFFFF;
}
#elif RILLO_VECTOR_BYTES == 32
RILLO_VECTOR_INLINE Vec Or(Vec a, Vec b) {
    return _mm256_or_si256(a, b);
}
RILLO_VECTOR_INLINE Vec Xor(Vec a, Vec b) {
    return _mm256_xor_si256(a, b);
}
RILLO_VECTOR_INLINE Vec And(Vec a, Vec b) {
    return _mm256_and_si256(a, b);
}
RILLO_VECTOR_INLINE bool IsZero(Vec v) {
    return _mm256_testz_si256(v, v) != 0;
}
#else
RILLO_VECTOR_INLINE Vec Or(Vec a, Vec b) {
    return _mm512_or_si512(a, b);
}
RILLO_VECTOR_INLINE Vec Xor(Vec a, Vec b) {
    return _mm512_xor_si512(a, b);
}
RILLO_VECTOR_INLINE Vec And(Vec a, Vec b) {
    return _mm512_and_si512(a, b);
}
RILLO_VECTOR_INLINE bool IsZero(Vec v) {
    return _mm512_test_epi32_mask(v, v) == 0;
}
#endif

// kLanes 16-bit cells from p on, widened.
RILLO_VECTOR_INLINE Vec Load16(const std::int16_t* p) {
#if RILLO_VECTOR_BYTES == 16
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
#elif RILLO_VECTOR_BYTES == 32
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
#else
    return _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
#endif
}

// kLanes heights stored to p as 16-bit cells (saturated where they do not fit).
RILLO_VECTOR_INLINE void Store16(std::int16_t* p, Vec v) {
#if RILLO_VECTOR_BYTES == 16
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(v, v));
#elif RILLO_VECTOR_BYTES == 32
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
#else
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_cvtsepi32_epi16(v));
#endif
}

// The 16-bit cells in the even and odd halves of a vector's 32-bit lanes,
// widened: lane j holds cells 2j and 2j + 1 of the vector.
RILLO_VECTOR_INLINE Vec Even(Vec v) {
    return RILLO_MM(srai_epi32)(RILLO_MM(slli_epi32)(v, 16), 16);
}
RILLO_VECTOR_INLINE Vec Odd(Vec v) {
    return RILLO_MM(srai_epi32)(v, 16);
}

// The wave step straight from 16-bit rows, 2 * kLanes cells at a time: the even
// cells in one vector of 32-bit lanes and the odd ones in another, so that the
// cells are widened by shifts rather than shuffles. The sums of 16-bit heights
// cannot wrap, so this is the 32-bit rule exactly; a value fits 16 bits when its
// top 17 bits are alike, which (v >> 15) ^ (v >> 31) == 0 tells.
RILLO_VECTOR bool PropagateRow16(std::int16_t* out, const std::int16_t* w, const std::int16_t* up,
                                 const std::int16_t* mid, const std::int16_t* dn, std::int32_t n,
                                 int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    const Vec low = RILLO_MM(set1_epi32)(0xFFFF);
    Vec bad = RILLO_MM(set1_epi32)(0);
    std::int32_t k = 0;
    for (; k + 2 * kLanes <= n; k += 2 * kLanes) {
        // Cells k - 1 .., k .. and k + 1 .. of each row: for even cell k + 2j the
        // row's cells around it are Even(a), Even(b) and Odd(b), for odd cell
        // k + 2j + 1 Even(b), Odd(b) and Odd(c).
        const Vec ua = Load(up + k - 1), ub = Load(up + k), uc = Load(up + k + 1);
        const Vec da = Load(dn + k - 1), db = Load(dn + k), dc = Load(dn + k + 1);
        const Vec ma = Load(mid + k - 1), mb = Load(mid + k), mc = Load(mid + k + 1);
        const Vec pairs = RILLO_MM(add_epi32)(RILLO_MM(add_epi32)(Even(ub), Odd(ub)),
                                              RILLO_MM(add_epi32)(Even(db), Odd(db)));
        Vec se = RILLO_MM(add_epi32)(pairs, RILLO_MM(add_epi32)(Even(ua), Even(da)));
        se = RILLO_MM(add_epi32)(se, RILLO_MM(add_epi32)(Even(ma), Odd(mb)));
        Vec so = RILLO_MM(add_epi32)(pairs, RILLO_MM(add_epi32)(Odd(uc), Odd(dc)));
        so = RILLO_MM(add_epi32)(so, RILLO_MM(add_epi32)(Even(mb), Odd(mc)));
        const Vec old = Load(w + k);
        const Vec de = RILLO_MM(sub_epi32)(RILLO_MM(srai_epi32)(se, 2), Even(old));
        const Vec dd = RILLO_MM(sub_epi32)(RILLO_MM(srai_epi32)(so, 2), Odd(old));
        const Vec ve = RILLO_MM(sub_epi32)(de, RILLO_MM(sra_epi32)(de, count));
        const Vec vo = RILLO_MM(sub_epi32)(dd, RILLO_MM(sra_epi32)(dd, count));
        bad = Or(bad, Xor(RILLO_MM(srai_epi32)(ve, 15), RILLO_MM(srai_epi32)(ve, 31)));
        bad = Or(bad, Xor(RILLO_MM(srai_epi32)(vo, 15), RILLO_MM(srai_epi32)(vo, 31)));
        Store(out + k, Or(And(ve, low), RILLO_MM(slli_epi32)(vo, 16)));
    }
    bool bFits = IsZero(bad);
    for (; k < n; ++k) {
        const std::int32_t v = PropagateCell16(w, up, mid, dn, k, shift);
        bFits &= v >= INT16_MIN && v <= INT16_MAX;
        out[k] = std::int16_t(v);
    }
    return bFits;
}

#if RILLO_VECTOR_BYTES > 16
RILLO_VECTOR void CopyRow(const std::int32_t* from, std::int32_t* to, std::int32_t n,
                          std::int32_t* pMin, std::int32_t* pMax) {
    std::int32_t k = 0;
    Vec lo = RILLO_MM(set1_epi32)(0), hi = RILLO_MM(set1_epi32)(0);
    for (; k + kLanes <= n; k += kLanes) {
        const Vec v = Load(from + k);
        lo = RILLO_MM(min_epi32)(lo, v);
        hi = RILLO_MM(max_epi32)(hi, v);
        Store(to + k, v);
    }
    alignas(RILLO_VECTOR_BYTES) std::int32_t los[kLanes], his[kLanes];
    Store(los, lo);
    Store(his, hi);
    for (int j = 0; j < kLanes; ++j) {
        *pMin = los[j] < *pMin ? los[j] : *pMin;
        *pMax = his[j] > *pMax ? his[j] : *pMax;
    }
    if (k < n)
        CopyRowPortable(from + k, to + k, n - k, pMin, pMax);
}
#endif

} // namespace

} // namespace rillo
