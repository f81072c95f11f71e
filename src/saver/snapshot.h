// The desktop snapshot: captured to a BMP file in the temporary directory, then read
// back upside down for the water window's picture.
#pragma once

#include "framework/unique_handle.h"
#include "saver/bmp_file.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// "<temporary directory>\cTempPicture.bmp"; empty when there is no temporary
// directory at all.
std::wstring BuildSnapshotPath();

// The primary screen as the snapshot file's bytes: the 54 header bytes, then the
// rows bottom-up at the display's depth (32 bits for palette displays).
struct DesktopCapture {
    std::array<std::uint8_t, rillo::kBmpHeaderSize> header{};
    std::vector<std::uint8_t> pixels;
};
bool CaptureDesktop(DesktopCapture& capture);
// Writes a capture to path, shared with nobody while open. True when the whole file
// was written; a failed write leaves no file behind.
bool WriteSnapshotFile(const std::wstring& path, const DesktopCapture& capture);

// Captures the primary screen and writes it to path as a bottom-up BI_RGB file at
// the display's depth (32 bits for palette displays). True when the whole file was
// written; a failed write leaves no file behind.
bool SaveDesktopSnapshot(std::wstring path);

// The file's picture upside down, as a bitmap compatible with the screen. When the
// file cannot be read the picture is black at screen size.
rillo::UniqueBitmap LoadSnapshot(const std::wstring& path);

// A new screen-compatible bitmap holding bitmap's picture upside down (row k is row
// h - 1 - k); bitmap itself is left as it was. Empty when bitmap is not a bitmap.
rillo::UniqueBitmap FlipBitmap(HBITMAP bitmap);
