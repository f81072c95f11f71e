// AVX2 row kernels: eight cells per iteration with a hardware gather, used only
// when the processor reports AVX2. Not built for Windows: MinGW's gcc does not
// keep the stack 32-byte aligned for spilled 256-bit values, so a spill can fault.
#include "ripple/ripple_kernels.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)

#include <immintrin.h>

#define RILLO_AVX2 __attribute__((target("avx2")))

namespace rillo {

namespace {

RILLO_AVX2 inline __m256i Load(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

RILLO_AVX2 void RenderRowAvx2(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                              std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                              std::uint32_t* dst) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i vWidth = _mm256_set1_epi32(width);
    const __m256i lastIndex = _mm256_set1_epi32(cells - 2);
    const __m256i one = _mm256_set1_epi32(1);
    // Bytes b0..b3 g0..g3 r0..r3 0 0 0 0 of each half into four 0x00RRGGBB words.
    const __m256i interleave =
        _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5, 9,
                         13, 2, 6, 10, 14, 3, 7, 11, 15);
    const auto* base = reinterpret_cast<const int*>(src);

    std::int32_t k = 0;
    __m256i vi = _mm256_add_epi32(_mm256_set1_epi32(i0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    for (; k + 8 <= n; k += 8, vi = _mm256_add_epi32(vi, _mm256_set1_epi32(8))) {
        const std::int32_t i = i0 + k;
        const __m256i hc = Load(h + i);
        const __m256i gx = _mm256_sub_epi32(hc, Load(h + i + 1));
        const __m256i gy = _mm256_sub_epi32(hc, Load(h + i + width));
        const __m256i sx = _mm256_srai_epi32(gx, 3);
        const __m256i sy = _mm256_srai_epi32(gy, 3);
        const __m256i moved = _mm256_or_si256(sx, sy);

        __m256i p;
        if (_mm256_testz_si256(moved, moved)) {
            p = Load(src + i); // calm water samples straight below
        } else {
            const __m256i f =
                _mm256_add_epi32(_mm256_add_epi32(vi, _mm256_mullo_epi32(sy, vWidth)), sx);
            // 0 < f < cells  <=>  (f - 1) <= cells - 2 unsigned.
            const __m256i f1 = _mm256_sub_epi32(f, one);
            const __m256i inside = _mm256_cmpeq_epi32(_mm256_min_epu32(f1, lastIndex), f1);
            if (_mm256_movemask_epi8(inside) != -1) {
                // A sample outside the picture keeps its pixel: rare, done cell by cell.
                for (std::int32_t j = i; j < i + 8; ++j)
                    RenderCell(h, width, cells, j, src, dst);
                continue;
            }
            p = _mm256_i32gather_epi32(base, f, 4);
        }

        const __m256i b = _mm256_sub_epi32(_mm256_and_si256(p, byteMask), gx);
        const __m256i g = _mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(p, 8), byteMask), gx);
        const __m256i r =
            _mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(p, 16), byteMask), gx);
        // Saturating packs clamp each 32-bit channel to 0..255 exactly.
        const __m256i v =
            _mm256_packus_epi16(_mm256_packs_epi32(b, g), _mm256_packs_epi32(r, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_shuffle_epi8(v, interleave));
    }
    for (; k < n; ++k)
        RenderCell(h, width, cells, i0 + k, src, dst);
}

RILLO_AVX2 void PropagateRowAvx2(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                                 std::int32_t i0, std::int32_t n, int shift) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    std::int32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const std::int32_t i = i0 + k;
        const std::int32_t* up = r + (i - width);
        const std::int32_t* dn = r + (i + width);
        __m256i s = _mm256_add_epi32(Load(up - 1), Load(up));
        s = _mm256_add_epi32(s, Load(up + 1));
        s = _mm256_add_epi32(s, _mm256_add_epi32(Load(r + i - 1), Load(r + i + 1)));
        s = _mm256_add_epi32(s, _mm256_add_epi32(Load(dn - 1), Load(dn)));
        s = _mm256_add_epi32(s, Load(dn + 1));
        const __m256i d = _mm256_sub_epi32(_mm256_srai_epi32(s, 2), Load(w + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w + i),
                            _mm256_sub_epi32(d, _mm256_sra_epi32(d, count)));
    }
    for (; k < n; ++k)
        PropagateCell(w, r, width, i0 + k, shift);
}

const RippleKernels kAvx2Kernels = {"avx2", RenderRowAvx2, PropagateRowAvx2};

} // namespace

const RippleKernels* Avx2Kernels() {
    static const bool bSupported = __builtin_cpu_supports("avx2");
    return bSupported ? &kAvx2Kernels : nullptr;
}

} // namespace rillo

#else

namespace rillo {
const RippleKernels* Avx2Kernels() {
    return nullptr;
}
} // namespace rillo

#endif
