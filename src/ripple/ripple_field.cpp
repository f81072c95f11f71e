#include "ripple/ripple_field.h"

#include "ripple/drop_cone.h"
#include "ripple/ripple_kernels.h"
#include "ripple/worker_pool.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

using rillo::WrapAdd;
using rillo::WrapMul;

namespace {

// Rows at either end of a band that the neighbouring bands read: they are stored
// only once every band has swept.
constexpr std::int32_t kEdgeRows = 2;
// Rows a band keeps aside per buffer: its edge rows, and the rows next to it
// whose first step it works out for itself (slots 2 * kEdgeRows and one more).
constexpr std::int32_t kSlotRows = 2 * kEdgeRows + 2;

// Fields smaller than this are swept in one band: threads would cost more than
// they save.
constexpr std::int64_t kSmallField = 256 * 256;

// Rows of 32-bit heights a band keeps of each buffer: enough that sliding the
// window costs little, few enough for the core's cache.
constexpr std::int32_t kWindowCells = 96 * 1024;
constexpr std::int32_t kMinWindowRows = 8;
constexpr std::int32_t kMaxWindowRows = 32;

// Rows ahead of the first step's row that are fetched from memory while it runs.
constexpr std::int32_t kFetchAhead = 2;
// Rows ahead of a row being drawn whose picture is fetched meanwhile.
constexpr std::int32_t kSampleAhead = 8;

// Cells of one row handed to separate render and wave kernels at a time.
// Rendering a stretch and then propagating it keeps the rows it shares with the
// next stretch in the cache. Combined kernels get whole rows.
constexpr std::int32_t kStretch = 1024;

// k = 0 adds zero to every cell, except where the distance squared wraps negative:
// its square root is not a number, and neither is the amount (the cell gains
// INT32_MIN). That takes an offset of 32768 or more from the centre.
bool DropChangesCells(const RippleDrop& drop, const RippleRect& rc) {
    if (drop.nStrength / 64 != 0)
        return true;
    const std::int64_t reach =
        std::max({std::int64_t(drop.x) - rc.left, std::int64_t(rc.right) - drop.x,
                  std::int64_t(drop.y) - rc.top, std::int64_t(rc.bottom) - drop.y});
    return reach >= 32768;
}

// Adds a drop to the cells of rows first .. end - 1 of a map whose cell (0, 0) is
// at base; Cell is the stored type, which the sums fit.
template <class Cell>
void Stamp(std::uintptr_t base, std::int32_t w, std::int32_t h, const RippleDrop& drop,
           std::int64_t first, std::int64_t end) {
    const std::int32_t k = drop.nStrength / 64; // truncates before anything is multiplied
    std::int64_t dyStart, dyEnd, dxStart, dxEnd;
    rillo::ClipOffsets(drop.y, drop.nRadius, h, dyStart, dyEnd);
    rillo::ClipOffsets(drop.x, drop.nRadius, w, dxStart, dxEnd);
    dyStart = std::max(dyStart, first - drop.y);
    dyEnd = std::min(dyEnd, end - drop.y);
    if (dyStart >= dyEnd || dxStart >= dxEnd)
        return;
    // Non-empty ranges lie strictly within the radius, so the offsets fit 32 bits.
    for (std::int64_t dy = dyStart; dy < dyEnd; ++dy) {
        const auto ody = std::int32_t(dy);
        const std::int32_t dy2 = WrapMul(ody, ody);
        Cell* row =
            reinterpret_cast<Cell*>(base + std::uintptr_t((drop.y + dy) * w) * sizeof(Cell));
        for (std::int64_t dx = dxStart; dx < dxEnd; ++dx) {
            const auto odx = std::int32_t(dx);
            const std::int32_t d2 = WrapAdd(WrapMul(odx, odx), dy2);
            Cell& cell = row[drop.x + dx];
            cell = Cell(WrapAdd(cell, rillo::DropAmount(drop.nRadius, k, d2)));
        }
    }
}

// A pointer to cell 0 of a map of which only rows from row on are held at p: the
// kernels index cells from it, and read only the rows held.
template <class T> T* RowsBase(T* p, std::int32_t row, std::int32_t w) {
    return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(p) -
                                std::uintptr_t(row) * std::uintptr_t(w) * sizeof(T));
}

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

// A band owns rows nFirst .. nEnd - 1 of the interior and sweeps them with
// 32-bit copies of the rows of both buffers it needs: rows nWinFirst .. nWinFirst
// + nWinRows - 1 of each, one after the other. It also works out the wave of the
// row next to it on either side (its neighbour's), to have every height its own
// rows need, but stores only its own. Its first and last kEdgeRows rows are read by
// its neighbours, so they wait in pEdge until every band has swept.
struct CRippleField::Band {
    std::int32_t nFirst = 0;
    std::int32_t nEnd = 0;
    std::int32_t* pWindow[2] = {nullptr, nullptr};
    std::int32_t nWinFirst = 0;
    std::int32_t nWinRows = 0;
    std::int32_t* pEdge[2] = {nullptr, nullptr};
    std::int32_t nEdgeRow[2 * kEdgeRows] = {};
    std::int32_t nRows = 0;     // rows stored in the last pass
    std::int32_t nWideRows = 0; // of them as 32-bit cells
};

