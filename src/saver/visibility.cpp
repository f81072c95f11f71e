#include "saver/visibility.h"

namespace rillo {

bool SessionIsAway(int connectState, std::int32_t sessionFlags, bool bLockFlagsSwapped) {
    if (connectState == wts::kStateDisconnected)
        return true;
    return sessionFlags == (bLockFlagsSwapped ? wts::kFlagsUnlock : wts::kFlagsLock);
}

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
