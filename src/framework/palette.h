// CPalette: owns a GDI palette, which is deleted with the object.
#pragma once

#include "framework/object.h"
#include "framework/unique_handle.h"

#include <windows.h>

class CPalette : public CObject {
  public:
    CPalette() = default;

    HPALETTE GetSafeHandle() const noexcept { return m_handle.get(); }
    // Replaces the held palette; nonzero when the new one was created.
    BOOL CreatePalette(const LOGPALETTE* logPalette) noexcept {
        m_handle.reset(logPalette ? ::CreatePalette(logPalette) : nullptr);
        return m_handle.get() != nullptr;
    }
    void DeleteObject() noexcept { m_handle.reset(); }

  private:
    rillo::UniqueHandle<HPALETTE, rillo::GdiObjectDeleter> m_handle;
};