CRippleField::CRippleField() : CRippleField(rillo::WidestKernels()) {}

CRippleField::CRippleField(const rillo::RippleKernels& kernels)
    : m_nWidth(0), m_nHeight(0), m_nCurrent(0), m_nDampShift(10), m_pKernels(&kernels),
      m_pBuffer0(nullptr), m_pBuffer1(nullptr), m_bAllChanged(true), m_pLastSource(nullptr),
      m_pLastDest(nullptr) {}

CRippleField::~CRippleField() = default;

bool CRippleField::Resize(std::int32_t nWidth, std::int32_t nHeight) {
    m_pStorage0.reset();
    m_pStorage1.reset();
    m_pBuffer0 = nullptr;
    m_pBuffer1 = nullptr;
    m_pBands.reset();
    m_pScratch.reset();
    m_nBands = 0;
    m_nWidth = 0;
    m_nHeight = 0;
    m_nCurrent = 0;
    m_bAllChanged = true;
    m_rcChanged0 = {};
    m_pLastSource = nullptr;
    m_pLastDest = nullptr;
    m_rcRendered = {};
    m_pWideRows[0].reset();
    m_pWideRows[1].reset();
    m_nPasses = m_nWidePasses = m_nWideRowsStored = m_nRowsStored = 0;
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
    // Zero bytes are flat water in either width: every row starts as 16-bit cells,
    // unless told otherwise.
    std::unique_ptr<std::uint8_t[]> wide0(new (std::nothrow) std::uint8_t[std::size_t(nHeight)]);
    std::unique_ptr<std::uint8_t[]> wide1(new (std::nothrow) std::uint8_t[std::size_t(nHeight)]);
    if (!p0 || !p1 || !wide0 || !wide1)
        return false;
    std::fill(wide0.get(), wide0.get() + nHeight, std::uint8_t(m_bWideOnly));
    std::fill(wide1.get(), wide1.get() + nHeight, std::uint8_t(m_bWideOnly));
    m_pWideRows[0] = std::move(wide0);
    m_pWideRows[1] = std::move(wide1);
    m_pStorage0 = std::move(p0);
    m_pStorage1 = std::move(p1);
    m_pBuffer0 = m_pStorage0.get() + rillo::kHeightPadding;
    m_pBuffer1 = m_pStorage1.get() + rillo::kHeightPadding;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    if (!AllocateBands()) {
        Resize(0, 0);
        return false;
    }
    return true;
}

void CRippleField::SetWorkers(rillo::WorkerPool* pWorkers) {
    m_pWorkers = pWorkers;
    if (!AllocateBands())
        Resize(0, 0);
}

void CRippleField::SetBandCount(int nBands) {
    m_nBandSetting = nBands < 0 ? 0 : nBands;
    if (!AllocateBands())
        Resize(0, 0);
}

bool CRippleField::AllocateBands() {
    const std::int32_t w = m_nWidth, h = m_nHeight;
    int bands = 0;
    if (w >= 3 && h >= 3) {
        bands = m_nBandSetting;
        if (bands == 0)
            bands =
                m_pWorkers && std::int64_t(w) * h >= kSmallField ? m_pWorkers->GetThreadCount() : 1;
        bands = std::min(bands, h - 2);
    }
    if (bands == m_nBands && (bands == 0 || m_pScratch))
        return true;
    m_pBands.reset();
    m_pScratch.reset();
    m_nBands = 0;
    if (bands == 0)
        return true;
    const std::int32_t rows =
        std::min(h, std::clamp(kWindowCells / w, kMinWindowRows, kMaxWindowRows));
    // Whole cache lines, so that every window starts on one.
    const std::uint64_t window =
        (std::uint64_t(rows) * std::uint64_t(w) + 2 * rillo::kHeightPadding + 15) &
        ~std::uint64_t(15);
    const std::uint64_t perBand = 2 * window + 2 * std::uint64_t(kSlotRows) * std::uint64_t(w);
    if (perBand > PTRDIFF_MAX / sizeof(std::int32_t) / std::uint64_t(bands))
        return false;
    HeightStorage scratch(new (std::align_val_t(64), std::nothrow)
                              std::int32_t[std::size_t(perBand * std::uint64_t(bands))]());
    std::unique_ptr<Band[]> pBands(new (std::nothrow) Band[std::size_t(bands)]);
    if (!scratch || !pBands)
        return false;
    const std::int32_t interior = h - 2;
    for (int k = 0; k < bands; ++k) {
        Band& b = pBands[k];
        b.nFirst = 1 + std::int32_t(std::int64_t(interior) * k / bands);
        b.nEnd = 1 + std::int32_t(std::int64_t(interior) * (k + 1) / bands);
        std::int32_t* p = scratch.get() + std::size_t(perBand) * std::size_t(k);
        for (int n = 0; n < 2; ++n)
            b.pWindow[n] = p + std::size_t(window) * std::size_t(n) + rillo::kHeightPadding;
        for (int n = 0; n < 2; ++n)
            b.pEdge[n] = p + 2 * std::size_t(window) +
                         std::size_t(kSlotRows) * std::size_t(w) * std::size_t(n);
    }
    m_nWindowRows = rows;
    m_pScratch = std::move(scratch);
    m_pBands = std::move(pBands);
    m_nBands = bands;
    return true;
}

