#include "saver/visibility.h"

#include <gtest/gtest.h>

using rillo::CVisibility;
namespace wts = rillo::wts;

// The display and the session each hide the saver on their own; it is seen again
// only when both are back, whatever order they come back in.
TEST(Visibility, DisplayAndSessionEachHideTheSaver) {
    CVisibility v;
    EXPECT_TRUE(v.IsSeen());
    v.OnDisplayState(rillo::kDisplayDimmed);
    EXPECT_TRUE(v.IsSeen());
    v.OnDisplayState(rillo::kDisplayOff);
    EXPECT_FALSE(v.IsSeen());
    v.OnSessionChange(wts::kSessionLock);
    v.OnDisplayState(rillo::kDisplayOn);
    EXPECT_FALSE(v.IsSeen()); // still locked
    v.OnSessionChange(wts::kSessionUnlock);
    EXPECT_TRUE(v.IsSeen());

    for (unsigned away : {wts::kConsoleDisconnect, wts::kRemoteDisconnect}) {
        v.OnSessionChange(away);
        EXPECT_FALSE(v.IsSeen()) << away;
        v.OnSessionChange(0x5); // logon: neither away nor back
        EXPECT_FALSE(v.IsSeen()) << away;
        v.OnSessionChange(away == wts::kConsoleDisconnect ? wts::kConsoleConnect
                                                          : wts::kRemoteConnect);
        EXPECT_TRUE(v.IsSeen()) << away;
    }
}

// The session's state as the system reports it at start: locked or disconnected is
// away; Windows 7 swaps the two lock flags; an unknown lock state is no reason to rest.
TEST(Visibility, SessionFoundLockedOrDisconnectedAtStart) {
    constexpr int kActive = 0;
    EXPECT_TRUE(rillo::SessionIsAway(kActive, wts::kFlagsLock, false));
    EXPECT_FALSE(rillo::SessionIsAway(kActive, wts::kFlagsUnlock, false));
    EXPECT_FALSE(rillo::SessionIsAway(kActive, wts::kFlagsLock, true));
    EXPECT_TRUE(rillo::SessionIsAway(kActive, wts::kFlagsUnlock, true));
    EXPECT_FALSE(rillo::SessionIsAway(kActive, -1, false));
    EXPECT_FALSE(rillo::SessionIsAway(kActive, -1, true));
    EXPECT_TRUE(rillo::SessionIsAway(wts::kStateDisconnected, wts::kFlagsUnlock, false));

    CVisibility v;
    v.OnSessionFoundAway();
    EXPECT_FALSE(v.IsSeen());
    v.OnSessionChange(wts::kSessionUnlock);
    EXPECT_TRUE(v.IsSeen());
}
