// Rainfall: the saver's rain on one screen, one tick at a time.
//
// A tick makes two attempts; each point the rain draws inside the acceptance
// rectangle becomes a drop into the field and one step of the water, rendered from
// the picture into the frame. The saver's timer, rillo-render and the tests all run
// ticks through this one class, so they agree on every frame.
#pragma once

#include "ripple/ripple_field.h"
#include "ripple/worker_pool.h"
#include "saver/rain.h"
#include "saver/saver_settings.h"

#include <cstdint>

namespace rillo {

class Rainfall {
  public:
    static constexpr int kAttemptsPerTick = 2;
    // A drop's strength is the amplitude less this.
    static constexpr std::int32_t kStrengthOffset = 36;

    explicit Rainfall(const SaverSettings& settings = {}, std::int32_t nSeed = CRain::kInitialSeed);

    // Flat water for a screen of width x height pixels. Returns whether the field
    // could be made; without it no point is accepted and ticks change nothing.
    bool Resize(std::int32_t nWidth, std::int32_t nHeight);

    // One tick over width x height pictures: pPicture the desktop under the water,
    // pFrame the frame that is rendered. Without both pictures nothing is accepted,
    // though the rain still moves on. Returns the steps run: 0, 1 or 2.
    int Tick(const std::uint32_t* pPicture, std::uint32_t* pFrame);

    // A tick taken apart, for running several screens' ticks side by side (see
    // TickRainfalls): Prepare draws the rain and returns the field's tasks per
    // phase; Finish returns the steps run.
    int PrepareTick(const std::uint32_t* pPicture, std::uint32_t* pFrame);
    int FinishTick();

    // The pixels of the frame the last tick may have changed (field rows, which are
    // memory rows of the frame); empty when it changed none. The rest of the frame
    // is as the tick before left it.
    const RippleRect& GetChangedRect() const { return m_rcChanged; }

    // The amplitude less the offset, wrapping as 32-bit arithmetic does.
    std::int32_t GetStrength() const;

    // The drops of one tick, the rule every engine's tick follows: the rain's attempts
    // over a screen of nScreenWidth x nScreenHeight pixels, each point inside the
    // acceptance rectangle of a field of nFieldWidth x nFieldHeight cells (none when
    // the field is empty) a drop of the settings' radius and strength. Writes them
    // in order to pDrops (room for kAttemptsPerTick) and returns how many.
    static int DrawDrops(CRain& rain, const SaverSettings& settings, std::int32_t nScreenWidth,
                         std::int32_t nScreenHeight, std::int32_t nFieldWidth,
                         std::int32_t nFieldHeight, RippleDrop* pDrops);

    const CRippleField& GetField() const { return m_ripple; }
    CRippleField& GetField() { return m_ripple; }
    const CRain& GetRain() const { return m_rain; }
    CRain& GetRain() { return m_rain; }

  private:
    SaverSettings m_settings;
    CRain m_rain;
    std::int32_t m_nScreenWidth = 0;
    std::int32_t m_nScreenHeight = 0;
    CRippleField m_ripple;
    RippleRect m_rcChanged;
    int m_nSteps = 0;
};

// One tick of each screen's rain, the row bands of all of them run side by side
// on the workers (each rain ticks as its own Tick would). pPictures[n] and
// pFrames[n] belong to ppRains[n]. Returns the steps run in all.
int TickRainfalls(Rainfall* const* ppRains, int nRains, const std::uint32_t* const* pPictures,
                  std::uint32_t* const* pFrames, WorkerPool& workers);

} // namespace rillo
