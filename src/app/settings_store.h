// The settings file on disk: loading the two values and rewriting the file with its
// first line carried over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rillo {

// The settings file is a few dozen bytes; anything past this is not ours to parse, and
// a file larger than this is never rewritten (its first line could not be carried over
// whole).
constexpr std::size_t kSettingsFileLimit = 64 * 1024;

// Fills in the values the file holds; a file that is missing or held open by another
// program leaves them as they are. Returns whether the file was read.
bool LoadSettings(const std::wstring& path, std::int32_t& wavelength, std::int32_t& amplitude);

// Replaces the file with its first line and the two values. The file is replaced as a
// whole, through a temporary file beside it, so an interrupted save leaves the old file.
// A missing file is created with an empty first line. Nothing is written when the file
// is held open by another program, read-only, or larger than kSettingsFileLimit.
// Returns whether the new file is in place.
bool SaveSettings(const std::wstring& path, std::int32_t wavelength, std::int32_t amplitude);

} // namespace rillo
