#include "saver/screen_layout.h"

#include "saver/rain.h"

#include <algorithm>

namespace rillo {

std::int32_t ScreenSeed(std::size_t place) {
    return CRain::kInitialSeed + std::int32_t(place);
}

std::vector<SaverScreen> LayOutScreens(const std::vector<MonitorInfo>& monitors,
                                       const ScreenRect& fallback) {
    std::vector<MonitorInfo> usable;
    for (const MonitorInfo& m : monitors) {
        if (m.rect.IsEmpty())
            continue;
        const auto same = std::find_if(usable.begin(), usable.end(),
                                       [&](const MonitorInfo& u) { return u.rect == m.rect; });
        if (same == usable.end())
            usable.push_back(m);
        else
            same->bPrimary = same->bPrimary || m.bPrimary;
    }
    if (usable.empty())
        usable.push_back(MonitorInfo{fallback, true});

    auto primary =
        std::find_if(usable.begin(), usable.end(), [](const MonitorInfo& m) { return m.bPrimary; });
    if (primary == usable.end())
        primary = std::find_if(usable.begin(), usable.end(),
                               [](const MonitorInfo& m) { return m.rect.Contains(0, 0); });
    if (primary == usable.end())
        primary = usable.begin();
    std::rotate(usable.begin(), primary, primary + 1);
    std::stable_sort(
        usable.begin() + 1, usable.end(), [](const MonitorInfo& a, const MonitorInfo& b) {
            return a.rect.left != b.rect.left ? a.rect.left < b.rect.left : a.rect.top < b.rect.top;
        });

    std::vector<SaverScreen> screens;
    for (std::size_t n = 0; n < usable.size(); ++n)
        screens.push_back(SaverScreen{usable[n].rect, n == 0, ScreenSeed(n)});
    return screens;
}

} // namespace rillo
