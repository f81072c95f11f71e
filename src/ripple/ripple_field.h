// CRippleField: the two-buffer integer water and its refraction renderer.
//
// Heights are signed 32-bit values with two's-complement wrap-around and arithmetic
// right shifts, so every frame is bit-exact on every compiler and instruction set.
// A row of heights is stored as 16-bit cells whenever all of its values fit (real
// rain stays well inside), which halves the memory a step moves, and as 32-bit
// cells otherwise. A step reads and writes the 16-bit rows themselves where it
// can and works on 32-bit copies of rows where it cannot, so both widths give the
// same frames; a tick's two steps run in one sweep, in row bands on every core.
// Cell (c, r) is element r * width + c, the same index as the pixel at that place.
//
// The field remembers where buffer 0 has changed since its last pixel pass, so that
// a pass renders only the pixels whose sample could differ; every other pixel of
// the frame already holds what a full pass would write. That holds while the frame
// is left as the field last wrote it and the picture under the water stays the same:
// a caller that writes either (or the heights) between passes calls Invalidate.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

// Cells or pixels left <= x < right, top <= y < bottom, rows counted as in memory.
// Not the saver's ScreenRect, though of the same shape: row 0 here is the first row
// in memory, the bottom line of a bottom-up frame, and the engine knows no screens.
struct RippleRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool IsEmpty() const { return left >= right || top >= bottom; }
    // The smallest rectangle holding both (an empty one adds nothing).
    void Union(const RippleRect& other);
    bool operator==(const RippleRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

namespace rillo {
struct RippleKernels;
class WorkerPool;
} // namespace rillo

// A drop stamped into the buffer the step it belongs to propagates into.
struct RippleDrop {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t nRadius = 0;
    std::int32_t nStrength = 0;
};

class CRippleField {
  public:
    // Steps run with the given kernel set (by default the widest one the processor runs).
    CRippleField();
    explicit CRippleField(const rillo::RippleKernels& kernels);
    virtual ~CRippleField();
    CRippleField(const CRippleField&) = delete;
    CRippleField& operator=(const CRippleField&) = delete;

    // Discards both height maps and allocates flat water of width x height cells,
    // m_nCurrent back to 0; the next pixel pass is a full one. A size that cannot be held
    // (non-positive, more than 2^31 - 1 cells) or memory that cannot be had leaves an empty 0 x 0
    // field, on which Drop and Render change nothing. Returns whether the buffers exist.
    bool Resize(std::int32_t nWidth, std::int32_t nHeight);

    // Adds a cone of the given radius, strength / 64 per unit of height, centred on
    // cell (x, y), to buffer 0 (nBuffer == 0) or buffer 1. Only interior cells are
    // touched, wherever the centre lies.
    void Drop(std::int32_t x, std::int32_t y, std::int32_t nRadius, std::int32_t nStrength,
              std::int32_t nBuffer);

    // Writes the interior pixels of pDest from pSource (both width x height words
    // 0x00RRGGBB), refracted and shaded by buffer 0, then advances the water one
    // step (Propagate(m_nCurrent, m_nDampShift)) and flips m_nCurrent. Without
    // pixel arrays (a surface that could not be made) only the water advances.
    // Only pixels whose heights changed since the last pass are computed, unless the
    // pictures differ from that pass's (then all are): pDest must hold what the field
    // last wrote there.
    void Render(const std::uint32_t* pSource, std::uint32_t* pDest);

    // nSteps (0 to 2) of Drop into the current buffer followed by Render, in one
    // sweep over the rows: the same heights and frame as those calls one by one.
    void Steps(const RippleDrop* pDrops, int nSteps, const std::uint32_t* pSource,
               std::uint32_t* pDest);

    // Steps taken apart, for running several fields' bands on one pool: Prepare,
    // then RunTask(0 .. n - 1) of phase 0 and afterwards of phase 1 (the tasks of a
    // phase in any order, on any threads), then Finish. n is the return of Prepare.
    int PrepareSteps(const RippleDrop* pDrops, int nSteps, const std::uint32_t* pSource,
                     std::uint32_t* pDest);
    void RunTask(int nPhase, int nTask);
    void FinishSteps();
    // The tasks per phase of the prepared steps (0 when there is nothing to sweep),
    // and all of them run on the field's own workers.
    int GetPendingTasks() const { return m_nSteps > 0 ? m_nBands : 0; }
    void RunPendingTasks();

    // The pixels of pDest the last Render (or Steps) may have changed; empty when it
    // wrote none.
    const RippleRect& GetChangedRect() const { return m_rcRendered; }

    // Makes the next pixel pass a full one: for a caller that has written the frame,
    // the picture or the heights itself.
    void Invalidate() { m_bAllChanged = true; }

    // One damped wave step: writes buffer 0 from buffer 1 when nBuffer == 0,
    // otherwise buffer 1 from buffer 0. Only the low 5 bits of nShift count.
    void Propagate(std::int32_t nBuffer, std::int32_t nShift);

    std::int32_t GetWidth() const { return m_nWidth; }
    std::int32_t GetHeight() const { return m_nHeight; }
    // The buffer the next step propagates into; the window stamps drops there.
    std::int32_t GetCurrent() const { return m_nCurrent; }
    std::int32_t GetDampShift() const { return m_nDampShift; }

    // The kernel set steps run with.
    const rillo::RippleKernels& GetKernels() const { return *m_pKernels; }
    void SetKernels(const rillo::RippleKernels& kernels) { m_pKernels = &kernels; }

    // Threads to run row bands on (null: the calling thread alone). The pool must
    // outlive its use by the field.
    void SetWorkers(rillo::WorkerPool* pWorkers);
    // Row bands a step is split into; 0 (the default) chooses one per thread of the
    // workers for a large field and one for a small one. The result does not depend on it.
    void SetBandCount(int nBands);
    int GetBandCount() const { return m_nBands; }

    // Rows are stored as 16-bit cells where every value fits and as 32-bit cells
    // otherwise; bWide keeps them all in 32-bit cells. Frames are the same.
    void SetWideCellsOnly(bool bWide);
    // Rows of both buffers stored as 32-bit cells now.
    std::int32_t CountWideRows() const;
    // Since Resize: passes made, those that stored any row as 32-bit cells, and the
    // rows stored as 32-bit cells against all rows stored.
    std::int64_t GetPasses() const { return m_nPasses; }
    std::int64_t GetWidePasses() const { return m_nWidePasses; }
    std::int64_t GetWideRowsStored() const { return m_nWideRowsStored; }
    std::int64_t GetRowsStored() const { return m_nRowsStored; }

    // Height map 0 or 1 (any nonzero value selects 1), every row as 32-bit cells;
    // null while the field is empty. The rows stay so until the next step, so a
    // caller may read and write them freely until then. Handing out buffer 0 for
    // writing makes the next pixel pass a full one.
    std::int32_t* GetBuffer(std::int32_t nBuffer) {
        if (nBuffer == 0)
            m_bAllChanged = true;
        return WideBuffer(nBuffer);
    }
    const std::int32_t* GetBuffer(std::int32_t nBuffer) const { return WideBuffer(nBuffer); }
    // Height of cell i of buffer 0 or 1 without changing how they are kept.
    std::int32_t GetHeight(std::int32_t nBuffer, std::int32_t i) const;

  private:
    struct Step {
        int nBuffer;         // written by the step's wave; its drop goes there too
        int nShift;          // damping shift, 0 .. 31
        bool bDrop;          // a drop is stamped first
        RippleDrop drop;     // the drop, when there is one
        RippleRect rcPixels; // pixels rendered, empty for none
    };
    // Rows a band owns and what it needs of its neighbours; see ripple_field.cpp.
    struct Band;

    std::int32_t* WideBuffer(std::int32_t nBuffer) const;
    void* Storage(int nBuffer) const { return nBuffer == 0 ? m_pBuffer0 : m_pBuffer1; }
    // The pixels the next pass must compute: every interior one, or those whose
    // heights H[i], H[i + 1] or H[i + width] changed.
    RippleRect PixelsToRender(const std::uint32_t* pSource, const std::uint32_t* pDest) const;
    // The cells a drop changes; empty when it changes none.
    RippleRect DropRect(const RippleDrop& drop) const;
    // Row j of buffer n as 32-bit cells, converted in place if it was not.
    std::int32_t* WideRow(int n, std::int32_t j) const;
    bool IsWideRow(int n, std::int32_t j) const { return m_pWideRows[n][j] != 0; }
    // Stores 32-bit heights as row j of buffer n, as 16-bit cells if they fit.
    void StoreRow(int n, std::int32_t j, const std::int32_t* pFrom, Band& band);
    void PreparePass(int nSteps);
    // Whether the pass writes buffer n (the other is only read by one step alone).
    bool Writes(int n) const {
        return m_steps[0].nBuffer == n || (m_nSteps > 1 && m_steps[1].nBuffer == n);
    }
    void SweepBand(int nBand);
    void SweepBandDirect(int nBand);
    void StoreBandEdges(int nBand);
    bool AllocateBands();

    std::int32_t m_nWidth;
    std::int32_t m_nHeight;
    std::int32_t m_nCurrent;
    std::int32_t m_nDampShift;
    const rillo::RippleKernels* m_pKernels;
    rillo::WorkerPool* m_pWorkers = nullptr;

    // Each height map is 64-byte aligned, between rillo::kHeightPadding zero cells
    // on either side. Row j takes width 32-bit cells from cell j * width on; held
    // as 16-bit cells, it uses the first half of them.
    struct AlignedDelete {
        void operator()(std::int32_t* p) const { ::operator delete[](p, std::align_val_t(64)); }
    };
    using HeightStorage = std::unique_ptr<std::int32_t[], AlignedDelete>;
    HeightStorage m_pStorage0;
    HeightStorage m_pStorage1;
    std::int32_t* m_pBuffer0;
    std::int32_t* m_pBuffer1;
    // Per buffer and row: nonzero where the row holds 32-bit cells. Mutable, since
    // widening a row changes only how the same heights are kept.
    std::unique_ptr<std::uint8_t[]> m_pWideRows[2];
    bool m_bWideOnly = false;
    std::int64_t m_nPasses = 0;
    std::int64_t m_nWidePasses = 0;
    std::int64_t m_nWideRowsStored = 0;
    std::int64_t m_nRowsStored = 0;

    // The pass being run.
    Step m_steps[2];
    int m_nSteps = 0;
    bool m_bDirect = false; // the pass steps 16-bit rows in place
    const std::uint32_t* m_pSource = nullptr;
    std::uint32_t* m_pDest = nullptr;

    int m_nBandSetting = 0;
    int m_nBands = 0;
    std::int32_t m_nWindowRows = 0;
    std::unique_ptr<Band[]> m_pBands;
    HeightStorage m_pScratch;

    // Since the last pixel pass: the cells of buffer 0 that may have changed, or all.
    bool m_bAllChanged;
    RippleRect m_rcChanged0;
    // The pictures of the last pixel pass: another pair gets a full pass.
    const std::uint32_t* m_pLastSource;
    const std::uint32_t* m_pLastDest;
    RippleRect m_rcRendered;
};
