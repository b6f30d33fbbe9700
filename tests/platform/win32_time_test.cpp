#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

class ClockTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetClock(nullptr); }

    static std::int64_t Counter()
    {
        LARGE_INTEGER value{};
        EXPECT_TRUE(QueryPerformanceCounter(&value));
        return value.QuadPart;
    }
};

TEST_F(ClockTest, AnInstalledClockDrivesCounterMillisecondsAndSleep)
{
    platform::FakeClock clock;
    platform::SetClock(&clock);
    LARGE_INTEGER frequency{};
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000);
    Sleep(2000); // the start-up splash wait, without waiting
    clock.Advance(1.0 / 30.0);
    EXPECT_EQ(Counter(), 2033333);
    EXPECT_EQ(timeGetTime(), 2033u);
}

TEST_F(ClockTest, MillisecondsStayExactForOddFrequenciesAndLongUptimes)
{
    platform::FakeClock acpi(3579545);
    platform::SetClock(&acpi);
    acpi.Advance(2.0009);
    EXPECT_EQ(timeGetTime(), 2000u);

    // Some 200 days on a nanosecond counter: ticks x 1000 would not fit in 64 bits.
    platform::FakeClock nanoseconds(1000000000);
    platform::SetClock(&nanoseconds);
    nanoseconds.Advance(200.0 * 86400.0);
    EXPECT_EQ(static_cast<unsigned long long>(timeGetTime()), 200ull * 86400ull * 1000ull);
}

TEST(DebugOutput, WritesTheTextAsItStandsToStandardError)
{
    testing::internal::CaptureStderr();
    OutputDebugStringA("effect loaded: ");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("data/fx/effects4.fx\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "effect loaded: data/fx/effects4.fx\n");
}

} // namespace
