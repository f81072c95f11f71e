// Move-only owners of Win32 handles, so that no path can leak a GDI object, a DC,
// a registry key or a file handle.
#pragma once

#include <windows.h>

#include <utility>

namespace rillo {

// Owns one handle of type T; a null handle (T()) means "nothing owned". The deleter
// is called only for a non-null handle. Stateful deleters (ReleaseDC needs the
// window) travel with the handle when it moves.
template <typename T, typename Deleter> class UniqueHandle {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T handle) noexcept : m_handle(handle) {}
    UniqueHandle(T handle, Deleter deleter) noexcept
        : m_handle(handle), m_deleter(std::move(deleter)) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(other.release()), m_deleter(std::move(other.m_deleter)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
            m_deleter = std::move(other.m_deleter);
        }
        return *this;
    }

    T get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != T(); }

    // Frees what is held (if anything) and takes ownership of handle.
    void reset(T handle = T()) noexcept {
        T old = m_handle;
        m_handle = handle;
        if (old != T() && old != handle)
            m_deleter(old);
    }
    // Gives the handle up without freeing it.
    T release() noexcept {
        T h = m_handle;
        m_handle = T();
        return h;
    }

  private:
    T m_handle = T();
    Deleter m_deleter{};
};

struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const noexcept { ::DeleteObject(h); }
};
struct DeleteDcDeleter {
    void operator()(HDC dc) const noexcept { ::DeleteDC(dc); }
};
// A DC from GetDC/GetWindowDC goes back to the window it came from.
struct ReleaseDcDeleter {
    HWND hwnd = nullptr;
    void operator()(HDC dc) const noexcept { ::ReleaseDC(hwnd, dc); }
};
struct RegKeyDeleter {
    void operator()(HKEY key) const noexcept { ::RegCloseKey(key); }
};
// Files are stored with null meaning "none"; see MakeUniqueFile for
// INVALID_HANDLE_VALUE.
struct CloseHandleDeleter {
    void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};

using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectDeleter>;
using UniqueMemoryDc = UniqueHandle<HDC, DeleteDcDeleter>; // CreateCompatibleDC, CreateDC
using UniqueWindowDc = UniqueHandle<HDC, ReleaseDcDeleter>;
using UniqueRegKey = UniqueHandle<HKEY, RegKeyDeleter>;
using UniqueFile = UniqueHandle<HANDLE, CloseHandleDeleter>;

// GetDC(hwnd) (null: the whole screen), released to the same window.
inline UniqueWindowDc GetUniqueDc(HWND hwnd) noexcept {
    return UniqueWindowDc(::GetDC(hwnd), ReleaseDcDeleter{hwnd});
}

// CreateFile reports failure as INVALID_HANDLE_VALUE, not null.
inline UniqueFile MakeUniqueFile(HANDLE h) noexcept {
    return UniqueFile(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// Selects an object into a DC and puts the previous one back when it goes out of
// scope. ok() is false when the selection failed (nothing to put back then).
class SelectObjectGuard {
  public:
    SelectObjectGuard(HDC dc, HGDIOBJ object) noexcept
        : m_dc(dc), m_previous(dc && object ? ::SelectObject(dc, object) : nullptr) {
        if (m_previous == HGDI_ERROR)
            m_previous = nullptr;
    }
    ~SelectObjectGuard() { restore(); }
    SelectObjectGuard(const SelectObjectGuard&) = delete;
    SelectObjectGuard& operator=(const SelectObjectGuard&) = delete;

    bool ok() const noexcept { return m_previous != nullptr; }
    // Puts the previous object back now (for APIs that need the object deselected).
    void restore() noexcept {
        if (m_previous) {
            ::SelectObject(m_dc, m_previous);
            m_previous = nullptr;
        }
    }

  private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace rillo
