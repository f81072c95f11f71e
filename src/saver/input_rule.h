// When the full-screen saver gives way to the user: any key or mouse button, a mouse
// move away from where the pointer first was, or losing activation. The window asks
// this rule and posts itself WM_CLOSE when it says so.
//
// Message and command numbers are the system's own values, kept here as plain numbers
// so that the rule needs no system headers.
#pragma once

#include <cstdint>

namespace rillo {

namespace msg {
constexpr unsigned kActivate = 0x0006;
constexpr unsigned kActivateApp = 0x001C;
constexpr unsigned kNcActivate = 0x0086;
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kKeyUp = 0x0101;
constexpr unsigned kSysKeyDown = 0x0104;
constexpr unsigned kSysKeyUp = 0x0105;
constexpr unsigned kSysCommand = 0x0112;
constexpr unsigned kMouseMove = 0x0200;
constexpr unsigned kLButtonDown = 0x0201;
constexpr unsigned kLButtonUp = 0x0202;
constexpr unsigned kRButtonDown = 0x0204;
constexpr unsigned kMButtonDown = 0x0207;
constexpr unsigned kMouseWheel = 0x020A;
} // namespace msg

constexpr unsigned kScClose = 0xF060;
constexpr unsigned kScScreenSave = 0xF140;
constexpr unsigned kWaInactive = 0;

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

    // Key presses (system keys too) and the three button presses close; releases and
    // the wheel do not.
    static bool ClosesOnMessage(unsigned message);

    // The system's request to start a screen saver, and the close command, are ignored
    // while the saver runs. The whole value is compared: no masking of its low bits.
    static bool SwallowsSysCommand(unsigned commandId) {
        return commandId == kScScreenSave || commandId == kScClose;
    }

    // `state` is the low word of WM_ACTIVATE's first parameter.
    static bool ClosesOnActivate(unsigned state) { return state == kWaInactive; }
    static bool ClosesOnActivateApp(bool active) { return !active; }
    // Being drawn as inactive is refused (answered FALSE without default processing).
    static bool RefusesNcActivate(bool active) { return !active; }

  private:
    Point m_ptFirstMouse{-1, -1};
    bool m_bRecorded = false;
};

} // namespace rillo
