#include "ripple/ripple_field.h"

#include "ripple/drop_cone.h"
#include "ripple/ripple_kernels.h"

#include <algorithm>
#include <cmath>
#include <new>

using rillo::WrapAdd;
using rillo::WrapMul;

namespace {

// Cells of one row handed to separate render and wave kernels at a time.
// Rendering a stretch and then propagating it keeps the rows it shares with the
// next stretch in the cache. Combined kernels get whole rows.
constexpr std::int32_t kStretch = 1024;

} // namespace

void RippleRect::Union(const RippleRect& other) {
    if (other.IsEmpty())
        return;
    if (IsEmpty()) {
        *this = other;
        return;
    }
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
}

CRippleField::CRippleField()
    : m_nWidth(0), m_nHeight(0), m_nCurrent(0), m_nDampShift(10), m_pBuffer0(nullptr),
      m_pBuffer1(nullptr), m_bAllChanged(true), m_pLastSource(nullptr), m_pLastDest(nullptr) {}

CRippleField::~CRippleField() = default;

bool CRippleField::Resize(std::int32_t nWidth, std::int32_t nHeight) {
    m_pStorage0.reset();
    m_pStorage1.reset();
    m_pBuffer0 = nullptr;
    m_pBuffer1 = nullptr;
    m_nWidth = 0;
    m_nHeight = 0;
    m_nCurrent = 0;
    m_bAllChanged = true;
    m_rcChanged0 = {};
    m_pLastSource = nullptr;
    m_pLastDest = nullptr;
    m_rcRendered = {};
    // Every cell index, and w * h itself, must fit in a signed 32-bit integer.
    if (nWidth <= 0 || nHeight <= 0 || std::int64_t(nWidth) * nHeight > INT32_MAX)
        return false;
    // Each buffer: padding, the cells, padding, in an allocation of its own that
    // starts on a cache line (and ends right after, so that a memory checker sees
    // any read beyond the padding).
    const std::uint64_t length =
        std::uint64_t(nWidth) * std::uint64_t(nHeight) + 2 * rillo::kHeightPadding;
    if (length > PTRDIFF_MAX / sizeof(std::int32_t))
        return false;
    HeightStorage p0(new (std::align_val_t(64), std::nothrow) std::int32_t[std::size_t(length)]());
    HeightStorage p1(new (std::align_val_t(64), std::nothrow) std::int32_t[std::size_t(length)]());
    if (!p0 || !p1)
        return false;
    m_pStorage0 = std::move(p0);
    m_pStorage1 = std::move(p1);
    m_pBuffer0 = m_pStorage0.get() + rillo::kHeightPadding;
    m_pBuffer1 = m_pStorage1.get() + rillo::kHeightPadding;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    return true;
}

void CRippleField::Drop(std::int32_t x, std::int32_t y, std::int32_t nRadius,
                        std::int32_t nStrength, std::int32_t nBuffer) {
    std::int32_t* t = Buffer(nBuffer);
    if (!t)
        return;
    const std::int32_t k = nStrength / 64; // truncates before anything is multiplied
    std::int64_t dyStart, dyEnd, dxStart, dxEnd;
    rillo::ClipOffsets(y, nRadius, m_nHeight, dyStart, dyEnd);
    rillo::ClipOffsets(x, nRadius, m_nWidth, dxStart, dxEnd);
    if (dyStart >= dyEnd || dxStart >= dxEnd)
        return;
    // k = 0 adds zero to every cell, except where the distance squared wraps negative:
    // its square root is not a number, and neither is the amount (the cell gains
    // INT32_MIN). That takes an offset of 32768 or more.
    const std::int64_t reach = std::max({-dyStart, dyEnd, -dxStart, dxEnd});
    if (nBuffer == 0 && (k != 0 || reach >= 32768))
        m_rcChanged0.Union(RippleRect{std::int32_t(x + dxStart), std::int32_t(y + dyStart),
                                      std::int32_t(x + dxEnd), std::int32_t(y + dyEnd)});
    // Non-empty ranges lie strictly within the radius, so the offsets fit 32 bits.
    const std::int32_t r2 = WrapMul(nRadius, nRadius);
    for (std::int64_t dy = dyStart; dy < dyEnd; ++dy) {
        const auto ody = std::int32_t(dy);
        const std::int32_t dy2 = WrapMul(ody, ody);
        std::int32_t* row = t + (y + dy) * m_nWidth;
        for (std::int64_t dx = dxStart; dx < dxEnd; ++dx) {
            const auto odx = std::int32_t(dx);
            const std::int32_t d2 = WrapAdd(WrapMul(odx, odx), dy2);
            if (d2 < r2) {
                std::int32_t& cell = row[x + dx];
                cell = WrapAdd(cell, rillo::DropAmount(nRadius, k, d2));
            }
        }
    }
}

