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

void RenderRowSse2(const std::int32_t* h, std::int32_t width, std::int32_t cells, std::int32_t i0,
                   std::int32_t n, const std::uint32_t* src, std::uint32_t* dst) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi32(1);
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i vWidth = _mm_set1_epi32(width);
    // (f - 1) < (cells - 1) unsigned, as a signed compare of sign-flipped values.
    const __m128i signBit = _mm_set1_epi32(INT32_MIN);
    const __m128i limit = _mm_set1_epi32(std::int32_t(std::uint32_t(cells - 1) ^ 0x80000000u));

    std::int32_t k = 0;
    __m128i vi = _mm_setr_epi32(i0, i0 + 1, i0 + 2, i0 + 3);
    for (; k + 4 <= n; k += 4, vi = _mm_add_epi32(vi, _mm_set1_epi32(4))) {
        const std::int32_t i = i0 + k;
        const __m128i hc = Load(h + i);
        const __m128i gx = _mm_sub_epi32(hc, Load(h + i + 1));
        const __m128i gy = _mm_sub_epi32(hc, Load(h + i + width));
        const __m128i sx = _mm_srai_epi32(gx, 3);
        const __m128i sy = _mm_srai_epi32(gy, 3);

        __m128i p;
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_or_si128(sx, sy), zero)) == 0xFFFF) {
            p = Load(src + i); // calm water samples straight below
        } else {
            const __m128i f = _mm_add_epi32(_mm_add_epi32(vi, MulLo(sy, vWidth)), sx);
            const __m128i biased = _mm_xor_si128(_mm_sub_epi32(f, one), signBit);
            if (_mm_movemask_epi8(_mm_cmplt_epi32(biased, limit)) != 0xFFFF) {
                // A sample outside the picture keeps its pixel: rare, done cell by cell.
                for (std::int32_t j = i; j < i + 4; ++j)
                    RenderCell(h, width, cells, j, src, dst);
                continue;
            }
            alignas(16) std::int32_t fi[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(fi), f);
            p = _mm_setr_epi32(std::int32_t(src[fi[0]]), std::int32_t(src[fi[1]]),
                               std::int32_t(src[fi[2]]), std::int32_t(src[fi[3]]));
        }

        const __m128i b = _mm_sub_epi32(_mm_and_si128(p, byteMask), gx);
        const __m128i g = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(p, 8), byteMask), gx);
        const __m128i r = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(p, 16), byteMask), gx);
        // Saturating packs clamp each 32-bit channel to 0..255 exactly; the bytes
        // are then b0..b3 g0..g3 r0..r3 0 0 0 0.
        const __m128i v = _mm_packus_epi16(_mm_packs_epi32(b, g), _mm_packs_epi32(r, zero));
        const __m128i bg = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 4));
        const __m128i r0 = _mm_unpacklo_epi8(_mm_srli_si128(v, 8), zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi16(bg, r0));
    }
    for (; k < n; ++k)
        RenderCell(h, width, cells, i0 + k, src, dst);
}

void PropagateRowSse2(std::int32_t* w, const std::int32_t* r, std::int32_t width, std::int32_t i0,
                      std::int32_t n, int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::int32_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const std::int32_t i = i0 + k;
        const std::int32_t* up = r + (i - width);
        const std::int32_t* dn = r + (i + width);
        __m128i s = _mm_add_epi32(Load(up - 1), Load(up));
        s = _mm_add_epi32(s, Load(up + 1));
        s = _mm_add_epi32(s, _mm_add_epi32(Load(r + i - 1), Load(r + i + 1)));
        s = _mm_add_epi32(s, _mm_add_epi32(Load(dn - 1), Load(dn)));
        s = _mm_add_epi32(s, Load(dn + 1));
        const __m128i d = _mm_sub_epi32(_mm_srai_epi32(s, 2), Load(w + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i),
                         _mm_sub_epi32(d, _mm_sra_epi32(d, count)));
    }
    for (; k < n; ++k)
        PropagateCell(w, r, width, i0 + k, shift);
}

const RippleKernels kSse2Kernels = {"sse2", RenderRowSse2, PropagateRowSse2, nullptr};

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
