#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>

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
    static std::int64_t Frequency()
    {
        LARGE_INTEGER value{};
        EXPECT_TRUE(QueryPerformanceFrequency(&value));
        return value.QuadPart;
    }
};

TEST_F(ClockTest, FakeClockDrivesCounterMillisecondsAndSleep)
{
    platform::FakeClock clock;
    platform::SetClock(&clock);
    EXPECT_EQ(Frequency(), 1000000);
    EXPECT_EQ(Counter(), 0);
    EXPECT_EQ(timeGetTime(), 0u);

    Sleep(2000); // the start-up splash wait, without waiting
    EXPECT_EQ(Counter(), 2000000);
    EXPECT_EQ(timeGetTime(), 2000u);

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
    OutputDebugStringA("data/fx/effects4.fx");
    OutputDebugStringA(nullptr);
    OutputDebugStringA("\n");
    OutputDebugStringA("CreateDevice hr = 80004005\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "effect loaded: data/fx/effects4.fx\nCreateDevice hr = 80004005\n");
}

} // namespace
