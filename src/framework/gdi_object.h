// Owning wrappers of GDI objects: the object is deleted with its wrapper.
#pragma once

#include "framework/object.h"
#include "framework/unique_handle.h"

#include <windows.h>

class CDC;

class CGdiObject : public CObject {
  public:
    CGdiObject() = default;
    CGdiObject(CGdiObject&& other) noexcept : m_handle(std::move(other.m_handle)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        m_handle = std::move(other.m_handle);
        return *this;
    }

    HGDIOBJ GetSafeHandle() const noexcept { return m_handle.get(); }
    // Takes ownership of h, deleting what was held before.
    BOOL Attach(HGDIOBJ h) noexcept;
    // Gives the handle up without deleting it.
    HGDIOBJ Detach() noexcept { return m_handle.release(); }
    // Deletes the held object; FALSE when there was none.
    BOOL DeleteObject() noexcept;
    int GetObject(int size, void* buffer) const noexcept;

  protected:
    rillo::UniqueGdiObject m_handle;
};

class CBitmap : public CGdiObject {
  public:
    CBitmap() = default;
    CBitmap(CBitmap&&) noexcept = default;
    CBitmap& operator=(CBitmap&&) noexcept = default;

    operator HBITMAP() const noexcept { return static_cast<HBITMAP>(GetSafeHandle()); }
    HBITMAP Detach() noexcept { return static_cast<HBITMAP>(CGdiObject::Detach()); }

    // Compatible with dc; with the screen when dc is null.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height) noexcept;
    BOOL CreateDiscardableBitmap(CDC* dc, int width, int height) noexcept;
    int GetBitmap(BITMAP* bitmap) const noexcept { return GetObject(sizeof(BITMAP), bitmap); }
};

class CPalette : public CGdiObject {
  public:
    CPalette() = default;
    CPalette(CPalette&&) noexcept = default;
    CPalette& operator=(CPalette&&) noexcept = default;

    operator HPALETTE() const noexcept { return static_cast<HPALETTE>(GetSafeHandle()); }

    BOOL CreatePalette(const LOGPALETTE* logPalette) noexcept;
    UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const noexcept;
    int GetEntryCount() const noexcept;
};