void CRippleField::SetWideCellsOnly(bool bWide) {
    m_bWideOnly = bWide;
    if (bWide && m_pBuffer0) {
        WideBuffer(0);
        WideBuffer(1);
    }
}

std::int32_t CRippleField::CountWideRows() const {
    std::int32_t n = 0;
    for (int b = 0; b < 2 && m_pBuffer0; ++b)
        for (std::int32_t j = 0; j < m_nHeight; ++j)
            n += IsWideRow(b, j);
    return n;
}

// In place, from the last cell down: the 32-bit cell k covers 16-bit cells 2k and
// 2k + 1, which are at or beyond k and so already widened.
std::int32_t* CRippleField::WideRow(int n, std::int32_t j) const {
    auto* bytes = reinterpret_cast<unsigned char*>(static_cast<std::int32_t*>(Storage(n)) +
                                                   std::ptrdiff_t(j) * m_nWidth);
    if (!IsWideRow(n, j)) {
        for (std::size_t k = std::size_t(m_nWidth); k-- > 0;) {
            std::int16_t v;
            std::memcpy(&v, bytes + 2 * k, 2);
            const std::int32_t x = v;
            std::memcpy(bytes + 4 * k, &x, 4);
        }
        m_pWideRows[n][j] = 1;
    }
    return reinterpret_cast<std::int32_t*>(bytes);
}

std::int32_t* CRippleField::WideBuffer(std::int32_t nBuffer) const {
    const int n = nBuffer == 0 ? 0 : 1;
    for (std::int32_t j = 0; j < m_nHeight; ++j)
        WideRow(n, j);
    return n == 0 ? m_pBuffer0 : m_pBuffer1;
}

std::int32_t CRippleField::GetHeight(std::int32_t nBuffer, std::int32_t i) const {
    const int n = nBuffer == 0 ? 0 : 1;
    const std::int32_t* p = n == 0 ? m_pBuffer0 : m_pBuffer1;
    const std::int32_t j = i / m_nWidth;
    if (IsWideRow(n, j))
        return p[i];
    std::int16_t v;
    std::memcpy(&v,
                reinterpret_cast<const unsigned char*>(p + std::ptrdiff_t(j) * m_nWidth) +
                    2 * std::size_t(i - j * m_nWidth),
                2);
    return v;
}

void CRippleField::StoreRow(int n, std::int32_t j, const std::int32_t* pFrom, Band& band) {
    std::int32_t* to = static_cast<std::int32_t*>(Storage(n)) + std::ptrdiff_t(j) * m_nWidth;
    std::int32_t lo = 0, hi = 0;
    ++band.nRows;
    if (!m_bWideOnly) {
        m_pKernels->pfnNarrowRow(pFrom, reinterpret_cast<std::int16_t*>(to), m_nWidth, &lo, &hi);
        if (lo >= INT16_MIN && hi <= INT16_MAX) {
            m_pWideRows[n][j] = 0;
            return;
        }
    }
    m_pKernels->pfnCopyRow(pFrom, to, m_nWidth, &lo, &hi);
    m_pWideRows[n][j] = 1;
    ++band.nWideRows;
}

RippleRect CRippleField::DropRect(const RippleDrop& drop) const {
    std::int64_t dyStart, dyEnd, dxStart, dxEnd;
    rillo::ClipOffsets(drop.y, drop.nRadius, m_nHeight, dyStart, dyEnd);
    rillo::ClipOffsets(drop.x, drop.nRadius, m_nWidth, dxStart, dxEnd);
    if (dyStart >= dyEnd || dxStart >= dxEnd)
        return {};
    return RippleRect{std::int32_t(drop.x + dxStart), std::int32_t(drop.y + dyStart),
                      std::int32_t(drop.x + dxEnd), std::int32_t(drop.y + dyEnd)};
}

