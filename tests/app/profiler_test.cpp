#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/Profiler.h"
#include "platform/win32.h"

namespace {

// A counter the test sets tick by tick, so every duration is exact.
class TickClock : public platform::Clock {
public:
    explicit TickClock(std::int64_t frequency) : frequency_(frequency) {}
    std::int64_t Ticks() override { return ticks_; }
    std::int64_t TicksPerSecond() override { return frequency_; }
    void Sleep(DWORD milliseconds) override { ticks_ += frequency_ * milliseconds / 1000; }
    void Add(std::int64_t ticks) { ticks_ += ticks; }

private:
    std::int64_t ticks_ = 1000000; // not zero: a reading of 0 must not look like a start
    std::int64_t frequency_;
};

class ProfilerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetClock(&clock_);
        std::remove(path_.c_str());
    }
    void TearDown() override
    {
        platform::SetClock(nullptr);
        std::remove(path_.c_str());
    }

    std::string ReadLog() const
    {
        std::stringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }

    void OpenEnabled(CProfiler& profiler)
    {
        profiler.Enable(true);
        profiler.Open(path_.c_str());
    }

    TickClock clock_{1000}; // one tick per millisecond
    const std::string path_ = ::testing::TempDir() + "vantorel_log_" + std::to_string(getpid()) + ".txt";
};

// Each frame is one line of labels and milliseconds (six significant
// digits) ending with the total; the last run's log is replaced.
TEST_F(ProfilerTest, FrameLineKeepsOrderAndEndsWithTotal)
{
    std::ofstream(path_, std::ios::binary) << "last run's frames\n";
    TickClock fine(3000000);
    platform::SetClock(&fine);
    CProfiler profiler;
    OpenEnabled(profiler);
    LARGE_INTEGER frameStart{};

    for (int frame = 0; frame < 2; ++frame) {
        profiler.MarkFrameStart(&frameStart);
        profiler.Write("UPDATE\t");
        fine.Add(3000);
        profiler.StartTimer();
        fine.Add(50000); // 16.666... ms
        profiler.StopTimer("UpdateEnemies: ");
        fine.Add(37);
        profiler.StopTimer("UpdatePlayer: "); // no new start: measured from the last one
        profiler.StartTimer();
        fine.Add(37); // 0.012333... ms
        profiler.StopTimer("Tiny: ");
        EXPECT_FLOAT_EQ(profiler.StopTimerFrom("TOTAL_UPDATE: ", &frameStart), 17.6913333f);
    }
    profiler.Close();
    const std::string line = "UPDATE\tUpdateEnemies: \t16.6667\tUpdatePlayer: \t16.679\tTiny: \t0.0123333\t"
                             "TOTAL_UPDATE: \t17.6913\t\n";
    EXPECT_EQ(ReadLog(), line + line);
}

// Switched off, or with a log that could not be opened, the profiler still
// times but writes nothing more.
TEST_F(ProfilerTest, ADisabledOrUnopenedLogGetsNothing)
{
    CProfiler profiler;
    profiler.Open(path_.c_str());
    EXPECT_FALSE(std::ifstream(path_).good()) << "a disabled profiler must not create the log";
    OpenEnabled(profiler);
    profiler.Write("UPDATE\t");
    profiler.Enable(false);
    LARGE_INTEGER frameStart{};
    frameStart.QuadPart = clock_.Ticks();
    profiler.StartTimer();
    clock_.Add(4);
    profiler.StopTimer("A: ");
    EXPECT_EQ(profiler.StopTimerFrom("TOTAL: ", &frameStart), 0.0f);
    profiler.Close();
    EXPECT_EQ(ReadLog(), "UPDATE\t");

    const std::string missing = ::testing::TempDir() + "vantorel_no_such_folder_" + std::to_string(getpid()) + "/log.txt";
    CProfiler unopened;
    unopened.Enable(true);
    unopened.Open(missing.c_str());
    unopened.MarkFrameStart(&frameStart);
    unopened.Write("UPDATE\t");
    unopened.StartTimer();
    clock_.Add(6);
    unopened.StopTimer("A: ");
    EXPECT_FLOAT_EQ(unopened.StopTimerFrom("TOTAL_UPDATE: ", &frameStart), 6.0f);
    unopened.Close();
    unopened.Close();
    EXPECT_FALSE(std::ifstream(missing).good());
}

// Nothing to measure from - no start yet, no frame reading, a counter that
// reports no frequency - reads 0 instead of dividing by nothing.
TEST_F(ProfilerTest, StopsWithNothingToMeasureFromReadZero)
{
    CProfiler profiler;
    OpenEnabled(profiler);
    clock_.Add(5);
    profiler.StopTimer("NoStart: ");
    EXPECT_EQ(profiler.StopTimerFrom("NoReading: ", nullptr), 0.0f);

    TickClock broken(0);
    platform::SetClock(&broken);
    LARGE_INTEGER frameStart{};
    profiler.MarkFrameStart(&frameStart);
    profiler.StartTimer();
    broken.Add(10);
    profiler.StopTimer("NoFrequency: ");
    const float total = profiler.StopTimerFrom("TOTAL: ", &frameStart);
    profiler.Close();
    EXPECT_TRUE(std::isfinite(total));
    EXPECT_EQ(total, 0.0f);
    EXPECT_EQ(ReadLog(), "NoStart: \t0\tNoReading: \t0\t\nNoFrequency: \t0\tTOTAL: \t0\t\n");
}

} // namespace
