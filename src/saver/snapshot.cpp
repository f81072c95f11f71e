#include "saver/snapshot.h"

#include "saver/bmp_file.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr wchar_t kSnapshotName[] = L"cTempPicture.bmp";

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

bool ReadAll(HANDLE file, void* data, DWORD size) {
    DWORD read = 0;
    return ::ReadFile(file, data, size, &read, nullptr) && read == size;
}

} // namespace

std::wstring BuildSnapshotPath() {
    wchar_t tempDir[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, tempDir);
    if (n == 0 || n > MAX_PATH)
        return {};
    std::wstring dir(tempDir, n);

    // The unique name only tells the directory; it is not kept.
    wchar_t unique[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(tempDir, L"~ex", 0, unique)) {
        ::DeleteFileW(unique);
        const std::wstring name(unique);
        const size_t slash = name.rfind(L'\\');
        if (slash != std::wstring::npos && slash > 0)
            dir = name.substr(0, slash);
    }
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/'))
        dir.pop_back();
    if (dir.empty())
        return {};
    return dir + L"\\" + kSnapshotName;
}

bool CaptureScreen(const rillo::ScreenRect& rect, DesktopCapture& capture) {
    capture = DesktopCapture{};
    // The screen's DC works in screen coordinates, where the primary monitor starts at
    // (0, 0) and others may lie at negative ones. (A DC made for "DISPLAY" starts at
    // the virtual screen's corner instead on some systems.)
    rillo::UniqueWindowDc display = rillo::GetUniqueDc(nullptr);
    if (!display || rect.IsEmpty())
        return false;
    const int w = rect.Width();
    const int h = rect.Height();
    rillo::UniqueBitmap bitmap(::CreateCompatibleBitmap(display.get(), w, h));
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(display.get()));
    if (!bitmap || !memory)
        return false;
    {
        rillo::SelectObjectGuard select(memory.get(), bitmap.get());
        if (!select.ok())
            return false;
        // A screen the session cannot read now (locked, a secure desktop up, a remote
        // session gone) fails here; whatever the bitmap holds then is not the desktop.
        if (!::BitBlt(memory.get(), 0, 0, w, h, display.get(), rect.left, rect.top, SRCCOPY))
            return false;
    }

    BITMAP bm{};
    if (!::GetObjectW(bitmap.get(), sizeof(bm), &bm))
        return false;
    // Rows of 8 bits or fewer would need a colour table the file does not carry.
    const int bits = bm.bmBitsPixel <= 8 ? 32 : bm.bmBitsPixel;
    const std::uint32_t imageSize = rillo::BmpImageSize(bm.bmWidth, bm.bmHeight, bits);
    if (imageSize == 0)
        return false;
    capture.header = rillo::MakeBmpHeader(bm.bmWidth, bm.bmHeight, bits);
    try {
        capture.pixels.assign(imageSize, 0);
    } catch (...) {
        return false;
    }

    // Room for the three masks GetDIBits may add for 16 and 32 bits.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[3];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = bm.bmWidth;
    info.header.biHeight = bm.bmHeight;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bits);
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage = imageSize;
    if (::GetDIBits(display.get(), bitmap.get(), 0, UINT(bm.bmHeight), capture.pixels.data(),
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != bm.bmHeight) {
        capture = DesktopCapture{};
        return false;
    }
    return true;
}

bool CaptureDesktop(DesktopCapture& capture) {
    return CaptureScreen(
        rillo::ScreenRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)},
        capture);
}

bool WriteSnapshotFile(const std::wstring& path, const DesktopCapture& capture) {
    if (capture.pixels.empty())
        return false;
    rillo::UniqueFile file = rillo::MakeUniqueFile(::CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const bool written =
        WriteAll(file.get(), capture.header.data(), DWORD(capture.header.size())) &&
        WriteAll(file.get(), capture.pixels.data(), DWORD(capture.pixels.size()));
    const bool closed = ::CloseHandle(file.release()) != 0;
    if (written && closed)
        return true;
    // A short file would load as a wrong picture, or not at all: leave none.
    ::DeleteFileW(path.c_str());
    return false;
}

bool SaveDesktopSnapshot(std::wstring path) {
    DesktopCapture capture;
    return !path.empty() && CaptureDesktop(capture) && WriteSnapshotFile(path, capture);
}

rillo::UniqueBitmap FlipBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return {};
    const int w = bm.bmWidth;
    const int h = bm.bmHeight;
    rillo::UniqueMemoryDc source(::CreateCompatibleDC(nullptr));
    rillo::UniqueMemoryDc target(::CreateCompatibleDC(nullptr));
    rillo::UniqueBitmap flipped;
    {
        rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
        if (screen)
            flipped.reset(::CreateCompatibleBitmap(screen.get(), w, h));
    }
    if (!source || !target || !flipped)
        return {};
    rillo::SelectObjectGuard selectSource(source.get(), bitmap);
    rillo::SelectObjectGuard selectTarget(target.get(), flipped.get());
    if (!selectSource.ok() || !selectTarget.ok())
        return {};
    if (!::StretchBlt(target.get(), 0, 0, w, h, source.get(), 0, h - 1, w, -h, SRCCOPY))
        return {};
    selectTarget.restore();
    selectSource.restore();
    return flipped;
}

