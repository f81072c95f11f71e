#include "saver/rainfall.h"

namespace rillo {

Rainfall::Rainfall(const SaverSettings& settings, std::int32_t nSeed)
    : m_settings(settings), m_rain(nSeed) {}

bool Rainfall::Resize(std::int32_t nWidth, std::int32_t nHeight) {
    // The rain keeps the screen's size even when the field cannot be had.
    m_nScreenWidth = nWidth;
    m_nScreenHeight = nHeight;
    return m_ripple.Resize(nWidth, nHeight);
}

std::int32_t Rainfall::GetStrength() const {
    return std::int32_t(std::uint32_t(m_settings.nAmplitude) - std::uint32_t(kStrengthOffset));
}

int Rainfall::Tick(const std::uint32_t* pPicture, std::uint32_t* pFrame) {
    // An empty rectangle accepts nothing: the rain goes on, the water stays still.
    const bool bPictures = pPicture && pFrame && m_ripple.GetWidth() > 0;
    const rillo::ScreenRect accept =
        bPictures ? CRain::AcceptanceRect(m_ripple.GetWidth(), m_ripple.GetHeight())
                  : CRain::AcceptanceRect(0, 0);
    int steps = 0;
    m_rcChanged = {};
    for (int attempt = 0; attempt < kAttemptsPerTick; ++attempt) {
        const RainAttempt a = m_rain.Attempt(m_nScreenWidth, m_nScreenHeight, accept);
        if (!a.bDrop)
            continue;
        m_ripple.Drop(a.nCellX, a.nCellY, m_settings.nWavelength, GetStrength(),
                      m_ripple.GetCurrent());
        m_ripple.Render(pPicture, pFrame);
        m_rcChanged.Union(m_ripple.GetChangedRect());
        ++steps;
    }
    return steps;
}

} // namespace rillo
