#include "ripple/ripple_kernels.h"

namespace rillo {

namespace {

void RenderRowPortable(const std::int32_t* h, std::int32_t width, std::int32_t cells,
                       std::int32_t i0, std::int32_t n, const std::uint32_t* src,
                       std::uint32_t* dst) {
    std::int32_t i = i0;
    const std::int32_t end = i0 + n;
    for (; i + 2 <= end; i += 2) {
        RenderCell(h, width, cells, i, src, dst);
        RenderCell(h, width, cells, i + 1, src, dst);
    }
    if (i < end)
        RenderCell(h, width, cells, i, src, dst);
}

void PropagateRowPortable(std::int32_t* w, const std::int32_t* r, std::int32_t width,
                          std::int32_t i0, std::int32_t n, int shift) {
    std::int32_t i = i0;
    const std::int32_t end = i0 + n;
    for (; i + 2 <= end; i += 2) {
        PropagateCell(w, r, width, i, shift);
        PropagateCell(w, r, width, i + 1, shift);
    }
    if (i < end)
        PropagateCell(w, r, width, i, shift);
}

} // namespace

void WidenRowPortable(const std::int16_t* from, std::int32_t* to, std::int32_t n) {
    for (std::int32_t k = 0; k < n; ++k)
        to[k] = from[k];
}

void NarrowRowPortable(const std::int32_t* from, std::int16_t* to, std::int32_t n,
                       std::int32_t* pMin, std::int32_t* pMax) {
    std::int32_t lo = *pMin, hi = *pMax;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t v = from[k];
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
        to[k] = std::int16_t(v);
    }
    *pMin = lo;
    *pMax = hi;
}

void CopyRowPortable(const std::int32_t* from, std::int32_t* to, std::int32_t n, std::int32_t* pMin,
                     std::int32_t* pMax) {
    std::int32_t lo = *pMin, hi = *pMax;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t v = from[k];
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
        to[k] = v;
    }
    *pMin = lo;
    *pMax = hi;
}

bool PropagateRow16Portable(std::int16_t* out, const std::int16_t* w, const std::int16_t* up,
                            const std::int16_t* mid, const std::int16_t* dn, std::int32_t n,
                            int shift) {
    bool bFits = true;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::int32_t v = PropagateCell16(w, up, mid, dn, k, shift);
        bFits &= v >= INT16_MIN && v <= INT16_MAX;
        out[k] = std::int16_t(v);
    }
    return bFits;
}

const RippleKernels kPortableKernels = {"portable",      RenderRowPortable, PropagateRowPortable,
                                        nullptr,         WidenRowPortable,  NarrowRowPortable,
                                        CopyRowPortable, nullptr,           PropagateRow16Portable};

#if !defined(RILLO_SSE2_KERNELS)
const RippleKernels* Sse2Kernels() {
    return nullptr;
}
#endif

#if !defined(RILLO_AVX_KERNELS)
const RippleKernels* Avx2Kernels() {
    return nullptr;
}
const RippleKernels* Avx512Kernels() {
    return nullptr;
}
#endif

RippleKernelList RunnableKernels() {
    struct List {
        const RippleKernels* sets[4];
        int count = 0;
        void Add(const RippleKernels* p) {
            if (p)
                sets[count++] = p;
        }
    };
    static const List list = [] {
        List l;
        l.Add(Avx512Kernels());
        l.Add(Avx2Kernels());
        l.Add(Sse2Kernels());
        l.Add(&kPortableKernels);
        return l;
    }();
    return {list.sets, list.count};
}

const RippleKernels& WidestKernels() {
    return *RunnableKernels().pSets[0];
}

} // namespace rillo
