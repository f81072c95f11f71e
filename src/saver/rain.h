// CRain: where the rain falls.
//
// A linear congruential generator with a 32-bit state, reseeded with its last
// number before every attempt, picks points on the screen; a point inside the
// acceptance rectangle becomes a drop into the field. The exact formula fixes the
// rain pattern, so the saver and the command-line renderer share this code.
#pragma once

#include "saver/screen_layout.h"

#include <cstdint>

// The outcome of one attempt.
struct RainAttempt {
    std::int32_t nPointX; // the drawn screen point
    std::int32_t nPointY;
    bool bDrop;          // the point lies in the acceptance rectangle
    std::int32_t nCellX; // the drop centre in field cells (point - (15, 20))
    std::int32_t nCellY;
};

class CRain {
  public:
    static constexpr std::int32_t kInitialSeed = 100;
    static constexpr std::int32_t kOffsetX = 15;
    static constexpr std::int32_t kOffsetY = 20;

    explicit CRain(std::int32_t nSeed = kInitialSeed) : m_nSeed(nSeed) {}

    // Advances the state s = s * 214013 + 2531011 (mod 2^32) and returns bits 16 to
    // 30 of the new state, 0 to 32767.
    static std::int32_t NextNumber(std::uint32_t& state);

    // (15, 20, width + 15, height + 20), in wrapping 32-bit arithmetic; an empty
    // source (0 x 0) gives an empty rectangle that accepts nothing.
    static rillo::ScreenRect AcceptanceRect(std::int32_t nSourceWidth, std::int32_t nSourceHeight);

    // One attempt: reseeds with m_nSeed, draws x = screenWidth * r1 / 32767 and
    // y = screenHeight * r2 / 32767 (signed 32-bit, truncated toward zero), keeps r2
    // as the next seed and tests the point against the rectangle.
    RainAttempt Attempt(std::int32_t nScreenWidth, std::int32_t nScreenHeight,
                        const rillo::ScreenRect& accept);

    std::int32_t m_nSeed;
};
