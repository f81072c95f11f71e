// The two values the user sets, as every window and dialog is handed them.
#pragma once

#include <cstdint>

namespace rillo {

constexpr std::int32_t kDefaultWavelength = 100;
constexpr std::int32_t kDefaultAmplitude = 100;

// Any 32-bit values the settings file held: nothing checks a range.
struct SaverSettings {
    std::int32_t nWavelength = kDefaultWavelength; // the drops' radius in pixels
    std::int32_t nAmplitude = kDefaultAmplitude;   // a drop's strength, plus 36
};

} // namespace rillo
