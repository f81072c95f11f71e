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

const RippleKernels* g_pChosen = nullptr;

const RippleKernels& Widest() {
    static const RippleKernels* const pWidest = [] {
        if (const RippleKernels* p = Avx512Kernels())
            return p;
        if (const RippleKernels* p = Avx2Kernels())
            return p;
        if (const RippleKernels* p = Sse2Kernels())
            return p;
        return &kPortableKernels;
    }();
    return *pWidest;
}

} // namespace

const RippleKernels kPortableKernels = {"portable", RenderRowPortable, PropagateRowPortable,
                                        nullptr};

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

const RippleKernels& ActiveRippleKernels() {
    return g_pChosen ? *g_pChosen : Widest();
}

void UseRippleKernels(const RippleKernels* pKernels) {
    g_pChosen = pKernels;
}

} // namespace rillo
