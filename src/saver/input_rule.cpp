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

} // namespace rillo