RippleRect CRippleField::PixelsToRender(const std::uint32_t* pSource,
                                        const std::uint32_t* pDest) const {
    const RippleRect interior{1, 1, m_nWidth - 1, m_nHeight - 1};
    if (m_bAllChanged || pSource != m_pLastSource || pDest != m_pLastDest)
        return interior;
    if (m_rcChanged0.IsEmpty())
        return {};
    // Pixel i reads H[i], H[i + 1] and H[i + width]: a changed cell reaches the
    // pixel one to its left and the one above it.
    return RippleRect{std::max(m_rcChanged0.left - 1, interior.left),
                      std::max(m_rcChanged0.top - 1, interior.top),
                      std::min(m_rcChanged0.right, interior.right),
                      std::min(m_rcChanged0.bottom, interior.bottom)};
}

void CRippleField::Render(const std::uint32_t* pSource, std::uint32_t* pDest) {
    const std::int32_t w = m_nWidth;
    const std::int32_t h = m_nHeight;
    m_rcRendered = {};
    if (w >= 3 && h >= 3) {
        const rillo::RippleKernels& kernels = rillo::ActiveRippleKernels();
        const std::int32_t* heights = m_pBuffer0;
        std::int32_t* out = Buffer(m_nCurrent);
        const std::int32_t* in = Buffer(m_nCurrent ^ 1);
        const int shift = m_nDampShift & 31;
        const std::int32_t cells = w * h;
        RippleRect band;
        if (pSource && pDest) {
            band = PixelsToRender(pSource, pDest);
            m_rcRendered = band;
            m_bAllChanged = false;
            m_rcChanged0 = {};
            m_pLastSource = pSource;
            m_pLastDest = pDest;
        }
        // Propagation may overwrite buffer 0 only behind the renderer: a stretch of
        // row r is rendered from rows r and r + 1 before it is propagated, and no
        // later pixel reads it again. Frames equal a pixel pass over the band
        // followed by a full propagation.
        const bool bWholeRows = band.left == 1 && band.right == w - 1 && kernels.pfnStepRow;
        for (std::int32_t row = 1; row < h - 1; ++row) {
            const bool bPixels = row >= band.top && row < band.bottom;
            if (bPixels && bWholeRows) {
                kernels.pfnStepRow(heights, out, in, w, cells, row * w + 1, w - 2, shift, pSource,
                                   pDest);
                continue;
            }
            for (std::int32_t c = 1; c < w - 1; c += kStretch) {
                const std::int32_t n = w - 1 - c < kStretch ? w - 1 - c : kStretch;
                const std::int32_t i0 = row * w + c;
                if (bPixels) {
                    const std::int32_t first = std::max(c, band.left);
                    const std::int32_t end = std::min(c + n, band.right);
                    if (first < end)
                        kernels.pfnRenderRow(heights, w, cells, row * w + first, end - first,
                                             pSource, pDest);
                }
                kernels.pfnPropagateRow(out, in, w, i0, n, shift);
            }
        }
    }
    if (m_nCurrent == 0)
        m_bAllChanged = true;
    m_nCurrent ^= 1;
}

void CRippleField::Propagate(std::int32_t nBuffer, std::int32_t nShift) {
    const std::int32_t w = m_nWidth;
    const std::int32_t h = m_nHeight;
    if (w < 3 || h < 3)
        return;
    if (nBuffer == 0)
        m_bAllChanged = true;
    const rillo::RippleKernels& kernels = rillo::ActiveRippleKernels();
    std::int32_t* out = Buffer(nBuffer);
    const std::int32_t* in = Buffer(nBuffer == 0 ? 1 : 0);
    for (std::int32_t row = 1; row < h - 1; ++row)
        kernels.pfnPropagateRow(out, in, w, row * w + 1, w - 2, nShift & 31);
}