void CRippleField::Drop(std::int32_t x, std::int32_t y, std::int32_t nRadius,
                        std::int32_t nStrength, std::int32_t nBuffer) {
    if (!m_pBuffer0)
        return;
    const int t = nBuffer == 0 ? 0 : 1;
    const RippleDrop drop{x, y, nRadius, nStrength};
    const RippleRect rc = DropRect(drop);
    if (rc.IsEmpty())
        return;
    if (t == 0 && DropChangesCells(drop, rc))
        m_rcChanged0.Union(rc);
    // The rows it touches become 32-bit cells; the next pass narrows those that fit.
    for (std::int32_t j = rc.top; j < rc.bottom; ++j)
        WideRow(t, j);
    Stamp<std::int32_t>(reinterpret_cast<std::uintptr_t>(Storage(t)), m_nWidth, m_nHeight, drop, 0,
                        m_nHeight);
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
    Steps(nullptr, 1, pSource, pDest);
}

void CRippleField::Steps(const RippleDrop* pDrops, int nSteps, const std::uint32_t* pSource,
                         std::uint32_t* pDest) {
    PrepareSteps(pDrops, nSteps, pSource, pDest);
    RunPendingTasks();
    FinishSteps();
}

int CRippleField::PrepareSteps(const RippleDrop* pDrops, int nSteps, const std::uint32_t* pSource,
                               std::uint32_t* pDest) {
    const std::int32_t w = m_nWidth;
    const std::int32_t h = m_nHeight;
    nSteps = std::clamp(nSteps, 0, 2);
    m_rcRendered = {};
    m_nSteps = 0;
    const bool bPixels = pSource && pDest;
    for (int n = 0; n < nSteps; ++n) {
        Step& s = m_steps[n];
        s.nBuffer = m_nCurrent;
        s.nShift = m_nDampShift & 31;
        s.bDrop = pDrops != nullptr && m_pBuffer0 != nullptr;
        s.drop = pDrops ? pDrops[n] : RippleDrop{};
        s.rcPixels = {};
        if (s.bDrop) {
            // The drop's bookkeeping as Drop keeps it; its cells change in the sweep.
            const RippleRect rc = DropRect(s.drop);
            s.bDrop = !rc.IsEmpty();
            if (m_nCurrent == 0 && DropChangesCells(s.drop, rc))
                m_rcChanged0.Union(rc);
        }
        if (w >= 3 && h >= 3) {
            if (bPixels) {
                s.rcPixels = PixelsToRender(pSource, pDest);
                m_rcRendered.Union(s.rcPixels);
                m_bAllChanged = false;
                m_rcChanged0 = {};
                m_pLastSource = pSource;
                m_pLastDest = pDest;
            }
            ++m_nSteps;
        }
        if (m_nCurrent == 0)
            m_bAllChanged = true;
        m_nCurrent ^= 1;
    }
    m_pSource = bPixels ? pSource : nullptr;
    m_pDest = bPixels ? pDest : nullptr;
    if (m_nSteps == 0)
        return 0;
    PreparePass(m_nSteps);
    return m_nBands;
}

void CRippleField::PreparePass(int nSteps) {
    m_nSteps = nSteps;
    ++m_nPasses;
    // Rows are stepped straight from their 16-bit cells while nearly all are kept
    // so; a row that is not goes through 32-bit copies on its own.
    m_bDirect = false;
    if (!m_bWideOnly && m_pKernels->pfnPropagateRow16)
        m_bDirect = std::int64_t(CountWideRows()) * 16 <= m_nHeight;
}

void CRippleField::RunPendingTasks() {
    if (m_nSteps == 0)
        return;
    if (!m_pWorkers || m_nBands == 1) {
        for (int k = 0; k < m_nBands; ++k)
            SweepBand(k);
        for (int k = 0; k < m_nBands; ++k)
            StoreBandEdges(k);
        return;
    }
    m_pWorkers->Run(
        m_nBands, [](void* p, int k) { static_cast<CRippleField*>(p)->SweepBand(k); }, this);
    m_pWorkers->Run(
        m_nBands, [](void* p, int k) { static_cast<CRippleField*>(p)->StoreBandEdges(k); }, this);
}

void CRippleField::RunTask(int nPhase, int nTask) {
    if (nTask < 0 || nTask >= m_nBands || m_nSteps == 0)
        return;
    if (nPhase == 0)
        SweepBand(nTask);
    else
        StoreBandEdges(nTask);
}

void CRippleField::FinishSteps() {
    if (m_nSteps == 0)
        return;
    std::int64_t rows = 0, wide = 0;
    for (int k = 0; k < m_nBands; ++k) {
        rows += m_pBands[k].nRows;
        wide += m_pBands[k].nWideRows;
    }
    m_nRowsStored += rows;
    m_nWideRowsStored += wide;
    m_nWidePasses += wide > 0;
    m_nSteps = 0;
}

