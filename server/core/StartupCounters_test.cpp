#include "server/core/StartupCounters.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

// Ticks a retry until its timer goes off; the service accepts from attempt acceptFrom on (0: never).
int ticksUntilOff(int acceptFrom, RegistrationRetry& retry, int& attempts) {
    int ticks = 0;
    bool enabled = true;
    while (enabled && ticks < 100) {
        ++ticks;
        enabled = retry.tick([&] { return ++attempts == acceptFrom; });
    }
    return ticks;
}

TEST(RegistrationRetry, RefusedForeverMakesThirteenRetriesThenStops) {
    RegistrationRetry retry;
    int attempts = 1;  // the one at start-up, refused
    EXPECT_EQ(ticksUntilOff(0, retry, attempts), 13);
    EXPECT_EQ(attempts, 14);
}

TEST(RegistrationRetry, StopsOnTheTickThatIsAccepted) {
    for (int acceptedOnTick : {1, 3, 12, 13}) {
        RegistrationRetry retry;
        int attempts = 1;
        EXPECT_EQ(ticksUntilOff(acceptedOnTick + 1, retry, attempts), acceptedOnTick) << acceptedOnTick;
        EXPECT_EQ(retry.attempts(), acceptedOnTick);
    }
}

TEST(RegistrationRetry, LastTickStillAttemptsAndStopsWhateverTheResult) {
    RegistrationRetry retry;
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(retry.tick([] { return false; }));
    bool attempted = false;
    EXPECT_FALSE(retry.tick([&] { return attempted = true, false; }));
    EXPECT_TRUE(attempted);
}

TEST(DefaultLoadRuns, SevenRunsThenTheTimerStops) {
    DefaultLoadRuns runs;
    int made = 0;
    bool enabled = true;
    while (enabled && made < 100) {
        ++made;
        enabled = runs.afterRun();
    }
    EXPECT_EQ(made, 7);
}

}  // namespace
}  // namespace kelvane
