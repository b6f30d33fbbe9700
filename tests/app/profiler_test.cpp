#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/Profiler.h"
#include "platform/win32.h"

namespace {

// A counter moved tick by tick, so every duration is exact. It starts away
// from zero: a reading of 0 must not look like a start.
class TickClock : public platform::Clock {
public:
    explicit TickClock(std::int64_t perSecond) : frequency(perSecond) {}
    std::int64_t Ticks() override { return ticks; }
    std::int64_t TicksPerSecond() override { return frequency; }
    void Sleep(DWORD milliseconds) override { ticks += frequency * milliseconds / 1000; }
    std::int64_t ticks = 1000000, frequency;
};

class ProfilerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        platform::SetClock(nullptr);
        std::remove(path.c_str());
    }
    std::string ReadLog() const { return (std::stringstream() << std::ifstream(path).rdbuf()).str(); }

    const std::string path = ::testing::TempDir() + "vantorel_log_" + std::to_string(getpid()) + ".txt";
};

// Each frame is one line of labels and milliseconds (six significant
// digits) ending with the total; the last run's log is replaced.
TEST_F(ProfilerTest, FrameLineKeepsOrderAndEndsWithTotal)
{
    std::ofstream(path) << "last run's frames\n";
    TickClock clock(3000000);
    platform::SetClock(&clock);
    CProfiler profiler;
    profiler.Enable(true);
    profiler.Open(path.c_str());
    LARGE_INTEGER frameStart{};
    for (int frame = 0; frame < 2; ++frame) {
        profiler.MarkFrameStart(&frameStart);
        profiler.Write("UPDATE\t");
        clock.ticks += 3000;
        profiler.StartTimer();
        clock.ticks += 50000; // 16.666... ms
        profiler.StopTimer("UpdateEnemies: ");
        clock.ticks += 37;
        profiler.StopTimer("UpdatePlayer: "); // no new start: measured from the last one
        profiler.StartTimer();
        clock.ticks += 37; // 0.012333... ms
        profiler.StopTimer("Tiny: ");
        EXPECT_FLOAT_EQ(profiler.StopTimerFrom("TOTAL_UPDATE: ", &frameStart), 17.6913333f);
    }
    profiler.Close();
    const std::string line = "UPDATE\tUpdateEnemies: \t16.6667\tUpdatePlayer: \t16.679\tTiny: \t0.0123333\t"
                             "TOTAL_UPDATE: \t17.6913\t\n";
    EXPECT_EQ(ReadLog(), line + line);
}

