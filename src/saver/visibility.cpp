#include "saver/visibility.h"

namespace rillo {

void CVisibility::OnSessionChange(unsigned code) {
    switch (code) {
    case wts::kSessionLock:
    case wts::kConsoleDisconnect:
    case wts::kRemoteDisconnect:
        m_bSessionAway = true;
        break;
    case wts::kSessionUnlock:
    case wts::kConsoleConnect:
    case wts::kRemoteConnect:
        m_bSessionAway = false;
        break;
    default:
        break;
    }
}

} // namespace rillo
