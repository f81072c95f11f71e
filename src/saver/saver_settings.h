// The two values the user sets, as every window and dialog is handed them, with the
// profile's choice of engine beside them, and what a save of them came to.
#pragma once

#include "saver/engine_choice.h"

#include <cstdint>
#include <string>

namespace rillo {

constexpr std::int32_t kDefaultWavelength = 100;
constexpr std::int32_t kDefaultAmplitude = 100;

// Any 32-bit values the settings file held: nothing checks a range.
struct SaverSettings {
    std::int32_t nWavelength = kDefaultWavelength; // the drops' radius in pixels
    std::int32_t nAmplitude = kDefaultAmplitude;   // a drop's strength, plus 36
    // Read from the profile, never from the settings file, and never saved there.
    EngineChoice engine = EngineChoice::Auto;
};

// What became of a save: the file written, or the file that could not be written and
// the system's error code for why.
struct SettingsSaveResult {
    std::wstring strPath;
    std::uint32_t nError = 0; // 0: the settings are in place
    explicit operator bool() const { return nError == 0; }
};

} // namespace rillo
