// Which water goes on which monitor.
//
// The full-screen saver covers every monitor, each with a window and water of its
// own. The primary monitor rains from seed 100 and gets its picture through the
// snapshot file. The others follow in a fixed order, left edge first, then top
// edge, and rain from seeds 101, 102, ... in that order, so that each monitor's
// frames can be reproduced from its part of the desktop and its seed.
#pragma once

#include <cstdint>
#include <vector>

namespace rillo {

// A rectangle in physical pixels with PtInRect's rule: left <= x < right and
// top <= y < bottom. A monitor's place on the virtual screen, or where the rain
// may fall in a window's own coordinates.
struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(std::int32_t x, std::int32_t y) const {
        return left <= x && x < right && top <= y && y < bottom;
    }
    bool operator==(const ScreenRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// A monitor as the system reports it.
struct MonitorInfo {
    ScreenRect rect;
    bool bPrimary = false;
};

// A monitor as the saver covers it.
struct SaverScreen {
    ScreenRect rect;
    bool bPrimary = false;
    std::int32_t nSeed = 0;
};

// The seed of the screen at `place` in the saver's order (0 is the primary).
std::int32_t ScreenSeed(std::size_t place);

// The saver's screens: the primary first, then the others by left edge, then top
// edge. Empty monitors and repeats of one rectangle (mirrored displays) are left
// out. Without a monitor marked primary, the one holding (0, 0) is taken, else the
// first. `fallback` (the primary screen's size at (0, 0)) stands in when the list
// holds no usable monitor.
std::vector<SaverScreen> LayOutScreens(const std::vector<MonitorInfo>& monitors,
                                       const ScreenRect& fallback);

} // namespace rillo
