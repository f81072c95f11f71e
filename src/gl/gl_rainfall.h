// GlRainfall: the saver's rain on one screen, one tick at a time, on the GL engine.
//
// The same tick as Rainfall's: the rain decides the drops by Rainfall's own rule
// (Rainfall::DrawDrops) and the engine runs their steps. The picture and the frame
// are the engine's own (SetPicture, SetFrame), so nothing crosses back to the
// processor per tick.
#pragma once

#include "gl/gl_ripple_engine.h"
#include "saver/rain.h"
#include "saver/rainfall.h"
#include "saver/saver_settings.h"

#include <cstdint>

namespace rillo {

class GlRainfall {
  public:
    GlRainfall(CGlRippleEngine& engine, const SaverSettings& settings = {},
               std::int32_t nSeed = CRain::kInitialSeed)
        : m_engine(engine), m_settings(settings), m_rain(nSeed) {}

    // Flat water for a screen of width x height pixels; the rain keeps the screen's
    // size even when the engine cannot hold it (then no point is accepted).
    bool Resize(std::int32_t nWidth, std::int32_t nHeight) {
        m_nScreenWidth = nWidth;
        m_nScreenHeight = nHeight;
        return m_engine.Resize(nWidth, nHeight);
    }

    // One tick; returns the steps run: 0, 1 or 2.
    int Tick() {
        RippleDrop drops[Rainfall::kAttemptsPerTick];
        const int steps = Rainfall::DrawDrops(m_rain, m_settings, m_nScreenWidth, m_nScreenHeight,
                                              m_engine.GetWidth(), m_engine.GetHeight(), drops);
        m_engine.Steps(drops, steps);
        return steps;
    }

    // The amplitude less the offset, wrapping as 32-bit arithmetic does.
    std::int32_t GetStrength() const {
        return std::int32_t(std::uint32_t(m_settings.nAmplitude) -
                            std::uint32_t(Rainfall::kStrengthOffset));
    }

    CRain& GetRain() { return m_rain; }

  private:
    CGlRippleEngine& m_engine;
    SaverSettings m_settings;
    CRain m_rain;
    std::int32_t m_nScreenWidth = 0;
    std::int32_t m_nScreenHeight = 0;
};

} // namespace rillo