void CRippleField::SweepBand(int nBand) {
    if (m_bDirect) {
        SweepBandDirect(nBand);
        return;
    }
    Band& b = m_pBands[nBand];
    const rillo::RippleKernels& kernels = *m_pKernels;
    const std::int32_t w = m_nWidth;
    const std::int32_t h = m_nHeight;
    const std::int32_t cells = w * h;
    const std::int32_t r0 = b.nFirst, r1 = b.nEnd;
    const std::int32_t lo = std::max(r0 - 1, 1), hi = std::min(r1 + 1, h - 1);
    const Step& a = m_steps[0];
    const Step* pB = m_nSteps > 1 ? &m_steps[1] : nullptr;
    b.nWinFirst = lo - 1;
    b.nWinRows = 0;
    for (std::int32_t& row : b.nEdgeRow)
        row = -1;
    b.nRows = b.nWideRows = 0;

    const auto row = [&](int n, std::int32_t j) {
        return b.pWindow[n] + std::ptrdiff_t(j - b.nWinFirst) * w;
    };
    const auto base = [&](int n) { return RowsBase(b.pWindow[n], b.nWinFirst, w); };
    // Row j is final: it goes to the heights of the buffers the pass writes, or
    // waits at the band's edge.
    const auto finish = [&](std::int32_t j) {
        if (j < r0 || j >= r1)
            return;
        if (j < r0 + kEdgeRows || j >= r1 - kEdgeRows) {
            const int slot = j < r0 + kEdgeRows ? j - r0 : j - r1 + 2 * kEdgeRows;
            b.nEdgeRow[slot] = j;
            for (int n = 0; n < 2; ++n)
                if (Writes(n))
                    std::memcpy(b.pEdge[n] + std::ptrdiff_t(slot) * w, row(n, j),
                                std::size_t(w) * 4);
            return;
        }
        for (int n = 0; n < 2; ++n)
            if (Writes(n))
                StoreRow(n, j, row(n, j), b);
    };
    std::int32_t nextA = lo, nextB = r0, nextDropB = r0;
    const std::int32_t lastDropB = std::min(r1, h - 2);
    // Brings row j (the one after the window's last) into the window.
    const auto load = [&](std::int32_t j) {
        if (b.nWinRows == m_nWindowRows) {
            const std::int32_t keep = std::max((pB ? nextB : nextA) - 1, b.nWinFirst);
            for (std::int32_t q = b.nWinFirst; q < keep; ++q)
                finish(q);
            const std::int32_t drop = keep - b.nWinFirst;
            for (int n = 0; n < 2; ++n)
                std::memmove(b.pWindow[n], b.pWindow[n] + std::ptrdiff_t(drop) * w,
                             std::size_t(b.nWinRows - drop) * std::size_t(w) * 4);
            b.nWinFirst = keep;
            b.nWinRows -= drop;
        }
        ++b.nWinRows;
        for (int n = 0; n < 2; ++n) {
            const std::int32_t* from =
                static_cast<const std::int32_t*>(Storage(n)) + std::ptrdiff_t(j) * w;
            if (IsWideRow(n, j))
                std::memcpy(row(n, j), from, std::size_t(w) * 4);
            else
                kernels.pfnWidenRow(reinterpret_cast<const std::int16_t*>(from), row(n, j), w);
        }
        if (a.bDrop)
            Stamp<std::int32_t>(reinterpret_cast<std::uintptr_t>(base(a.nBuffer)), w, h, a.drop, j,
                                j + 1);
    };
    const auto ensure = [&](std::int32_t j) {
        while (b.nWinFirst + b.nWinRows <= j)
            load(b.nWinFirst + b.nWinRows);
    };
    // Columns c .. c + n - 1 of row j of both height maps, fetched from memory while
    // a stretch is worked on, so that they are in the cache when the row is loaded.
    const auto fetch = [&](std::int32_t j, std::int32_t c, std::int32_t n) {
        if (j > hi) // the rows beyond are another band's, and so are their widths
            return;
        for (int m = 0; m < 2; ++m) {
            const int size = IsWideRow(m, j) ? 4 : 2;
            const char* p =
                reinterpret_cast<const char*>(static_cast<const std::int32_t*>(Storage(m)) +
                                              std::ptrdiff_t(j) * w) +
                std::ptrdiff_t(c) * size;
            for (std::ptrdiff_t k = 0; k < std::ptrdiff_t(n) * size; k += 64)
                __builtin_prefetch(p + k, 0, 3);
        }
    };
    // One row of a step: its pixels where the band owns them, then its wave, in
    // stretches; the first step fetches a row it loads later meanwhile.
    const auto stepRow = [&](const Step& s, std::int32_t r) {
        const std::int32_t* heights = base(0);
        std::int32_t* out = base(s.nBuffer);
        const std::int32_t* in = base(s.nBuffer ^ 1);
        const RippleRect& band = s.rcPixels;
        const bool bPixels = m_pDest && r >= r0 && r < r1 && r >= band.top && r < band.bottom;
        const bool bWholeRows =
            bPixels && band.left == 1 && band.right == w - 1 && kernels.pfnStepRow;
        // Propagation may overwrite buffer 0 only behind the renderer: a stretch of
        // row r is rendered from rows r and r + 1 before it is propagated, and no
        // later pixel reads it again.
        for (std::int32_t c = 1; c < w - 1; c += kStretch) {
            const std::int32_t n = w - 1 - c < kStretch ? w - 1 - c : kStretch;
            if (&s == &a)
                fetch(r + kFetchAhead, c == 1 ? 0 : c, c + n == w - 1 ? n + 2 : n);
            if (bWholeRows) {
                kernels.pfnStepRow(heights, out, in, w, cells, r * w + c, n, s.nShift, m_pSource,
                                   m_pDest);
                continue;
            }
            if (bPixels) {
                const std::int32_t first = std::max(c, band.left);
                const std::int32_t end = std::min(c + n, band.right);
                if (first < end)
                    kernels.pfnRenderRow(heights, w, cells, r * w + first, end - first, m_pSource,
                                         m_pDest);
            }
            kernels.pfnPropagateRow(out, in, w, r * w + c, n, s.nShift);
        }
    };
    // The second step follows the first two rows behind: its drop may change a row
    // once the first step has read it for the last time (after the row above it),
    // and its row q reads the first step's rows up to q + 1.
    const auto advanceSecond = [&](std::int64_t aDone) {
        const Step& s = *pB;
        while (nextDropB <= lastDropB && nextDropB + 2 <= aDone) {
            if (s.bDrop)
                Stamp<std::int32_t>(reinterpret_cast<std::uintptr_t>(base(s.nBuffer)), w, h, s.drop,
                                    nextDropB, nextDropB + 1);
            ++nextDropB;
        }
        while (nextB < r1 && (nextDropB > nextB + 1 || nextDropB > lastDropB) &&
               nextB + 2 <= aDone) {
            stepRow(s, nextB);
            ++nextB;
        }
    };
    for (std::int32_t r = lo; r < hi; ++r) {
        ensure(r + 1);
        stepRow(a, r);
        nextA = r + 1;
        if (pB)
            advanceSecond(nextA);
    }
    if (pB)
        advanceSecond(INT64_MAX);
    for (std::int32_t j = b.nWinFirst; j < b.nWinFirst + b.nWinRows; ++j)
        finish(j);
}

