// CGlWater: one full-screen window's water run by the GL engine and shown straight
// from its frame buffer, on an OpenGL context of the window's own.
//
// OpenGL is loaded at run time: a system without it, or with an older one, is normal
// and simply keeps the processor engine. A context is first tried on a hidden window,
// so that a window the GL engine does not take keeps its ordinary drawing; only once
// the engine is built and its self-test matches does the saver's window get the pixel
// format and the context.
#pragma once

#include "saver/rainfall.h"
#include "saver/saver_settings.h"

#include <windows.h>

#include <cstdint>
#include <memory>

// The GL headers' names (NO_ERROR, MemoryBarrier) are macros in the system's headers:
// only the source file sees both.
namespace rillo {
class CGlRippleEngine;
class GlRainfall;
} // namespace rillo

class CGlWater {
  public:
    // The GL engine on `hwnd`, flat water over a screen of width x height pixels
    // (words 0x00RRGGBB, bottom row first), with the rain from `nSeed`; null when the
    // settings' choice, OpenGL, the renderer or the self-test rule it out.
    static std::unique_ptr<CGlWater> Create(HWND hwnd, const rillo::SaverSettings& settings,
                                            std::int32_t nSeed, std::int32_t nWidth,
                                            std::int32_t nHeight, const std::uint32_t* pPicture);
    ~CGlWater();
    CGlWater(const CGlWater&) = delete;
    CGlWater& operator=(const CGlWater&) = delete;

    // One tick, and its frame shown when the water moved. False once anything has
    // failed: the caller then takes the water over with HandOver.
    bool Tick();
    // Shows the last frame again.
    bool Show();

    // Gives the rain, the water (when it can be read back, else flat water) and the
    // last frame (when it can be read back, else the picture) to the processor engine.
    void HandOver(rillo::Rainfall& rain, const std::uint32_t* pPicture, std::uint32_t* pFrame);

  private:
    CGlWater(const rillo::SaverSettings& settings, std::int32_t nSeed);
    struct Context;

    bool MakeCurrent();
    bool BuildShowProgram();
    bool Draw();

    std::unique_ptr<Context> m_pContext;
    std::unique_ptr<rillo::CGlRippleEngine> m_pEngine;
    std::unique_ptr<rillo::GlRainfall> m_pRain;
    rillo::SaverSettings m_settings;
    std::int32_t m_nSeed;
    bool m_bFailed = false;
};
