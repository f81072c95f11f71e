#include "saver/input_rule.h"

namespace rillo {

bool CInputRule::OnMouseMove(std::int32_t x, std::int32_t y) {
    if (!m_bRecorded) {
        m_ptFirstMouse = {x, y};
        m_bRecorded = true;
        return false;
    }
    return x != m_ptFirstMouse.x || y != m_ptFirstMouse.y;
}

bool CInputRule::ClosesOnMessage(unsigned message) {
    switch (message) {
    case msg::kKeyDown:
    case msg::kSysKeyDown:
    case msg::kLButtonDown:
    case msg::kMButtonDown:
    case msg::kRButtonDown:
        return true;
    default:
        return false;
    }
}

} // namespace rillo
