// CRippleField: the two-buffer integer water and its refraction renderer.
//
// Heights are signed 32-bit cells with two's-complement wrap-around and arithmetic
// right shifts, so every frame is bit-exact on every compiler and instruction set.
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

class CRippleField {
  public:
    CRippleField();
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

    // The pixels of pDest the last Render may have changed; empty when it wrote none.
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

    // Height map 0 or 1 (any nonzero value selects 1); null while the field is empty.
    // Handing out buffer 0 for writing makes the next pixel pass a full one; a pointer
    // kept past a Render is fetched again (or Invalidate called) before writing.
    std::int32_t* GetBuffer(std::int32_t nBuffer) {
        if (nBuffer == 0)
            m_bAllChanged = true;
        return Buffer(nBuffer);
    }
    const std::int32_t* GetBuffer(std::int32_t nBuffer) const {
        return nBuffer == 0 ? m_pBuffer0 : m_pBuffer1;
    }

  private:
    std::int32_t* Buffer(std::int32_t nBuffer) const {
        return nBuffer == 0 ? m_pBuffer0 : m_pBuffer1;
    }
    // The pixels the next pass must compute: every interior one, or those whose
    // heights H[i], H[i + 1] or H[i + width] changed.
    RippleRect PixelsToRender(const std::uint32_t* pSource, const std::uint32_t* pDest) const;

    std::int32_t m_nWidth;
    std::int32_t m_nHeight;
    std::int32_t m_nCurrent;
    std::int32_t m_nDampShift;
    // Each height map is 64-byte aligned, between rillo::kHeightPadding zero cells
    // on either side that the wide kernels may read (never write), so that their
    // blocks can follow cache lines.
    struct AlignedDelete {
        void operator()(std::int32_t* p) const { ::operator delete[](p, std::align_val_t(64)); }
    };
    using HeightStorage = std::unique_ptr<std::int32_t[], AlignedDelete>;
    HeightStorage m_pStorage0;
    HeightStorage m_pStorage1;
    std::int32_t* m_pBuffer0;
    std::int32_t* m_pBuffer1;

    // Since the last pixel pass: the cells of buffer 0 that may have changed, or all.
    bool m_bAllChanged;
    RippleRect m_rcChanged0;
    // The pictures of the last pixel pass: another pair gets a full pass.
    const std::uint32_t* m_pLastSource;
    const std::uint32_t* m_pLastDest;
    RippleRect m_rcRendered;
};