rillo::UniqueBitmap LoadSnapshot(const std::wstring& path) {
    if (path.empty())
        return {};
    rillo::UniqueBitmap loaded(
        static_cast<HBITMAP>(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                          LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE)));
    return loaded ? FlipBitmap(loaded.get()) : rillo::UniqueBitmap();
}

namespace {

// A DIB section as LoadImage makes one from a file with these 54 header bytes: the
// file's info header, no colour table. Null bits when the header is not one we wrote.
rillo::UniqueBitmap SectionForHeader(const std::array<std::uint8_t, rillo::kBmpHeaderSize>& header,
                                     void*& bits) {
    bits = nullptr;
    BITMAPINFO info{};
    static_assert(sizeof(BITMAPINFOHEADER) == rillo::kBmpHeaderSize - 14);
    std::memcpy(&info.bmiHeader, header.data() + 14, sizeof(BITMAPINFOHEADER));
    rillo::UniqueBitmap section(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section)
        bits = nullptr;
    return section;
}

std::uint32_t ImageSizeOf(const std::array<std::uint8_t, rillo::kBmpHeaderSize>& header) {
    std::uint32_t size = 0;
    std::memcpy(&size, header.data() + 34, sizeof size); // biSizeImage
    return size;
}

} // namespace

rillo::UniqueBitmap PictureFromCapture(const DesktopCapture& capture) {
    if (capture.pixels.empty() || ImageSizeOf(capture.header) != capture.pixels.size())
        return {};
    void* bits = nullptr;
    rillo::UniqueBitmap section = SectionForHeader(capture.header, bits);
    if (!bits)
        return {};
    std::memcpy(bits, capture.pixels.data(), capture.pixels.size());
    ::GdiFlush();
    return FlipBitmap(section.get());
}

rillo::UniqueBitmap PictureThroughSnapshotFile(const std::wstring& path,
                                               const DesktopCapture& capture) {
    if (path.empty() || capture.pixels.empty() ||
        ImageSizeOf(capture.header) != capture.pixels.size())
        return {};
    // The system deletes the file when its last handle closes, whether we close it
    // below, the process is killed or the session ends under it. Shared with nobody,
    // so nobody else reads the photograph meanwhile.
    rillo::UniqueFile file = rillo::MakeUniqueFile(::CreateFileW(
        path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
        return {};
    if (!WriteAll(file.get(), capture.header.data(), DWORD(capture.header.size())) ||
        !WriteAll(file.get(), capture.pixels.data(), DWORD(capture.pixels.size())))
        return {};

    // Read back from the file, straight into the picture's memory.
    LARGE_INTEGER start{};
    std::array<std::uint8_t, rillo::kBmpHeaderSize> header{};
    if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) ||
        !ReadAll(file.get(), header.data(), DWORD(header.size())) || header != capture.header)
        return {};
    void* bits = nullptr;
    rillo::UniqueBitmap section = SectionForHeader(header, bits);
    if (!bits || !ReadAll(file.get(), bits, DWORD(capture.pixels.size())))
        return {};
    ::GdiFlush();
    return FlipBitmap(section.get());
}

rillo::UniqueBitmap BlackPicture(int width, int height) {
    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    if (!screen || width <= 0 || height <= 0)
        return {};
    rillo::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    rillo::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    if (bitmap && memory) {
        rillo::SelectObjectGuard select(memory.get(), bitmap.get());
        if (select.ok())
            ::PatBlt(memory.get(), 0, 0, width, height, BLACKNESS);
    }
    return bitmap;
}
