#include "saver/snapshot.h"

#include "framework/wnd.h"
#include "ripple/dib_surface.h"
#include "ripple/pixel_format.h"
#include "win_test_util.h"

#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using rillo::Pixel;
using rillo::test::CPatternWnd;
using rillo::test::Pattern;

std::vector<std::uint8_t> ReadFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    const DWORD size = ::GetFileSize(f, nullptr);
    bytes.resize(size);
    DWORD read = 0;
    ::ReadFile(f, bytes.data(), size, &read, nullptr);
    bytes.resize(read);
    ::CloseHandle(f);
    return bytes;
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
std::uint32_t U16(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

std::wstring TempDirectory() {
    wchar_t dir[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, dir);
    return dir;
}

int CountExFiles() {
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((TempDirectory() + L"~ex*.tmp").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do
        ++n;
    while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return n;
}

} // namespace

TEST(Snapshot, PathIsInTheTemporaryDirectoryAndLeavesNoUniqueFile) {
    const int before = CountExFiles();
    const std::wstring path = BuildSnapshotPath();
    std::wstring dir = TempDirectory();
    while (!dir.empty() && dir.back() == L'\\')
        dir.pop_back();
    EXPECT_EQ(path, dir + L"\\cTempPicture.bmp");
    EXPECT_EQ(CountExFiles(), before);
}

TEST(Snapshot, WithoutAUniqueNameThePathStillUsesTheTemporaryDirectory) {
    // A temporary directory that does not exist: GetTempFileName cannot make a name there.
    wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
    const DWORD hadTmp = ::GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    const DWORD hadTemp = ::GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", L"C:\\rillo_missing_temp\\");
    ::SetEnvironmentVariableW(L"TEMP", L"C:\\rillo_missing_temp\\");
    wchar_t unique[MAX_PATH] = {};
    const UINT made = ::GetTempFileNameW(L"C:\\rillo_missing_temp\\", L"~ex", 0, unique);
    const std::wstring path = BuildSnapshotPath();
    ::SetEnvironmentVariableW(L"TMP", hadTmp ? oldTmp : nullptr);
    ::SetEnvironmentVariableW(L"TEMP", hadTemp ? oldTemp : nullptr);
    ASSERT_EQ(made, 0u);
    EXPECT_EQ(path, L"C:\\rillo_missing_temp\\cTempPicture.bmp");
}

TEST(Snapshot, ScreenGoesToTheFileAndComesBackUpsideDownIntoTheSurface) {
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 768);

    static const wchar_t kClass[] = L"RilloSnapshotPattern";
    ASSERT_TRUE(CWnd::RegisterClass(kClass, 0, nullptr, nullptr, nullptr));
    CPatternWnd pattern(w, h);
    ASSERT_TRUE(pattern.CreateEx(WS_EX_TOPMOST, kClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, w, h,
                                 nullptr, nullptr));
    ::UpdateWindow(pattern.m_hWnd);
    rillo::test::PumpMessages(500);

    const std::wstring path = BuildSnapshotPath();
    ::DeleteFileW(path.c_str());
    ASSERT_TRUE(SaveDesktopSnapshot(path));
    // The same screen in memory, and a part of it as another monitor's picture.
    DesktopCapture whole, part;
    ASSERT_TRUE(CaptureDesktop(whole));
    ASSERT_TRUE(CaptureScreen(rillo::ScreenRect{100, 50, 300, 170}, part));
    ::DestroyWindow(pattern.m_hWnd);

    ASSERT_EQ(part.pixels.size(), 200u * 120u * 4u);
    int wrongInPart = 0;
    for (int row = 0; row < 120; ++row)
        for (int x = 0; x < 200; ++x)
            wrongInPart += (U32(part.pixels, (size_t(row) * 200 + x) * 4) & 0xFFFFFF) !=
                           Pattern(100 + x, 50 + 119 - row);
    EXPECT_EQ(wrongInPart, 0);

    const auto file = ReadFile(path);
    ASSERT_EQ(file.size(), 3145782u);
    EXPECT_EQ(U16(file, 0), 0x4D42u);
    EXPECT_EQ(U32(file, 2), 3145782u);
    EXPECT_EQ(U32(file, 6), 0u); // both reserved words
    EXPECT_EQ(U32(file, 10), 54u);
    EXPECT_EQ(U32(file, 14), 40u);
    EXPECT_EQ(U32(file, 18), 1024u);
    EXPECT_EQ(U32(file, 22), 768u);
    EXPECT_EQ(U16(file, 26), 1u);
    EXPECT_EQ(U16(file, 28), 32u);
    EXPECT_EQ(U32(file, 30), 0u);
    EXPECT_EQ(U32(file, 34), 3145728u);
    for (size_t at = 38; at < 54; at += 4)
        EXPECT_EQ(U32(file, at), 0u) << at;
    // Bottom-up rows: file row 0 is the bottom screen line.
    int wrong = 0;
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x)
            if ((U32(file, 54 + (size_t(row) * w + x) * 4) & 0xFFFFFF) != Pattern(x, h - 1 - row))
                ++wrong;
    EXPECT_EQ(wrong, 0);

    rillo::UniqueBitmap flipped = LoadSnapshot(path);
    ASSERT_TRUE(flipped);
    // Kept in memory, the capture gives exactly the picture the file gives.
    EXPECT_EQ(rillo::test::BitmapRows(PictureFromCapture(whole).get(), w, h),
              rillo::test::BitmapRows(flipped.get(), w, h));
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = flipped.get();
    IPicture* picture = nullptr;
    ASSERT_TRUE(SUCCEEDED(
        ::OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(&picture))));
    flipped.release();
    CDibSurface surface;
    const BOOL created = surface.CreateFromBitmap(picture, w, h);
    picture->Release();
    ASSERT_TRUE(created);
    // Memory row 0 holds the screen's bottom line, pixel for pixel.
    wrong = 0;
    const Pixel* bits = surface.GetBits();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (bits[size_t(y) * w + x] != Pattern(x, h - 1 - y))
                ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST(Snapshot, FlipTurnsRowsOverAndKeepsColumns) {
    const int w = 3, h = 4;
    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    rillo::UniqueBitmap original(::CreateCompatibleBitmap(screen.get(), w, h));
    std::vector<Pixel> rows;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rows.push_back(rillo::MakePixel(unsigned(x * 80), unsigned(y * 60), 9));
    BITMAPINFO bi = rillo::test::TopDown32(w, h);
    ASSERT_EQ(
        ::SetDIBits(screen.get(), original.get(), 0, UINT(h), rows.data(), &bi, DIB_RGB_COLORS), h);

    rillo::UniqueBitmap flipped = FlipBitmap(original.get());
    ASSERT_TRUE(flipped);
    const auto out = rillo::test::BitmapRows(flipped.get(), w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(out[size_t(y * w + x)], rows[size_t((h - 1 - y) * w + x)]) << x << "," << y;
    EXPECT_EQ(rillo::test::BitmapRows(original.get(), w, h),
              rows); // the given bitmap is left as it was

    EXPECT_FALSE(FlipBitmap(nullptr));
}

// What cannot be read gives no picture at all (never an older one), an empty capture
// none either; black is the last resort.
TEST(Snapshot, UnreadableSnapshotsGiveNoPictureAndBlackIsBlack) {
    const std::wstring dir = TempDirectory();
    const std::wstring garbage = dir + L"rillo_not_a_bitmap.bmp";
    {
        std::ofstream f(garbage.c_str(), std::ios::binary);
        f << "BM this is not a bitmap";
    }
    for (const std::wstring& path : {dir + L"rillo_no_such_file.bmp", garbage, std::wstring()})
        EXPECT_FALSE(LoadSnapshot(path));
    ::DeleteFileW(garbage.c_str());
    EXPECT_FALSE(PictureFromCapture(DesktopCapture{}));
    EXPECT_FALSE(
        CaptureScreen(rillo::ScreenRect{10, 10, 10, 20}, *std::make_unique<DesktopCapture>()));

    rillo::UniqueBitmap picture = BlackPicture(300, 200);
    ASSERT_TRUE(picture);
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectW(picture.get(), sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 300);
    EXPECT_EQ(bm.bmHeight, 200);
    const auto pixels = rillo::test::BitmapRows(picture.get(), bm.bmWidth, bm.bmHeight);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), Pixel(0)), 300 * 200);
    EXPECT_FALSE(BlackPicture(0, 200));
}

TEST(Snapshot, UnwritablePathWritesNothing) {
    const std::wstring path = TempDirectory() + L"rillo_no_such_dir\\cTempPicture.bmp";
    EXPECT_FALSE(SaveDesktopSnapshot(path));
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(SaveDesktopSnapshot(L""));
}
