// Time and debug output: the performance counter, timeGetTime and Sleep read
// the injectable clock.

#include "platform/win32.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class SystemClock : public platform::Clock {
public:
    std::int64_t Ticks() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t TicksPerSecond() override { return 1000000000; }
    void Sleep(DWORD milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

platform::Clock* g_Clock = nullptr;

platform::Clock& CurrentClock()
{
    // Never destroyed, so static objects torn down at exit can still read the time.
    static SystemClock* system = new SystemClock;
    return g_Clock ? *g_Clock : *system;
}

} // namespace

namespace platform {

void SetClock(Clock* clock)
{
    g_Clock = clock;
}

} // namespace platform

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency)
        return FALSE;
    frequency->QuadPart = CurrentClock().TicksPerSecond();
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter)
{
    if (!counter)
        return FALSE;
    counter->QuadPart = CurrentClock().Ticks();
    return TRUE;
}

DWORD timeGetTime()
{
    platform::Clock& clock = CurrentClock();
    std::int64_t ticks = clock.Ticks();
    std::int64_t frequency = clock.TicksPerSecond();
    if (frequency <= 0)
        return 0;
    // Whole seconds and the remainder apart: ticks * 1000 overflows after a few
    // months of uptime on a nanosecond counter.
    std::int64_t seconds = ticks / frequency;
    std::int64_t rest = ticks % frequency;
    return static_cast<DWORD>(seconds * 1000 + rest * 1000 / frequency);
}

void Sleep(DWORD milliseconds)
{
    CurrentClock().Sleep(milliseconds);
}

void OutputDebugStringA(LPCSTR text)
{
    if (text)
        std::fputs(text, stderr);
}

void DebugTraceA(LPCSTR text)
{
    static bool started = false;
    if (!text)
        return;
    std::FILE* file = std::fopen("data/debug_log.txt", started ? "ab" : "wb");
    started = true;
    if (!file)
        return;
    std::fputs(text, file);
    std::fclose(file);
}
