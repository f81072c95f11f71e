// The desktop snapshot: captured to a BMP file in the temporary directory, then read
// back upside down for the water window's picture.
#pragma once

#include "framework/unique_handle.h"
#include "saver/bmp_file.h"
#include "saver/screen_layout.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// "<temporary directory>\cTempPicture.bmp"; empty when there is no temporary
// directory at all.
std::wstring BuildSnapshotPath();

// A part of the screen as the snapshot file's bytes: the 54 header bytes, then the
// rows bottom-up at the display's depth (32 bits for palette displays). Empty when
// the capture failed.
struct DesktopCapture {
    std::array<std::uint8_t, rillo::kBmpHeaderSize> header{};
    std::vector<std::uint8_t> pixels;
};
// Photographs `rect` of the virtual screen, in screen coordinates (the primary
// monitor's top-left is (0, 0)), whichever monitors it covers.
bool CaptureScreen(const rillo::ScreenRect& rect, DesktopCapture& capture);
// The primary screen.
bool CaptureDesktop(DesktopCapture& capture);
// Writes a capture to path, shared with nobody while open. True when the whole file
// was written; a failed write leaves no file behind.
bool WriteSnapshotFile(const std::wstring& path, const DesktopCapture& capture);

// Captures the primary screen and writes it to path as a bottom-up BI_RGB file at
// the display's depth (32 bits for palette displays). True when the whole file was
// written; a failed write leaves no file behind.
bool SaveDesktopSnapshot(std::wstring path);

// The file's picture upside down, as a bitmap compatible with the screen; empty when
// the file cannot be read.
rillo::UniqueBitmap LoadSnapshot(const std::wstring& path);

// The captured picture upside down, exactly as LoadSnapshot gives it from the file
// the capture was written to; empty for an empty capture.
rillo::UniqueBitmap PictureFromCapture(const DesktopCapture& capture);

// Writes the capture to path in the snapshot file's layout and reads the picture back
// from the file, as LoadSnapshot would. The file lives only while it is read: it goes
// when its handle closes, on every path out of here and when the process is killed.
// Empty when the file could not be written or read back (held open by another
// program, no such directory, a full disk).
rillo::UniqueBitmap PictureThroughSnapshotFile(const std::wstring& path,
                                               const DesktopCapture& capture);

// A screen-compatible bitmap of width x height, black.
rillo::UniqueBitmap BlackPicture(int width, int height);

// A new screen-compatible bitmap holding bitmap's picture upside down (row k is row
// h - 1 - k); bitmap itself is left as it was. Empty when bitmap is not a bitmap.
rillo::UniqueBitmap FlipBitmap(HBITMAP bitmap);
