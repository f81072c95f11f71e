// Whether anybody can see the saver: the display is on and the session is at the
// console, unlocked. While nobody can, the rain stops, and the processor rests.
//
// The codes are the system's own numbers, kept as plain values so that the rule
// needs no system headers.
#pragma once

#include <cstdint>

namespace rillo {

// GUID_CONSOLE_DISPLAY_STATE's data.
constexpr std::uint32_t kDisplayOff = 0;
constexpr std::uint32_t kDisplayOn = 1;
constexpr std::uint32_t kDisplayDimmed = 2;

// WM_WTSSESSION_CHANGE's codes.
namespace wts {
constexpr unsigned kConsoleConnect = 0x1;
constexpr unsigned kConsoleDisconnect = 0x2;
constexpr unsigned kRemoteConnect = 0x3;
constexpr unsigned kRemoteDisconnect = 0x4;
constexpr unsigned kSessionLock = 0x7;
constexpr unsigned kSessionUnlock = 0x8;
} // namespace wts

// WTSQuerySessionInformation's WTSSessionInfoEx answer, level 1: the session's
// connect state (WTSDisconnected 4) and its lock flags (WTS_SESSIONSTATE_LOCK 0,
// WTS_SESSIONSTATE_UNLOCK 1, WTS_SESSIONSTATE_UNKNOWN -1).
namespace wts {
constexpr int kStateDisconnected = 4;
constexpr std::int32_t kFlagsLock = 0;
constexpr std::int32_t kFlagsUnlock = 1;
} // namespace wts

// Whether that answer says nobody is at the session. Windows 7 and Server 2008 R2
// report the two lock flags the other way round (bLockFlagsSwapped); an unknown
// lock state counts as unlocked.
bool SessionIsAway(int connectState, std::int32_t sessionFlags, bool bLockFlagsSwapped);

class CVisibility {
  public:
    // A dimmed display is still seen; any state other than off counts as on.
    void OnDisplayState(std::uint32_t state) { m_bDisplayOff = state == kDisplayOff; }
    // Locking or disconnecting the session hides it until it is unlocked or
    // connected again; other codes change nothing.
    void OnSessionChange(unsigned code);
    // The session was found locked or disconnected before any change was reported.
    void OnSessionFoundAway() { m_bSessionAway = true; }

    bool IsSeen() const { return !m_bDisplayOff && !m_bSessionAway; }

  private:
    bool m_bDisplayOff = false;
    bool m_bSessionAway = false;
};

} // namespace rillo
