// The stop signals, blocked, wait to be asked for instead of ending the
// process, and an interrupt is named before a termination.
#include <gtest/gtest.h>

#include <signal.h>

#include <ctime>

#include "ScopeGuard.h"
#include "StopSignals.h"

namespace {

// Takes every stop signal waiting, so that unblocking delivers none.
void discardPendingStopSignals() {
    const sigset_t set = rt::stopSignals();
    const timespec none{0, 0};
    while (sigtimedwait(&set, nullptr, &none) > 0) {
    }
}

TEST(StopSignals, WaitWhileBlockedAndAnInterruptIsNamedFirst) {
    ASSERT_TRUE(rt::blockStopSignals());
    const rt::ScopeGuard restore([] {
        discardPendingStopSignals();
        rt::unblockStopSignals();
    });
    EXPECT_EQ(rt::pendingStopSignal(), 0);
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_EQ(rt::pendingStopSignal(), SIGTERM);
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_EQ(rt::pendingStopSignal(), SIGINT);
    discardPendingStopSignals();
    EXPECT_EQ(rt::pendingStopSignal(), 0);
}

}  // namespace
