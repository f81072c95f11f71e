#include "saver/rain.h"

namespace {

// Signed 32-bit arithmetic with wrap-around, done unsigned to stay defined.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return std::int32_t(std::uint32_t(a) + std::uint32_t(b));
}
std::int32_t WrapMul(std::int32_t a, std::int32_t b) {
    return std::int32_t(std::uint32_t(a) * std::uint32_t(b));
}

} // namespace

std::int32_t CRain::NextNumber(std::uint32_t& state) {
    state = state * 214013u + 2531011u;
    return std::int32_t((state >> 16) & 0x7FFFu);
}

rillo::ScreenRect CRain::AcceptanceRect(std::int32_t nSourceWidth, std::int32_t nSourceHeight) {
    return {kOffsetX, kOffsetY, WrapAdd(nSourceWidth, kOffsetX), WrapAdd(nSourceHeight, kOffsetY)};
}

RainAttempt CRain::Attempt(std::int32_t nScreenWidth, std::int32_t nScreenHeight,
                           const rillo::ScreenRect& accept) {
    std::uint32_t state = std::uint32_t(m_nSeed);
    const std::int32_t r1 = NextNumber(state);
    m_nSeed = r1;
    const std::int32_t r2 = NextNumber(state);
    m_nSeed = r2;

    RainAttempt a{};
    a.nPointX = WrapMul(nScreenWidth, r1) / 32767;
    a.nPointY = WrapMul(nScreenHeight, r2) / 32767;
    a.bDrop = accept.Contains(a.nPointX, a.nPointY);
    a.nCellX = WrapAdd(a.nPointX, -kOffsetX);
    a.nCellY = WrapAdd(a.nPointY, -kOffsetY);
    return a;
}