// No start yet, no frame reading or a counter without a frequency reads 0; switched
// off, nothing is written or timed; a log that could not be opened still times.
TEST_F(ProfilerTest, NothingToMeasureFromSwitchedOffOrUnopened)
{
    TickClock clock(1000), broken(0);
    platform::SetClock(&clock);
    CProfiler profiler;
    profiler.Open(path.c_str());
    EXPECT_FALSE(std::ifstream(path).good()) << "a disabled profiler must not create the log";
    profiler.Enable(true);
    profiler.Open(path.c_str());
    clock.ticks += 5;
    profiler.StopTimer("NoStart: ");
    EXPECT_EQ(profiler.StopTimerFrom("NoReading: ", nullptr), 0.0f);

    platform::SetClock(&broken);
    LARGE_INTEGER frameStart{};
    profiler.MarkFrameStart(&frameStart);
    profiler.StartTimer();
    broken.ticks += 10;
    profiler.StopTimer("NoFrequency: ");
    EXPECT_EQ(profiler.StopTimerFrom("TOTAL: ", &frameStart), 0.0f);

    platform::SetClock(&clock);
    profiler.Enable(false);
    frameStart.QuadPart = clock.ticks;
    profiler.StartTimer();
    clock.ticks += 4;
    profiler.StopTimer("Off: ");
    EXPECT_EQ(profiler.StopTimerFrom("TOTAL: ", &frameStart), 0.0f);
    profiler.Write("Off\t");
    profiler.Close();
    EXPECT_EQ(ReadLog(), "NoStart: \t0\tNoReading: \t0\t\nNoFrequency: \t0\tTOTAL: \t0\t\n");

    const std::string missing = ::testing::TempDir() + "vantorel_no_such_folder_" + std::to_string(getpid()) + "/log";
    CProfiler unopened;
    unopened.Enable(true);
    ::testing::internal::CaptureStderr();
    unopened.Open(missing.c_str());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind(missing + ": refused: the log cannot be written", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    unopened.MarkFrameStart(&frameStart);
    unopened.Write("UPDATE\t");
    unopened.StartTimer();
    clock.ticks += 6;
    unopened.StopTimer("A: ");
    EXPECT_FLOAT_EQ(unopened.StopTimerFrom("TOTAL_UPDATE: ", &frameStart), 6.0f);
    unopened.Close();
    unopened.Close();
}

// A game killed mid-run leaves every finished frame line on disk, and the
// next start keeps that log once as "<name>.old<ext>" before writing anew.
TEST_F(ProfilerTest, FinishedLinesAreOnDiskAtOnceAndTheLastRunsLogIsKeptOnce)
{
    const std::string old = CProfiler::OldLogName(path);
    EXPECT_EQ(CProfiler::OldLogName("data/log.txt"), "data/log.old.txt");
    EXPECT_EQ(CProfiler::OldLogName("a.b/log"), "a.b/log.old");
    TickClock clock(1000);
    platform::SetClock(&clock);
    {
        CProfiler crashed;
        crashed.Enable(true);
        crashed.Open(path.c_str());
        LARGE_INTEGER frameStart{};
        crashed.Write("CRASH_REPORT line\n");
        crashed.MarkFrameStart(&frameStart);
        crashed.Write("UPDATE\t");
        crashed.StopTimerFrom("TOTAL_UPDATE: ", &frameStart);
        // Read while the log is still open, as after a kill.
        EXPECT_EQ(ReadLog(), "CRASH_REPORT line\nUPDATE\tTOTAL_UPDATE: \t0\t\n");
        CProfiler next;
        next.Enable(true);
        next.Open(path.c_str());
        next.Write("second run\n");
        EXPECT_EQ(ReadLog(), "second run\n");
        EXPECT_EQ((std::stringstream() << std::ifstream(old).rdbuf()).str(),
                  "CRASH_REPORT line\nUPDATE\tTOTAL_UPDATE: \t0\t\n");
    }
    CProfiler third;
    third.Enable(true);
    third.Open(path.c_str());
    third.Close();
    EXPECT_EQ((std::stringstream() << std::ifstream(old).rdbuf()).str(), "second run\n") << "only the last run is kept";
    std::remove(old.c_str());
}

// A run stopped while it loaded leaves an empty log: the next start writes
// over it and keeps the last log that holds something.
TEST_F(ProfilerTest, AnEmptyLogDoesNotPushTheLastUsefulOneOut)
{
    const std::string old = CProfiler::OldLogName(path);
    std::ofstream(old) << "useful\n";
    std::ofstream(path).close();
    CProfiler next;
    next.Enable(true);
    next.Open(path.c_str());
    next.Write("next run\n");
    next.Close();
    EXPECT_EQ((std::stringstream() << std::ifstream(old).rdbuf()).str(), "useful\n");
    EXPECT_EQ(ReadLog(), "next run\n");
    std::remove(old.c_str());
}

// On a full disk every write fails: one line says so, and the run goes on
// timing without writing.
TEST_F(ProfilerTest, AWriteThatFailsIsSaidOnceAndTheLogIsLeft)
{
    std::remove(path.c_str());
    ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
    TickClock clock(1000);
    platform::SetClock(&clock);
    CProfiler profiler;
    profiler.Enable(true);
    ::testing::internal::CaptureStderr();
    profiler.Open(path.c_str());
    LARGE_INTEGER frameStart{};
    for (int frame = 0; frame < 3; ++frame) {
        profiler.MarkFrameStart(&frameStart);
        profiler.Write("UPDATE\t");
        profiler.StartTimer();
        clock.ticks += 5;
        profiler.StopTimer("A: ");
        EXPECT_FLOAT_EQ(profiler.StopTimerFrom("TOTAL_UPDATE: ", &frameStart), 5.0f);
        profiler.Write("line\n");
    }
    profiler.Close();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              path + ": refused: the log cannot be written (No space left on device); the rest of the run is not "
                     "logged\n");
}

} // namespace
