#include "platform/Clock.h"
#include "platform/LastError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

struct ScaleGuard {
    double saved = platform::TimeScale();
    ~ScaleGuard() { platform::SetTimeScale(saved); }
};

TEST(Clock, ScalesWaitsAndKeepsTicksInProgramTime) {
    ScaleGuard guard;
    platform::SetTimeScale(0.01);
    EXPECT_EQ(platform::ScaledDuration(1000), std::chrono::milliseconds(10));
    DWORD before = GetTickCount();
    Sleep(2000); // 20 ms of real time
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 2000u);
}

TEST(Clock, InfiniteStaysForeverAndRefusesNonPositiveScales) {
    ScaleGuard guard;
    platform::SetTimeScale(0.5);
    platform::SetTimeScale(0.0);
    platform::SetTimeScale(-3.0);
    EXPECT_DOUBLE_EQ(platform::TimeScale(), 0.5);
    EXPECT_GT(platform::ScaledDuration(INFINITE), std::chrono::hours(24 * 365 * 100));
    // A deadline far in the future must not overflow into the past.
    EXPECT_GT(platform::DeadlineAfter(INFINITE), std::chrono::steady_clock::now());
}

TEST(LastError, IsPerThread) {
    SetLastError(5);
    std::thread other([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(1722);
    });
    other.join();
    EXPECT_EQ(GetLastError(), 5u);
}

} // namespace
