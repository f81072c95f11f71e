// The settings file on disk: loading the two values and rewriting the file with its
// first line carried over.
#pragma once

#include "app/settings_location.h"
#include "saver/saver_settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rillo {

// The settings file is a few dozen bytes; anything past this is not ours to parse, and
// a file larger than this is never rewritten (its first line could not be carried over
// whole).
constexpr std::size_t kSettingsFileLimit = 64 * 1024;

// Fills in the values the file holds, and its first line when `firstLine` is given. The
// file is shared with other readers; one that is missing, or that a writer or an
// unsharing reader holds beyond a brief retry, leaves them as they are.
SettingsRead LoadSettings(const std::wstring& path, std::int32_t& wavelength,
                          std::int32_t& amplitude, std::string* firstLine = nullptr);

// Replaces the file with its first line and the two values. The file is replaced as a
// whole, through a temporary file beside it, so an interrupted save leaves the old file.
// A missing file is created with `newFirstLine` as its first line. Nothing is written
// when the file is held open by another program, read-only, or larger than
// kSettingsFileLimit, nor when its folder is missing; the result then carries the
// system's reason.
SettingsSaveResult SaveSettings(const std::wstring& path, std::int32_t wavelength,
                                std::int32_t amplitude, std::string_view newFirstLine = {});

// The settings from the first file of SettingsLoadOrder that is there (ReadFirstPresent).
// Returns that file's path, or an empty one when none could be read and the values are
// unchanged.
std::wstring LoadSettings(const SettingsPaths& paths, std::int32_t& wavelength,
                          std::int32_t& amplitude, std::string* firstLine = nullptr);

// Saves to the files of SettingsSaveOrder in turn until one is written, creating the
// per-user file's folder when needed. A file made new starts with `loadedFirstLine`, the
// first line of the file the values were loaded from. On failure the result names the
// last file tried.
SettingsSaveResult SaveSettings(const SettingsPaths& paths, std::int32_t wavelength,
                                std::int32_t amplitude, std::string_view loadedFirstLine);

} // namespace rillo
