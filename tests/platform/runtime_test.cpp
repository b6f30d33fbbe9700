// The Windows runtime's generator, clock and debug output.
#include "platform/crt.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

TEST(CrtRand, FollowsTheWindowsRuntimeSequenceAndRestartsOnSeed)
{
    for (int run = 0; run < 2; ++run) {
        crt::srand(1);
        for (int expected : {41, 18467, 6334, 26500, 19169})
            EXPECT_EQ(crt::rand(), expected) << "run " << run;
        crt::srand(7); // another seed in between must not stick
        crt::rand();
    }
}

TEST(Clock, AnInstalledClockDrivesCounterMillisecondsAndSleepExactlyForAnyFrequency)
{
    platform::FakeClock clock;
    platform::SetClock(&clock);
    LARGE_INTEGER value{};
    EXPECT_TRUE(QueryPerformanceFrequency(&value));
    EXPECT_EQ(value.QuadPart, 1000000);
    Sleep(2000); // the start-up splash wait, without waiting
    clock.Advance(1.0 / 30.0);
    EXPECT_TRUE(QueryPerformanceCounter(&value));
    EXPECT_EQ(value.QuadPart, 2033333);
    EXPECT_EQ(timeGetTime(), 2033u);

    platform::FakeClock acpi(3579545);
    platform::SetClock(&acpi);
    acpi.Advance(2.0009);
    EXPECT_EQ(timeGetTime(), 2000u);
    // Some 200 days on a nanosecond counter: ticks x 1000 would not fit in 64 bits.
    platform::FakeClock nanoseconds(1000000000);
    platform::SetClock(&nanoseconds);
    nanoseconds.Advance(200.0 * 86400.0);
    EXPECT_EQ(static_cast<unsigned long long>(timeGetTime()), 200ull * 86400ull * 1000ull);
    platform::SetClock(nullptr);
}

TEST(DebugOutput, WritesTheTextAsItStandsToStandardError)
{
    testing::internal::CaptureStderr();
    OutputDebugStringA("effect loaded: ");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("data/fx/effects4.fx\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "effect loaded: data/fx/effects4.fx\n");
}

// Only the sanitized build has a report to show: there a heap overflow inside
// a captured stretch must still be reported where the run's log can see it.
TEST(SanitizerReports, ReachTheLogWhileATestCapturesStderr)
{
#if defined(__SANITIZE_ADDRESS__)
    // Started afresh, the child takes the death test's stream as the one its
    // reports go to, as a test program takes the run's log.
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    EXPECT_DEATH(
        {
            testing::internal::CaptureStderr();
            char* bytes = new char[4];
            volatile int past = 4;
            bytes[past] = 1;
            delete[] bytes;
        },
        "heap-buffer-overflow");
#else
    GTEST_SKIP() << "not a sanitized build";
#endif
}

} // namespace