// The same steps as SweepBand, reading and writing the stored rows themselves. A
// step's row is computed from 16-bit cells by the kernel set's direct loop when
// the rows it reads are 16-bit, no drop falls on it and its heights fit 16 bits;
// otherwise from 32-bit copies of the rows it reads, in the band's window. Rows
// the neighbouring bands read wait in the band's slots as 32-bit cells.
void CRippleField::SweepBandDirect(int nBand) {
    Band& b = m_pBands[nBand];
    const rillo::RippleKernels& kernels = *m_pKernels;
    const std::int32_t w = m_nWidth;
    const std::int32_t h = m_nHeight;
    const std::int32_t cells = w * h;
    const std::int32_t r0 = b.nFirst, r1 = b.nEnd;
    const std::int32_t lo = std::max(r0 - 1, 1), hi = std::min(r1 + 1, h - 1);
    const Step& a = m_steps[0];
    const Step* pB = m_nSteps > 1 ? &m_steps[1] : nullptr;
    for (std::int32_t& row : b.nEdgeRow)
        row = -1;
    b.nRows = b.nWideRows = 0;
    std::int32_t nextA = lo, nextB = r0;
    RippleRect drops[2];
    for (int n = 0; n < m_nSteps; ++n)
        if (m_steps[n].bDrop)
            drops[n] = DropRect(m_steps[n].drop);

    // The slot row j of this band goes to once stepped, or -1 when it goes to the
    // stored rows.
    const auto slotOf = [&](std::int32_t j) -> int {
        if (j == r0 - 1)
            return 2 * kEdgeRows;
        if (j == r1)
            return 2 * kEdgeRows + 1;
        if (j < r0 + kEdgeRows)
            return j - r0;
        if (j >= r1 - kEdgeRows)
            return j - r1 + 2 * kEdgeRows;
        return -1;
    };
    struct RowAt {
        void* p;
        bool bWide;
    };
    // Where row j of buffer n is now: the stored row, or a slot once this pass has
    // stepped it there.
    const auto at = [&](int n, std::int32_t j) -> RowAt {
        const bool bDone = (n == a.nBuffer && j >= lo && j < nextA) ||
                           (pB && n == pB->nBuffer && j >= r0 && j < nextB);
        const int slot = bDone ? slotOf(j) : -1;
        if (slot >= 0)
            return {b.pEdge[n] + std::ptrdiff_t(slot) * w, true};
        return {static_cast<std::int32_t*>(Storage(n)) + std::ptrdiff_t(j) * w, IsWideRow(n, j)};
    };
    const auto copyWide = [&](const RowAt& from, std::int32_t* to) {
        if (from.bWide)
            std::memcpy(to, from.p, std::size_t(w) * 4);
        else
            kernels.pfnWidenRow(static_cast<const std::int16_t*>(from.p), to, w);
    };
    // Stamps step n's drop on the rows first .. end - 1 of a copy whose row first is at p.
    const auto stamp = [&](int n, std::int32_t* p, std::int32_t first, std::int32_t end) {
        const Step& s = m_steps[n];
        if (s.bDrop && first < drops[n].bottom && end > drops[n].top)
            Stamp<std::int32_t>(reinterpret_cast<std::uintptr_t>(RowsBase(p, first, w)), w, h,
                                s.drop, first, end);
    };
    // Row j of the buffer step n writes is final.
    const auto place16 = [&](int n, std::int32_t j, const std::int16_t* p) {
        const int d = m_steps[n].nBuffer;
        const int slot = slotOf(j);
        if (slot >= 0) {
            kernels.pfnWidenRow(p, b.pEdge[d] + std::ptrdiff_t(slot) * w, w);
        } else {
            std::memcpy(static_cast<std::int32_t*>(Storage(d)) + std::ptrdiff_t(j) * w, p,
                        std::size_t(w) * 2);
            m_pWideRows[d][j] = 0;
            ++b.nRows;
        }
        if (slot >= 0 && slot < 2 * kEdgeRows)
            b.nEdgeRow[slot] = j;
    };
    const auto place32 = [&](int n, std::int32_t j, const std::int32_t* p) {
        const int d = m_steps[n].nBuffer;
        const int slot = slotOf(j);
        if (slot >= 0)
            std::memcpy(b.pEdge[d] + std::ptrdiff_t(slot) * w, p, std::size_t(w) * 4);
        else
            StoreRow(d, j, p, b);
        if (slot >= 0 && slot < 2 * kEdgeRows)
            b.nEdgeRow[slot] = j;
    };
    // Columns c .. c + n - 1 of row j of both height maps, and of the picture's row
    // kSampleAhead further on, fetched from memory while a stretch is worked on:
    // the rows are read when their turn comes, and samples reach a few rows past
    // their pixel.
    const auto fetch = [&](std::int32_t j, std::int32_t c, std::int32_t n) {
        const auto lines = [](const void* p, std::ptrdiff_t bytes) {
            for (std::ptrdiff_t k = 0; k < bytes; k += 64)
                __builtin_prefetch(static_cast<const char*>(p) + k, 0, 3);
        };
        if (m_pSource && j + kSampleAhead < h)
            lines(m_pSource + std::ptrdiff_t(j + kSampleAhead) * w + c, std::ptrdiff_t(n) * 4);
        if (j > hi)
            return;
        for (int m = 0; m < 2; ++m) {
            const int size = IsWideRow(m, j) ? 4 : 2;
            lines(reinterpret_cast<const char*>(static_cast<const std::int32_t*>(Storage(m)) +
                                                std::ptrdiff_t(j) * w) +
                      std::ptrdiff_t(c) * size,
                  std::ptrdiff_t(n) * size);
        }
    };
    std::int32_t* const pCopyR = b.pWindow[0]; // rows r - 1 .. r + 1 the wave reads
    std::int32_t* const pCopyW = b.pWindow[1]; // row r it writes, then the pixels' rows
    // Row r of step n: its pixels where the band owns them, from 32-bit copies of
    // the heights, and its wave, in stretches; the first step fetches the rows it
    // reads later meanwhile.
    const auto stepRow = [&](int n, std::int32_t r) {
        const Step& s = m_steps[n];
        const int d = s.nBuffer, e = d ^ 1;
        const RippleRect& band = s.rcPixels;
        const bool bPixels = m_pDest && r >= r0 && r < r1 && r >= band.top && r < band.bottom;
        const RowAt heights[2] = {at(0, r), at(0, r + 1)};
        std::int32_t* const px = pCopyW + w;
        const bool bDropPixels =
            bPixels && d == 0 && s.bDrop && r + 2 > drops[n].top && r < drops[n].bottom;
        if (bDropPixels) { // the drop lands before the pixels are drawn: whole rows then
            copyWide(heights[0], px);
            copyWide(heights[1], px + w);
            stamp(n, px, r, r + 2);
        }
        const bool b16Pixels =
            !bDropPixels && kernels.pfnRenderRow16 && !heights[0].bWide && !heights[1].bWide;
        const RowAt old = at(d, r), up = at(e, r - 1), mid = at(e, r), dn = at(e, r + 1);
        const bool bDropHere = s.bDrop && r >= drops[n].top && r < drops[n].bottom;
        bool bDirect = !bDropHere && !old.bWide && !up.bWide && !mid.bWide && !dn.bWide;
        auto* const out = reinterpret_cast<std::int16_t*>(pCopyW);
        const auto* const pw = static_cast<const std::int16_t*>(old.p);
        for (std::int32_t c = 1; c < w - 1; c += kStretch) {
            const std::int32_t k = w - 1 - c < kStretch ? w - 1 - c : kStretch;
            if (n == 0)
                fetch(r + kFetchAhead, c == 1 ? 0 : c, c + k == w - 1 ? k + 2 : k);
            if (bPixels) {
                const std::int32_t first = std::max(c, band.left);
                const std::int32_t end = std::min(c + k, band.right);
                if (first < end && b16Pixels) {
                    kernels.pfnRenderRow16(static_cast<const std::int16_t*>(heights[0].p),
                                           static_cast<const std::int16_t*>(heights[1].p), w, cells,
                                           r * w + first, end - first, m_pSource, m_pDest);
                } else if (first < end) {
                    if (!bDropPixels)
                        for (int q = 0; q < 2; ++q) {
                            const RowAt& from = heights[q];
                            std::int32_t* to = px + std::ptrdiff_t(q) * w + first;
                            const std::int32_t count = end + 1 - first;
                            if (from.bWide)
                                std::memcpy(to, static_cast<const std::int32_t*>(from.p) + first,
                                            std::size_t(count) * 4);
                            else
                                kernels.pfnWidenRow(
                                    static_cast<const std::int16_t*>(from.p) + first, to, count);
                        }
                    kernels.pfnRenderRow(RowsBase(px, r, w), w, cells, r * w + first, end - first,
                                         m_pSource, m_pDest);
                }
            }
            if (bDirect)
                bDirect = kernels.pfnPropagateRow16(
                    out + c, pw + c, static_cast<const std::int16_t*>(up.p) + c,
                    static_cast<const std::int16_t*>(mid.p) + c,
                    static_cast<const std::int16_t*>(dn.p) + c, k, s.nShift);
        }
        if (bDirect) {
            out[0] = pw[0];
            out[w - 1] = pw[w - 1];
            place16(n, r, out);
            return;
        }
        copyWide(up, pCopyR);
        copyWide(mid, pCopyR + w);
        copyWide(dn, pCopyR + 2 * std::ptrdiff_t(w));
        copyWide(old, pCopyW);
        stamp(n, pCopyW, r, r + 1);
        kernels.pfnPropagateRow(RowsBase(pCopyW, r, w), RowsBase(pCopyR, r - 1, w), w, r * w + 1,
                                w - 2, s.nShift);
        place32(n, r, pCopyW);
    };
    // The second step follows two rows behind: its row q reads the first step's
    // rows up to q + 1 and overwrites what the first step's row q + 1 read.
    for (std::int32_t r = lo; r < hi; ++r) {
        stepRow(0, r);
        nextA = r + 1;
        for (; pB && nextB < r1 && nextB + 2 <= nextA; ++nextB)
            stepRow(1, nextB);
    }
    for (; pB && nextB < r1; ++nextB)
        stepRow(1, nextB);
}

void CRippleField::StoreBandEdges(int nBand) {
    Band& b = m_pBands[nBand];
    const std::int32_t w = m_nWidth;
    for (int slot = 0; slot < 2 * kEdgeRows; ++slot) {
        const std::int32_t j = b.nEdgeRow[slot];
        if (j < 0)
            continue;
        for (int n = 0; n < 2; ++n)
            if (Writes(n))
                StoreRow(n, j, b.pEdge[n] + std::ptrdiff_t(slot) * w, b);
    }
}

void CRippleField::Propagate(std::int32_t nBuffer, std::int32_t nShift) {
    const std::int32_t w = m_nWidth;
    const std::int32_t h = m_nHeight;
    if (w < 3 || h < 3)
        return;
    if (nBuffer == 0)
        m_bAllChanged = true;
    Step& s = m_steps[0];
    s.nBuffer = nBuffer == 0 ? 0 : 1;
    s.nShift = nShift & 31;
    s.bDrop = false;
    s.rcPixels = {};
    m_pSource = nullptr;
    m_pDest = nullptr;
    PreparePass(1);
    RunPendingTasks();
    FinishSteps();
}
