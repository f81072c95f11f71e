#include "framework/gdi_object.h"

#include "framework/dc.h"

BOOL CGdiObject::Attach(HGDIOBJ h) noexcept {
    m_handle.reset(h);
    return h != nullptr;
}

BOOL CGdiObject::DeleteObject() noexcept {
    if (!m_handle)
        return FALSE;
    m_handle.reset();
    return TRUE;
}

int CGdiObject::GetObject(int size, void* buffer) const noexcept {
    return m_handle ? ::GetObjectW(m_handle.get(), size, buffer) : 0;
}

// A null DC means the screen (GDI itself would refuse a null DC here).
BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) noexcept {
    if (dc && dc->m_hDC)
        return Attach(::CreateCompatibleBitmap(dc->m_hDC, width, height));
    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    return Attach(screen ? ::CreateCompatibleBitmap(screen.get(), width, height) : nullptr);
}

BOOL CBitmap::CreateDiscardableBitmap(CDC* dc, int width, int height) noexcept {
    if (dc && dc->m_hDC)
        return Attach(::CreateDiscardableBitmap(dc->m_hDC, width, height));
    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    return Attach(screen ? ::CreateDiscardableBitmap(screen.get(), width, height) : nullptr);
}

BOOL CPalette::CreatePalette(const LOGPALETTE* logPalette) noexcept {
    return Attach(logPalette ? ::CreatePalette(logPalette) : nullptr);
}

UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const noexcept {
    return m_handle ? ::GetPaletteEntries(*this, start, count, entries) : 0;
}

int CPalette::GetEntryCount() const noexcept {
    WORD count = 0;
    return GetObject(sizeof(count), &count) ? count : 0;
}
