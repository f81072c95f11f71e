// When a mouse move ends the full-screen saver: the first move only says where the
// pointer is, and any later one somewhere else closes it. The window procedure
// decides the rest (keys, buttons, activation) itself.
#pragma once

#include <cstdint>

namespace rillo {

class CInputRule {
  public:
    struct Point {
        std::int32_t x, y;
    };

    // A mouse move to (x, y) in screen coordinates, over any of the saver's windows.
    // The first one only records where the pointer is; a later one closes when it is
    // anywhere else, even one pixel off. Every point counts, (-1, -1) included: on a
    // monitor left of or above the primary it is an ordinary place for the pointer.
    bool OnMouseMove(std::int32_t x, std::int32_t y);

    // (-1, -1) until the first move.
    Point FirstMouse() const { return m_ptFirstMouse; }

  private:
    Point m_ptFirstMouse{-1, -1};
    bool m_bRecorded = false;
};

} // namespace rillo
